#include "LongWork.h"

namespace zpp::longwork {

namespace {
Poll& Installed() {
    static Poll poll;
    return poll;
}
} // namespace

bool KeepGoing() {
    const Poll& poll = Installed();
    return !poll || poll();
}

Scope::Scope(Poll poll) : m_previous(Installed()) {
    // An outer poll (a test's, or an enclosing command's) keeps its say.
    Installed() = [poll = std::move(poll), outer = m_previous] { return poll() && (!outer || outer()); };
}

Scope::~Scope() {
    Installed() = std::move(m_previous);
}

} // namespace zpp::longwork
