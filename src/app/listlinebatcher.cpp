#include "app/listlinebatcher.h"

#include <QTimer>

#include "runtime/threadhandoff.h"

namespace zampo {

ListLineBatcher::ListLineBatcher(Show show, QObject* parent) : QObject(parent), show_(std::move(show)) {}

void ListLineBatcher::add(int channel, const std::string& line) {
    {
        std::lock_guard lock(mutex_);
        pending_.emplace_back(channel, line);
        if (scheduled_) return;
        scheduled_ = true;
    }
    invokeInThreadOf(
        this, [this] { QTimer::singleShot(kBatchMs, this, [this] { flush(); }); }, Qt::AutoConnection);
}

void ListLineBatcher::flush() {
    std::vector<std::pair<int, std::string>> lines;
    {
        std::lock_guard lock(mutex_);
        lines.swap(pending_);
        scheduled_ = false;
    }
    for (int channel : {1, 2}) {
        int count = 0;
        for (const auto& [c, line] : lines) count += c == channel;
        if (count == 0) continue;
        QStringList shown;
        int skip = count - kMaxBatchLines;
        if (skip > 0) shown << QString("(%1 lines not shown here; the log file has them all)").arg(skip);
        for (const auto& [c, line] : lines)
            if (c == channel && skip-- <= 0) shown << QString::fromStdString(line);
        show_(channel, shown);
    }
}

}  // namespace zampo
