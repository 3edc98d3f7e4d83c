#include "runtime/steptimer.h"

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
    if (on)
        timer_.start();
    else
        timer_.stop();
}

void StepTimer::tick() {
    timer_.stop();
    if (doState_) {
        if (loopCount_ == 0) loopCount_ = 1;
        for (int32_t i = 0; i < loopCount_ && !stopped_; ++i) doState_(*this);
    }
    timer_.start();
}

}  // namespace zampo
