// The metrics page and zampo-gateway --check against a gateway that forwards a
// storm to the receiver simulator: the figures must match what ZamMeld received.
#include <QCoreApplication>
#include <QProcess>
#include <filesystem>

#include "gatewayfixture.h"
#include "logic/core/gatewaycounters.h"
#include "runtime/healthcheck.h"
#include "runtime/httpclient.h"
#include "support/testhosts.h"

using namespace zampo;
using namespace zampo::test;
using namespace std::chrono_literals;

namespace {

constexpr int kMetricsPort = 19464;

class HealthTest : public GatewayTest {
protected:
    std::map<std::string, double> scrape() {
        const HttpResult r = HttpClient().get(
            "http://" + testHostAddress(TestHost::HealthMetrics) + ":" + std::to_string(kMetricsPort) + "/metrics", {});
        EXPECT_TRUE(r.ok) << r.reason;
        return parseMetricsText(r.body);
    }
    // A program the test needs from Debian, with its exit code and standard output.
    static std::pair<int, std::string> run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(60000)) return {-1, "did not end: " + program.toStdString()};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardOutput().toStdString() + p.readAllStandardError().toStdString()};
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
    for (int nr = 1; nr <= 25; ++nr)
        storm +=
            activeAlarm("PCU1", "Kas4", std::to_string(nr), nr == 25 ? "<script>alert(1)</script>" : "Temp hoog", 5s);
    storm += activeAlarm("PCU1", "Kas5", "1", "Temp hoog", 5s) + activeAlarm("PCU1", "Kas5", "2", "Vocht", 5s) +
             activeAlarm("PCU3", "Nergens", "5", "Onbekend", 5s);
    setActiveAlarms(storm);
    // The first alarm is refused: its element gets Error 1 and the configuration error goes out again.
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::HealthStorm), "nak,ok"));
    ASSERT_TRUE(gateway->metrics().listen(testHostAddress(TestHost::HealthMetrics), kMetricsPort));
    for (int i = 0; i < 5; ++i) advance(10s);  // raises, the group after its delay
    setActiveAlarms("");
    for (int i = 0; i < 3; ++i) advance(10s);  // resets and a watchdog
    newWireLines();
    gateway->metrics().sample();

    std::map<std::string, double> want;
    for (const std::string& line : zamsim.received()) {
        MessageKind kind = classifyMessage(line);
        if (line.find(",0100,07,") != std::string::npos) kind = MessageKind::Group;
        want[std::string("zampo_lines_written_total{kind=\"") + messageKindName(kind) + "\"}"] += 1;
    }
    ASSERT_EQ(want["zampo_lines_written_total{kind=\"group\"}"], 2);  // the storm reached ZamMeld
    auto got = scrape();
    for (const auto& [name, count] : want) EXPECT_EQ(got[name], count) << name;
    EXPECT_EQ(got["zampo_watchdogs_sent_total"], want["zampo_lines_written_total{kind=\"watchdog\"}"]);
    // Forwarded is what ZamMeld accepted: all but the one line it refused.
    for (const char* kind : {"raise", "reset", "group", "system"}) {
        const std::string k = std::string("{kind=\"") + kind + "\"}";
        const double refused = std::string(kind) == "raise" ? 1 : 0;
        EXPECT_EQ(got["zampo_alarms_forwarded_total" + k], want["zampo_lines_written_total" + k] - refused) << kind;
        EXPECT_EQ(got["zampo_lines_accepted_total" + k], got["zampo_alarms_forwarded_total" + k]) << kind;
    }
    EXPECT_EQ(got["zampo_alarms_forwarded_total{kind=\"reset\"}"], 27);
    EXPECT_EQ(got["zampo_zammeld_answering"], 1);
    EXPECT_EQ(got["zampo_zammeld_failing"], 0);
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

    // The status page on the same port: every element a row, texts escaped, and only GET.
    const std::string base = "http://" + testHostAddress(TestHost::HealthMetrics) + ":" + std::to_string(kMetricsPort);
    const HttpResult page = HttpClient().get(base + "/", {});
    ASSERT_TRUE(page.ok) << page.reason;
    std::size_t rows = 0;
    for (auto at = page.body.find("<tr class=\"alarm\">"); at != std::string::npos;
         at = page.body.find("<tr class=\"alarm\">", at + 1))
        ++rows;
    EXPECT_EQ(double(rows), got["zampo_status_elements"]);
    EXPECT_EQ(page.body.find("<script>alert"), std::string::npos);
    EXPECT_NE(page.body.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    const HttpResult fragment = HttpClient().get(base + "/status", {});
    ASSERT_TRUE(fragment.ok) << fragment.reason;
    EXPECT_NE(fragment.body.find("&lt;script&gt;"), std::string::npos);
    EXPECT_FALSE(HttpClient().get(base + "/nothing", {}).ok);

    const std::string section = "[Metrics]\naddress=" + testHostAddress(TestHost::HealthMetrics) +
                                "\nport=" + std::to_string(kMetricsPort) + "\n";
    auto [healthy, shown] = check(section);
    EXPECT_EQ(healthy, kHealthy) << shown;
    EXPECT_NE(shown.find("reset 27"), std::string::npos) << shown;
    EXPECT_NE(shown.find("ZamMeld:         connected"), std::string::npos) << shown;

    ASSERT_TRUE(zamsim.goDown());
    advance(60s);  // the watchdog finds ZamMeld gone
    gateway->metrics().sample();
    auto [failing, failShown] = check(section);
    EXPECT_EQ(failing, kHealthFailing) << failShown;
    EXPECT_NE(failShown.find("ZamMeld:         FAILING"), std::string::npos) << failShown;

    EXPECT_EQ(check("[PO]\nTrace=0\n").first, kHealthUnknown);  // metrics off
    gateway->metrics().listen(testHostAddress(TestHost::HealthMetrics), 0);
    EXPECT_EQ(check(section).first, kHealthUnknown);  // nobody answers
}

TEST_F(HealthTest, ReceiverThatAcceptsEveryConnectionAndClosesItIsAFaultUntilItAnswers) {
    writeSiteDefinitions();
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::HealthAcceptAndClose), "close"));
    const std::string metrics = testHostAddress(TestHost::HealthAcceptAndCloseMetrics);
    ASSERT_TRUE(gateway->metrics().listen(metrics, kMetricsPort));
    const std::string section = "[Metrics]\naddress=" + metrics + "\nport=" + std::to_string(kMetricsPort) + "\n";

    // Every connect succeeds and nothing is answered: after one watchdog period a fault.
    for (int i = 0; i < 12 && gateway->state().faultStatus != kFaultReceiver; ++i) advance(10s);
    EXPECT_EQ(gateway->state().faultStatus, kFaultReceiver);
    EXPECT_LE(clock.nowUtc() - kT0, Millis(120s));
    gateway->metrics().sample();
    auto [failing, shown] = check(section);
    EXPECT_EQ(failing, kHealthFailing) << shown;
    EXPECT_NE(shown.find("ZamMeld:         FAILING (connections closed before any answer)"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Accepted:        raise 0,"), std::string::npos) << shown;
    EXPECT_EQ(window.statusText, "Error connecting to ZamMeld");

    // Once it answers, the fault clears and the raise goes out.
    ASSERT_TRUE(zamsim.setMode("ok"));
    for (int i = 0; i < 8; ++i) advance(10s);
    const Lines wire = zamsim.received();
    EXPECT_EQ(wire.back(), kRaiseA);
    EXPECT_EQ(gateway->state().faultStatus, kFaultNone);
    gateway->metrics().sample();
    auto [healthy, shownAfter] = check(section);
    EXPECT_EQ(healthy, kHealthy) << shownAfter;
    EXPECT_NE(shownAfter.find("Accepted:        raise 1,"), std::string::npos) << shownAfter;
}

// Off the default address the endpoint takes users and TLS from a web configuration
// file Prometheus also accepts; a real browser then shows the alarm rows, refreshed.
TEST_F(HealthTest, UsersAndTlsGuardPageAndMetricsAndTheBrowserShowsTheRows) {
    const std::string address = testHostAddress(TestHost::HealthWebTls);
    const std::string web = dir.path() + "/web";
    std::filesystem::create_directories(web);
    auto [made, openssl] = run(
        "openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=zampo-test", "-keyout",
                    QString::fromStdString(web + "/key.pem"), "-out", QString::fromStdString(web + "/cert.pem")});
    ASSERT_EQ(made, 0) << openssl;
    // Password "geheim", bcrypt cost 4.
    writeFile(
        web + "/web.yml",
        "# as Prometheus has it\nbasic_auth_users:\n  zampo: '$2b$04$DVZ.zphw.oih.IixJvWXqeXqryjjwfvQoRJQiK88pozz4USQ"
        "qKs8m'\ntls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n");
    std::filesystem::permissions(web + "/web.yml",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    auto [accepted, promtool] = run("promtool", {"check", "web-config", QString::fromStdString(web + "/web.yml")});
    EXPECT_EQ(accepted, 0) << promtool;

    writeSiteDefinitions();
    setActiveAlarms(activeAlarm("PCU1", "Kas4", "1", "Temp hoog", 5s) +
                    activeAlarm("PCU1", "Kas4", "2", "<script>document.title='x'</script>", 5s));
    ASSERT_NO_FATAL_FAILURE(start(testHost(TestHost::HealthWebTls)));
    ASSERT_TRUE(gateway->metrics().listen(address, kMetricsPort, web + "/web.yml"));
    for (int i = 0; i < 3; ++i) advance(10s);
    gateway->metrics().sample();

    const QString base = QString::fromStdString("https://" + address + ":" + std::to_string(kMetricsPort));
    auto curl = [&](const QString& user, const QString& path) {
        QStringList args = {"-s", "-k", "-o", "/dev/null", "-w", "%{http_code}"};
        if (!user.isEmpty()) args << "-u" << user;
        return run("curl", args << base + path).second;
    };
    for (const char* path : {"/", "/metrics", "/status"}) {
        EXPECT_EQ(curl("", path), "401") << path;
        EXPECT_EQ(curl("zampo:falsch", path), "401") << path;
        EXPECT_EQ(curl("zampo:geheim", path), "200") << path;
    }
    EXPECT_EQ(run("curl", {"-s", "-o", "/dev/null", "-w", "%{http_code}", "http://" + base.mid(8) + "/metrics"})
                  .second.substr(0, 1),
              "0")
        << "no plain HTTP beside TLS";
    EXPECT_NE(readFile(paths->logFile()).find("wrong user or password"), std::string::npos);
    const std::string section = "[Metrics]\naddress=" + address + "\nport=" + std::to_string(kMetricsPort) +
                                "\nwebconfig=" + web + "/web.yml\n";
    EXPECT_EQ(check(section).first, kHealthUnknown);  // no password given
    qputenv("ZAMPO_CHECK_USER", "zampo");
    qputenv("ZAMPO_CHECK_PASSWORD", "geheim");
    auto [healthy, shown] = check(section);
    qunsetenv("ZAMPO_CHECK_USER");
    qunsetenv("ZAMPO_CHECK_PASSWORD");
    EXPECT_EQ(healthy, kHealthy) << shown;

    // Chromium as Debian ships it, its page script run against the live endpoint.
    QProcess browser;
    browser.start("chromium",
                  {"--headless", "--no-sandbox", "--disable-gpu", "--ignore-certificate-errors",
                   "--user-data-dir=" + QString::fromStdString(dir.path() + "/chromium"), "--virtual-time-budget=8000",
                   "--dump-dom", "https://zampo:geheim@" + base.mid(8) + "/"});
    ASSERT_TRUE(browser.waitForStarted());
    while (!browser.waitForFinished(100)) QCoreApplication::processEvents();
    const std::string dom = browser.readAllStandardOutput().toStdString();
    EXPECT_NE(dom.find("data-refreshed"), std::string::npos) << dom;
    std::size_t rows = 0;
    for (auto at = dom.find("<tr class=\"alarm\">"); at != std::string::npos;
         at = dom.find("<tr class=\"alarm\">", at + 1))
        ++rows;
    EXPECT_EQ(rows, 2u) << dom;
    EXPECT_NE(dom.find("&lt;script&gt;document.title='x'&lt;/script&gt;"), std::string::npos) << dom;
    EXPECT_EQ(dom.find("<title>x</title>"), std::string::npos);
}

}  // namespace
