// The metrics page and zampo-gateway --check against a gateway that forwards a
// storm to the receiver simulator: the figures must match what ZamMeld received.
#include <QProcess>
#include <filesystem>

#include "gatewayfixture.h"
#include "logic/core/gatewaycounters.h"
#include "runtime/healthcheck.h"
#include "runtime/httpclient.h"

using namespace zampo;
using namespace zampo::test;
using namespace std::chrono_literals;

namespace {

constexpr int kMetricsPort = 19464;

class HealthTest : public GatewayTest {
protected:
    std::map<std::string, double> scrape() {
        const HttpResult r = HttpClient().get("http://127.0.24.1:" + std::to_string(kMetricsPort) + "/metrics", {});
        EXPECT_TRUE(r.ok) << r.reason;
        return parseMetricsText(r.body);
    }
    // The real program, beside the test's PO.ini, run as a person would.
    std::pair<int, std::string> check(const std::string& metricsSection) {
        writeFile(paths->settingsFile(), metricsSection);
        const std::string program = dir.path() + "/prog/zampo-gateway";
        std::filesystem::copy_file(ZAMPO_GATEWAY_BUILT, program, std::filesystem::copy_options::skip_existing);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", QString::fromStdString(dir.path()));
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString(program), {"--check"});
        EXPECT_TRUE(p.waitForFinished(20000));
        return {p.exitCode(), p.readAllStandardOutput().toStdString()};
    }
};

TEST_F(HealthTest, FiguresAfterAStormMatchWhatZamMeldReceivedAndCheckSaysWhenZamMeldFails) {
    writeSiteDefinitions();
    std::string storm;
    for (int nr = 1; nr <= 25; ++nr) storm += activeAlarm("PCU1", "Kas4", std::to_string(nr), "Temp hoog", 5s);
    storm += activeAlarm("PCU1", "Kas5", "1", "Temp hoog", 5s) + activeAlarm("PCU1", "Kas5", "2", "Vocht", 5s) +
             activeAlarm("PCU3", "Nergens", "5", "Onbekend", 5s);
    setActiveAlarms(storm);
    // The first alarm is refused: its element gets Error 1 and the configuration error goes out again.
    ASSERT_NO_FATAL_FAILURE(start("127.0.24.2", "nak,ok"));
    ASSERT_TRUE(gateway->metrics.listen("127.0.24.1", kMetricsPort));
    for (int i = 0; i < 5; ++i) advance(10s);  // raises, the group after its delay
    setActiveAlarms("");
    for (int i = 0; i < 3; ++i) advance(10s);  // resets and a watchdog
    newWireLines();
    gateway->metrics.sample();

    std::map<std::string, double> want;
    for (const std::string& line : zamsim.received()) {
        MessageKind kind = classifyMessage(line);
        if (line.find(",0100,07,") != std::string::npos) kind = MessageKind::Group;
        want[kind == MessageKind::Watchdog ? "zampo_watchdogs_sent_total"
                                           : std::string("zampo_alarms_forwarded_total{kind=\"") +
                                                 messageKindName(kind) + "\"}"] += 1;
    }
    ASSERT_EQ(want["zampo_alarms_forwarded_total{kind=\"group\"}"], 2);  // the storm reached ZamMeld
    auto got = scrape();
    for (const auto& [name, count] : want) EXPECT_EQ(got[name], count) << name;
    EXPECT_EQ(got["zampo_alarms_forwarded_total{kind=\"reset\"}"], 27);
    EXPECT_EQ(got["zampo_resends_total"], 1);
    EXPECT_EQ(got["zampo_send_failures_total{code=\"1\"}"], 1);
    EXPECT_EQ(got["zampo_watchdogs_answered_total"], 1);
    EXPECT_EQ(got["zampo_messages_waiting"], 0);
    EXPECT_EQ(got["zampo_zammeld_connected"], 1);
    EXPECT_EQ(got["zampo_privaoffice_failing"], 0);
    const std::string status = readDataFile("AlarmStatus.xml");
    std::size_t elements = 0;
    for (const char* tag : {"<Alarm ", "<Group "})
        for (auto at = status.find(tag); at != std::string::npos; at = status.find(tag, at + 1)) ++elements;
    EXPECT_EQ(got["zampo_status_elements"], double(elements));

    const std::string section = "[Metrics]\naddress=127.0.24.1\nport=" + std::to_string(kMetricsPort) + "\n";
    auto [healthy, shown] = check(section);
    EXPECT_EQ(healthy, kHealthy) << shown;
    EXPECT_NE(shown.find("reset 27"), std::string::npos) << shown;
    EXPECT_NE(shown.find("ZamMeld:         connected"), std::string::npos) << shown;

    ASSERT_TRUE(zamsim.goDown());
    advance(60s);  // the watchdog finds ZamMeld gone
    gateway->metrics.sample();
    auto [failing, failShown] = check(section);
    EXPECT_EQ(failing, kHealthFailing) << failShown;
    EXPECT_NE(failShown.find("ZamMeld:         FAILING"), std::string::npos) << failShown;

    EXPECT_EQ(check("[PO]\nTrace=0\n").first, kHealthUnknown);  // metrics off
    gateway->metrics.listen("127.0.24.1", 0);
    EXPECT_EQ(check(section).first, kHealthUnknown);  // nobody answers
}

}  // namespace
