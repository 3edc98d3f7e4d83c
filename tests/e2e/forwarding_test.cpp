// Priva Office alarms through the whole gateway to the receiver: what goes over
// the wire for raised, reset, unlinked, refused, unanswered and grouped alarms.
#include <algorithm>

#include "gatewayfixture.h"
#include "logic/xml/xmlstore.h"
#include "runtime/mainloop.h"
#include "support/loopback.h"
#include "support/testhosts.h"

using namespace zampo;
using namespace zampo::test;
using namespace std::chrono_literals;

namespace {

TEST_F(GatewayTest, LinkedAlarmsAreRaisedAndResetAsTheCheckBoxesSay) {
    writeSiteDefinitions();
    // The second text is longer than a message may carry, with a letter outside ASCII.
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp. &gt; 25 - hoog", 5s) +
                    activeAlarm("PCU1", "Kas4", "2",
                                "Te hoge temperatuur in koelcel België: controleer de koeling, de deuren en de "
                                "ventilatoren",
                                5s) +
                    activeAlarm("PCU1", "Kas5", "9", "Sensor_defect", 5s) +         // location exception
                    activeAlarm("PCU2", "Kas_6.b", "77", "Storing, brander", 5s) +  // general exception
                    activeAlarm("PCU3", "Nergens", "5", "Onbekend", 5s));           // no link
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::ForwardingRaiseAndReset)));

    gateway->setSendPcuNames(true);
    gateway->setFilterPunctuation(false);
    advance(10s);
    EXPECT_EQ(newWireLines(),
              (Lines{"[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp. > 25 - hoog]",
                     "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Te hoge temperatuur in koelcel België: controleer de "
                     "koeling, de deure]",
                     "[ZAM RCVALARM 02,0020,01,T,,PCU1 Kas5 Sensor_defect]",
                     "[ZAM RCVALARM 02,0030,02,T,,PCU2 Kas_6.b Storing, brander]", kConfigError}));
    EXPECT_TRUE(poListHas("No definition found for alarm: Nergens, 5"));
    // The exception without a group of its own takes Kas5's group away.
    EXPECT_EQ(readDataFile("AlarmStatus.xml").find("Group"), std::string::npos) << readDataFile("AlarmStatus.xml");

    gateway->setSendPcuNames(false);
    gateway->setFilterPunctuation(true);
    setActiveAlarms("");
    advance(10s);
    EXPECT_EQ(newWireLines(),
              (Lines{"[ZAM RCVALARM 02,0012,03,R,,Kas4 Temp  25  hoog]",
                     "[ZAM RCVALARM 02,0012,03,R,,Kas4 Te hoge temperatuur in koelcel België: controleer de koeling "
                     "de deuren en d]",
                     "[ZAM RCVALARM 02,0020,01,R,,Kas5 Sensordefect]",
                     "[ZAM RCVALARM 02,0030,02,R,,Kas6b Storing brander]", kConfigError}));

    advance(10s);  // every change was reported once
    EXPECT_EQ(newWireLines(), Lines{});
}

TEST_F(GatewayTest, RefusedAndUnansweredAlarmsAreMarkedAndNotSentAgain) {
    writeSiteDefinitions();
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s) +
                    activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::ForwardingRefusedAndUnanswered), "nak,nak,nak,silent,ok"));

    // Three refusals for the first alarm, none for the second: the loop waits for it.
    clock.advance(10s);
    ASSERT_TRUE(waitUntil([&] {
        return zamsim.received().size() == 4 &&
               gateway->loopSteps().stateAs<MainLoop::State>() == MainLoop::State::CheckResponse;
    })) << zamsim.output().toStdString();
    EXPECT_EQ(newWireLines(), (Lines{"[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]", kConfigError, kConfigError,
                                     "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Vocht hoog]"}));
    moveClock(10s);  // no answer within 10 seconds

    XmlDocument status;
    ASSERT_TRUE(status.loadFile(poDir + "/AlarmStatus.xml"));
    std::vector<std::string> marks;
    for (pugi::xml_node a : status.root().children("Alarm"))
        marks.push_back(std::string(a.attribute("Error").value()) + " " + a.attribute("ErrDt").value() + " " +
                        a.attribute("Sent").value());
    const std::string start = stamp(5s);
    EXPECT_EQ(marks, (Lines{"2 " + start + " " + start, "3 " + start + " " + start}));

    advance(40s);  // both count as reported; the watchdog is answered again
    EXPECT_EQ(newWireLines(), Lines{kWatchdog});
}

TEST_F(GatewayTest, LineZamMeldAlwaysHangsUpOnIsGivenUpOnceZamMeldAnswersOthersAndTheRestGoOut) {
    writeSiteDefinitions();
    const std::string poison = "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]";
    const std::string behind = "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Vocht hoog]";
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s) +
                    activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(
        start(testHost(TestHost::ForwardingLineZamMeldHangsUpOn), "ok", {}, 1, {"--close-on", "Temp hoog"}));

    // Until ZamMeld has answered anything since it first hung up, the line waits,
    // and everything behind it with it: sent twice a poll, nothing else.
    for (int i = 0; i < 5; ++i) advance(10s);
    EXPECT_EQ(newWireLines(), Lines(10, poison));
    EXPECT_TRUE(poListHas("ZamMeld not reached; PCU1,Kas4,1 and what follows wait until it can be reached"));

    advance(10s);  // the watchdog is answered: hanging up on this line is ZamMeld's answer to it
    EXPECT_EQ(newWireLines(), (Lines{kWatchdog, poison, poison, poison, behind}));
    EXPECT_EQ(receiverListCount("ZamMeld closed the connection on " + poison +
                                " though it answers other lines: counted as a send it did not take"),
              3);
    const pugi::xml_node given = searchNode(gateway->alarmStatus()->root(), "Alarm", {"nr"}, {"1"});
    EXPECT_STREQ(given.attribute("Error").value(), "2");
    EXPECT_STREQ(given.attribute("Sent").value(), stamp(5s).c_str());
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{});
}

TEST_F(GatewayTest, LineNeverAnsweredHoldsNothingBehindItAcrossPolls) {
    writeSiteDefinitions();
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s) +
                    activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 5s) + activeAlarm("PCU1", "Kas4", "3", "Druk", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::ForwardingLineNeverAnswered), "silent,ok"));
    clock.advance(10s);
    ASSERT_TRUE(waitUntil([&] {
        return zamsim.received().size() == 1 &&
               gateway->loopSteps().stateAs<MainLoop::State>() == MainLoop::State::CheckResponse;
    })) << zamsim.output().toStdString();
    moveClock(10s);  // the answer wait runs out just as the next poll is due
    advance(10s);
    advance(10s);
    EXPECT_EQ(newWireLines(), (Lines{"[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]",
                                     "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Vocht hoog]",
                                     "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Druk]"}));
    EXPECT_STREQ(searchNode(gateway->alarmStatus()->root(), "Alarm", {"nr"}, {"1"}).attribute("Error").value(), "3");
}

TEST_F(GatewayTest, GroupOfTwoIsReportedOnceAfterItsDelayThenRepeatedAndReset) {
    writeSiteDefinitions();
    setActiveAlarms(activeAlarm("PCU1", "Kas5", "1", "Temp hoog", 5s) +
                    activeAlarm("PCU1", "Kas5", "2", "Vocht hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::ForwardingGroupOfTwo)));
    const Lines raised{"[ZAM RCVALARM 02,0012,04,T,,PreAlarm: PCU1 Kas5 Temp hoog]",
                       "[ZAM RCVALARM 02,0012,04,T,,PreAlarm: PCU1 Kas5 Vocht hoog]"};
    const std::string group = "[ZAM RCVALARM 02,0100,07,A,,]";

    advance(10s);  // raised at 10 s: due once 30 s have passed
    EXPECT_EQ(newWireLines(), raised);
    for (int i = 0; i < 3; ++i) {
        advance(10s);
        EXPECT_EQ(newWireLines(), Lines{}) << "at " << 20 + 10 * i << " s";
    }
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{group});
    EXPECT_TRUE(poListHas("Group timeout passed"));

    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{kWatchdog});
    for (int i = 0; i < 5; ++i) {
        advance(10s);
        EXPECT_EQ(newWireLines(), Lines{}) << "at " << 70 + 10 * i << " s";
    }
    advance(10s);  // a minute after it was accepted
    EXPECT_EQ(newWireLines(), (Lines{kWatchdog, group}));
    EXPECT_TRUE(poListHas("Repeat group"));

    setActiveAlarms("");
    advance(10s);
    EXPECT_EQ(newWireLines(),
              (Lines{"[ZAM RCVALARM 02,0012,04,R,,PreAlarm: PCU1 Kas5 Temp hoog]",
                     "[ZAM RCVALARM 02,0012,04,R,,PreAlarm: PCU1 Kas5 Vocht hoog]", "[ZAM RCVALARM 02,0100,07,R,,]"}));
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{});
}

TEST_F(GatewayTest, AlarmListedAgainAfterItsResetIsRaisedAgainAndAStartInTheFutureSwallowsNothing) {
    writeSiteDefinitions();
    const std::string a = activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s);
    const std::string resetA = "[ZAM RCVALARM 02,0012,03,R,,PCU1 Kas4 Temp hoog]";
    setActiveAlarms(a);
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::ForwardingListedAgainAfterReset)));
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{kRaiseA});
    setActiveAlarms("");  // dropped out of one answer
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{resetA});
    setActiveAlarms(a);  // back, with the start it had
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{kRaiseA});
    EXPECT_TRUE(poListHas("Start time \"" + stamp(5s) +
                          "\" of alarm PCU1,Kas4,1 is not later than its last report; taken as the time of the fetch"));

    // A Priva Office clock set wrong: the raise goes out once, and later raises still do.
    const std::string b =
        "<alarm pcu=\"PCU1\" location=\"Kas4\" nr=\"2\" text=\"Vocht hoog\" start=\"20990101T000000\"/>";
    setActiveAlarms(b);
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), (Lines{resetA, kRaiseB}));
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{});
    setActiveAlarms("");
    advance(10s);
    setActiveAlarms(b);
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), (Lines{"[ZAM RCVALARM 02,0012,03,R,,PCU1 Kas4 Vocht hoog]", kRaiseB}));
}

TEST_F(GatewayTest, ChangesDuringAnOutageReachZamMeldInOrderAndTheGroupKeepsItsText) {
    writeSiteDefinitions();
    const std::string member = activeAlarm("PCU1", "Kas5", "1", "Temp hoog", 15s);
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::ForwardingChangesDuringAnOutage)));
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{kRaiseA});

    ASSERT_TRUE(zamsim.goDown()) << zamsim.output().toStdString();
    // The member raised while ZamMeld is away, tried at more than one poll; then
    // alarm A reset and raised anew before ZamMeld is back.
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s) + member);
    advance(10s);
    advance(10s);
    setActiveAlarms(member);
    advance(10s);
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 35s) + member);
    advance(10s);
    ASSERT_TRUE(zamsim.comeBack()) << zamsim.output().toStdString();
    advance(20s);
    advance(10s);
    advance(10s);
    EXPECT_EQ(withoutWatchdog(zamsim.received()),
              (Lines{kRaiseA, "[ZAM RCVALARM 02,0012,03,R,,PCU1 Kas4 Temp hoog]", kRaiseA,
                     "[ZAM RCVALARM 02,0012,04,T,,PreAlarm: PCU1 Kas5 Temp hoog]",
                     "[ZAM RCVALARM 02,0100,07,T,,PCU1 Kas5 Temp hoog]"}))
        << zamsim.output().toStdString();
    advance(10s);
    EXPECT_EQ(withoutWatchdog(zamsim.received()).size(), 5u);
}

TEST_F(GatewayTest, PrivaOfficesClockAheadRaisesAnUnchangedAlarmOnce) {
    writeSiteDefinitions();
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::ForwardingClockAhead)));
    // Priva Office 20 s ahead: the alarm starts at what its clock reads at the request.
    const std::string a = activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 30s);
    setActiveAlarms(a);
    for (int i = 0; i < 7; ++i) advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{kRaiseA});
    EXPECT_TRUE(poListHas("Start time \"" + stamp(30s) +
                          "\" of alarm PCU1,Kas4,1 lies in the future; taken as the time of the fetch"));
    // A new start from Priva Office is a new occurrence.
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 100s));
    advance(10s);
    EXPECT_EQ(withoutWatchdog(newWireLines()), Lines{kRaiseA});
}

TEST_F(GatewayTest, StatusFileWithAnotherRootSendsNothing) {
    writeSiteDefinitions();
    writeDataFile("AlarmStatus.xml", "<OtherStatus/>");
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::ForwardingOtherRoot)));

    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{});
    XmlDocument status;
    ASSERT_TRUE(status.loadFile(poDir + "/AlarmStatus.xml"));
    EXPECT_STREQ(status.root().name(), "OtherStatus");
    EXPECT_STREQ(status.root().child("Alarm").attribute("Sent").value(), "");  // merged, never reported

    advance(50s);
    EXPECT_EQ(newWireLines(), Lines{kWatchdog});
}

}  // namespace
