#pragma once
// An HTTP server that stands in for the Priva Office alarm server: it answers the
// gateway's two requests from files read afresh at every request, or misbehaves
// as its answer plan says. Every request is printed with a time stamp.
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <string>

#include "answermode.h"

namespace posim {

inline constexpr const char* kDefinitionsPath = "/office/alarm/alarmserverconfig";
inline constexpr const char* kAlarmsPath = "/office/alarm/alarmserver";

struct ServerConfig {
    std::string definitionsFile;  // empty: an empty definitions document
    std::string alarmsFile;       // empty: an empty list of active alarms
    std::string controlFile;      // read at every request when set; overrides plan
    AnswerPlan plan;              // from --mode
    bool showHeaders = false;     // print the request's header lines too
};

// What one request gets, worked out when its head has arrived.
struct Reply {
    enum class Kind { Send, Hang, Close, Trickle, Huge };
    Kind kind = Kind::Send;
    QByteArray bytes;     // the whole response (Send, Trickle) or its head (Huge)
    QByteArray hugeRoot;  // Huge: the root element's name
    long param = 0;       // Trickle: ms per byte; Huge: MiB
    std::string summary;  // what the output line says after "->"
};

class PosimServer : public QObject {
public:
    explicit PosimServer(ServerConfig config, QObject* parent = nullptr);

    // False with a reason when the address cannot be bound.
    bool listen(const QHostAddress& address, quint16 port, std::string& error);

    // The answer to one request; local is the address the request came in on.
    Reply replyTo(const QByteArray& method, const QByteArray& target, const QHostAddress& local, quint16 localPort);
    bool showHeaders() const { return config_.showHeaders; }

private:
    void onNewConnection();
    AnswerPlan currentPlan();

    QTcpServer server_;
    ServerConfig config_;
    std::string lastControlProblem_;
};

}  // namespace posim
