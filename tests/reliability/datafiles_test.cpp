// The data files under faults: damaged at start-up, a directory that cannot be
// written, a disk that fills up. No file is torn or overwritten with less than it
// held, and every alarm is forwarded once the disk takes writes again.
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "gatewayfixture.h"
#include "logic/alarmstatus/alarmstatusfile.h"
#include "logic/linkconfig/linkdefslock.h"
#include "logic/xml/xmlstore.h"
#include "runtime/mainloop.h"
#include "support/loopback.h"
#include "support/posimprocess.h"
#include "support/testhosts.h"

using namespace zampo;
using namespace zampo::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

TEST_F(GatewayTest, DamagedStatusFileIsMovedAsideAndEveryActiveAlarmReportedFromAFreshOne) {
    writeSiteDefinitions();
    const std::string damaged = "<POAlarmStatus><Alarm pcu=\"PCU1\" location=\"Ka";
    writeDataFile("AlarmStatus.xml", damaged);
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::DataFilesDamagedStatus)));

    EXPECT_EQ(readDataFile("AlarmStatus.xml.damaged-20240501T100000"), damaged);
    const std::string log = logText();
    EXPECT_NE(log.find("<AlarmStatus.xml was damaged ("), std::string::npos) << log;
    EXPECT_NE(log.find("); moved to AlarmStatus.xml.damaged-20240501T100000, started afresh>"), std::string::npos);

    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{kRaiseA});
    XmlDocument fresh;
    EXPECT_TRUE(fresh.loadFile(poDir + "/AlarmStatus.xml"));
    EXPECT_EQ(window.statusText, "Application running");

    // Damaged again under the running gateway: moved aside, and forwarding goes on
    // from the gateway's own copy, the new alarm raised, the old one not again.
    writeDataFile("AlarmStatus.xml", damaged);
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s) +
                    activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 15s));
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{kRaiseB});
    EXPECT_EQ(readDataFile("AlarmStatus.xml.damaged-20240501T100020"), damaged);
    EXPECT_NE(
        logText().find("moved to AlarmStatus.xml.damaged-20240501T100020, written anew from the gateway's own copy"),
        std::string::npos)
        << logText();
    EXPECT_TRUE(fresh.loadFile(poDir + "/AlarmStatus.xml"));
    EXPECT_EQ(std::distance(fresh.root().children("Alarm").begin(), fresh.root().children("Alarm").end()), 2);
}

TEST_F(GatewayTest, DamagedDefinitionFilesAreNeverOverwrittenAndTheOperatorIsTold) {
    const std::string zamDefs = "<ZamAlarmDefinitions><Location Code=\"12\"><Alarm Code=\"3\"/>";
    const std::string linkDefs = "<ZamPOLinkDefs><PO_Locations><PO_loc pcu=\"PCU1\" text=\"Kas4\" zam_al";
    writeDataFile("ZamDefs.xml", zamDefs);
    writeDataFile("LinkDefs.xml", linkDefs);
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::DataFilesDamagedDefinitions), "ok",
                                  {"--definitions", PosimProcess::sample("definitions.xml")}));
    EXPECT_EQ(window.statusText, "ZamDefs.xml is damaged; LinkDefs.xml is damaged");

    advance(10s);
    gateway->state().refreshRequest = true;  // a definitions merge would save LinkDefs.xml
    moveClock(10s);
    advance(10s);
    // The alarm cannot be linked: it is reported as a configuration fault at its poll
    // and again after the definitions fetch, never dropped silently.
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines(2, kConfigError));
    EXPECT_EQ(readDataFile("ZamDefs.xml"), zamDefs);
    EXPECT_EQ(readDataFile("LinkDefs.xml"), linkDefs);
    EXPECT_EQ(window.statusText, "ZamDefs.xml is damaged; LinkDefs.xml is damaged");
    const std::string log = logText();
    EXPECT_NE(log.find("<LinkDefs.xml is damaged and was not loaded ("), std::string::npos) << log;
    EXPECT_NE(log.find("<ZamDefs.xml is damaged and was not loaded ("), std::string::npos);
    EXPECT_NE(log.find("Priva Office definitions not merged"), std::string::npos);
}

// Definitions of the site's own locations only: a merge adds nothing unlinked.
std::string siteDefinitionsAnswer(const TempDir& dir) {
    const std::string file = dir.path() + "/definitions.xml";
    writeFile(file, R"(<alarmserverconfig><alarmlocations><alarmlocation pcu="PCU1" text="Kas4"/>
        <alarmlocation pcu="PCU1" text="Kas5"/></alarmlocations>
        <alarmtypes><alarmtype nr="1" text="Temp hoog"/></alarmtypes></alarmserverconfig>)");
    return file;
}

const std::string kResetA = "[ZAM RCVALARM 02,0012,03,R,,PCU1 Kas4 Temp hoog]";

TEST_F(GatewayTest, LinkDefinitionsThatCannotBeReadNeverReplaceTheCopyInUse) {
    writeSiteDefinitions();
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::DataFilesUnreadableLinks), "ok",
                                  {"--definitions", QString::fromStdString(siteDefinitionsAnswer(dir))}));
    gateway->watchDefinitionFiles();
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{kRaiseA});

    // Damaged on disk before the definitions merge 300 s after the start.
    const std::string links = readDataFile("LinkDefs.xml");
    const std::string cut = links.substr(0, links.size() / 2);
    writeDataFile("LinkDefs.xml", cut);
    advance(280s);
    EXPECT_NE(logText().find("<LinkDefs.xml (changed on disk) is damaged ("), std::string::npos) << logText();
    advance(10s);
    EXPECT_EQ(posim.count("GET /office/alarm/alarmserverconfig"), 1);
    EXPECT_TRUE(poListHas("Definitions from Priva Office not merged; the links in use stay")) << logText();
    EXPECT_FALSE(poListHas("Definitions collected from Priva Office"));

    // The reported alarm resets and another is raised: each once, with its link.
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 295s));
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), (Lines{kResetA, kRaiseB}));
    EXPECT_EQ(readDataFile("LinkDefs.xml"), cut);

    // Gone altogether: not made afresh with every link empty, and the links stay.
    std::filesystem::remove(poDir + "/LinkDefs.xml");
    gateway->state().refreshRequest = true;
    moveClock(1s);
    EXPECT_EQ(posim.count("GET /office/alarm/alarmserverconfig"), 2);
    EXPECT_FALSE(std::filesystem::exists(poDir + "/LinkDefs.xml"));
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 295s) +
                    activeAlarm("PCU1", "Kas4", "4", "CO2 laag", 305s));
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{"[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 CO2 laag]"});
}

TEST_F(GatewayTest, AReloadWaitsForTheSaveInFlightAndNeverReadsTheFileBack) {
    writeSiteDefinitions();
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::DataFilesReloadDuringSave), "ok",
                                  {"--definitions", QString::fromStdString(siteDefinitionsAnswer(dir))}));
    writeFile(paths->settingsFile(), "[IP]\naddress=127.0.0.1\nOIPort=" + std::to_string(zamsim.port()) +
                                         "\n[PO]\naddress=" + testHostAddress(TestHost::DataFilesReloadDuringSave) +
                                         "\nWDid=5\n");
    // A slow disk, so that the SIGHUP can come between the save's snapshot and its rename.
    gateway->mainLoop().setStatusWriter([](const AlarmStatusFile::Snapshot& snapshot) {
        std::this_thread::sleep_for(300ms);
        return AlarmStatusFile::write(snapshot);
    });
    clock.advance(10s);
    const MainLoop& loop = gateway->mainLoop();
    ASSERT_TRUE(waitUntil(
        [&] {
            return receiverListCount("Recv: OK") == 1 &&
                   gateway->loopSteps().stateAs<MainLoop::State>() == MainLoop::State::Wait &&
                   !loop.statusFile().unsaved() && loop.savePending();
        },
        20000))
        << logText();
    gateway->requestReload();
    ASSERT_TRUE(waitUntil([&] { return settled() && !gateway->reloadPending(); }, 20000));
    EXPECT_EQ(newWireLines(), Lines{kRaiseA});
    EXPECT_NE(logText().find("Reload: "), std::string::npos);
    EXPECT_EQ(logText().find("AlarmStatus.xml read again"), std::string::npos) << logText();
    // Not raised again: the copy kept its Sent, the file got it.
    advance(10s);
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{});
    EXPECT_NE(readDataFile("AlarmStatus.xml").find("Sent=\"" + stamp(5s) + "\""), std::string::npos);
    // The watchdog ID of the settings read at the reload.
    advance(30s);
    EXPECT_EQ(newWireLines(), Lines{"[ZAM WD 09 5]"});
}

// A tmpfs of its own over the PO data directory, taken away again at the end.
class DiskFaultTest : public GatewayTest {
protected:
    bool mountSmallDisk() {
        fs::create_directories(poDir);
        mounted_ = ::mount("tmpfs", poDir.c_str(), "tmpfs", 0, "size=64k") == 0;
        return mounted_;
    }
    bool remount(bool readOnly) {
        const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
        return ::mount("tmpfs", poDir.c_str(), "tmpfs", flags, "size=64k") == 0;
    }
    // Fills the disk to its last byte.
    void fill() {
        std::ofstream out(poDir + "/filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (out.write(block.data(), static_cast<std::streamsize>(block.size())) && out.flush()) {
        }
        out.close();
        for (std::size_t n = 512; n > 0; n /= 2) {  // the last partial block
            std::ofstream more(poDir + "/filler", std::ios::binary | std::ios::app);
            more.write(block.data(), static_cast<std::streamsize>(n));
        }
    }
    void TearDown() override {
        stopGateway();
        if (mounted_) ::umount2(poDir.c_str(), MNT_DETACH);
        GatewayTest::TearDown();
    }

private:
    bool mounted_ = false;
};

TEST_F(DiskFaultTest, FullOrReadOnlyDiskFailsSavesCleanlyAndAlarmsGoOutOnceItTakesWritesAgain) {
    if (!mountSmallDisk()) GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    writeSiteDefinitions();
    const std::string a = activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s);
    setActiveAlarms(a);
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::DataFilesFullDisk)));
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{kRaiseA});
    const std::string status = readDataFile("AlarmStatus.xml");
    const std::string links = readDataFile("LinkDefs.xml");

    setActiveAlarms(a + activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 15s));
    fill();
    const auto count = [&](const std::string& text) {
        const std::string log = logText();
        std::size_t n = 0;
        for (auto p = log.find(text); p != std::string::npos; p = log.find(text, p + 1)) ++n;
        return n;
    };
    // Forwarding goes on from memory, each raise once; the failure is said once.
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{kRaiseB});
    gateway->state().refreshRequest = true;
    moveClock(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{});
    EXPECT_EQ(readDataFile("AlarmStatus.xml"), status);
    EXPECT_EQ(readDataFile("LinkDefs.xml"), links);
    EXPECT_EQ(count("<AlarmStatus.xml not saved: "), 1u) << logText();
    EXPECT_EQ(count("<Error writing status>"), 1u);
    EXPECT_EQ(window.statusText, "Error writing status");

    fs::remove(poDir + "/filler");
    ASSERT_TRUE(remount(true));
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{});
    EXPECT_EQ(readDataFile("AlarmStatus.xml"), status);
    EXPECT_EQ(count("<Error writing status>"), 1u);

    // Writable again: the file catches up at the next poll, and nothing goes out twice.
    ASSERT_TRUE(remount(false));
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{});
    EXPECT_EQ(count("<AlarmStatus.xml written again>"), 1u) << logText();
    EXPECT_EQ(window.statusText, "Application running");
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{});
    EXPECT_NE(readDataFile("AlarmStatus.xml").find("Sent=\"" + stamp(15s) + "\""), std::string::npos)
        << readDataFile("AlarmStatus.xml");
    XmlDocument saved;
    EXPECT_TRUE(saved.loadFile(poDir + "/AlarmStatus.xml"));
    for (const auto& e : fs::directory_iterator(poDir)) {
        if (e.path().filename() == kDefinitionsLockName) continue;  // kept on purpose, empty
        EXPECT_EQ(e.path().extension(), ".xml") << "left behind: " << e.path();
    }
}

}  // namespace
