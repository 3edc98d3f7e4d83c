#include "runtime/mainloop.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "logic/diag/exceptionreport.h"
#include "logic/diag/logwriter.h"
#include "logic/poclient/alarmstatus.h"
#include "logic/poclient/definitionsmerge.h"
#include "logic/receiver/messages.h"
#include "logic/texts/langtext.h"
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
constexpr int64_t kAnswerWaitSeconds = 10;
// A message still queued this long has waited out its connect and more: given up.
constexpr int64_t kQueuedWaitSeconds = kAnswerWaitSeconds + kConnectTimeLimitMs / 1000 + 5;
// Lines ZamMeld hung up on, remembered until they are answered or given up.
constexpr std::size_t kCutOffLinesKept = 256;
constexpr int32_t kMaxWatchdogSends = 3;
constexpr int kConfigErrorInput = 9;
// After a kill only the alarms accepted since the last save are raised again: at
// most this long plus two saves ago.
constexpr int kSaveSpacingMs = 50;
// Elements of the alarm status copied for the fetch worker in one step (about a
// millisecond's work).
constexpr std::size_t kCopySliceElements = 2000;
// Elements with nothing due that one step of the walk passes at most.
constexpr int kPassedPerStep = 64;

XmlDocument& held(DocumentSlot& slot) {
    if (!slot) slot = std::make_unique<XmlDocument>();
    return *slot;
}

// Milliseconds until a wait of seconds since since runs out; 0 when it has.
int64_t msUntil(TimeMs now, TimeMs since, int64_t seconds) {
    const int64_t elapsed = (now - since).count();
    if (!withinSeconds(now, seconds, 0, since)) return 0;
    return seconds * 1000 - elapsed;
}

}  // namespace

MainLoop::~MainLoop() {
    if (saveThread_.joinable()) saveThread_.join();
}

MainLoop::MainLoop(const MainLoopDeps& deps) : d_(deps) {
    saveTimer_.setSingleShot(true);
    QObject::connect(&saveTimer_, &QTimer::timeout, [this] { persistStatus(); });
}

int64_t MainLoop::untilWatchdog(TimeMs now) const {
    return msUntil(now, watchdog_.last, watchdog_.interval);
}

std::string MainLoop::errorLine(uint32_t state, int progress, const std::string& location, const std::string& message,
                                const std::string& className) {
    std::string line = "<tmmMain, state:" + std::to_string(state) + ">";
    if (progress > 0) line += "<sub " + std::to_string(progress) + ">";
    return line + "<" + location + "><" + message + "><" + className + ">";
}

void MainLoop::doState(StepTimer& m) {
    try {
        // A reload or a re-read that fails restarts the loop like any other step.
        progress_ = 0;
        if (safePoint_ && m.state() == kWait) safePoint_();
        runMainStep(m);
    } catch (...) {
        m.setEnabled(false);
        const ErrorInfo err = describeError(std::current_exception());
        // The log keeps the component name that sites know from the original gateway.
        const std::string location =
            exceptionLocationText("tZamTimeMachine", reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
        writeLog(errorLine(m.state(), progress_, location, err.message, err.className), kLogFileOnly);
        m.setState(kStart);
        m.setEnabled(true);
    }
}

void MainLoop::runMainStep(StepTimer& m) {
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

void MainLoop::start(StepTimer& m) {
    m.setStateText(" 1 start ");
    d_.fetch.initPoConnection();
    writeLog(langText(111, "PO connection initialized"), kLogReceiverList);
    d_.state.closingRequest = false;
    d_.state.faultStatus = kFaultCleared;
    d_.poMonitor.reset();
    cycle_ = {};
    fetchCopy_.reset();  // a copy begun before the restart is of no use
    busyLogged_ = false;
    watchdogReturn_ = kWait;
    statusFile_.noteFileAsIs(d_.paths.poDataDir());
    m.setState(kInit);
}

void MainLoop::wait(StepTimer& m, TimeMs now) {
    m.setStateText(" 3 wait ");
    if (startWatchdogIfDue(m, now, kWait)) {
    } else if (poll_.due(now)) {
        startPoll(m, now);
    } else if (d_.state.closingRequest) {
        m.setState(kStop);
    } else if ((definitions_.due(now) || d_.state.refreshRequest || definitionsPending_) &&
               !(definitionsPending_ && d_.fetch.workerRunning())) {
        definitions_.last = now;
        definitions_.interval = kDefinitionsSeconds;
        m.setState(kGetDefinitions);
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
    m.setState(kStartGetAlarms);
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
    m.setState(kSendWatchdog);
    return true;
}

void MainLoop::persistStatus(std::string madeText) {
    saveTimer_.stop();
    if (saveRunning_) {
        saveAgain_ = true;  // the copy changed while the last text was being written
        return;
    }
    std::optional<AlarmStatusFile::Snapshot> snapshot =
        statusFile_.takeSnapshot(held(d_.alarmStatus), d_.paths.poDataDir(), std::move(madeText));
    if (!snapshot) return;
    if (saveThread_.joinable()) saveThread_.join();
    saveRunning_ = true;
    saveTook_.start();
    // The write and its fsync go on beside the loop; the walk does not wait for the disk.
    saveThread_ = std::thread([this, snapshot = std::move(*snapshot), trace = std::exchange(traceNextSave_, false)] {
        written_ = writer_ ? writer_(snapshot) : AlarmStatusFile::write(snapshot);
        if (trace) d_.fetch.traceSavedAlarmStatus(snapshot.text);
        invokeInThreadOf(&saveTimer_, [this] { collectSave(); });
    });
}

void MainLoop::collectSave() {
    if (!saveRunning_) return;  // already collected by flushStatus
    if (saveThread_.joinable()) saveThread_.join();
    saveRunning_ = false;
    // The next save waits at least as long as this one took: a large file leaves
    // the walk half of the time or more.
    lastSaveMs_ = saveTook_.elapsed();
    sinceSave_.start();
    showSaveResult(statusFile_.finishSave(written_));
    if (saveAgain_) {
        saveAgain_ = false;
        saveSoon();
    }
}

void MainLoop::flushStatus() {
    saveAgain_ = false;  // what is left is written below, not in another thread
    collectSave();
    saveTimer_.stop();
    showSaveResult(statusFile_.save(held(d_.alarmStatus), d_.paths.poDataDir()));
}

void MainLoop::reloadStatusFile() {
    flushStatus();
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
            flushStatus();
            break;
        case AlarmStatusFile::Outside::Unchanged:
            if (statusFile_.unsaved()) {  // removed: written anew from the copy
                flushStatus();
                break;
            }
            writeLog(std::string(name) + " not read again: it holds what the gateway wrote last", kLogFileOnly);
            break;
    }
}

void MainLoop::showSaveResult(AlarmStatusFile::SaveResult result) {
    switch (result) {
        case AlarmStatusFile::SaveResult::StartedFailing:
            d_.window.setStatusText(langText(91, "Error writing status"));
            break;
        case AlarmStatusFile::SaveResult::WrittenAgain:
            d_.window.setStatusText(d_.state.fileFaultText().empty() ? langText(28, "Application running")
                                                                     : d_.state.fileFaultText());
            break;
        default:
            break;
    }
}

void MainLoop::saveSoon() {
    if (!statusFile_.unsaved() || saveTimer_.isActive()) return;
    if (saveRunning_) {
        saveAgain_ = true;
        return;
    }
    const qint64 spacing = std::max<qint64>(kSaveSpacingMs, lastSaveMs_);
    const qint64 since = sinceSave_.isValid() ? sinceSave_.elapsed() : spacing;
    if (since >= spacing)
        persistStatus();
    else
        saveTimer_.start(static_cast<int>(spacing - since));
}

void MainLoop::prepareStatusForFetch(TimeMs now) {
    const std::string dir = d_.paths.poDataDir();
    // A save of our own still on its way would look like someone else's; the next poll looks.
    if (!saveRunning_ &&
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
        persistStatus();
    else
        saveSoon();
}

void MainLoop::showFaultStatus() {
    GatewayState& gs = d_.state;
    if (gs.shownStatus == gs.faultStatus) return;
    if (gs.faultStatus == kFaultCleared) gs.faultStatus = kFaultNone;
    gs.shownStatus = gs.faultStatus;
    if (gs.shownStatus == kFaultNone)
        d_.window.setStatusText(statusFile_.failing()        ? langText(91, "Error writing status")
                                : gs.fileFaultText().empty() ? langText(28, "Application running")
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
    m.setStateText(" 4 get definitions ");
    if (!fetchSlotFree()) {
        // Asked again from state 3 as soon as the worker is gone.
        definitionsPending_ = true;
        m.setState(kWait);
        return;
    }
    definitionsPending_ = false;
    writeLog(langText(29, "Collect alarm definitions"), kLogPoList);
    // A copy made afresh for a file that never was holds nothing to keep.
    d_.fetch.setLinksInUse(d_.linkDefs && d_.linkDefs->hasContent() && d_.linkDefs->root().first_child());
    d_.fetch.clearFetchDone();
    d_.fetch.startFetch(poUrl("/office/alarm/alarmserverconfig"), kFetchDefinitions);
    requestTime_ = now;
    m.setState(kWaitDefinitions);
}

void MainLoop::waitDefinitions(StepTimer& m, TimeMs now) {
    m.setStateText(" 5 wait definitions ");
    if (startWatchdogIfDue(m, now, kWaitDefinitions)) return;
    const bool done = d_.fetch.fetchDone();
    // A request that ran into its own time limit ends as the loop's wait running out.
    if ((done && d_.fetch.fetchTimedOut()) ||
        (!done && !withinSeconds(now, kDefinitionsWaitSeconds, 0, requestTime_))) {
        writeLog(langText(31, "Timeout collecting definitions!"), kLogPoList);
        d_.poMonitor.report(false);
        d_.state.faultStatus = kFaultPriva;
        m.setState(kWait);
    } else if (done) {
        if (d_.state.faultStatus > kFaultNone) {
            d_.poMonitor.report(false);
            m.setState(kWait);
            return;
        }
        const std::string message = d_.fetch.fetchMessage();
        const bool merged = d_.fetch.definitionsMerged();
        if (!message.empty()) writeLog(message, kLogPoList);
        bool linksDefined = d_.fetch.allLinksDefined();
        if (merged) {
            if (message.empty()) writeLog(langText(89, ""), kLogPoList);
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
            persistStatus();
        }
        if (!linksDefined) {
            writeLog(langText(30, "Undefined links found!"), kLogPoList);
            d_.receiver.sendIPString(systemAlarmMessage(kConfigErrorInput, true), true);
        }
        if (merged) d_.window.refillLinkGrid();
        m.setState(kWait);
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
    m.setStateText(" 7 start get alarms ");
    // The worker's copy is made a slice per step, so a large status does not hold
    // the loop for one long event; nothing changes the status until the fetch starts.
    if (!fetchCopy_) {
        if (!fetchSlotFree()) {
            // The worker has outlived its wait: a failed exchange, and the elements
            // as they stand are still worked through, as after a timeout.
            d_.poMonitor.report(false);
            m.setState(kCheckAlarms);
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
    m.setState(kWaitAlarms);
}

void MainLoop::waitAlarms(StepTimer& m, TimeMs now) {
    m.setStateText(" 8 wait alarms ");
    if (startWatchdogIfDue(m, now, kWaitAlarms)) return;
    progress_ = 1;
    if (d_.fetch.fetchDone()) {
        progress_ = 2;
        if (d_.fetch.fetchTimedOut()) {
            timeoutCollectingAlarms(m);  // its time limit ran out: as the loop's own wait
            return;
        }
        // What the merge made of the answer is taken also while a receiver fault
        // counts the fetch as failed: an alarm raised and reset during a ZamMeld
        // outage must still be seen.
        DocumentSlot merged = d_.fetch.takeAlarmStatus();
        progress_ = 9;
        if (merged) {
            cycle_.current = cycle_.next = {};  // its document is about to go
            d_.alarmStatus = std::move(merged);
            d_.window.alarmStatusWalked();
            statusFile_.markChanged();
            traceNextSave_ = true;
            progress_ = 11;
            // The worker wrote out its text already: saved at once, at no cost to the loop.
            std::string text = d_.fetch.takeAlarmStatusText();
            if (text.empty())
                saveSoon();
            else
                persistStatus(std::move(text));
        }
        progress_ = 12;
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
        m.setState(kCheckAlarms);
        return;
    }
    progress_ = 13;
    if (!withinSeconds(now, kAlarmsWaitSeconds, 0, requestTime_))
        timeoutCollectingAlarms(m);
    else
        m.restFor(std::min(untilWatchdog(now), msUntil(now, requestTime_, kAlarmsWaitSeconds)));
}

void MainLoop::timeoutCollectingAlarms(StepTimer& m) {
    writeLog(langText(32, "Timeout collecting alarms !"), kLogPoList);
    progress_ = 14;
    d_.poMonitor.report(false);
    progress_ = 15;
    d_.state.faultStatus = kFaultPriva;
    m.setState(kCheckAlarms);
}

CycleDocuments MainLoop::documents() {
    return {held(d_.alarmStatus), held(d_.linkDefs), held(d_.zamDefs)};
}

void MainLoop::follow(StepTimer& m, const CycleOutcome& outcome, TimeMs now) {
    d_.state.counters.noteOutcome(outcome, now);
    for (const std::string& line : outcome.log) writeLog(line, kLogPoList);
    if (!outcome.message.empty()) {
        messageTicket_ = d_.receiver.sendIPString(outcome.message, true);
        message_ = blankControlChars(outcome.message);
        messageWritten_ = false;
    }
    if (outcome.changed) statusFile_.markChanged();
    switch (outcome.next) {
        case CycleStep::Finished:
            m.setState(kWait);
            saveSoon();  // a walk leaves the file as it ended
            d_.window.alarmStatusWalked();
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

void MainLoop::checkAlarms(StepTimer& m, TimeMs now) {
    m.setStateText(" 9 check alarms ");
    if (startWatchdogIfDue(m, now, kCheckAlarms) || startPollIfDue(m, now)) return;
    // Elements with nothing due are passed several to a step: the walk over a large
    // site that has all been reported costs its elements, not a step each.
    for (int passed = 1;; ++passed) {
        const CycleOutcome outcome = examineNext(cycle_, documents(), now);
        follow(m, outcome, now);
        const bool quiet =
            outcome.next == CycleStep::Examine && outcome.log.empty() && outcome.message.empty() && !outcome.changed;
        if (!quiet || passed >= kPassedPerStep) return;
    }
}

void MainLoop::sendAlarm(StepTimer& m, TimeMs now) {
    m.setStateText("10 send alarm to zam ");
    // The operator's two check boxes, as the gateway's settings hold them now.
    const TextOptions options{d_.settings.sendPcu, d_.settings.filterPunct};
    follow(m, sendForCurrent(cycle_, documents(), options, now), now);
    requestTime_ = now;
}

void MainLoop::checkResponse(StepTimer& m, TimeMs now) {
    m.setStateText("11 check response ");
    const Delivery delivery = d_.receiver.deliveryOf(messageTicket_);
    // The answer wait starts when the line is on the wire; until then the
    // connect's own time limit decides.
    if (delivery == Delivery::Written && !messageWritten_) {
        messageWritten_ = true;
        requestTime_ = d_.receiver.writtenAt(messageTicket_).value_or(now);
    }
    const bool timeUp = !withinSeconds(now, kAnswerWaitSeconds, 0, requestTime_);
    CycleOutcome outcome;
    if (delivery == Delivery::Answered) {
        cutOffLines_.erase(message_);
        outcome = evaluateAnswer(cycle_, documents(), Answer{true, d_.receiver.answerOf(messageTicket_), false}, now);
    } else if (delivery == Delivery::Failed && cutOffCountsAsSend()) {
        // ZamMeld answers other lines but hangs up on this one: a send it did not
        // take, so that one line cannot hold back the rest for ever.
        writeLog("ZamMeld closed the connection on " + message_ +
                     " though it answers other lines: counted as a send it did not take",
                 kLogReceiverList);
        outcome = evaluateAnswer(cycle_, documents(), Answer{true, std::string(), false}, now);
    } else if (delivery == Delivery::Failed ||
               (delivery == Delivery::Queued && !withinSeconds(now, kQueuedWaitSeconds, 0, requestTime_))) {
        // It never reached ZamMeld: no attempt, the element stays unreported.
        d_.receiver.withdraw(messageTicket_);
        outcome = undelivered(cycle_);
    } else if (delivery == Delivery::Written && timeUp) {
        cutOffLines_.erase(message_);
        outcome = evaluateAnswer(cycle_, documents(), Answer{false, std::string(), true}, now);
        // An answer that comes after this must not count for the next message.
        d_.receiver.dropConnection();
    } else {
        outcome.next = CycleStep::AwaitAnswer;
    }
    follow(m, outcome, now);
    // Waiting steps that changed nothing leave the file alone.
    if (outcome.changed) saveSoon();
    if (m.state() == kCheckResponse)
        m.restFor(messageWritten_ ? msUntil(now, requestTime_, kAnswerWaitSeconds)
                                  : msUntil(now, requestTime_, kQueuedWaitSeconds));
}

bool MainLoop::cutOffCountsAsSend() {
    if (!d_.receiver.cutOff(messageTicket_)) return false;
    const uint64_t answers = d_.receiver.answersReceived();
    const auto [it, first] = cutOffLines_.try_emplace(message_, answers);
    if (first && cutOffLines_.size() > kCutOffLinesKept) {
        cutOffLines_.clear();
        cutOffLines_.emplace(message_, answers);
    }
    // Only once ZamMeld has answered something since it first hung up on this
    // line: a ZamMeld that answers nothing at all is waited for, in order.
    return !first && answers > it->second;
}

void MainLoop::sendWatchdog(StepTimer& m, TimeMs now) {
    m.setStateText("12 send wd ");
    ++retryCount_;
    watchdogTicket_ = d_.receiver.sendIPString(watchdogMessage(d_.state.watchdogId), true);
    watchdogSentAt_ = now;
    watchdogWritten_ = false;
    m.setState(kWaitWatchdog);
}

void MainLoop::waitWatchdog(StepTimer& m, TimeMs now) {
    m.setStateText("13 wait result wd ");
    const Delivery delivery = d_.receiver.deliveryOf(watchdogTicket_);
    if (delivery == Delivery::Written && !watchdogWritten_) {
        watchdogWritten_ = true;
        watchdogSentAt_ = d_.receiver.writtenAt(watchdogTicket_).value_or(now);
    }
    const int64_t wait = watchdogWritten_ ? kAnswerWaitSeconds : kQueuedWaitSeconds;
    if (delivery == Delivery::Answered) {
        ++d_.state.counters.watchdogsAnswered;
        const bool accepted = classifyReply(d_.receiver.answerOf(watchdogTicket_)) == ReplyKind::Accepted;
        m.setState(accepted || retryCount_ >= kMaxWatchdogSends ? watchdogReturn_ : kSendWatchdog);
    } else if (delivery == Delivery::Failed) {
        m.setState(watchdogReturn_);  // ZamMeld not reached: the next due watchdog tries again
    } else if (!withinSeconds(now, wait, 0, watchdogSentAt_)) {
        if (delivery == Delivery::Queued)
            d_.receiver.withdraw(watchdogTicket_);
        else
            d_.receiver.dropConnection();  // a late answer must not count for the next message
        m.setState(watchdogReturn_);
    } else {
        m.restFor(msUntil(now, watchdogSentAt_, wait));
    }
}

void MainLoop::stop(StepTimer& m) {
    m.setStateText("16 stop ");
    flushStatus();
    m.stop();
    writeLog("Close main statemachine", kLogFileOnly);
    d_.state.mainLoopFinished = true;
}

}  // namespace zampo
