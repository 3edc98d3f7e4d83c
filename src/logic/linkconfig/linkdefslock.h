#pragma once
// LinkDefs.xml and ZamDefs.xml have more than one writer: the operator's edits (in
// the window, or in the editor while the service forwards) and the service's
// definitions merge in its fetch worker. Each holds this lock around its whole
// read-change-save, so that no writer overwrites what another just saved. It is a
// mutex within the process and an flock on a file in the PO data directory across
// processes.
#include <mutex>
#include <string>

namespace zampo {

std::mutex& linkDefsFileMutex();

inline constexpr const char* kDefinitionsLockName = ".definitions.lock";

class DefinitionsFileLock {
public:
    // Blocks until both are held. A lock file that cannot be made leaves only the mutex.
    explicit DefinitionsFileLock(const std::string& poDataDir);
    ~DefinitionsFileLock();
    DefinitionsFileLock(const DefinitionsFileLock&) = delete;
    DefinitionsFileLock& operator=(const DefinitionsFileLock&) = delete;

private:
    std::lock_guard<std::mutex> inProcess_;
    int fd_ = -1;
};

}  // namespace zampo
