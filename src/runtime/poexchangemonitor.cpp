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
    connect(&receiver_, &SocketMachine::deliveryChanged, this, &PoExchangeMonitor::onDeliveryChanged);
}

void PoExchangeMonitor::send(bool raise) {
    ticket_ = receiver_.queueMessage(systemAlarmMessage(kPoExchangeInput, raise), true);
    ticketRaises_ = raise;
}

void PoExchangeMonitor::onDeliveryChanged() {
    if (ticket_ == 0) return;
    const Delivery d = receiver_.deliveryOf(ticket_);
    if (d == Delivery::Queued || d == Delivery::Written) return;
    if (d == Delivery::Answered) {
        if (!ticketRaises_) resetOwed_ = false;
    } else if (ticketRaises_) {
        raised_ = false;  // never got there: raised again while the failures go on
    }
    ticket_ = 0;
}

void PoExchangeMonitor::report(bool succeeded) {
    if (counters_) counters_->notePoExchange(succeeded, clock_.nowUtc());
    if (succeeded) {
        if (raised_) {
            raised_ = false;
            resetOwed_ = true;
        }
        // Sent again until ZamMeld answered it, or ZAM-Pro shows Priva Office failing for ever.
        if (resetOwed_ && (ticket_ == 0 || ticketRaises_)) send(false);
        since_.reset();
        return;
    }
    if (raised_) return;
    if (!since_) {
        since_ = clock_.nowUtc();
    } else if (clock_.nowUtc() - *since_ > kRaiseAfter) {
        raised_ = true;
        resetOwed_ = false;
        send(true);
    }
}

void PoExchangeMonitor::reset() {
    raised_ = false;
    resetOwed_ = false;
    ticket_ = 0;
    since_.reset();
}

}  // namespace zampo
