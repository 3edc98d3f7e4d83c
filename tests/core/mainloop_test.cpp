#include "core/mainloop.h"

#include <gtest/gtest.h>

#include "diag/logwriter.h"
#include "support/tempdir.h"
#include "texts/langtext.h"

using namespace zampo;
using namespace std::chrono_literals;

namespace {
struct LoopFixture : ::testing::Test {
    LoopFixture() : loop(gs, clock, window) {
        logWriter().setFileName(dir.file("ZAMPO.LOG"));
        loadLangTexts("ENG");
        machine.setDoState([this](tZamTimeMachine& m) { loop.doState(m); });
        machine.setState(1);
        loop.initPoConnection = [this] { ++inits; };
        loop.resetPoFailure = [this] { ++poResets; };
    }
    ~LoopFixture() override {
        logWriter().setFileName("");
        resetLangTexts();
    }
    void steps(int n) {
        for (int i = 0; i < n; ++i) machine.tick();
    }
    test::TempDir dir;
    GatewayState gs;
    ManualClock clock{TimeMs{1'700'000'000'000ms}};
    HeadlessWindow window;
    MainLoop loop;
    tZamTimeMachine machine;
    int inits = 0, poResets = 0;
};
}  // namespace

TEST_F(LoopFixture, StartHidesResetsAndShowsApplicationRunning) {
    gs.closingRequest = true;
    steps(1);
    EXPECT_EQ(machine.state(), 2u);
    EXPECT_EQ(machine.stateText(), " 1 start ");
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(poResets, 1);
    EXPECT_EQ(window.hides, 1);
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
    EXPECT_EQ(loop.pollTimer().last, clock.nowUtc());
    EXPECT_TRUE(gs.refreshRequest);  // the poll goes first
    machine.setState(3);
    steps(1);  // closing beats the refresh
    EXPECT_EQ(machine.state(), 16u);
    steps(1);
    EXPECT_TRUE(machine.stopped());
    EXPECT_TRUE(gs.mainLoopFinished);
    EXPECT_NE(test::readFile(dir.file("ZAMPO.LOG")).find("<Close main statemachine>"), std::string::npos);
}

TEST_F(LoopFixture, WatchdogBeforePollAndAClockSetBackMakesBothDue) {
    steps(3);
    clock.advance(-1h);
    steps(1);
    EXPECT_EQ(loop.watchdogTimer().last, clock.nowUtc());
    machine.setState(3);
    steps(1);
    EXPECT_EQ(loop.pollTimer().last, clock.nowUtc());
    // 299.999 s after init the definitions are not due; at 300 s they are
    LoopTimer t{clock.nowUtc(), 300};
    EXPECT_FALSE(t.due(clock.nowUtc() + 299999ms));
    EXPECT_TRUE(t.due(clock.nowUtc() + 300s));
}

TEST_F(LoopFixture, ErrorLineAndRestartAtStateOne) {
    EXPECT_EQ(MainLoop::errorLine(5, 0, "loc", "boom", "std::runtime_error"),
              "<tmmMain, state:5><loc><boom><std::runtime_error>");
    EXPECT_EQ(MainLoop::errorLine(8, 5, "loc", "m", "E"), "<tmmMain, state:8><sub 5><loc><m><E>");

    steps(3);
    loop.initPoConnection = [] { throw std::runtime_error("no client"); };
    machine.setState(1);
    machine.setEnabled(true);
    steps(1);
    EXPECT_EQ(machine.state(), 1u);
    EXPECT_TRUE(machine.enabled());
    const std::string log = test::readFile(dir.file("ZAMPO.LOG"));
    EXPECT_NE(log.find("<<tmmMain, state:1><Exception tZamTimeMachine in module "), std::string::npos) << log;
    EXPECT_NE(log.find("><no client><std::runtime_error>>\r\n"), std::string::npos) << log;
}
