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

ForwardingLock::~ForwardingLock() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<std::string> ForwardingLock::heldBy(const std::string& poDataDir, const std::string& program) {
    const std::string path = poDataDir + "/" + kForwardingLockName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0664);
    if (fd < 0) return std::nullopt;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char name[64] = {};
        const ssize_t n = ::pread(fd, name, sizeof name - 1, 0);
        ::close(fd);
        std::string holder(name, n > 0 ? static_cast<std::size_t>(n) : 0);
        if (const auto end = holder.find_first_of(" \n"); end != std::string::npos) holder.resize(end);
        return holder;
    }
    // Written only while held, so a reader that gets the lock refused sees a complete name.
    const std::string text = program + " " + std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.data(), text.size(), 0) < 0) {
        // The name only helps the window decide; the lock itself holds.
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    return std::nullopt;
}

}  // namespace zampo
