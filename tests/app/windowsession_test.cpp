#include "app/windowsession.h"
#include "app/listlinebatcher.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <stdexcept>

#include "logic/core/inifile.h"
#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"
#include "support/tempdir.h"
#include "ui/mainwindow.h"

using namespace zampo;
using namespace std::chrono_literals;

namespace {
// A site: program directory with PO.ini and linkdefs.default, data under Zam/Data.
struct Site {
    Site() {
        std::filesystem::create_directories(root.path() + "/Zam/Data");
        test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=" + dataDir() + "\n");
        test::writeFile(prog.file("linkdefs.default"), "<ZamPOLinkDefs><PO_Locations/></ZamPOLinkDefs>");
    }
    ~Site() {
        logWriter().setFileName("");
        resetLangTexts();
    }
    std::string dataDir() const { return root.path() + "/Zam/Data"; }
    std::string poDir() const { return root.path() + "/Zam/PoData"; }
    test::TempDir prog, root, home;
};
}  // namespace

TEST(WindowSession, StartPreparesFilesLogsAndStartsBothMachines) {
    Site site;
    test::writeFile(site.dataDir() + "/ZamLocal.INI", "[PO]\nlanguage=NLD\nWDid=4\n[IP]\nOIPort=9100\n");
    DataPaths paths(site.prog.path(), site.home.path());
    ManualClock clock;
    MainWindow form;
    GatewayRuntime gateway(paths, clock, form);
    WindowSession life(form, gateway);
    life.start();

    EXPECT_TRUE(std::filesystem::is_directory(site.poDir()));
    EXPECT_EQ(iniReadInteger(site.dataDir() + "/ZamLocal.INI", "PO", "Trace", -1), 0);
    EXPECT_EQ(test::readFile(site.poDir() + "/LinkDefs.xml"), "<ZamPOLinkDefs><PO_Locations/></ZamPOLinkDefs>");
    const std::string log = test::readFile(site.dataDir() + "/ZAMPO.LOG");
    EXPECT_NE(log.find("><Main form created, program started: version " + std::string(fileVersion()) + ">\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(form.windowTitle().toStdString(), "ZAM-Pro - Priva Office (" + std::string(fileVersion()) + ") ");
    EXPECT_EQ(form.pages()->tabText(0), "Koppeling instellen");
    EXPECT_EQ(life.runtime().state().watchdogId, 4);
    EXPECT_EQ(life.runtime().settings().zamPort, 9100);
    EXPECT_TRUE(life.runtime().loopSteps().enabled());
    EXPECT_TRUE(life.runtime().socketSteps().enabled());
    EXPECT_EQ(life.runtime().loopSteps().state(), 1u);
    ASSERT_TRUE(life.runtime().linkDefs() && life.runtime().linkDefs()->hasContent());
    EXPECT_TRUE(life.runtime().linkDefs()->root().child("PO_Locations"));
    ASSERT_TRUE(life.runtime().alarmStatus() && life.runtime().alarmStatus()->hasContent());
    EXPECT_STREQ(life.runtime().alarmStatus()->root().name(), "POAlarmStatus");

    // The operator's check boxes reach the gateway's settings at once; the watchdog
    // ID, stepped through 5 and 6, stays 4 on the wire until the next start.
    form.findChild<QCheckBox*>("cbPCU")->setChecked(!gateway.settings().sendPcu);
    form.findChild<QCheckBox*>("cbPunct")->setChecked(!gateway.settings().filterPunct);
    auto* id = form.findChild<QSpinBox*>("spnWatchdogId");
    for (int step : {5, 6, 7}) id->setValue(step);
    EXPECT_EQ(gateway.settings().sendPcu, form.findChild<QCheckBox*>("cbPCU")->isChecked());
    EXPECT_EQ(gateway.settings().filterPunct, form.findChild<QCheckBox*>("cbPunct")->isChecked());
    EXPECT_EQ(gateway.state().watchdogId, 4);
    EXPECT_EQ(gateway.settings().watchdogId, 4);
    EXPECT_EQ(form.editedSettings().watchdogId, 7);  // what the close saves

    // The loop's start (again at state 1 after a failed step) leaves an open window open.
    form.show();
    for (int step = 0; step < 2; ++step) life.runtime().loopSteps().tick();
    life.runtime().loopSteps().setState(1);
    life.runtime().loopSteps().tick();
    EXPECT_TRUE(form.isVisible());
}

TEST(WindowSession, ExistingLinkDefsAreNeverOverwrittenAndTraceMakesItsDirectory) {
    Site site;
    std::filesystem::create_directories(site.poDir());
    test::writeFile(site.poDir() + "/LinkDefs.xml", "<ZamPOLinkDefs><Mine/></ZamPOLinkDefs>");
    test::writeFile(site.dataDir() + "/ZamLocal.INI", "[PO]\nTrace=1\n");
    // Left by saves that a kill cut off, beside a file of the operator's.
    test::writeFile(site.poDir() + "/AlarmStatus.xml.zampo-tmp-k2Xq9Z", "<POAlarm");
    test::writeFile(site.dataDir() + "/ZamLocal.INI.zampo-tmp-Ab12Cd", "[PO");
    test::writeFile(site.poDir() + "/LinkDefs.xml.bak", "mine");
    DataPaths paths(site.prog.path(), site.home.path());
    ManualClock clock;
    MainWindow form;
    GatewayRuntime gateway(paths, clock, form);
    WindowSession life(form, gateway);
    life.start();
    EXPECT_EQ(test::readFile(site.poDir() + "/LinkDefs.xml"), "<ZamPOLinkDefs><Mine/></ZamPOLinkDefs>");
    EXPECT_TRUE(std::filesystem::is_directory(site.poDir() + "/trace"));
    EXPECT_EQ(iniReadInteger(site.dataDir() + "/ZamLocal.INI", "PO", "Trace", -1), 1);
    EXPECT_FALSE(test::fileExists(site.poDir() + "/AlarmStatus.xml.zampo-tmp-k2Xq9Z"));
    EXPECT_FALSE(test::fileExists(site.dataDir() + "/ZamLocal.INI.zampo-tmp-Ab12Cd"));
    EXPECT_EQ(test::readFile(site.poDir() + "/LinkDefs.xml.bak"), "mine");
    EXPECT_NE(test::readFile(site.dataDir() + "/ZAMPO.LOG").find("AlarmStatus.xml.zampo-tmp-k2Xq9Z, left behind"),
              std::string::npos);
}

TEST(WindowSession, AFailedStartUpStepIsLoggedAndBothMachinesStillStart) {
    // Asked for the time while a damaged status file is moved aside, it fails.
    struct FailingClock : Clock {
        bool failing = true;
        TimeMs nowUtc() const override {
            if (failing) throw std::runtime_error("no time to be had");
            return TimeMs{};
        }
    } clock;
    Site site;
    std::filesystem::create_directories(site.poDir());
    test::writeFile(site.poDir() + "/AlarmStatus.xml", "<POAlarmStatus><damaged");
    DataPaths paths(site.prog.path(), site.home.path());
    MainWindow form;
    GatewayRuntime gateway(paths, clock, form);
    WindowSession life(form, gateway);
    EXPECT_NO_THROW(life.start());
    clock.failing = false;
    EXPECT_NE(test::readFile(site.dataDir() + "/ZAMPO.LOG")
                  .find("<Start-up not completed: no time to be had (std::runtime_error); starting anyway>"),
              std::string::npos)
        << test::readFile(site.dataDir() + "/ZAMPO.LOG");
    EXPECT_TRUE(life.runtime().loopSteps().enabled());
    EXPECT_TRUE(life.runtime().socketSteps().enabled());
}

TEST(WindowSession, CloseAsksFirstThenSavesAndEndsWhenTheLoopHasStoppedOrAfterTenSeconds) {
    Site site;
    DataPaths paths(site.prog.path(), site.home.path());
    ManualClock clock{TimeMs{1'700'000'000'000ms}};
    MainWindow form;
    GatewayRuntime gateway(paths, clock, form);
    WindowSession life(form, gateway);
    int terminations = 0;
    life.terminate = [&] { ++terminations; };
    std::string asked;
    bool answer = false;
    life.confirm = [&](const std::string& title, const std::string& text) {
        asked = title + "|" + text;
        return answer;
    };
    life.start();
    const std::string ini = site.dataDir() + "/ZamLocal.INI";

    form.close();  // No: nothing changes
    EXPECT_EQ(asked, "Warning|Priva Office alarms will no longer be sent to ZAM-Pro!\nDo you really want to exit?");
    EXPECT_FALSE(life.runtime().state().closingRequest);
    EXPECT_FALSE(gateway.stopping());
    EXPECT_EQ(iniReadString(ini, "IP", "address", "none"), "none");

    answer = true;
    form.close();
    EXPECT_EQ(iniReadString(ini, "IP", "address", "none"), "127.0.0.1");  // saved before anything stops
    EXPECT_TRUE(life.runtime().state().closingRequest);
    EXPECT_TRUE(gateway.stopping());
    gateway.checkStopped();
    EXPECT_EQ(terminations, 0);
    clock.advance(9999ms);
    gateway.checkStopped();
    EXPECT_EQ(terminations, 0);
    clock.advance(1ms);
    gateway.checkStopped();
    EXPECT_EQ(terminations, 1);
    EXPECT_NE(test::readFile(site.dataDir() + "/ZAMPO.LOG").find("<Start closing application>"), std::string::npos);
}

TEST(WindowSession, ClosingWhileIdleEndsAfterStateSixteen) {
    Site site;
    DataPaths paths(site.prog.path(), site.home.path());
    ManualClock clock{TimeMs{1'700'000'000'000ms}};
    MainWindow form;
    GatewayRuntime gateway(paths, clock, form);
    WindowSession life(form, gateway);
    int terminations = 0;
    life.terminate = [&] { ++terminations; };
    life.confirm = [](const std::string&, const std::string&) { return true; };
    life.start();
    auto& m = life.runtime().loopSteps();
    for (int i = 0; i < 3; ++i) m.tick();  // start, init, wait
    form.close();
    m.tick();  // state 3 sees the request
    m.tick();  // state 16
    EXPECT_TRUE(life.runtime().state().mainLoopFinished);
    gateway.checkStopped();
    EXPECT_EQ(terminations, 1);
}

TEST(WindowSession, EditorBesideTheServiceShowsTheDocumentsRunsNoMachineAndClosesWithoutAsking) {
    Site site;
    std::filesystem::create_directories(site.poDir());
    test::writeFile(site.poDir() + "/LinkDefs.xml", "<ZamPOLinkDefs><PO_Locations/></ZamPOLinkDefs>");
    test::writeFile(site.dataDir() + "/ZamLocal.INI", "[PO]\nlanguage=NLD\n[Metrics]\nport=19465\n");
    DataPaths paths(site.prog.path(), site.home.path());
    ManualClock clock;
    MainWindow form;
    GatewayRuntime gateway(paths, clock, form);
    WindowSession life(form, gateway);
    bool asked = false, ended = false;
    life.confirm = [&](const std::string&, const std::string&) { return asked = true; };
    life.terminate = [&] { ended = true; };
    life.startAsEditor();

    EXPECT_EQ(form.findChild<QLabel*>("sBarText")->text(), "Bewerken: de service stuurt de alarmen door");
    EXPECT_FALSE(gateway.loopSteps().enabled());
    EXPECT_FALSE(gateway.socketSteps().enabled());
    EXPECT_FALSE(gateway.metrics().listening());
    EXPECT_FALSE(form.findChild<QWidget*>("SendButton")->isEnabled());
    EXPECT_FALSE(form.findChild<QWidget*>("tbRefresh")->isEnabled());
    ASSERT_TRUE(gateway.linkDefs() && gateway.linkDefs()->hasContent());
    life.askToClose();
    EXPECT_FALSE(asked);
    EXPECT_TRUE(ended);
}

TEST(WindowSession, ListLinesAreShownInBatchesOfTheNewestInOrder) {
    std::vector<std::pair<int, QStringList>> shown;
    ListLineBatcher batcher([&](int channel, const QStringList& lines) { shown.emplace_back(channel, lines); });
    for (int i = 0; i < ListLineBatcher::kMaxBatchLines + 5; ++i) batcher.add(2, "po " + std::to_string(i));
    batcher.add(1, "send");
    EXPECT_TRUE(shown.empty());  // a batch waits for its moment
    batcher.flush();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].first, 1);
    EXPECT_EQ(shown[0].second, QStringList{"send"});
    EXPECT_EQ(shown[1].first, 2);
    ASSERT_EQ(shown[1].second.size(), ListLineBatcher::kMaxBatchLines + 1);
    EXPECT_TRUE(shown[1].second.front().startsWith("(5 lines not shown"));
    EXPECT_EQ(shown[1].second[1], "po 5");
    EXPECT_EQ(shown[1].second.back(), QString("po %1").arg(ListLineBatcher::kMaxBatchLines + 4));
    batcher.flush();
    EXPECT_EQ(shown.size(), 2u);
}
