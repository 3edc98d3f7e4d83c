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

#include <mutex>
#include <vector>

#include "logic/alarmstatus/alarmstatusrows.h"
#include "logic/core/clock.h"
#include "logic/core/webconfig.h"

class CivetServer;

namespace zampo {

class GatewayRuntime;
class GatewayCollectable;
class MetricsHandler;
class StatusPageHandler;
class BasicAuthHandler;

// address:port as the HTTP server and a URL want it, an IPv6 address in brackets.
std::string metricsEndpoint(const std::string& address, int port);

class MetricsExporter : public QObject {
    Q_OBJECT
public:
    explicit MetricsExporter(GatewayRuntime& gateway, QObject* parent = nullptr);
    ~MetricsExporter() override;

    // Serves /metrics and the status page at / on address:port; port 0 stops serving.
    // A web configuration file (users, certificate) puts both behind basic
    // authentication and TLS; without one an address other than loopback serves the
    // metrics only. A file that cannot be used, or TLS that cannot start, serves
    // nothing: never less protection than asked for. Unchanged address, port and file
    // keep the running server. False, with a log line, when it does not listen.
    bool listen(const std::string& address, int port, const std::string& webConfigFile = {});
    bool listening() const { return exposer_ != nullptr; }
    // Copies the figures of the window's thread for the next scrape, and builds the
    // status page (unless always is false and nobody asked for it lately).
    void sample(bool always = true);

private:
    bool serve(const std::string& endpoint, const WebConfig& config);
    void logServing(const std::string& endpoint, bool tls);

    GatewayRuntime& gateway_;
    TimeMs started_{};
    TimeMs pageBuilt_{};  // the first listen: the start of "since" before a good exchange
    std::shared_ptr<GatewayCollectable> collectable_;
    std::unique_ptr<MetricsHandler> metricsHandler_;
    std::unique_ptr<StatusPageHandler> pageHandler_;
    std::unique_ptr<BasicAuthHandler> authHandler_;
    std::unique_ptr<CivetServer> exposer_;
    std::vector<AlarmStatusRow> rows_, earlierRows_;
    std::string address_;
    int port_ = 0;
    std::string webConfigFile_, webConfigText_;
    QTimer sampler_;
};

}  // namespace zampo
