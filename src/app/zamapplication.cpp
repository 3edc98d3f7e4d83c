#include "app/zamapplication.h"

#include "logic/diag/exceptionreport.h"
#include "logic/diag/logwriter.h"

namespace zampo {

ZamApplication::ZamApplication(int& argc, char** argv) : QApplication(argc, argv) {
    localNow = [] { return SystemClock().nowUtc(); };  // only differences count
}

bool ZamApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const char* cls = receiver ? receiver->metaObject()->className() : "QObject";
        handleException(cls, std::current_exception());
        return false;
    }
}

void ZamApplication::handleException(const char* senderClass, std::exception_ptr error) {
    try {
        const std::string location =
            exceptionLocationText(senderClass, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
        writeLog(exceptionLogMessage(location, describeError(error)), kLogFileOnly);
    } catch (...) {
    }
    // exit, not quit: quit asks the window to close, and the window refuses.
    if (flood_.count(localNow())) exit(1);
}

}  // namespace zampo
