#include "support/loopback.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace zampo::test {

void ensureQtApp() {
    static int argc = 1;
    static char name[] = "zampo_receiver_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!pred()) {
        if (elapsed.elapsed() > timeoutMs) return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

LoopbackReceiver::LoopbackReceiver() {
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* s = server_.nextPendingConnection()) {
            const std::size_t index = sockets_.size();
            sockets_.push_back(s);
            data_.emplace_back();
            QObject::connect(s, &QTcpSocket::readyRead, [this, s, index] { data_[index] += s->readAll(); });
        }
    });
}

LoopbackReceiver::~LoopbackReceiver() {
    for (QTcpSocket* s : sockets_) s->disconnect();
}

bool LoopbackReceiver::listen(quint16 port) {
    return server_.listen(QHostAddress::LocalHost, port);
}

qsizetype LoopbackReceiver::linesReceived() const {
    qsizetype n = 0;
    for (const QByteArray& d : data_) n += d.count('\r');
    return n;
}

void LoopbackReceiver::reply(const QByteArray& bytes) {
    sockets_.back()->write(bytes);
    sockets_.back()->flush();
}

void LoopbackReceiver::closeNewest() {
    sockets_.back()->disconnectFromHost();
}

}  // namespace zampo::test
