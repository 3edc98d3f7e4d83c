#pragma once
// The longest time the thread's event loop spent on one event: how long a ZamMeld
// answer, a timer or an operator's click could have had to wait at worst. Beside it
// the longest CPU time of one event, which a busy machine does not stretch.
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

namespace zampo {

class BusyMeter {
public:
    // Around every event delivered; only the outermost delivery is timed.
    void enter() {
        if (depth_++ == 0) {
            started_.start();
            cpuStartedNs_ = threadCpuNs();
        }
    }
    void leave() {
        if (--depth_ == 0) {
            longestNs_ = std::max(longestNs_, started_.nsecsElapsed());
            longestCpuNs_ = std::max(longestCpuNs_, threadCpuNs() - cpuStartedNs_);
        }
    }
    double longestMs() const { return static_cast<double>(longestNs_) / 1e6; }
    double longestCpuMs() const { return static_cast<double>(longestCpuNs_) / 1e6; }
    // The line both programs log when they stop.
    std::string summary() const {
        char line[128];
        std::snprintf(line, sizeof line, "Event loop: longest busy stretch %.1f ms (CPU %.1f ms)", longestMs(),
                      longestCpuMs());
        return line;
    }

    // Times one delivery from its construction to its end, however it ends.
    class Scope {
    public:
        explicit Scope(BusyMeter& meter) : meter_(meter) { meter_.enter(); }
        ~Scope() { meter_.leave(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        BusyMeter& meter_;
    };

private:
    static long long threadCpuNs() {
        timespec t{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<long long>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    }

    int depth_ = 0;
    QElapsedTimer started_;
    qint64 longestNs_ = 0;
    long long cpuStartedNs_ = 0;
    long long longestCpuNs_ = 0;
};

}  // namespace zampo
