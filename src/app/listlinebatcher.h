#pragma once
// The lines of the window's two lists, taken from any thread and shown a batch at
// a time: during a storm a log line costs the loop a string, not an update of a
// list, and the lists show the newest lines at a few updates a second.
#include <QObject>
#include <QStringList>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zampo {

class ListLineBatcher : public QObject {
public:
    using Show = std::function<void(int channel, const QStringList& lines)>;
    // A batch holds at most this many lines of a list; older ones in it are left out.
    static constexpr int kMaxBatchLines = 200;
    static constexpr int kBatchMs = 100;

    explicit ListLineBatcher(Show show, QObject* parent = nullptr);

    // Any thread.
    void add(int channel, const std::string& line);
    // In the batcher's thread: shows what was added so far.
    void flush();

private:
    Show show_;
    std::mutex mutex_;
    std::vector<std::pair<int, std::string>> pending_;
    bool scheduled_ = false;
};

}  // namespace zampo
