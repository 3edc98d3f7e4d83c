#include "runtime/logfaultstatus.h"

#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"

namespace zampo {

LogFaultStatus::LogFaultStatus(WindowPort& shown, QObject* parent) : QObject(parent), shown_(shown) {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &LogFaultStatus::check);
}

void LogFaultStatus::check() {
    const std::string fault = logWriter().failure();
    if (fault == fault_) return;
    fault_ = fault;
    show();
}

void LogFaultStatus::setStatusText(const std::string& text) {
    text_ = text;
    show();
}

void LogFaultStatus::show() {
    if (fault_.empty()) {
        // Nothing of the fault was shown: the text goes on as it came.
        shown_.setStatusText(text_);
        return;
    }
    const std::string fault = langText(TextId::LogFileNotWritten) + ": " + fault_;
    shown_.setStatusText(text_.empty() ? fault : text_ + "; " + fault);
}

}  // namespace zampo
