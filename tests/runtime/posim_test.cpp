// The HTTP client against the Priva Office simulator, and the simulator's own
// command line.
#include <gtest/gtest.h>

#include "runtime/httpclient.h"
#include "support/posimprocess.h"
#include "support/tempdir.h"
#include "support/testhosts.h"

using namespace zampo;
using namespace zampo::test;
using namespace std::chrono_literals;

namespace {

const char* kAlarms = "/office/alarm/alarmserver";
const char* kDefinitions = "/office/alarm/alarmserverconfig";

TEST(HttpClientWithPosim, SendsTheFixedRequestAndTakesOnlyA2xxAnswer) {
    TempDir dir;
    const std::string control = dir.file("control");
    PosimProcess sim;
    ASSERT_TRUE(
        sim.start(testHost(TestHost::PosimServesTheFixedRequest),
                  {"--alarms", PosimProcess::sample("alarms.xml"), "--definitions",
                   PosimProcess::sample("definitions.xml"), "--control", QString::fromStdString(control), "--headers"}))
        << sim.output().toStdString();
    const HttpClient client;
    HttpLimits limits;

    HttpResult r = client.get(sim.url(kAlarms).toStdString(), limits);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, readFile(PosimProcess::sample("alarms.xml").toStdString()));  // bytes as sent
    ASSERT_TRUE(sim.waitForOutput("GET /office/alarm/alarmserver HTTP/1.1 -> 200 OK"));
    ASSERT_TRUE(sim.waitForOutput("    Accept: text/html, */*\n"));
    EXPECT_TRUE(sim.output().contains("    User-Agent: Mozilla/3.0 (compatible; Indy Library)\n"));

    writeFile(control, "alarms=fail  # definitions stay normal\n");
    r = client.get(sim.url(kAlarms).toStdString(), limits);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "HTTP status 500");
    EXPECT_TRUE(r.body.empty());
    r = client.get(sim.url(kDefinitions).toStdString(), limits);
    EXPECT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.body, readFile(PosimProcess::sample("definitions.xml").toStdString()));

    writeFile(control, "redirect");
    r = client.get(sim.url(kDefinitions).toStdString(), limits);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.reason, "HTTP status 302 (redirects are not followed)");

    writeFile(control, "empty");
    r = client.get(sim.url(kAlarms).toStdString(), limits);
    EXPECT_TRUE(r.ok) << r.reason;
    EXPECT_TRUE(r.body.empty());

    // The limit covers the whole answer, not only the wait for its first byte.
    writeFile(control, "trickle:100");
    limits.timeLimit = 1s;
    r = client.get(sim.url(kAlarms).toStdString(), limits);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "no complete answer within 1 s");

    EXPECT_EQ(sim.count("GET /moved"), 0);
}

TEST(PosimTool, BadArgumentsAndABusyAddressAreReportedClearly) {
    for (const QStringList& args :
         {QStringList{"--mode", "bogus"}, QStringList{"--mode", "huge:0"}, QStringList{"--mode", "pumps=fail"},
          QStringList{"--alarms", "/nonexistent/alarms.xml"}, QStringList{"--address", "nowhere"},
          QStringList{"--address"}, QStringList{"--port", "80"}}) {
        const auto [rc, err] = runPosim(args);
        EXPECT_EQ(rc, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(err.contains("Try 'zampo-posim --help'")) << err.toStdString();
    }
    EXPECT_TRUE(runPosim({"--alarms", "/nonexistent/alarms.xml"}).second.contains("/nonexistent/alarms.xml"));

    PosimProcess first;
    const QString busy = testHost(TestHost::PosimBusyAddress);
    ASSERT_TRUE(first.start(busy)) << first.output().toStdString();
    const auto [rc, err] = runPosim({"--address", busy});
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(err.contains(("cannot listen on " + busy + ":8080").toUtf8())) << err.toStdString();
}

}  // namespace
