#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;
class QShowEvent;

namespace zpp {

// A modal dialog for long messages: a scrollable text box and either one confirming button
// ("vbYes") or a Yes/No pair ("vbYesNo"). The answer is process-wide: -1 for Yes, 0 for No,
// for closing the window otherwise, and while the dialog is open.
class frmMessage : public QDialog {
    Q_OBJECT
public:
    explicit frmMessage(QWidget* parent = nullptr);

    // Set by the caller before showing.
    QString ButtonMode;

    // Arranges the buttons by ButtonMode and clears the answer, as the dialog's load does;
    // showing the dialog runs it, and so does ShowModal before it goes through the seam.
    void Load();
    // Loads, shows modally through the modal seam and returns the answer.
    qint16 ShowModal();

    static qint16 Answer();
    static void SetAnswer(qint16 answer);

    QPlainTextEdit* txtMessage;
    QPushButton* btnYes;
    QPushButton* btnNo;

protected:
    void showEvent(QShowEvent* event) override;
};

// The one message dialog every caller shares.
frmMessage& SharedMessageDialog();
// Shows a message in the shared message dialog and returns the answer (-1 Yes, 0 No).
qint16 ShowMessageDialog(const QString& message, const QString& buttonMode);

} // namespace zpp
