#include "Prompt.h"

#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace zpp::ui {

namespace {
std::shared_ptr<Prompter>& Installed() {
    static std::shared_ptr<Prompter> prompter = std::make_shared<QtPrompter>();
    return prompter;
}
ModalHandler& InstalledModal() {
    static ModalHandler handler;
    return handler;
}

// A closed modal window leaves the activation to the window manager; without one that hands it
// back, no window is active afterwards, and the shortcuts of the window the user goes on in are
// dead while its other keys still arrive. The window that was active before gets it back.
class ActivationKept {
public:
    ActivationKept() : m_was(QApplication::activeWindow()) {}
    ~ActivationKept() {
        const QWidget* now = QApplication::activeWindow();
        if (m_was && m_was->isVisible() && (!now || !now->isVisible()))
            m_was->activateWindow();
    }
    ActivationKept(const ActivationKept&) = delete;
    ActivationKept& operator=(const ActivationKept&) = delete;

private:
    QPointer<QWidget> m_was;
};

int FirstButtonAnswer(int style) {
    switch (style & 15) {
    case AbortRetryIgnore:
        return Abort;
    case YesNoCancel:
    case YesNo:
        return Yes;
    case RetryCancel:
        return Retry;
    default:
        return Ok;
    }
}
} // namespace

Prompter& CurrentPrompter() {
    return *Installed();
}
void SetPrompter(std::shared_ptr<Prompter> prompter) {
    Installed() = prompter ? std::move(prompter) : std::make_shared<QtPrompter>();
}

int MsgBox(const QString& text, int style, const QString& title) {
    return CurrentPrompter().MsgBox(text, style, title);
}

std::optional<QString> InputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    return CurrentPrompter().InputBox(prompt, title, defaultText);
}

int ExecModal(QDialog& dialog) {
    const ActivationKept kept;
    if (InstalledModal())
        return InstalledModal()(dialog);
    return dialog.exec();
}

void SetModalHandler(ModalHandler handler) {
    InstalledModal() = std::move(handler);
}

int QtPrompter::MsgBox(const QString& text, int style, const QString& title) {
    const ActivationKept kept;
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    switch (style & 0x70) {
    case Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Information:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    struct Choice {
        QMessageBox::StandardButton Button;
        int AnswerCode;
    };
    QVector<Choice> choices;
    switch (style & 15) {
    case OkCancel:
        choices = {{QMessageBox::Ok, Ok}, {QMessageBox::Cancel, Cancel}};
        break;
    case AbortRetryIgnore:
        choices = {{QMessageBox::Abort, Abort}, {QMessageBox::Retry, Retry}, {QMessageBox::Ignore, Ignore}};
        break;
    case YesNoCancel:
        choices = {{QMessageBox::Yes, Yes}, {QMessageBox::No, No}, {QMessageBox::Cancel, Cancel}};
        break;
    case YesNo:
        choices = {{QMessageBox::Yes, Yes}, {QMessageBox::No, No}};
        break;
    case RetryCancel:
        choices = {{QMessageBox::Retry, Retry}, {QMessageBox::Cancel, Cancel}};
        break;
    default:
        choices = {{QMessageBox::Ok, Ok}};
        break;
    }
    for (const auto& c : choices)
        box.addButton(c.Button);
    const int defaultIndex = (style & 0x300) >> 8;
    if (defaultIndex < choices.size())
        box.setDefaultButton(choices[defaultIndex].Button);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto& c : choices)
        if (c.Button == pressed)
            return c.AnswerCode;
    // Closed without a button (Esc on a box without Cancel): the last, most cautious choice.
    return choices.back().AnswerCode;
}

std::optional<QString> QtPrompter::InputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText) {
    const ActivationKept kept;
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt, QLineEdit::Normal,
                                               defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

int ScriptedPrompter::MsgBox(const QString& text, int style, const QString& title) {
    Log.push_back({QStringLiteral("MsgBox"), text, style, title});
    if (OnShow)
        OnShow(Log.back());
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return FirstButtonAnswer(style);
}

std::optional<QString> ScriptedPrompter::InputBox(const QString& prompt, const QString& title,
                                                  const QString&) {
    Log.push_back({QStringLiteral("InputBox"), prompt, 0, title});
    if (OnShow)
        OnShow(Log.back());
    if (!m_inputs.isEmpty())
        return m_inputs.takeFirst();
    return std::nullopt;
}

namespace {
Translator& InstalledTranslator() {
    static Translator translator;
    return translator;
}
} // namespace

QString Tr(const char* builtInUtf8) {
    const QString text = QString::fromUtf8(builtInUtf8);
    return InstalledTranslator() ? InstalledTranslator()(text) : text;
}

void SetTranslator(Translator translator) {
    InstalledTranslator() = std::move(translator);
}

} // namespace zpp::ui
