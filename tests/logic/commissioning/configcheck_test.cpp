#include "logic/commissioning/configcheck.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "logic/core/datapaths.h"
#include "support/tempdir.h"

using namespace zampo;
using zampo::test::TempDir;

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

TEST(ConfigCheck, TheMetricsWebConfigAsTheEndpointWouldTakeIt) {
    Site site("[Metrics]\nport=9464\naddress=0.0.0.0\nwebconfig=web.yml\n", kGoodLinks);
    const std::string web = site.dir.file("Data/web.yml");
    test::writeFile(
        web,
        "basic_auth_users:\n  a: plain # a comment\n  b: '$2b$04$DVZ.zphw.oih.IixJvWXqeXqryjjwfvQoRJQiK88pozz4U"
        "SQqKs8m'\ntls_server_config:\n  cert_file: c.pem\n  client_ca_file: ca.pem\nhttp_server_config:\n"
        "  http2: false\n");
    std::filesystem::permissions(web, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    const ConfigReport r = site.check();
    std::vector<std::string> got;
    for (const ConfigProblem& p : r.problems)
        got.push_back(std::string(p.level == ProblemLevel::Error ? "E " : "W ") + p.file + " " + p.text);
    const std::vector<std::string> want = {
        "W " + web + " can be read by others than its owner; chmod 600 it (owner: the service account)",
        "E " + web +
            ":2 the password of a is not a bcrypt hash ($2b$..., 60 characters); the gateway serves no metrics",
        "E " + web +
            ":6 client_ca_file is not supported here (only cert_file and key_file); the gateway serves no metrics",
        "E " + web +
            ":7 http_server_config is not supported here (only basic_auth_users and tls_server_config); the "
            "gateway serves no metrics",
        "E " + web + " tls_server_config needs both cert_file and key_file; the gateway serves no metrics",
        "E " + web + " " + site.dir.file("Data/c.pem") +
            " cannot be read: No such file or directory; the gateway serves no metrics"};
    EXPECT_EQ(got, want);

    // Off loopback and without a file: said, but not an error.
    Site open("[Metrics]\nport=9464\naddress=192.0.2.1\n", kGoodLinks);
    EXPECT_NE(lines(open.check()).find("W  [Metrics] address=192.0.2.1 without webconfig"), std::string::npos);
}
