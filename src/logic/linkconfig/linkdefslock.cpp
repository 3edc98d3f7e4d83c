#include "logic/linkconfig/linkdefslock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace zampo {

std::mutex& linkDefsFileMutex() {
    static std::mutex m;
    return m;
}

DefinitionsFileLock::DefinitionsFileLock(const std::string& poDataDir) : inProcess_(linkDefsFileMutex()) {
    fd_ = ::open((poDataDir + "/" + kDefinitionsLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0664);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

DefinitionsFileLock::~DefinitionsFileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the flock
}

}  // namespace zampo
