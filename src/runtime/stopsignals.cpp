#include "runtime/stopsignals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace zampo {

namespace {
int pipeFds[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    // Only async-signal-safe work here; a full pipe means a stop is pending anyway.
    [[maybe_unused]] ssize_t n = ::write(pipeFds[1], &c, 1);
}
}  // namespace

StopSignals::StopSignals(std::function<void()> onStop, QObject* parent) : QObject(parent), onStop_(std::move(onStop)) {
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(pipeFds[0], buf, sizeof buf) > 0) {
        }
        if (onStop_) onStop_();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

StopSignals::~StopSignals() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
    for (int& fd : pipeFds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace zampo
