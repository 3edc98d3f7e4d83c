// Names outside ASCII must keep matching from one fetch to the next, through a
// save and a reload of the data files, whatever form Priva Office sends them in.
#include "logic/poclient/answertext.h"

#include <gtest/gtest.h>

#include "logic/poclient/alarmmerge.h"
#include "logic/poclient/definitionsmerge.h"
#include "support/tempdir.h"

using namespace zampo;
using namespace std::string_literals;

TEST(AnswerText, EightBitDecodingDependsOnlyOnTheBytesOfEachName) {
    // undeclared: UTF-8 stays, stray bytes (also overlong or surrogate forms) are Windows-1252
    EXPECT_EQ(decodeAnswerBytes("\xEF\xBB\xBF\xC3\xA9 \xE9 \x80 \xE6\x9D\xB1 \xED\xA0"),
              "\xC3\xA9 \xC3\xA9 \xE2\x82\xAC \xE6\x9D\xB1 \xC3\xAD\xC2\xA0");
    EXPECT_EQ(decodeAnswerBytes("<?xml version='1.0' encoding='ISO-8859-1'?>\xC3\xA9\x80"),
              "<?xml version='1.0' encoding='ISO-8859-1'?>\xC3\x83\xC2\xA9\xC2\x80");
}

TEST(AnswerText, OddNamesAreNeverAddedTwiceAcrossFetchesSavesAndReloads) {
    const std::string names[] = {
        "Kas \xC3\xA9",  // UTF-8
        "Kas \xE9\xE8",  // Latin-1 bytes in an undeclared answer
        "\x80 \x99",     // Windows-1252 only
        "\xE6\x9D\xB1 \xF0\x9F\x94\xA5 &#26481; &#x1F525;",
        "tab&#9;nl&#10;cr&#13;",
        "  lead  and trail  ",
        "&lt;&amp;&quot;&gt;'",
        "\xC3\xA9\xFF\xFE",
    };
    std::string locations, alarms;
    for (const std::string& n : names) {
        locations += "<l pcu=\"" + n + "\" text=\"" + n + "\"/>";
        alarms += "<a pcu=\"" + n + "\" location=\"" + n + "\" nr=\"" + n + "\" start=\"20240101T100000\"/>";
    }
    const std::string definitions = "<c><alarmlocations>" + locations + "</alarmlocations><alarmtypes/></c>";
    const std::string active = "<active-alarms>" + alarms + "</active-alarms>";
    const size_t count = std::size(names);

    test::TempDir dir;
    DocumentSlot linkDefs, status;
    openDataFile(linkDefs, dir.path(), kLinkDefsFile);
    openDataFile(status, dir.path(), kAlarmStatusFile);
    const TimeMs now{std::chrono::hours{24 * 20000}};
    for (int fetch = 0; fetch < 3; ++fetch) {
        auto d = mergeDefinitions(definitions, linkDefs, dir.path());
        auto a = mergeActiveAlarms(active, status, now);
        ASSERT_TRUE(d.ok && a.ok) << d.error << a.error;
        EXPECT_EQ(static_cast<size_t>(d.locationsAdded), fetch == 0 ? count : 0) << "fetch " << fetch;
        EXPECT_EQ(static_cast<size_t>(a.added), fetch == 0 ? count : 0) << "fetch " << fetch;
        ASSERT_TRUE(saveDataFile(linkDefs, dir.path(), kLinkDefsFile));
        ASSERT_TRUE(saveDataFile(status, dir.path(), kAlarmStatusFile));
        reloadDataFile(linkDefs, dir.path(), kLinkDefsFile);
        reloadDataFile(status, dir.path(), kAlarmStatusFile);
    }
    // the same names declared as ISO-8859-1 or windows-1252 match what is stored
    auto latin1 = mergeDefinitions(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><c><alarmlocations><l pcu=\"Kas \xE9\xE8\" "
        "text=\"Kas \xE9\xE8\"/></alarmlocations></c>",
        linkDefs, dir.path());
    auto cp1252 = mergeDefinitions(
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?><c><alarmlocations><l pcu=\"\x80 \x99\" text=\"\x80 "
        "\x99\"/></alarmlocations></c>",
        linkDefs, dir.path());
    EXPECT_EQ(latin1.locationsAdded + cp1252.locationsAdded, 0);
}

TEST(AnswerText, AReferenceToNulMakesTheAnswerMalformed) {
    // Expanded, it would end the name at the NUL: "Kas 4" and "Kas 4\0x" would be one location.
    for (const std::string& body : {"<c><l text=\"Kas 4&#0;x\"/></c>"s, "<c><l text=\"Kas 4&#x00;\"/></c>"s,
                                    "<c><l>Kas 4&#000;</l></c>"s, "\xFF\xFE<\0c\0>\0&\0#\0x\0\060\0;\0<\0/\0c\0>\0"s}) {
        pugi::xml_document doc;
        std::string error;
        EXPECT_FALSE(parseAnswer(body, doc, error)) << body;
        EXPECT_NE(error.find("NUL"), std::string::npos) << error;
        EXPECT_FALSE(doc.document_element());
    }
    // Not a reference inside a comment or CDATA, and &#10; or &#x30; is no NUL.
    for (const std::string_view body :
         {"<c><!-- &#0; --><l text=\"&#10;&#x30;&#100;\"/></c>", "<c><![CDATA[&#0;]]></c>"}) {
        pugi::xml_document doc;
        std::string error;
        EXPECT_TRUE(parseAnswer(body, doc, error)) << body << ": " << error;
    }
}
