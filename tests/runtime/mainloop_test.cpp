#include "runtime/mainloop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>

#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"
#include "runtime/poexchangemonitor.h"
#include "runtime/socketmachine.h"
#include "support/headlesswindow.h"
#include "support/loopback.h"
#include "support/tempdir.h"

using namespace zampo;
using namespace std::chrono_literals;

namespace {

const std::string kSys8Raise = "[ZAM RCVALARM 02,9999,8,A]", kSys8Reset = "[ZAM RCVALARM 02,9999,8,R]",
                  kSys9 = "[ZAM RCVALARM 02,9999,9,A]";

// Stands in for the fetch worker: each request ends as the test says, and the
// files it leaves are written by the test.
struct TestFetch : FetchPort {
    void initPoConnection() override { ++inits; }
    void startFetch(const std::string& url, FetchKind kind, DocumentSlot) override {
        if (throwOnStart) throw std::runtime_error("no worker");
        urls.push_back(url);
        lastKind = kind;
        if (onFetch) onFetch(kind);
    }
    // The test writes what the worker would have merged into AlarmStatus.xml.
    DocumentSlot takeAlarmStatus() override {
        if (lastKind != kFetchAlarms || !statusDir) return {};
        DocumentSlot merged;
        openDataFile(merged, *statusDir, kAlarmStatusFile);
        return merged;
    }
    bool fetchTimedOut() const override { return timedOut; }
    void clearFetchDone() override { done = timedOut = false; }
    bool fetchDone() const override { return done; }
    std::string fetchMessage() const override {
        if (throwOnMessage) throw std::runtime_error("bad message");
        return message;
    }
    bool allLinksDefined() const override { return linksDefined; }
    bool workerRunning() const override { return running; }
    // What was traced, beside the file as it stood then.
    void traceSavedAlarmStatus(const std::string& text) override {
        tracedSaves.push_back({text, statusDir ? test::readFile(*statusDir + "/AlarmStatus.xml") : ""});
    }

    std::function<void(FetchKind kind)> onFetch;
    std::vector<std::pair<std::string, std::string>> tracedSaves;
    std::vector<std::string> urls;
    int inits = 0;
    FetchKind lastKind{};
    const std::string* statusDir = nullptr;
    bool done = false, timedOut = false, linksDefined = true, running = false, throwOnStart = false,
         throwOnMessage = false;
    std::string message;
};

struct LoopFixture : ::testing::Test {
    LoopFixture() {
        logWriter().setFileName(dir.file("ZAMPO.LOG"));
        logWriter().setListSink([this](int channel, const std::string& line) {
            (channel == kLogReceiverList ? receiverList : poList).push_back(line.substr(line.find(' ') + 1));
        });
        loadLangTexts("ENG");
        EXPECT_TRUE(zam.listen());
        receiver = std::make_unique<SocketMachine>(socketSteps, "127.0.0.1", zam.port(), window, gs);
        monitor = std::make_unique<PoExchangeMonitor>(clock, *receiver);
        socketSteps.setInterval(10);
        socketSteps.setState(1);
        socketSteps.setEnabled(true);
        settings.poHost = " po.example ";
        test::writeFile(poDir + "/ZamDefs.xml", R"(<ZamAlarmDefinitions><Location Code="12"><Alarm Code="3"/>
            </Location></ZamAlarmDefinitions>)");
        test::writeFile(poDir + "/LinkDefs.xml", R"(<ZamPOLinkDefs><PO_Locations>
            <PO_loc pcu="PCU1" text="Kas4" zam_alarm="0012 - 03"/></PO_Locations></ZamPOLinkDefs>)");
        openDataFile(zamDefs, poDir, kZamDefsFile);
        openDataFile(linkDefs, poDir, kLinkDefsFile);
        openDataFile(alarmStatus, poDir, kAlarmStatusFile);
        loop = std::make_unique<MainLoop>(MainLoopDeps{gs, clock, window, *receiver, *monitor, fetch, paths, settings,
                                                       zamDefs, linkDefs, alarmStatus});
        machine.setStepHandler([this](StepTimer& m) { loop->step(m); });
        machine.setState(1);
        fetch.onFetch = [this](int) { succeed(); };
        fetch.statusDir = &poDir;
    }
    ~LoopFixture() override {
        socketSteps.setEnabled(false);
        receiver.reset();
        logWriter().setListSink({});
        logWriter().setFileName("");
        resetLangTexts();
    }

    void succeed() {
        int expected = kFaultPriva;
        gs.faultStatus.compare_exchange_strong(expected, kFaultCleared);
        fetch.done = true;
    }
    void fail() {
        gs.faultStatus = kFaultPriva;
        fetch.done = true;
    }
    int sends() const {
        return static_cast<int>(std::count_if(receiverList.begin(), receiverList.end(),
                                              [](const std::string& l) { return l.starts_with("Send: "); }));
    }
    // Every line ZamMeld got, once all that was queued has arrived.
    std::vector<std::string> lines() {
        EXPECT_TRUE(test::waitUntil([&] { return zam.linesReceived() == sends(); }));
        std::vector<std::string> out;
        for (int c = 0; c < zam.connections(); ++c)
            for (const QByteArray& l : zam.received(c).split('\r'))
                if (!l.isEmpty()) out.push_back(l.toStdString());
        return out;
    }
    int count(const std::string& line) {
        const auto all = lines();
        return static_cast<int>(std::count(all.begin(), all.end(), line));
    }
    bool poListHas(const std::string& line) const {
        return std::find(poList.begin(), poList.end(), line) != poList.end();
    }

    // One step of the loop. A message the loop waits for is answered from replies
    // ("OK" when none is left; an empty one lets 10 seconds pass in silence).
    void step() {
        machine.tick();
        machine.setEnabled(false);  // only the test ticks this machine
        const auto s = machine.stateAs<MainLoop::State>();
        if ((s != MainLoop::State::CheckResponse && s != MainLoop::State::WaitWatchdog) || sends() == answered) return;
        // Lines nobody waits for (system alarms) are answered first: answers come in order.
        QByteArray before;
        for (int i = answered + 1; i < sends(); ++i) before += "OK\r";
        answered = sends();
        lines();
        const std::string reply = replies.empty() ? "OK" : replies.front();
        if (!replies.empty()) replies.pop_front();
        if (reply.empty()) {
            if (!before.isEmpty()) zam.reply(before);
            machine.tick();  // the loop sees the line written: its answer wait starts
            machine.setEnabled(false);
            clock.advance(10s);
            return;
        }
        zam.reply(before + QByteArray::fromStdString(reply + "\r"));
        EXPECT_TRUE(test::waitUntil([&] { return receiver->replyReceived(); }));
    }
    void steps(int n) {
        for (int i = 0; i < n; ++i) step();
    }
    // Steps until the loop is back waiting in state 3.
    void runToWait() {
        for (int i = 0; i < 1000; ++i) {
            step();
            if (machine.stateAs<MainLoop::State>() == MainLoop::State::Wait) return;
        }
        ADD_FAILURE() << "the loop does not return to state 3";
    }
    void poll() {
        clock.advance(10s);
        runToWait();
    }

    test::TempDir dir;
    bool zamDir = std::filesystem::create_directory(dir.path() + "/zam");
    DataPaths paths{dir.path() + "/prog", dir.path()};
    std::string poDir = paths.poDataDir();
    GatewayState gs;
    Settings settings;
    ManualClock clock{TimeMs{1'700'000'000'000ms}};  // 20231114T221320
    HeadlessWindow window;
    test::LoopbackReceiver zam;
    StepTimer machine, socketSteps;
    std::unique_ptr<SocketMachine> receiver;
    std::unique_ptr<PoExchangeMonitor> monitor;
    DocumentSlot zamDefs, linkDefs, alarmStatus;
    TestFetch fetch;
    std::unique_ptr<MainLoop> loop;
    std::vector<std::string> receiverList, poList;
    std::deque<std::string> replies;
    int answered = 0;
};

}  // namespace

TEST_F(LoopFixture, StartHidesResetsAndShowsApplicationRunning) {
    gs.closingRequest = true;
    steps(1);
    EXPECT_EQ(machine.state(), 2u);
    EXPECT_EQ(machine.stateText(), " 1 start ");
    EXPECT_EQ(fetch.inits, 1);
    EXPECT_EQ(receiverList.back(), "PO connection initialized");
    EXPECT_FALSE(gs.closingRequest);
    EXPECT_EQ(gs.faultStatus, kFaultCleared);
    steps(2);  // init, first wait
    EXPECT_EQ(machine.state(), 3u);
    EXPECT_EQ(gs.faultStatus, kFaultNone);
    EXPECT_EQ(window.statusText, "Application running");
    EXPECT_EQ(window.repaints, 1);
    steps(1);  // nothing changed: no second repaint
    EXPECT_EQ(window.repaints, 1);
}

TEST_F(LoopFixture, TimersFireInOrderAndCloseWaitsForThem) {
    steps(3);
    clock.advance(10s);  // poll due
    gs.refreshRequest = true;
    gs.closingRequest = true;
    steps(1);
    EXPECT_EQ(loop->pollTimer().last, clock.nowUtc());
    EXPECT_TRUE(gs.refreshRequest);  // the poll goes first
    machine.setState(3);
    steps(1);  // closing beats the refresh
    EXPECT_EQ(machine.state(), 16u);
    steps(1);
    EXPECT_TRUE(machine.stopped());
    EXPECT_TRUE(gs.mainLoopFinished);
    EXPECT_NE(test::readFile(dir.file("ZAMPO.LOG")).find("<Close main statemachine>"), std::string::npos);
}

TEST_F(LoopFixture, ClockSetBackMakesWatchdogThenPollDue) {
    steps(3);
    clock.advance(-1h);
    steps(1);
    EXPECT_EQ(machine.state(), unsigned(MainLoop::State::SendWatchdog));
    runToWait();
    steps(1);
    EXPECT_EQ(machine.state(), unsigned(MainLoop::State::StartGetAlarms));
}

TEST_F(LoopFixture, WatchdogIsSentThreeTimesAtMostAndGivesUpSilently) {
    gs.watchdogId = 0;
    steps(3);
    clock.advance(60s);
    replies = {"NAK", "NAK", "NAK"};
    runToWait();
    EXPECT_EQ(lines(), std::vector<std::string>(3, "[ZAM WD 09]"));

    gs.watchdogId = 7;
    clock.advance(60s);
    runToWait();  // OK at once
    replies = {""};
    clock.advance(60s);
    runToWait();  // silence: one send, back after 10 s
    EXPECT_EQ(count("[ZAM WD 09 7]"), 2);
    EXPECT_EQ(lines().size(), 5u);
}

TEST_F(LoopFixture, PollForwardsEveryElementAndSavesWhatZamMeldAnswered) {
    fetch.onFetch = [this](FetchKind kind) {
        EXPECT_EQ(kind, kFetchAlarms);
        test::writeFile(poDir + "/AlarmStatus.xml", R"(<POAlarmStatus>
            <Alarm pcu="PCU1" location="Kas4" nr="1" text="Temp hoog" start="2023XX14T221300" State="A" Sent=""/>
            <Alarm pcu="PCU1" location="Kas4" nr="2" text="Temp hoog" start="20231114T221300" State="A" Sent=""/>
            <Alarm pcu="PCU1" location="Nowhere" nr="3" start="20231114T221300" State="A" Sent=""/></POAlarmStatus>)");
        succeed();
    };
    steps(3);
    replies = {"OK", "NAK", "OK", "OK"};
    poll();
    EXPECT_EQ(fetch.urls, std::vector<std::string>{"http://po.example:8080/office/alarm/alarmserver"});
    const std::string own = "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]";
    EXPECT_EQ(lines(), (std::vector<std::string>{own, own, kSys9, kSys9}));
    EXPECT_TRUE(poListHas("No definition found for alarm: Nowhere, 3"));
    // The window heard of the new status and of the end of the walk.
    EXPECT_EQ(window.statusWalks, 2);

    ASSERT_TRUE(test::waitUntil([&] { return !loop->savePending(); }));  // written beside the loop
    XmlDocument saved;
    ASSERT_TRUE(saved.loadFile(poDir + "/AlarmStatus.xml"));
    std::string marks;
    for (pugi::xml_node a : saved.root().children())
        marks += std::string(a.attribute("Sent").value()) + "/" + a.attribute("Error").value() + " ";
    EXPECT_EQ(marks, "2023XX14T221300/ 20231114T221300/1 20231114T221300/ ");
    // The status the merge made is traced once, after it reached the file.
    ASSERT_EQ(fetch.tracedSaves.size(), 1u);
    EXPECT_EQ(fetch.tracedSaves[0].first, fetch.tracedSaves[0].second);
    EXPECT_NE(fetch.tracedSaves[0].first.find("Temp hoog"), std::string::npos);

    fetch.onFetch = [this](int) { succeed(); };  // the file stays as saved
    poll();
    EXPECT_EQ(lines().size(), 4u);
}

TEST_F(LoopFixture, LastingPrivaOfficeFailureRaisesSystemAlarm8OnceAndTheNextSuccessResetsIt) {
    fetch.onFetch = [this](int) { fail(); };
    steps(3);
    for (int i = 0; i < 32; ++i) poll();  // watchdogs and the first definitions fetch come in between
    EXPECT_EQ(count(kSys8Raise), 1);
    EXPECT_EQ(gs.shownStatus, kFaultPriva);
    fetch.onFetch = [this](int) { succeed(); };
    poll();
    poll();
    EXPECT_EQ(count(kSys8Reset), 1);
    EXPECT_EQ(gs.shownStatus, kFaultNone);
}

TEST_F(LoopFixture, DefinitionsFetchReloadsLinksAndReportsUndefinedLinksEveryTime) {
    fetch.linksDefined = false;
    fetch.onFetch = [this](FetchKind kind) {
        if (kind == kFetchDefinitions)
            test::writeFile(poDir + "/LinkDefs.xml", R"(<ZamPOLinkDefs><PO_Locations>
                <PO_loc pcu="PCU1" text="Kas4" zam_alarm="0012 - 03"/><PO_loc pcu="P" text="New" zam_alarm="0"/>
                </PO_Locations></ZamPOLinkDefs>)");
        succeed();
    };
    steps(3);
    gs.refreshRequest = true;
    runToWait();
    EXPECT_EQ(fetch.urls, std::vector<std::string>{"http://po.example:8080/office/alarm/alarmserverconfig"});
    EXPECT_TRUE(searchNode(linkDefs->root(), "PO_loc", {"text"}, {"New"}));
    EXPECT_EQ(window.gridRefills, 1);
    EXPECT_TRUE(poListHas("Collect alarm definitions"));
    EXPECT_TRUE(poListHas("Definitions collected from Priva Office"));
    EXPECT_TRUE(poListHas("Undefined links found!"));
    EXPECT_EQ(lines(), std::vector<std::string>{kSys9});

    clock.advance(8h);  // the refresh restarted the 8-hour timer; its fetch comes after the watchdog and the poll
    runToWait();
    runToWait();
    runToWait();
    EXPECT_EQ(count(kSys9), 2);
    EXPECT_EQ(loop->definitionsTimer().interval, 28800);

    fetch.onFetch = [this](int) { fail(); };  // a failed fetch reloads nothing
    gs.refreshRequest = true;
    runToWait();
    EXPECT_EQ(count(kSys9), 2);
    EXPECT_EQ(window.gridRefills, 2);

    // Without a language the line is the caller's own default: nothing but the mark.
    resetLangTexts();
    poList.clear();
    fetch.onFetch = [this](int) { succeed(); };
    gs.refreshRequest = true;
    runToWait();
    EXPECT_TRUE(poListHas("_"));
}

TEST_F(LoopFixture, FetchesThatNeverEndTimeOutAndTheWatchdogKeepsItsCadenceMeanwhile) {
    fetch.onFetch = {};
    steps(3);
    clock.advance(10s);
    steps(2);  // 3 -> 7 -> 8
    clock.advance(50s);
    steps(3);  // the watchdog is due while the loop waits: 8 -> 12 -> 13 -> 8
    EXPECT_EQ(machine.state(), unsigned(MainLoop::State::WaitAlarms));
    EXPECT_EQ(count("[ZAM WD 09 1]"), 1);
    clock.advance(9s);
    steps(1);
    EXPECT_EQ(machine.state(), unsigned(MainLoop::State::WaitAlarms));
    clock.advance(1s);
    steps(1);
    EXPECT_EQ(machine.state(), unsigned(MainLoop::State::CheckAlarms));  // the old document is still worked through
    EXPECT_TRUE(poListHas("Timeout collecting alarms!"));
    EXPECT_EQ(gs.faultStatus, kFaultPriva);

    machine.setState(MainLoop::State::GetDefinitions);
    steps(1);
    clock.advance(400s);
    runToWait();
    EXPECT_TRUE(poListHas("Timeout collecting definitions!"));
    EXPECT_EQ(count("[ZAM WD 09 1]"), 2);

    // A request that ran into its own time limit takes the same path.
    poList.clear();
    fetch.onFetch = [this](int) {
        fetch.timedOut = true;
        fetch.done = true;
    };
    clock.advance(10s);
    steps(3);  // 3 -> 7 -> 8 -> 9
    EXPECT_EQ(machine.state(), unsigned(MainLoop::State::CheckAlarms));
    EXPECT_TRUE(poListHas("Timeout collecting alarms!"));

    resetLangTexts();  // without a language, the caller's own default
    runToWait();
    clock.advance(10s);
    steps(3);
    EXPECT_TRUE(poListHas("_Timeout collecting alarms !"));
}

TEST_F(LoopFixture, NoFetchStartsWhileAWorkerIsStillRunning) {
    steps(3);
    fetch.running = true;
    poll();
    poll();
    EXPECT_TRUE(fetch.urls.empty());
    EXPECT_EQ(std::count(poList.begin(), poList.end(), "Priva Office request still running; the next waits for it"), 1);
    gs.refreshRequest = true;
    steps(2);  // 3 -> 4 -> back to 3, still wanted
    EXPECT_TRUE(fetch.urls.empty());
    fetch.running = false;
    steps(2);
    EXPECT_EQ(fetch.urls, std::vector<std::string>{"http://po.example:8080/office/alarm/alarmserverconfig"});
}

TEST_F(LoopFixture, AnErrorInAStepIsLoggedWithItsStateAndTheLoopRestarts) {
    EXPECT_EQ(MainLoop::errorLine(MainLoop::State::WaitDefinitions, MainLoop::WaitAlarmsPoint::None, "loc", "boom",
                                  "std::runtime_error"),
              "<tmmMain, state:5><loc><boom><std::runtime_error>");
    steps(3);
    fetch.throwOnStart = true;
    clock.advance(10s);
    steps(2);
    EXPECT_EQ(machine.state(), 1u);
    std::string log = test::readFile(dir.file("ZAMPO.LOG"));
    EXPECT_NE(log.find("<<tmmMain, state:7><Exception tZamTimeMachine in module "), std::string::npos) << log;
    EXPECT_NE(log.find("><no worker><std::runtime_error>>\r\n"), std::string::npos) << log;

    fetch.throwOnStart = false;
    fetch.throwOnMessage = true;
    steps(3);
    clock.advance(10s);
    steps(3);
    log = test::readFile(dir.file("ZAMPO.LOG"));
    EXPECT_NE(log.find("<<tmmMain, state:8><sub 5><Exception tZamTimeMachine"), std::string::npos) << log;
    EXPECT_EQ(machine.state(), 1u);
}
