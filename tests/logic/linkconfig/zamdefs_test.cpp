#include "logic/linkconfig/zamdefs.h"

#include <gtest/gtest.h>

using namespace zampo;

namespace {
std::pair<std::string, std::string> split(std::string_view ref) {
    ZamAlarmCodes c = splitZamAlarmRef(ref);
    return {c.location, c.alarm};
}
using Codes = std::pair<std::string, std::string>;
const Codes kNone{"0", "0"};
}  // namespace

TEST(ZamDefs, SplitReadsFourDigitsSeparatorAndTwoDigits) {
    EXPECT_EQ(split("0012 - 05"), Codes("12", "5"));
    EXPECT_EQ(split("9999 - 99"), Codes("9999", "99"));
    EXPECT_EQ(split("0012 - 05 trailing"), Codes("12", "5"));  // nothing after the ninth character is read
    EXPECT_EQ(split("0012 - 5"), Codes("12", "5"));            // a short alarm part is still a number
    for (const char* bad :
         {"", "0", "12 - 05", "00012 - 05", "0012-05", "ab12 - 05", " 012 - 05", "+012 - 05", "0012 - x5", "0012 - "})
        EXPECT_EQ(split(bad), kNone) << '"' << bad << '"';
}

TEST(ZamDefs, LookupsFindTheAlarmUnderItsOwnLocationOnly) {
    XmlDocument d;
    ASSERT_TRUE(d.loadText(R"(<ZamAlarmDefinitions>
        <Location Code="12"><Alarm Code="5" GroupDelay="90" Repeat="15"/><Alarm Code="6"/>
            <Alarm Code="7" GroupDelay="abc" Repeat="-5"/><Alarm Code="08" Repeat="3"/></Location>
        <Location Code="13"><Alarm Code="9" Repeat="4"/></Location>
        <Location Name="hand-edited, no code"><Alarm Name="no code" GroupDelay="77" Repeat="77"/></Location>
    </ZamAlarmDefinitions>)"));
    EXPECT_EQ(getGroupDelay(d, "0012 - 05"), 90);
    EXPECT_EQ(getRepeat(d, "0012 - 05"), 15);
    // missing, not a number, negative (would repeat without pause): all 0
    EXPECT_EQ(getGroupDelay(d, "0012 - 06"), 0);
    EXPECT_EQ(getGroupDelay(d, "0012 - 07"), 0);
    EXPECT_EQ(getRepeat(d, "0012 - 07"), 0);
    // codes are compared as plain decimal text: 08 in the file is not alarm 8
    EXPECT_FALSE(zamAlarmExists(d, "0012 - 08"));
    // alarm 9 exists only at location 13
    EXPECT_TRUE(zamAlarmExists(d, "0013 - 09"));
    EXPECT_FALSE(zamAlarmExists(d, "0012 - 09"));
    EXPECT_EQ(getRepeat(d, "0012 - 09"), 0);
    // a malformed reference finds nothing, not even elements without a Code
    EXPECT_FALSE(zamAlarmExists(d, "garbage"));
    EXPECT_EQ(getRepeat(d, ""), 0);
    // a well-formed reference to an unknown location reaches the code-less one,
    // as every search does on hand-edited files
    EXPECT_EQ(getRepeat(d, "0077 - 77"), 77);

    XmlDocument empty;  // never loaded
    EXPECT_FALSE(zamAlarmExists(empty, "0012 - 05"));
}
