#include "logic/core/singleinstance.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/tempdir.h"

using namespace zampo;

namespace {
// Asks in a child process, as a second start would.
bool secondProcessSeesRunning(const std::string& dir) {
    pid_t pid = ::fork();
    if (pid == 0) {
        SingleInstanceLock other;
        ::_exit(other.alreadyRunning(dir) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}
}  // namespace

TEST(SingleInstance, SecondProcessIsRefusedAndTheLockDiesWithItsHolder) {
    test::TempDir dir;
    {
        SingleInstanceLock first;
        EXPECT_FALSE(first.alreadyRunning(dir.path()));
        EXPECT_TRUE(secondProcessSeesRunning(dir.path()));
    }
    EXPECT_FALSE(secondProcessSeesRunning(dir.path()));

    // a holder killed outright leaves no stale lock behind
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t holder = ::fork();
    if (holder == 0) {
        SingleInstanceLock lock;
        lock.alreadyRunning(dir.path());
        char c = 'x';
        (void)!::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_TRUE(secondProcessSeesRunning(dir.path()));
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_FALSE(secondProcessSeesRunning(dir.path()));
}

TEST(SingleInstance, AnUnusableDirectoryDoesNotStopTheProgram) {
    SingleInstanceLock lock;
    EXPECT_FALSE(lock.alreadyRunning("/nonexistent/dir/for/zampo"));
}
