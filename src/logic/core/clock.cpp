#include "logic/core/clock.h"

namespace zampo {

namespace {
// 1899-12-30 is 25569 days before the Unix epoch.
constexpr int64_t kEpochOffsetDays = 25569;
constexpr int64_t kMsPerDay = 86400000;
}  // namespace

TimeMs SystemClock::nowUtc() const {
    return std::chrono::time_point_cast<Millis>(std::chrono::system_clock::now());
}

bool withinSeconds(TimeMs now, int64_t seconds, int64_t millis, TimeMs time) {
    const int64_t diff = std::llabs((now - time).count());
    return diff < seconds * 1000 + millis;
}

bool withinSeconds(const Clock& clock, int64_t seconds, int64_t millis, TimeMs time) {
    return withinSeconds(clock.nowUtc(), seconds, millis, time);
}

double toDayNumber(TimeMs t) {
    return static_cast<double>(t.time_since_epoch().count()) / kMsPerDay + kEpochOffsetDays;
}

}  // namespace zampo
