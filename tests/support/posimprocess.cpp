#include "support/posimprocess.h"

#include <QDeadlineTimer>
#include <cstdlib>

namespace zampo::test {

QString PosimProcess::program() {
    const char* dir = std::getenv("ZAMPO_TOOLS_DIR");
    return dir && *dir ? QString(dir) + "/zampo-posim" : QString(ZAMPO_POSIM_BUILT);
}

QString PosimProcess::sample(const QString& name) {
    return QString(ZAMPO_POSIM_SAMPLES) + "/" + name;
}

PosimProcess::~PosimProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished();
    }
}

bool PosimProcess::start(const QString& address, const QStringList& args) {
    address_ = address;
    process_.start(program(), QStringList{"--address", address} + args);
    return process_.waitForStarted() && waitForOutput("listening on " + address.toUtf8() + ":8080");
}

const QByteArray& PosimProcess::output() {
    output_ += process_.readAllStandardOutput();
    return output_;
}

bool PosimProcess::waitForCount(const QByteArray& text, qsizetype n) {
    const QDeadlineTimer deadline(20000);
    while (output().count(text) < n) {
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning) {
            output_ += process_.readAllStandardError();
            return false;
        }
        process_.waitForReadyRead(100);
    }
    return true;
}

std::pair<int, QByteArray> runPosim(const QStringList& args) {
    QProcess p;
    p.start(PosimProcess::program(), args);
    p.waitForFinished(15000);
    return {p.exitCode(), p.readAllStandardError()};
}

}  // namespace zampo::test
