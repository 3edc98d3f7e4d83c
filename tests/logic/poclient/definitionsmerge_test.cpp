#include "logic/poclient/definitionsmerge.h"

#include <gtest/gtest.h>

#include "support/tempdir.h"

using namespace zampo;

namespace {

struct DefinitionsMergeTest : ::testing::Test {
    test::TempDir dir;
    DocumentSlot slot;
    void open() { openDataFile(slot, dir.path(), kLinkDefsFile); }
    void reload() { reloadDataFile(slot, dir.path(), kLinkDefsFile); }
    void start(const std::string& linkDefs) {
        test::writeFile(dir.file("LinkDefs.xml"), linkDefs);
        reload();
        ASSERT_TRUE(slot->hasContent());
    }
    DefinitionsMergeResult merge(std::string_view answer) { return mergeDefinitions(answer, slot, dir.path()); }
    std::vector<std::string> list(const char* container, const char* attr) {
        std::vector<std::string> out;
        for (pugi::xml_node n : slot->root().child(container).children()) out.push_back(n.attribute(attr).value());
        return out;
    }
};

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(DefinitionsMergeTest, EmptyFileGetsEverythingInAnswerOrderUnlinked) {
    open();
    auto r = merge(R"(<alarmserverconfig><alarmlocations><loc pcu="P1" text="Kas 1"/><x text="Kas 2"/>
        <loc pcu="P1" text="Kas 1"/></alarmlocations>
        <alarmtypes><t nr="3" text="Hoog"/><t text="Zonder nummer"/><t nr="1"/><t text="Tweede zonder"/></alarmtypes>
        </alarmserverconfig>)");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.locationsAdded, 2);
    EXPECT_EQ(r.alarmTypesAdded, 3);
    EXPECT_EQ(list("PO_Locations", "pcu"), (Strings{"P1", "-\\-"}));
    EXPECT_EQ(list("PO_Locations", "zam_alarm"), (Strings{"0", "0"}));
    EXPECT_FALSE(slot->root().child("PO_Locations").first_child().attribute("zam_group"));
    EXPECT_EQ(list("PO_AlarmTypes", "nr"), (Strings{"3", "-1", "1"}));
    EXPECT_EQ(list("PO_AlarmTypes", "text"), (Strings{"Hoog", "Zonder nummer", ""}));
    EXPECT_FALSE(r.allLinksDefined);
    EXPECT_TRUE(r.saved);
    EXPECT_NE(test::readFile(dir.file("LinkDefs.xml")).find("Zonder nummer"), std::string::npos);
}

TEST_F(DefinitionsMergeTest, KnownEntriesKeepTheirLinksAndTextsOnlyExceptionTextsFollow) {
    start(R"(<ZamPOLinkDefs><PO_Locations>
        <PO_loc pcu="P1" text="Kas 1" zam_alarm="0001 - 02"><Except nr="5" text="oud" zam_alarm="0001 - 03"/>
            <Except nr="6" zam_alarm="0001 - 04"/></PO_loc>
        <PO_loc text="Handmatig" zam_alarm="0001 - 05"/></PO_Locations>
        <PO_AlarmTypes><PO_Alarm nr="5" text="Hoog"/><PO_Alarm nr="6" text="Laag"/></PO_AlarmTypes>
        <PO_Exceptions><Except nr="6" text="" zam_alarm="0002 - 01"/></PO_Exceptions></ZamPOLinkDefs>)");
    auto r = merge(R"(<c><alarmlocations><l pcu="P1" text="Kas 1"/><l pcu="P7" text="Handmatig"/>
        <l pcu="P1" text="Kas 1 nieuw"/></alarmlocations>
        <alarmtypes><t nr="5" text="Hoog, nieuw"/></alarmtypes></c>)");
    ASSERT_TRUE(r.ok);
    // a PO_loc without pcu matches any pcu with its text; a renamed location is new
    EXPECT_EQ(list("PO_Locations", "text"), (Strings{"Kas 1", "Handmatig", "Kas 1 nieuw"}));
    pugi::xml_node kas1 = slot->root().child("PO_Locations").first_child();
    EXPECT_STREQ(kas1.attribute("zam_alarm").value(), "0001 - 02");
    EXPECT_EQ(list("PO_AlarmTypes", "text"), (Strings{"Hoog", "Laag"}));
    EXPECT_STREQ(kas1.child("Except").attribute("text").value(), "Hoog");  // refreshed from the type
    EXPECT_FALSE(kas1.child("Except").next_sibling().attribute("text"));   // none is added
    EXPECT_STREQ(slot->root().child("PO_Exceptions").child("Except").attribute("text").value(), "Laag");
    EXPECT_FALSE(r.allLinksDefined);  // the new location

    // the next fetch finds everything, also after a save and a reload
    reload();
    r = merge(R"(<c><alarmlocations><l pcu="P1" text="Kas 1 nieuw"/></alarmlocations><alarmtypes/></c>)");
    EXPECT_EQ(r.locationsAdded + r.alarmTypesAdded, 0);
}

TEST_F(DefinitionsMergeTest, AnswerWithoutAListMergesTheOtherAndDoesNotRefreshOrSave) {
    start(R"(<ZamPOLinkDefs><PO_Locations><PO_loc pcu="P" text="L" zam_alarm="0001 - 01">
        <Except nr="1" text="oud" zam_alarm="0001 - 02"/></PO_loc></PO_Locations>
        <PO_AlarmTypes><PO_Alarm nr="1" text="nieuw"/></PO_AlarmTypes></ZamPOLinkDefs>)");
    const std::string onDisk = test::readFile(dir.file("LinkDefs.xml"));
    auto r = merge(R"(<c><deep><alarmlocations><l pcu="Q" text="M"/></alarmlocations></deep></c>)");
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.complete);
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(r.locationsAdded, 1);  // found at any depth
    EXPECT_EQ(test::readFile(dir.file("LinkDefs.xml")), onDisk);
    EXPECT_STREQ(slot->root().child("PO_Locations").first_child().child("Except").attribute("text").value(), "oud");
}

TEST_F(DefinitionsMergeTest, BadAnswerOrUnreadableFileFailsBeforeAnyChange) {
    start("<ZamPOLinkDefs><PO_Locations/></ZamPOLinkDefs>");
    const std::string before = slot->toText();
    for (const char* bad :
         {"<c><alarmlocations><l pcu=\"P\"></alarmlocations></c>", "not xml", "<?xml version=\"1.0\"?>"}) {
        auto r = merge(bad);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("not well-formed"), std::string::npos) << r.error;
        EXPECT_EQ(r.fetchMessage, "_Error getting data from Priva Office");  // no language loaded in tests
        EXPECT_EQ(slot->toText(), before);
    }
    auto r = merge("");
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.fetchMessage.empty());

    test::writeFile(dir.file("LinkDefs.xml"), "<ZamPOLinkDefs>");
    DocumentSlot damaged;
    openDataFile(damaged, dir.path(), kLinkDefsFile);
    r = mergeDefinitions("<c><alarmlocations/><alarmtypes/></c>", damaged, dir.path());
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(test::readFile(dir.file("LinkDefs.xml")), "<ZamPOLinkDefs>");
}

TEST(UndefinedLinks, EveryLocationAndExceptionNeedsANineCharacterLink) {
    const std::pair<const char*, bool> cases[] = {
        {"<ZamPOLinkDefs/>", true},
        {"<Other/>", false},
        {R"(<ZamPOLinkDefs><PO_Locations><PO_loc zam_alarm="0001 - 02"><Except zam_alarm="0001 - 03"/></PO_loc>
            </PO_Locations><PO_Exceptions><Except zam_alarm="0002 - 01"/></PO_Exceptions></ZamPOLinkDefs>)",
         true},
        {R"(<ZamPOLinkDefs><PO_Locations><PO_loc zam_alarm="1 - 02"/></PO_Locations></ZamPOLinkDefs>)", false},
        {R"(<ZamPOLinkDefs><PO_Locations><PO_loc zam_alarm="0001 - 02"><Except zam_alarm=""/></PO_loc>
            </PO_Locations></ZamPOLinkDefs>)",
         false},
        {R"(<ZamPOLinkDefs><PO_Exceptions><Except zam_alarm="0"/></PO_Exceptions></ZamPOLinkDefs>)", false},
    };
    for (const auto& [text, expected] : cases) {
        XmlDocument d;
        ASSERT_TRUE(d.loadText(text));
        EXPECT_EQ(allLinksDefined(d), expected) << text;
    }
    EXPECT_FALSE(allLinksDefined(XmlDocument{}));
}
