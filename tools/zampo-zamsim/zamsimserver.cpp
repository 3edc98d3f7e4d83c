#include "zamsimserver.h"

#include <QFile>
#include <QTcpSocket>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "logic/receiver/wirecodec.h"
#include "toolsupport.h"

namespace zamsim {

namespace {

std::string peerText(const QTcpSocket* s) {
    return s->peerAddress().toString().toStdString() + ":" + std::to_string(s->peerPort());
}

}  // namespace

std::string printable(const std::string& bytes) {
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += zampo::decodeFromWire(std::string(1, ch));
        }
    }
    return out;
}

ZamSimServer::ZamSimServer(AnswerScript script, QObject* parent) : QObject(parent), script_(std::move(script)) {
    clock_.start();
    connect(&server_, &QTcpServer::newConnection, this, &ZamSimServer::onNewConnection);
}

bool ZamSimServer::listen(const QHostAddress& address, quint16 port, std::string& error) {
    if (!server_.listen(address, port)) {
        error = server_.errorString().toStdString();
        return false;
    }
    address_ = address;
    port_ = server_.serverPort();  // the one chosen for port 0, kept for coming back
    return true;
}

std::string ZamSimServer::endpointText() const {
    return address_.toString().toStdString() + ":" + std::to_string(port_);
}

void ZamSimServer::goDown() {
    if (down_) {
        tools::printLine("already down");
        return;
    }
    down_ = true;
    server_.close();
    std::vector<QTcpSocket*> open;
    for (const auto& entry : lines_) open.push_back(entry.first);
    for (QTcpSocket* s : open) {
        s->abort();  // at once, as a receiver that dies would
        if (lines_.erase(s) > 0) s->deleteLater();
    }
    const size_t n = open.size();
    tools::printLine("down: stopped listening on " + endpointText() + ", closed " + std::to_string(n) +
                     (n == 1 ? " connection" : " connections"));
}

void ZamSimServer::comeBack() {
    if (!down_) {
        tools::printLine("already up");
        return;
    }
    if (!server_.listen(address_, port_)) {
        tools::printLine("cannot listen on " + endpointText() + " again: " + server_.errorString().toStdString() +
                         "; still down");
        return;
    }
    down_ = false;
    tools::printLine("up: listening on " + endpointText() + " again");
}

void ZamSimServer::watchControlFile(const std::string& file, int intervalMs) {
    controlFile_ = file;
    connect(&controlTimer_, &QTimer::timeout, this, &ZamSimServer::readControlFile);
    controlTimer_.start(intervalMs);
    readControlFile();
}

void ZamSimServer::readControlFile() {
    QFile f(QString::fromStdString(controlFile_));
    std::string word = "up";
    std::string problem;
    if (f.exists()) {
        if (!f.open(QIODevice::ReadOnly)) {
            problem = "cannot read the control file " + controlFile_ + ": " + f.errorString().toStdString();
        } else {
            word = f.readAll().trimmed().toLower().toStdString();
            if (word.empty()) word = "up";
            if (word.starts_with("mode ")) {
                if (!AnswerScript::parse(word.substr(5)))
                    problem = "control file " + controlFile_ + ": bad mode '" + printable(word.substr(5)) + "'";
            } else if (word != "up" && word != "down") {
                problem = "control file " + controlFile_ + ": '" + printable(word) + "' is neither down, up nor mode";
            }
        }
    }
    // Said once per problem, not at every reading.
    if (!problem.empty() && problem != controlProblem_) tools::printLine(problem + "; ignored");
    controlProblem_ = problem;
    if (!problem.empty() || word == controlWord_) return;
    controlWord_ = word;
    if (word.starts_with("mode ")) {
        script_ = *AnswerScript::parse(word.substr(5));
        tools::printLine("mode " + script_.text());
    } else if (word == "down")
        goDown();
    else
        comeBack();
}

void ZamSimServer::onNewConnection() {
    while (QTcpSocket* s = server_.nextPendingConnection()) {
        const std::string peer = peerText(s);
        lines_[s];
        tools::printLine("connection from " + peer);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { onReadyRead(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s, peer] {
            const auto it = lines_.find(s);
            if (it != lines_.end() && !it->second.pending.empty())
                tools::printLine("<- " + printable(it->second.pending) + "  (no line end)");
            lines_.erase(s);
            tools::printLine("connection from " + peer + " closed");
            s->deleteLater();
        });
    }
}

void ZamSimServer::onReadyRead(QTcpSocket* s) {
    const auto it = lines_.find(s);
    if (it == lines_.end()) return;
    LineState* state = &it->second;
    const QByteArray data = s->readAll();
    for (char c : data) {
        if (c == '\r' || c == '\n') {
            const bool lfOfPair = c == '\n' && state->afterCr;
            state->afterCr = c == '\r';
            if (lfOfPair) continue;
            std::string line;
            line.swap(state->pending);
            if (!line.empty()) handleLine(s, line, c);
            // A "close" answer may have ended the connection and dropped its state.
            if (s->state() != QAbstractSocket::ConnectedState) return;
        } else {
            state->afterCr = false;
            state->pending.push_back(c);
        }
    }
}

void ZamSimServer::handleLine(QTcpSocket* s, const std::string& line, char terminator) {
    // ZamMeld's lines end with a carriage return; say so when a peer uses LF instead.
    tools::printLine("<- " + printable(line) + (terminator == '\n' ? "  (ended by LF, not CR)" : ""));
    const Step step =
        closeOn_.empty() || line.find(closeOn_) == std::string::npos ? script_.next() : Step{Answer::Close, 0};
    LineState& state = lines_[s];
    const qint64 now = clock_.elapsed();
    const qint64 due = std::max(now + step.delayMs, state.lastAnswerDue);
    state.lastAnswerDue = due;
    if (due <= now) {
        answer(s, step.answer);
        return;
    }
    QTimer::singleShot(std::chrono::milliseconds(due - now), s, [this, s, a = step.answer] { answer(s, a); });
}

void ZamSimServer::answer(QTcpSocket* s, Answer a) {
    if (s->state() != QAbstractSocket::ConnectedState) return;
    if (a == Answer::Close) {
        tools::printLine("closing the connection");
        s->disconnectFromHost();
        return;
    }
    const std::string reply = answerLine(a);
    if (reply.empty()) return;
    s->write(reply.data(), static_cast<qint64>(reply.size()));
    s->flush();  // out now: a peer that already closed its side would make Qt drop it
    tools::printLine("-> " + printable(reply.substr(0, reply.size() - 1)));
}

}  // namespace zamsim
