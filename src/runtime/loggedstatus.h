#pragma once
// What the gateway publishes, for a gateway without a window: the list lines are
// in the log file already, status texts and fault changes are logged when they change.
#include <functional>
#include <string>

#include "logic/core/windowport.h"

namespace zampo {

class LoggedStatus : public WindowPort {
public:
    // Also told each new status text (the service manager's status line).
    std::function<void(const std::string&)> onStatusText;

    void setStatusText(const std::string& text) override;
    void showFaultStatus(int shownStatus) override;
    void addListLine(int, const std::string&) override {}
    void refillLinkGrid() override {}

private:
    std::string statusText_;
    int shownStatus_ = 0;
};

}  // namespace zampo
