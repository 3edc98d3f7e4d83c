// Unix signals delivered as calls in the event loop, so that a simulator can be
// told to change course while it runs (kill -USR1 <pid>).
#pragma once

#include <QObject>
#include <functional>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace tools {

class SignalEvents : public QObject {
public:
    // handler runs in the thread of the event loop, once per signal of caught received.
    SignalEvents(std::initializer_list<int> caught, std::function<void(int signal)> handler, QObject* parent = nullptr);
    ~SignalEvents() override;
    SignalEvents(const SignalEvents&) = delete;
    SignalEvents& operator=(const SignalEvents&) = delete;

private:
    std::vector<int> signals_;
    std::function<void(int)> handler_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tools
