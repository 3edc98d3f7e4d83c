#pragma once
// The gateway's heartbeat: waits in state 3 and from there runs the watchdog, the
// alarm poll and the definitions fetch on their own timers. One short step per tick.
#include <cstdint>
#include <functional>
#include <string>

#include "core/clock.h"
#include "core/gatewaystate.h"
#include "core/windowport.h"
#include "core/zamtimemachine.h"

namespace zampo {

// A repeating timer of the loop: due once at least interval seconds have passed
// since last, in either direction of the clock.
struct LoopTimer {
    TimeMs last{};
    int64_t interval = 0;
    bool due(TimeMs now) const { return !withinSeconds(now, interval, 0, last); }
};

class MainLoop {
public:
    enum State : uint32_t {
        kStart = 1,
        kInit = 2,
        kWait = 3,
        kGetDefinitions = 4,
        kWaitDefinitions = 5,
        kStartGetAlarms = 7,
        kWaitAlarms = 8,
        kCheckAlarms = 9,
        kSendAlarm = 10,
        kCheckResponse = 11,
        kSendWatchdog = 12,
        kWaitWatchdog = 13,
        kStop = 16,
    };

    MainLoop(GatewayState& state, const Clock& clock, WindowPort& window);

    // Hooks into the parts the loop drives.
    std::function<void()> initPoConnection;  // new HTTP client
    std::function<void()> resetPoFailure;    // clear the lasting-failure bookkeeping

    // The step handler of tmmMain: runs one step and turns an error into a log
    // line and a restart at state 1.
    void doState(tZamTimeMachine& machine);
    // One step; errors escape to doState.
    void runMainStep(tZamTimeMachine& machine);

    int progressMarker() const { return progress_; }
    const LoopTimer& watchdogTimer() const { return watchdog_; }
    const LoopTimer& pollTimer() const { return poll_; }
    const LoopTimer& definitionsTimer() const { return definitions_; }

    // The error line for a failed step.
    static std::string errorLine(uint32_t state, int progress, const std::string& location, const std::string& message,
                                 const std::string& className);

private:
    void enter(tZamTimeMachine& m, const char* text) { m.setStateText(text); }
    void showFaultStatus();

    GatewayState& gs_;
    const Clock& clock_;
    WindowPort& window_;
    LoopTimer watchdog_, poll_, definitions_;
    int progress_ = 0;
    int32_t retryCount_ = 0;
    int32_t elementIndex_ = 0;
};

}  // namespace zampo
