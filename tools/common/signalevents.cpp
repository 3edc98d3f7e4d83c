#include "signalevents.h"

#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace tools {

namespace {
// One pair per process: a signal handler can reach nothing else.
int pipeFds[2] = {-1, -1};

void onSignal(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    // A full pipe drops the signal; nobody sends that many by hand.
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
}
}  // namespace

SignalEvents::SignalEvents(std::initializer_list<int> caught, std::function<void(int)> handler, QObject* parent)
    : QObject(parent), signals_(caught), handler_(std::move(handler)) {
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char received[16];
        ssize_t n;
        while ((n = ::read(pipeFds[0], received, sizeof received)) > 0)
            for (ssize_t i = 0; i < n; ++i) handler_(received[i]);
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : signals_) ::sigaction(s, &sa, nullptr);
}

SignalEvents::~SignalEvents() {
    for (int s : signals_) std::signal(s, SIG_DFL);
    delete notifier_;
    for (int& fd : pipeFds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace tools
