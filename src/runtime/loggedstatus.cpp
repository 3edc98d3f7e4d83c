#include "runtime/loggedstatus.h"

#include "logic/diag/logwriter.h"

namespace zampo {

void LoggedStatus::setStatusText(const std::string& text) {
    if (text == statusText_) return;
    statusText_ = text;
    if (!text.empty()) writeLog("Status: " + text, kLogFileOnly);
    if (onStatusText) onStatusText(text);
}

void LoggedStatus::showFaultStatus(FaultStatus shown) {
    if (shown == shown_) return;
    shown_ = shown;
    static const char* const kFaults[] = {"none", "Priva Office", "ZamMeld"};
    if (shown >= kFaultNone && shown <= kFaultReceiver)
        writeLog(std::string("Fault shown: ") + kFaults[shown], kLogFileOnly);
}

}  // namespace zampo
