#include "logic/alarmstatus/alarmstatusfile.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/core/atomicfile.h"
#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"

namespace zampo {

std::string moveDamagedStatusAside(const std::string& poDataDir, TimeMs now, const std::string& reason,
                                   const std::string& afterwards, bool* moved) {
    const std::string path = dataFilePath(poDataDir, kAlarmStatusFile);
    const std::string aside = path + ".damaged-" + formatStatusTime(now);
    std::error_code ec;
    std::filesystem::rename(path, aside, ec);
    if (moved) *moved = !ec;
    if (ec)
        return std::string(kAlarmStatusFile.fileName) + " is damaged (" + reason +
               ") and could not be moved aside: " + ec.message();
    return std::string(kAlarmStatusFile.fileName) + " was damaged (" + reason + "); moved to " +
           std::filesystem::path(aside).filename().string() + ", " + afterwards;
}

AlarmStatusFile::Stamp AlarmStatusFile::stampOf(const std::string& path) {
    struct stat st {};
    Stamp s;
    if (::stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return s;
}

void AlarmStatusFile::noteFileAsIs(const std::string& poDataDir) {
    last_ = stampOf(dataFilePath(poDataDir, kAlarmStatusFile));
    known_ = true;
}

AlarmStatusFile::SaveResult AlarmStatusFile::save(const XmlDocument& doc, const std::string& poDataDir) {
    std::optional<Snapshot> snapshot = takeSnapshot(doc, poDataDir);
    if (!snapshot) return SaveResult::Saved;
    return finishSave(write(*snapshot));
}

std::optional<AlarmStatusFile::Snapshot> AlarmStatusFile::takeSnapshot(const XmlDocument& doc,
                                                                       const std::string& poDataDir, std::string made) {
    if (!unsaved_) return std::nullopt;
    unsaved_ = false;  // changes from here on need a save of their own
    Snapshot s;
    s.path = dataFilePath(poDataDir, kAlarmStatusFile);
    s.hasContent = doc.hasContent();
    if (s.hasContent) s.text = made.empty() ? doc.toText() : std::move(made);
    return s;
}

AlarmStatusFile::Written AlarmStatusFile::write(const Snapshot& snapshot) {
    Written w;
    if (!snapshot.hasContent)
        w.error = "the alarm status holds no content";
    else
        w.ok = writeFileAtomically(snapshot.path, snapshot.text, &w.error);
    if (w.ok) w.stamp = stampOf(snapshot.path);
    return w;
}

AlarmStatusFile::SaveResult AlarmStatusFile::finishSave(const Written& written) {
    if (!written.ok) {
        unsaved_ = true;
        if (failing_) return SaveResult::StillFailing;
        failing_ = true;
        writeLog(langText(TextId::StatusWriteError), kLogPoList);
        writeLog(std::string(kAlarmStatusFile.fileName) + " not saved: " + written.error +
                     "; forwarding goes on from memory and the file is written again as soon as it can be",
                 kLogFileOnly);
        return SaveResult::StartedFailing;
    }
    last_ = written.stamp;
    known_ = true;
    if (!failing_) return SaveResult::Saved;
    failing_ = false;
    writeLog(std::string(kAlarmStatusFile.fileName) + " written again", kLogPoList);
    return SaveResult::WrittenAgain;
}

AlarmStatusFile::Outside AlarmStatusFile::checkOutsideChange(DocumentSlot& slot, const std::string& poDataDir,
                                                             TimeMs now) {
    const std::string path = dataFilePath(poDataDir, kAlarmStatusFile);
    const Stamp current = stampOf(path);
    if (!known_ || current == last_) {
        if (!known_) noteFileAsIs(poDataDir);
        return Outside::Unchanged;
    }
    if (!current.exists) {  // removed: written anew from the copy
        last_ = current;
        unsaved_ = true;
        return Outside::Unchanged;
    }
    auto fromFile = std::make_unique<XmlDocument>();
    std::string error;
    if (fromFile->loadFile(path, &error)) {
        slot = std::move(fromFile);
        last_ = current;
        unsaved_ = false;
        writeLog(std::string(kAlarmStatusFile.fileName) + " was changed by someone else; taken over", kLogFileOnly);
        return Outside::TakenOver;
    }
    // The copy still holds everything: nothing is raised again, and it is written anew.
    writeLog(moveDamagedStatusAside(poDataDir, now, error, "written anew from the gateway's own copy"), kLogPoList);
    last_ = stampOf(path);
    unsaved_ = true;
    return Outside::MovedAside;
}

}  // namespace zampo
