#include <gtest/gtest.h>
#include <filesystem>

#include "logic/commissioning/configcheck.h"
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

namespace {

// A site of its own: the program directory with PO.ini, Data and PoData beside it.
struct Site {
    TempDir dir;
    Site(const std::string& settings, const std::string& links) {
        std::filesystem::create_directories(dir.file("bin"));
        std::filesystem::create_directories(dir.file("Data"));
        std::filesystem::create_directories(dir.file("PoData"));
        test::writeFile(dir.file("bin/PO.ini"), "[Application]\ndatapath=" + dir.file("Data") + "\n");
        test::writeFile(dir.file("Data/ZamLocal.INI"), settings);
        test::writeFile(dir.file("PoData/ZamDefs.xml"), R"(<ZamAlarmDefinitions>
            <Location Code="12"><Alarm Code="3"/></Location><Location Code="100"><Alarm Code="7"/></Location>
            </ZamAlarmDefinitions>)");
        test::writeFile(dir.file("PoData/LinkDefs.xml"), links);
    }
    ConfigReport check() {
        DataPaths paths(dir.file("bin"), dir.file("home"));
        return checkConfig(paths);
    }
};

std::string lines(const ConfigReport& r) {
    std::string out;
    for (const ConfigProblem& p : r.problems)
        out += std::string(p.level == ProblemLevel::Error ? "E " : "W ") + p.element + " " + p.text + "\n";
    return out;
}

const char* kGoodSettings = "[IP]\naddress=127.0.0.1\nOIPort=8132\n[PO]\nWDid=3\nlanguage=NLD\n[Metrics]\nport=0\n";
const char* kGoodLinks = R"(<ZamPOLinkDefs><PO_Locations>
    <PO_loc pcu="P" text="A" zam_alarm="0012 - 03" zam_group="0100 - 07"><Except nr="2" zam_alarm="0012 - 03"/></PO_loc>
    </PO_Locations><PO_AlarmTypes><PO_Alarm nr="2"/></PO_AlarmTypes></ZamPOLinkDefs>)";

}  // namespace

TEST(ConfigCheck, CleanSiteAndEveryKindOfProblemWithItsFileAndElement) {
    Site clean(kGoodSettings, kGoodLinks);
    const ConfigReport ok = clean.check();
    EXPECT_EQ(lines(ok), "");
    EXPECT_EQ(ok.exitStatus(), 0);
    EXPECT_EQ(formatConfigReport(ok), "configuration OK: 0 errors, 0 warnings\n");

    Site bad("[IP]\nOIPort=70000\n[PO]\nWDid=x\nlanguag=NLD\nlanguage=nld\n[Metrics]\nport=8o\n",
             R"(<ZamPOLinkDefs><PO_Locations>
        <PO_loc pcu="P" text="A" zam_alarm="0012 - 04"/>
        <PO_loc pcu="P" text="B" zam_alarm="12 - 3" zam_group="0012 - 09"/>
        <PO_loc pcu="P" text="A" zam_alarm=""><Except nr="5" zam_alarm="0012 - 03"/></PO_loc>
        </PO_Locations><PO_AlarmTypes><PO_Alarm nr="2"/></PO_AlarmTypes></ZamPOLinkDefs>)");
    const ConfigReport r = bad.check();
    const std::string settings = bad.dir.file("Data/ZamLocal.INI");
    ASSERT_GE(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0].file, settings + ":2");
    EXPECT_EQ(lines(r),
              "E  OIPort=70000 is out of range 1..65535; ZamMeld cannot be reached\n"
              "W  WDid=x is not a number; watchdog ID 1 is used\n"
              "W  unknown key languag in [PO]; the gateway ignores it\n"
              "W  language=nld is neither ENG nor NLD; English is used\n"
              "W  port=8o is not a number; metrics are off\n"
              "E <PO_loc pcu=\"P\" text=\"A\" zam_alarm=\"0012 - 04\"/> ZAM alarm 0012 - 04 is not in ZamDefs.xml: "
              "ZamMeld will refuse it\n"
              "E <PO_loc pcu=\"P\" text=\"B\" zam_alarm=\"12 - 3\" zam_group=\"0012 - 09\"/> ZAM alarm reference "
              "\"12 - 3\" is not nine characters: its alarms raise 9999/9\n"
              "E <PO_loc pcu=\"P\" text=\"B\" zam_alarm=\"12 - 3\" zam_group=\"0012 - 09\"/> group \"0012 - 09\" is "
              "not a ZAM alarm of ZamDefs.xml\n"
              "W <PO_loc pcu=\"P\" text=\"A\" zam_alarm=\"\"> duplicate location: only the first one counts\n"
              "W <PO_loc pcu=\"P\" text=\"A\" zam_alarm=\"\"> location with no link: its alarms raise 9999/9 unless an "
              "exception links them\n"
              "W <Except nr=\"5\" zam_alarm=\"0012 - 03\"/> exception of alarm type 5, which no definitions fetch has "
              "listed\n");
    EXPECT_EQ(r.exitStatus(), 1);
    EXPECT_EQ(formatConfigReport(r).substr(formatConfigReport(r).rfind("configuration")),
              "configuration has errors: 4 errors, 7 warnings\n");

    // A data directory that is no directory stops the start; a damaged file cannot be taken as read.
    Site broken(kGoodSettings, "<ZamPOLinkDefs><PO_Locations>");
    std::filesystem::remove_all(broken.dir.file("Data"));
    test::writeFile(broken.dir.file("Data"), "");
    const ConfigReport b = broken.check();
    EXPECT_NE(lines(b).find("E  the ZAM data directory " + broken.dir.file("Data") + " is not a directory"),
              std::string::npos)
        << lines(b);
    EXPECT_NE(lines(b).find("E  not well-formed: "), std::string::npos) << lines(b);
    EXPECT_EQ(b.exitStatus(), 1);
    for (const char* f : {"PoData/LinkDefs.xml.tmp", "PoData/AlarmStatus.xml", "Data/ZAMPO.LOG", "home"})
        EXPECT_FALSE(test::fileExists(broken.dir.file(f))) << f;  // nothing written, nothing made
}
