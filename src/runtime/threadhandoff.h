#pragma once
// A call handed to the thread of a QObject through Qt's event queue, from any thread.
#include <QObject>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace zampo {

#if defined(__SANITIZE_THREAD__)
namespace detail {
// Qt orders the posting and the receiving thread with locks and atomics of its
// own, which ThreadSanitizer cannot see in a Qt that was not built for it; without
// this it reports the hand-over itself as a race. The call says what Qt does: its
// last move (into Qt's slot object) publishes, its run takes that and publishes in
// turn, and its destruction, in whichever thread drops it last, takes both.
template <class F>
class AnnouncedCall {
public:
    explicit AnnouncedCall(F fn) : fn_(std::move(fn)) {}
    AnnouncedCall(AnnouncedCall&& other) noexcept : fn_(std::move(other.fn_)) { __tsan_release(this); }
    AnnouncedCall(const AnnouncedCall&) = delete;
    AnnouncedCall& operator=(const AnnouncedCall&) = delete;
    ~AnnouncedCall() { __tsan_acquire(this); }

    void operator()() {
        __tsan_acquire(this);
        fn_();
        __tsan_release(this);
    }

private:
    F fn_;
};
}  // namespace detail
#endif

// Runs fn in the thread that context lives in: queued by default; with
// Qt::AutoConnection at once when called from that thread.
template <class F>
void invokeInThreadOf(QObject* context, F fn, Qt::ConnectionType type = Qt::QueuedConnection) {
#if defined(__SANITIZE_THREAD__)
    QMetaObject::invokeMethod(context, detail::AnnouncedCall<F>(std::move(fn)), type);
#else
    QMetaObject::invokeMethod(context, std::move(fn), type);
#endif
}

}  // namespace zampo
