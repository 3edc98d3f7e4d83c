#pragma once
// Reports lasting Priva Office failures to ZamMeld as system alarm 9999/8: raised
// when failures have gone on for more than five minutes, reset by the next success.
#include <QObject>
#include <optional>

#include "logic/core/clock.h"
#include "logic/core/gatewaycounters.h"

namespace zampo {

class SocketMachine;

class PoExchangeMonitor : public QObject {
    Q_OBJECT
public:
    // Queues its alarms on receiver; a socket error there clears the raised mark,
    // so that the alarm is sent again while the failures go on.
    PoExchangeMonitor(const Clock& clock, SocketMachine& receiver, QObject* parent = nullptr);

    // Called after every Priva Office fetch.
    void report(bool succeeded);
    // Main loop start: no failure running, nothing raised.
    void reset();
    void clearRaised() { raised_ = false; }
    // Where every exchange is counted; none by default.
    void setCounters(GatewayCounters* counters) { counters_ = counters; }

    bool raised() const { return raised_; }
    std::optional<TimeMs> failingSince() const { return since_; }

private:
    const Clock& clock_;
    SocketMachine& receiver_;
    bool raised_ = false;
    std::optional<TimeMs> since_;
    GatewayCounters* counters_ = nullptr;
};

}  // namespace zampo
