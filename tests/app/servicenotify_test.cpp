// zampo-gateway as systemd runs it: a notify socket of the test's own stands in for
// the service manager and reads what the real program reports.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/tempdir.h"

using namespace zampo;

namespace {

class NotifySocket {
public:
    explicit NotifySocket(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        path.copy(addr.sun_path, sizeof addr.sun_path - 1);
        bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~NotifySocket() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool bound() const { return bound_; }
    // The messages that arrived since the last call.
    std::vector<std::string> take() {
        std::vector<std::string> out;
        char buf[4096];
        for (ssize_t n; (n = ::recv(fd_, buf, sizeof buf, 0)) > 0;) out.emplace_back(buf, static_cast<size_t>(n));
        return out;
    }
    // Waits until message arrives; what came before it is dropped.
    bool waitFor(const std::string& message, int timeoutMs = 20000) {
        return QTest::qWaitFor(
            [&] {
                for (const std::string& m : take())
                    if (m == message) return true;
                return false;
            },
            timeoutMs);
    }

private:
    int fd_ = -1;
    bool bound_ = false;
};

// 'T' once the kernel has stopped the process.
char processState(qint64 pid) {
    const std::string stat = test::readFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t paren = stat.rfind(')');
    return paren == std::string::npos || paren + 2 >= stat.size() ? '?' : stat[paren + 2];
}

}  // namespace

TEST(ServiceNotify, ReadyWatchdogOnlyWhileTheLoopRunsAndStoppingOnTerm) {
    test::TempDir prog, data, runtime;
    std::filesystem::create_directories(data.path() + "/zam/data");
    test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=" + data.path() + "/zam/data\n");
    test::writeFile(prog.file("linkdefs.default"), "<ZamPOLinkDefs/>");
    std::filesystem::copy_file(ZAMPO_GATEWAY_BINARY, prog.file("zampo-gateway"));
    NotifySocket notify(runtime.file("notify"));
    ASSERT_TRUE(notify.bound());

    QProcess gateway;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
    env.insert("HOME", QString::fromStdString(data.path()));
    env.insert("NOTIFY_SOCKET", QString::fromStdString(runtime.file("notify")));
    env.insert("WATCHDOG_USEC", "400000");
    gateway.setProcessEnvironment(env);
    gateway.start(QString::fromStdString(prog.file("zampo-gateway")), {});
    ASSERT_TRUE(gateway.waitForStarted(10000));

    ASSERT_TRUE(notify.waitFor("READY=1"));
    // Ready means started: the log is open and the definitions are in place.
    EXPECT_NE(test::readFile(data.path() + "/zam/data/ZAMPO.LOG").find("program started"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(data.path() + "/zam/PoData/LinkDefs.xml"));
    ASSERT_TRUE(notify.waitFor("WATCHDOG=1"));
    ASSERT_TRUE(notify.waitFor("WATCHDOG=1"));

    // A stalled gateway sends nothing, so the manager's watchdog would end it.
    const qint64 pid = gateway.processId();
    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGSTOP), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return processState(pid) == 'T'; }, 10000));
    notify.take();
    QTest::qWait(1500);  // several ping intervals
    EXPECT_EQ(notify.take(), std::vector<std::string>{});
    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGCONT), 0);
    EXPECT_TRUE(notify.waitFor("WATCHDOG=1")) << "the pings must come back when the loop runs again";

    gateway.terminate();
    EXPECT_TRUE(notify.waitFor("STOPPING=1"));
    ASSERT_TRUE(gateway.waitForFinished(15000));
    EXPECT_EQ(gateway.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(gateway.exitCode(), 0);

    // The journal gets the log's lines from standard error.
    const std::string err = gateway.readAllStandardError().toStdString();
    EXPECT_NE(err.find("Main form created, program started: version "), std::string::npos) << err;
    EXPECT_NE(err.find("Start closing application\n"), std::string::npos) << err;
}
