#include "logic/core/gatewaycounters.h"

#include <algorithm>

#include "logic/forwarding/elementwalk.h"
#include "logic/receiver/messages.h"

namespace zampo {

namespace {
// Withdrawn group messages are never written; only so many wait for a match.
constexpr std::size_t kGroupsKept = 64;
constexpr std::string_view kAlarmHead = "[ZAM RCVALARM 02,";
}  // namespace

const char* messageKindName(MessageKind kind) {
    switch (kind) {
        case MessageKind::Raise:
            return "raise";
        case MessageKind::Reset:
            return "reset";
        case MessageKind::Group:
            return "group";
        case MessageKind::System:
            return "system";
        case MessageKind::Watchdog:
            return "watchdog";
        default:
            return "other";
    }
}

MessageKind classifyMessage(std::string_view m) {
    if (m.starts_with("[ZAM WD ")) return MessageKind::Watchdog;
    if (!m.starts_with(kAlarmHead)) return MessageKind::Other;
    const std::string_view rest = m.substr(kAlarmHead.size());
    if (rest.starts_with("9999,")) return MessageKind::System;
    // location,input,state: the state is the third field.
    const std::size_t a = rest.find(',');
    const std::size_t b = a == std::string_view::npos ? a : rest.find(',', a + 1);
    if (b == std::string_view::npos || b + 1 >= rest.size()) return MessageKind::Other;
    return rest[b + 1] == 'R' ? MessageKind::Reset : MessageKind::Raise;
}

MessageKind GatewayCounters::noteWritten(const std::string& message) {
    MessageKind kind = classifyMessage(message);
    const auto group = std::find(queuedGroups_.begin(), queuedGroups_.end(), message);
    if (group != queuedGroups_.end()) {
        queuedGroups_.erase(group);
        kind = MessageKind::Group;
    }
    ++written[static_cast<std::size_t>(kind)];
    return kind;
}

void GatewayCounters::noteOutcome(const CycleOutcome& outcome, TimeMs now) {
    if (!walkStart_) walkStart_ = now;
    if (outcome.next == CycleStep::Finished) {
        lastWalkMs = std::max<int64_t>(0, std::chrono::duration_cast<Millis>(now - *walkStart_).count());
        walkStart_.reset();
    }
    if (outcome.resend) ++resends;
    if (outcome.errorMark != ErrorMark::None) ++errorMarks[static_cast<std::size_t>(outcome.errorMark)];
    if (outcome.group && !outcome.message.empty()) {
        queuedGroups_.push_back(blankControlChars(outcome.message));  // as the queue holds it
        if (queuedGroups_.size() > kGroupsKept) queuedGroups_.pop_front();
    }
}

void GatewayCounters::noteSocketError() {
    zamConnected = false;
    ++zamSocketErrors;
}

void GatewayCounters::notePoExchange(bool ok, TimeMs now) {
    ++poExchanges;
    poFailing = !ok;
    if (ok)
        lastGoodPoMs = std::chrono::duration_cast<Millis>(now.time_since_epoch()).count();
    else
        ++poFailures;
}

}  // namespace zampo
