#pragma once
// A TCP server that stands in for ZamMeld: it prints every line it receives with a
// time stamp and answers it as the answer script says.
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <string>
#include <unordered_map>

#include "answerscript.h"

class QTcpSocket;

namespace zamsim {

class ZamSimServer : public QObject {
public:
    explicit ZamSimServer(AnswerScript script, QObject* parent = nullptr);

    // False with a reason when the address cannot be bound.
    bool listen(const QHostAddress& address, quint16 port, std::string& error);
    quint16 port() const { return server_.serverPort(); }

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void handleLine(QTcpSocket* socket, const std::string& line, char terminator);

    // Per connection: the part of a line received so far, and whether the last
    // byte was a carriage return (so that the LF of a CR LF pair ends no second line).
    struct LineState {
        std::string pending;
        bool afterCr = false;
    };

    QTcpServer server_;
    AnswerScript script_;
    std::unordered_map<QTcpSocket*, LineState> lines_;
};

// Control characters as \xNN, other bytes read as Windows-1252 and written as UTF-8.
std::string printable(const std::string& bytes);

}  // namespace zamsim
