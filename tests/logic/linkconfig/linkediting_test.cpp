#include "logic/linkconfig/linkediting.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "logic/linkconfig/documentedit.h"
#include "support/tempdir.h"

using namespace zampo;

namespace {

const char* const kLinkDefs = R"(<ZamPOLinkDefs><PO_Locations>
  <PO_loc pcu="P1" text="Kas 1" zam_alarm="0001 - 02" zam_group="0009 - 01">
    <Except nr="12" text="Hoog" zam_alarm="0001 - 02"/>
    <Except nr="13" text="Laag" zam_alarm="0001 - 03" zam_group="0001 - 02"/>
  </PO_loc>
  <PO_loc pcu="-\-" text="Kas 2" zam_alarm="0"/>
</PO_Locations>
<PO_AlarmTypes><PO_Alarm nr="12" text="Hoog"/><PO_Alarm nr="-\-" text="Zonder nummer"/></PO_AlarmTypes>
<PO_Exceptions><Except nr="7" text="Brand" zam_alarm="0001 - 02" zam_group="0001 - 03"/></PO_Exceptions>
</ZamPOLinkDefs>)";

XmlDocument loaded(const char* text) {
    XmlDocument d;
    EXPECT_TRUE(d.loadText(text));
    return d;
}

pugi::xml_node location(const XmlDocument& d, const char* text) {
    return d.root().child("PO_Locations").find_child_by_attribute("text", text);
}

std::string links(pugi::xml_node n) {
    auto attr = [&](const char* a) { return n.attribute(a) ? std::string(n.attribute(a).value()) : "<absent>"; };
    return attr("zam_alarm") + "|" + attr("zam_group");
}

const LinkRowCells kKas1{"P1", "Kas 1", "--", "0001 - 02", "0009 - 01"};
const LinkRowCells kKas2{"", "Kas 2", "--", "", ""};
const LinkRowCells kKas1Except12{"P1", "Kas 1", "12: Hoog", "0001 - 02", ""};
const LinkRowCells kGeneral7{"--", "General Exception", "7: Brand", "0001 - 02", "0001 - 03"};

}  // namespace

TEST(LinkEditing, RowLinksReachEachRowKind) {
    XmlDocument d = loaded(kLinkDefs);
    std::vector<LinkRowCells> rows{kKas2, kKas1Except12, kGeneral7};
    for (LinkRowCells& r : rows) r.zamAlarm = "0005 - 06";
    rows[0].zamGroup = "0009 - 01";
    writeRowLinks(d, rows);
    EXPECT_EQ(links(location(d, "Kas 2")), "0005 - 06|0009 - 01");  // addressed by its empty pcu
    EXPECT_EQ(links(location(d, "Kas 2").child("Except")), "<absent>|<absent>");
    EXPECT_EQ(links(location(d, "Kas 1").find_child_by_attribute("nr", "12")), "0005 - 06|");
    EXPECT_EQ(links(d.root().child("PO_Exceptions").child("Except")), "0005 - 06|0001 - 03");
    EXPECT_EQ(links(location(d, "Kas 1")), "0001 - 02|0009 - 01");  // its exception's row left it alone
}

// The dialog's test covers the usual additions; these are the odd files.
TEST(LinkEditing, ExceptionsOfNumberlessTypesAndIntoBareFiles) {
    XmlDocument d = loaded(kLinkDefs);
    const std::vector<AlarmTypeEntry> types = listAlarmTypes(d);
    ASSERT_EQ(types.size(), 2u);
    EXPECT_EQ(types[1].nr, "");  // Priva Office gave no number
    addExceptions(d, {types[1]}, ExceptionScope::SelectedLocations, {kKas2});
    EXPECT_FALSE(location(d, "Kas 2").child("Except"));
    EXPECT_EQ(links(location(d, "Kas 2")), "0|<absent>");  // not taken for the location's own link

    XmlDocument bare = loaded("<ZamPOLinkDefs/>");
    addExceptions(bare, {{"4", "Vier"}}, ExceptionScope::General, {});
    EXPECT_TRUE(bare.root().child("PO_AlarmTypes"));
    EXPECT_TRUE(bare.root().child("PO_Exceptions").find_child_by_attribute("nr", "4"));
}

TEST(DocumentEdit, NothingChangesWhenTheFileCannotBeReadOrWritten) {
    test::TempDir dir;
    const std::string path = dataFilePath(dir.path(), kLinkDefsFile);
    DocumentSlot slot = std::make_unique<XmlDocument>();
    ASSERT_TRUE(slot->loadText(kLinkDefs));
    const std::string before = slot->toText();
    auto change = [](XmlDocument& d) {
        deleteLinkRows(d, {kKas1});
        return true;
    };

    // A damaged file is neither overwritten nor replaced by the window's copy.
    test::writeFile(path, "<ZamPOLinkDefs><PO_Locations>");
    EditOutcome outcome = editLinkDefs(slot, dir.path(), change);
    EXPECT_EQ(outcome.status, EditStatus::Failed);
    EXPECT_NE(outcome.error.find(path), std::string::npos);
    EXPECT_EQ(test::readFile(path), "<ZamPOLinkDefs><PO_Locations>");
    EXPECT_EQ(slot->toText(), before);

    // A save that fails leaves the window's document as it was.
    outcome = editLinkDefs(slot, dir.file("missing"), change);
    EXPECT_EQ(outcome.status, EditStatus::Failed);
    EXPECT_EQ(slot->toText(), before);
    outcome = editZamDefs(slot, dir.file("missing"), change);
    EXPECT_EQ(outcome.status, EditStatus::Failed);
    EXPECT_EQ(slot->toText(), before);

    // Without a file the window's copy is the starting point; nothing to change saves nothing.
    std::filesystem::remove(path);
    EXPECT_EQ(editLinkDefs(slot, dir.path(), [](XmlDocument&) { return false; }).status, EditStatus::Unchanged);
    EXPECT_FALSE(test::fileExists(path));
    EXPECT_TRUE(editLinkDefs(slot, dir.path(), change).saved());
    XmlDocument onDisk;
    ASSERT_TRUE(onDisk.loadFile(path));
    EXPECT_FALSE(location(onDisk, "Kas 1"));
    EXPECT_TRUE(location(onDisk, "Kas 2"));
}
