// The gateway watching itself and Priva Office: watchdog, lasting failures,
// definitions fetches and a failing step of the loop, as the receiver sees them.
#include <algorithm>
#include <optional>

#include "gatewayfixture.h"
#include "logic/xml/xmlstore.h"
#include "runtime/mainloop.h"
#include "support/loopback.h"
#include "support/testhosts.h"

using namespace zampo;
using namespace zampo::test;
using namespace std::chrono_literals;

namespace {

TEST_F(GatewayTest, WatchdogShortFormForIdZeroSentThreeTimesOnRefusalAndWithIdSeven) {
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::SupervisionWatchdogShortForm), "nak,nak,nak,ok", {}, 0));
    advance(60s);
    EXPECT_EQ(newWireLines(), Lines(3, "[ZAM WD 09]"));  // then it gives up until the next due time
    advance(60s);
    EXPECT_EQ(newWireLines(), Lines{"[ZAM WD 09]"});

    stopGateway();
    ASSERT_NO_FATAL_FAILURE(startGateway(7));
    advance(60s);
    EXPECT_EQ(newWireLines(), Lines{"[ZAM WD 09 7]"});
}

TEST_F(GatewayTest, PrivaOfficeFailingForMoreThanFiveMinutesRaisesSystemAlarm8OnceAndSuccessResetsIt) {
    writeSiteDefinitions();
    const std::string control = dir.path() + "/posim-control";
    writeFile(control, "fail");
    ASSERT_NO_FATAL_FAILURE(
        start(testHost(TestHost::SupervisionPrivaOfficeFailing), "ok", {"--control", QString::fromStdString(control)}));

    const std::string raise = "[ZAM RCVALARM 02,9999,8,A]";
    std::optional<TimeMs> raisedAt;
    for (int i = 0; i < 35 && !HasFailure(); ++i) {
        advance(10s);
        const Lines q = queued();
        if (!raisedAt && std::find(q.begin(), q.end(), raise) != q.end()) raisedAt = clock.nowUtc();
    }
    // The first poll failed at 10 s; the alarm comes with the first failure more than 300 s later.
    ASSERT_TRUE(raisedAt);
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(*raisedAt - kT0).count(), 320);
    EXPECT_EQ(newWireLines(), (Lines{kWatchdog, kWatchdog, kWatchdog, kWatchdog, kWatchdog, raise}));
    EXPECT_EQ(window.statusText, "Error communicating with PO server");
    EXPECT_EQ(gateway->state().shownStatus, kFaultPriva);

    // Back with an alarm: the reset and the raise are both on the wire when the OK
    // of the reset comes, and the NAK 30 ms later is the raise's own.
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "3", "Temp hoog", 325s));
    ASSERT_TRUE(zamsim.setMode("ok,ok+300,nak+330,ok"));
    writeFile(control, "");
    advance(10s);
    EXPECT_EQ(newWireLines(), (Lines{kWatchdog, "[ZAM RCVALARM 02,9999,8,R]", kRaiseA, kConfigError}));
    EXPECT_EQ(window.statusText, "Application running");
    EXPECT_EQ(gateway->state().shownStatus, kFaultNone);
    EXPECT_EQ(searchNode(gateway->alarmStatus()->root(), "Alarm", {"nr"}, {"3"}).attribute("Error").as_string(),
              std::string("1"));
    EXPECT_FALSE(gateway->poMonitor().resetOwed());
    advance(10s);
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{});
}

TEST_F(GatewayTest, DefinitionsFetchAddsLocationsReportsUndefinedLinksAndCleansUpResets) {
    writeSiteDefinitions();
    writeDataFile("AlarmStatus.xml",
                  "<POAlarmStatus><Alarm pcu=\"PCU1\" location=\"Kas4\" nr=\"3\" text=\"weg\" start=\"" + stamp(-52s) +
                      "\" State=\"R\" Sent=\"" + stamp(-52s) + "\"/></POAlarmStatus>");
    const std::string definitions = dir.path() + "/definitions.xml";
    writeFile(definitions, R"(<alarmserverconfig><alarmlocations>
        <alarmlocation pcu="PCU1" text="Kas4"/><alarmlocation pcu="PCU9" text="Nieuw"/></alarmlocations>
        <alarmtypes><alarmtype nr="1" text="Temp hoog"/></alarmtypes></alarmserverconfig>)");
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::SupervisionDefinitionsFetch), "ok",
                                  {"--definitions", QString::fromStdString(definitions)}));

    advance(290s);
    EXPECT_EQ(newWireLines(), Lines{kWatchdog});
    EXPECT_EQ(posim.count("GET /office/alarm/alarmserverconfig"), 0);

    advance(10s);  // 300 s after the start
    EXPECT_EQ(newWireLines(), Lines{"[ZAM RCVALARM 02,9999,9,A]"});
    EXPECT_EQ(posim.count("GET /office/alarm/alarmserverconfig"), 1);
    EXPECT_TRUE(poListHas("Undefined links found!"));
    const pugi::xml_node added = searchNode(gateway->linkDefs()->root(), "PO_loc", {"pcu", "text"}, {"PCU9", "Nieuw"});
    ASSERT_TRUE(added);
    EXPECT_STREQ(added.attribute("zam_alarm").value(), "0");
    EXPECT_EQ(window.gridRefills, 1);
    EXPECT_EQ(readDataFile("AlarmStatus.xml").find("nr=\"3\""), std::string::npos) << readDataFile("AlarmStatus.xml");
}

TEST_F(GatewayTest, AnErrorInAStepIsLoggedWithItsStateAndTheLoopStartsAgain) {
    writeSiteDefinitions();
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::SupervisionErrorInAStep)));

    // While the loop builds the alarm's message.
    clock.failWhen = [this] { return gateway->loopSteps().stateAs<MainLoop::State>() == MainLoop::State::SendAlarm; };
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{});
    const std::string log = logText();
    EXPECT_NE(log.find("<<tmmMain, state:10><"), std::string::npos) << log;
    EXPECT_NE(log.find("><clock gone><std::runtime_error>>"), std::string::npos) << log;
    EXPECT_EQ(receiverListCount("PO connection initialized"), 2);

    advance(10s);  // the restarted loop's first poll
    EXPECT_EQ(newWireLines(), Lines{"[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]"});

    // Its timers count from the restart: the first definitions fetch comes 300 s after it.
    advance(280s);
    EXPECT_EQ(newWireLines(), Lines{kWatchdog});
    EXPECT_EQ(posim.count("GET /office/alarm/alarmserverconfig"), 0);
    advance(10s);
    EXPECT_EQ(posim.count("GET /office/alarm/alarmserverconfig"), 1);
    EXPECT_EQ(newWireLines(), Lines{});

    // At the reload checkpoint before a step in state 3 (the look at the definition
    // files): the same restart, and the loop goes on stepping.
    gateway->watchDefinitionFiles();
    clock.failWhen = [this] { return gateway->loopSteps().stateAs<MainLoop::State>() == MainLoop::State::Wait; };
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s) +
                    activeAlarm("PCU1", "Kas4", "2", "Vocht hoog", 305s));
    moveClock(1s);
    ASSERT_TRUE(waitUntil([this] { return logText().find("<<tmmMain, state:3><") != std::string::npos; })) << logText();
    ASSERT_TRUE(waitUntil([this] { return settled(); }));
    EXPECT_EQ(receiverListCount("PO connection initialized"), 3);
    advance(10s);
    EXPECT_EQ(newWireLines(), Lines{kRaiseB});
}

}  // namespace
