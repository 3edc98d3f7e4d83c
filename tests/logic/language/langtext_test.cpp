#include "logic/language/langtext.h"

#include <gtest/gtest.h>

using namespace zampo;

class LangTextTest : public ::testing::Test {
protected:
    void SetUp() override { resetLangTexts(); }
    void TearDown() override { resetLangTexts(); }
};

TEST_F(LangTextTest, BeforeLoadingEveryLookupIsMarkedDefault) {
    EXPECT_EQ(langText(3, "Warning"), "_Warning");
    EXPECT_EQ(langText(500, ""), "_");
    EXPECT_EQ(langText(121, "x"), "_x");
}

TEST_F(LangTextTest, OnlyExactNldSelectsDutch) {
    loadLangTexts("NLD");
    EXPECT_EQ(langText(3, "Warning"), "Waarschuwing");
    EXPECT_EQ(langText(56, "Link configuration"), "Koppeling instellen");
    EXPECT_EQ(langText(72, "Settings:"), "Instellingen");
    EXPECT_EQ(langText(111, ""), "PO verbinding ge\xC3\xAFnitialiseerd");
    for (const char* other : {"nld", "Nld", "ENG ", "FRA", "ENG"}) {
        resetLangTexts();
        loadLangTexts(other);
        EXPECT_EQ(langText(3, "x"), "Warning") << other;
        EXPECT_EQ(langText(72, "x"), "Settings:") << other;
    }
}

TEST_F(LangTextTest, EmptySlotsAndNumbersBeyondTheTable) {
    // 112 to 120 hold nothing in either language.
    for (const char* language : {"NLD", "ENG"}) {
        resetLangTexts();
        loadLangTexts(language);
        for (int n = 112; n <= 120; ++n) {
            EXPECT_EQ(langText(n, "Later"), "_Later") << language << ' ' << n;
            EXPECT_EQ(langText(n, ""), "_") << language << ' ' << n;
        }
    }
    EXPECT_EQ(langText(47, "gap"), "_gap");  // 47 has no text in either list
    EXPECT_EQ(langText(121, "As is"), "As is");
    EXPECT_EQ(langText(500, ""), "_");
    EXPECT_EQ(langText(0, "x"), "Unknown");
    EXPECT_EQ(langText(1, "Priva Office alarms will no longer be sent to Zam Pro!"),
              "Priva Office alarms will no longer be sent to ZAM-Pro!");
}

TEST_F(LangTextTest, EmptyLanguageLeavesTheTableEmpty) {
    loadLangTexts("");
    EXPECT_EQ(langText(3, "Warning"), "_Warning");
    EXPECT_EQ(langText(84, ""), "_");
    EXPECT_EQ(langText(200, "kept"), "kept");
    // By name, the fallback stands in for the caller's default.
    EXPECT_EQ(langText(TextId::ExitStopsForwarding), "_Priva Office alarms will no longer be sent to Zam Pro!");
    EXPECT_EQ(langText(TextId::ImportOverwriteWarning), "_");
    EXPECT_EQ(langText(TextId::GroupDelay, "Group delay:"), "_Group delay:");
    EXPECT_EQ(langText(TextId::ActiveAlarms), "Active alarms");
}

TEST_F(LangTextTest, AddedTextsFollowTheLanguage) {
    loadLangTexts("NLD");
    EXPECT_EQ(langText(200, "Active alarms"), "Actieve alarmen");
    EXPECT_EQ(langText(239, "No text yet"), "No text yet");  // a free number of the table
    resetLangTexts();
    loadLangTexts("ENG");
    EXPECT_EQ(langText(200, "x"), "Active alarms");
    EXPECT_EQ(langText(222, "x"), "Editor: the service forwards the alarms");
    EXPECT_EQ(langText(TextId::LogFileNotWritten), "Log file not written");
    EXPECT_EQ(langText(TextId::PoConnectionInitialized), "PO connection initialized");
}
