#include "posimserver.h"

#include <QFile>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>

#include "toolsupport.h"

namespace posim {

namespace {

constexpr qsizetype kMaxHead = 16 * 1024;
constexpr qint64 kHugeChunk = 256 * 1024;

const char* kEmptyDefinitions =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<alarmserverconfig>\n\t<alarmlocations/>\n\t<alarmtypes/>\n</alarmserverconfig>\n";
const char* kEmptyAlarms = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<active-alarms/>\n";

QByteArray response(int status, const char* reason, const QByteArray& contentType, const QByteArray& body,
                    const QByteArray& extraHeaders = {}) {
    QByteArray r = "HTTP/1.1 " + QByteArray::number(status) + " " + reason + "\r\n";
    r += "Server: zampo-posim\r\n";
    if (!contentType.isEmpty()) r += "Content-Type: " + contentType + "\r\n";
    r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    r += extraHeaders;
    r += "Connection: close\r\n\r\n";
    return r + body;
}

Reply sendReply(int status, const char* reason, const QByteArray& contentType, const QByteArray& body,
                const std::string& note, const QByteArray& extraHeaders = {}) {
    Reply r;
    r.bytes = response(status, reason, contentType, body, extraHeaders);
    r.summary = std::to_string(status) + " " + reason + ", " + std::to_string(body.size()) + " bytes" +
                (note.empty() ? "" : " " + note);
    return r;
}

std::string printable(const QByteArray& bytes) {
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

// One connection: collects the request head, then sends the reply its way.
class Exchange : public QObject {
public:
    Exchange(QTcpSocket* socket, PosimServer& server) : socket_(socket), server_(server) {
        socket_->setParent(this);
        peer_ = socket_->peerAddress().toString().toStdString() + ":" + std::to_string(socket_->peerPort());
        connect(socket_, &QTcpSocket::readyRead, this, &Exchange::onReadyRead);
        connect(socket_, &QTcpSocket::bytesWritten, this, &Exchange::pumpHuge);
        connect(socket_, &QTcpSocket::disconnected, this, &Exchange::onDisconnected);
        connect(&timer_, &QTimer::timeout, this, &Exchange::trickleOne);
    }

private:
    void onReadyRead() {
        if (answered_) {
            socket_->readAll();  // the request is complete; nothing else is expected
            return;
        }
        head_ += socket_->readAll();
        qsizetype end = head_.indexOf("\r\n\r\n");
        if (end < 0) end = head_.indexOf("\n\n");
        if (end < 0) {
            if (head_.size() > kMaxHead) {
                answered_ = true;
                tools::printLine(peer_ + " request head larger than " + std::to_string(kMaxHead) + " bytes -> 431");
                finishWith(response(431, "Request Header Fields Too Large", "text/plain", "request head too large\n"));
            }
            return;
        }
        answered_ = true;
        const QList<QByteArray> lines = head_.left(end).split('\n');
        const QList<QByteArray> parts = lines.value(0).trimmed().split(' ');
        const QByteArray method = parts.value(0);
        const QByteArray target = parts.value(1);
        const Reply reply = server_.replyTo(method, target, socket_->localAddress(), socket_->localPort());
        tools::printLine(peer_ + " " + printable(lines.value(0).trimmed()) + " -> " + reply.summary);
        if (server_.showHeaders())
            for (qsizetype i = 1; i < lines.size(); ++i) tools::printLine("    " + printable(lines[i].trimmed()));
        start(reply);
    }

    void start(const Reply& reply) {
        switch (reply.kind) {
            case Reply::Kind::Send:
                finishWith(reply.bytes);
                break;
            case Reply::Kind::Hang:
                break;  // keep the connection open until the client gives up
            case Reply::Kind::Close:
                complete_ = true;
                socket_->disconnectFromHost();
                break;
            case Reply::Kind::Trickle:
                trickle_ = reply.bytes;
                timer_.start(static_cast<int>(reply.param));
                break;
            case Reply::Kind::Huge: {
                const QByteArray open = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + reply.hugeRoot + ">\n";
                hugeTail_ = "</" + reply.hugeRoot + ">\n";
                hugeLeft_ = reply.param * 1024 * 1024 - open.size() - hugeTail_.size();
                socket_->write(reply.bytes + open);
                pumpHuge();
                break;
            }
        }
    }

    void finishWith(const QByteArray& bytes) {
        socket_->write(bytes);
        complete_ = true;
        socket_->disconnectFromHost();  // after the pending bytes are out
    }

    void trickleOne() {
        if (tricklePos_ >= trickle_.size()) {
            timer_.stop();
            complete_ = true;
            socket_->disconnectFromHost();
            return;
        }
        socket_->write(trickle_.constData() + tricklePos_++, 1);
    }

    // Keeps about a megabyte queued, so that a huge answer never sits in memory whole.
    void pumpHuge() {
        if (hugeLeft_ <= 0 || complete_) return;
        while (hugeLeft_ > 0 && socket_->bytesToWrite() < 4 * kHugeChunk) {
            static const QByteArray line = "<!-- " + QByteArray(58, 'x') + " -->\n";
            QByteArray chunk;
            const qint64 n = std::min(hugeLeft_, kHugeChunk);
            chunk.reserve(n);
            while (chunk.size() + line.size() <= n) chunk += line;
            chunk += QByteArray(n - chunk.size(), '\n');
            socket_->write(chunk);
            hugeLeft_ -= n;
        }
        if (hugeLeft_ <= 0) finishWith(hugeTail_);
    }

    void onDisconnected() {
        timer_.stop();
        if (!complete_) tools::printLine(peer_ + " closed by the client before the answer was complete");
        complete_ = true;
        deleteLater();
    }

    QTcpSocket* socket_;
    PosimServer& server_;
    std::string peer_;
    QByteArray head_;
    bool answered_ = false;
    bool complete_ = false;
    QTimer timer_;
    QByteArray trickle_;
    qsizetype tricklePos_ = 0;
    qint64 hugeLeft_ = 0;
    QByteArray hugeTail_;
};

}  // namespace

PosimServer::PosimServer(ServerConfig config, QObject* parent) : QObject(parent), config_(std::move(config)) {
    connect(&server_, &QTcpServer::newConnection, this, &PosimServer::onNewConnection);
}

bool PosimServer::listen(const QHostAddress& address, quint16 port, std::string& error) {
    if (server_.listen(address, port)) return true;
    error = server_.errorString().toStdString();
    return false;
}

void PosimServer::onNewConnection() {
    while (QTcpSocket* s = server_.nextPendingConnection()) new Exchange(s, *this);
}

AnswerPlan PosimServer::currentPlan() {
    if (config_.controlFile.empty()) return config_.plan;
    QFile f(QString::fromStdString(config_.controlFile));
    if (!f.exists()) return config_.plan;
    std::string problem;
    std::optional<AnswerPlan> plan;
    if (!f.open(QIODevice::ReadOnly))
        problem = "cannot read the control file " + config_.controlFile + ": " + f.errorString().toStdString();
    else if (plan = parsePlan(f.readAll().toStdString(), config_.plan, problem); !plan)
        problem = "control file " + config_.controlFile + ": " + problem;
    // Said once per problem, not at every request.
    if (!problem.empty() && problem != lastControlProblem_)
        tools::printLine(problem + "; answering as --mode says: " + config_.plan.text());
    lastControlProblem_ = problem;
    return plan ? *plan : config_.plan;
}

Reply PosimServer::replyTo(const QByteArray& method, const QByteArray& target, const QHostAddress& local,
                           quint16 localPort) {
    const QByteArray path = target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
    const bool definitions = path == kDefinitionsPath;
    if (!definitions && path != kAlarmsPath)
        return sendReply(404, "Not Found", "text/plain", "no such path; try " + QByteArray(kAlarmsPath) + "\n", "");
    if (method != "GET") return sendReply(405, "Method Not Allowed", "text/plain", "only GET\n", "", "Allow: GET\r\n");

    const AnswerPlan plan = currentPlan();
    const ModeSetting setting = definitions ? plan.definitions : plan.alarms;
    const std::string note = "(mode " + setting.text() + ")";
    const std::string& file = definitions ? config_.definitionsFile : config_.alarmsFile;

    auto content = [&](QByteArray& body, std::string& from) {
        from = file.empty() ? "(built-in empty document)" : "from " + file;
        if (file.empty()) {
            body = definitions ? kEmptyDefinitions : kEmptyAlarms;
            return true;
        }
        QFile f(QString::fromStdString(file));
        if (!f.open(QIODevice::ReadOnly)) {
            from = "cannot read " + file + ": " + f.errorString().toStdString();
            return false;
        }
        body = f.readAll();
        return true;
    };

    switch (setting.mode) {
        case Mode::Normal:
        case Mode::Trickle: {
            QByteArray body;
            std::string from;
            if (!content(body, from))
                return sendReply(500, "Internal Server Error", "text/plain", "", "(" + from + ")");
            Reply r = sendReply(200, "OK", "text/xml", body, from);
            if (setting.mode == Mode::Trickle) {
                r.kind = Reply::Kind::Trickle;
                r.param = setting.param;
                r.summary += " " + note;
            }
            return r;
        }
        case Mode::Fail:
            return sendReply(500, "Internal Server Error", "text/plain", "simulated failure\n", note);
        case Mode::Hang: {
            Reply r;
            r.kind = Reply::Kind::Hang;
            r.summary = "no answer " + note;
            return r;
        }
        case Mode::Close: {
            Reply r;
            r.kind = Reply::Kind::Close;
            r.summary = "connection closed without an answer " + note;
            return r;
        }
        case Mode::Empty:
            return sendReply(200, "OK", "text/xml", "", note);
        case Mode::Redirect: {
            const QByteArray location =
                "http://" + local.toString().toUtf8() + ":" + QByteArray::number(localPort) + "/moved" + path;
            return sendReply(302, "Found", "text/plain", "moved to " + location + "\n", note,
                             "Location: " + location + "\r\n");
        }
        case Mode::Text:
            return sendReply(200, "OK", "text/plain", "This is not an XML document.\n", note);
        case Mode::WrongRoot:
            return sendReply(200, "OK", "text/xml",
                             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<unexpected-root>\n\t<alarm pcu=\"x\" "
                             "location=\"y\" nr=\"1\"/>\n</unexpected-root>\n",
                             note);
        case Mode::Huge: {
            Reply r;
            r.kind = Reply::Kind::Huge;
            r.param = setting.param;
            r.hugeRoot = definitions ? "alarmserverconfig" : "active-alarms";
            r.bytes = "HTTP/1.1 200 OK\r\nServer: zampo-posim\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n";
            r.summary = "200 OK, " + std::to_string(setting.param) + " MiB without a length " + note;
            return r;
        }
    }
    return sendReply(500, "Internal Server Error", "text/plain", "", note);
}

}  // namespace posim
