#pragma once
// Raw dumps of what Priva Office sent and of the alarm status around a merge,
// one file per call, while tracing is on.
#include <atomic>
#include <ctime>
#include <string>

namespace zampo {

class TraceWriter {
public:
    void setEnabled(bool on) { enabled_ = on; }
    bool enabled() const { return enabled_; }
    void setDirectory(const std::string& dir);
    // Writes <dir>/YYYYMMDD_HHMMSS_<suffix>.trc (local time); throws std::runtime_error
    // when the file cannot be written, so the caller's run stops there.
    void write(const std::string& data, const std::string& suffix);

    static std::string fileNameFor(const std::tm& localTime, const std::string& suffix);

private:
    std::atomic<bool> enabled_{false};
    std::string dir_;  // set at start-up, before any worker runs
};

TraceWriter& traceWriter();

}  // namespace zampo
