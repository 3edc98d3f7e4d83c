#include "logic/alarmstatus/alarmstatus.h"

#include <gtest/gtest.h>

using namespace zampo;
using namespace std::chrono;

namespace {
TimeMs at(int y, unsigned mo, unsigned d, int h, int mi, int s, int ms = 0) {
    return TimeMs{sys_days{year{y} / mo / d} + hours{h} + minutes{mi} + seconds{s} + milliseconds{ms}};
}
}  // namespace

TEST(StatusTime, WritesTheSecondItFallsInAndReadsItBackExactly) {
    EXPECT_EQ(formatStatusTime(at(2024, 2, 29, 23, 59, 59, 999)), "20240229T235959");
    EXPECT_EQ(readStatusTime("20240229T235959"), at(2024, 2, 29, 23, 59, 59));
    EXPECT_EQ(formatStatusTime(statusTimeZero() + seconds{8}), "18991230T000008");
    EXPECT_EQ(readStatusTime("18991230T000008"), statusTimeZero() + seconds{8});
    EXPECT_EQ(readStatusTime("20240229X235959"), at(2024, 2, 29, 23, 59, 59));  // the ninth character is not looked at
    EXPECT_EQ(toDayNumber(statusTimeZero()), 0.0);
}

TEST(StatusTime, AnythingUnreadableIsTimeZero) {
    for (const char* bad : {"", "2024", "20240229T2359590", "20241329T235959", "20240230T120000", "2024022aT235959",
                            "20240229T240000", "20240229T-10000"}) {
        EXPECT_EQ(readStatusTime(bad), statusTimeZero()) << bad;
        EXPECT_FALSE(parseStatusTime(bad)) << bad;
    }
}

TEST(StatusTime, ReportingRuleComparesStartWithSent) {
    XmlDocument d;
    ASSERT_TRUE(d.loadText(R"(<POAlarmStatus>
        <Alarm start="20240101T100000" Sent=""/><Alarm start="20240101T100000"/>
        <Alarm start="20240101T100000" Sent="20240101T100000"/><Alarm start="20240101T100008" Sent="20240101T100000"/>
        <Alarm start="garbage" Sent=""/><Alarm start="20240101T100000" Sent="20240101T100001"/></POAlarmStatus>)"));
    std::vector<bool> report;
    for (pugi::xml_node a : d.root().children()) report.push_back(mustReport(a));
    EXPECT_EQ(report, (std::vector<bool>{true, true, false, true, false, false}));
}

TEST(StatusCleanUp, RemovesEveryReportedResetChildWhateverItsNameAndKeepsTheOrder) {
    XmlDocument d;
    ASSERT_TRUE(
        d.loadText(R"(<POAlarmStatus><Alarm nr="1" State="R"/><Group State="R" Sent=""/><Alarm nr="2" State="A"/>
        <Other State="R"/><Alarm nr="3"/><Alarm nr="4" State="r"/><Alarm nr="5" State="R"/><Alarm nr="6" State="R"/>
        <Alarm nr="7" State="R" start="20240101T000008" Sent="20240101T000000"/><Group nr="8" State="R"/>
        <Alarm nr="9" State="R" start="20240101T000008" Sent="20240101T000008" RaisePending="1"/>
        <Alarm nr="0" State="R" start="20240101T000008" Sent="20240101T000008" Pending="2"/>
        </POAlarmStatus>)"));
    EXPECT_EQ(cleanUpResetElements(d), 5);
    std::string left;
    for (pugi::xml_node c : d.root().children()) left += c.attribute("nr").value();
    // Resets not reported yet stay: an Alarm whose start is later than Sent, a
    // Group without Sent, changes still to go out before its reset.
    EXPECT_EQ(left, "2347890");

    XmlDocument other;
    ASSERT_TRUE(other.loadText(R"(<Status><Alarm State="R"/></Status>)"));
    EXPECT_EQ(cleanUpResetElements(other), 0);
    EXPECT_TRUE(other.root().child("Alarm"));
}
