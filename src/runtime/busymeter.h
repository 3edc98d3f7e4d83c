#pragma once
// The longest time the thread's event loop spent on one event: how long a ZamMeld
// answer, a timer or an operator's click could have had to wait at worst.
#include <QElapsedTimer>
#include <algorithm>

namespace zampo {

class BusyMeter {
public:
    // Around every event delivered; only the outermost delivery is timed.
    void enter() {
        if (depth_++ == 0) started_.start();
    }
    void leave() {
        if (--depth_ == 0) longestNs_ = std::max(longestNs_, started_.nsecsElapsed());
    }
    double longestMs() const { return static_cast<double>(longestNs_) / 1e6; }

private:
    int depth_ = 0;
    QElapsedTimer started_;
    qint64 longestNs_ = 0;
};

}  // namespace zampo
