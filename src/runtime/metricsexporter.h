#pragma once
// The gateway's figures in Prometheus text format over HTTP, for the site's
// monitoring, when ZamLocal.INI has a [Metrics] port. The HTTP server answers on
// threads of its own and reads only atomics; what lives in the window's thread
// (queue, status document, clock) is sampled into them twice a second.
#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>

#include "logic/core/clock.h"

#include <mutex>
#include <vector>

#include "logic/status/alarmstatusrows.h"

class CivetServer;

namespace zampo {

class GatewayRuntime;
class GatewayCollectable;
class MetricsHandler;
class StatusPageHandler;

// address:port as the HTTP server and a URL want it, an IPv6 address in brackets.
std::string metricsEndpoint(const std::string& address, int port);

class MetricsExporter : public QObject {
    Q_OBJECT
public:
    explicit MetricsExporter(GatewayRuntime& gateway, QObject* parent = nullptr);
    ~MetricsExporter() override;

    // Serves /metrics and the status page at / on address:port; port 0 stops serving. Unchanged address and
    // port keep the running server. False, with a log line, when it cannot listen.
    bool listen(const std::string& address, int port);
    bool listening() const { return exposer_ != nullptr; }
    // Copies the figures of the window's thread for the next scrape.
    void sample();

private:
    GatewayRuntime& gateway_;
    TimeMs started_{};  // the first listen: the start of "since" before a good exchange
    std::shared_ptr<GatewayCollectable> collectable_;
    std::unique_ptr<MetricsHandler> metricsHandler_;
    std::unique_ptr<StatusPageHandler> pageHandler_;
    std::unique_ptr<CivetServer> exposer_;
    std::vector<AlarmStatusRow> rows_, earlierRows_;
    std::string address_;
    int port_ = 0;
    QTimer sampler_;
};

}  // namespace zampo
