#include "runtime/servicenotify.h"

#include <systemd/sd-daemon.h>

#include <cstdint>

namespace zampo {

ServiceNotify::ServiceNotify(QObject* parent) : QObject(parent) {
    watchdog_.setTimerType(Qt::CoarseTimer);
    connect(&watchdog_, &QTimer::timeout, this, [] { sd_notify(0, "WATCHDOG=1"); });
}

void ServiceNotify::ready() {
    sd_notify(0, "READY=1");
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        const uint64_t halfMs = usec / 2000;
        watchdog_.start(static_cast<int>(halfMs < 1 ? 1 : (halfMs > INT32_MAX ? INT32_MAX : halfMs)));
    }
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
