// Priva Office misbehaving in every way it can while alarms come and go: no alarm
// is lost, none is reset falsely, the status file is left as it was and the log
// says why. A server that hangs is in the fetch worker's tests
// (OneWorkerAtATimeEndedByItsTimeLimitOrByDestruction).
#include <algorithm>
#include <filesystem>
#include <sstream>

#include <thread>

#include "gatewayfixture.h"
#include "logic/diag/logwriter.h"
#include "logic/xml/xmlstore.h"
#include "runtime/fetchworker.h"
#include "support/loopback.h"
#include "support/testhosts.h"

using namespace zampo;
using namespace zampo::test;
using namespace std::chrono_literals;

namespace {

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
    return n;
}

TEST_F(GatewayTest, PrivaOfficeFaultsLoseNoAlarmResetNothingAndLeaveTheStatusFileAlone) {
    writeSiteDefinitions();
    const std::string a = activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s);
    const std::string b = activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 15s);
    setActiveAlarms(a);
    const std::string control = dir.path() + "/posim-control";
    writeFile(control, "");
    ASSERT_NO_FATAL_FAILURE(
        start(testHost(TestHost::PrivaOfficeFaults), "ok", {"--control", QString::fromStdString(control)}));
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{kRaiseA});
    const std::string status = readDataFile("AlarmStatus.xml");

    // B is raised while no answer can be used; a wrong root used to reset A.
    setActiveAlarms(a + b);
    for (const char* mode : {"fail", "redirect", "text", "wrongroot", "huge:200", "close", "empty", "refused"}) {
        SCOPED_TRACE(mode);
        if (std::string(mode) == "refused")
            gateway->settings().poHost = testHostAddress(TestHost::PrivaOfficeNobodyThere);  // nothing listens there
        else
            writeFile(control, mode);
        advance(10s);
        EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{});
        EXPECT_EQ(readDataFile("AlarmStatus.xml"), status);
    }
    const std::string log = logText();
    EXPECT_NE(log.find("failed: HTTP status 500>"), std::string::npos) << log;
    EXPECT_NE(log.find("(redirects are not followed)>"), std::string::npos);
    EXPECT_NE(log.find("unusable: active alarms: "), std::string::npos);
    EXPECT_NE(log.find("unusable: the answer's root is not active-alarms>"), std::string::npos);
    EXPECT_NE(log.find("failed: the answer is larger than 33554432 bytes>"), std::string::npos);
    EXPECT_NE(
        log.find("failed: Failed to connect to " + testHostAddress(TestHost::PrivaOfficeNobodyThere) + " port 8080"),
        std::string::npos);
    EXPECT_GE(occurrences(log, "<Error communicating with PO server>"), 6u);
    EXPECT_EQ(window.statusText, "Error communicating with PO server");

    gateway->settings().poHost = poAddress.toStdString();
    writeFile(control, "");
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{kRaiseB});
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{});
    EXPECT_EQ(window.statusText, "Application running");
}

TEST_F(GatewayTest, StartsThatAreNoStatusStampsAreReportedOnceAtTheFetchTime) {
    writeSiteDefinitions();
    // Another length, and fifteen characters that are no date.
    setActiveAlarms(R"(<alarm pcu="PCU1" location="Kas4" nr="1" text="Temp hoog" start="2024050110"/>)"
                    R"(<alarm pcu="PCU1" location="Kas4" nr="2" text="Vocht hoog" start="2024XX01T10000Z"/>)");
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::PrivaOfficeStartsThatAreNoStamps)));
    advance(10s);
    EXPECT_EQ(newWireLines(), (Lines{kRaiseA, kRaiseB}));
    advance(10s);
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{});

    XmlDocument saved;
    ASSERT_TRUE(saved.loadFile(poDir + "/AlarmStatus.xml"));
    for (pugi::xml_node alarm : saved.root().children("Alarm")) {
        EXPECT_EQ(std::string(alarm.attribute("start").value()), stamp(10s));
        EXPECT_EQ(std::string(alarm.attribute("Sent").value()), stamp(10s));
    }
}

TEST_F(GatewayTest, ControlCharactersAndForgedMessagesInTextsStayInsideTheirOwnLine) {
    writeSiteDefinitions();
    const std::string forged =
        "&#13;[ZAM RCVALARM 02,9999,8,A]&#13;&#10;&lt;01-01-2024&gt;&lt;00:00:00&gt;&lt;forged&gt;";
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp" + forged, 5s) +
                    activeAlarm("PCU1", "Nergens" + forged, "5", "Onbekend&#9;&#27;" + forged, 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::PrivaOfficeControlCharacters)));
    advance(10s);
    const Lines wire = newWireLines();
    ASSERT_EQ(wire.size(), 2u) << zamsim.output().toStdString();
    // Brackets inside a text are sent as parentheses: no frame inside the frame.
    EXPECT_TRUE(wire[0].starts_with("[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp (ZAM RCVALARM 02,9999,8,A)  "))
        << wire[0];
    EXPECT_EQ(wire[0].find('[', 1), std::string::npos) << wire[0];
    EXPECT_EQ(wire[1], kConfigError);

    // Every line of the log is one of the gateway's own.
    std::istringstream log(logText());
    int lines = 0;
    for (std::string line; std::getline(log, line); ++lines) {
        if (line.ends_with('\r')) line.pop_back();
        EXPECT_TRUE(line.starts_with("<") && line.ends_with(">")) << line;
        EXPECT_FALSE(line.starts_with("<01-01-2024>")) << line;
    }
    EXPECT_GT(lines, 3);
    EXPECT_NE(logText().find("No definition found for alarm: Nergens [ZAM RCVALARM 02,9999,8,A]"), std::string::npos)
        << logText();
}

TEST(PrivaOfficeStall, TricklingServerEndsAtTheTimeLimitAndSavesNothing) {
    TempDir dir;
    writeFile(dir.file("PO.ini"), "[Application]\ndatapath=" + dir.path() + "/data\n");
    std::filesystem::create_directories(dir.file("data"));
    std::filesystem::create_directories(dir.file("PoData"));
    DataPaths paths(dir.path(), dir.path());
    const std::string status = paths.poDataDir() + "/AlarmStatus.xml";
    writeFile(status, "<POAlarmStatus/>");
    logWriter().setFileName(dir.file("data/ZAMPO.LOG"));
    PosimProcess sim;
    ASSERT_TRUE(sim.start(testHost(TestHost::PrivaOfficeTrickle), {"--mode", "trickle:50"}))
        << sim.output().toStdString();
    GatewayState state;
    ManualClock clock{kT0};
    {
        // Every byte comes in time; the whole answer never does.
        FetchWorker worker(paths, state, clock, {}, {.alarmsRequest = 1s, .definitionsRequest = 1s});
        worker.startFetch(sim.url("/office/alarm/alarmserver").toStdString(), kFetchAlarms);
        for (int i = 0; i < 1000 && !worker.fetchDone(); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(worker.fetchDone());
        EXPECT_TRUE(worker.fetchTimedOut());  // the loop goes on as when its own wait runs out
    }
    const std::string log = readFile(dir.file("data/ZAMPO.LOG"));
    logWriter().setFileName("");
    EXPECT_NE(log.find("failed: no complete answer within 1 s>"), std::string::npos) << log;
    EXPECT_EQ(readFile(status), "<POAlarmStatus/>");
}

}  // namespace
