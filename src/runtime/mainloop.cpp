#include "runtime/mainloop.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/diag/exceptionreport.h"
#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"
#include "logic/poclient/definitionsmerge.h"
#include "logic/receiver/messages.h"
#include "runtime/poexchangemonitor.h"
#include "runtime/socketmachine.h"
#include "runtime/threadhandoff.h"

namespace zampo {

namespace {

constexpr int64_t kWatchdogSeconds = 60;
constexpr int64_t kPollSeconds = 10;
constexpr int64_t kFirstDefinitionsSeconds = 300;
constexpr int64_t kDefinitionsSeconds = 28800;
constexpr int64_t kDefinitionsWaitSeconds = 400;
constexpr int64_t kAlarmsWaitSeconds = 60;
constexpr int kConfigErrorInput = 9;
// Elements of the alarm status copied for the fetch worker in one step (about a
// millisecond's work).
constexpr std::size_t kCopySliceElements = 2000;

}  // namespace

MainLoop::MainLoop(const MainLoopDeps& deps)
    : d_(deps),
      saver_(statusFile_, StatusSaverDeps{deps.state, deps.window, deps.fetch, deps.paths, deps.alarmStatus}) {}

int64_t MainLoop::msUntil(TimeMs now, TimeMs since, int64_t seconds) {
    const int64_t elapsed = (now - since).count();
    if (!withinSeconds(now, seconds, 0, since)) return 0;
    return seconds * 1000 - elapsed;
}

int64_t MainLoop::untilWatchdog(TimeMs now) const {
    return msUntil(now, watchdog_.last, watchdog_.interval);
}

struct MainLoop::StateRow {
    State state;
    const char* name;
    void (MainLoop::*run)(StepTimer&, TimeMs);
};

const MainLoop::StateRow* MainLoop::rowOf(State state) {
    static constexpr StateRow kRows[] = {
        {State::Start, "start", &MainLoop::start},
        {State::Init, "init", &MainLoop::init},
        {State::Wait, "wait", &MainLoop::wait},
        {State::GetDefinitions, "get definitions", &MainLoop::getDefinitions},
        {State::WaitDefinitions, "wait definitions", &MainLoop::waitDefinitions},
        {State::StartGetAlarms, "start get alarms", &MainLoop::startGetAlarms},
        {State::WaitAlarms, "wait alarms", &MainLoop::waitAlarms},
        {State::CheckAlarms, "check alarms", &MainLoop::checkAlarms},
        {State::SendAlarm, "send alarm to zam", &MainLoop::sendAlarm},
        {State::CheckResponse, "check response", &MainLoop::checkResponse},
        {State::SendWatchdog, "send wd", &MainLoop::sendWatchdog},
        {State::WaitWatchdog, "wait result wd", &MainLoop::waitWatchdog},
        {State::Stop, "stop", &MainLoop::stop},
    };
    for (const StateRow& row : kRows)
        if (row.state == state) return &row;
    return nullptr;
}

std::string MainLoop::stateText(State state) {
    const StateRow* row = rowOf(state);
    if (!row) return {};
    const auto n = static_cast<uint32_t>(state);
    return (n < 10 ? " " : "") + std::to_string(n) + " " + row->name + " ";
}

std::string MainLoop::errorLine(State state, WaitAlarmsPoint reached, const std::string& location,
                                const std::string& message, const std::string& className) {
    std::string line = "<tmmMain, state:" + std::to_string(static_cast<uint32_t>(state)) + ">";
    if (reached != WaitAlarmsPoint::None) line += "<sub " + std::to_string(static_cast<int>(reached)) + ">";
    return line + "<" + location + "><" + message + "><" + className + ">";
}

void MainLoop::step(StepTimer& m) {
    try {
        // A reload or a re-read that fails restarts the loop like any other step.
        if (safePoint_ && m.stateAs<State>() == State::Wait) safePoint_();
        runStep(m);
    } catch (...) {
        m.setEnabled(false);
        const ErrorInfo err = describeError(std::current_exception());
        // The log keeps the component names that the sites' log readers look for.
        const std::string location =
            exceptionLocationText("tZamTimeMachine", reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
        writeLog(errorLine(m.stateAs<State>(), reached_, location, err.message, err.className), kLogFileOnly);
        m.setState(State::Start);
        m.setEnabled(true);
    }
}

void MainLoop::runStep(StepTimer& m) {
    reached_ = WaitAlarmsPoint::None;
    const TimeMs now = d_.clock.nowUtc();
    const State state = m.stateAs<State>();
    const StateRow* row = rowOf(state);
    if (!row) return;
    m.setStateText(stateText(state));
    (this->*row->run)(m, now);
}

void MainLoop::start(StepTimer& m, TimeMs) {
    d_.fetch.initPoConnection();
    writeLog(langText(TextId::PoConnectionInitialized), kLogReceiverList);
    d_.state.closingRequest = false;
    d_.state.faultStatus = kFaultCleared;
    d_.poMonitor.reset();
    cycle_ = {};
    fetchCopy_.reset();  // a copy begun before the restart is of no use
    busyLogged_ = false;
    watchdogReturn_ = State::Wait;
    statusFile_.noteFileAsIs(d_.paths.poDataDir());
    m.setState(State::Init);
}

void MainLoop::init(StepTimer& m, TimeMs now) {
    watchdog_ = {now, kWatchdogSeconds};
    poll_ = {now, kPollSeconds};
    definitions_ = {now, kFirstDefinitionsSeconds};
    m.setState(State::Wait);
}

void MainLoop::wait(StepTimer& m, TimeMs now) {
    if (startWatchdogIfDue(m, now, State::Wait)) {
    } else if (poll_.due(now)) {
        startPoll(m, now);
    } else if (d_.state.closingRequest) {
        m.setState(State::Stop);
    } else if ((definitions_.due(now) || d_.state.refreshRequest || definitionsPending_) &&
               !(definitionsPending_ && d_.fetch.workerRunning())) {
        definitions_.last = now;
        definitions_.interval = kDefinitionsSeconds;
        m.setState(State::GetDefinitions);
        d_.state.refreshRequest = false;
    } else {
        // Stop and refresh requests wake the machine; so does the end of a worker
        // that a pending definitions fetch waits for.
        int64_t rest = std::min(untilWatchdog(now), msUntil(now, poll_.last, poll_.interval));
        if (!definitionsPending_) rest = std::min(rest, msUntil(now, definitions_.last, definitions_.interval));
        m.restFor(rest);
    }
    showFaultStatus();
}

void MainLoop::startPoll(StepTimer& m, TimeMs now) {
    poll_.last = now;
    poll_.interval = kPollSeconds;
    cycle_.elementIndex = 0;
    cycle_.next = {};
    m.setState(State::StartGetAlarms);
}

bool MainLoop::startPollIfDue(StepTimer& m, TimeMs now) {
    if (!poll_.due(now) || d_.state.faultStatus > kFaultNone || d_.state.closingRequest) return false;
    startPoll(m, now);
    return true;
}

bool MainLoop::startWatchdogIfDue(StepTimer& m, TimeMs now, State returnState) {
    if (!watchdog_.due(now)) return false;
    watchdog_.last = now;
    retryCount_ = 0;
    watchdogReturn_ = returnState;
    m.setState(State::SendWatchdog);
    return true;
}

void MainLoop::reloadStatusFile() {
    saver_.flushStatus();
    const char* name = kAlarmStatusFile.fileName;
    if (statusFile_.unsaved()) {
        writeLog(std::string(name) + " not read again: the gateway's copy could not be saved yet", kLogPoList);
        return;
    }
    switch (statusFile_.checkOutsideChange(d_.alarmStatus, d_.paths.poDataDir(), d_.clock.nowUtc())) {
        case AlarmStatusFile::Outside::TakenOver:
            cycle_.current = cycle_.next = {};
            d_.window.alarmStatusWalked();
            writeLog(std::string(name) + " read again (reload)", kLogPoList);
            break;
        case AlarmStatusFile::Outside::MovedAside:
            saver_.flushStatus();
            break;
        case AlarmStatusFile::Outside::Unchanged:
            if (statusFile_.unsaved()) {  // removed: written anew from the copy
                saver_.flushStatus();
                break;
            }
            writeLog(std::string(name) + " not read again: it holds what the gateway wrote last", kLogFileOnly);
            break;
    }
}

void MainLoop::prepareStatusForFetch(TimeMs now) {
    const std::string dir = d_.paths.poDataDir();
    // A save of our own still on its way would look like someone else's; the next poll looks.
    if (!saver_.running() &&
        statusFile_.checkOutsideChange(d_.alarmStatus, dir, now) == AlarmStatusFile::Outside::TakenOver)
        cycle_.current = cycle_.next = {};
    XmlDocument& status = held(d_.alarmStatus);
    if (!status.hasContent()) {
        // Nothing to go by (its file was damaged and could not be moved aside): the
        // next answer rebuilds it.
        status.startAfresh(kAlarmStatusFile.rootName);
        cycle_.current = cycle_.next = {};
        writeLog(std::string(kAlarmStatusFile.fileName) + " started afresh", kLogPoList);
        statusFile_.markChanged();
    }
    // A save that failed earlier is tried again here, once a poll; one that merely
    // waits for its moment keeps waiting, out of the way of the fetch.
    if (statusFile_.failing())
        saver_.persistStatus();
    else
        saver_.saveSoon();
}

void MainLoop::showFaultStatus() {
    GatewayState& gs = d_.state;
    if (gs.shownStatus == gs.faultStatus) return;
    if (gs.faultStatus == kFaultCleared) gs.faultStatus = kFaultNone;
    gs.shownStatus = static_cast<FaultStatus>(gs.faultStatus.load());
    if (gs.shownStatus == kFaultNone)
        d_.window.setStatusText(statusFile_.failing()        ? langText(TextId::StatusWriteError)
                                : gs.fileFaultText().empty() ? langText(TextId::ApplicationRunning)
                                                             : gs.fileFaultText());
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

void MainLoop::getDefinitions(StepTimer& m, TimeMs now) {
    if (!fetchSlotFree()) {
        // Asked again from Wait as soon as the worker is gone.
        definitionsPending_ = true;
        m.setState(State::Wait);
        return;
    }
    definitionsPending_ = false;
    writeLog(langText(TextId::CollectingDefinitions), kLogPoList);
    // A copy made afresh for a file that never was holds nothing to keep.
    d_.fetch.setLinksInUse(d_.linkDefs && d_.linkDefs->hasContent() && d_.linkDefs->root().first_child());
    d_.fetch.clearFetchDone();
    d_.fetch.startFetch(poUrl("/office/alarm/alarmserverconfig"), kFetchDefinitions);
    requestTime_ = now;
    m.setState(State::WaitDefinitions);
}

void MainLoop::waitDefinitions(StepTimer& m, TimeMs now) {
    if (startWatchdogIfDue(m, now, State::WaitDefinitions)) return;
    const bool done = d_.fetch.fetchDone();
    // A request that ran into its own time limit ends as the loop's wait running out.
    if ((done && d_.fetch.fetchTimedOut()) ||
        (!done && !withinSeconds(now, kDefinitionsWaitSeconds, 0, requestTime_))) {
        writeLog(langText(TextId::DefinitionsTimeout), kLogPoList);
        d_.poMonitor.report(false);
        d_.state.faultStatus = kFaultPriva;
        m.setState(State::Wait);
    } else if (done) {
        if (d_.state.faultStatus > kFaultNone) {
            d_.poMonitor.report(false);
            m.setState(State::Wait);
            return;
        }
        const std::string message = d_.fetch.fetchMessage();
        const bool merged = d_.fetch.definitionsMerged();
        if (!message.empty()) writeLog(message, kLogPoList);
        bool linksDefined = d_.fetch.allLinksDefined();
        if (merged) {
            if (message.empty()) writeLog(langText(TextId::DefinitionsCollected), kLogPoList);
            takeMergedLinks();
        } else {
            // Nothing of this answer is in the file: the links in use are the verdict.
            writeLog("Definitions from Priva Office not merged; the links in use stay", kLogPoList);
            linksDefined = d_.linkDefs && d_.linkDefs->hasContent() && allLinksDefined(*d_.linkDefs);
        }
        d_.poMonitor.report(true);
        // Reset elements whose reset went out are done with; unreported ones stay.
        if (cleanUpResetElements(held(d_.alarmStatus)) > 0) {
            cycle_.current = cycle_.next = {};
            statusFile_.markChanged();
            saver_.persistStatus();
        }
        if (!linksDefined) {
            writeLog(langText(TextId::UndefinedLinksFound), kLogPoList);
            d_.receiver.queueMessage(systemAlarmMessage(kConfigErrorInput, true), true);
        }
        if (merged) d_.window.refillLinkGrid();
        m.setState(State::Wait);
    } else {
        m.restFor(std::min(untilWatchdog(now), msUntil(now, requestTime_, kDefinitionsWaitSeconds)));
    }
}

void MainLoop::takeMergedLinks() {
    const std::string dir = d_.paths.poDataDir();
    DocumentSlot fresh;
    openDataFile(fresh, dir, kLinkDefsFile);
    // Damaged or taken away since the merge saved it: the copy in use stays.
    if (::access(dataFilePath(dir, kLinkDefsFile).c_str(), F_OK) != 0 || !fresh->hasContent()) {
        writeLog(
            std::string(kLinkDefsFile.fileName) + " cannot be read after the merge; the copy read before stays in use",
            kLogPoList);
        return;
    }
    d_.linkDefs = std::move(fresh);
}

void MainLoop::startGetAlarms(StepTimer& m, TimeMs now) {
    // The worker's copy is made a slice per step, so a large status does not hold
    // the loop for one long event; nothing changes the status until the fetch starts.
    if (!fetchCopy_) {
        if (!fetchSlotFree()) {
            // The worker has outlived its wait: a failed exchange, and the elements
            // as they stand are still worked through, as after a timeout.
            d_.poMonitor.report(false);
            m.setState(State::CheckAlarms);
            return;
        }
        prepareStatusForFetch(now);
        fetchCopy_ = std::make_unique<XmlDocument>();
        copyNext_ = fetchCopy_->startCopy(held(d_.alarmStatus));
    }
    copyNext_ = fetchCopy_->copyChildren(copyNext_, kCopySliceElements);
    if (copyNext_) return;
    d_.fetch.clearFetchDone();
    d_.fetch.startFetch(poUrl("/office/alarm/alarmserver"), kFetchAlarms, std::move(fetchCopy_));
    fetchCopy_.reset();
    requestTime_ = now;
    m.setState(State::WaitAlarms);
}

void MainLoop::waitAlarms(StepTimer& m, TimeMs now) {
    using P = WaitAlarmsPoint;
    if (startWatchdogIfDue(m, now, State::WaitAlarms)) return;
    reached_ = P::Entered;
    if (d_.fetch.fetchDone()) {
        reached_ = P::FetchDone;
        if (d_.fetch.fetchTimedOut()) {
            timeoutCollectingAlarms(m);  // its time limit ran out: as the loop's own wait
            return;
        }
        takeMergedAlarms();
        reached_ = P::StatusInPlace;
        if (d_.state.faultStatus > kFaultNone) {
            reached_ = P::FaultSeen;
            d_.poMonitor.report(false);
            reached_ = P::FailureReported;
            m.setState(State::Wait);
            return;
        }
        reached_ = P::TakingAnswer;
        const std::string message = d_.fetch.fetchMessage();
        if (!message.empty()) {
            reached_ = P::LoggingMessage;
            writeLog(message, kLogPoList);
        }
        reached_ = P::ReportingSuccess;
        d_.poMonitor.report(true);
        reached_ = P::SuccessReported;
        m.setState(State::CheckAlarms);
        return;
    }
    reached_ = P::NotDone;
    if (!withinSeconds(now, kAlarmsWaitSeconds, 0, requestTime_))
        timeoutCollectingAlarms(m);
    else
        m.restFor(std::min(untilWatchdog(now), msUntil(now, requestTime_, kAlarmsWaitSeconds)));
}

void MainLoop::takeMergedAlarms() {
    // What the merge made of the answer is taken also while a receiver fault
    // counts the fetch as failed: an alarm raised and reset during a ZamMeld
    // outage must still be seen.
    DocumentSlot merged = d_.fetch.takeAlarmStatus();
    reached_ = WaitAlarmsPoint::MergeTaken;
    if (!merged) return;
    cycle_.current = cycle_.next = {};  // its document is about to go
    d_.alarmStatus = std::move(merged);
    d_.window.alarmStatusWalked();
    statusFile_.markChanged();
    saver_.traceNextSave();
    reached_ = WaitAlarmsPoint::StatusReplaced;
    // The worker wrote out its text already: saved at once, at no cost to the loop.
    std::string text = d_.fetch.takeAlarmStatusText();
    if (text.empty())
        saver_.saveSoon();
    else
        saver_.persistStatus(std::move(text));
}

void MainLoop::timeoutCollectingAlarms(StepTimer& m) {
    writeLog(langText(TextId::AlarmsTimeout), kLogPoList);
    reached_ = WaitAlarmsPoint::TimeoutLogged;
    d_.poMonitor.report(false);
    reached_ = WaitAlarmsPoint::TimeoutReported;
    d_.state.faultStatus = kFaultPriva;
    m.setState(State::CheckAlarms);
}

void MainLoop::stop(StepTimer& m, TimeMs) {
    saver_.flushStatus();
    m.stop();
    writeLog("Close main statemachine", kLogFileOnly);
    d_.state.mainLoopFinished = true;
}

}  // namespace zampo
