#include "runtime/poexchangemonitor.h"

#include "logic/receiver/messages.h"
#include "runtime/socketmachine.h"

namespace zampo {

namespace {
constexpr Millis kRaiseAfter{300'000};
constexpr int kPoExchangeInput = 8;
}  // namespace

PoExchangeMonitor::PoExchangeMonitor(const Clock& clock, SocketMachine& receiver, QObject* parent)
    : QObject(parent), clock_(clock), receiver_(receiver) {
    connect(&receiver_, &SocketMachine::socketFailed, this, &PoExchangeMonitor::clearRaised);
}

void PoExchangeMonitor::report(bool succeeded) {
    if (counters_) counters_->notePoExchange(succeeded, clock_.nowUtc());
    if (succeeded) {
        if (raised_) {
            raised_ = false;
            receiver_.sendIPString(systemAlarmMessage(kPoExchangeInput, false), true);
        }
        since_.reset();
        return;
    }
    if (raised_) return;
    if (!since_) {
        since_ = clock_.nowUtc();
    } else if (clock_.nowUtc() - *since_ > kRaiseAfter) {
        raised_ = true;
        receiver_.sendIPString(systemAlarmMessage(kPoExchangeInput, true), true);
    }
}

void PoExchangeMonitor::reset() {
    raised_ = false;
    since_.reset();
}

}  // namespace zampo
