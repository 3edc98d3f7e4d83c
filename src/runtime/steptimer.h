#pragma once
// Drives a state machine one short step at a time on a timer in the owning
// thread. A tick disables the timer, runs LoopCount steps (checking Stopped before
// each) and enables the timer again, so ticks never overlap.
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>

namespace zampo {

class StepTimer : public QObject {
    Q_OBJECT
public:
    using StepHandler = std::function<void(StepTimer&)>;

    explicit StepTimer(QObject* owner = nullptr, std::function<void(QObject*)> onCreate = {});

    void setState(uint32_t n) { state_ = n; }
    uint32_t state() const { return state_; }
    void setStateText(const std::string& text) { stateText_ = text; }
    const std::string& stateText() const { return stateText_; }
    void stop();
    bool stopped() const { return stopped_; }

    int32_t loopCount() const { return loopCount_; }
    void setLoopCount(int32_t n) { loopCount_ = n; }
    void setDoState(StepHandler h) { doState_ = std::move(h); }

    void setInterval(int ms) { timer_.setInterval(ms); }
    int interval() const { return timer_.interval(); }
    void setEnabled(bool on);
    bool enabled() const { return timer_.isActive(); }

    // One expiry of the timer; public so tests can drive it without waiting.
    void tick();

private:
    QTimer timer_;
    uint32_t state_ = 0;
    std::string stateText_;
    bool stopped_ = false;
    int32_t loopCount_ = 1;
    StepHandler doState_;
};

}  // namespace zampo
