#pragma once

#include "platform/records/Error.h"

#include <functional>

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
} // namespace zpp
