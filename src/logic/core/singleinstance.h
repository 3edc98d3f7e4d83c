#pragma once
// One gateway per desktop session: an exclusive lock on a file that the kernel
// releases when the process ends, however it ends.
#include <optional>
#include <string>

namespace zampo {

class SingleInstanceLock {
public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True when another process holds the lock in dir. A lock that cannot be made
    // at all does not stop the program.
    bool alreadyRunning(const std::string& dir);

private:
    int fd_ = -1;
};

inline constexpr const char* kInstanceLockName = "ZAMPO_ACTIVE_SEMAPHORE";

// The process that forwards the alarms of a PO data directory holds an flock on a
// file in it for its life, whichever user or session it runs in; the file names
// that program, so that the window can tell the service from another window.
class ForwardingLock {
public:
    ForwardingLock() = default;
    ~ForwardingLock();
    ForwardingLock(const ForwardingLock&) = delete;
    ForwardingLock& operator=(const ForwardingLock&) = delete;

    // Empty when this process holds it now (or it cannot be made at all); else the
    // program name the holder wrote.
    std::optional<std::string> heldBy(const std::string& poDataDir, const std::string& program);

private:
    int fd_ = -1;
};

inline constexpr const char* kForwardingLockName = ".forwarding.lock";

}  // namespace zampo
