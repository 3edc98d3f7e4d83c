#include "runtime/statussaver.h"

#include <algorithm>
#include <utility>

#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"
#include "runtime/threadhandoff.h"

namespace zampo {

namespace {

// After a kill only the alarms accepted since the last save are raised again: at
// most this long plus two saves ago.
constexpr int kSaveSpacingMs = 50;

}  // namespace

StatusSaver::StatusSaver(AlarmStatusFile& statusFile, const StatusSaverDeps& deps) : statusFile_(statusFile), d_(deps) {
    saveTimer_.setSingleShot(true);
    QObject::connect(&saveTimer_, &QTimer::timeout, [this] { persistStatus(); });
}

StatusSaver::~StatusSaver() {
    if (saveThread_.joinable()) saveThread_.join();
}

void StatusSaver::persistStatus(std::string madeText) {
    saveTimer_.stop();
    if (saveRunning_) {
        saveAgain_ = true;  // the copy changed while the last text was being written
        return;
    }
    std::optional<AlarmStatusFile::Snapshot> snapshot =
        statusFile_.takeSnapshot(held(d_.alarmStatus), d_.paths.poDataDir(), std::move(madeText));
    if (!snapshot) return;
    if (saveThread_.joinable()) saveThread_.join();
    saveRunning_ = true;
    saveTook_.start();
    // The write and its fsync go on beside the loop; the walk does not wait for the disk.
    saveThread_ = std::thread([this, snapshot = std::move(*snapshot), trace = std::exchange(traceNextSave_, false)] {
        written_ = writer_ ? writer_(snapshot) : AlarmStatusFile::write(snapshot);
        if (trace) d_.fetch.traceSavedAlarmStatus(snapshot.text);
        invokeInThreadOf(&saveTimer_, [this] { collectSave(); });
    });
}

void StatusSaver::collectSave() {
    if (!saveRunning_) return;  // already collected by flushStatus
    if (saveThread_.joinable()) saveThread_.join();
    saveRunning_ = false;
    // The next save waits at least as long as this one took: a large file leaves
    // the walk half of the time or more.
    lastSaveMs_ = saveTook_.elapsed();
    sinceSave_.start();
    showSaveResult(statusFile_.finishSave(written_));
    if (saveAgain_) {
        saveAgain_ = false;
        saveSoon();
    }
}

void StatusSaver::flushStatus() {
    saveAgain_ = false;  // what is left is written below, not in another thread
    collectSave();
    saveTimer_.stop();
    showSaveResult(statusFile_.save(held(d_.alarmStatus), d_.paths.poDataDir()));
}

void StatusSaver::showSaveResult(AlarmStatusFile::SaveResult result) {
    switch (result) {
        case AlarmStatusFile::SaveResult::StartedFailing:
            d_.window.setStatusText(langText(TextId::StatusWriteError));
            break;
        case AlarmStatusFile::SaveResult::WrittenAgain:
            d_.window.setStatusText(d_.state.fileFaultText().empty() ? langText(TextId::ApplicationRunning)
                                                                     : d_.state.fileFaultText());
            break;
        default:
            break;
    }
}

void StatusSaver::saveSoon() {
    if (!statusFile_.unsaved() || saveTimer_.isActive()) return;
    if (saveRunning_) {
        saveAgain_ = true;
        return;
    }
    const qint64 spacing = std::max<qint64>(kSaveSpacingMs, lastSaveMs_);
    const qint64 since = sinceSave_.isValid() ? sinceSave_.elapsed() : spacing;
    if (since >= spacing)
        persistStatus();
    else
        saveTimer_.start(static_cast<int>(spacing - since));
}

}  // namespace zampo
