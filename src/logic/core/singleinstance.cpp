#include "logic/core/singleinstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

namespace zampo {

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool SingleInstanceLock::alreadyRunning(const std::string& dir) {
    const std::string path = dir + "/" + kInstanceLockName;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    return false;
}

}  // namespace zampo
