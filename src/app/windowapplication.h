#pragma once
// The application object: every error that escapes an event handler in the
// window's thread is logged here instead of ending the program, unless they come
// in a flood.
#include <QApplication>
#include <functional>

#include "logic/core/clock.h"
#include "logic/diag/floodguard.h"
#include "runtime/busymeter.h"

namespace zampo {

class WindowApplication : public QApplication {
public:
    WindowApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Logs one uncaught error reported by sender; ends the program on a flood.
    void handleException(const char* senderClass, std::exception_ptr error);

    FloodGuard& floodGuard() { return flood_; }
    // Local time for the flood guard; tests replace it.
    std::function<TimeMs()> localNow;
    const BusyMeter& busyMeter() const { return busy_; }

private:
    FloodGuard flood_;
    BusyMeter busy_;
};

}  // namespace zampo
