#pragma once
// A TCP server that stands in for ZamMeld: it prints every line it receives with a
// time stamp and answers it as the answer script says. It can go away and come
// back on its port, for rehearsing a receiver outage.
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
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
    quint16 port() const { return port_; }

    // Stops listening and closes every connection, so that connects are refused.
    void goDown();
    // Listens again on the same address and port.
    void comeBack();
    bool isDown() const { return down_; }
    // Every line that holds text is met by closing its connection unanswered, as a
    // receiver (or a proxy before it) that chokes on one message would.
    void closeOn(std::string text) { closeOn_ = std::move(text); }

    // Reads file every interval: "down" takes the server down, "up", an empty file
    // or none brings it back; "mode SCRIPT" answers the lines from then on by that
    // script. Only a change of the file's word acts, so that a signal's effect
    // lasts until the file says otherwise.
    void watchControlFile(const std::string& file, int intervalMs = 250);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void handleLine(QTcpSocket* socket, const std::string& line, char terminator);
    void readControlFile();
    std::string endpointText() const;

    // Per connection: the part of a line received so far, and whether the last
    // byte was a carriage return (so that the LF of a CR LF pair ends no second line).
    struct LineState {
        std::string pending;
        bool afterCr = false;
        qint64 lastAnswerDue = 0;  // on clock_, so that a held answer keeps its place
    };
    void answer(QTcpSocket* socket, Answer a);

    QTcpServer server_;
    AnswerScript script_;
    std::unordered_map<QTcpSocket*, LineState> lines_;
    QHostAddress address_;
    quint16 port_ = 0;
    bool down_ = false;

    std::string closeOn_;
    QElapsedTimer clock_;

    std::string controlFile_;
    QTimer controlTimer_;
    std::string controlWord_ = "up";  // the file's last word that acted
    std::string controlProblem_;
};

// Control characters as \xNN, other bytes read as Windows-1252 and written as UTF-8.
std::string printable(const std::string& bytes);

}  // namespace zamsim
