#pragma once
// What the gateway publishes, for a gateway without a window: the list lines are
// in the log file already, status texts and fault changes are logged when they change.
#include <functional>
#include <string>

#include "runtime/windowport.h"

namespace zampo {

class LoggedStatus : public WindowPort {
public:
    // Also told each new status text (the service manager's status line).
    std::function<void(const std::string&)> onStatusText;

    void setStatusText(const std::string& text) override;
    void showFaultStatus(FaultStatus shown) override;
    void addListLine(LogChannel, const std::string&) override {}
    void refillLinkGrid() override {}

private:
    std::string statusText_;
    FaultStatus shown_ = kFaultNone;
};

}  // namespace zampo
