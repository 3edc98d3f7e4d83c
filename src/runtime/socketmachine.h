#pragma once
// The one TCP connection to ZamMeld. Senders queue messages with queueMessage;
// the machine stepped by its StepTimer opens the connection when it has something
// to send, keeps it open, and writes one message per step. ZamMeld answers every line
// in order, so each answer line belongs to the oldest line written on that
// connection and not yet answered; each sender reads its own with answerOf.
#include <QElapsedTimer>
#include <QObject>
#include <QTcpSocket>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "logic/core/clock.h"
#include "runtime/gatewaystate.h"
#include "runtime/steptimer.h"
#include "runtime/windowport.h"

namespace zampo {

// A connect that has not completed by then counts as a socket error (ETIMEDOUT),
// so that the queued messages do not wait behind a host that drops packets.
inline constexpr int kConnectTimeLimitMs = 10000;
// The most of an unfinished answer line kept until its carriage return comes.
inline constexpr std::size_t kMaxPendingReply = 4096;

// ZamMeld that closes every connection before it answers, for this long, is as
// good as gone: a receiver fault, though every connect succeeds.
inline constexpr int64_t kSilentReceiverFaultMs = 60000;

// What became of one queued message. Written means it went out on a connection
// that is still open and its answer has not come yet; Failed means it never
// reached ZamMeld: dropped by a socket error before it was written, or written on
// a connection that closed or failed before its answer came (see cutOff).
enum class Delivery { Queued, Written, Answered, Failed };

class SocketMachine : public QObject {
    Q_OBJECT
public:
    // The numbers are those the error lines in the log have always shown.
    enum class State : uint32_t {
        Start = 1,
        WaitForMessage = 2,
        CheckSocket = 3,
        StartPort = 4,
        OpenSocket = 5,
        WaitForOpen = 6,
        SendLine = 7,
    };
    // What the machine shows for a state: "2 Waitforstring", "4.2 Open socket".
    static std::string stateText(State state);

    // Installs its step on steps, which the owner sets to State::Start and starts,
    // and which must outlive this object. host and port of ZamMeld apply
    // to every open of the connection.
    SocketMachine(StepTimer& steps, std::string host, int port, WindowPort& window, GatewayState& gateway,
                  QObject* parent = nullptr);
    ~SocketMachine() override;
    SocketMachine(const SocketMachine&) = delete;
    SocketMachine& operator=(const SocketMachine&) = delete;

    // For settings read after construction; takes effect at the next open.
    void setEndpoint(std::string host, int port);
    // The clock that times a receiver that answers nothing; without one it is never timed.
    void setClock(const Clock* clock) { clock_ = clock; }
    int endpointPort() const { return port_; }

    // The only way to send. Clears the last reply, queues the message and, with
    // log, shows "Send: <message>" in the receiver list. Returns the message's
    // ticket for deliveryOf.
    uint64_t queueMessage(const std::string& message, bool log);
    // Of the most recent messages; an unknown ticket reads as Failed.
    Delivery deliveryOf(uint64_t ticket) const;
    // The answer line of an Answered message; empty otherwise.
    std::string answerOf(uint64_t ticket) const;
    // A Failed message that was written on a connection ZamMeld closed before it
    // answered: it may have been read, or ZamMeld may refuse to take it.
    bool cutOff(uint64_t ticket) const;
    // When it went on the wire, by the clock given to setClock; none before or without one.
    std::optional<TimeMs> writtenAt(uint64_t ticket) const;
    // Answer lines credited to a message since the start; grows whenever ZamMeld shows it is alive.
    uint64_t answersReceived() const { return answersReceived_; }
    // ZamMeld answered the last line it could have answered: no receiver that
    // takes connections and answers nothing.
    bool answering() const { return !silentFault_; }
    // Closes the connection without a fault, so that an answer still on its way
    // cannot be taken for the next message. The next message opens a new one.
    // The lines written and unanswered stay Written: they reached ZamMeld.
    void dropConnection();
    // Takes back a message that has not been written yet: out of the queue, or its
    // connect abandoned. It then reads as Failed.
    void withdraw(uint64_t ticket);
    // The operator's "Send test" button: queues the test message and writes its
    // own "SendIP button" line to the log file.
    void sendTestMessage(const std::string& location, const std::string& input, const std::string& state);

    // Last complete line received since the last message was queued, and whether
    // one arrived at all. For a person watching; senders read answerOf.
    const std::string& lastReply() const { return lastReply_; }
    bool replyReceived() const { return replyReceived_; }

    std::size_t queuedCount() const { return queue_.size(); }
    std::vector<std::string> queuedMessages() const;
    // The unfinished answer line held so far; never above kMaxPendingReply.
    std::size_t pendingReplySize() const { return pending_.size(); }
    const std::string& currentMessage() const { return current_; }
    bool socketOpen() const { return socket_.state() == QAbstractSocket::ConnectedState; }

    void popNextMessage();
    // One step; errors it does not expect itself escape to the caller.
    void runSocketStep(StepTimer& machine);

signals:
    // After every socket error, once its bookkeeping is done.
    void socketFailed();
    // A message was written, answered or failed: whoever waits on one looks again.
    void deliveryChanged();

private:
    struct StateRow;
    // The one table of the states: number, text and the function that runs it.
    static const StateRow* rowOf(State state);
    void startMachine(StepTimer& m);
    void waitForMessage(StepTimer& m);
    void checkSocket(StepTimer& m);
    void startPort(StepTimer& m);
    void openConnection(StepTimer& m);
    void waitForConnection(StepTimer& m);
    void sendLine(StepTimer& m);

    void onConnected();
    void onErrorOccurred(QAbstractSocket::SocketError error);
    void onReadyRead();
    void onDisconnected();
    void handleSocketError(int code);
    void setDelivery(uint64_t ticket, Delivery d);
    // The message being sent and those written without an answer never got through.
    void failUndelivered();
    // Those written without an answer; byPeer: ZamMeld closed the connection on them.
    void failInFlight(bool byPeer);
    void creditAnswers(const std::vector<std::string>& lines);
    // A connection ended with lines unanswered, or a connect ran out: ZamMeld silent.
    void noteSilence();
    void noteAnswered();
    bool openSocket();
    void runContainedStep(StepTimer& machine);

    StepTimer& steps_;
    std::string host_;
    int port_;
    WindowPort& window_;
    GatewayState& gateway_;

    struct Queued {
        uint64_t ticket;
        std::string text;
    };
    struct Tracked {
        Delivery delivery = Delivery::Queued;
        std::string answer;
        bool cutOff = false;
        MessageKind kind = MessageKind::Other;  // as counted when written
        std::optional<TimeMs> writtenAt;
    };
    std::deque<Queued> queue_;
    std::string current_;
    uint64_t currentTicket_ = 0;
    std::deque<uint64_t> inFlight_;  // written on the open connection, unanswered, oldest first
    uint64_t lastTicket_ = 0;
    std::map<uint64_t, Tracked> deliveries_;  // the most recent ones
    uint64_t answersReceived_ = 0;
    const Clock* clock_ = nullptr;
    std::optional<TimeMs> silentSince_;  // first silence since the last answer
    bool silentFault_ = false;
    std::string lastReply_;
    std::string pending_;
    bool pendingOverflow_ = false;
    bool endedWithCr_ = false;  // the last read ended right after a carriage return
    QElapsedTimer connectStarted_;
    bool replyReceived_ = false;
    bool socketConnected_ = false;
    bool socketError_ = false;

    QTcpSocket socket_;
};

}  // namespace zampo
