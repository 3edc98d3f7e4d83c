#include "runtime/socketmachine.h"

#include "receiverfixture.h"

using namespace zampo;
using namespace zampo::test;

namespace {

class SocketMachineTest : public ReceiverFixture {
protected:
    void SetUp() override {
        ReceiverFixture::SetUp();
        ASSERT_TRUE(zam.listen());
        makeMachine(zam.port());
        start();
    }
    // Sends one message and waits until ZamMeld holds all of it.
    void sendAndAwait(const std::string& message) {
        const qsizetype before = zam.linesReceived();
        sockets->queueMessage(message, true);
        ASSERT_TRUE(waitUntil([&] { return zam.linesReceived() > before; }));
    }

    LoopbackReceiver zam;
};

TEST_F(SocketMachineTest, MessagesQueuedTogetherGoOutInOrderOverOneConnection) {
    sockets->queueMessage("[ZAM WD 09]", true);
    sockets->queueMessage("[ZAM RCVALARM 02,9999,9,A]", true);
    ASSERT_TRUE(waitUntil([&] { return zam.connections() == 1 && zam.received(0).count('\r') == 2; }));
    EXPECT_EQ(zam.received(0), QByteArray("[ZAM WD 09]\r[ZAM RCVALARM 02,9999,9,A]\r"));
    EXPECT_TRUE(listHas("Send: [ZAM WD 09]"));
    EXPECT_TRUE(listHas("Send: [ZAM RCVALARM 02,9999,9,A]"));

    // The connection stays open for later messages.
    sendAndAwait("[ZAM WD 09 3]");
    EXPECT_EQ(zam.connections(), 1);
    EXPECT_TRUE(zam.received(0).endsWith("[ZAM WD 09 3]\r"));
    EXPECT_EQ(gateway.faultStatus, kFaultNone);
}

TEST_F(SocketMachineTest, TextWithLineBreaksCannotForgeASecondMessage) {
    sendAndAwait("[ZAM RCVALARM 02,0012,03,T,,Kas\r[ZAM RCVALARM 02,9999,9,R]\n\tcaf\xC3\xA9 \xE2\x82\xAC]");
    const QByteArray wire = zam.received(0);
    EXPECT_EQ(wire, QByteArray("[ZAM RCVALARM 02,0012,03,T,,Kas [ZAM RCVALARM 02,9999,9,R]  caf\xE9 \x80]\r"));
    EXPECT_EQ(wire.count('\r'), 1);
    EXPECT_TRUE(listHas("Send: [ZAM RCVALARM 02,0012,03,T,,Kas [ZAM RCVALARM 02,9999,9,R]  caf\xC3\xA9 \xE2\x82\xAC]"));
}

TEST_F(SocketMachineTest, LastLineOfAReadIsTheReplyAndQueuingClearsIt) {
    sendAndAwait("[ZAM WD 09]");
    zam.reply("\rNAK\rOK\r");
    ASSERT_TRUE(waitUntil([&] { return sockets->replyReceived(); }));
    EXPECT_EQ(sockets->lastReply(), "OK");
    EXPECT_TRUE(listHas("Recv: NAK"));
    EXPECT_TRUE(listHas("Recv: OK"));

    // An answer that came before the queuing never counts for the new message.
    sockets->queueMessage("[ZAM WD 09]", true);
    EXPECT_FALSE(sockets->replyReceived());
    EXPECT_EQ(sockets->lastReply(), "");

    // A CR LF pair leaves the line feed at the start of the next line; the
    // trailing one is dropped. Control characters show as blanks in the list.
    zam.reply("OK\r\nOK\r\n");
    ASSERT_TRUE(waitUntil([&] { return sockets->replyReceived(); }));
    EXPECT_EQ(sockets->lastReply(), "\nOK");
    EXPECT_EQ(listCount("Recv:  OK"), 1);

    // The line feed that ends one answer does not open the next, read on its own.
    sockets->queueMessage("[ZAM WD 09]", true);
    zam.reply("OK\r");
    ASSERT_TRUE(waitUntil([&] { return sockets->replyReceived(); }));
    EXPECT_EQ(sockets->lastReply(), "OK");
    sockets->queueMessage("[ZAM WD 09]", true);
    zam.reply("\nOK\r");
    ASSERT_TRUE(waitUntil([&] { return sockets->replyReceived(); }));
    EXPECT_EQ(sockets->lastReply(), "OK");
}

TEST_F(SocketMachineTest, DataWithoutCarriageReturnIsNoReplyButClearsTheReceiverFault) {
    sendAndAwait("[ZAM WD 09]");
    gateway.faultStatus = kFaultReceiver;
    window.statusText = "Error connecting to ZamMeld";
    zam.reply("OK");
    ASSERT_TRUE(waitUntil([&] { return gateway.faultStatus == kFaultCleared; }));
    EXPECT_EQ(window.statusText, "");
    EXPECT_FALSE(sockets->replyReceived());
    EXPECT_EQ(sockets->lastReply(), "");
    for (const std::string& line : listLines()) EXPECT_NE(line.rfind("Recv:", 0), 0u) << line;
}

TEST_F(SocketMachineTest, ErrorWhileOpeningDropsThatMessageAndTheNextOpensANewConnection) {
    const quint16 port = zam.port();
    zam.stopListening();
    const uint64_t refused = sockets->queueMessage("[ZAM WD 09 1]", true);
    EXPECT_EQ(sockets->deliveryOf(refused), Delivery::Queued);
    ASSERT_TRUE(waitUntil([&] { return listHas("Zam PO socket error: 111"); }));
    EXPECT_EQ(sockets->deliveryOf(refused), Delivery::Failed);  // never reached ZamMeld
    EXPECT_EQ(window.statusText, "Error connecting to ZamMeld");
    EXPECT_EQ(gateway.faultStatus, kFaultReceiver);
    // Back to waiting for messages, with the failed one dropped.
    ASSERT_TRUE(waitUntil([&] { return socketSteps.state() == 2 && sockets->currentMessage().empty(); }));

    ASSERT_TRUE(zam.listen(port));
    sendAndAwait("[ZAM WD 09 2]");
    EXPECT_EQ(zam.connections(), 1);
    EXPECT_EQ(zam.received(0), QByteArray("[ZAM WD 09 2]\r"));

    // The fault lasts until ZamMeld sends something.
    EXPECT_EQ(gateway.faultStatus, kFaultReceiver);
    zam.reply("OK\r");
    ASSERT_TRUE(waitUntil([&] { return gateway.faultStatus == kFaultCleared; }));
    EXPECT_EQ(window.statusText, "");
}

TEST_F(SocketMachineTest, DeliveryOfEachMessageIsKnownAndALateAnswerDiesWithItsConnection) {
    const uint64_t answered = sockets->queueMessage("[ZAM WD 09 1]", true);
    ASSERT_TRUE(waitUntil([&] { return sockets->deliveryOf(answered) == Delivery::Written; }));
    zam.reply("OK\r");
    ASSERT_TRUE(waitUntil([&] { return sockets->deliveryOf(answered) == Delivery::Answered; }));

    // Closed by ZamMeld before it answered: the message may never have been read.
    const uint64_t cut = sockets->queueMessage("[ZAM WD 09 2]", true);
    ASSERT_TRUE(waitUntil([&] { return zam.linesReceived() == 2; }));
    zam.closeNewest();
    ASSERT_TRUE(waitUntil([&] { return sockets->deliveryOf(cut) == Delivery::Failed; }));
    EXPECT_EQ(gateway.faultStatus, kFaultNone);

    // Given up on: the connection goes, so its answer cannot count for the next one.
    const uint64_t late = sockets->queueMessage("[ZAM WD 09 3]", true);
    ASSERT_TRUE(waitUntil([&] { return zam.linesReceived() == 3; }));
    sockets->dropConnection();
    EXPECT_EQ(sockets->deliveryOf(late), Delivery::Written);  // it reached ZamMeld
    zam.reply("OK\r");
    sockets->queueMessage("[ZAM WD 09 4]", true);
    ASSERT_TRUE(waitUntil([&] { return zam.linesReceived() == 4; }));
    EXPECT_EQ(zam.connections(), 3);
    waitUntil([] { return false; }, 50);
    EXPECT_FALSE(sockets->replyReceived());
}

TEST_F(SocketMachineTest, EachAnswerBelongsToItsOwnLineAndAClosedConnectionFailsExactlyTheUnanswered) {
    const uint64_t first = sockets->queueMessage("[ZAM RCVALARM 02,9999,8,R]", true);
    const uint64_t second = sockets->queueMessage("[ZAM RCVALARM 02,0012,03,T,,Kas4]", true);
    const uint64_t third = sockets->queueMessage("[ZAM WD 09]", true);
    ASSERT_TRUE(waitUntil([&] { return zam.linesReceived() == 3; }));
    zam.reply("OK\r");
    ASSERT_TRUE(waitUntil([&] { return sockets->deliveryOf(first) == Delivery::Answered; }));
    EXPECT_EQ(sockets->deliveryOf(second), Delivery::Written);
    zam.reply("NA");  // in pieces, and after the next line was queued
    sockets->queueMessage("[ZAM WD 09 2]", true);
    ASSERT_TRUE(waitUntil([&] { return zam.linesReceived() == 4; }));
    zam.reply("K\r");
    ASSERT_TRUE(waitUntil([&] { return sockets->deliveryOf(second) == Delivery::Answered; }));
    EXPECT_EQ(sockets->answerOf(first), "OK");
    EXPECT_EQ(sockets->answerOf(second), "NAK");
    EXPECT_EQ(gateway.counters.accepted[std::size_t(MessageKind::System)], 1u);
    EXPECT_EQ(gateway.counters.accepted[std::size_t(MessageKind::Raise)], 0u);
    EXPECT_EQ(sockets->answersReceived(), 2u);

    zam.closeNewest();  // two lines unanswered: both, and only they, fail as cut off
    ASSERT_TRUE(waitUntil([&] { return sockets->deliveryOf(third) == Delivery::Failed; }));
    EXPECT_TRUE(sockets->cutOff(third));
    EXPECT_FALSE(sockets->cutOff(second));
    EXPECT_EQ(sockets->deliveryOf(second), Delivery::Answered);
    EXPECT_EQ(gateway.faultStatus, kFaultNone);
}

TEST_F(SocketMachineTest, ReceiverThatClosesEveryConnectionUnansweredForAMinuteIsAFault) {
    ManualClock clock{TimeMs{Millis{1'700'000'000'000}}};
    sockets->setClock(&clock);
    for (int i = 0; i < 3; ++i) {
        const uint64_t t = sockets->queueMessage("[ZAM WD 09]", true);
        ASSERT_TRUE(waitUntil([&] { return zam.linesReceived() == i + 1; }));
        zam.closeNewest();
        ASSERT_TRUE(waitUntil([&] { return sockets->deliveryOf(t) == Delivery::Failed; }));
        EXPECT_EQ(gateway.faultStatus, kFaultNone) << i;  // every connect succeeded
        clock.advance(std::chrono::seconds(30));
    }
    sockets->queueMessage("[ZAM WD 09]", true);  // 90 s on: nothing got through
    EXPECT_EQ(gateway.faultStatus, kFaultReceiver);
    EXPECT_FALSE(sockets->answering());
    EXPECT_FALSE(gateway.counters.zamAnswering);
    EXPECT_EQ(window.statusText, "Error connecting to ZamMeld");
    ASSERT_TRUE(waitUntil([&] { return zam.linesReceived() == 4; }));
    zam.reply("OK\r");  // the next answer ends it
    ASSERT_TRUE(waitUntil([&] { return sockets->answering() && gateway.faultStatus == kFaultCleared; }));
}

TEST_F(SocketMachineTest, ReceiverThatClosesTheConnectionIsReconnectedForTheNextMessage) {
    sendAndAwait("[ZAM WD 09]");
    zam.closeNewest();
    ASSERT_TRUE(waitUntil([&] { return !sockets->socketOpen(); }));

    sendAndAwait("[ZAM RCVALARM 02,9999,9,A]");
    ASSERT_EQ(zam.connections(), 2);
    EXPECT_EQ(zam.received(1), QByteArray("[ZAM RCVALARM 02,9999,9,A]\r"));
    // Closing is ZamMeld's right, not a fault.
    EXPECT_EQ(gateway.faultStatus, kFaultNone);
    for (const std::string& line : listLines()) EXPECT_EQ(line.find("socket error"), std::string::npos) << line;
}

TEST_F(SocketMachineTest, TestButtonQueuesTheMessageAndWritesItsOwnLogLine) {
    sockets->sendTestMessage("000001", "01", "A");
    ASSERT_TRUE(waitUntil([&] { return zam.connections() == 1 && zam.received(0).endsWith('\r'); }));
    EXPECT_EQ(zam.received(0), QByteArray("[ZAM RCVALARM 02,000001,01,A]\r"));
    EXPECT_TRUE(listHas("Send: [ZAM RCVALARM 02,000001,01,A]"));
    const std::string log = readFile(dir.file("ZAMPO.LOG"));
    EXPECT_NE(log.find("\r\nSendIP button [ZAM RCVALARM 02,000001,01,A]\r\n"), std::string::npos) << log;
}

using SocketMachinePortTest = ReceiverFixture;

TEST_F(SocketMachinePortTest, PortOutsideTheTcpRangeIsAFatalErrorNotAnotherPort) {
    SocketMachine bad(socketSteps, "127.0.0.1", 65536 + 8132, window, gateway);
    socketSteps.setState(1);
    bad.queueMessage("[ZAM WD 09]", false);
    for (int i = 0; i < 5; ++i) socketSteps.tick();
    EXPECT_EQ(socketSteps.stateText(), "4.2 Open socket");
    EXPECT_TRUE(listHas("Fatal socket error!"));
    socketSteps.tick();  // the error takes the machine back to the start
    socketSteps.tick();
    EXPECT_EQ(socketSteps.stateText(), "2 Waitforstring");
    EXPECT_EQ(socketSteps.state(), 2u);
    EXPECT_EQ(bad.currentMessage(), "");
    socketSteps.setEnabled(false);
}

}  // namespace
