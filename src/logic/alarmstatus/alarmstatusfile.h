#pragma once
// AlarmStatus.xml as the gateway keeps it: the gateway goes by its own copy of the
// alarm status, and the file follows that copy. A save that fails is tried again
// at the next chance, said once per failing stretch; a file that changed behind
// the gateway's back is taken over, or moved aside when it is damaged.
#include <sys/types.h>
#include <optional>
#include <string>

#include "logic/core/clock.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

// Moves a damaged AlarmStatus.xml to AlarmStatus.xml.damaged-<stamp> and returns the
// log line that says so, ending in afterwards, or why it could not be moved. True in
// moved when it was.
std::string moveDamagedStatusAside(const std::string& poDataDir, TimeMs now, const std::string& reason,
                                   const std::string& afterwards, bool* moved = nullptr);

class AlarmStatusFile {
public:
    enum class SaveResult { Saved, StillFailing, StartedFailing, WrittenAgain };
    enum class Outside { Unchanged, TakenOver, MovedAside };

    // The copy changed and must reach the file.
    void markChanged() { unsaved_ = true; }
    bool unsaved() const { return unsaved_; }
    bool failing() const { return failing_; }

    // Writes the copy when it has changes not on disk yet.
    SaveResult save(const XmlDocument& doc, const std::string& poDataDir);

    // The same in three parts, so that the writing can happen in another thread:
    // the text to write (none when nothing is unsaved), the write itself, which
    // touches nothing of this object, and what it means for the copy's bookkeeping.
    struct Snapshot {
        std::string path;
        std::string text;
        bool hasContent = false;
    };
    struct Stamp {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        long long mtimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    struct Written {
        bool ok = false;
        std::string error;
        Stamp stamp;  // of the file just written
    };
    // made: the document's text when the caller has it already.
    std::optional<Snapshot> takeSnapshot(const XmlDocument& doc, const std::string& poDataDir, std::string made = {});
    static Written write(const Snapshot& snapshot);
    SaveResult finishSave(const Written& written);

    // Remembers the file as it is now, e.g. after the copy was read from it.
    void noteFileAsIs(const std::string& poDataDir);
    // Looks whether someone else wrote the file since the gateway last saved or read
    // it. A readable file replaces the copy in slot; a damaged one is moved aside and
    // the copy is written anew.
    Outside checkOutsideChange(DocumentSlot& slot, const std::string& poDataDir, TimeMs now);

private:
    static Stamp stampOf(const std::string& path);

    Stamp last_;
    bool known_ = false;
    bool unsaved_ = false;
    bool failing_ = false;
};

}  // namespace zampo
