#pragma once
// What the gateway publishes for whoever shows it: the window implements it, the
// window-less gateway logs it, tests keep it. The gateway never asks anything of
// it. Called in the gateway's thread only.
#include <string>

#include "logic/diag/logwriter.h"
#include "runtime/gatewaystate.h"

namespace zampo {

class WindowPort {
public:
    virtual ~WindowPort() = default;
    virtual void setStatusText(const std::string& text) = 0;
    // Repaints the status bar; a fault shows its image, kFaultNone none.
    virtual void showFaultStatus(FaultStatus shown) = 0;
    // A line for the receiver list or the Priva Office list.
    virtual void addListLine(LogChannel list, const std::string& line) = 0;
    // The link definitions changed on disk: show them anew.
    virtual void refillLinkGrid() = 0;
    // A walk through the alarm status ended, or a new alarm status was taken in.
    virtual void alarmStatusWalked() {}
};

}  // namespace zampo
