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
    enum class Outcome {
        Taken,     // this process forwards
        HeldBy,    // another process forwards: holder() names it
        Unusable,  // the lock can be neither opened nor made: nobody may forward from here
    };

    ForwardingLock() = default;
    ~ForwardingLock();
    ForwardingLock(const ForwardingLock&) = delete;
    ForwardingLock& operator=(const ForwardingLock&) = delete;

    // Takes the lock when it is free. A file this account may only read is locked
    // read-only (flock needs no write access); one it makes is group-writable
    // whatever the umask, so the other accounts of the group can lock it too.
    Outcome take(const std::string& poDataDir, const std::string& program);
    // HeldBy: the program name the holder wrote (empty when it wrote none).
    const std::string& holder() const { return holder_; }
    // Unusable: why, for the message that says the process does not forward.
    const std::string& problem() const { return problem_; }

private:
    int fd_ = -1;
    std::string holder_, problem_;
};

inline constexpr const char* kForwardingLockName = ".forwarding.lock";

}  // namespace zampo
