#include "runtime/loggedstatus.h"

#include "logic/diag/logwriter.h"

namespace zampo {

void LoggedStatus::setStatusText(const std::string& text) {
    if (text == statusText_) return;
    statusText_ = text;
    if (!text.empty()) writeLog("Status: " + text, kLogFileOnly);
    if (onStatusText) onStatusText(text);
}

void LoggedStatus::showFaultStatus(int shownStatus) {
    if (shownStatus == shownStatus_) return;
    shownStatus_ = shownStatus;
    static const char* const kFaults[] = {"none", "Priva Office", "ZamMeld"};
    if (shownStatus >= 0 && shownStatus <= 2)
        writeLog(std::string("Fault shown: ") + kFaults[shownStatus], kLogFileOnly);
}

}  // namespace zampo
