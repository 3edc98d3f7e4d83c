#pragma once
// Tells a service manager (systemd) how the gateway is doing, through the socket
// it names in NOTIFY_SOCKET: ready, alive, stopping, the status text. Without that socket every
// call does nothing, so the gateway runs as it does by hand.
#include <QObject>
#include <QTimer>
#include <string>

namespace zampo {

class ServiceNotify : public QObject {
    Q_OBJECT
public:
    explicit ServiceNotify(QObject* parent = nullptr);

    // READY=1, and from now on WATCHDOG=1 at half the interval the manager asked
    // for. The pings come from a timer of this thread, so an event loop that
    // stalls stops them and the manager restarts the gateway.
    void ready();
    // STOPPING=1: the orderly stop has begun.
    void stopping();
    // STATUS=: the status text, shown by systemctl status.
    void status(const std::string& text);

private:
    QTimer watchdog_;
};

}  // namespace zampo
