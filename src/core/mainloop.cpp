#include "core/mainloop.h"

#include "diag/exceptionreport.h"
#include "diag/logwriter.h"
#include "receiver/messages.h"
#include "receiver/poexchangemonitor.h"
#include "receiver/socketmachine.h"
#include "texts/langtext.h"

namespace zampo {

namespace {

constexpr int64_t kWatchdogSeconds = 60;
constexpr int64_t kPollSeconds = 10;
constexpr int64_t kFirstDefinitionsSeconds = 300;
constexpr int64_t kDefinitionsSeconds = 28800;
constexpr int64_t kDefinitionsWaitSeconds = 400;
constexpr int64_t kAlarmsWaitSeconds = 60;
constexpr int64_t kAnswerWaitSeconds = 10;
constexpr int32_t kMaxWatchdogSends = 3;
constexpr int kConfigErrorInput = 9;

XmlDocument& held(DocumentSlot& slot) {
    if (!slot) slot = std::make_unique<XmlDocument>();
    return *slot;
}

}  // namespace

MainLoop::MainLoop(const MainLoopDeps& deps) : d_(deps) {}

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
    const TimeMs now = d_.clock.nowUtc();
    switch (m.state()) {
        case kStart:
            start(m);
            break;
        case kInit:
            m.setStateText(" 2 init ");
            watchdog_ = {now, kWatchdogSeconds};
            poll_ = {now, kPollSeconds};
            definitions_ = {now, kFirstDefinitionsSeconds};
            m.setState(kWait);
            break;
        case kWait:
            wait(m, now);
            break;
        case kGetDefinitions:
            getDefinitions(m, now);
            break;
        case kWaitDefinitions:
            waitDefinitions(m, now);
            break;
        case kStartGetAlarms:
            startGetAlarms(m, now);
            break;
        case kWaitAlarms:
            waitAlarms(m, now);
            break;
        case kCheckAlarms:
            checkAlarms(m, now);
            break;
        case kSendAlarm:
            sendAlarm(m, now);
            break;
        case kCheckResponse:
            checkResponse(m, now);
            break;
        case kSendWatchdog:
            sendWatchdog(m, now);
            break;
        case kWaitWatchdog:
            waitWatchdog(m, now);
            break;
        case kStop:
            stop(m);
            break;
        default:
            break;
    }
}

void MainLoop::start(tZamTimeMachine& m) {
    m.setStateText(" 1 start ");
    d_.fetch.initPoConnection();
    writeLog(langText(111, "PO connection initialized"), kLogReceiverList);
    d_.state.closingRequest = false;
    d_.state.faultStatus = kFaultCleared;
    d_.window.hideToTray();
    d_.poMonitor.reset();
    cycle_ = {};
    busyLogged_ = false;
    m.setState(kInit);
}

void MainLoop::wait(tZamTimeMachine& m, TimeMs now) {
    m.setStateText(" 3 wait ");
    if (watchdog_.due(now)) {
        watchdog_.last = now;
        retryCount_ = 0;
        m.setState(kSendWatchdog);
    } else if (poll_.due(now)) {
        poll_.last = now;
        poll_.interval = kPollSeconds;
        cycle_.elementIndex = 0;
        m.setState(kStartGetAlarms);
    } else if (d_.state.closingRequest) {
        m.setState(kStop);
    } else if (definitions_.due(now) || d_.state.refreshRequest || definitionsPending_) {
        definitions_.last = now;
        definitions_.interval = kDefinitionsSeconds;
        m.setState(kGetDefinitions);
        d_.state.refreshRequest = false;
    }
    showFaultStatus();
}

void MainLoop::showFaultStatus() {
    GatewayState& gs = d_.state;
    if (gs.shownStatus == gs.faultStatus) return;
    if (gs.faultStatus == kFaultCleared) gs.faultStatus = kFaultNone;
    gs.shownStatus = gs.faultStatus;
    if (gs.shownStatus == kFaultNone)
        d_.window.setStatusText(gs.dataFileFault.empty() ? langText(28, "Application running") : gs.dataFileFault);
    d_.window.showFaultStatus(gs.shownStatus);
}

bool MainLoop::fetchSlotFree() {
    // Two workers, or a worker and the loop, must never work on the same files.
    if (!d_.fetch.workerRunning()) {
        busyLogged_ = false;
        return true;
    }
    if (!busyLogged_) writeLog("Priva Office request still running; the next waits for it", kLogPoList);
    busyLogged_ = true;
    return false;
}

std::string MainLoop::poUrl(const char* path) const {
    return "http://" + trimmed(d_.settings.poHost) + ":8080" + path;
}

void MainLoop::getDefinitions(tZamTimeMachine& m, TimeMs now) {
    m.setStateText(" 4 get definitions ");
    if (!fetchSlotFree()) {
        // Asked again from state 3 as soon as the worker is gone.
        definitionsPending_ = true;
        m.setState(kWait);
        return;
    }
    definitionsPending_ = false;
    writeLog(langText(29, "Collect alarm definitions"), kLogPoList);
    d_.fetch.clearFetchDone();
    d_.fetch.startFetch(poUrl("/office/alarm/alarmserverconfig"), kFetchDefinitions);
    requestTime_ = now;
    m.setState(kWaitDefinitions);
}

void MainLoop::waitDefinitions(tZamTimeMachine& m, TimeMs now) {
    m.setStateText(" 5 wait definitions ");
    if (d_.fetch.fetchDone()) {
        if (d_.state.faultStatus > kFaultNone) {
            d_.poMonitor.report(false);
            m.setState(kWait);
            return;
        }
        const std::string message = d_.fetch.fetchMessage();
        writeLog(message.empty() ? langText(89, "Definitions collected from Priva Office") : message, kLogPoList);
        d_.poMonitor.report(true);
        reloadDataFile(d_.linkDefs, d_.paths.poDataDir(), kLinkDefsFile);
        if (!d_.fetch.allLinksDefined()) {
            writeLog(langText(30, "Undefined links found!"), kLogPoList);
            d_.receiver.sendIPString(systemAlarmMessage(kConfigErrorInput, true), true);
        }
        d_.window.refillLinkGrid();
        m.setState(kWait);
    } else if (!withinSeconds(now, kDefinitionsWaitSeconds, 0, requestTime_)) {
        writeLog(langText(31, "Timeout collecting definitions!"), kLogPoList);
        d_.poMonitor.report(false);
        d_.state.faultStatus = kFaultPriva;
        m.setState(kWait);
    }
}

void MainLoop::startGetAlarms(tZamTimeMachine& m, TimeMs now) {
    m.setStateText(" 7 start get alarms ");
    if (!fetchSlotFree()) {
        // The worker has outlived its wait: a failed exchange, and the elements
        // as they stand are still worked through, as after a timeout.
        d_.poMonitor.report(false);
        m.setState(kCheckAlarms);
        return;
    }
    d_.fetch.clearFetchDone();
    d_.fetch.startFetch(poUrl("/office/alarm/alarmserver"), kFetchAlarms);
    requestTime_ = now;
    m.setState(kWaitAlarms);
}

void MainLoop::waitAlarms(tZamTimeMachine& m, TimeMs now) {
    m.setStateText(" 8 wait alarms ");
    progress_ = 1;
    if (d_.fetch.fetchDone()) {
        progress_ = 2;
        if (d_.state.faultStatus > kFaultNone) {
            progress_ = 3;
            d_.poMonitor.report(false);
            progress_ = 4;
            m.setState(kWait);
            return;
        }
        progress_ = 5;
        const std::string message = d_.fetch.fetchMessage();
        if (!message.empty()) {
            progress_ = 6;
            writeLog(message, kLogPoList);
        }
        progress_ = 7;
        d_.poMonitor.report(true);
        progress_ = 8;
        cycle_.current = {};  // its document is about to go
        held(d_.alarmStatus).clear();
        progress_ = 9;
        statusUnsaved_ = false;
        progress_ = 11;
        openDataFile(d_.alarmStatus, d_.paths.poDataDir(), kAlarmStatusFile);
        progress_ = 12;
        m.setState(kCheckAlarms);
        return;
    }
    progress_ = 13;
    if (!withinSeconds(now, kAlarmsWaitSeconds, 0, requestTime_)) {
        writeLog(langText(32, "Timeout collecting alarms!"), kLogPoList);
        progress_ = 14;
        d_.poMonitor.report(false);
        progress_ = 15;
        d_.state.faultStatus = kFaultPriva;
        m.setState(kCheckAlarms);
    }
}

CycleDocuments MainLoop::documents() {
    return {held(d_.alarmStatus), held(d_.linkDefs), held(d_.zamDefs)};
}

void MainLoop::follow(tZamTimeMachine& m, const CycleOutcome& outcome) {
    for (const std::string& line : outcome.log) writeLog(line, kLogPoList);
    if (!outcome.message.empty()) d_.receiver.sendIPString(outcome.message, true);
    if (outcome.changed) statusUnsaved_ = true;
    switch (outcome.next) {
        case CycleStep::Finished:
            m.setState(kWait);
            break;
        case CycleStep::Examine:
            m.setState(kCheckAlarms);
            break;
        case CycleStep::Send:
            m.setState(kSendAlarm);
            break;
        case CycleStep::AwaitAnswer:
            m.setState(kCheckResponse);
            break;
    }
}

void MainLoop::checkAlarms(tZamTimeMachine& m, TimeMs now) {
    m.setStateText(" 9 check alarms ");
    follow(m, examineNext(cycle_, documents(), now));
}

void MainLoop::sendAlarm(tZamTimeMachine& m, TimeMs now) {
    m.setStateText("10 send alarm to zam ");
    const TextOptions options{d_.window.sendPcuNames(), d_.window.filterPunctuation()};
    follow(m, sendForCurrent(cycle_, documents(), options, now));
    requestTime_ = now;
}

void MainLoop::checkResponse(tZamTimeMachine& m, TimeMs now) {
    m.setStateText("11 check response ");
    const Answer answer{d_.receiver.replyReceived(), d_.receiver.lastReply(),
                        !withinSeconds(now, kAnswerWaitSeconds, 0, requestTime_)};
    follow(m, evaluateAnswer(cycle_, documents(), answer, now));
    // Waiting steps that changed nothing leave the file alone; a failed save is
    // tried again at the next step.
    if (!statusUnsaved_) return;
    if (saveDataFile(d_.alarmStatus, d_.paths.poDataDir(), kAlarmStatusFile))
        statusUnsaved_ = false;
    else
        writeLog(langText(91, "Error writing status"), kLogPoList);
}

void MainLoop::sendWatchdog(tZamTimeMachine& m, TimeMs now) {
    m.setStateText("12 send wd ");
    ++retryCount_;
    d_.receiver.sendIPString(watchdogMessage(d_.state.watchdogId), true);
    requestTime_ = now;
    m.setState(kWaitWatchdog);
}

void MainLoop::waitWatchdog(tZamTimeMachine& m, TimeMs now) {
    m.setStateText("13 wait result wd ");
    if (d_.receiver.replyReceived()) {
        const bool accepted = classifyReply(d_.receiver.lastReply()) == ReplyKind::Accepted;
        m.setState(accepted || retryCount_ >= kMaxWatchdogSends ? kWait : kSendWatchdog);
    } else if (!withinSeconds(now, kAnswerWaitSeconds, 0, requestTime_)) {
        m.setState(kWait);
    }
}

void MainLoop::stop(tZamTimeMachine& m) {
    m.setStateText("16 stop ");
    m.stop();
    writeLog("Close main statemachine", kLogFileOnly);
    d_.state.mainLoopFinished = true;
}

}  // namespace zampo
