#pragma once
// One gateway per desktop session: an exclusive lock on a file that the kernel
// releases when the process ends, however it ends.
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

}  // namespace zampo
