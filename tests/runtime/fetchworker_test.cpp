// The fetch worker against the Priva Office simulator: what it leaves for the
// main loop, in the data files, the log and the trace directory.
#include "runtime/fetchworker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>

#include "logic/diag/logwriter.h"
#include "logic/diag/tracewriter.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linkdefslock.h"
#include "logic/xml/xmlstore.h"
#include "support/posimprocess.h"
#include "support/tempdir.h"
#include "support/testhosts.h"

using namespace zampo;
using namespace zampo::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const std::string kNoData = "Error getting data from Priva Office";
const std::string kCommError = "Error communicating with PO server";

const char* kStatusWithTwoAlarms =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<POAlarmStatus>\n"
    "\t<Alarm pcu=\"PCU09\" location=\"Oud\" nr=\"3\" text=\"weg\" start=\"20240501T090000\" State=\"A\" "
    "Sent=\"20240501T090000\"/>\n"
    "\t<Alarm pcu=\"PCU09\" location=\"Oud\" nr=\"4\" text=\"gemeld\" start=\"20240501T080008\" State=\"R\" "
    "Sent=\"20240501T080008\"/>\n"
    "</POAlarmStatus>\n";

const char* kLinkDefs =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<ZamPOLinkDefs>\n\t<PO_Locations>\n"
    "\t\t<PO_loc pcu=\"PCU03\" text=\"Ketelhuis\" zam_alarm=\"0012 - 05\"/>\n"
    "\t</PO_Locations>\n</ZamPOLinkDefs>\n";

class FetchWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        loadLangTexts("ENG");
        writeFile(dir.file("PO.ini"), "[Application]\ndatapath=" + dir.path() + "/data\n");
        fs::create_directory(dir.file("data"));
        paths = std::make_unique<DataPaths>(dir.path(), dir.path());
        poData = paths->poDataDir();
        traceDir = poData + "/trace";
        fs::create_directory(traceDir);
        logWriter().setFileName(dir.file("data/ZAMPO.LOG"));
        logWriter().setListSink([this](int channel, const std::string& line) {
            std::lock_guard lock(mutex);
            if (channel == kLogPoList) poList.push_back(line.substr(line.find(' ') + 1));
        });
        traceWriter().setDirectory(traceDir);
        traceWriter().setEnabled(true);
        writeFile(statusFile(), kStatusWithTwoAlarms);
        writeFile(linkDefsFile(), kLinkDefs);
    }
    void TearDown() override {
        worker.reset();
        logWriter().setListSink(nullptr);
        logWriter().setFileName("");
        traceWriter().setEnabled(false);
        resetLangTexts();
    }

    void makeWorker(FetchLimits limits = {}) {
        worker = std::make_unique<FetchWorker>(
            *paths, gateway, clock,
            [this](const std::string& text) {
                std::lock_guard lock(mutex);
                statusTexts.push_back(text);
            },
            limits);
    }
    // One fetch as the main loop makes it, waited for to its end.
    bool fetch(const QString& url, FetchKind kind) {
        worker->clearFetchDone();
        worker->startFetch(url.toStdString(), kind);
        return waitDone();
    }
    bool waitDone() {
        for (int i = 0; i < 12000 && !worker->fetchDone(); ++i) std::this_thread::sleep_for(5ms);
        return worker->fetchDone();
    }

    std::string statusFile() const { return poData + "/AlarmStatus.xml"; }
    std::string linkDefsFile() const { return poData + "/LinkDefs.xml"; }
    std::string logText() const { return readFile(dir.file("data/ZAMPO.LOG")); }
    std::vector<std::string> poLines() {
        std::lock_guard lock(mutex);
        return poList;
    }
    std::vector<std::string> statusSet() {
        std::lock_guard lock(mutex);
        return statusTexts;
    }
    // Trace files by suffix ("00" -> name); the time stamp is the rest of the name.
    std::map<std::string, std::string> traces() const {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::directory_iterator(traceDir)) {
            const std::string name = e.path().filename().string();
            out[name.substr(16, 2)] = name;
        }
        return out;
    }
    pugi::xml_node alarm(const XmlDocument& doc, const char* nr) {
        return doc.root().find_child_by_attribute("Alarm", "nr", nr);
    }

    TempDir dir;
    std::unique_ptr<DataPaths> paths;
    std::string poData, traceDir;
    GatewayState gateway;
    ManualClock clock{TimeMs{std::chrono::sys_days{std::chrono::year{2024} / 5 / 1} + 11h}};
    std::unique_ptr<FetchWorker> worker;
    PosimProcess sim;
    std::mutex mutex;
    std::vector<std::string> poList, statusTexts;
};

TEST_F(FetchWorkerTest, FailedRequestsTouchNoFileAndSayWhy) {
    const std::string control = dir.file("control");
    ASSERT_TRUE(sim.start(testHost(TestHost::FetchFailedRequests), {"--alarms", PosimProcess::sample("alarms.xml"),
                                                                    "--control", QString::fromStdString(control)}))
        << sim.output().toStdString();
    makeWorker();
    const std::string linkDefsBefore = readFile(linkDefsFile());

    struct Case {
        const char* mode;
        QString url;
        const char* reason;
    };
    const Case cases[] = {
        {"normal", "http://127.0.0.1:1/office/alarm/alarmserver", "Couldn't connect"},
        {"fail", sim.url("/office/alarm/alarmserver"), "failed: HTTP status 500"},
        {"redirect", sim.url("/office/alarm/alarmserver"), "failed: HTTP status 302 (redirects are not followed)"},
        {"close", sim.url("/office/alarm/alarmserver"), "failed: Empty reply from server"},
        {"huge", sim.url("/office/alarm/alarmserver"), "failed: the answer is larger than 33554432 bytes"},
        {"normal", sim.url("/office/alarm/elsewhere"), "failed: HTTP status 404"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        writeFile(control, c.mode);
        gateway.faultStatus = kFaultNone;
        const size_t linesBefore = poLines().size();
        ASSERT_TRUE(fetch(c.url, kFetchAlarms));
        EXPECT_EQ(gateway.faultStatus, kFaultPriva);
        EXPECT_EQ(worker->fetchMessage(), kNoData);
        ASSERT_FALSE(statusSet().empty());
        EXPECT_EQ(statusSet().back(), kCommError);
        ASSERT_EQ(poLines().size(), linesBefore + 1);
        EXPECT_EQ(poLines().back(), kCommError);
        EXPECT_NE(logText().find(c.reason), std::string::npos) << logText();
        EXPECT_EQ(readFile(statusFile()), kStatusWithTwoAlarms);
        EXPECT_EQ(readFile(linkDefsFile()), linkDefsBefore);
    }
    EXPECT_TRUE(traces().empty());

    // A server that answers clears a Priva Office fault, and only that one.
    writeFile(control, "empty");
    const size_t shown = statusSet().size();
    ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserver"), kFetchAlarms));
    EXPECT_EQ(gateway.faultStatus, kFaultCleared);
    ASSERT_EQ(statusSet().size(), shown + 1);
    EXPECT_EQ(statusSet().back(), "");
    gateway.faultStatus = kFaultReceiver;
    ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserver"), kFetchAlarms));
    EXPECT_EQ(gateway.faultStatus, kFaultReceiver);
    EXPECT_EQ(statusSet().size(), shown + 1);

    // The cap also holds when the server announces the length.
    makeWorker({.maxBody = 100});
    writeFile(control, "normal");
    ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserver"), kFetchAlarms));
    EXPECT_EQ(gateway.faultStatus, kFaultPriva);
    EXPECT_NE(logText().find("failed: the answer is larger than 100 bytes"), std::string::npos);
}

TEST_F(FetchWorkerTest, AlarmsFetchMergesTheFileReadAtEachRequestAndTracesIt) {
    const std::string alarms = dir.file("alarms.xml");
    fs::copy_file(PosimProcess::sample("alarms.xml").toStdString(), alarms);
    ASSERT_TRUE(sim.start(testHost(TestHost::FetchMergesTheFile), {"--alarms", QString::fromStdString(alarms)}))
        << sim.output().toStdString();
    makeWorker();
    gateway.faultStatus = kFaultPriva;

    // Three traces of one fetch share their time stamp; a second boundary between
    // them is possible, so try again then.
    std::map<std::string, std::string> t;
    for (int attempt = 0; attempt < 3; ++attempt) {
        for (const auto& e : fs::directory_iterator(traceDir)) fs::remove(e.path());
        writeFile(statusFile(), kStatusWithTwoAlarms);
        ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserver"), kFetchAlarms));
        t = traces();
        if (t.size() == 3 && t["00"].substr(0, 15) == t["02"].substr(0, 15)) break;
    }
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t["00"].substr(0, 15), t["01"].substr(0, 15));
    EXPECT_EQ(t["01"].substr(0, 15), t["02"].substr(0, 15));
    EXPECT_EQ(readFile(traceDir + "/" + t["00"]), readFile(alarms));
    EXPECT_NE(readFile(traceDir + "/" + t["01"]).find("State=\"A\""), std::string::npos);
    EXPECT_EQ(readFile(traceDir + "/" + t["02"]), readFile(statusFile()));

    // Given the loop's copy the worker saves nothing: "02" waits for the loop's save.
    const std::string fileBefore = readFile(statusFile());
    for (const auto& e : fs::directory_iterator(traceDir)) fs::remove(e.path());
    auto copy = std::make_unique<XmlDocument>();
    ASSERT_TRUE(copy->loadText(kStatusWithTwoAlarms));
    worker->clearFetchDone();
    worker->startFetch(sim.url("/office/alarm/alarmserver").toStdString(), kFetchAlarms, std::move(copy));
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(traces().count("02"), 0u);
    EXPECT_EQ(readFile(statusFile()), fileBefore);
    const std::string merged = worker->takeAlarmStatusText();
    worker->traceSavedAlarmStatus(merged);
    ASSERT_EQ(traces().count("02"), 1u);
    EXPECT_EQ(readFile(traceDir + "/" + traces()["02"]), merged);

    EXPECT_EQ(worker->fetchMessage(), "");
    EXPECT_EQ(gateway.faultStatus, kFaultCleared);
    EXPECT_TRUE(poLines().empty());
    DocumentSlot status;
    openDocument(status, statusFile(), "POAlarmStatus");
    EXPECT_STREQ(alarm(*status, "3").attribute("State").value(), "R");  // gone from the answer
    EXPECT_STREQ(alarm(*status, "3").attribute("start").value(), "20240501T090008");
    EXPECT_STREQ(alarm(*status, "1").attribute("State").value(), "A");
    EXPECT_STREQ(alarm(*status, "5").attribute("location").value(), "Koelcel Belgi\xC3\xAB");

    // Editing the simulator's file resets the alarms at the next fetch; a trace
    // directory that went away does not stop the merge.
    writeFile(alarms, "<?xml version=\"1.0\"?><active-alarms/>");
    fs::remove_all(traceDir);
    ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserver"), kFetchAlarms));
    status.reset();
    openDocument(status, statusFile(), "POAlarmStatus");
    EXPECT_STREQ(alarm(*status, "1").attribute("State").value(), "R");
    EXPECT_STREQ(alarm(*status, "5").attribute("State").value(), "R");
    ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserver"), kFetchAlarms));
    const std::string log = logText();
    EXPECT_NE(log.find("Trace file not written, going on without it"), std::string::npos) << log;
    EXPECT_EQ(log.find("Trace file not written"), log.rfind("Trace file not written"));  // said once
}

TEST_F(FetchWorkerTest, AnAlarmsAnswerThatIsNoAlarmListFailsTheExchangeAndSavesNothing) {
    const std::string control = dir.file("control");
    writeFile(control, "text");
    ASSERT_TRUE(sim.start(testHost(TestHost::FetchNoAlarmList), {"--control", QString::fromStdString(control)}))
        << sim.output().toStdString();
    makeWorker();
    // Another root would otherwise reset both active alarms and report resets that never happened.
    for (const char* mode : {"text", "wrongroot"}) {
        SCOPED_TRACE(mode);
        writeFile(control, mode);
        gateway.faultStatus = kFaultCleared;
        const size_t linesBefore = poLines().size();
        ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserver"), kFetchAlarms));
        EXPECT_EQ(gateway.faultStatus, kFaultPriva);
        EXPECT_EQ(worker->fetchMessage(), kNoData);
        EXPECT_EQ(readFile(statusFile()), kStatusWithTwoAlarms);
        ASSERT_EQ(poLines().size(), linesBefore + 1);
        EXPECT_EQ(poLines().back(), kCommError);
        EXPECT_EQ(statusSet().back(), kCommError);
    }
    EXPECT_NE(logText().find("unusable: active alarms: "), std::string::npos) << logText();
    EXPECT_NE(logText().find("unusable: the answer's root is not active-alarms"), std::string::npos) << logText();
    const auto t = traces();
    ASSERT_EQ(t.count("00"), 1u);  // the answer stays on record for the operator
    EXPECT_EQ(t.count("02"), 0u);

    // A definitions answer that is not XML is only not merged.
    writeFile(control, "text");
    ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserverconfig"), kFetchDefinitions));
    EXPECT_EQ(worker->fetchMessage(), kNoData);
    EXPECT_FALSE(worker->allLinksDefined());
    EXPECT_EQ(readFile(linkDefsFile()), kLinkDefs);
    EXPECT_EQ(readFile(statusFile()), kStatusWithTwoAlarms);  // no clean-up without a merge
}

TEST_F(FetchWorkerTest, DefinitionsFetchAddsLocationsAndRotatesTheLog) {
    const std::string control = dir.file("control");
    ASSERT_TRUE(sim.start(
        testHost(TestHost::FetchDefinitions),
        {"--definitions", PosimProcess::sample("definitions.xml"), "--control", QString::fromStdString(control)}))
        << sim.output().toStdString();
    makeWorker();
    writeFile(dir.file("data/ZAMPO.LOG"), std::string(kLogRotateSize + 1, 'x'));

    ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserverconfig"), kFetchDefinitions));
    EXPECT_EQ(worker->fetchMessage(), "");
    EXPECT_FALSE(worker->allLinksDefined());  // the new locations are not linked yet
    DocumentSlot linkDefs;
    openDocument(linkDefs, linkDefsFile(), "ZamPOLinkDefs");
    pugi::xml_node locations = linkDefs->root().child("PO_Locations");
    EXPECT_EQ(std::distance(locations.begin(), locations.end()), 4);  // Ketelhuis was known
    EXPECT_EQ(std::string(locations.first_child().attribute("zam_alarm").value()), "0012 - 05");
    EXPECT_EQ(readFile(statusFile()), kStatusWithTwoAlarms);  // the loop cleans its own copy
    EXPECT_EQ(fs::file_size(dir.file("data/OLDPO.log")), static_cast<uintmax_t>(kLogRotateSize + 1));
    EXPECT_EQ(fs::file_size(dir.file("data/ZAMPO.LOG")), 0u);

    // Once the operator has linked every location the check passes, and an
    // empty answer leaves that result as it was.
    for (pugi::xml_node loc : locations.children("PO_loc")) loc.attribute("zam_alarm").set_value("0001 - 01");
    ASSERT_TRUE(saveDocument(linkDefs, linkDefsFile()));
    ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserverconfig"), kFetchDefinitions));
    EXPECT_TRUE(worker->allLinksDefined());
    writeFile(control, "empty");
    ASSERT_TRUE(fetch(sim.url("/office/alarm/alarmserverconfig"), kFetchDefinitions));
    EXPECT_EQ(worker->fetchMessage(), kNoData);
    EXPECT_TRUE(worker->allLinksDefined());
}

TEST_F(FetchWorkerTest, AnOperatorSaveDuringTheRequestIsKeptByTheMerge) {
    ASSERT_TRUE(
        sim.start(testHost(TestHost::FetchOperatorSave), {"--definitions", PosimProcess::sample("definitions.xml")}))
        << sim.output().toStdString();
    makeWorker();
    {
        // The operator's read-change-save holds the lock, as the editing code does.
        std::lock_guard lock(linkDefsFileMutex());
        worker->clearFetchDone();
        worker->startFetch(sim.url("/office/alarm/alarmserverconfig").toStdString(), kFetchDefinitions);
        ASSERT_TRUE(sim.waitForOutput("-> 200 OK"));
        std::this_thread::sleep_for(200ms);  // let the worker reach the lock with its answer
        std::string edited = kLinkDefs;
        edited.replace(edited.find("0012 - 05"), 9, "0099 - 01");
        writeFile(linkDefsFile(), edited);
    }
    ASSERT_TRUE(waitDone());
    const std::string merged = readFile(linkDefsFile());
    EXPECT_NE(merged.find("0099 - 01"), std::string::npos) << merged;
    EXPECT_NE(merged.find("Kas 1 verwarming"), std::string::npos) << merged;
}

TEST_F(FetchWorkerTest, OneWorkerAtATimeEndedByItsTimeLimitOrByDestruction) {
    ASSERT_TRUE(sim.start(testHost(TestHost::FetchOneWorkerAtATime), {"--mode", "hang"})) << sim.output().toStdString();
    makeWorker({.alarmsRequest = 1s, .definitionsRequest = 1s});
    worker->startFetch(sim.url("/office/alarm/alarmserver").toStdString(), kFetchAlarms);
    EXPECT_TRUE(worker->workerRunning());
    ASSERT_TRUE(sim.waitForOutput("-> no answer"));
    worker->initPoConnection();  // the running request keeps its own client
    worker->startFetch(sim.url("/office/alarm/alarmserverconfig").toStdString(), kFetchDefinitions);
    ASSERT_TRUE(waitDone());
    ASSERT_TRUE(sim.waitForCount("closed by the client", 1));
    EXPECT_TRUE(worker->fetchTimedOut());  // the loop takes it as its own wait running out
    EXPECT_NE(logText().find("request not started: the previous one is still running"), std::string::npos);
    EXPECT_NE(logText().find("failed: no complete answer within 1 s"), std::string::npos);
    EXPECT_EQ(sim.count(" GET "), 1);
    for (int i = 0; i < 1000 && worker->workerRunning(); ++i) std::this_thread::sleep_for(5ms);
    EXPECT_FALSE(worker->workerRunning());

    // With the normal limits the owner going away cancels the request.
    makeWorker();
    worker->startFetch(sim.url("/office/alarm/alarmserver").toStdString(), kFetchAlarms);
    ASSERT_TRUE(sim.waitForCount(" GET ", 2));
    worker.reset();
    EXPECT_TRUE(sim.waitForCount("closed by the client", 2));
    EXPECT_EQ(readFile(statusFile()), kStatusWithTwoAlarms);
}

}  // namespace
