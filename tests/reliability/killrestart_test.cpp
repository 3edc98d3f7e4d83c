// The real window-less zampo-gateway killed with SIGKILL at random moments of an alarm storm
// and started again: every alarm is reported, none recorded as reported before a
// kill is raised again after it, every reset follows its raise, ZamMeld going away
// during the storm loses nothing, and every data file still parses. An alarm that
// ZamMeld accepted in the moment before its record was saved may come twice. It runs in real
// time (10-second polls); ZAMPO_SOAK_KILLS sets the kills per storm (default 2),
// which scripts/soak raises.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "logic/xml/xmlstore.h"
#include "support/loopback.h"
#include "support/posimprocess.h"
#include "support/tempdir.h"
#include "support/testhosts.h"
#include "support/zamsimprocess.h"

using namespace zampo;
using namespace zampo::test;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

constexpr int kStorm = 200;

std::string raiseLine(int nr, char state) {
    return std::string("[ZAM RCVALARM 02,0012,03,") + state + ",,PCU1 Kas4 Storm " + std::to_string(nr) + "]";
}

class KillRestartTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* kills = std::getenv("ZAMPO_SOAK_KILLS");
        killsPerStorm = kills && std::atoi(kills) > 0 ? std::atoi(kills) : 2;
        std::random_device seed;
        rng.seed(seed());
        fs::copy_file(ZAMPO_GATEWAY_BINARY, prog.file("zampo-gateway"));
        dataDir = data.path() + "/zam/data";
        poDir = data.path() + "/zam/PoData";
        fs::create_directories(dataDir);
        fs::create_directories(poDir);
        writeFile(prog.file("PO.ini"), "[Application]\ndatapath=" + dataDir + "\n");
        writeFile(prog.file("linkdefs.default"), "<ZamPOLinkDefs/>");
        writeFile(poDir + "/ZamDefs.xml",
                  R"(<ZamAlarmDefinitions><Location Code="12"><Alarm Code="3"/></Location></ZamAlarmDefinitions>)");
        writeFile(poDir + "/LinkDefs.xml", R"(<ZamPOLinkDefs><PO_Locations>
            <PO_loc pcu="PCU1" text="Kas4" zam_alarm="0012 - 03"/></PO_Locations></ZamPOLinkDefs>)");
        alarmsFile = data.path() + "/active-alarms.xml";
        setActive(0, 0);
        ASSERT_TRUE(zamsim.start("ok")) << zamsim.output().toStdString();
        ASSERT_TRUE(posim.start(kPoAddress, {"--alarms", QString::fromStdString(alarmsFile)}))
            << posim.output().toStdString();
        writeFile(dataDir + "/ZamLocal.INI", "[IP]\naddress=127.0.0.1\nOIPort=" + std::to_string(zamsim.port()) +
                                                 "\n[PO]\naddress=" + kPoAddress.toStdString() + "\nWDid=1\n");
    }
    void TearDown() override {
        if (gateway) {
            gateway->terminate();
            if (!gateway->waitForFinished(15000)) gateway->kill();
            gateway->waitForFinished(5000);
        }
    }

    // Alarms first..last (inclusive) active at Priva Office from its next answer on.
    void setActive(int first, int last) {
        std::string xml = "<active-alarms>";
        for (int nr = first; nr <= last && first > 0; ++nr)
            xml += "<alarm pcu=\"PCU1\" location=\"Kas4\" nr=\"" + std::to_string(nr) + "\" text=\"Storm " +
                   std::to_string(nr) + "\" start=\"20240501T10" + (nr % 2 ? "0000" : "0500") + "\"/>";
        writeFile(alarmsFile, xml + "</active-alarms>");
    }
    void startGateway() {
        gateway = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
        env.insert("HOME", QString::fromStdString(data.path()));
        gateway->setProcessEnvironment(env);
        gateway->start(QString::fromStdString(prog.file("zampo-gateway")), {});
        ASSERT_TRUE(gateway->waitForStarted(10000));
        ++starts;
    }
    // SIGKILL, then what the gateway had recorded as reported, and whether every file parses.
    void killGateway() {
        const QDateTime killedAt = QDateTime::currentDateTime();
        gateway->kill();
        ASSERT_TRUE(gateway->waitForFinished(10000));
        gateway.reset();
        ++kills;
        // Lines the gateway wrote before it died may still be on their way through the
        // simulator's output; count them before deciding what it had recorded.
        for (size_t seen = zamsim.received().size();;) {
            QTest::qWait(300);
            const size_t now = zamsim.received().size();
            if (now == seen) break;
            seen = now;
        }
        checkFiles();
        // Alarms whose raise the file records as reported. Before the first save
        // (it is written beside the loop) there is no file and none is recorded.
        std::set<int> inFile;
        XmlDocument status;
        if (fs::exists(poDir + "/AlarmStatus.xml")) {
            ASSERT_TRUE(status.loadFile(poDir + "/AlarmStatus.xml"));
            for (pugi::xml_node a : status.root().children("Alarm"))
                if (*a.attribute("Sent").value()) inFile.insert(a.attribute("nr").as_int());
        }
        // What the receiver had got by then: nothing of it may come again.
        const std::map<std::string, int> counts = wireCounts();
        for (pugi::xml_node a : status.root().children("Alarm")) {
            const std::string start = a.attribute("start").value();
            const int nr = a.attribute("nr").as_int();
            if (a.attribute("State").value() == std::string("A") && start == a.attribute("Sent").value() &&
                !recordedRaised.contains(nr)) {
                const auto it = counts.find(raiseLine(nr, 'T'));
                recordedRaised[nr] = it == counts.end() ? 0 : it->second;
            }
        }
        // Raises ZamMeld had that the file did not say yet: these may come again.
        // How long before the kill they were accepted bounds what saves leave open.
        for (const auto& [line, at] : firstReceived()) {
            const auto nr = line.rfind(" Storm ");
            if (line.find(",T,") == std::string::npos || nr == std::string::npos) continue;
            if ((previousKill.isValid() && at < previousKill) || inFile.contains(std::atoi(line.c_str() + nr + 7)))
                continue;
            if (unrecorded.insert(line).second) latestUnrecordedMs = std::max(latestUnrecordedMs, at.msecsTo(killedAt));
        }
        previousKill = killedAt;
    }
    // When ZamMeld first got each line, as the simulator stamped it.
    std::map<std::string, QDateTime> firstReceived() {
        std::map<std::string, QDateTime> at;
        for (const QString& l : QString::fromUtf8(zamsim.output()).split('\n'))
            if (l.mid(23, 4) == " <- ")
                at.emplace(l.mid(27).toStdString(), QDateTime::fromString(l.left(23), "yyyy-MM-dd HH:mm:ss.zzz"));
        return at;
    }
    void checkFiles() {
        for (const char* name : {"AlarmStatus.xml", "LinkDefs.xml", "ZamDefs.xml"}) {
            if (!fs::exists(poDir + "/" + name)) continue;
            XmlDocument doc;
            std::string error;
            EXPECT_TRUE(doc.loadFile(poDir + "/" + name, &error)) << name << ": " << error;
            ++filesChecked;
        }
    }
    std::map<std::string, int> wireCounts() {
        std::map<std::string, int> counts;
        for (const std::string& line : zamsim.received()) ++counts[line];
        return counts;
    }
    int reportedRaises() {
        int n = 0;
        for (const std::string& line : zamsim.received())
            if (line.find(",T,,PCU1 Kas4 Storm ") != std::string::npos) ++n;
        return n;
    }
    // Kills after a random number of further raises reached the receiver, or at a
    // random moment around the next poll when none come.
    void killDuringStorm() {
        const int target = reportedRaises() + std::uniform_int_distribution<int>(1, 60)(rng);
        const int latestMs = std::uniform_int_distribution<int>(9000, 25000)(rng);
        waitUntil([&] { return reportedRaises() >= target; }, latestMs);
        killGateway();
    }
    bool allReported(int first, int last, char state) {
        const std::map<std::string, int> counts = wireCounts();
        for (int nr = first; nr <= last; ++nr)
            if (!counts.contains(raiseLine(nr, state))) return false;
        return true;
    }

    const QString kPoAddress = testHost(TestHost::KillRestart);
    TempDir prog, data, runtime;
    std::string dataDir, poDir, alarmsFile;
    ZamsimProcess zamsim;
    PosimProcess posim;
    std::unique_ptr<QProcess> gateway;
    std::mt19937 rng;
    int killsPerStorm = 2;
    int starts = 0, kills = 0, filesChecked = 0;
    // Alarm number -> its raises on the wire when a kill found it recorded as reported.
    std::map<int, int> recordedRaised;
    std::set<std::string> unrecorded;  // raises accepted but not yet in the file at a kill
    qint64 latestUnrecordedMs = 0;     // the longest such a raise waited for its save
    QDateTime previousKill;
};

TEST_F(KillRestartTest, KilledDuringAlarmStormsLosesNoAlarmAndRepeatsNoneItHadRecorded) {
    // A storm of raises, then half of them reset while as many new ones come.
    setActive(1, kStorm);
    for (int k = 0; k < killsPerStorm && !HasFatalFailure(); ++k) {
        ASSERT_NO_FATAL_FAILURE(startGateway());
        killDuringStorm();
    }
    ASSERT_NO_FATAL_FAILURE(startGateway());
    ASSERT_TRUE(waitUntil([&] { return allReported(1, kStorm, 'T'); }, 90000)) << zamsim.output().toStdString();

    // The second storm meets ZamMeld away: the first kill falls in the outage, and a
    // second outage comes without a kill.
    setActive(kStorm / 2 + 1, kStorm + kStorm / 2);
    for (int k = 0; k < killsPerStorm && !HasFatalFailure(); ++k) {
        if (k == 0) {
            ASSERT_TRUE(zamsim.goDown()) << zamsim.output().toStdString();
        }
        killDuringStorm();
        if (k == 0) {
            ASSERT_TRUE(zamsim.comeBack()) << zamsim.output().toStdString();
        }
        ASSERT_NO_FATAL_FAILURE(startGateway());
    }
    ASSERT_TRUE(zamsim.goDown()) << zamsim.output().toStdString();
    QTest::qWait(std::uniform_int_distribution<int>(3000, 15000)(rng));
    ASSERT_TRUE(zamsim.comeBack()) << zamsim.output().toStdString();
    // Back within a watchdog period and a poll.
    ASSERT_TRUE(waitUntil(
        [&] { return allReported(kStorm + 1, kStorm + kStorm / 2, 'T') && allReported(1, kStorm / 2, 'R'); }, 150000))
        << zamsim.output().toStdString();
    gateway->terminate();
    ASSERT_TRUE(gateway->waitForFinished(15000));
    gateway.reset();
    checkFiles();

    const std::map<std::string, int> counts = wireCounts();
    int raised = 0, duplicates = 0, reported = 0, repeatedAfterRecord = 0;
    for (int nr = 1; nr <= kStorm + kStorm / 2; ++nr) {
        ++raised;
        const auto it = counts.find(raiseLine(nr, 'T'));
        const int n = it == counts.end() ? 0 : it->second;
        EXPECT_GE(n, 1) << "never reported: " << nr;
        if (n >= 1) ++reported;
        duplicates += std::max(0, n - 1);
        if (const auto rec = recordedRaised.find(nr); rec != recordedRaised.end()) {
            EXPECT_EQ(n, rec->second) << "recorded as reported before a kill, raised again after it: " << nr;
            if (n != rec->second) ++repeatedAfterRecord;
        }
    }
    const Lines wire = zamsim.received();
    const auto firstAt = [&](const std::string& line) { return std::find(wire.begin(), wire.end(), line); };
    for (int nr = 1; nr <= kStorm / 2; ++nr) {
        EXPECT_GE(counts.count(raiseLine(nr, 'R')), 1u) << "reset lost: " << nr;
        EXPECT_LT(firstAt(raiseLine(nr, 'T')), firstAt(raiseLine(nr, 'R'))) << "reset before its raise: " << nr;
    }
    // The figures of the run, for the record.
    std::printf(
        "kill-restart: starts %d, kills %d, alarms raised %d, reported %d, duplicates %d "
        "(%d of %zu recorded before a kill raised again after it), resets %d, files checked %d; "
        "%zu raises accepted but not in the file at a kill, the oldest accepted %lld ms before it\n",
        starts, kills, raised, reported, duplicates, repeatedAfterRecord, recordedRaised.size(), kStorm / 2,
        filesChecked, unrecorded.size(), static_cast<long long>(latestUnrecordedMs));
}

}  // namespace
