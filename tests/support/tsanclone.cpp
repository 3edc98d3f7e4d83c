// Linked into the tests only in the ThreadSanitizer build.
//
// Qt starts child processes with clone(CLONE_VM | CLONE_VFORK). ThreadSanitizer's
// clone interceptor treats every clone as a fork and re-initialises its state in
// the child, which under CLONE_VM is the parent's own memory: afterwards it misses
// the parent's locks and reports races in code that holds them. Without CLONE_VM
// the child gets its own copy, as after fork, and Qt's child code is fine with that
// (it reports back over a pipe); the parent still waits until the child has exec'd.
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

#include <cstdarg>

extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...) {
    va_list rest;
    va_start(rest, arg);
    pid_t* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    pid_t* childTid = va_arg(rest, pid_t*);
    va_end(rest);
    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    static const auto next = reinterpret_cast<Clone>(::dlsym(RTLD_NEXT, "clone"));
    if ((flags & CLONE_VM) && (flags & CLONE_VFORK)) flags &= ~CLONE_VM;
    return next(fn, stack, flags, arg, parentTid, tls, childTid);
}
