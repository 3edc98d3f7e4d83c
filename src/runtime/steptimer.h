#pragma once
// Drives a state machine in short steps in the owning thread. Two ways:
// - by interval (the default): each expiry of the timer runs LoopCount steps;
// - by events (setTurnBudget): steps run until one rests (restFor: nothing to do
//   until an event wakes the machine or the given time has passed) or the turn's
//   budget is spent, in which case the machine goes on at the next turn of the
//   event loop, after whatever else has come in. An idle machine costs nothing.
// Either way a turn disables the timer and steps never overlap.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>

namespace zampo {

class StepTimer : public QObject {
    Q_OBJECT
public:
    using StepHandler = std::function<void(StepTimer&)>;

    explicit StepTimer(QObject* owner = nullptr, std::function<void(QObject*)> onCreate = {});

    void setState(uint32_t n) { state_ = n; }
    uint32_t state() const { return state_; }
    // The same for a machine's own enum of its states.
    template <typename State>
    requires std::is_enum_v<State>
    void setState(State s) { state_ = static_cast<uint32_t>(s); }
    template <typename State>
    requires std::is_enum_v<State> State stateAs()
    const { return static_cast<State>(state_); }
    void setStateText(const std::string& text) { stateText_ = text; }
    const std::string& stateText() const { return stateText_; }
    void stop();
    bool stopped() const { return stopped_; }

    int32_t loopCount() const { return loopCount_; }
    void setLoopCount(int32_t n) { loopCount_ = n; }
    void setStepHandler(StepHandler h) { handler_ = std::move(h); }

    void setInterval(int ms) { timer_.setInterval(ms); }
    int interval() const { return timer_.interval(); }
    void setEnabled(bool on);
    bool enabled() const { return eventDriven() ? enabled_ : timer_.isActive(); }

    // Event-driven from now on: a turn runs steps for up to budgetMs.
    void setTurnBudget(int budgetMs);
    bool eventDriven() const { return budgetMs_ > 0; }
    // Called by a step that waits: the turn ends, and the machine rests until wake()
    // or until ms have passed (ms < 0: until wake() only).
    void restFor(int64_t ms);
    // Something the machine waits for has happened: a turn runs soon. Any thread
    // but the owner's must hand this over to it.
    void wake();

    // One expiry of the timer; public so tests can drive it without waiting.
    void tick();

    // How far the machine is behind what its last step planned: 0 while it steps, or
    // rests within the time that step asked for (or until a wake, when it asked for
    // no time); else the milliseconds since that time ran out. A machine that stalls,
    // stuck in a turn or no longer enabled, falls behind although the event loop runs.
    qint64 overdueMs() const;

private:
    void runTurn();

    QTimer timer_;
    uint32_t state_ = 0;
    std::string stateText_;
    bool stopped_ = false;
    int32_t loopCount_ = 1;
    StepHandler handler_;
    int budgetMs_ = 0;
    bool enabled_ = false;
    bool inTurn_ = false;
    bool resting_ = false;
    bool woken_ = false;
    int64_t restMs_ = -1;
    QElapsedTimer lastStep_;
    int64_t plannedRestMs_ = 0;
};

}  // namespace zampo
