#include "runtime/definitionfileswatcher.h"

#include <sys/stat.h>
#include <unistd.h>

#include <tuple>

#include "logic/diag/logwriter.h"

namespace zampo {

std::string parseError(const std::string& path) {
    XmlDocument probe;
    std::string error;
    if (probe.loadFile(path, &error)) return "it could not be read";
    return error;
}

DefinitionFilesWatcher::DefinitionFilesWatcher(DataPaths& paths, DocumentSlot& zamDefs, DocumentSlot& linkDefs)
    : paths_(paths), zamDefs_(zamDefs), linkDefs_(linkDefs) {}

DefinitionFilesWatcher::FileStamp DefinitionFilesWatcher::stampOf(const DataFile& file) {
    struct stat st {};
    if (::stat(dataFilePath(paths_.poDataDir(), file).c_str(), &st) != 0) return {};
    return {true, static_cast<unsigned long long>(st.st_ino), static_cast<unsigned long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000LL + st.st_mtim.tv_nsec};
}

void DefinitionFilesWatcher::start() {
    watching_ = true;
    linkStamp_ = stampOf(kLinkDefsFile);
    zamStamp_ = stampOf(kZamDefsFile);
}

void DefinitionFilesWatcher::lookIfDue(TimeMs now, bool pollDue) {
    if (pollDue || !withinSeconds(now, 0, 500, lastStampCheck_)) {
        lastStampCheck_ = now;
        check(false);
    }
}

void DefinitionFilesWatcher::check(bool force) {
    for (auto [slot, file, stamp] :
         {std::tuple{&zamDefs_, &kZamDefsFile, &zamStamp_}, std::tuple{&linkDefs_, &kLinkDefsFile, &linkStamp_}}) {
        const FileStamp now = stampOf(*file);
        if (!force && now == *stamp) continue;
        *stamp = now;
        // Its own merge writes LinkDefs.xml too; reading that again changes nothing.
        readAgain(*slot, *file, force ? "reload" : "changed on disk");
    }
}

bool DefinitionFilesWatcher::readAgain(DocumentSlot& slot, const DataFile& file, const std::string& why) {
    const std::string dir = paths_.poDataDir();
    if (::access(dataFilePath(dir, file).c_str(), F_OK) != 0) {
        writeLog(std::string(file.fileName) + " (" + why + ") is missing; the copy read before stays in use",
                 kLogPoList);
        return false;
    }
    DocumentSlot fresh;
    openDataFile(fresh, dir, file);
    if (!fresh || !fresh->hasContent()) {
        writeLog(std::string(file.fileName) + " (" + why + ") is damaged (" + parseError(dataFilePath(dir, file)) +
                     "); the copy read before stays in use",
                 kLogPoList);
        return false;
    }
    slot = std::move(fresh);
    writeLog(std::string(file.fileName) + " read again (" + why + ")", kLogPoList);
    return true;
}

}  // namespace zampo
