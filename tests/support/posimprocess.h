#pragma once
// The Priva Office simulator run as a child process on its own loopback address,
// as tests and operators run it.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace zampo::test {

class PosimProcess {
public:
    ~PosimProcess();
    static QString program();
    static QString sample(const QString& name);

    // Starts it on address:8080 and waits for its first line; false with the
    // output so far in output() when it did not come up.
    bool start(const QString& address, const QStringList& args = {});
    // Everything it printed so far.
    const QByteArray& output();
    bool waitForOutput(const QByteArray& text) { return waitForCount(text, 1); }
    bool waitForCount(const QByteArray& text, qsizetype n);
    qsizetype count(const QByteArray& text) { return output().count(text); }
    QString url(const char* path) const { return "http://" + address_ + ":8080" + path; }

private:
    QProcess process_;
    QString address_;
    QByteArray output_;
};

// Runs it to its end: exit code and standard error.
std::pair<int, QByteArray> runPosim(const QStringList& args);

}  // namespace zampo::test
