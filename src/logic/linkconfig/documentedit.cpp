#include "logic/linkconfig/documentedit.h"

#include <unistd.h>
#include <memory>
#include <mutex>

#include "logic/linkconfig/linkdefslock.h"

namespace zampo {

namespace {

EditOutcome failed(const std::string& path, const std::string& reason) {
    return {EditStatus::Failed, path + ": " + reason};
}

// Saves the changed copy and only then takes it into the slot.
EditOutcome commit(DocumentSlot& slot, DocumentSlot& changed, const std::string& path) {
    std::string error;
    if (!saveDocument(changed, path, &error)) return failed(path, error);
    // The slot keeps its document object: the runtime reads it through the slot.
    if (slot)
        slot->copyFrom(*changed);
    else
        slot = std::move(changed);
    return {EditStatus::Saved, {}};
}

}  // namespace

EditOutcome editLinkDefs(DocumentSlot& slot, const std::string& poDataDir, const DocumentChange& change) {
    DefinitionsFileLock lock(poDataDir);
    const std::string path = dataFilePath(poDataDir, kLinkDefsFile);
    DocumentSlot base = std::make_unique<XmlDocument>();
    if (::access(path.c_str(), F_OK) == 0) {
        std::string error;
        if (!base->loadFile(path, &error)) return failed(path, error);
    } else if (slot && slot->hasContent()) {
        base->copyFrom(*slot);
    } else {
        base->startAfresh(kLinkDefsFile.rootName);
    }
    if (!change(*base)) return {};
    return commit(slot, base, path);
}

EditOutcome editZamDefs(DocumentSlot& slot, const std::string& poDataDir, const DocumentChange& change) {
    DefinitionsFileLock lock(poDataDir);
    const std::string path = dataFilePath(poDataDir, kZamDefsFile);
    DocumentSlot base = std::make_unique<XmlDocument>();
    if (slot && slot->hasContent()) {
        base->copyFrom(*slot);
    } else if (::access(path.c_str(), F_OK) != 0) {
        base->startAfresh(kZamDefsFile.rootName);
    } else {
        // The file could not be read at start-up: say why rather than overwrite it.
        std::string error;
        if (!base->loadFile(path, &error)) return failed(path, error);
    }
    if (!change(*base)) return {};
    return commit(slot, base, path);
}

}  // namespace zampo
