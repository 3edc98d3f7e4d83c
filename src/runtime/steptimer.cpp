#include "runtime/steptimer.h"

#include <QElapsedTimer>
#include <algorithm>
#include <limits>

namespace zampo {

StepTimer::StepTimer(QObject* owner, std::function<void(QObject*)> onCreate) : QObject(owner) {
    if (onCreate) onCreate(owner);
    timer_.setSingleShot(false);
    connect(&timer_, &QTimer::timeout, this, &StepTimer::tick);
}

void StepTimer::stop() {
    timer_.stop();
    stopped_ = true;
}

void StepTimer::setEnabled(bool on) {
    enabled_ = on;
    if (on && !lastStep_.isValid()) {
        lastStep_.start();  // the first step is due now
        plannedRestMs_ = 0;
    }
    if (!on) {
        timer_.stop();
    } else if (eventDriven()) {
        if (!inTurn_) {
            timer_.setSingleShot(true);
            timer_.start(0);
        }
    } else {
        timer_.start();
    }
}

void StepTimer::setTurnBudget(int budgetMs) {
    budgetMs_ = budgetMs;
    // A wait that runs out is a deadline: on time, not within the coarse timer's slack.
    timer_.setTimerType(Qt::PreciseTimer);
}

void StepTimer::restFor(int64_t ms) {
    resting_ = true;
    restMs_ = ms;
}

void StepTimer::wake() {
    if (!eventDriven() || !enabled_ || stopped_) return;
    woken_ = true;
    if (inTurn_) return;  // the turn's end looks at woken_
    if (!timer_.isActive() || timer_.remainingTime() > 0) {
        timer_.setSingleShot(true);
        timer_.start(0);
    }
}

void StepTimer::tick() {
    timer_.stop();
    if (eventDriven()) {
        runTurn();
        return;
    }
    if (handler_) {
        if (loopCount_ == 0) loopCount_ = 1;
        for (int32_t i = 0; i < loopCount_ && !stopped_; ++i) handler_(*this);
        lastStep_.start();
        plannedRestMs_ = timer_.interval();
    }
    timer_.start();
}

qint64 StepTimer::overdueMs() const {
    if (!lastStep_.isValid() || plannedRestMs_ < 0) return 0;
    return std::max<qint64>(0, lastStep_.elapsed() - plannedRestMs_);
}

void StepTimer::runTurn() {
    woken_ = false;
    resting_ = false;
    inTurn_ = true;
    QElapsedTimer turn;
    turn.start();
    const qint64 budgetNs = static_cast<qint64>(budgetMs_) * 1'000'000;
    while (handler_ && !stopped_ && enabled_) {
        resting_ = false;
        restMs_ = -1;
        handler_(*this);
        lastStep_.start();
        plannedRestMs_ = resting_ ? restMs_ : 0;
        if (resting_ || turn.nsecsElapsed() >= budgetNs) break;
    }
    inTurn_ = false;
    if (stopped_ || !enabled_ || !handler_) return;
    timer_.setSingleShot(true);
    if (!resting_ || woken_) {
        timer_.start(0);  // more to do: after what else has come in meanwhile
    } else if (restMs_ >= 0) {
        timer_.start(static_cast<int>(std::min<int64_t>(restMs_, std::numeric_limits<int>::max())));
    }
}

}  // namespace zampo
