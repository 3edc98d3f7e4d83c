#include "runtime/poexchangemonitor.h"

#include "receiverfixture.h"

using namespace zampo;
using namespace zampo::test;
using namespace std::chrono_literals;

namespace {

const std::string kRaise = "[ZAM RCVALARM 02,9999,8,A]";
const std::string kReset = "[ZAM RCVALARM 02,9999,8,R]";

class PoExchangeMonitorTest : public ReceiverFixture {
protected:
    void SetUp() override {
        ReceiverFixture::SetUp();
        makeMachine(8132);  // not started: the queue keeps what is sent
        monitor = std::make_unique<PoExchangeMonitor>(clock, *sockets);
    }
    void TearDown() override {
        monitor.reset();
        ReceiverFixture::TearDown();
    }
    std::vector<std::string> queued() const { return sockets->queuedMessages(); }

    ManualClock clock{TimeMs{Millis{1'700'000'000'000}}};
    std::unique_ptr<PoExchangeMonitor> monitor;
};

TEST_F(PoExchangeMonitorTest, RaisedAfterMoreThanFiveMinutesOnceAndResetOnce) {
    monitor->report(false);  // the failure starts here
    clock.advance(300s);
    monitor->report(false);
    EXPECT_TRUE(queued().empty()) << "exactly 300 seconds is not enough";

    clock.advance(1ms);
    monitor->report(false);
    EXPECT_EQ(queued(), std::vector<std::string>{kRaise});
    clock.advance(600s);
    monitor->report(false);
    EXPECT_EQ(queued().size(), 1u);
    EXPECT_TRUE(listHas("Send: " + kRaise));

    monitor->report(true);
    monitor->report(true);
    EXPECT_EQ(queued(), (std::vector<std::string>{kRaise, kReset}));
    EXPECT_FALSE(monitor->failingSince());
}

TEST_F(PoExchangeMonitorTest, ShortFailuresAndARestartRaiseNothing) {
    monitor->report(false);
    clock.advance(299s);
    monitor->report(true);  // a success ends the running failure
    monitor->report(false);
    clock.advance(299s);
    monitor->report(false);

    monitor->reset();  // main loop start
    clock.advance(10s);
    monitor->report(false);
    EXPECT_TRUE(queued().empty());
    EXPECT_EQ(monitor->failingSince(), clock.nowUtc());
}

TEST_F(PoExchangeMonitorTest, UnreachableReceiverLetsTheAlarmBeRaisedAgain) {
    LoopbackReceiver closed;
    ASSERT_TRUE(closed.listen());
    sockets->setEndpoint("127.0.0.1", closed.port());
    closed.stopListening();
    start();

    monitor->report(false);
    clock.advance(301s);
    monitor->report(false);
    ASSERT_TRUE(monitor->raised());
    // Sending it fails, and that clears the mark while the failure goes on.
    ASSERT_TRUE(waitUntil([&] { return !monitor->raised(); }));
    clock.advance(10s);
    monitor->report(false);
    EXPECT_TRUE(monitor->raised());
    EXPECT_EQ(listCount("Send: " + kRaise), 2);

    // The reset is owed until ZamMeld answers it: sent again at each success until then.
    ASSERT_TRUE(waitUntil([&] { return !monitor->raised(); }));
    ASSERT_TRUE(closed.listen(sockets->endpointPort()));
    clock.advance(10s);
    monitor->report(false);
    ASSERT_TRUE(waitUntil([&] { return closed.linesReceived() == 1; }));
    closed.reply("OK\r");
    waitUntil([] { return false; }, 50);
    EXPECT_TRUE(monitor->raised());
    closed.closeNewest();
    closed.stopListening();
    const int errors = listCount("Zam PO socket error: 111");
    monitor->report(true);
    ASSERT_TRUE(waitUntil([&] { return listCount("Zam PO socket error: 111") > errors; }));
    EXPECT_TRUE(monitor->resetOwed());
    ASSERT_TRUE(closed.listen(sockets->endpointPort()));
    monitor->report(true);
    ASSERT_TRUE(waitUntil([&] { return closed.linesReceived() == 2; }));
    closed.reply("OK\r");
    ASSERT_TRUE(waitUntil([&] { return !monitor->resetOwed(); }));
    monitor->report(true);
    EXPECT_EQ(listCount("Send: " + kReset), 2);
}

}  // namespace
