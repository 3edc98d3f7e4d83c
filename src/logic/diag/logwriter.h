#pragma once
// One log writer for the whole process: ZAMPO.LOG with a one-step rotation into
// OLDPO.log, and the two on-screen lists. Safe to call from any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "logic/diag/textfile.h"

namespace zampo {

inline constexpr int64_t kLogRotateSize = 10485760;

enum LogChannel : int { kLogFileOnly = 0, kLogReceiverList = 1, kLogPoList = 2 };

class LogWriter {
public:
    // Receives the list line of channels 1 and 2; must cope with any calling thread.
    using ListSink = std::function<void(int channel, const std::string& line)>;

    void setFileName(const std::string& path);
    std::string fileName() const;
    void setListSink(ListSink sink);
    // Each line also goes to standard error, without the time stamp (for a service
    // manager's journal, which stamps lines itself). The file is written as before.
    void setMirrorToStderr(bool on);

    void write(const std::string& message, int channel);
    // A line written as it stands, without time brackets or rotation check.
    void writeRawLine(const std::string& text);
    // Copies ZAMPO.LOG to OLDPO.log beside it and empties it.
    void rotate();
    // rotate() when ZAMPO.LOG is above kLogRotateSize, decided under the same lock as
    // the rotation: two threads that both see a big file must not rotate twice, or
    // the second copies the freshly emptied log over OLDPO.log.
    void rotateIfOversized();

    // A log file that cannot be written is a fault of its own: said once on standard
    // error when it starts failing, the lines lost counted, and said in the file once
    // a line can be written again (each line tries anew).
    bool failing() const { return failing_.load(); }
    // Why the last line could not be written; empty while the file is written.
    std::string failure() const;

private:
    void rotateLocked();
    void writeFileLocked(const std::string& line);
    void mirrorLocked(const std::string& text) const;
    mutable std::mutex mutex_;
    TextFile file_;
    ListSink sink_;
    bool mirror_ = false;
    std::atomic<bool> failing_{false};
    std::string failure_;
    uint64_t linesLost_ = 0;
};

// The process-wide writer and the short form every caller uses.
LogWriter& logWriter();
void writeLog(const std::string& message, int channel);

// "dd-MM-yyyy" and "HH:mm:ss" of the local time now.
std::string localDateText();
std::string localTimeText();

}  // namespace zampo
