#include <gtest/gtest.h>
#include <QTest>
#include <QTimer>

#include "runtime/steptimer.h"

using namespace zampo;

TEST(StepTimer, LoopCountZeroBecomesOneAndNoHandlerJustTicks) {
    StepTimer m;
    m.setLoopCount(0);
    m.setInterval(10);
    int steps = 0;
    m.tick();  // without a handler nothing changes but the timer runs on
    EXPECT_EQ(m.loopCount(), 0);
    EXPECT_TRUE(m.enabled());
    m.setStepHandler([&](StepTimer&) { ++steps; });
    m.tick();
    EXPECT_EQ(m.loopCount(), 1);
    EXPECT_EQ(steps, 1);
}

TEST(StepTimer, StopInsideAStepEndsSteppingForGoodButTheTimerRuns) {
    StepTimer m;
    m.setLoopCount(3);
    m.setInterval(1);
    m.setEnabled(true);
    int steps = 0;
    m.setStepHandler([&](StepTimer& self) {
        if (++steps == 2) self.stop();
    });
    m.tick();
    EXPECT_EQ(steps, 2);
    EXPECT_TRUE(m.stopped());
    EXPECT_TRUE(m.enabled());  // re-enabled at the end of the tick
    QTest::qWait(20);          // real ticks come, but run nothing
    m.tick();
    EXPECT_EQ(steps, 2);
}

TEST(StepTimer, TicksComeFromTheEventLoopAndOnCreateSeesTheOwner) {
    QObject owner;
    QObject* seen = nullptr;
    StepTimer m(&owner, [&](QObject* o) { seen = o; });
    EXPECT_EQ(seen, &owner);
    EXPECT_EQ(m.state(), 0u);
    int steps = 0;
    m.setStepHandler([&](StepTimer&) { ++steps; });
    m.setInterval(1);
    m.setEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return steps >= 5; }, 5000));
}

TEST(StepTimer, EventDrivenMachineRestsUntilWokenOrItsDeadlineAndSharesTheLoop) {
    StepTimer m;
    m.setTurnBudget(2);
    int steps = 0;
    bool restForever = true;
    m.setStepHandler([&](StepTimer& self) {
        ++steps;
        if (restForever) self.restFor(-1);
    });
    m.setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return steps == 1; }, 5000));
    QTest::qWait(30);
    EXPECT_EQ(steps, 1);  // resting, nothing to wake it
    m.wake();
    ASSERT_TRUE(QTest::qWaitFor([&] { return steps == 2; }, 5000));

    // A deadline ends the rest by itself.
    m.setStepHandler([&](StepTimer& self) {
        if (++steps == 3)
            self.restFor(5);
        else
            self.restFor(-1);
    });
    m.wake();
    EXPECT_TRUE(QTest::qWaitFor([&] { return steps == 4; }, 5000));

    // A machine that never rests still lets other events through between turns.
    restForever = false;
    m.setStepHandler([&](StepTimer&) { ++steps; });
    bool otherEventRan = false;
    QTimer::singleShot(0, [&] { otherEventRan = true; });
    m.wake();
    EXPECT_TRUE(QTest::qWaitFor([&] { return otherEventRan; }, 5000));
    m.stop();
}
