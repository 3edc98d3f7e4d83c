#include "logic/xml/xmlstore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <filesystem>

#include "logic/core/atomicfile.h"
#include "support/tempdir.h"

using namespace zampo;
using zampo::test::TempDir;

namespace {
pugi::xml_node parse(XmlDocument& d, const char* text) {
    EXPECT_TRUE(d.loadText(text));
    return d.root();
}
std::string codeOf(pugi::xml_node n) {
    return n ? n.attribute("Code").value() : "<none>";
}
}  // namespace

TEST(SearchNode, FirstMatchInDocumentOrderNeverStartAndExactValues) {
    XmlDocument d;
    auto root = parse(d, R"(<L Code="0"><A Code="01"/><B><L Code="1" Name="deep"/></B><L Code="1" Name="shallow"/>
        <l Code="1"/></L>)");
    // depth-first: the deeper one comes first in document order
    EXPECT_EQ(std::string(searchNode(root, "L", {"Code"}, {"1"}).attribute("Name").value()), "deep");
    // the start node itself is never a candidate
    EXPECT_EQ(codeOf(searchNode(root, "L", {"Code"}, {"0"})), "<none>");
    // text values: 1 does not find 01, and names are case-sensitive
    EXPECT_EQ(codeOf(searchNode(root, "A", {"Code"}, {"1"})), "<none>");
    EXPECT_EQ(codeOf(searchNode(root, "A", {"Code"}, {"01"})), "01");
    EXPECT_FALSE(searchNode(root, "a"));
    // empty lists: first descendant by name
    EXPECT_EQ(codeOf(searchNode(root, "L")), "1");
    // to find the root itself, start at the document
    EXPECT_EQ(codeOf(searchNode(d.dom(), "L", {"Code"}, {"0"})), "0");
}

TEST(SearchNode, MissingAttributeDoesNotDisqualifyAndMismatchIsSearchedInside) {
    XmlDocument d;
    auto root = parse(d, R"(<R><PO_loc pcu="X" text="t"><PO_loc text="t" nr="5"/></PO_loc></R>)");
    // the outer one has a different pcu, so its child (without pcu) is the match
    auto n = searchNode(root, "PO_loc", {"pcu", "text"}, {"Y", "t"});
    ASSERT_TRUE(n);
    EXPECT_STREQ(n.attribute("nr").value(), "5");
    // after the last child of a subtree the walk continues with the next sibling, not above start
    XmlDocument d2;
    auto r2 = parse(d2, R"(<R><S><T/></S><U/></R>)");
    EXPECT_FALSE(searchNode(r2.child("S"), "U"));
    EXPECT_TRUE(searchNode(r2, "U"));
}

TEST(XmlStore, MissingFileStartsRootOnlyAndWritesNothingUntilSaved) {
    TempDir dir;
    DocumentSlot slot;
    openDataFile(slot, dir.path(), kLinkDefsFile);
    ASSERT_TRUE(slot && slot->hasContent());
    EXPECT_STREQ(slot->root().name(), "ZamPOLinkDefs");
    EXPECT_FALSE(slot->root().first_child());
    EXPECT_FALSE(test::fileExists(dir.file("LinkDefs.xml")));

    slot->root().append_child("PO_loc").append_attribute("text") = "a";
    ASSERT_TRUE(saveDataFile(slot, dir.path(), kLinkDefsFile));
    const std::string text = test::readFile(dir.file("LinkDefs.xml"));
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u) << text;
    EXPECT_NE(text.find("\n\t<PO_loc text=\"a\" />"), std::string::npos) << text;
}

TEST(XmlStore, OpenKeepsUnsavedChangesAndReloadReadsTheFile) {
    TempDir dir;
    test::writeFile(dir.file("ZamDefs.xml"), "<ZamAlarmDefinitions><Location Code=\"1\"/></ZamAlarmDefinitions>");
    DocumentSlot slot;
    openDataFile(slot, dir.path(), kZamDefsFile);
    slot->root().append_child("Location").append_attribute("Code") = "2";
    openDataFile(slot, dir.path(), kZamDefsFile);  // must not re-read
    EXPECT_TRUE(searchNode(slot->root(), "Location", {"Code"}, {"2"}));

    test::writeFile(dir.file("ZamDefs.xml"), "<ZamAlarmDefinitions><Location Code=\"3\"/></ZamAlarmDefinitions>");
    XmlDocument* before = slot.get();
    reloadDataFile(slot, dir.path(), kZamDefsFile);
    EXPECT_EQ(slot.get(), before);
    EXPECT_TRUE(searchNode(slot->root(), "Location", {"Code"}, {"3"}));
    EXPECT_FALSE(searchNode(slot->root(), "Location", {"Code"}, {"2"}));
}

TEST(XmlStore, DamagedFileIsNeverOverwrittenAndEmptySlotIsNotSaved) {
    TempDir dir;
    DocumentSlot empty;
    EXPECT_FALSE(saveDataFile(empty, dir.path(), kZamDefsFile));
    EXPECT_FALSE(test::fileExists(dir.file("ZamDefs.xml")));

    const std::string damaged = "<ZamAlarmDefinitions><Location Code=\"1\">";
    test::writeFile(dir.file("ZamDefs.xml"), damaged);
    DocumentSlot slot;
    openDataFile(slot, dir.path(), kZamDefsFile);
    ASSERT_TRUE(slot);
    EXPECT_FALSE(slot->hasContent());
    EXPECT_FALSE(saveDataFile(slot, dir.path(), kZamDefsFile));
    EXPECT_EQ(test::readFile(dir.file("ZamDefs.xml")), damaged);
}

TEST(XmlStore, FailedSaveLeavesTheOldFileIntact) {
    if (::geteuid() == 0) {
        // root ignores directory permissions; use a path whose parent is a file instead
        TempDir dir;
        test::writeFile(dir.file("notadir"), "x");
        DocumentSlot slot;
        openDocument(slot, dir.file("notadir/LinkDefs.xml"), "ZamPOLinkDefs");
        std::string err;
        EXPECT_FALSE(saveDocument(slot, dir.file("notadir/LinkDefs.xml"), &err));
        EXPECT_FALSE(err.empty());
        EXPECT_EQ(test::readFile(dir.file("notadir")), "x");
        return;
    }
    TempDir dir;
    test::writeFile(dir.file("LinkDefs.xml"), "<ZamPOLinkDefs><old/></ZamPOLinkDefs>");
    DocumentSlot slot;
    openDataFile(slot, dir.path(), kLinkDefsFile);
    slot->root().append_child("new");
    ::chmod(dir.path().c_str(), 0500);
    EXPECT_FALSE(saveDataFile(slot, dir.path(), kLinkDefsFile));
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(test::readFile(dir.file("LinkDefs.xml")), "<ZamPOLinkDefs><old/></ZamPOLinkDefs>");
}

TEST(XmlStore, NamesOutsideLatin1SurviveSaveAndReload) {
    TempDir dir;
    DocumentSlot slot;
    openDataFile(slot, dir.path(), kLinkDefsFile);
    const std::string name = "Ruimte \xC3\xA9\xC3\xAF \xE2\x82\xAC \xE6\x9D\xB1 \xF0\x9F\x94\xA5 <&\">";  // é ï € 東 🔥
    slot->root().append_child("PO_loc").append_attribute("text") = name.c_str();
    ASSERT_TRUE(saveDataFile(slot, dir.path(), kLinkDefsFile));

    const std::string raw = test::readFile(dir.file("LinkDefs.xml"));
    EXPECT_NE(raw.find("\xE9\xEF &#8364; &#26481; &#128293; &lt;&amp;&quot;>"), std::string::npos) << raw;

    DocumentSlot again;
    openDataFile(again, dir.path(), kLinkDefsFile);
    ASSERT_TRUE(again->hasContent());
    EXPECT_EQ(std::string(again->root().child("PO_loc").attribute("text").value()), name);
    EXPECT_TRUE(searchNode(again->root(), "PO_loc", {"text"}, {name}));

    // A file someone saved as windows-1252 reads as such and is written back as ISO-8859-1.
    test::writeFile(dir.file("LinkDefs.xml"),
                    "<?xml version=\"1.0\" encoding=\"windows-1252\"?><ZamPOLinkDefs><PO_loc text=\"\xE9\x80\x92\"/>"
                    "</ZamPOLinkDefs>");
    reloadDataFile(again, dir.path(), kLinkDefsFile);
    const std::string cp1252Name = "\xC3\xA9\xE2\x82\xAC\xE2\x80\x99";  // é € ’
    EXPECT_EQ(std::string(again->root().child("PO_loc").attribute("text").value()), cp1252Name);
    ASSERT_TRUE(saveDataFile(again, dir.path(), kLinkDefsFile));
    EXPECT_NE(test::readFile(dir.file("LinkDefs.xml")).find("encoding=\"ISO-8859-1\""), std::string::npos);
    reloadDataFile(again, dir.path(), kLinkDefsFile);
    EXPECT_EQ(std::string(again->root().child("PO_loc").attribute("text").value()), cp1252Name);
}

TEST(XmlStore, TopElementSkipsTheDeclaration) {
    XmlDocument d;
    ASSERT_TRUE(d.loadText("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><ZamDefinitions/>"));
    EXPECT_STREQ(topElement(d.dom()).name(), "ZamDefinitions");
    XmlDocument plain;
    ASSERT_TRUE(plain.loadText("<Other/>"));
    EXPECT_STREQ(topElement(plain.dom()).name(), "Other");
}

TEST(XmlStore, SaveKeepsTheFilesPermissionsAndWritesThroughALink) {
    TempDir dir, elsewhere;
    DocumentSlot slot;
    openDataFile(slot, dir.path(), kLinkDefsFile);
    slot->root().append_child("PO_loc");

    ASSERT_TRUE(saveDataFile(slot, dir.path(), kLinkDefsFile));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("LinkDefs.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u) << "a new file";
    ::chmod(dir.file("LinkDefs.xml").c_str(), 0660);
    ASSERT_TRUE(saveDataFile(slot, dir.path(), kLinkDefsFile));
    ASSERT_EQ(::stat(dir.file("LinkDefs.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0660u) << "the operator's permissions were replaced";

    // An operator keeps ZamDefs.xml elsewhere and links it into the data directory.
    test::writeFile(elsewhere.file("zamdefs.xml"), "<ZamDefinitions/>");
    ::chmod(elsewhere.file("zamdefs.xml").c_str(), 0600);
    ASSERT_EQ(::symlink(elsewhere.file("zamdefs.xml").c_str(), dir.file("link").c_str()), 0);
    ASSERT_EQ(::symlink("link", dir.file("ZamDefs.xml").c_str()), 0);  // relative, and two hops
    DocumentSlot defs;
    openDataFile(defs, dir.path(), kZamDefsFile);
    defs->root().append_child("Loc");
    ASSERT_TRUE(saveDataFile(defs, dir.path(), kZamDefsFile));
    ASSERT_EQ(::lstat(dir.file("ZamDefs.xml").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    EXPECT_NE(test::readFile(elsewhere.file("zamdefs.xml")).find("<Loc"), std::string::npos);
    ASSERT_EQ(::stat(elsewhere.file("zamdefs.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_TRUE(removeStaleTemporaryFiles(dir.path()).empty());
    EXPECT_TRUE(removeStaleTemporaryFiles(elsewhere.path()).empty());
}

TEST(XmlStore, OnlyTemporaryFilesOfOurOwnSavesAreRemoved) {
    TempDir dir;
    for (const char* name : {"LinkDefs.xml.zampo-tmp-a1B2c3", "AlarmStatus.xml.zampo-tmp-ZZZZZZ",  // ours
                             "LinkDefs.xml.a1B2c3", "notes.zampo-tmp-abc", "x.zampo-tmp-abcdef.xml", "AlarmStatus.xml"})
        test::writeFile(dir.file(name), "x");
    std::filesystem::create_directory(dir.file("d.zampo-tmp-abcdef"));
    ASSERT_EQ(::symlink("AlarmStatus.xml", dir.file("s.zampo-tmp-abcdef").c_str()), 0);

    std::vector<std::string> removed = removeStaleTemporaryFiles(dir.path());
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<std::string>{"AlarmStatus.xml.zampo-tmp-ZZZZZZ", "LinkDefs.xml.zampo-tmp-a1B2c3"}));
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"AlarmStatus.xml", "LinkDefs.xml.a1B2c3", "d.zampo-tmp-abcdef",
                                              "notes.zampo-tmp-abc", "s.zampo-tmp-abcdef", "x.zampo-tmp-abcdef.xml"}));
}

TEST(XmlStore, ACopyMadeInSlicesIsTheDeepCopy) {
    XmlDocument d;
    parse(d,
          "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><!-- kept --><S a=\"1\" b=\"&#233;\"><A n=\"1\"/>"
          "<A n=\"2\"><B/></A>text<A n=\"3\"/><G n=\"4\" t=\"x\"/></S>");
    XmlDocument whole, sliced;
    whole.copyFrom(d);
    pugi::xml_node next = sliced.startCopy(d);
    int slices = 0;
    while (next) next = sliced.copyChildren(next, 2), ++slices;
    EXPECT_EQ(slices, 3);
    EXPECT_TRUE(sliced.hasContent());
    EXPECT_EQ(sliced.toText(), whole.toText());
    EXPECT_EQ(sliced.toText(), d.toText());
    // A root without children, and no document at all.
    XmlDocument bare, empty, none;
    parse(bare, "<S a=\"1\"/>");
    EXPECT_FALSE(empty.startCopy(bare));
    EXPECT_EQ(empty.toText(), bare.toText());
    EXPECT_FALSE(none.startCopy(XmlDocument()));
    EXPECT_FALSE(none.hasContent());
}
