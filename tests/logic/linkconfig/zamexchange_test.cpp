#include "logic/linkconfig/zamexchange.h"

#include <gtest/gtest.h>

#include "logic/encoding/encoding.h"
#include "logic/linkconfig/zamdefs.h"
#include "logic/linkconfig/zamitems.h"

using namespace zampo;

namespace {

const char* const kZamDefs = R"(<?xml version="1.0" encoding="ISO-8859-1"?>
<ZamAlarmDefinitions>
  <Location Code="12" Name="Kassen">
    <Alarm Code="1" Name="Kas 1" GroupDelay="90" Repeat="10"/>
    <Alarm Code="2" Name="Kas 2"/>
  </Location>
  <Location Code="9999" Name="Koppeling"><Alarm Code="8" Name="Eigen naam"/></Location>
</ZamAlarmDefinitions>)";

const SystemAlarmNames kEnglish{"Priva Office Interface Connection Lost", "Priva Office Interface System Error",
                                "Priva Office Interface Config Error"};

XmlDocument loaded(const char* text) {
    XmlDocument d;
    EXPECT_TRUE(d.loadText(text));
    return d;
}

std::string exchange(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><ZamDefinitions>" + body + "</ZamDefinitions>";
}

std::string nameOf(const XmlDocument& d, int location, int alarm) {
    const pugi::xml_node n = findZamAlarmElement(d, location, alarm);
    return n ? n.attribute("Name").value() : "<none>";
}

}  // namespace

TEST(ZamExchange, ExportWritesCodesAndNamesOnly) {
    std::string text;
    ASSERT_TRUE(buildZamExchange(loaded(kZamDefs), text));
    XmlDocument file = loaded(text.c_str());
    EXPECT_NE(text.find("encoding=\"ISO-8859-1\""), std::string::npos);
    EXPECT_STREQ(file.root().name(), "ZamDefinitions");
    const pugi::xml_node kassen = file.root().first_child();
    EXPECT_STREQ(kassen.name(), "Location");
    EXPECT_STREQ(kassen.attribute("Code").value(), "12");
    EXPECT_STREQ(kassen.attribute("Name").value(), "Kassen");
    const pugi::xml_node first = kassen.first_child();
    EXPECT_STREQ(first.name(), "Alarm");
    EXPECT_EQ(std::distance(first.attributes_begin(), first.attributes_end()), 2);  // no delay, no repeat
    EXPECT_EQ(std::distance(kassen.begin(), kassen.end()), 2);

    EXPECT_FALSE(buildZamExchange(loaded("<Other/>"), text));
}

TEST(ZamExchange, ImportRenamesAddsAndSkips) {
    XmlDocument defs = loaded(kZamDefs);
    const ImportResult result = importZamDefinitions(defs, exchange(R"(
        <Location Code="12" Name="Kassen noord"><Alarm Code="2" Name="Kas twee"/><Alarm Code="3" Name="Kas 3"/></Location>
        <Location Code="0" Name="Nul"/><Location Code="10000" Name="Te groot"/><Location Code="5"/>
        <Location Code="20" Name="Ketelhuis"><Alarm Code="0" Name="x"/><Alarm Code="100" Name="x"/><Alarm Code="99" Name="Rook"/></Location>
        <Location Code="30"><Alarm Code="1" Name="Nergens"/></Location>
        <Location Code="9999" Name="Koppeling"><Alarm Code="8" Name="Bestand"/><Alarm Code="9" Name="Bestand"/><Alarm Code="3" Name="Gewoon"/></Location>)"),
                                                     kEnglish);
    ASSERT_EQ(result.status, ImportStatus::Imported);
    // Renamed; the other alarms, delays and repeats stay.
    EXPECT_STREQ(findZamLocationElement(defs, 12).attribute("Name").value(), "Kassen noord");
    EXPECT_EQ(nameOf(defs, 12, 1), "Kas 1");
    EXPECT_EQ(getGroupDelay(defs, "0012 - 01"), 90);
    EXPECT_EQ(getRepeat(defs, "0012 - 01"), 10);
    EXPECT_EQ(nameOf(defs, 12, 2), "Kas twee");
    // New entries carry neither delay nor repeat.
    const pugi::xml_node added = findZamAlarmElement(defs, 12, 3);
    EXPECT_FALSE(added.attribute("GroupDelay"));
    EXPECT_FALSE(added.attribute("Repeat"));
    EXPECT_EQ(nameOf(defs, 20, 99), "Rook");
    EXPECT_EQ(nameOf(defs, 20, 0), "<none>");
    EXPECT_EQ(nameOf(defs, 20, 100), "<none>");
    for (int skipped : {0, 10000, 5, 30}) EXPECT_FALSE(findZamLocationElement(defs, skipped)) << skipped;
    // The system alarms: an existing one keeps its name, a new one gets the fixed name.
    EXPECT_EQ(nameOf(defs, 9999, 8), "Eigen naam");
    EXPECT_EQ(nameOf(defs, 9999, 9), "Priva Office Interface Config Error");
    EXPECT_EQ(nameOf(defs, 9999, 3), "Gewoon");
}

TEST(ZamExchange, ImportIsRefusedWholeAndLeavesTheDefinitionsAlone) {
    XmlDocument defs = loaded(kZamDefs);
    const std::string before = defs.toText();
    struct Case {
        std::string file;
        ImportStatus status;
        const char* detail;
    };
    // The window's test covers a broken tag, a wrong root and a bad alarm code after good entries.
    const Case cases[] = {
        {"", ImportStatus::NotWellFormed, "line 1"},
        {"<ZamDefinitions>\n<Location Code=\"1\" Name=\"a\">\n</Alarm>\n</ZamDefinitions>", ImportStatus::NotWellFormed,
         "line 3"},
        {exchange(R"(<Location Code="40" Name="Goed"/><Location Code=" 41" Name="Spatie"/>)"),
         ImportStatus::CodeNotWholeNumber, "<Location Code=\" 41\" Name=\"Spatie\">"},
        {exchange(R"(<Location Code="" Name="Leeg"/>)"), ImportStatus::CodeNotWholeNumber, "Code=\"\""},
        {exchange(R"(<Location Code="12"><Alarm Code="1.5"/></Location>)"), ImportStatus::CodeNotWholeNumber,
         "<Alarm Code=\"1.5\">"},
    };
    for (const Case& c : cases) {
        const ImportResult result = importZamDefinitions(defs, c.file, kEnglish);
        EXPECT_EQ(result.status, c.status) << c.file;
        EXPECT_NE(result.detail.find(c.detail), std::string::npos) << result.detail;
        EXPECT_EQ(defs.toText(), before) << c.file;
    }
}

TEST(ZamExchange, ImportReadsTheEncodingTheFileDeclares) {
    // "Café €5 ’s" in each form a ZAM-Pro export may take.
    const std::string utf8Name =
        "Caf\xC3\xA9 \xE2\x82\xAC"
        "5 \xE2\x80\x99s";
    const std::string utf8Body = "<ZamDefinitions><Location Code=\"12\" Name=\"" + utf8Name + "\"/></ZamDefinitions>";
    auto utf16le = [](const std::string& utf8) {
        std::string out = "\xFF\xFE";
        for (std::size_t pos = 0; pos < utf8.size();) {
            const char32_t cp = decodeUtf8(utf8, pos);
            out += static_cast<char>(cp & 0xFF);
            out += static_cast<char>(cp >> 8);
        }
        return out;
    };
    struct Case {
        const char* what;
        std::string file;
        std::string name;
    };
    const Case cases[] = {
        {"windows-1252",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?><ZamDefinitions><Location Code=\"12\" "
         "Name=\"Caf\xE9 \x80"
         "5 \x92s\"/></ZamDefinitions>",
         utf8Name},
        {"ISO-8859-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><ZamDefinitions><Location Code=\"12\" "
         "Name=\"Caf\xE9 \xA3\"/></ZamDefinitions>",
         "Caf\xC3\xA9 \xC2\xA3"},
        {"UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + utf8Body, utf8Name},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + utf8Body, utf8Name},
        {"UTF-16 with a byte-order mark", utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + utf8Body), utf8Name},
    };
    for (const Case& c : cases) {
        XmlDocument defs = loaded(kZamDefs);
        ASSERT_EQ(importZamDefinitions(defs, c.file, kEnglish).status, ImportStatus::Imported) << c.what;
        EXPECT_EQ(findZamLocationElement(defs, 12).attribute("Name").value(), c.name) << c.what;
        // Saved and read again, the name is the same.
        XmlDocument again;
        ASSERT_TRUE(again.loadText(defs.toText())) << c.what;
        EXPECT_EQ(findZamLocationElement(again, 12).attribute("Name").value(), c.name) << c.what;
    }
}
