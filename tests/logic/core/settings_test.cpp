#include <gtest/gtest.h>
#include <filesystem>

#include "logic/core/datapaths.h"
#include "logic/core/inifile.h"
#include "logic/core/settings.h"
#include "support/tempdir.h"

using namespace zampo;
using zampo::test::TempDir;

TEST(Settings, DefaultsForMissingFileAndBadValues) {
    TempDir dir;
    Settings s = loadSettings(dir.file("ZamLocal.INI"));
    EXPECT_EQ(s.zamHost, "127.0.0.1");
    EXPECT_EQ(s.zamPort, 8132);
    EXPECT_EQ(s.poHost, "127.0.0.1");
    EXPECT_TRUE(s.sendPcu);
    EXPECT_FALSE(s.filterPunct);
    EXPECT_EQ(s.watchdogId, 1);
    EXPECT_EQ(s.language, "ENG");
    EXPECT_FALSE(s.trace);

    test::writeFile(dir.file("ZamLocal.INI"),
                    "[IP]\naddress=\nOIPort=81x2\n[po]\nSENDPCU=2\nfilterpunct=1\nWDid=12\nTrace=2\nlanguage=nld\n");
    s = loadSettings(dir.file("ZamLocal.INI"));
    EXPECT_EQ(s.zamHost, "127.0.0.1");  // empty value gives the default
    EXPECT_EQ(s.zamPort, 8132);         // not a number
    EXPECT_FALSE(s.sendPcu);            // on only when exactly 1; keys match in any case
    EXPECT_TRUE(s.filterPunct);
    EXPECT_EQ(s.watchdogId, 1);  // outside 0..9
    EXPECT_FALSE(s.trace);
    EXPECT_EQ(s.language, "nld");

    test::writeFile(dir.file("ZamLocal.INI"), "[PO]\nWDid=0\n");
    EXPECT_EQ(loadSettings(dir.file("ZamLocal.INI")).watchdogId, 0);
}

TEST(Settings, SaveTrimsAddressesKeepsOtherLinesAndLeavesTrace) {
    TempDir dir;
    const std::string f = dir.file("ZamLocal.INI");
    test::writeFile(f, "; operator's note\n[PO]\nTrace=1\n[Other]\nkeep=me\n");
    Settings s;
    s.zamHost = "  10.1.2.3 ";
    s.poHost = "\tpo.example ";
    s.zamPort = 9000;
    s.language = "NLD";
    s.sendPcu = false;
    s.filterPunct = true;
    s.watchdogId = 7;
    s.trace = false;
    saveSettings(f, s);
    const Settings r = loadSettings(f);
    EXPECT_EQ(r.zamHost, "10.1.2.3");
    EXPECT_EQ(r.poHost, "po.example");
    EXPECT_EQ(r.zamPort, 9000);
    EXPECT_EQ(r.language, "NLD");
    EXPECT_FALSE(r.sendPcu);
    EXPECT_TRUE(r.filterPunct);
    EXPECT_EQ(r.watchdogId, 7);
    EXPECT_TRUE(r.trace);  // not written by a save
    EXPECT_EQ(iniReadString(f, "Other", "keep", ""), "me");
    EXPECT_NE(test::readFile(f).find("operator's note"), std::string::npos);
}

TEST(Settings, UnreadableIniIsNeverReplacedByOneKey) {
    TempDir dir;
    const std::string f = dir.file("sub");  // a directory where the file should be
    std::filesystem::create_directory(f);
    EXPECT_FALSE(iniWriteInteger(f, "PO", "Trace", 0));
    EXPECT_TRUE(std::filesystem::is_directory(f));
}

TEST(DataPaths, PoIniDecidesAndTheDataRuleKeepsCase) {
    TempDir prog, home, site;
    DataPaths none(prog.path(), home.path());
    EXPECT_EQ(none.zamDataDir(), home.path() + "/zam/data");
    // one level only: without ~/zam there is no PoData either
    EXPECT_FALSE(std::filesystem::exists(none.poDataDir()));
    std::filesystem::create_directory(home.path() + "/zam");
    EXPECT_EQ(none.poDataDir(), home.path() + "/zam/PoData");
    EXPECT_TRUE(std::filesystem::is_directory(home.path() + "/zam/PoData"));

    std::filesystem::create_directories(site.path() + "/Zam/Data");
    test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=" + site.path() + "/Zam/Data\n");
    DataPaths p(prog.path(), home.path());
    EXPECT_EQ(p.zamDataDir(), site.path() + "/Zam/Data");
    EXPECT_EQ(p.poDataDir(), site.path() + "/Zam/PoData");
    EXPECT_EQ(p.xmlDir(), site.path() + "/Zam/Xml");
    EXPECT_TRUE(std::filesystem::is_directory(site.path() + "/Zam/Xml"));
    EXPECT_EQ(p.settingsFile(), site.path() + "/Zam/Data/ZamLocal.INI");

    // "/Database" starts with "/data": the rule cuts there, as it always has
    test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=" + site.path() + "/Install/Database/zam\n");
    std::filesystem::create_directories(site.path() + "/Install");
    DataPaths db(prog.path(), home.path());
    EXPECT_EQ(db.poDataDir(), site.path() + "/Install/PoData");

    // no "/data" anywhere: the defaults under home, created with their parent
    TempDir home2;
    test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=/opt/zam/site1\n");
    DataPaths other(prog.path(), home2.path());
    EXPECT_EQ(other.poDataDir(), home2.path() + "/zam/PoData");
    EXPECT_EQ(other.xmlDir(), home2.path() + "/zam/Xml");
    EXPECT_TRUE(std::filesystem::is_directory(home2.path() + "/zam/Xml"));
}

TEST(DataPaths, FilesBesideTheProgramComeBeforeTheInstalledOnes) {
    TempDir prog, home, etc, share;
    test::writeFile(etc.file("PO.ini"), "[Application]\ndatapath=/var/lib/zampo/data\n");
    test::writeFile(share.file("linkdefs.default"), "<ZamPOLinkDefs/>");
    DataPaths installed(prog.path(), home.path(), {etc.path(), share.path()});
    EXPECT_EQ(installed.zamDataDir(), "/var/lib/zampo/data");
    EXPECT_EQ(installed.linkDefsDefaultFile(), share.file("linkdefs.default"));

    test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=/srv/zam/data\n");
    test::writeFile(prog.file("linkdefs.default"), "<ZamPOLinkDefs/>");
    DataPaths beside(prog.path(), home.path(), {etc.path(), share.path()});
    EXPECT_EQ(beside.zamDataDir(), "/srv/zam/data");
    EXPECT_EQ(beside.linkDefsDefaultFile(), prog.file("linkdefs.default"));
}

TEST(DataPaths, ZamDataDirIsFixedByTheFirstCall) {
    TempDir prog, home;
    test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=/srv/a/data\n");
    DataPaths p(prog.path(), home.path());
    EXPECT_EQ(p.zamDataDir(), "/srv/a/data");
    test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=/srv/b/data\n");
    EXPECT_EQ(p.zamDataDir(), "/srv/a/data");
}
