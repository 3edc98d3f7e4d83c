#include "logic/forwarding/elementwalk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/commissioning/routeexplain.h"
#include "logic/encoding/textrules.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linklookup.h"
#include "logic/poclient/alarmmerge.h"

using namespace zampo;
using namespace std::chrono_literals;

namespace {

const TimeMs kT0 = *parseStatusTime("20240301T120000");

const char* kZamDefs = R"(<ZamAlarmDefinitions>
    <Location Code="12"><Alarm Code="3" Repeat="15"/><Alarm Code="4"/></Location>
    <Location Code="20"><Alarm Code="1"/></Location>
    <Location Code="100"><Alarm Code="7" GroupDelay="60" Repeat="5"/></Location></ZamAlarmDefinitions>)";

const char* kLinkDefs = R"(<ZamPOLinkDefs><PO_Locations>
    <PO_loc pcu="PCU1" text="Kas4" zam_alarm="0012 - 03"/>
    <PO_loc pcu="PCU1" text="Kas5" zam_alarm="0012 - 04" zam_group="0100 - 07">
        <Except nr="9" zam_alarm="0020 - 01"/><Except nr="8" zam_alarm=""/></PO_loc>
    <PO_loc pcu="-\-" text="AB C" zam_alarm="0012 - 03"/>
    <PO_loc pcu="PCU1" text="Kas 6" zam_alarm="0020 - 01"/>
    <PO_loc pcu="PCU1" text="Bad" zam_alarm="0020 - 01" zam_group="00x1 - 07"/>
    </PO_Locations><PO_Exceptions>
    <Except nr="7" zam_alarm="0020 - 01" zam_group="0100 - 07"/><Except nr="6" zam_alarm="" zam_group="0100 - 07"/>
    </PO_Exceptions></ZamPOLinkDefs>)";

std::string alarm(const std::string& location, const std::string& nr, const std::string& more = "") {
    return R"(<Alarm pcu="PCU1" location=")" + location + R"(" nr=")" + nr +
           R"(" start="20240301T115900" State="A" Sent="" )" + more + "/>";
}

// The loop's walk through the elements, with ZamMeld's answers taken from replies
// ("OK" when none is left; an empty one stands for silence).
struct EvaluationTest : ::testing::Test {
    void SetUp() override {
        loadLangTexts("ENG");
        ASSERT_TRUE(zam.loadText(kZamDefs));
        ASSERT_TRUE(links.loadText(kLinkDefs));
    }
    void TearDown() override { resetLangTexts(); }
    void load(const std::string& elements) {
        ASSERT_TRUE(status.loadText("<POAlarmStatus>" + elements + "</POAlarmStatus>"));
    }

    std::vector<std::string> pass(TimeMs now) {
        sent.clear();
        cycle.elementIndex = 0;
        const CycleDocuments docs{status, links, zam};
        for (int guard = 0; guard < 100; ++guard) {
            CycleOutcome out = examineNext(cycle, docs, now);
            note(out);
            if (out.next == CycleStep::Finished) return sent;
            while (out.next == CycleStep::Send) {
                note(out = sendForCurrent(cycle, docs, options, now));
                std::string reply = replies.empty() ? "OK" : replies.front();
                if (!replies.empty()) replies.pop_front();
                out = evaluateAnswer(cycle, docs, {!reply.empty(), reply, reply.empty()}, now);
            }
        }
        ADD_FAILURE() << "the pass does not end";
        return sent;
    }
    // ZamMeld cannot be reached: every send fails to get through.
    void passAway(TimeMs now) {
        cycle.elementIndex = 0;
        const CycleDocuments docs{status, links, zam};
        for (CycleOutcome out = examineNext(cycle, docs, now); out.next != CycleStep::Finished;) {
            while (out.next == CycleStep::Send) {
                note(sendForCurrent(cycle, docs, options, now));
                out = undelivered(cycle);
            }
            if (out.next != CycleStep::Finished) out = examineNext(cycle, docs, now);
        }
    }
    void merge(const std::string& answer, TimeMs now) {
        DocumentSlot slot = std::make_unique<XmlDocument>();
        ASSERT_TRUE(slot->loadText(status.toText()));
        ASSERT_TRUE(mergeActiveAlarms(answer, slot, now).ok);
        ASSERT_TRUE(status.loadText(slot->toText()));
    }
    void note(const CycleOutcome& out) {
        log.insert(log.end(), out.log.begin(), out.log.end());
        if (!out.message.empty()) sent.push_back(out.message);
    }
    pugi::xml_node child(int i) {
        auto it = status.root().children().begin();
        std::advance(it, i);
        return *it;
    }
    std::string attr(int i, const char* name) { return child(i).attribute(name).value(); }

    XmlDocument status, links, zam;
    ElementCycle cycle;
    TextOptions options;
    std::deque<std::string> replies;
    std::vector<std::string> sent, log;
};

std::string show(const Link& l) {
    if (!l.found) return "-";
    std::string s = l.zamLocation + "," + l.zamInput + " r" + std::to_string(l.repeat);
    if (!l.groupLocation.empty()) s += " g" + l.groupLocation + "," + l.groupInput;
    return s;
}

}  // namespace

TEST_F(EvaluationTest, FindLinkPrecedence) {
    auto find = [&](const char* pcu, const char* loc, const char* nr) {
        return show(findLink(links, zam, pcu, loc, nr));
    };
    EXPECT_EQ(find("PCU1", "Kas4", "1"), "0012,03 r15");
    EXPECT_EQ(find("PCU1", "Nowhere", "7"), "0020,01 r0 g0100,07");  // general exception, whatever the location
    EXPECT_EQ(find("PCU1", "Kas5", "1"), "0012,04 r0 g0100,07");
    EXPECT_EQ(find("PCU1", "Kas5", "9"), "0020,01 r0");            // location exception without group drops the group
    EXPECT_EQ(find("PCU1", "Kas5", "8"), "-");                     // location exception with an empty alarm: unlinked
    EXPECT_EQ(find("PCU1", "Kas4", "6"), "0012,03 r15 g0100,07");  // an unlinked general exception keeps its group
    EXPECT_EQ(find("PCU1", "Kas5", "6"), "0012,04 r0 g0100,07");   // unless the location names one
    EXPECT_EQ(find("", "AB C", "1"), "0012,03 r15");               // no PCU name: the placeholder
    const Link bad = findLink(links, zam, "PCU1", "Bad", "1");
    EXPECT_EQ(show(bad), "0020,01 r0");
    EXPECT_EQ(bad.unusableGroup, "00x1 - 07");
    XmlDocument noLocations;
    ASSERT_TRUE(noLocations.loadText(R"(<ZamPOLinkDefs><PO_Exceptions><Except nr="7" zam_alarm="0020 - 01"/>
        </PO_Exceptions></ZamPOLinkDefs>)"));
    EXPECT_EQ(show(findLink(noLocations, zam, "PCU1", "Kas4", "7")), "-");
}

// The explanation must name the rule and element and give the very line the walk sends.
TEST_F(EvaluationTest, ExplainedRouteIsTheRouteTheWalkTakes) {
    struct Case {
        const char* location;
        const char* nr;
        LinkRule rule;
        const char* tag;
        const char* raise;
    };
    const std::string x100(100, 'x');
    const Case cases[] = {
        {"Kas4", "1", LinkRule::LocationLink, R"(<PO_loc pcu="PCU1" text="Kas4" zam_alarm="0012 - 03"/>)",
         "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp  hoog]"},
        {"Kas5", "9", LinkRule::LocationException, R"(<Except nr="9" zam_alarm="0020 - 01"/>)",
         "[ZAM RCVALARM 02,0020,01,T,,PCU1 Kas5 Temp  hoog]"},
        {"Nowhere", "7", LinkRule::GeneralException, R"(<Except nr="7" zam_alarm="0020 - 01" zam_group="0100 - 07"/>)",
         "[ZAM RCVALARM 02,0020,01,T,,PreAlarm: PCU1 Nowhere Temp  hoog]"},
        {"Nowhere", "1", LinkRule::None, "", "[ZAM RCVALARM 02,9999,9,A]"},
    };
    options.filterPunctuation = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location + std::string(",") + c.nr);
        load(alarm(c.location, c.nr, R"(text="Temp. - hoog")"));
        const RouteExplanation r = explainRoute(links, zam, "PCU1", c.location, c.nr, "Temp. - hoog", options);
        EXPECT_EQ(r.link.rule, c.rule);
        EXPECT_EQ(r.elementTag, c.tag);
        EXPECT_EQ(r.raiseLine, c.raise);
        EXPECT_EQ(pass(kT0).at(0), r.raiseLine);
    }
    const RouteExplanation ex = explainRoute(links, zam, "PCU1", "Kas5", "9", "t", options);
    EXPECT_EQ(ex.parentTag, R"(<PO_loc pcu="PCU1" text="Kas5" zam_alarm="0012 - 04" zam_group="0100 - 07">)");
    EXPECT_EQ(ex.resetLine, "[ZAM RCVALARM 02,0020,01,R,,PCU1 Kas5 t]");

    // A group member: PreAlarm, the cut to 80 characters, and the group's own lines.
    options = {};
    const RouteExplanation g = explainRoute(links, zam, "PCU1", "Kas5", "1", x100, options);
    EXPECT_EQ(g.raiseLine, "[ZAM RCVALARM 02,0012,04,T,,PreAlarm: PCU1 Kas5 " + std::string(80 - 20, 'x') + "]");
    EXPECT_EQ(g.group, "0100 - 07");
    EXPECT_EQ(g.groupDelaySeconds, 60);
    EXPECT_EQ(g.groupRepeatMinutes, 5);
    EXPECT_EQ(g.repeatMinutes, 0);
    EXPECT_EQ(g.groupRaiseLine, "[ZAM RCVALARM 02,0100,07,T,,PCU1 Kas5 " + x100 + "]");
    EXPECT_EQ(g.groupResetLine, "[ZAM RCVALARM 02,0100,07,R,,]");
    EXPECT_NE(formatRoute(g).find("Group: 0100 - 07, delay 60 s, repeat every 5 min"), std::string::npos);
}

TEST_F(EvaluationTest, MessageTextsPrefixCutPunctuationAndFirstBlank) {
    const std::string x100(100, 'x');
    load(alarm("Kas5", "1", R"(text=")" + x100 + R"(")") + alarm("Kas4", "1", R"(text="Temp. > 25 - hoog")") +
         R"(<Alarm location="A B C" nr="1" text="t" start="20240301T115900" State="A" Sent=""/>)" +
         alarm("Kas 6", "1", R"(text="t")"));
    options.filterPunctuation = true;
    auto msgs = pass(kT0);
    ASSERT_EQ(msgs.size(), 4u);
    EXPECT_EQ(msgs[0], "[ZAM RCVALARM 02,0012,04,T,,PreAlarm: PCU1 Kas5 " + std::string(80 - 20, 'x') + "]");
    EXPECT_EQ(msgs[1], "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp  25  hoog]");
    EXPECT_EQ(msgs[2], "[ZAM RCVALARM 02,0012,03,T,, AB C t]");      // no "A B C": looked up as AB C
    EXPECT_EQ(msgs[3], "[ZAM RCVALARM 02,0020,01,T,,PCU1 Kas6 t]");  // linked as stored, "Kas 6"
    EXPECT_EQ(attr(0, "Group"), "0100 - 07");
    EXPECT_EQ(attr(0, "repeat_at"), "");                 // only the group repeats
    EXPECT_EQ(attr(1, "repeat_at"), "20240301T121500");  // 15 minutes
    EXPECT_EQ(attr(2, "repeat_at"), "");                 // as A B C the answer finds no link
    EXPECT_EQ(attr(4, "Text"), "PCU1 Kas5 " + x100);     // the group keeps the whole text

    options.sendPcuNames = false;
    EXPECT_EQ(pass(kT0 + 61s), (std::vector<std::string>{"[ZAM RCVALARM 02,0100,07,T,,PCU1 Kas5 " + x100 + "]"}));
    EXPECT_EQ(pass(kT0 + 16min), (std::vector<std::string>{"[ZAM RCVALARM 02,0012,03,T,,Kas4 Temp  25  hoog]",
                                                           "[ZAM RCVALARM 02,0100,07,T,,PCU1 Kas5 " + x100 + "]"}));
    EXPECT_NE(std::find(log.begin(), log.end(), "Alarm still active, repeated by ZamPO: PCU1,Kas4,1"), log.end());
}

TEST_F(EvaluationTest, GroupIsReportedOnceAfterItsDelayRepeatsAndReportsItsReset) {
    load(alarm("Kas5", "1") + alarm("Kas5", "2"));
    EXPECT_EQ(pass(kT0).size(), 2u);  // both members; the group waits for its delay
    EXPECT_EQ(attr(2, "Text"), "");   // two members before the report: no text
    EXPECT_EQ(pass(kT0 + 60s).size(), 0u);
    EXPECT_EQ(pass(kT0 + 61s), (std::vector<std::string>{"[ZAM RCVALARM 02,0100,07,A,,]"}));
    EXPECT_EQ(attr(2, "Sent"), "20240301T120101");
    EXPECT_EQ(attr(2, "repeat_at"), "20240301T120601");
    EXPECT_EQ(pass(kT0 + 6min + 2s), (std::vector<std::string>{"[ZAM RCVALARM 02,0100,07,A,,]"}));

    // first member reset: the group stays; last member reset: the group reports it
    child(0).attribute("State").set_value("R");
    child(0).attribute("start").set_value("20240301T130000");
    EXPECT_EQ(pass(kT0 + 1h), (std::vector<std::string>{"[ZAM RCVALARM 02,0012,04,R,,PreAlarm: PCU1 Kas5 ]",
                                                        "[ZAM RCVALARM 02,0100,07,A,,]"}));  // its repeat was due
    child(1).attribute("State").set_value("R");
    child(1).attribute("start").set_value("20240301T130100");
    EXPECT_EQ(pass(kT0 + 2h), (std::vector<std::string>{"[ZAM RCVALARM 02,0012,04,R,,PreAlarm: PCU1 Kas5 ]",
                                                        "[ZAM RCVALARM 02,0100,07,R,,]"}));

    // raised again, then reset before its delay passed: the reset is never reported
    child(0).attribute("State").set_value("A");
    child(0).attribute("start").set_value("20240301T150000");
    EXPECT_EQ(pass(kT0 + 3h).size(), 1u);
    EXPECT_EQ(attr(2, "State"), "A");
    child(0).attribute("State").set_value("R");
    child(0).attribute("start").set_value("20240301T150010");
    EXPECT_EQ(pass(kT0 + 3h + 10s).size(), 1u);
    EXPECT_EQ(attr(2, "State"), "R");
    EXPECT_EQ(pass(kT0 + 4h).size(), 0u);
}

TEST_F(EvaluationTest, EveryChangeMissedWhileZamMeldWasAwayGoesOutInTheOrderItHappened) {
    // 1 was reported; 2 was raised and never reported.
    const std::string reported =
        R"(<Alarm pcu="PCU1" location="Kas4" nr="1" start="20240301T115900" State="A" Sent="20240301T115900"/>)";
    load(reported + alarm("Kas4", "2"));
    passAway(kT0);
    merge("<active-alarms/>", kT0 + 10s);
    passAway(kT0 + 10s);
    merge(R"(<active-alarms><a pcu="PCU1" location="Kas4" nr="1" start="20240301T120015"/>
        <a pcu="PCU1" location="Kas4" nr="2" start="20240301T120015"/></active-alarms>)",
          kT0 + 20s);
    const std::string t1 = "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 ]", r1 = "[ZAM RCVALARM 02,0012,03,R,,PCU1 Kas4 ]";
    EXPECT_EQ(pass(kT0 + 30s), (std::vector<std::string>{r1, t1, t1, r1, t1}));
    EXPECT_TRUE(pass(kT0 + 40s).empty());
    EXPECT_EQ(cleanUpResetElements(status), 0);

    // a reset missed, then the raise after it
    load(reported);
    merge("<active-alarms/>", kT0);
    merge(R"(<active-alarms><a pcu="PCU1" location="Kas4" nr="1" start="20240301T120015"/></active-alarms>)",
          kT0 + 20s);
    EXPECT_EQ(attr(0, "Pending"), "1");
    EXPECT_EQ(pass(kT0 + 30s), (std::vector<std::string>{r1, t1}));
    EXPECT_FALSE(child(0).attribute("Pending"));
}

TEST_F(EvaluationTest, AMemberSentAgainInALaterWalkCountsForItsGroupOnce) {
    load(alarm("Kas5", "1", R"(text="t")"));
    passAway(kT0);
    passAway(kT0 + 10s);
    EXPECT_EQ(pass(kT0 + 20s).size(), 1u);
    EXPECT_EQ(attr(1, "Text"), "PCU1 Kas5 t");  // one member: its text stays
    EXPECT_EQ(pass(kT0 + 61s), (std::vector<std::string>{"[ZAM RCVALARM 02,0100,07,T,,PCU1 Kas5 t]"}));

    // a second member raised once: the group is reported once more, not twice
    status.root().append_copy(child(0)).attribute("nr").set_value("2");
    child(2).attribute("Sent").set_value("");
    child(2).remove_attribute("Group");
    passAway(kT0 + 70s);
    EXPECT_EQ(pass(kT0 + 80s), (std::vector<std::string>{"[ZAM RCVALARM 02,0100,07,T,,PCU1 Kas5 t]",
                                                         "[ZAM RCVALARM 02,0012,04,T,,PreAlarm: PCU1 Kas5 t]"}));
    EXPECT_TRUE(pass(kT0 + 90s).empty());
}

TEST_F(EvaluationTest, ResetOfAMemberWithoutGroupElementReportsTheResetInTheSamePass) {
    load(alarm("Kas5", "1", R"(text="t")"));
    child(0).attribute("State").set_value("R");
    EXPECT_EQ(pass(kT0), (std::vector<std::string>{"[ZAM RCVALARM 02,0012,04,R,,PreAlarm: PCU1 Kas5 t]",
                                                   "[ZAM RCVALARM 02,0100,07,R,,]"}));
    EXPECT_FALSE(child(1).attribute("Timeout"));
}

TEST_F(EvaluationTest, RefusalsUnrecognisedAnswersAndSilence) {
    const std::string sys9 = "[ZAM RCVALARM 02,9999,9,A]", own = "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 ]";
    load(alarm("Kas4", "1") + alarm("Kas4", "2") + alarm("Kas4", "3") + alarm("Kas4", "4") + alarm("Nowhere", "5"));
    replies = {"NAK", "OK", "NAK", "NAK", "NAK", "ERR", "ok", "what", "", "OK"};
    EXPECT_EQ(pass(kT0), (std::vector<std::string>{own, sys9, own, sys9, sys9, own, own, own, own, sys9}));
    EXPECT_EQ(attr(0, "Error") + attr(1, "Error") + attr(2, "Error") + attr(3, "Error"), "1223");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(attr(i, "Sent"), "20240301T115900") << i;
        EXPECT_EQ(attr(i, "ErrDt"), "20240301T115900") << i;
    }
    EXPECT_EQ(attr(4, "Sent"), "20240301T115900");  // the unlinked alarm counts as reported
    EXPECT_NE(std::find(log.begin(), log.end(), "No definition found for alarm: Nowhere, 5"), log.end());
    EXPECT_TRUE(pass(kT0 + 1s).empty());
}

TEST_F(EvaluationTest, WithoutALanguageTheCallersOwnDefaultsShow) {
    resetLangTexts();
    load(alarm("Kas4", "1") + alarm("Kas4", "2"));
    replies = {"OK", "NAK", "OK"};
    pass(kT0);
    pass(kT0 + 16min);
    for (const char* line : {"_Alarm not accepted by ZamMeld!", "_Repeat Alarm: PCU1,Kas4,1"})
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
}

TEST_F(EvaluationTest, AGroupWithoutAnswerIsTriedAgainAtTheNextPassNotAtOnce) {
    load(R"(<Group ZamAlarm="0100 - 07" Timeout="20240301T115000" repeat="5" Text="" State="A"/>)" +
         alarm("Kas4", "1"));
    replies = {"", "OK"};
    EXPECT_EQ(pass(kT0),
              (std::vector<std::string>{"[ZAM RCVALARM 02,0100,07,A,,]", "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 ]"}));
    EXPECT_EQ(attr(0, "Error"), "3");
    EXPECT_FALSE(child(0).attribute("Sent"));
    EXPECT_FALSE(child(0).attribute("ErrDt"));
    EXPECT_EQ(pass(kT0 + 10s), (std::vector<std::string>{"[ZAM RCVALARM 02,0100,07,A,,]"}));
    EXPECT_EQ(attr(0, "repeat_at"), "");  // no active member: no repeat
}

TEST_F(EvaluationTest, BadStampsAndGroupCodesDoNotHoldUpTheElementsBehindThem) {
    load(R"(<Alarm pcu="PCU1" location="Kas4" nr="1" start="2024XX01T000000" State="A" Sent=""/>)" + alarm("Bad", "1") +
         alarm("Kas4", "2", R"(repeat_at="garbage")"));
    EXPECT_EQ(pass(kT0), (std::vector<std::string>{"[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 ]",
                                                   "[ZAM RCVALARM 02,0020,01,T,,PCU1 Bad ]",
                                                   "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 ]"}));
    EXPECT_EQ(attr(0, "Sent"), "2024XX01T000000");
    EXPECT_FALSE(child(1).attribute("Group"));
    EXPECT_EQ(status.root().select_nodes("Group").size(), 0u);
    EXPECT_NE(std::find(log.begin(), log.end(), "Unreadable start time \"2024XX01T000000\" of alarm: PCU1,Kas4,1"),
              log.end());
    EXPECT_TRUE(pass(kT0 + 1s).empty());  // reported once
}

TEST_F(EvaluationTest, AnotherRootIsLeftAlone) {
    ASSERT_TRUE(status.loadText(("<Other>" + alarm("Kas4", "1") + "</Other>").c_str()));
    EXPECT_TRUE(pass(kT0).empty());
    EXPECT_EQ(attr(0, "Sent"), "");
    EXPECT_EQ(filterPunctuation("a\"b,c-d.e<f>g_h", true), "abcdefgh");
    EXPECT_EQ(filterPunctuation("a-b", false), "a-b");
    EXPECT_EQ(removeFirstBlank(" A B"), "A B");
}
