#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

#if defined(__SANITIZE_THREAD__)
#include <cstdarg>
#include <dlfcn.h>
#include <sched.h>

// QProcess starts its child with clone(CLONE_VM | CLONE_VFORK): the child runs in this process's
// memory until it execs. The thread sanitizer's clone hook takes every child for a fork and
// updates its own state in the child; in shared memory that update lands on this process's
// calling thread, which then no longer takes part in lock ordering (races are reported behind
// the mutexes it holds) or, with other threads running, ends the program. Under the sanitizer
// the child gets memory of its own instead: a plain fork, which QProcess handles as well.
extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...) {
    va_list args;
    va_start(args, arg);
    void* parentTid = va_arg(args, void*);
    void* tls = va_arg(args, void*);
    void* childTid = va_arg(args, void*);
    va_end(args);
    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    static const auto next = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
    if ((flags & (CLONE_VM | CLONE_VFORK)) == (CLONE_VM | CLONE_VFORK) && !(flags & CLONE_THREAD))
        flags &= ~(CLONE_VM | CLONE_VFORK);
    return next(fn, stack, flags, arg, parentTid, tls, childTid);
}
#endif

// Every test program runs with a widget application, headless, and with its own
// throw-away user directories so that nothing touches the real user's files.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
