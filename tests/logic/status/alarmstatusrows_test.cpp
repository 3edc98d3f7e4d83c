#include "logic/status/alarmstatusrows.h"

#include <gtest/gtest.h>

#include "logic/poclient/alarmstatus.h"
#include "logic/texts/langtext.h"

using namespace zampo;
using namespace std::chrono_literals;

namespace {

const TimeMs kNow = *parseStatusTime("20240301T120000");

struct AlarmStatusRowsTest : ::testing::Test {
    void SetUp() override {
        loadLangTexts("ENG");
        ASSERT_TRUE(zam.loadText(R"(<ZamAlarmDefinitions>
            <Location Code="12" Name="Kassen"><Alarm Code="3" Name="Brand"/></Location>
            <Location Code="100"><Alarm Code="7" Name="Groep" GroupDelay="60"/></Location></ZamAlarmDefinitions>)"));
        ASSERT_TRUE(links.loadText(R"(<ZamPOLinkDefs><PO_Locations>
            <PO_loc pcu="PCU1" text="Kas 4" zam_alarm="0012 - 03"/>
            <PO_loc pcu="PCU1" text="Kas5" zam_alarm="0012 - 03" zam_group="0100 - 07"/>
            </PO_Locations><PO_Exceptions/></ZamPOLinkDefs>)"));
    }
    void TearDown() override { resetLangTexts(); }
    std::vector<AlarmStatusRow> rows(const std::string& elements) {
        EXPECT_TRUE(status.loadText("<POAlarmStatus>" + elements + "</POAlarmStatus>"));
        return buildAlarmStatusRows(&status, &links, &zam, kNow);
    }
    XmlDocument zam, links, status;
};

TEST_F(AlarmStatusRowsTest, AlarmsShowLinkStateReportAndError) {
    const auto r = rows(
        // reported, repeat due later
        R"(<Alarm pcu="PCU1" location="Kas 4" nr="1" text="Fire" start="20240301T110000" State="A"
                  Sent="20240301T110000" repeat_at="20240301T121500"/>)"
        // new, not reported yet; the link names a group
        R"(<Alarm pcu="PCU1" location="Kas5" nr="2" start="20240301T115959" State="A" Sent=""/>)"
        // reset and reported, after a send that went unanswered; no link
        R"(<Alarm pcu="PCU9" location="Elsewhere" nr="3" start="20240301T100008" State="R"
                  Sent="20240301T100008" Error="3" ErrDt="20240301T100008" repeat_at="20240301T130000"/>)"
        // stored with a blank the link was made without
        R"(<Alarm pcu="PCU1" location="Kas 5" nr="4" start="20240301T100000" State="A" Sent="20240301T100000"/>)");
    ASSERT_EQ(r.size(), 4u);

    EXPECT_EQ(r[0].zamAlarm, "0012 - 03 Brand");
    EXPECT_TRUE(r[0].active);
    EXPECT_EQ(r[0].stateText, "active");
    EXPECT_EQ(r[0].since, parseStatusTime("20240301T110000"));
    EXPECT_EQ(r[0].reportedAt, parseStatusTime("20240301T110000"));
    EXPECT_FALSE(r[0].toReport);
    EXPECT_EQ(r[0].nextRepeat, parseStatusTime("20240301T121500"));
    EXPECT_TRUE(r[0].errorText.empty());

    EXPECT_TRUE(r[1].toReport);
    EXPECT_FALSE(r[1].reportedAt);
    EXPECT_EQ(r[1].zamGroup, "0100 - 07 Groep");

    EXPECT_FALSE(r[2].linked);
    EXPECT_EQ(r[2].zamAlarm, "no link");
    EXPECT_EQ(r[2].stateText, "reset");
    EXPECT_EQ(r[2].errorText, "no answer within 10 seconds");
    EXPECT_FALSE(r[2].nextRepeat) << "a reset alarm is not repeated";

    EXPECT_EQ(r[3].zamAlarm, "0012 - 03 Brand");

    const AlarmStatusCounts c = countAlarmStatusRows(r);
    EXPECT_EQ(c.active, 3);
    EXPECT_EQ(c.reset, 1);
    EXPECT_EQ(c.toReport, 1);
}

TEST_F(AlarmStatusRowsTest, GroupsShowDelayLeftUntilReported) {
    const auto r =
        rows(R"(<Group ZamAlarm="0100 - 07" State="A" Timeout="20240301T120045" Text="Kas5 Fire" repeat="0"/>)"
             R"(<Group ZamAlarm="0012 - 03" State="A" Timeout="20240301T115000" Sent="20240301T115001" Error="1"/>)"
             R"(<Group ZamAlarm="0020 - 01" State="R" Timeout="20240301T100000"/>)");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_TRUE(r[0].group);
    EXPECT_EQ(r[0].zamGroup, "0100 - 07 Groep");
    EXPECT_EQ(r[0].delayLeftSeconds, 45);
    EXPECT_TRUE(r[0].toReport);
    EXPECT_EQ(r[0].since, parseStatusTime("20240301T115945"));

    EXPECT_FALSE(r[1].delayLeftSeconds);
    EXPECT_FALSE(r[1].toReport);
    EXPECT_EQ(r[1].reportedAt, parseStatusTime("20240301T115001"));
    EXPECT_EQ(r[1].errorText, "refused by ZamMeld, sent again");

    EXPECT_TRUE(r[2].toReport) << "a reset group without Sent reports its reset";
    EXPECT_NE(r[0].key(), r[1].key());
}

TEST_F(AlarmStatusRowsTest, OtherRootGivesNoRows) {
    ASSERT_TRUE(status.loadText(R"(<Other><Alarm pcu="a" location="b" nr="1" State="A"/></Other>)"));
    EXPECT_TRUE(buildAlarmStatusRows(&status, &links, &zam, kNow).empty());
    EXPECT_TRUE(buildAlarmStatusRows(nullptr, &links, &zam, kNow).empty());
}

}  // namespace
