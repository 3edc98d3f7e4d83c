#include "logic/core/singleinstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

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

ForwardingLock::~ForwardingLock() {
    if (fd_ >= 0) ::close(fd_);
}

ForwardingLock::Outcome ForwardingLock::take(const std::string& poDataDir, const std::string& program) {
    const std::string path = poDataDir + "/" + kForwardingLockName;
    holder_.clear();
    problem_.clear();
    bool writable = true;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0664);
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        writable = false;
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0) {
        problem_ = path + ": " + std::strerror(errno);
        return Outcome::Unusable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // A directory can be flocked too, but not the file the others lock.
        problem_ = path + ": not a regular file";
        ::close(fd);
        return Outcome::Unusable;
    }
    // The umask may have taken the group's write bit; the other accounts need it.
    if (writable && st.st_uid == ::geteuid() && (st.st_mode & 0660) != 0660)
        if (::fchmod(fd, (st.st_mode & 07777) | 0660) != 0) {
            // The lock works without: read-only is enough for the others' flock.
        }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err != EWOULDBLOCK) {
            problem_ = path + ": " + std::strerror(err);
            ::close(fd);
            return Outcome::Unusable;
        }
        char name[64] = {};
        const ssize_t n = ::pread(fd, name, sizeof name - 1, 0);
        ::close(fd);
        holder_.assign(name, n > 0 ? static_cast<std::size_t>(n) : 0);
        if (const auto end = holder_.find_first_of(" \n"); end != std::string::npos) holder_.resize(end);
        return Outcome::HeldBy;
    }
    // Written only while held, so a reader that gets the lock refused sees a complete name.
    const std::string text = program + " " + std::to_string(::getpid()) + "\n";
    if (!writable || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.data(), text.size(), 0) < 0) {
        // The name only helps the window decide; the lock itself holds.
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    return Outcome::Taken;
}

}  // namespace zampo
