#include "core/mainloop.h"

#include "diag/exceptionreport.h"
#include "diag/logwriter.h"
#include "texts/langtext.h"

namespace zampo {

MainLoop::MainLoop(GatewayState& state, const Clock& clock, WindowPort& window)
    : gs_(state), clock_(clock), window_(window) {}

std::string MainLoop::errorLine(uint32_t state, int progress, const std::string& location, const std::string& message,
                                const std::string& className) {
    std::string line = "<tmmMain, state:" + std::to_string(state) + ">";
    if (progress > 0) line += "<sub " + std::to_string(progress) + ">";
    return line + "<" + location + "><" + message + "><" + className + ">";
}

void MainLoop::doState(tZamTimeMachine& m) {
    try {
        runMainStep(m);
    } catch (...) {
        m.setEnabled(false);
        const ErrorInfo err = describeError(std::current_exception());
        const std::string location =
            exceptionLocationText("tZamTimeMachine", reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
        writeLog(errorLine(m.state(), progress_, location, err.message, err.className), kLogFileOnly);
        m.setState(kStart);
        m.setEnabled(true);
    }
}

void MainLoop::runMainStep(tZamTimeMachine& m) {
    progress_ = 0;
    const TimeMs now = clock_.nowUtc();
    switch (m.state()) {
        case kStart:
            enter(m, " 1 start ");
            if (initPoConnection) initPoConnection();
            gs_.closingRequest = false;
            gs_.faultStatus = kFaultCleared;
            window_.hideToTray();
            if (resetPoFailure) resetPoFailure();
            m.setState(kInit);
            break;
        case kInit:
            enter(m, " 2 init ");
            watchdog_ = {now, 60};
            poll_ = {now, 10};
            definitions_ = {now, 300};
            m.setState(kWait);
            break;
        case kWait:
            enter(m, " 3 wait ");
            if (watchdog_.due(now)) {
                watchdog_.last = now;
                retryCount_ = 0;
                m.setState(kSendWatchdog);
            } else if (poll_.due(now)) {
                poll_.last = now;
                poll_.interval = 10;
                elementIndex_ = 0;
                m.setState(kStartGetAlarms);
            } else if (gs_.closingRequest) {
                m.setState(kStop);
            } else if (definitions_.due(now) || gs_.refreshRequest) {
                definitions_.last = now;
                definitions_.interval = 28800;
                m.setState(kGetDefinitions);
                gs_.refreshRequest = false;
            }
            showFaultStatus();
            break;
        case kStop:
            enter(m, "16 stop ");
            m.stop();
            writeLog("Close main statemachine", kLogFileOnly);
            gs_.mainLoopFinished = true;
            break;
        default:
            // The fetch and send states come with the forwarding; until then a
            // timer that fires just returns to waiting.
            if (m.state() == kGetDefinitions || m.state() == kStartGetAlarms || m.state() == kSendWatchdog)
                m.setState(kWait);
            break;
    }
}

void MainLoop::showFaultStatus() {
    if (gs_.shownStatus == gs_.faultStatus) return;
    if (gs_.faultStatus == kFaultCleared) gs_.faultStatus = kFaultNone;
    gs_.shownStatus = gs_.faultStatus;
    if (gs_.shownStatus == kFaultNone) window_.setStatusText(langText(28, "Application running"));
    window_.showFaultStatus(gs_.shownStatus);
}

}  // namespace zampo
