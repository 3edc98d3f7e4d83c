// The real zampo-gateway process as a service runs it, between both simulators:
// SIGHUP reads the settings and definitions again.
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "gatewayfixture.h"
#include "logic/linkconfig/documentedit.h"
#include "logic/linkconfig/linkediting.h"
#include "runtime/healthcheck.h"
#include "runtime/httpclient.h"
#include "support/loopback.h"
#include "support/testhosts.h"

using namespace zampo;
using namespace zampo::test;
using namespace std::chrono_literals;

namespace {

class ServiceTest : public GatewayTest {
protected:
    void TearDown() override {
        if (service.state() != QProcess::NotRunning) {
            service.terminate();
            service.waitForFinished(15000);
        }
        GatewayTest::TearDown();
    }
    void writeSettings(quint16 zamPort, int sendPcu) {
        writeFile(paths->settingsFile(), "[IP]\naddress=127.0.0.1\nOIPort=" + std::to_string(zamPort) +
                                             "\n[PO]\naddress=" + poAddress.toStdString() +
                                             "\nsendpcu=" + std::to_string(sendPcu) + "\n");
    }
    // Waits for the first poll in the log file, or on standard error when the log cannot be written.
    void startService(bool logWritable = true) {
        const std::string program = dir.path() + "/prog/zampo-gateway";
        std::filesystem::copy_file(ZAMPO_GATEWAY_BUILT, program, std::filesystem::copy_options::skip_existing);
        writeFile(dir.path() + "/prog/linkdefs.default", "<ZamPOLinkDefs/>");
        std::filesystem::create_directories(runtime);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", QString::fromStdString(dir.path()));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
        service.setProcessEnvironment(env);
        service.start(QString::fromStdString(program), {});
        ASSERT_TRUE(waitUntil([&] {
            return (logWritable ? logText() : serviceStderr()).find("PO connection initialized") != std::string::npos;
        })) << logText()
            << serviceStderr();
    }
    std::string serviceStderr() {
        stderrText += service.readAllStandardError().toStdString();
        return stderrText;
    }
    // How often text stands in the log.
    std::size_t logCount(const std::string& text) const {
        const std::string log = logText();
        std::size_t n = 0;
        for (auto p = log.find(text); p != std::string::npos; p = log.find(text, p + 1)) ++n;
        return n;
    }
    // SIGHUP, and the reload's work done once marker stands in the log once more.
    void reloadUntil(const std::string& marker) {
        const std::size_t before = logCount(marker);
        ::kill(service.processId(), SIGHUP);
        ASSERT_TRUE(waitUntil([&] { return logCount(marker) > before; }, 30000)) << logText();
    }
    // zampo-gateway --check beside the service: its exit code, its output in out.
    int check(std::string& out) {
        QProcess run;
        run.setProcessEnvironment(service.processEnvironment());
        run.start(QString::fromStdString(dir.path() + "/prog/zampo-gateway"), {"--check"});
        EXPECT_TRUE(run.waitForFinished(20000));
        out = run.readAllStandardOutput().toStdString();
        return run.exitCode();
    }
    bool received(ZamsimProcess& sim, const std::string& line) {
        return waitUntil(
            [&] {
                const auto lines = sim.received();
                return std::find(lines.begin(), lines.end(), line) != lines.end();
            },
            30000);
    }

    std::string runtime = dir.path() + "/run";
    QProcess service;
    std::string stderrText;
};

TEST_F(ServiceTest, SighupTakesNewSettingsAndLinksWithoutARestart) {
    writeSiteDefinitions();
    poAddress = testHost(TestHost::ServiceReload);
    ASSERT_TRUE(zamsim.start("ok"));
    ZamsimProcess moved;
    ASSERT_TRUE(moved.start("ok"));
    ASSERT_TRUE(posim.start(poAddress, {"--alarms", QString::fromStdString(alarmsFile)}))
        << posim.output().toStdString();
    writeSettings(zamsim.port(), 1);
    ASSERT_NO_FATAL_FAILURE(startService());
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_TRUE(received(zamsim, "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]")) << zamsim.output().toStdString();

    // ZamMeld moved, PCU names off, and Kas4 linked elsewhere.
    writeSettings(moved.port(), 0);
    const std::string links = readDataFile("LinkDefs.xml");
    writeDataFile("LinkDefs.xml", std::regex_replace(links, std::regex("0012 - 03"), "0020 - 01"));
    ::kill(service.processId(), SIGHUP);
    ASSERT_TRUE(waitUntil([&] { return logText().find("Reload: ") != std::string::npos; })) << logText();
    EXPECT_NE(logText().find("ZamMeld 127.0.0.1:" + std::to_string(moved.port()) + ", Priva Office " +
                             testHostAddress(TestHost::ServiceReload) +
                             ", "
                             "sendpcu 0"),
              std::string::npos)
        << logText();
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s) +
                    activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 5s));
    EXPECT_TRUE(received(moved, "[ZAM RCVALARM 02,0020,01,T,,Kas4 Vocht hoog]")) << moved.output().toStdString();
    EXPECT_EQ(service.state(), QProcess::Running);
    const auto old = zamsim.received();
    EXPECT_EQ(std::count_if(old.begin(), old.end(), [](const std::string& l) { return l.find("Vocht") != l.npos; }), 0);
}

TEST_F(ServiceTest, EditorAssignsALinkWhileTheServiceMergesALocationAndBothAreKept) {
    writeSiteDefinitions();
    const std::string links = readDataFile("LinkDefs.xml");
    writeDataFile("LinkDefs.xml",
                  std::regex_replace(links, std::regex("text=\"Kas4\" zam_alarm=\"0012 - 03\""), "text=\"Kas4\""));
    const std::string definitions = dir.path() + "/definitions.xml";
    writeFile(definitions, R"(<alarmserverconfig><alarmlocations>
        <alarmlocation pcu="PCU1" text="Kas4"/><alarmlocation pcu="PCU9" text="Nieuwe kas"/>
        </alarmlocations><alarmtypes><alarmtype nr="1" text="Temp hoog"/></alarmtypes></alarmserverconfig>)");
    poAddress = testHost(TestHost::ServiceStop);
    ASSERT_TRUE(zamsim.start("ok"));
    ASSERT_TRUE(posim.start(poAddress, {"--alarms", QString::fromStdString(alarmsFile), "--definitions",
                                        QString::fromStdString(definitions)}));
    writeSettings(zamsim.port(), 1);
    ASSERT_NO_FATAL_FAILURE(startService());
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_TRUE(received(zamsim, kConfigError)) << zamsim.output().toStdString();  // not linked yet

    // The editor's assign button, as the window runs it. Its read-change-save holds
    // the lock while the service is told to fetch the definitions, so that the
    // merge of the new location waits for the edit and must read it back.
    DocumentSlot editorLinks;
    const EditOutcome edit = editLinkDefs(editorLinks, poDir, [&](XmlDocument& doc) {
        ::kill(service.processId(), SIGHUP);
        EXPECT_TRUE(posim.waitForOutput("alarmserverconfig")) << posim.output().toStdString();
        waitUntil([] { return false; }, 300);  // the merge is on its way to the lock
        writeRowLinks(doc, {LinkRowCells{"PCU1", "Kas4", "--", "0012 - 03", ""}});
        return true;
    });
    ASSERT_TRUE(edit.saved()) << edit.error;
    ASSERT_TRUE(waitUntil([&] { return readDataFile("LinkDefs.xml").find("Nieuwe kas") != std::string::npos; }))
        << logText();
    const std::string merged = readDataFile("LinkDefs.xml");
    EXPECT_NE(merged.find(R"(text="Kas4" zam_alarm="0012 - 03")"), std::string::npos) << merged;

    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s) +
                    activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 5s));
    EXPECT_TRUE(received(zamsim, "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Vocht hoog]")) << zamsim.output().toStdString();
    EXPECT_NE(logText().find("LinkDefs.xml read again"), std::string::npos);
}

TEST_F(ServiceTest, SighupKeepsTheLinksAndSettingsInUseWhenTheirFilesCannotBeRead) {
    writeSiteDefinitions();
    poAddress = testHost(TestHost::ServiceUnreadableFiles);
    ASSERT_TRUE(zamsim.start("ok"));
    const std::string definitions = dir.path() + "/definitions.xml";
    writeFile(definitions, R"(<alarmserverconfig><alarmlocations><alarmlocation pcu="PCU1" text="Kas4"/>
        </alarmlocations><alarmtypes><alarmtype nr="1" text="Temp hoog"/></alarmtypes></alarmserverconfig>)");
    ASSERT_TRUE(posim.start(poAddress, {"--alarms", QString::fromStdString(alarmsFile), "--definitions",
                                        QString::fromStdString(definitions)}));
    writeSettings(zamsim.port(), 1);
    ASSERT_NO_FATAL_FAILURE(startService());
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_TRUE(received(zamsim, kRaiseA)) << zamsim.output().toStdString();

    // LinkDefs.xml cut short: the reload keeps the copy in use, and so does the
    // definitions merge it starts, which is refused and said to be.
    const std::string links = readDataFile("LinkDefs.xml");
    const std::string cut = links.substr(0, links.size() / 2);
    writeDataFile("LinkDefs.xml", cut);
    ASSERT_NO_FATAL_FAILURE(reloadUntil("Definitions from Priva Office not merged; the links in use stay"));
    EXPECT_NE(logText().find("LinkDefs.xml (reload) is damaged ("), std::string::npos) << logText();
    EXPECT_EQ(logText().find("Definitions collected from Priva Office"), std::string::npos) << logText();
    // The reported alarm resets and another is raised: both with their links.
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 5s));
    EXPECT_TRUE(received(zamsim, "[ZAM RCVALARM 02,0012,03,R,,PCU1 Kas4 Temp hoog]")) << zamsim.output().toStdString();
    EXPECT_TRUE(received(zamsim, kRaiseB)) << zamsim.output().toStdString();
    const auto lines = zamsim.received();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kConfigError), 0);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kRaiseA), 1);
    EXPECT_EQ(readDataFile("LinkDefs.xml"), cut);

    // ZamLocal.INI made garbage, then a directory: the settings in use stay, and the
    // log, the status text and --check say so.
    const std::string ini = paths->settingsFile();
    writeFile(ini, std::string("\x7f\x45\x4c\x46\x02\x01\x00\x00garbage", 16));
    ASSERT_NO_FATAL_FAILURE(reloadUntil(
        "cannot be read (it holds binary data); the settings in use stay: ZamMeld "
        "127.0.0.1:" +
        std::to_string(zamsim.port()) + ", Priva Office " + testHostAddress(TestHost::ServiceUnreadableFiles)));
    // Logged right after the reload's own line, which may be all the file holds yet.
    EXPECT_TRUE(waitUntil([&] {
        return logText().find("<Status: ZamLocal.INI cannot be read; the settings in use stay>") != std::string::npos;
    })) << logText();
    EXPECT_EQ(logText().find("ZamMeld 127.0.0.1:8132"), std::string::npos) << logText();
    std::string out;
    EXPECT_EQ(check(out), 1);
    EXPECT_NE(out.find("ZamLocal.INI cannot be read (it holds binary data)"), std::string::npos) << out;
    std::filesystem::remove(ini);
    std::filesystem::create_directory(ini);
    ASSERT_NO_FATAL_FAILURE(reloadUntil("cannot be read (it is a directory); the settings in use stay"));
    EXPECT_EQ(check(out), 1);
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 5s) +
                    activeAlarm("PCU1", "Kas4", "3", "CO2 laag", 5s));
    EXPECT_TRUE(received(zamsim, "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 CO2 laag]")) << zamsim.output().toStdString();
}

// The window beside the service, started by another account: it may not forward,
// whether it can only read the forwarding lock or finds a directory in its place.
TEST_F(ServiceTest, TheWindowBesideTheServiceNeverForwardsWhenItCannotTakeTheLock) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to start the window as another account";
    writeSiteDefinitions();
    poAddress = testHost(TestHost::ServiceWindowBeside);
    ASSERT_TRUE(zamsim.start("ok"));
    ASSERT_TRUE(posim.start(poAddress, {"--alarms", QString::fromStdString(alarmsFile)}));
    writeSettings(zamsim.port(), 1);
    ::umask(022);
    ASSERT_NO_FATAL_FAILURE(startService());
    const std::string lock = poDir + "/.forwarding.lock";
    struct stat st {};
    ASSERT_EQ(::stat(lock.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0660, 0660u) << "the service's group must be able to lock it whatever the umask";

    // nobody may use the ZAM data directory (log, settings) but not write the lock file.
    namespace fs = std::filesystem;
    for (const std::string& d : {dir.path(), dir.path() + "/prog", dir.path() + "/zam", poDir})
        fs::permissions(d, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir.path() + "/zam/data", fs::perms::all);
    fs::permissions(paths->logFile(), fs::perms::all);
    const std::string windowRun = dir.path() + "/run-window";
    fs::create_directories(windowRun);
    ASSERT_EQ(::chown(windowRun.c_str(), 65534, 65534), 0);
    const std::string window = dir.path() + "/prog/zampo";
    fs::copy_file(ZAMPO_WINDOW_BUILT, window, fs::copy_options::skip_existing);
    auto startWindow = [&](QProcess& p, bool asNobody) {
        QProcessEnvironment env = service.processEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(windowRun));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        if (asNobody)
            p.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", QString::fromStdString(window)});
        else
            p.start(QString::fromStdString(window), {});
    };
    const auto stopWindow = [](QProcess& p) {
        p.terminate();
        if (!p.waitForFinished(15000)) p.kill();
        p.waitForFinished(5000);
    };

    QProcess reader;
    startWindow(reader, true);
    ASSERT_TRUE(waitUntil([&] { return logCount("Editor opened, version ") == 1; }, 30000))
        << logText() << reader.readAllStandardError().toStdString();
    stopWindow(reader);

    // A directory where the lock file was; the service still holds the file it locked.
    fs::remove(lock);
    fs::create_directory(lock);
    QProcess blocked;
    startWindow(blocked, false);
    ASSERT_TRUE(waitUntil(
        [&] {
            return logCount("Editor only: the forwarding lock cannot be taken (" + lock + ": Is a directory)") == 1;
        },
        30000))
        << logText() << blocked.readAllStandardError().toStdString();
    stopWindow(blocked);

    // Only the service's loop ever started, and ZamMeld got each line once.
    EXPECT_EQ(logCount("PO connection initialized"), 1u) << logText();
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_TRUE(received(zamsim, kRaiseA)) << zamsim.output().toStdString();
    const auto lines = zamsim.received();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kRaiseA), 1);
}

TEST_F(ServiceTest, ALogThatCannotBeWrittenIsAFaultSaidOnceWhileForwardingGoesOn) {
    writeSiteDefinitions();
    poAddress = testHost(TestHost::ServiceLogUnwritable);
    ASSERT_TRUE(zamsim.start("ok"));
    ASSERT_TRUE(posim.start(poAddress, {"--alarms", QString::fromStdString(alarmsFile)}));
    writeSettings(zamsim.port(), 1);
    std::ofstream(paths->settingsFile(), std::ios::app)
        << "[Metrics]\nport=19465\naddress=" << testHostAddress(TestHost::ServiceLogUnwritable) << "\n";
    // Not even root can append to a directory.
    std::filesystem::create_directories(paths->logFile());
    ASSERT_NO_FATAL_FAILURE(startService(false));
    auto logFailing = [] {
        const HttpResult r =
            HttpClient().get("http://" + testHostAddress(TestHost::ServiceLogUnwritable) + ":19465/metrics", {});
        const auto m = parseMetricsText(r.body);
        return r.ok && m.count("zampo_log_failing") ? m.at("zampo_log_failing") : -1.0;
    };
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_TRUE(received(zamsim, "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]")) << serviceStderr();
    EXPECT_TRUE(waitUntil([&] {
        return serviceStderr().find("Log file not written: cannot open") != std::string::npos;
    })) << serviceStderr();
    EXPECT_TRUE(waitUntil([&] { return logFailing() == 1; }));
    const std::string said = "the log file is not written (cannot open " + paths->logFile() + ": Is a directory)";
    const std::string err = serviceStderr();
    ASSERT_NE(err.find(said), std::string::npos) << err;
    EXPECT_EQ(err.find(said, err.find(said) + 1), std::string::npos) << "said more than once: " << err;

    std::filesystem::remove(paths->logFile());
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 5s));
    EXPECT_TRUE(received(zamsim, "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Vocht hoog]")) << serviceStderr();
    EXPECT_TRUE(waitUntil([&] { return logText().find("The log file is written again") != std::string::npos; }))
        << serviceStderr();
    EXPECT_TRUE(waitUntil([&] { return logFailing() == 0; }));
    EXPECT_EQ(service.state(), QProcess::Running);
}

}  // namespace

// Beside a running site, before its gateway is switched on: what it would send,
// from one real request, and nothing reaches ZamMeld or the disk.
TEST_F(ServiceTest, DryRunPrintsTheLinesOfTodaysAlarmsAndSendsAndWritesNothing) {
    writeSiteDefinitions();
    poAddress = testHost(TestHost::ServiceDryRun);
    ASSERT_TRUE(zamsim.start("ok"));
    ASSERT_TRUE(posim.start(poAddress, {"--alarms", QString::fromStdString(alarmsFile)}))
        << posim.output().toStdString();
    writeSettings(zamsim.port(), 1);
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s) +
                    activeAlarm("PCU1", "Kas5", "3", "Druk laag", 5s) + activeAlarm("PCU9", "Nergens", "4", "x", 5s));
    const std::string program = dir.path() + "/prog/zampo-gateway";
    std::filesystem::copy_file(ZAMPO_GATEWAY_BUILT, program, std::filesystem::copy_options::skip_existing);

    // Every file and directory under the site, with its content.
    auto snapshot = [&] {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
            files[e.path().string()] = e.is_regular_file() ? readFile(e.path().string()) : "";
        return files;
    };
    const auto before = snapshot();
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(dir.path()));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
    run.setProcessEnvironment(env);
    run.start(QString::fromStdString(program), {"--dry-run"});
    ASSERT_TRUE(run.waitForFinished(30000));
    const std::string out = run.readAllStandardOutput().toStdString();
    EXPECT_EQ(run.exitCode(), 0) << out << run.readAllStandardError().toStdString();
    EXPECT_NE(out.find("PCU1,Kas4,1: " + kRaiseA), std::string::npos) << out;
    EXPECT_NE(out.find("PCU1,Kas5,3: [ZAM RCVALARM 02,0012,04,T,,PreAlarm: PCU1 Kas5 Druk laag]"), std::string::npos)
        << out;
    EXPECT_NE(out.find("PCU9,Nergens,4: " + kConfigError), std::string::npos) << out;
    EXPECT_NE(out.find("group 0100 - 07: nothing (waits for its group delay"), std::string::npos) << out;
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(zamsim.output().toStdString().find("connection from"), std::string::npos)
        << zamsim.output().toStdString();
}
