#include "logic/diag/floodguard.h"

namespace zampo {

bool FloodGuard::count(TimeMs now) {
    bool terminate = false;
    if (++counter_ > 100) {
        if (now - previous_ < Millis{1000})
            terminate = true;
        else
            counter_ = 0;
    }
    previous_ = now;
    return terminate;
}

}  // namespace zampo
