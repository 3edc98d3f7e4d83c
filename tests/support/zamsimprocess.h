#pragma once
// The receiver simulator run as a child process on a free loopback port, as
// operators run it; what it printed tells exactly which lines came over the wire.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <string>
#include <vector>

namespace zampo::test {

class ZamsimProcess {
public:
    ~ZamsimProcess();
    static QString program();

    // Starts it on 127.0.0.1 with a port of its own choosing and an answer mode
    // ("ok", "silent", "nak,nak,ok", ...); false, with the output so far, when it
    // did not come up.
    // extra: further options, such as --close-on TEXT.
    bool start(const QString& mode, const QStringList& extra = {});
    // Answers by another script from the next line on, through its control file;
    // returns once the simulator said so.
    bool setMode(const QString& mode);
    quint16 port() const { return port_; }
    // A ZamMeld outage: stops listening and drops every connection, so that connects
    // are refused; comeBack() listens on the same port again. Each returns once the
    // simulator said it is done, false when it did not.
    bool goDown();
    bool comeBack();
    // Everything it printed so far.
    const QByteArray& output();
    // Every line it received, in order, as it printed them.
    std::vector<std::string> received();

private:
    bool signalAndWait(int signal, const QByteArray& doneLine);

    QTemporaryDir controlDir_;  // its control file, its own
    QProcess process_;
    QByteArray output_;
    quint16 port_ = 0;
};

}  // namespace zampo::test
