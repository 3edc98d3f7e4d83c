#include "app/windowapplication.h"

#include "runtime/gatewayapplication.h"

namespace zampo {

WindowApplication::WindowApplication(int& argc, char** argv) : QApplication(argc, argv) {
    localNow = [] { return SystemClock().nowUtc(); };  // only differences count
}

bool WindowApplication::notify(QObject* receiver, QEvent* event) {
    const BusyMeter::Scope timed(busy_);
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const char* cls = receiver ? receiver->metaObject()->className() : "QObject";
        handleException(cls, std::current_exception());
        return false;
    }
}

void WindowApplication::handleException(const char* senderClass, std::exception_ptr error) {
    // exit, not quit: quit asks the window to close, and the window refuses.
    if (handleUncaughtError(senderClass, error, flood_, localNow())) exit(1);
}

}  // namespace zampo
