#pragma once
// The application object of the window-less gateway: an error that escapes an
// event handler is logged instead of ending the program, unless errors come in a
// flood. The windowed program does the same through handleUncaughtError.
#include <QCoreApplication>
#include <exception>

#include "logic/core/clock.h"
#include "logic/diag/floodguard.h"
#include "runtime/busymeter.h"

namespace zampo {

// Logs the error with where it came from; true when errors come in a flood and
// the program should end.
bool handleUncaughtError(const char* senderClass, std::exception_ptr error, FloodGuard& flood, TimeMs now);

class GatewayApplication : public QCoreApplication {
public:
    GatewayApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    const BusyMeter& busyMeter() const { return busy_; }

private:
    FloodGuard flood_;
    BusyMeter busy_;
};

}  // namespace zampo
