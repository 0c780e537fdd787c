#include "LongWork.h"

#include "Lang.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

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

namespace zpp {

struct SlowWork::Window {
    QElapsedTimer Timer;
    std::unique_ptr<QProgressDialog> Dialog;
};

SlowWork::SlowWork(const QString& label, int total, int delayMs, bool cancellable)
    : m_label(label), m_total(total), m_delayMs(delayMs), m_cancellable(cancellable),
      m_window(std::make_unique<Window>()) {
    m_window->Timer.start();
}

SlowWork::~SlowWork() = default;

bool SlowWork::Step(int done) {
    const qint64 now = m_window->Timer.elapsed();
    auto& dialog = m_window->Dialog;
    // Once the window is up, events are answered every few milliseconds: assistive technology
    // asks many small questions to find the window and press its button. The window itself is
    // updated at most ten times a second.
    if (now - m_polled < (dialog ? 10 : 100))
        return !dialog || !dialog->wasCanceled();
    m_polled = now;
    if (!dialog && now > m_delayMs) {
        dialog = std::make_unique<QProgressDialog>(
            m_label, m_cancellable ? GetLangString(QStringLiteral("取消")) : QString(), 0, m_total,
            QApplication::activeWindow());
        dialog->setWindowModality(m_cancellable ? Qt::ApplicationModal : Qt::WindowModal);
        dialog->setMinimumDuration(0);
        dialog->setAccessibleName(m_label);
        dialog->show();
    }
    if (!dialog)
        return true;
    if (m_total > 0 && now - m_updated >= 100) {
        m_updated = now;
        dialog->setValue(done);
    }
    QApplication::processEvents(m_cancellable ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    return !dialog->wasCanceled();
}

} // namespace zpp
