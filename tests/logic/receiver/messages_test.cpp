#include "logic/receiver/messages.h"

#include <gtest/gtest.h>

using namespace zampo;

namespace {

using Lines = std::vector<std::string>;

TEST(Messages, LinkedAlarmKeepsTheFieldsAsStoredAndCutsTheTextTo80Characters) {
    EXPECT_EQ(linkedAlarmMessage("0012", "03", 'T', "PCU1 Kas4 Temp hoog"),
              "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]");
    EXPECT_EQ(linkedAlarmMessage("0012", "03", 'R', ""), "[ZAM RCVALARM 02,0012,03,R,,]");

    const std::string prefixed = "PreAlarm: " + std::string(120, 'x');
    EXPECT_EQ(linkedAlarmMessage("0001", "01", 'T', prefixed),
              "[ZAM RCVALARM 02,0001,01,T,,PreAlarm: " + std::string(70, 'x') + "]");

    // Characters, not bytes: a cut never splits an accented letter.
    std::string accents;
    for (int i = 0; i < 100; ++i) accents += "\xC3\xA9";
    const std::string m = linkedAlarmMessage("0001", "01", 'T', accents);
    EXPECT_EQ(m, "[ZAM RCVALARM 02,0001,01,T,," + accents.substr(0, 160) + "]");
}

TEST(Messages, GroupAlarmStateFollowsResetAndText) {
    EXPECT_EQ(groupAlarmMessage("0100 - 07", false, ""), "[ZAM RCVALARM 02,0100,07,A,,]");
    EXPECT_EQ(groupAlarmMessage("0100 - 07", false, "Kas4 Temp"), "[ZAM RCVALARM 02,0100,07,T,,Kas4 Temp]");
    EXPECT_EQ(groupAlarmMessage("0100 - 07", true, "Kas4 Temp"), "[ZAM RCVALARM 02,0100,07,R,,]");
    // The group text is sent whole.
    EXPECT_EQ(groupAlarmMessage("0100 - 07", false, std::string(90, 'g')),
              "[ZAM RCVALARM 02,0100,07,T,," + std::string(90, 'g') + "]");
}

TEST(Messages, SystemWatchdogAndTestMessages) {
    EXPECT_EQ(systemAlarmMessage(8, true), "[ZAM RCVALARM 02,9999,8,A]");
    EXPECT_EQ(systemAlarmMessage(9, false), "[ZAM RCVALARM 02,9999,9,R]");
    EXPECT_EQ(watchdogMessage(0), "[ZAM WD 09]");
    EXPECT_EQ(watchdogMessage(-1), "[ZAM WD 09]");
    EXPECT_EQ(watchdogMessage(7), "[ZAM WD 09 7]");
    EXPECT_EQ(testMessage("000001", "01", "A"), "[ZAM RCVALARM 02,000001,01,A]");
}

TEST(Messages, OnlyTheBeginningOfAReplyCounts) {
    EXPECT_EQ(classifyReply("OK"), ReplyKind::Accepted);
    EXPECT_EQ(classifyReply("OKAY"), ReplyKind::Accepted);
    EXPECT_EQ(classifyReply("NAK"), ReplyKind::Refused);
    EXPECT_EQ(classifyReply("NAKED"), ReplyKind::Refused);
    EXPECT_EQ(classifyReply("ok"), ReplyKind::Unrecognised);
    EXPECT_EQ(classifyReply(" OK"), ReplyKind::Unrecognised);
    EXPECT_EQ(classifyReply("\nOK"), ReplyKind::Unrecognised);
    EXPECT_EQ(classifyReply(""), ReplyKind::Unrecognised);
}

TEST(Messages, RepliesAreCutAtCarriageReturnsOnly) {
    EXPECT_EQ(splitReplyLines("OK"), Lines{});
    EXPECT_EQ(splitReplyLines("\rOK\r"), Lines{"OK"});
    EXPECT_EQ(splitReplyLines("OK\r\nOK\r\n"), (Lines{"OK", "\nOK"}));
    EXPECT_EQ(splitReplyLines("\r\r\rNAK\r\rOK\rtail"), (Lines{"NAK", "OK"}));
    EXPECT_EQ(splitReplyLines(std::string_view("A\0B\r", 4)), Lines{std::string("A\0B", 3)});
}

TEST(Messages, ControlCharactersBecomeBlanks) {
    EXPECT_EQ(blankControlChars("a\rb\nc\td\x7F"
                                "e"),
              "a b c d e");
    EXPECT_EQ(blankControlChars(std::string("x\0y", 3)), "x y");
    EXPECT_EQ(blankControlChars("C1:\xC2\x85|\xC2\xA0|\xC3\xA9"), "C1: |\xC2\xA0|\xC3\xA9");
    EXPECT_EQ(blankControlChars("[ZAM WD 09]"), "[ZAM WD 09]");
}

}  // namespace
