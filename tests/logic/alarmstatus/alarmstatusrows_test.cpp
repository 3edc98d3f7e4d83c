#include "logic/alarmstatus/alarmstatusrows.h"
#include "logic/alarmstatus/alarmstatusrowedit.h"

#include <gtest/gtest.h>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/language/langtext.h"

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

TEST_F(AlarmStatusRowsTest, ABuildIntoTheRowsBeforeHoldsWhatAFreshBuildHolds) {
    const std::string alarms =
        R"(<Alarm pcu="PCU1" location="Kas5" nr="1" text="Fire" start="20240301T110000" State="A"
                  Sent="20240301T110000" repeat_at="20240301T121500" Error="3"/>)"
        R"(<Alarm pcu="PCU9" location="Elders" nr="2" start="20240301T115959" State="R" Sent=""/>)";
    const std::string groups =
        R"(<Group ZamAlarm="0100 - 07" State="A" Timeout="20240301T120045" Text="Kas5 Fire"/>)"
        R"(<Group ZamAlarm="0012 - 03" State="A" Timeout="20240301T115000" Sent="20240301T115001" Error="1"/>)"
        R"(<Group ZamAlarm="0020 - 01" State="R" Timeout="20240301T100000"/>)";
    // The storage of other rows, nothing taken over.
    for (const auto& [first, second] : {std::pair{alarms, groups}, std::pair{groups + alarms, alarms}}) {
        std::vector<AlarmStatusRow> reused = rows(first);
        const std::vector<AlarmStatusRow> fresh = rows(second);
        buildAlarmStatusRows(&status, &links, &zam, kNow, reused, {});
        EXPECT_EQ(reused, fresh);
    }

    // Rows from the build before: after a repeat fell due, a link changed, a ZAM
    // alarm was renamed and the language changed.
    std::vector<AlarmStatusRow> earlier = rows(alarms + groups), again;
    ASSERT_FALSE(earlier[0].toReport);
    const TimeMs later = kNow + 20min;
    buildAlarmStatusRows(&status, &links, &zam, later, again, earlier);
    EXPECT_EQ(again, buildAlarmStatusRows(&status, &links, &zam, later));
    EXPECT_TRUE(again[0].toReport);
    links.root().child("PO_Locations").find_child_by_attribute("text", "Kas5").attribute("zam_group").set_value("");
    buildAlarmStatusRows(&status, &links, &zam, later, earlier, again);
    EXPECT_EQ(earlier[0].zamGroup, "");
    zam.root().first_child().first_child().attribute("Name").set_value("Vuur");
    buildAlarmStatusRows(&status, &links, &zam, later, again, earlier);
    EXPECT_EQ(again[0].zamAlarm, "0012 - 03 Vuur");
    loadLangTexts("NLD");
    buildAlarmStatusRows(&status, &links, &zam, later, earlier, again);
    EXPECT_EQ(earlier, buildAlarmStatusRows(&status, &links, &zam, later));
    EXPECT_EQ(earlier[1].stateText, "hersteld");
}

TEST_F(AlarmStatusRowsTest, OtherRootGivesNoRows) {
    ASSERT_TRUE(status.loadText(R"(<Other><Alarm pcu="a" location="b" nr="1" State="A"/></Other>)"));
    EXPECT_TRUE(buildAlarmStatusRows(&status, &links, &zam, kNow).empty());
    EXPECT_TRUE(buildAlarmStatusRows(nullptr, &links, &zam, kNow).empty());
}

}  // namespace

TEST(AlarmStatusRowEditTest, RemovalsAndAdditionsAsRunsAndAReorderAsNone) {
    auto alarms = [](std::initializer_list<const char*> nrs) {
        std::vector<AlarmStatusRow> r;
        for (const char* nr : nrs) {
            AlarmStatusRow row;
            row.pcu = "PCU1";
            row.location = "Kas 4";
            row.nr = nr;
            r.push_back(row);
        }
        return r;
    };
    const auto before = alarms({"1", "2", "3", "4", "5", "6"});
    const auto edit = planRowEdit(before, alarms({"0", "1", "3", "4", "7", "8", "6", "9"}));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->removed, (std::vector<RowRange>{{1, 1}, {4, 1}}));
    EXPECT_EQ(edit->inserted, (std::vector<RowRange>{{0, 1}, {4, 2}, {7, 1}}));

    EXPECT_FALSE(planRowEdit(before, alarms({"1", "3", "2", "4", "5", "6"})));
    // A group is known by its reference, not by its name or state.
    AlarmStatusRow group;
    group.group = true;
    group.zamGroup = "0100 - 07 Groep";
    AlarmStatusRow renamed = group;
    renamed.zamGroup = "0100 - 07 Ketel";
    renamed.active = true;
    EXPECT_TRUE(sameElement(group, renamed));
    const auto unchanged = planRowEdit({group}, {renamed});
    ASSERT_TRUE(unchanged);
    EXPECT_TRUE(unchanged->removed.empty() && unchanged->inserted.empty());
}
