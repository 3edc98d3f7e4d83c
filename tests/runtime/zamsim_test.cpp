// The receiver simulator, run as operators run it, against the socket machine.
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <cstdlib>

#include "receiverfixture.h"
#include "support/zamsimprocess.h"

using namespace zampo;
using namespace zampo::test;

namespace {

QString zamsimPath() {
    const char* dir = std::getenv("ZAMPO_TOOLS_DIR");
    return dir && *dir ? QString(dir) + "/zampo-zamsim" : QString(ZAMPO_ZAMSIM_BUILT);
}

class ZamSimTest : public ReceiverFixture {
protected:
    void TearDown() override {
        if (sim.state() != QProcess::NotRunning) {
            sim.kill();
            sim.waitForFinished();
        }
        ReceiverFixture::TearDown();
    }
    // Starts the simulator on a free port and returns that port, 0 on failure.
    quint16 startSim(const QStringList& extra) {
        sim.start(zamsimPath(), QStringList{"--port", "0"} + extra);
        if (!sim.waitForStarted()) return 0;
        const QRegularExpression re("listening on 127\\.0\\.0\\.1:(\\d+)");
        waitUntil([&] { return re.match(QString::fromUtf8(output += sim.readAllStandardOutput())).hasMatch(); });
        return static_cast<quint16>(re.match(QString::fromUtf8(output)).captured(1).toUInt());
    }
    bool outputHas(const QByteArray& text) {
        return waitUntil([&] { return (output += sim.readAllStandardOutput()).contains(text); });
    }
    // Runs the simulator to its end; exit code and standard error.
    std::pair<int, QByteArray> runSim(const QStringList& args) {
        QProcess p;
        p.start(zamsimPath(), args);
        p.waitForFinished(15000);
        return {p.exitCode(), p.readAllStandardError()};
    }

    QProcess sim;
    QByteArray output;
};

TEST_F(ZamSimTest, AnswersByScriptAndShowsEveryLine) {
    const quint16 port = startSim({"--mode", "nak,garbage,ok"});
    ASSERT_NE(port, 0) << output.toStdString();
    makeMachine(port);
    start();

    const std::vector<std::string> expected = {"NAK", "ERR?", "OK", "OK"};
    for (const std::string& answer : expected) {
        sockets->queueMessage("[ZAM WD 09]", true);
        ASSERT_TRUE(waitUntil([&] { return sockets->replyReceived(); })) << output.toStdString();
        EXPECT_EQ(sockets->lastReply(), answer);
    }
    sockets->queueMessage("[ZAM RCVALARM 02,0012,03,T,,caf\xC3\xA9]", true);
    ASSERT_TRUE(outputHas("<- [ZAM RCVALARM 02,0012,03,T,,caf\xC3\xA9]\n"));
    EXPECT_TRUE(output.contains("<- [ZAM WD 09]\n"));
    EXPECT_TRUE(output.contains("-> NAK\n"));
    EXPECT_EQ(output.count("connection from"), 1);
}

TEST_F(ZamSimTest, CloseModeEndsTheConnectionAndTheGatewayReconnects) {
    const quint16 port = startSim({"--mode", "close,ok"});
    ASSERT_NE(port, 0);
    makeMachine(port);
    start();
    sockets->queueMessage("[ZAM WD 09]", true);
    ASSERT_TRUE(outputHas("closed\n"));
    ASSERT_TRUE(waitUntil([&] { return !sockets->socketOpen(); }));
    sockets->queueMessage("[ZAM WD 09]", true);
    ASSERT_TRUE(waitUntil([&] { return sockets->replyReceived(); }));
    EXPECT_EQ(sockets->lastReply(), "OK");
    EXPECT_EQ(gateway.faultStatus, kFaultNone);
}

TEST_F(ZamSimTest, GoesDownAndComesBackOnItsPortBySignalOrControlFile) {
    // A line over a fresh connection: "OK", or nothing when no connection is taken.
    const auto exchange = [](QTcpSocket& s, quint16 port) -> QByteArray {
        s.connectToHost(QHostAddress::LocalHost, port);
        if (!s.waitForConnected(10000)) return {};
        s.write("[ZAM WD 09]\r");
        QByteArray reply;
        while (!reply.endsWith('\r') && s.waitForReadyRead(10000)) reply += s.readAll();
        return reply;
    };
    const auto refused = [&](quint16 port) {
        QTcpSocket s;
        return exchange(s, port).isEmpty() && s.error() == QAbstractSocket::ConnectionRefusedError;
    };

    // By signal, as the end-to-end tests take ZamMeld away.
    ZamsimProcess signalled;
    ASSERT_TRUE(signalled.start("ok")) << signalled.output().toStdString();
    QTcpSocket before;
    ASSERT_EQ(exchange(before, signalled.port()), "OK\r");
    ASSERT_TRUE(signalled.goDown()) << signalled.output().toStdString();
    EXPECT_TRUE(signalled.output().contains(", closed 1 connection\n"));
    EXPECT_TRUE(before.state() == QAbstractSocket::UnconnectedState || before.waitForDisconnected(10000));
    EXPECT_TRUE(refused(signalled.port()));
    ASSERT_TRUE(signalled.comeBack()) << signalled.output().toStdString();
    QTcpSocket after;
    EXPECT_EQ(exchange(after, signalled.port()), "OK\r");

    // By control file, as an operator rehearses it with the demo.
    const std::string control = dir.file("zamsim.control");
    const quint16 port = startSim({"--control", QString::fromStdString(control)});
    ASSERT_NE(port, 0) << output.toStdString();
    test::writeFile(control, "down\n");
    ASSERT_TRUE(outputHas("down: stopped listening on 127.0.0.1:" + QByteArray::number(port) + ", closed 0"))
        << output.toStdString();
    EXPECT_TRUE(refused(port));
    test::writeFile(control, "up");
    ASSERT_TRUE(outputHas("up: listening on 127.0.0.1:" + QByteArray::number(port) + " again\n"));
    QTcpSocket last;
    EXPECT_EQ(exchange(last, port), "OK\r");
}

TEST_F(ZamSimTest, BusyPortAndBadArgumentsAreReportedClearly) {
    LoopbackReceiver busy;
    ASSERT_TRUE(busy.listen());
    auto [rc, err] = runSim({"--port", QString::number(busy.port())});
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(err.contains("cannot listen on 127.0.0.1:" + QByteArray::number(busy.port()))) << err.toStdString();

    for (const QStringList& args :
         {QStringList{"--mode", "okk"}, QStringList{"--mode", "nak,"}, QStringList{"--port", "70000"},
          QStringList{"--address", "nowhere"}, QStringList{"--port"}, QStringList{"--bogus"}}) {
        std::tie(rc, err) = runSim(args);
        EXPECT_EQ(rc, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(err.contains("--help")) << err.toStdString();
    }
}

}  // namespace
