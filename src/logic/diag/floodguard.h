#pragma once
// Ends the program when uncaught errors come in a flood: checked at every 101st
// error since start or the last reset.
#include "logic/core/clock.h"

namespace zampo {

class FloodGuard {
public:
    // Counts one error at local time now; true when the program must end.
    bool count(TimeMs now);
    void reset() {
        counter_ = 0;
        previous_ = TimeMs{};
    }
    int counter() const { return counter_; }

private:
    int counter_ = 0;
    TimeMs previous_{};
};

}  // namespace zampo
