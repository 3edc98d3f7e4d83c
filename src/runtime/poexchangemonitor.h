#pragma once
// Reports lasting Priva Office failures to ZamMeld as system alarm 9999/8: raised
// when failures have gone on for more than five minutes, reset by the next success.
// Each of the two is followed until ZamMeld answered it: one that never got there
// is sent again at the next exchange that calls for it.
#include <QObject>
#include <optional>

#include "logic/core/clock.h"
#include "logic/core/gatewaycounters.h"

namespace zampo {

class SocketMachine;

class PoExchangeMonitor : public QObject {
    Q_OBJECT
public:
    // Queues its alarms on receiver.
    PoExchangeMonitor(const Clock& clock, SocketMachine& receiver, QObject* parent = nullptr);

    // Called after every Priva Office fetch.
    void report(bool succeeded);
    // Main loop start: no failure running, nothing raised.
    void reset();
    // Where every exchange is counted; none by default.
    void setCounters(GatewayCounters* counters) { counters_ = counters; }

    bool raised() const { return raised_; }
    // A reset that has not been answered yet, still to send or on its way.
    bool resetOwed() const { return resetOwed_; }
    std::optional<TimeMs> failingSince() const { return since_; }

private:
    void send(bool raise);
    void onDeliveryChanged();

    const Clock& clock_;
    SocketMachine& receiver_;
    bool raised_ = false;
    bool resetOwed_ = false;
    uint64_t ticket_ = 0;  // the last alarm queued, until it is answered or failed
    bool ticketRaises_ = false;
    std::optional<TimeMs> since_;
    GatewayCounters* counters_ = nullptr;
};

}  // namespace zampo
