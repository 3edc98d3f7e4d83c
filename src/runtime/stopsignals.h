#pragma once
// Turns SIGTERM and SIGINT into a call in the gateway's thread, so that a service
// manager or Ctrl+C stops the gateway in order instead of killing it mid-step;
// with onReload, SIGHUP (systemctl reload) likewise.
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace zampo {

class StopSignals : public QObject {
    Q_OBJECT
public:
    // onStop and onReload run in the thread that created this object; signals that
    // arrive together give one call each. Without onReload SIGHUP keeps its default.
    explicit StopSignals(std::function<void()> onStop, std::function<void()> onReload = {}, QObject* parent = nullptr);
    ~StopSignals() override;
    // First thing in main: the three signals wait until the handlers are in place,
    // so that a stop asked for during the start-up is not a kill.
    static void holdUntilInstalled();

private:
    std::function<void()> onStop_;
    std::function<void()> onReload_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace zampo
