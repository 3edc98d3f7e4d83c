// zampo-gateway as systemd runs it: a notify socket of the test's own stands in for
// the service manager and reads what the real program reports.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <filesystem>

#include "runtime/servicenotify.h"
#include "runtime/steptimer.h"
#include "support/tempdir.h"

using namespace zampo;

namespace {
struct NotifySocket {
    explicit NotifySocket(const std::string& path) : fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0)) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        path.copy(addr.sun_path, sizeof addr.sun_path - 1);
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~NotifySocket() { ::close(fd); }
    // The messages that arrived since the last call.
    std::vector<std::string> take() {
        std::vector<std::string> out;
        char buf[4096];
        for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) out.emplace_back(buf, size_t(n));
        return out;
    }
    bool waitFor(const std::string& message) {
        return QTest::qWaitFor([&] { return std::ranges::count(take(), message) > 0; }, 20000);
    }
    int fd;
    bool bound = false;
};
}  // namespace

TEST(ServiceNotify, ReadyWatchdogOnlyWhileTheLoopRunsAndStoppingOnTerm) {
    test::TempDir prog, data, runtime;
    std::filesystem::create_directories(data.path() + "/zam/data");
    test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=" + data.path() + "/zam/data\n");
    test::writeFile(prog.file("linkdefs.default"), "<ZamPOLinkDefs/>");
    std::filesystem::copy_file(ZAMPO_GATEWAY_BINARY, prog.file("zampo-gateway"));
    NotifySocket notify(runtime.file("notify"));
    ASSERT_TRUE(notify.bound);

    QProcess gateway;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
    env.insert("NOTIFY_SOCKET", QString::fromStdString(runtime.file("notify")));
    env.insert("WATCHDOG_USEC", "400000");
    gateway.setProcessEnvironment(env);
    gateway.start(QString::fromStdString(prog.file("zampo-gateway")), {});
    ASSERT_TRUE(notify.waitFor("READY=1"));
    // Ready means started: the log is open and the definitions are in place.
    EXPECT_NE(test::readFile(data.path() + "/zam/data/ZAMPO.LOG").find("program started"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(data.path() + "/zam/PoData/LinkDefs.xml"));
    ASSERT_TRUE(notify.waitFor("WATCHDOG=1"));
    ASSERT_TRUE(notify.waitFor("WATCHDOG=1"));

    // A stalled gateway sends nothing, so the manager's watchdog would end it.
    const auto pid = pid_t(gateway.processId());
    const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return test::readFile(stat).find(") T ") != std::string::npos; }, 10000));
    notify.take();
    QTest::qWait(1500);  // several ping intervals
    EXPECT_EQ(notify.take(), std::vector<std::string>{});
    ASSERT_EQ(::kill(pid, SIGCONT), 0);
    EXPECT_TRUE(notify.waitFor("WATCHDOG=1")) << "the pings must come back when the loop runs again";

    gateway.terminate();
    EXPECT_TRUE(notify.waitFor("STOPPING=1"));
    ASSERT_TRUE(gateway.waitForFinished(15000));
    EXPECT_EQ(gateway.exitCode(), 0);
    // The journal gets the log's lines from standard error.
    const std::string err = gateway.readAllStandardError().toStdString();
    EXPECT_NE(err.find("Main form created, program started: version "), std::string::npos) << err;
    EXPECT_NE(err.find("Start closing application\n"), std::string::npos) << err;
}

// In this process, its event loop running all along: the pings follow the machine
// they are given, not the event loop.
TEST(ServiceNotify, NoWatchdogWhileTheLoopIsKeptFromStepping) {
    test::TempDir runtime;
    NotifySocket notify(runtime.file("notify"));
    ASSERT_TRUE(notify.bound);
    ::setenv("NOTIFY_SOCKET", runtime.file("notify").c_str(), 1);
    ::setenv("WATCHDOG_USEC", "100000", 1);
    ::unsetenv("WATCHDOG_PID");
    StepTimer loop;
    loop.setTurnBudget(4);
    loop.setStepHandler([](StepTimer& m) { m.restFor(20); });
    loop.setEnabled(true);
    ServiceNotify service;
    service.ready(&loop);
    // Every notice reads the socket's name afresh; the other tests must not see it.
    struct Unset {
        ~Unset() {
            ::unsetenv("NOTIFY_SOCKET");
            ::unsetenv("WATCHDOG_USEC");
        }
    } unset;
    ASSERT_TRUE(notify.waitFor("READY=1"));
    ASSERT_TRUE(notify.waitFor("WATCHDOG=1"));

    // Kept from stepping: what was sent before it fell behind is let through first.
    loop.setEnabled(false);
    QTest::qWait(400);
    notify.take();
    QTest::qWait(600);  // several ping intervals
    EXPECT_EQ(notify.take(), std::vector<std::string>{});

    loop.setEnabled(true);
    EXPECT_TRUE(notify.waitFor("WATCHDOG=1")) << "the pings must come back when the loop steps again";
}
