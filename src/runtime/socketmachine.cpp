#include "runtime/socketmachine.h"

#include <cerrno>
#include <exception>

#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"
#include "logic/receiver/messages.h"
#include "logic/receiver/wirecodec.h"

namespace zampo {

namespace {

// Enough for every message the loop can still be waiting on.
constexpr std::size_t kDeliveriesKept = 256;

// Qt reports a category, not the errno behind it. The log shows the errno an
// operator can look up: exact where the category has one cause, else the usual one.
int errnoOf(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
        case QAbstractSocket::ProxyConnectionRefusedError:
            return ECONNREFUSED;
        case QAbstractSocket::RemoteHostClosedError:
        case QAbstractSocket::ProxyConnectionClosedError:
            return ECONNRESET;
        case QAbstractSocket::HostNotFoundError:
        case QAbstractSocket::ProxyNotFoundError:
            return EHOSTUNREACH;
        case QAbstractSocket::SocketAccessError:
            return EACCES;
        case QAbstractSocket::SocketResourceError:
            return EMFILE;
        case QAbstractSocket::SocketTimeoutError:
        case QAbstractSocket::ProxyConnectionTimeoutError:
            return ETIMEDOUT;
        case QAbstractSocket::DatagramTooLargeError:
            return EMSGSIZE;
        case QAbstractSocket::NetworkError:
            return ENETUNREACH;
        case QAbstractSocket::AddressInUseError:
            return EADDRINUSE;
        case QAbstractSocket::SocketAddressNotAvailableError:
            return EADDRNOTAVAIL;
        case QAbstractSocket::UnsupportedSocketOperationError:
            return EOPNOTSUPP;
        case QAbstractSocket::TemporaryError:
            return EAGAIN;
        default:
            return EIO;
    }
}

}  // namespace

SocketMachine::SocketMachine(StepTimer& steps, std::string host, int port, WindowPort& window, GatewayState& gateway,
                             QObject* parent)
    : QObject(parent), steps_(steps), host_(std::move(host)), port_(port), window_(window), gateway_(gateway) {
    socket_.setReadBufferSize(64 * 1024);  // Qt's own buffer, drained at every readyRead
    connect(&socket_, &QTcpSocket::connected, this, &SocketMachine::onConnected);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &SocketMachine::onErrorOccurred);
    connect(&socket_, &QTcpSocket::readyRead, this, &SocketMachine::onReadyRead);
    connect(&socket_, &QTcpSocket::disconnected, this, &SocketMachine::onDisconnected);
    steps_.setStepHandler([this](StepTimer& m) { runContainedStep(m); });
}

SocketMachine::~SocketMachine() {
    steps_.setStepHandler({});  // the machine may outlive this object
    socket_.disconnect(this);
    socket_.abort();
}

void SocketMachine::setEndpoint(std::string host, int port) {
    host_ = std::move(host);
    port_ = port;
}

uint64_t SocketMachine::queueMessage(const std::string& message, bool log) {
    // A line break inside a text would let it end the message and forge another.
    std::string safe = blankControlChars(message);
    lastReply_.clear();
    replyReceived_ = false;
    // A silent receiver is timed at every send too: the watchdog comes once a minute.
    if (silentSince_ && !silentFault_) noteSilence();
    if (log) writeLog(langText(TextId::ReceiverSentPrefix) + " " + safe, kLogReceiverList);
    const uint64_t ticket = ++lastTicket_;
    setDelivery(ticket, Delivery::Queued);
    queue_.push_back({ticket, std::move(safe)});
    steps_.wake();
    return ticket;
}

Delivery SocketMachine::deliveryOf(uint64_t ticket) const {
    const auto it = deliveries_.find(ticket);
    return it == deliveries_.end() ? Delivery::Failed : it->second.delivery;
}

std::string SocketMachine::answerOf(uint64_t ticket) const {
    const auto it = deliveries_.find(ticket);
    return it == deliveries_.end() ? std::string() : it->second.answer;
}

std::optional<TimeMs> SocketMachine::writtenAt(uint64_t ticket) const {
    const auto it = deliveries_.find(ticket);
    return it == deliveries_.end() ? std::nullopt : it->second.writtenAt;
}

bool SocketMachine::cutOff(uint64_t ticket) const {
    const auto it = deliveries_.find(ticket);
    return it != deliveries_.end() && it->second.delivery == Delivery::Failed && it->second.cutOff;
}

std::vector<std::string> SocketMachine::queuedMessages() const {
    std::vector<std::string> out;
    for (const Queued& q : queue_) out.push_back(q.text);
    return out;
}

void SocketMachine::setDelivery(uint64_t ticket, Delivery d) {
    if (ticket == 0) return;
    deliveries_[ticket].delivery = d;
    while (deliveries_.size() > kDeliveriesKept) deliveries_.erase(deliveries_.begin());
    if (d != Delivery::Queued) emit deliveryChanged();
}

void SocketMachine::failUndelivered() {
    if (!current_.empty()) setDelivery(currentTicket_, Delivery::Failed);
    failInFlight(false);
}

void SocketMachine::failInFlight(bool byPeer) {
    const bool unanswered = !inFlight_.empty();
    for (const uint64_t ticket : inFlight_) {
        if (const auto it = deliveries_.find(ticket); it != deliveries_.end()) it->second.cutOff = byPeer;
        setDelivery(ticket, Delivery::Failed);
    }
    inFlight_.clear();
    if (byPeer && unanswered) noteSilence();
}

void SocketMachine::noteSilence() {
    if (!clock_ || silentFault_) return;
    const TimeMs now = clock_->nowUtc();
    if (!silentSince_) silentSince_ = now;
    if ((now - *silentSince_).count() <= kSilentReceiverFaultMs) return;
    // Every connect succeeds, yet nothing is answered: as good as no ZamMeld at all.
    silentFault_ = true;
    gateway_.counters.zamAnswering = false;
    writeLog("ZamMeld closes every connection before it answers, for " +
                 std::to_string((now - *silentSince_).count() / 1000) + " s: nothing gets through",
             kLogReceiverList);
    window_.setStatusText(langText(TextId::ZamMeldConnectError));
    gateway_.faultStatus = kFaultReceiver;
    emit socketFailed();
}

void SocketMachine::noteAnswered() {
    silentSince_.reset();
    silentFault_ = false;
    gateway_.counters.zamAnswering = true;
}

void SocketMachine::withdraw(uint64_t ticket) {
    if (deliveryOf(ticket) != Delivery::Queued) return;
    std::erase_if(queue_, [ticket](const Queued& q) { return q.ticket == ticket; });
    if (currentTicket_ == ticket) {
        current_.clear();
        currentTicket_ = 0;
        failUndelivered();  // the lines before it die with the connection
        socket_.abort();
        socketError_ = true;  // the machine starts over at its next step; no fault
        steps_.wake();
    }
    setDelivery(ticket, Delivery::Failed);
}

void SocketMachine::dropConnection() {
    // What was written and is still unanswered stays Written: it reached ZamMeld,
    // and whoever waits on it has given up or is about to.
    inFlight_.clear();
    pending_.clear();
    pendingOverflow_ = false;
    socket_.abort();
}

void SocketMachine::sendTestMessage(const std::string& location, const std::string& input, const std::string& state) {
    const std::string message = testMessage(location, input, state);
    queueMessage(message, true);
    logWriter().writeRawLine("SendIP button " + blankControlChars(message));
}

void SocketMachine::popNextMessage() {
    if (queue_.empty()) {
        current_.clear();
        currentTicket_ = 0;
        return;
    }
    current_ = std::move(queue_.front().text);
    currentTicket_ = queue_.front().ticket;
    queue_.pop_front();
}

void SocketMachine::runContainedStep(StepTimer& machine) {
    // An error must not reach the timer's tick, which would then stay disabled.
    try {
        runSocketStep(machine);
        return;
    } catch (const std::exception& e) {
        writeLog("<tmmSockets, state:" + std::to_string(machine.state()) + "><" + e.what() + ">", kLogReceiverList);
    } catch (...) {
        writeLog("<tmmSockets, state:" + std::to_string(machine.state()) + "><unknown error>", kLogReceiverList);
    }
    failUndelivered();
    socketError_ = true;  // start over with a fresh connection
}

struct SocketMachine::StateRow {
    State state;
    const char* number;  // as shown: the connection's states are 4.1 to 4.3
    const char* name;
    void (SocketMachine::*run)(StepTimer&);
};

const SocketMachine::StateRow* SocketMachine::rowOf(State state) {
    static constexpr StateRow kRows[] = {
        {State::Start, "1", "Start Socketmachine", &SocketMachine::startMachine},
        {State::WaitForMessage, "2", "Waitforstring", &SocketMachine::waitForMessage},
        {State::CheckSocket, "3", "Check socket", &SocketMachine::checkSocket},
        {State::StartPort, "4.1", "Start ZamPoort", &SocketMachine::startPort},
        {State::OpenSocket, "4.2", "Open socket", &SocketMachine::openConnection},
        {State::WaitForOpen, "4.3", "Wait for opensocket", &SocketMachine::waitForConnection},
        {State::SendLine, "5", "Send string", &SocketMachine::sendLine},
    };
    for (const StateRow& row : kRows)
        if (row.state == state) return &row;
    return nullptr;
}

std::string SocketMachine::stateText(State state) {
    const StateRow* row = rowOf(state);
    return row ? std::string(row->number) + " " + row->name : std::string();
}

void SocketMachine::runSocketStep(StepTimer& m) {
    if (socketError_) {
        socket_.abort();
        m.setState(State::Start);
    }
    const State state = m.stateAs<State>();
    const StateRow* row = rowOf(state);
    if (!row) return;
    m.setStateText(stateText(state));
    (this->*row->run)(m);
}

void SocketMachine::startMachine(StepTimer& m) {
    socketError_ = false;
    m.setState(State::WaitForMessage);
}

void SocketMachine::waitForMessage(StepTimer& m) {
    popNextMessage();
    if (!current_.empty())
        m.setState(State::CheckSocket);
    else
        m.restFor(-1);  // until a message is queued
}

void SocketMachine::checkSocket(StepTimer& m) {
    m.setState(socketOpen() ? State::SendLine : State::StartPort);
}

void SocketMachine::startPort(StepTimer& m) {
    m.setState(State::OpenSocket);
}

void SocketMachine::openConnection(StepTimer& m) {
    socketConnected_ = false;
    if (!openSocket()) {
        writeLog("Fatal socket error!", kLogReceiverList);
        if (port_ < 1 || port_ > 65535)
            writeLog("ZamMeld port " + std::to_string(port_) + " is outside 1..65535: check the settings",
                     kLogReceiverList);
        failUndelivered();
        socketError_ = true;
    }
    m.setState(State::WaitForOpen);
}

void SocketMachine::waitForConnection(StepTimer& m) {
    if (socketConnected_)
        m.setState(State::SendLine);
    else if (connectStarted_.isValid() && connectStarted_.hasExpired(kConnectTimeLimitMs))
        handleSocketError(ETIMEDOUT);
    else
        m.restFor(connectStarted_.isValid() ? kConnectTimeLimitMs - connectStarted_.elapsed() : -1);
}

void SocketMachine::sendLine(StepTimer& m) {
    const std::string line = encodeForWire(current_) + '\r';
    if (!socketOpen() || socket_.write(line.data(), static_cast<qint64>(line.size())) != qint64(line.size())) {
        handleSocketError(ENOTCONN);
    } else {
        socket_.flush();  // on the wire when the step ends, not at some later event
        Tracked& t = deliveries_[currentTicket_];
        t.kind = gateway_.counters.noteWritten(current_);
        if (clock_) t.writtenAt = clock_->nowUtc();
        // An unfinished line from before, with nothing awaited, is no answer to this one.
        if (inFlight_.empty()) {
            pending_.clear();
            pendingOverflow_ = false;
        }
        inFlight_.push_back(currentTicket_);
        setDelivery(currentTicket_, Delivery::Written);
        current_.clear();
        currentTicket_ = 0;
    }
    m.setState(State::WaitForMessage);
}

bool SocketMachine::openSocket() {
    // A port outside the TCP range would be cut to another port without a word.
    if (port_ < 1 || port_ > 65535) return false;
    try {
        socket_.abort();  // a connection the peer closed may still be winding down
        pending_.clear();
        endedWithCr_ = false;
        pendingOverflow_ = false;
        connectStarted_.start();
        socket_.connectToHost(QString::fromStdString(host_), static_cast<quint16>(port_));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void SocketMachine::onConnected() {
    socketConnected_ = true;
    steps_.wake();
    gateway_.counters.zamConnected = true;
}

void SocketMachine::onErrorOccurred(QAbstractSocket::SocketError error) {
    // ZamMeld closing the connection is no fault: the socket just no longer counts
    // as open, and the next message opens a new one.
    if (error == QAbstractSocket::RemoteHostClosedError) return;
    handleSocketError(errnoOf(error));
}

void SocketMachine::onDisconnected() {
    gateway_.counters.zamConnected = false;
    // Closed by ZamMeld before it answered: the messages may never have been read.
    failInFlight(true);
}

void SocketMachine::handleSocketError(int code) {
    gateway_.counters.noteSocketError();
    failUndelivered();
    if (code == ETIMEDOUT) noteSilence();
    window_.setStatusText(langText(TextId::ZamMeldConnectError));
    gateway_.faultStatus = kFaultReceiver;
    writeLog(langText(TextId::ZamMeldSocketError) + " " + std::to_string(code), kLogReceiverList);
    socketError_ = true;
    steps_.wake();
    emit socketFailed();
}

void SocketMachine::creditAnswers(const std::vector<std::string>& lines) {
    // In order, oldest line first. Lines beyond those awaited leave the last one of
    // the read for the newest, as a single message takes the last line it is given.
    std::size_t next = 0;
    while (next < lines.size() && !inFlight_.empty()) {
        const std::size_t line = inFlight_.size() == 1 ? lines.size() - 1 : next;
        const uint64_t ticket = inFlight_.front();
        inFlight_.pop_front();
        Tracked& t = deliveries_[ticket];
        t.answer = decodeFromWire(lines[line]);
        if (classifyReply(t.answer) == ReplyKind::Accepted)
            ++gateway_.counters.accepted[static_cast<std::size_t>(t.kind)];
        ++answersReceived_;
        setDelivery(ticket, Delivery::Answered);
        next = line + 1;
    }
    noteAnswered();
    emit deliveryChanged();
}

void SocketMachine::onReadyRead() {
    try {
        const QByteArray data = socket_.readAll();
        // An answer may come in pieces; only the unfinished tail waits for its carriage
        // return, and only so much of it, whatever ZamMeld sends.
        pending_.append(data.constData(), static_cast<std::size_t>(data.size()));
        // A line feed after the carriage return that ended the previous read belongs to that answer.
        if (endedWithCr_ && !pending_.empty() && pending_.front() == '\n') pending_.erase(0, 1);
        if (pendingOverflow_) {  // still inside the overlong line: skip to its end
            const std::size_t end = pending_.find('\r');
            pending_.erase(0, end == std::string::npos ? std::string::npos : end + 1);
            pendingOverflow_ = end == std::string::npos;
        }
        const std::size_t lastCr = pending_.rfind('\r');
        std::vector<std::string> lines;
        if (lastCr != std::string::npos) {
            lines = splitReplyLines(std::string_view(pending_).substr(0, lastCr + 1));
            pending_.erase(0, lastCr + 1);
        }
        if (pending_.size() > kMaxPendingReply) {
            writeLog("ZamMeld answer line longer than " + std::to_string(kMaxPendingReply) +
                         " bytes without carriage return: dropped",
                     kLogReceiverList);
            pendingOverflow_ = true;
            pending_.clear();
        }
        for (const std::string& line : lines)
            writeLog(langText(TextId::ReceiverReceivedPrefix) + " " + blankControlChars(decodeFromWire(line)),
                     kLogReceiverList);
        if (!lines.empty()) {
            lastReply_ = decodeFromWire(lines.back());
            replyReceived_ = true;
            creditAnswers(lines);
        }
        // A line feed right after the last carriage return ends that answer; kept,
        // it would open the next answer, read on its own.
        if (!pending_.empty() && pending_.front() == '\n' && lastCr != std::string::npos) pending_.erase(0, 1);
        endedWithCr_ = lastCr != std::string::npos && pending_.empty();
        int expected = kFaultReceiver;
        if (gateway_.faultStatus.compare_exchange_strong(expected, kFaultCleared)) {
            window_.setStatusText("");
            emit deliveryChanged();  // the loop shows the cleared fault
        }
    } catch (const std::exception& e) {
        writeLog(langText(TextId::ZamMeldCleanupProblem) + " " + e.what(), kLogReceiverList);
    }
}

}  // namespace zampo
