#pragma once
// Turns SIGTERM and SIGINT into a call in the window's thread, so that a service
// manager or Ctrl+C stops the gateway in order instead of killing it mid-step.
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace zampo {

class StopSignals : public QObject {
    Q_OBJECT
public:
    // onStop runs in the thread that created this object, once per signal.
    explicit StopSignals(std::function<void()> onStop, QObject* parent = nullptr);
    ~StopSignals() override;

private:
    std::function<void()> onStop_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace zampo
