#pragma once

#include <QString>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

class QDialog;

// The one seam for message boxes, input boxes and modal dialogs. Windows call these
// functions; the application installs real dialogs, tests install a scripted prompter.
namespace zpp::ui {

// Styles combine one button set, one icon and optionally a default button.
inline constexpr int OkOnly = 0, OkCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4,
                     RetryCancel = 5;
inline constexpr int Critical = 16, Question = 32, Exclamation = 48, Information = 64;
inline constexpr int DefaultButton1 = 0, DefaultButton2 = 256, DefaultButton3 = 512;
// Answers.
inline constexpr int Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7;

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual int MsgBox(const QString& text, int style, const QString& title) = 0;
    // Empty optional when the user cancels.
    virtual std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;
};

// Real Qt dialogs, parented to the active window.
class QtPrompter : public Prompter {
public:
    int MsgBox(const QString& text, int style, const QString& title) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
};

// Answers from a script and records every prompt, for tests.
class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        QString Kind; // "MsgBox" or "InputBox"
        QString Text;
        int Style = 0;
        QString Title;
        int Buttons() const { return Style & 15; }
        int IconOf() const { return Style & 0x70; }
    };
    // Answers are taken in order; without one a message box gets its first button and an
    // input box is cancelled.
    void QueueAnswer(int answer) { m_answers.push_back(answer); }
    void QueueInput(std::optional<QString> text) { m_inputs.push_back(std::move(text)); }
    // Called while a message box is "open", before it answers (for nested actions in tests).
    std::function<void(const Shown&)> OnShow;

    int MsgBox(const QString& text, int style, const QString& title) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;

    QVector<Shown> Log;
    void Clear() { Log.clear(); }

private:
    QVector<int> m_answers;
    QVector<std::optional<QString>> m_inputs;
};

// The installed prompter (a QtPrompter until something else is installed).
Prompter& CurrentPrompter();
void SetPrompter(std::shared_ptr<Prompter> prompter);

int MsgBox(const QString& text, int style, const QString& title);
std::optional<QString> InputBox(const QString& prompt, const QString& title, const QString& defaultText = {});

// Runs a dialog modally and returns its result code. Tests install a handler that acts on
// the dialog and returns what the dialog would have returned.
using ModalHandler = std::function<int(QDialog&)>;
int ExecModal(QDialog& dialog);
void SetModalHandler(ModalHandler handler);

// Texts of the platform's own windows (print setup, export) in the user's language. The
// component installs its localisation; without one the built-in text is shown.
using Translator = std::function<QString(const QString&)>;
QString Tr(const char* builtInUtf8);
void SetTranslator(Translator translator);

} // namespace zpp::ui
