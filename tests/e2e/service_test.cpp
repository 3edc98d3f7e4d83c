// The real zampo-gateway process as a service runs it, between both simulators:
// SIGHUP reads the settings and definitions again.
#include <QProcess>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>

#include "gatewayfixture.h"
#include "logic/linkconfig/documentedit.h"
#include "logic/linkconfig/linkediting.h"
#include "runtime/healthcheck.h"
#include "runtime/httpclient.h"
#include "support/loopback.h"

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
    poAddress = "127.0.24.3";
    ASSERT_TRUE(zamsim.start("ok"));
    ZamsimProcess moved;
    ASSERT_TRUE(moved.start("ok"));
    ASSERT_TRUE(posim.start(poAddress, {"--alarms", QString::fromStdString(alarmsFile)}));
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
    EXPECT_NE(logText().find("ZamMeld 127.0.0.1:" + std::to_string(moved.port()) +
                             ", Priva Office 127.0.24.3, "
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
    poAddress = "127.0.24.4";
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

TEST_F(ServiceTest, ALogThatCannotBeWrittenIsAFaultSaidOnceWhileForwardingGoesOn) {
    writeSiteDefinitions();
    poAddress = "127.0.33.1";
    ASSERT_TRUE(zamsim.start("ok"));
    ASSERT_TRUE(posim.start(poAddress, {"--alarms", QString::fromStdString(alarmsFile)}));
    writeSettings(zamsim.port(), 1);
    std::ofstream(paths->settingsFile(), std::ios::app) << "[Metrics]\nport=19465\naddress=127.0.33.1\n";
    // Not even root can append to a directory.
    std::filesystem::create_directories(paths->logFile());
    ASSERT_NO_FATAL_FAILURE(startService(false));
    auto logFailing = [] {
        const HttpResult r = HttpClient().get("http://127.0.33.1:19465/metrics", {});
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
