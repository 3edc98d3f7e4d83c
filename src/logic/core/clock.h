#pragma once
// Time as whole milliseconds since the Unix epoch, UTC. A day-based double
// cannot hold every second exactly, so the loops and the status file work on this.
#include <chrono>
#include <cstdint>
#include <functional>

namespace zampo {

using Millis = std::chrono::milliseconds;
using TimeMs = std::chrono::sys_time<std::chrono::milliseconds>;

// Where the runtime takes "now" from; tests set and move a ManualClock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TimeMs nowUtc() const = 0;
};

class SystemClock : public Clock {
public:
    TimeMs nowUtc() const override;
};

class ManualClock : public Clock {
public:
    explicit ManualClock(TimeMs start = TimeMs{}) : now_(start) {}
    TimeMs nowUtc() const override { return now_; }
    void set(TimeMs t) {
        now_ = t;
        if (moved) moved();
    }
    void advance(Millis d) { set(now_ + d); }
    // Called after each move: whatever rests until a moment of this clock looks again.
    std::function<void()> moved;

private:
    TimeMs now_;
};

// True when |now - time| is less than seconds + millis/1000.
bool withinSeconds(const Clock& clock, int64_t seconds, int64_t millis, TimeMs time);
bool withinSeconds(TimeMs now, int64_t seconds, int64_t millis, TimeMs time);

// Day-based double (days since 1899-12-30) for the places that need that form.
double toDayNumber(TimeMs t);

}  // namespace zampo
