#pragma once
// The walk's copy of the alarm status to disk: written beside the loop in a thread
// of its own, spaced out so that a storm rewrites the file a few times a second
// instead of once per alarm, and the status bar told when it cannot be written.
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <string>
#include <thread>

#include "logic/alarmstatus/alarmstatusfile.h"
#include "logic/core/datapaths.h"
#include "logic/xml/xmlstore.h"
#include "runtime/fetchport.h"
#include "runtime/gatewaystate.h"
#include "runtime/windowport.h"

namespace zampo {

// The document a slot holds, made empty when it holds none.
inline XmlDocument& held(DocumentSlot& slot) {
    if (!slot) slot = std::make_unique<XmlDocument>();
    return *slot;
}

// What the saver reads and tells. All of it outlives the saver.
struct StatusSaverDeps {
    GatewayState& state;
    WindowPort& window;
    FetchPort& fetch;  // traces the status an alarms merge made, once it is saved
    DataPaths& paths;
    DocumentSlot& alarmStatus;
};

class StatusSaver {
public:
    StatusSaver(AlarmStatusFile& statusFile, const StatusSaverDeps& deps);
    // Waits for a save still being written.
    ~StatusSaver();
    StatusSaver(const StatusSaver&) = delete;
    StatusSaver& operator=(const StatusSaver&) = delete;

    // What writes a save beside the loop; a test stands in a slow disk with it.
    using StatusWriter = std::function<AlarmStatusFile::Written(const AlarmStatusFile::Snapshot&)>;
    void setStatusWriter(StatusWriter writer) { writer_ = std::move(writer); }

    // Starts a save now, or once the one being written is in. madeText: the file's
    // text when the fetch worker made it already.
    void persistStatus(std::string madeText = {});
    // The same, but no sooner than kSaveSpacingMs after the last save.
    void saveSoon();
    // Waits for a save in flight and saves what is left at once.
    void flushStatus();
    // The next save writes what an alarms merge made: its trace follows that save.
    void traceNextSave() { traceNextSave_ = true; }

    // A save is being written in its thread.
    bool running() const { return saveRunning_; }
    // A save is being written or waits for its moment.
    bool pending() const { return saveRunning_ || saveTimer_.isActive(); }

private:
    // Takes in a finished save.
    void collectSave();
    void showSaveResult(AlarmStatusFile::SaveResult result);

    AlarmStatusFile& statusFile_;
    StatusSaverDeps d_;
    QTimer saveTimer_;
    QElapsedTimer sinceSave_;  // since the last save ended
    qint64 lastSaveMs_ = 0;
    std::thread saveThread_;
    AlarmStatusFile::Written written_;  // by saveThread_, read once it has posted
    QElapsedTimer saveTook_;
    bool saveRunning_ = false;
    bool saveAgain_ = false;
    StatusWriter writer_;         // set before the loop runs
    bool traceNextSave_ = false;  // the next save writes what an alarms merge made
};

}  // namespace zampo
