#pragma once
// The service's own: LinkDefs.xml and ZamDefs.xml written by another process (the
// editor) are read again, told apart by their inode, size and modification time.
#include <string>

#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

// Why the file at path does not parse; openDocument keeps no reason.
std::string parseError(const std::string& path);

class DefinitionFilesWatcher {
public:
    DefinitionFilesWatcher(DataPaths& paths, DocumentSlot& zamDefs, DocumentSlot& linkDefs);

    // From now on; the files as they are now count as read.
    void start();
    bool watching() const { return watching_; }
    // At a safe point: before every poll, and now and then while waiting, without a
    // stat at every step.
    void lookIfDue(TimeMs now, bool pollDue);
    // Reads again those changed on disk, or both (force: a reload).
    void check(bool force);

private:
    struct FileStamp {
        bool exists = false;
        unsigned long long ino = 0, size = 0;
        long long mtimeNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    FileStamp stampOf(const DataFile& file);
    // A readable file replaces the copy in use; a damaged one leaves it in use.
    bool readAgain(DocumentSlot& slot, const DataFile& file, const std::string& why);

    DataPaths& paths_;
    DocumentSlot& zamDefs_;
    DocumentSlot& linkDefs_;
    bool watching_ = false;
    FileStamp linkStamp_, zamStamp_;
    TimeMs lastStampCheck_{};
};

}  // namespace zampo
