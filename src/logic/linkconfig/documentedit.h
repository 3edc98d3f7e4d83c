#pragma once
// The operator's changes to the two definition files. Each change is made on a
// copy and put in place only once the file holds it, so that after a failed save
// memory, disk and screen still agree.
#include <functional>
#include <string>

#include "logic/xml/xmlstore.h"

namespace zampo {

// Changes the document; false when there turned out to be nothing to change.
using DocumentChange = std::function<bool(XmlDocument&)>;

enum class EditStatus { Saved, Unchanged, Failed };

struct EditOutcome {
    EditStatus status = EditStatus::Unchanged;
    std::string error;  // the file and the reason, when Failed
    bool saved() const { return status == EditStatus::Saved; }
};

// LinkDefs.xml has a second writer, the definitions merge. Under the lock they
// share, the change is applied to the file as it stands now (the in-memory
// document only when there is no file), so neither side's work is lost. A file
// that cannot be read is not overwritten: the change is refused.
EditOutcome editLinkDefs(DocumentSlot& slot, const std::string& poDataDir, const DocumentChange& change);

// ZamDefs.xml is written by the operator alone: the change is applied to a copy
// of the in-memory document, under the same lock, so that the service never
// reads a file another process is writing.
EditOutcome editZamDefs(DocumentSlot& slot, const std::string& poDataDir, const DocumentChange& change);

}  // namespace zampo
