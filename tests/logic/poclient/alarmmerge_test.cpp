#include "logic/poclient/alarmmerge.h"

#include <gtest/gtest.h>

#include "logic/alarmstatus/alarmstatus.h"

using namespace zampo;
using namespace std::chrono_literals;

namespace {

const TimeMs kNow = *parseStatusTime("20240301T120000");

struct AlarmMergeTest : ::testing::Test {
    DocumentSlot slot = std::make_unique<XmlDocument>();
    void start(const char* status) { ASSERT_TRUE(slot->loadText(status)); }
    AlarmMergeResult merge(std::string_view answer) { return mergeActiveAlarms(answer, slot, kNow); }
    pugi::xml_node alarm(const char* nr) { return slot->root().find_child_by_attribute("Alarm", "nr", nr); }
    std::string attrs(const char* nr) {
        std::string out;
        for (pugi::xml_attribute a : alarm(nr).attributes()) out += std::string(a.name()) + "=" + a.value() + " ";
        return out;
    }
};

}  // namespace

TEST_F(AlarmMergeTest, NewAlarmsAreAppendedInAnswerOrderOnceEach) {
    start(R"(<POAlarmStatus><Alarm pcu="P" location="L" nr="1" State="R" Sent="x"/><Group ZamAlarm="0009 - 01"/>
        </POAlarmStatus>)");
    auto r = merge(R"(<active-alarms><a pcu="P" location="L" nr="2" text="Hoog" start="20240301T110000"/>
        <a location="L" nr="3"/><other pcu="P" location="L" nr="2" text="tweede"/></active-alarms>)");
    ASSERT_TRUE(r.ok && r.listFound);
    EXPECT_EQ(r.added, 2);
    EXPECT_EQ(attrs("2"), "pcu=P location=L nr=2 text=tweede start=20240301T110000 State=A Sent= ");
    EXPECT_EQ(attrs("3"), "pcu=-\\- location=L nr=3 text= start=20240301T120000 State=A Sent= ");
    std::string order;
    for (pugi::xml_node c : slot->root().children()) order += std::string(c.name()) + c.attribute("nr").value() + " ";
    EXPECT_EQ(order, "Alarm1 Group Alarm2 Alarm3 ");
    EXPECT_TRUE(mustReport(alarm("2")));

    // the key with the placeholder is found again
    EXPECT_EQ(merge(R"(<active-alarms><a location="L" nr="3"/></active-alarms>)").added, 0);
}

TEST_F(AlarmMergeTest, TheTwoPhasesExpressEveryChangeThroughStartAndSent) {
    start(R"(<POAlarmStatus>
        <Alarm pcu="P" location="L" nr="same" text="t" start="20240301T100000" State="A" Sent="20240301T100000"
               repeat_at="20240301T130000" Error="1" ErrDt="20240301T100000" Group="0009 - 01"/>
        <Alarm pcu="P" location="L" nr="gone" start="20240301T100000" State="A" Sent="20240301T100000"/>
        <Alarm pcu="P" location="L" nr="never sent" start="20240301T100000" State="A" Sent=""/>
        <Alarm pcu="P" location="L" nr="no Sent" start="20240301T100000" State="A"/>
        <Alarm pcu="P" location="L" nr="restarted" text="t" start="20240301T100000" State="A" Sent="20240301T100000"/>
        <Alarm pcu="P" location="L" nr="was reset" start="20240301T100008" State="R" Sent="20240301T100008"/>
        <Alarm pcu="P" location="L" nr="back" start="20240301T100008" State="R" Sent="20240301T100008"/>
        <Alarm pcu="P" location="L" nr="bad Sent" start="20240301T100000" State="A" Sent="20241301T100000"/>
        </POAlarmStatus>)");
    auto r = merge(R"(<active-alarms>
        <a pcu="P" location="L" nr="same" text="t" start="20240301T100000"/>
        <a pcu="P" location="L" nr="restarted" start="20240301T113000"/>
        <a pcu="P" location="L" nr="back" start="20240301T114500"/></active-alarms>)");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.added, 0);
    EXPECT_EQ(attrs("same"),
              "pcu=P location=L nr=same text=t start=20240301T100000 State=A Sent=20240301T100000 "
              "repeat_at=20240301T130000 Error=1 ErrDt=20240301T100000 Group=0009 - 01 ");
    EXPECT_FALSE(mustReport(alarm("same")));
    EXPECT_EQ(attrs("gone"), "pcu=P location=L nr=gone start=20240301T100008 State=R Sent=20240301T100000 ");
    EXPECT_STREQ(alarm("never sent").attribute("start").value(), "18991230T000008");
    EXPECT_STREQ(alarm("no Sent").attribute("start").value(), "20240301T120000");
    EXPECT_STREQ(alarm("restarted").attribute("text").value(), "");  // follows the answer, which has none
    EXPECT_STREQ(alarm("restarted").attribute("start").value(), "20240301T113000");
    EXPECT_EQ(attrs("was reset"), "pcu=P location=L nr=was reset start=20240301T100008 State=R Sent=20240301T100008 ");
    EXPECT_STREQ(alarm("back").attribute("State").value(), "A");
    EXPECT_STREQ(alarm("back").attribute("start").value(), "20240301T114500");
    // an unreadable Sent reads as time zero instead of stopping every later merge
    EXPECT_STREQ(alarm("bad Sent").attribute("start").value(), "18991230T000008");
    for (const char* nr : {"gone", "never sent", "no Sent", "restarted", "back"})
        EXPECT_TRUE(mustReport(alarm(nr))) << nr;
    EXPECT_FALSE(mustReport(alarm("was reset")));
}

TEST_F(AlarmMergeTest, AnAlarmListedWithoutAUsableStartIsReportedOnlyWhenItChanges) {
    start(R"(<POAlarmStatus>
        <Alarm pcu="P" location="L" nr="active" start="20240301T100000" State="A" Sent="20240301T100000"/>
        <Alarm pcu="P" location="L" nr="back" start="20240301T100008" State="R" Sent="20240301T100008"/>
        </POAlarmStatus>)");
    merge(R"(<active-alarms><a pcu="P" location="L" nr="active"/><a pcu="P" location="L" nr="back"/>
        <a pcu="P" location="L" nr="new" start="10:00"/><a pcu="P" location="L" nr="active" start="20240301T110000"/>
        <a pcu="P" location="L" nr="active"/></active-alarms>)");
    // still active: keeps its start; a later duplicate with a start of its own wins over a restore
    EXPECT_STREQ(alarm("active").attribute("start").value(), "20240301T110000");
    // back after its reset, and new with a start in another form: raised now
    EXPECT_STREQ(alarm("back").attribute("start").value(), "20240301T120000");
    EXPECT_STREQ(alarm("new").attribute("start").value(), "20240301T120000");
    merge(R"(<active-alarms><a pcu="P" location="L" nr="active"/></active-alarms>)");
    EXPECT_STREQ(alarm("active").attribute("start").value(), "20240301T110000");
    slot->root().find_child_by_attribute("nr", "active").attribute("Sent") = "20240301T110000";
    merge(R"(<active-alarms><a pcu="P" location="L" nr="active"/></active-alarms>)");
    EXPECT_FALSE(mustReport(alarm("active")));
}

TEST_F(AlarmMergeTest, AStartAheadOfTheGatewaysClockIsOneOccurrenceUntilPrivaOfficeChangesIt) {
    start("<POAlarmStatus/>");
    auto at = [&](const char* start, TimeMs now) {
        mergeActiveAlarms(std::string(R"(<active-alarms><a pcu="P" location="L" nr="1" start=")") + start + "\"/>" +
                              "</active-alarms>",
                          slot, now);
    };
    auto report = [&] { alarm("1").attribute("Sent") = alarm("1").attribute("start").value(); };
    at("20240301T120020", kNow);  // 20 s ahead
    EXPECT_EQ(attrs("1"), "pcu=P location=L nr=1 text= start=20240301T120000 State=A Sent= po_start=20240301T120020 ");
    report();
    for (auto later : {10s, 30s, 60s}) {
        at("20240301T120020", kNow + later);
        EXPECT_FALSE(mustReport(alarm("1"))) << later.count();
    }
    EXPECT_STREQ(alarm("1").attribute("start").value(), "20240301T120000");
    // a new start from Priva Office is a new occurrence, in the past or not
    at("20240301T120200", kNow + 90s);
    EXPECT_STREQ(alarm("1").attribute("start").value(), "20240301T120130");
    EXPECT_TRUE(mustReport(alarm("1")));
    report();
    at("20240301T120135", kNow + 2min);
    EXPECT_EQ(attrs("1"), "pcu=P location=L nr=1 text= start=20240301T120135 State=A Sent=20240301T120130 ");
    EXPECT_TRUE(mustReport(alarm("1")));
}

TEST_F(AlarmMergeTest, AResetNotYetReportedIsKeptWhenTheAlarmIsListedAgain) {
    start(R"(<POAlarmStatus>
        <Alarm pcu="P" location="L" nr="1" start="20240301T100000" State="A" Sent="20240301T100000"/>
        <Alarm pcu="P" location="L" nr="2" start="20240301T100000" State="A" Sent=""/></POAlarmStatus>)");
    merge("<active-alarms/>");
    EXPECT_EQ(attrs("2"), "pcu=P location=L nr=2 start=18991230T000008 State=R Sent= RaisePending=1 ");
    merge(R"(<active-alarms><a pcu="P" location="L" nr="1" start="20240301T115000"/>
        <a pcu="P" location="L" nr="2" start="20240301T115000"/></active-alarms>)");
    EXPECT_EQ(attrs("1"), "pcu=P location=L nr=1 start=20240301T115000 State=A Sent=20240301T100000 text= Pending=1 ");
    EXPECT_EQ(attrs("2"), "pcu=P location=L nr=2 start=20240301T115000 State=A Sent= text= Pending=2 ");
    // still listed as the same occurrence: nothing added
    merge(R"(<active-alarms><a pcu="P" location="L" nr="1" start="20240301T115000"/></active-alarms>)");
    EXPECT_EQ(attrs("1"), "pcu=P location=L nr=1 start=20240301T115000 State=A Sent=20240301T100000 text= Pending=1 ");
    EXPECT_EQ(pendingChanges(alarm("2")), 3);
    EXPECT_FALSE(nextReportIsReset(alarm("2")));  // raise, reset, raise, then the present reset
}

TEST_F(AlarmMergeTest, WithoutAListEveryActiveAlarmIsResetAndNothingAdded) {
    for (const char* answer : {"<active-alarms/>", "<html><a pcu=\"P\" location=\"L\" nr=\"1\"/></html>"}) {
        start(R"(<Whatever><Alarm pcu="P" location="L" nr="1" start="20240301T100000" State="A"
            Sent="20240301T100000"/></Whatever>)");
        auto r = merge(answer);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.listFound, std::string(answer) == "<active-alarms/>");
        EXPECT_EQ(attrs("1"), "pcu=P location=L nr=1 start=20240301T100008 State=R Sent=20240301T100000 ");
        EXPECT_EQ(std::distance(slot->root().begin(), slot->root().end()), 1);
    }
}

TEST_F(AlarmMergeTest, BadAnswerOrUnreadableFileFailsBeforeAnyChange) {
    start(R"(<POAlarmStatus><Alarm pcu="P" location="L" nr="1" start="x" State="A" Sent=""/></POAlarmStatus>)");
    const std::string before = slot->toText();
    auto r = merge("<active-alarms><a pcu=\"P\"></active-alarms>");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("not well-formed"), std::string::npos) << r.error;
    EXPECT_FALSE(r.fetchMessage.empty());
    EXPECT_EQ(slot->toText(), before);

    DocumentSlot never;
    EXPECT_FALSE(mergeActiveAlarms("<active-alarms/>", never, kNow).ok);
}
