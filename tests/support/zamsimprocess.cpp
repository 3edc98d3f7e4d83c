#include "support/zamsimprocess.h"

#include <QFile>
#include <QRegularExpression>
#include <csignal>
#include <cstdlib>

#include "support/loopback.h"

namespace zampo::test {

QString ZamsimProcess::program() {
    const char* dir = std::getenv("ZAMPO_TOOLS_DIR");
    return dir && *dir ? QString(dir) + "/zampo-zamsim" : QString(ZAMPO_ZAMSIM_BUILT);
}

ZamsimProcess::~ZamsimProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished();
    }
}

bool ZamsimProcess::start(const QString& mode, const QStringList& extra) {
    process_.start(program(),
                   QStringList{"--port", "0", "--mode", mode, "--control", controlDir_.filePath("control")} + extra);
    if (!process_.waitForStarted()) return false;
    const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)");
    QRegularExpressionMatch match;
    waitUntil([&] {
        match = listening.match(QString::fromUtf8(output()));
        return match.hasMatch() || process_.state() == QProcess::NotRunning;
    });
    if (!match.hasMatch()) {
        output_ += process_.readAllStandardError();
        return false;
    }
    port_ = static_cast<quint16>(match.captured(1).toUInt());
    return true;
}

bool ZamsimProcess::setMode(const QString& mode) {
    QFile control(controlDir_.filePath("control"));
    if (!control.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    control.write(("mode " + mode).toUtf8());
    control.close();
    const QByteArray done = "mode " + mode.toLower().toUtf8() + "\n";
    return waitUntil([&] { return output().contains(done); });
}

bool ZamsimProcess::goDown() {
    return signalAndWait(SIGUSR1, "down: stopped listening on ");
}

bool ZamsimProcess::comeBack() {
    return signalAndWait(SIGUSR2, "up: listening on ");
}

bool ZamsimProcess::signalAndWait(int signal, const QByteArray& doneLine) {
    const qsizetype done = output().count(doneLine);
    const qsizetype failed = output().count("; still down");
    if (process_.state() != QProcess::Running || ::kill(static_cast<pid_t>(process_.processId()), signal) != 0)
        return false;
    waitUntil([&] { return output().count(doneLine) > done || output().count("; still down") > failed; });
    return output().count(doneLine) > done;
}

const QByteArray& ZamsimProcess::output() {
    output_ += process_.readAllStandardOutput();
    return output_;
}

std::vector<std::string> ZamsimProcess::received() {
    // "2024-05-01 10:00:01.251 <- [ZAM WD 09]": a time stamp of 23 characters, a blank, then the event.
    static const QByteArray kReceived = "<- ";
    QList<QByteArray> printed = output().split('\n');
    printed.removeLast();  // not complete yet, or empty
    std::vector<std::string> lines;
    for (const QByteArray& line : printed)
        if (line.mid(24).startsWith(kReceived)) lines.push_back(line.mid(24 + kReceived.size()).toStdString());
    return lines;
}

}  // namespace zampo::test
