#include "runtime/gatewayapplication.h"

#include "logic/diag/exceptionreport.h"
#include "logic/diag/logwriter.h"

namespace zampo {

bool handleUncaughtError(const char* senderClass, std::exception_ptr error, FloodGuard& flood, TimeMs now) {
    try {
        const std::string location =
            exceptionLocationText(senderClass, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
        writeLog(exceptionLogMessage(location, describeError(error)), kLogFileOnly);
    } catch (...) {
    }
    return flood.count(now);
}

GatewayApplication::GatewayApplication(int& argc, char** argv) : QCoreApplication(argc, argv) {}

bool GatewayApplication::notify(QObject* receiver, QEvent* event) {
    const BusyMeter::Scope timed(busy_);
    try {
        return QCoreApplication::notify(receiver, event);
    } catch (...) {
        const char* cls = receiver ? receiver->metaObject()->className() : "QObject";
        if (handleUncaughtError(cls, std::current_exception(), flood_, SystemClock().nowUtc())) exit(1);
        return false;
    }
}

}  // namespace zampo
