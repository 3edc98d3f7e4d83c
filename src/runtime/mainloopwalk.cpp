// The loop's walk through the alarm status, one element or one message per step,
// and the watchdog exchange that interrupts it.
#include "logic/diag/logwriter.h"
#include "logic/receiver/messages.h"
#include "runtime/mainloop.h"
#include "runtime/socketmachine.h"

namespace zampo {

namespace {

constexpr int64_t kAnswerWaitSeconds = 10;
// A message still queued this long has waited out its connect and more: given up.
constexpr int64_t kQueuedWaitSeconds = kAnswerWaitSeconds + kConnectTimeLimitMs / 1000 + 5;
// Lines ZamMeld hung up on, remembered until they are answered or given up.
constexpr std::size_t kCutOffLinesKept = 256;
constexpr int32_t kMaxWatchdogSends = 3;
// Elements with nothing due that one step of the walk passes at most.
constexpr int kPassedPerStep = 64;

}  // namespace

CycleDocuments MainLoop::documents() {
    return {held(d_.alarmStatus), held(d_.linkDefs), held(d_.zamDefs)};
}

void MainLoop::follow(StepTimer& m, const CycleOutcome& outcome, TimeMs now) {
    d_.state.counters.noteOutcome(outcome, now);
    for (const std::string& line : outcome.log) writeLog(line, kLogPoList);
    if (!outcome.message.empty()) {
        messageTicket_ = d_.receiver.queueMessage(outcome.message, true);
        message_ = blankControlChars(outcome.message);
        messageWritten_ = false;
    }
    if (outcome.changed) statusFile_.markChanged();
    switch (outcome.next) {
        case CycleStep::Finished:
            m.setState(State::Wait);
            saver_.saveSoon();  // a walk leaves the file as it ended
            d_.window.alarmStatusWalked();
            break;
        case CycleStep::Examine:
            m.setState(State::CheckAlarms);
            break;
        case CycleStep::Send:
            m.setState(State::SendAlarm);
            break;
        case CycleStep::AwaitAnswer:
            m.setState(State::CheckResponse);
            break;
    }
}

void MainLoop::checkAlarms(StepTimer& m, TimeMs now) {
    if (startWatchdogIfDue(m, now, State::CheckAlarms) || startPollIfDue(m, now)) return;
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
    // The operator's two check boxes, as the gateway's settings hold them now.
    const TextOptions options{d_.settings.sendPcu, d_.settings.filterPunct};
    follow(m, sendForCurrent(cycle_, documents(), options, now), now);
    requestTime_ = now;
}

void MainLoop::checkResponse(StepTimer& m, TimeMs now) {
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
    if (outcome.changed) saver_.saveSoon();
    if (m.stateAs<State>() == State::CheckResponse)
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
    ++retryCount_;
    watchdogTicket_ = d_.receiver.queueMessage(watchdogMessage(d_.state.watchdogId), true);
    watchdogSentAt_ = now;
    watchdogWritten_ = false;
    m.setState(State::WaitWatchdog);
}

void MainLoop::waitWatchdog(StepTimer& m, TimeMs now) {
    const Delivery delivery = d_.receiver.deliveryOf(watchdogTicket_);
    if (delivery == Delivery::Written && !watchdogWritten_) {
        watchdogWritten_ = true;
        watchdogSentAt_ = d_.receiver.writtenAt(watchdogTicket_).value_or(now);
    }
    const int64_t wait = watchdogWritten_ ? kAnswerWaitSeconds : kQueuedWaitSeconds;
    if (delivery == Delivery::Answered) {
        ++d_.state.counters.watchdogsAnswered;
        const bool accepted = classifyReply(d_.receiver.answerOf(watchdogTicket_)) == ReplyKind::Accepted;
        m.setState(accepted || retryCount_ >= kMaxWatchdogSends ? watchdogReturn_ : State::SendWatchdog);
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

}  // namespace zampo
