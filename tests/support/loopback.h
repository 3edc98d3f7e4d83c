#pragma once
// Real loopback sockets for the receiver tests: a Qt event loop to wait in, and a
// TCP server that records what arrives and answers when told.
#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <vector>

namespace zampo::test {

// The process's QCoreApplication, created on first use.
void ensureQtApp();

// Runs the event loop until pred holds or timeoutMs passes; the bound only keeps
// a broken test from hanging.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 15000);

class LoopbackReceiver {
public:
    LoopbackReceiver();
    ~LoopbackReceiver();
    bool listen(quint16 port = 0);
    void stopListening() { server_.close(); }
    quint16 port() const { return server_.serverPort(); }

    int connections() const { return static_cast<int>(sockets_.size()); }
    const QByteArray& received(int connection) const { return data_.at(static_cast<std::size_t>(connection)); }
    // Carriage returns received over all connections.
    qsizetype linesReceived() const;
    // Writes to the newest connection.
    void reply(const QByteArray& bytes);
    void closeNewest();

private:
    QTcpServer server_;
    std::vector<QTcpSocket*> sockets_;
    std::vector<QByteArray> data_;
};

}  // namespace zampo::test
