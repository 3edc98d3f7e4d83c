#pragma once
// Tells a service manager (systemd) how the gateway is doing, through the socket
// it names in NOTIFY_SOCKET: ready, alive, stopping, the status text. Without that socket every
// call does nothing, so the gateway runs as it does by hand.
#include <QObject>
#include <QTimer>
#include <string>

namespace zampo {

class StepTimer;

class ServiceNotify : public QObject {
    Q_OBJECT
public:
    explicit ServiceNotify(QObject* parent = nullptr);

    // READY=1, and from now on WATCHDOG=1 at half the interval the manager asked
    // for, but only while loop keeps to its plan: a loop more than one manager
    // interval behind the rest its last step asked for gets no ping, so the manager
    // restarts a gateway whose loop stalled even though its event loop still runs.
    void ready(const StepTimer* loop = nullptr);
    // STOPPING=1: the orderly stop has begun.
    void stopping();
    // STATUS=: the status text, shown by systemctl status.
    void status(const std::string& text);

private:
    void ping();

    QTimer watchdog_;
    const StepTimer* loop_ = nullptr;
    qint64 graceMs_ = 0;
    bool withheld_ = false;
};

}  // namespace zampo
