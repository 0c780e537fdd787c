#pragma once

#include "platform/records/Error.h"

#include <QString>
#include <functional>
#include <memory>

namespace zpp {

// Work the user stopped; whatever it was replacing stays as it was.
struct Cancelled : Error {
    using Error::Error;
};

// Long reads ask now and then whether to go on. A command installs a poll for the time it runs
// (the list's reload shows a progress window with a Cancel button behind it); with none
// installed the work always goes on. Scopes nest: the work goes on while every poll agrees.
namespace longwork {

using Poll = std::function<bool()>;

// False once the user asked to stop.
bool KeepGoing();

class Scope {
public:
    explicit Scope(Poll poll);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    Poll m_previous;
};

} // namespace longwork

// A progress window for work that turns out to be slow: it appears after a delay, is updated at
// most ten times a second (each update paints, which a big fill would feel) and, when the work
// can be stopped, has a Cancel button and keeps the rest of the program waiting.
class SlowWork {
public:
    // total 0: work that cannot count its steps.
    SlowWork(const QString& label, int total, int delayMs, bool cancellable);
    ~SlowWork();
    SlowWork(const SlowWork&) = delete;
    SlowWork& operator=(const SlowWork&) = delete;
    // Whether to go on: false once the user cancelled.
    bool Step(int done = 0);

private:
    struct Window; // the timer and the dialog, once shown
    QString m_label;
    int m_total, m_delayMs;
    bool m_cancellable;
    qint64 m_updated = 0, m_polled = 0;
    std::unique_ptr<Window> m_window;
};

} // namespace zpp
