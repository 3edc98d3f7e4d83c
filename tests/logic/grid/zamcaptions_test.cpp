#include "logic/grid/zamcaptions.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "logic/language/langtext.h"

using namespace zampo;

TEST(ZamCaptions, CodeAndNameComeFromTheLastParentheses) {
    struct Case {
        const char* caption;
        int code;
        const char* name;
    };
    for (const Case& c : {
             Case{"Boiler room (12)", 12, "Boiler room"},
             Case{"Pump (north) (3)", 3, "Pump (north)"},
             Case{"Zam", 0, ""},
             Case{"Pump (x)", 0, "Pump"},
             Case{"Pump ()", 0, "Pump"},
             Case{"Pump (1 2)", 0, "Pump"},
             Case{"Pump (-4)", -4, "Pump"},
             Case{"Pump (99999999999)", 0, "Pump"},
             Case{"(7)", 7, ""},
             Case{"Pump 7)", 0, ""},
             Case{"Pump (7) tail", 7, "Pump"},
             Case{" (5)", 5, ""},
             Case{"Kasé(5)", 5, "Kas"},  // the character before "(" goes whole
             Case{"Ketelhuis (20)", 20, "Ketelhuis"},
         }) {
        EXPECT_EQ(captionCode(c.caption), c.code) << c.caption;
        EXPECT_EQ(captionName(c.caption), c.name) << c.caption;
    }
    EXPECT_EQ(zamCaption("Pump (north)", "3"), "Pump (north) (3)");
    EXPECT_EQ(captionName(zamCaption("Brandmeldcentrale", "1")), "Brandmeldcentrale");
    EXPECT_EQ(zamNodeAlarmRef("Ketelhuis (20)", "Pomp (2)"), "0020 - 02");
}

TEST(ZamCaptions, LocationsByCaptionAlarmsByCode) {
    using L = ZamNodeLevel;
    // Byte order: capitals first, and "(" before letters.
    EXPECT_EQ(compareZamNodes(L::Location, "boiler (1)", "Alarm centre (2)"), 1);
    EXPECT_EQ(compareZamNodes(L::Location, "Alarm centre (2)", "boiler (1)"), -1);
    EXPECT_EQ(compareZamNodes(L::Location, "Boiler (2)", "Boiler room (1)"), -1);
    EXPECT_EQ(compareZamNodes(L::Location, "Same (1)", "Same (1)"), -1);
    EXPECT_EQ(compareZamNodes(L::Alarm, "Z (10)", "A (2)"), 1);
    EXPECT_EQ(compareZamNodes(L::Alarm, "A (2)", "Z (10)"), -1);
    EXPECT_EQ(compareZamNodes(L::Alarm, "A (2)", "B (2)"), -1);

    std::vector<std::string> alarms{"Two (2)", "Ten (10)", "One (1)", "Nothing (x)"};
    std::stable_sort(alarms.begin(), alarms.end(),
                     [](const std::string& a, const std::string& b) { return zamNodeSortsBefore(L::Alarm, a, b); });
    EXPECT_EQ(alarms, std::vector<std::string>({"Nothing (x)", "One (1)", "Two (2)", "Ten (10)"}));
    std::vector<std::string> locations{"boiler (1)", "Boiler room (1)", "Alarm centre (2)", "Boiler (2)"};
    std::stable_sort(locations.begin(), locations.end(),
                     [](const std::string& a, const std::string& b) { return zamNodeSortsBefore(L::Location, a, b); });
    EXPECT_EQ(locations, std::vector<std::string>({"Alarm centre (2)", "Boiler (2)", "Boiler room (1)", "boiler (1)"}));
}

TEST(ZamCaptions, DetailsOfEachLevel) {
    resetLangTexts();
    loadLangTexts("ENG");
    XmlDocument defs;
    ASSERT_TRUE(defs.loadText(R"(<ZamAlarmDefinitions>
        <Location Code="20" Name="Ketelhuis">
          <Alarm Code="2" Name="Pomp" GroupDelay="90" Repeat="0"/>
          <Alarm Code="3" Name="Brander"/>
        </Location></ZamAlarmDefinitions>)"));
    EXPECT_TRUE(zamNodeDetails(ZamNodeLevel::Root, "Zam", "", &defs).empty());
    EXPECT_EQ(zamNodeDetails(ZamNodeLevel::Location, "Ketelhuis (20)", "Zam", &defs),
              DetailLines({{"Type", "Location"}, {"Number", "20"}, {"Description", "Ketelhuis"}}));
    EXPECT_EQ(zamNodeDetails(ZamNodeLevel::Alarm, "Pomp (2)", "Ketelhuis (20)", &defs),
              DetailLines({{"Type", "Alarm"},
                           {"Number", "2"},
                           {"Description", "Pomp"},
                           {"Group delay", "90 seconds"},
                           {"Repeat interval", "0 minutes"}}));
    // Missing attributes, a missing alarm and a missing document all read as 0.
    for (const char* caption : {"Brander (3)", "Gone (4)"})
        EXPECT_EQ(zamNodeDetails(ZamNodeLevel::Alarm, caption, "Ketelhuis (20)", &defs)[3].second, "0 seconds");
    EXPECT_EQ(zamNodeDetails(ZamNodeLevel::Alarm, "Pomp (2)", "Ketelhuis (20)", nullptr)[4].second, "0 minutes");

    resetLangTexts();
    loadLangTexts("NLD");
    const DetailLines nl = zamNodeDetails(ZamNodeLevel::Alarm, "Pomp (2)", "Ketelhuis (20)", &defs);
    std::vector<std::string> keys;
    for (const auto& line : nl) keys.push_back(line.first);
    EXPECT_EQ(keys, std::vector<std::string>({"Type", "Nummer", "Omschrijving", "Groepsvertraging", "Herhaaltijd"}));
    EXPECT_EQ(nl[3].second, "90 seconden");
    EXPECT_EQ(nl[4].second, "0 minuten");
    resetLangTexts();
}
