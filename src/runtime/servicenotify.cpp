#include "runtime/servicenotify.h"

#include <systemd/sd-daemon.h>

#include <cstdint>
#include <string>

#include "logic/diag/logwriter.h"
#include "runtime/steptimer.h"

namespace zampo {

ServiceNotify::ServiceNotify(QObject* parent) : QObject(parent) {
    watchdog_.setTimerType(Qt::CoarseTimer);
    connect(&watchdog_, &QTimer::timeout, this, &ServiceNotify::ping);
}

void ServiceNotify::ready(const StepTimer* loop) {
    loop_ = loop;
    sd_notify(0, "READY=1");
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        const uint64_t ms = usec / 1000;
        graceMs_ = static_cast<qint64>(ms < 1 ? 1 : ms);
        const uint64_t halfMs = ms / 2;
        watchdog_.start(static_cast<int>(halfMs < 1 ? 1 : (halfMs > INT32_MAX ? INT32_MAX : halfMs)));
    }
}

void ServiceNotify::ping() {
    const qint64 overdue = loop_ ? loop_->overdueMs() : 0;
    if (overdue > graceMs_) {
        if (!withheld_)
            writeLog("Main loop has not stepped for " + std::to_string(overdue) + " ms longer than it planned (state " +
                         std::to_string(loop_->state()) + "); watchdog pings withheld",
                     kLogFileOnly);
        withheld_ = true;
        return;
    }
    if (withheld_) writeLog("Main loop steps again; watchdog pings resumed", kLogFileOnly);
    withheld_ = false;
    sd_notify(0, "WATCHDOG=1");
}

void ServiceNotify::stopping() {
    sd_notify(0, "STOPPING=1");
}

void ServiceNotify::status(const std::string& text) {
    // One line: a line break would end the assignment early.
    std::string line = text;
    for (char& c : line)
        if (c == '\n') c = ' ';
    sd_notify(0, ("STATUS=" + line).c_str());
}

}  // namespace zampo
