#include "runtime/stopsignals.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace zampo {

namespace {
int pipeFds[2] = {-1, -1};

sigset_t handledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, s);
    return set;
}

void onSignal(int signal) {
    const char c = static_cast<char>(signal);
    // Only async-signal-safe work here; a full pipe means a stop is pending anyway.
    [[maybe_unused]] ssize_t n = ::write(pipeFds[1], &c, 1);
}
}  // namespace

StopSignals::StopSignals(std::function<void()> onStop, std::function<void()> onReload, QObject* parent)
    : QObject(parent), onStop_(std::move(onStop)), onReload_(std::move(onReload)) {
    const sigset_t held = handledSignals();
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::pthread_sigmask(SIG_UNBLOCK, &held, nullptr);  // their defaults, rather than never
        return;
    }
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        bool stop = false, reload = false;
        for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
            for (ssize_t i = 0; i < n; ++i) (buf[i] == SIGHUP ? reload : stop) = true;
        if (reload && onReload_) onReload_();
        if (stop && onStop_) onStop_();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    if (onReload_) ::sigaction(SIGHUP, &sa, nullptr);
    ::pthread_sigmask(SIG_UNBLOCK, &held, nullptr);
}

void StopSignals::holdUntilInstalled() {
    const sigset_t held = handledSignals();
    ::pthread_sigmask(SIG_BLOCK, &held, nullptr);
}

StopSignals::~StopSignals() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    if (onReload_) std::signal(SIGHUP, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
    for (int& fd : pipeFds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace zampo
