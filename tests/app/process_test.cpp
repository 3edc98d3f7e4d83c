// Runs the real programs, zampo and the window-less zampo-gateway: first start,
// second start, files on disk, the orderly stop.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>
#include <QProcess>
#include <QTest>

#include <filesystem>

#include "support/tempdir.h"

using namespace zampo;

namespace {
struct Installed {
    explicit Installed(const std::string& binary = ZAMPO_BINARY) : program(install(binary)) {
        std::filesystem::create_directories(data.path() + "/zam/data");
        test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=" + data.path() + "/zam/data\n");
        test::writeFile(prog.file("linkdefs.default"), "<ZamPOLinkDefs/>");
    }
    // Copies a program into the program directory; its file name.
    std::string install(const std::string& binary) {
        const std::string name = std::filesystem::path(binary).filename().string();
        std::filesystem::copy_file(binary, prog.file(name), std::filesystem::copy_options::skip_existing);
        return name;
    }
    QProcess* start(const std::string& name = {}) {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
        env.insert("HOME", QString::fromStdString(data.path()));
        p->setProcessEnvironment(env);
        p->start(QString::fromStdString(prog.file(name.empty() ? program : name)), {});
        return p;
    }
    std::string log() const { return test::readFile(data.path() + "/zam/data/ZAMPO.LOG"); }
    test::TempDir prog, data, runtime;
    std::string program;
};
}  // namespace

class Process : public ::testing::TestWithParam<const char*> {};

TEST_P(Process, StartsOnceCreatesItsFilesAndASecondStartEndsSilently) {
    Installed site(GetParam());
    std::unique_ptr<QProcess> first(site.start());
    ASSERT_TRUE(first->waitForStarted(10000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return site.log().find("PO connection initialized") != std::string::npos; }, 20000))
        << site.log();
    const std::string log = site.log();
    EXPECT_NE(log.find("><Main form created, program started: version "), std::string::npos);
    const std::string po = site.data.path() + "/zam/PoData";
    EXPECT_TRUE(std::filesystem::is_directory(po));
    EXPECT_EQ(test::readFile(po + "/LinkDefs.xml"), "<ZamPOLinkDefs/>");
    EXPECT_NE(test::readFile(site.data.path() + "/zam/data/ZamLocal.INI").find("Trace=0"), std::string::npos);

    // A second start, of either program, shares the lock and ends at once.
    for (const char* other : {ZAMPO_BINARY, ZAMPO_GATEWAY_BINARY}) {
        std::unique_ptr<QProcess> second(site.start(site.install(other)));
        if (site.program == "zampo-gateway" && std::string(other) == ZAMPO_BINARY) {
            // The window beside the service is its editor, with no loop of its own.
            ASSERT_TRUE(QTest::qWaitFor([&] { return site.log().find("Editor opened") != std::string::npos; }, 20000))
                << site.log();
            EXPECT_EQ(second->state(), QProcess::Running);
            second->terminate();
            ASSERT_TRUE(second->waitForFinished(10000));
            EXPECT_EQ(second->exitCode(), 0);
            EXPECT_EQ(site.log().find("PO connection initialized", site.log().find("Editor opened")),
                      std::string::npos);
            continue;
        }
        ASSERT_TRUE(second->waitForFinished(10000)) << other;
        EXPECT_EQ(second->exitCode(), 0);
        EXPECT_EQ(second->readAllStandardError().size(), 0);
        // The first one may log its polls meanwhile; the second wrote nothing of its own.
        const std::string now = site.log();
        EXPECT_EQ(now.find("program started", now.find("program started") + 1), std::string::npos) << now;
    }

    first->terminate();  // SIGTERM: an orderly stop, as a confirmed close
    ASSERT_TRUE(first->waitForFinished(15000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_NE(site.log().find("<Start closing application>"), std::string::npos);
    EXPECT_NE(site.log().find("<Close main statemachine>"), std::string::npos);

    first.reset(site.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->state() == QProcess::Running; }, 10000));
    QTest::qWait(500);
    first->kill();  // a crash must not block the next start
    first->waitForFinished(10000);
    std::unique_ptr<QProcess> third(site.start());
    EXPECT_FALSE(third->waitForFinished(1500)) << "the next start after a crash must run";
    third->kill();
    third->waitForFinished(10000);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, Process, ::testing::Values(ZAMPO_BINARY, ZAMPO_GATEWAY_BINARY),
                         [](const auto& info) { return std::string(info.index == 0 ? "Window" : "Gateway"); });

TEST(ProcessGateway, LinksNoWidgetsOrGuiLibrary) {
    QProcess ldd;
    ldd.start("ldd", {ZAMPO_GATEWAY_BINARY});
    ASSERT_TRUE(ldd.waitForFinished(10000));
    const std::string libraries = ldd.readAllStandardOutput().toStdString();
    EXPECT_NE(libraries.find("libQt6Core"), std::string::npos) << libraries;
    EXPECT_EQ(libraries.find("libQt6Widgets"), std::string::npos) << libraries;
    EXPECT_EQ(libraries.find("libQt6Gui"), std::string::npos) << libraries;
}

TEST(ProcessGateway, RootForADataDirectoryOfAnotherAccountRefusesAndMakesNoFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root";
    Installed site(ZAMPO_GATEWAY_BINARY);
    const std::string data = site.data.path() + "/zam/data";
    const uid_t nobody = 65534;
    ASSERT_EQ(::chown(data.c_str(), nobody, nobody), 0);
    const passwd* account = ::getpwuid(nobody);
    const std::string name = account ? account->pw_name : std::to_string(nobody);
    std::unique_ptr<QProcess> p(site.start());
    ASSERT_TRUE(p->waitForFinished(10000));
    EXPECT_EQ(p->exitCode(), 1);
    const std::string err = p->readAllStandardError().toStdString();
    EXPECT_NE(err.find("sudo -u " + name + " zampo-gateway"), std::string::npos) << err;
    EXPECT_TRUE(std::filesystem::is_empty(data));
    EXPECT_FALSE(std::filesystem::exists(site.data.path() + "/zam/PoData"));
    EXPECT_TRUE(std::filesystem::is_empty(site.runtime.path()));
}

TEST(ProcessData, ADataPathThatIsNoUsableDirectoryStopsTheStartWithAMessage) {
    Installed site;
    const std::string notADirectory = site.data.path() + "/zam/data/ZamLocal.INI";
    test::writeFile(notADirectory, "[PO]\n");
    for (const std::string& datapath : {notADirectory, notADirectory + "/data"}) {
        test::writeFile(site.prog.file("PO.ini"), "[Application]\ndatapath=" + datapath + "\n");
        std::unique_ptr<QProcess> p(site.start());
        ASSERT_TRUE(p->waitForFinished(10000)) << datapath;
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_NE(p->exitCode(), 0);
        const std::string err = p->readAllStandardError().toStdString();
        EXPECT_NE(err.find("cannot start: the ZAM data directory " + datapath), std::string::npos) << err;
        EXPECT_NE(err.find(site.prog.file("PO.ini")), std::string::npos) << err;
    }
    EXPECT_FALSE(std::filesystem::exists(site.data.path() + "/zam/PoData")) << "the refused start went on";

    // One that is not there yet is not refused: the start goes on and makes PoData beside it.
    test::writeFile(site.prog.file("PO.ini"), "[Application]\ndatapath=" + site.data.path() + "/site/Data\n");
    std::filesystem::create_directory(site.data.path() + "/site");
    std::unique_ptr<QProcess> p(site.start());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return std::filesystem::is_directory(site.data.path() + "/site/PoData"); }, 20000));
    EXPECT_EQ(p->state(), QProcess::Running);
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(15000));
    EXPECT_EQ(p->exitCode(), 0);
}
