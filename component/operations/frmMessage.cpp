#include "frmMessage.h"

#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "platform/ui/Prompt.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zpp {

namespace {
// Positions are given in twips; the dialog is laid out at 15 twips to the pixel.
constexpr int Px(int twips) {
    return twips / 15;
}
constexpr int kButtonTop = Px(3120), kButtonWidth = Px(1215), kButtonHeight = Px(375);
} // namespace

frmMessage::frmMessage(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmMessage"));
    setAccessibleName(QStringLiteral("frmMessage"));
    setWindowTitle(GetLangString(QStringLiteral("Marvane提示")));
    QFont font(QStringLiteral("宋体"));
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSize(9);
    setFont(font);
    setModal(true);
    // A long message scrolls inside the text box; the dialog keeps its size.
    setFixedSize(Px(7560), Px(4035));

    txtMessage = new QPlainTextEdit(this);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setAccessibleName(QStringLiteral("txtMessage"));
    txtMessage->setReadOnly(true);
    txtMessage->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    txtMessage->setGeometry(Px(120), Px(120), Px(7320), Px(2880));

    btnYes = new QPushButton(GetLangString(QStringLiteral("是(&Y)")), this);
    btnYes->setObjectName(QStringLiteral("btnYes"));
    btnYes->setGeometry(Px(2640), kButtonTop, kButtonWidth, kButtonHeight);
    btnNo = new QPushButton(GetLangString(QStringLiteral("确定")), this);
    btnNo->setObjectName(QStringLiteral("btnNo"));
    btnNo->setGeometry(Px(5040), kButtonTop, kButtonWidth, kButtonHeight);

    connect(btnYes, &QPushButton::clicked, this, [this] {
        State().MessageAnswer = -1;
        accept();
    });
    connect(btnNo, &QPushButton::clicked, this, [this] {
        State().MessageAnswer = 0;
        reject();
    });
}

void frmMessage::Load() {
    State().MessageAnswer = 0;
    if (ButtonMode == QLatin1String("vbYes")) {
        btnYes->setText(GetLangString(QStringLiteral("确定")));
        btnYes->move(Px(3960), kButtonTop);
        btnYes->setVisible(true);
        btnNo->setVisible(false);
    } else if (ButtonMode == QLatin1String("vbYesNo")) {
        btnYes->setText(GetLangString(QStringLiteral("是(&Y)")));
        btnYes->move(Px(2640), kButtonTop);
        btnYes->setVisible(true);
        btnNo->setText(GetLangString(QStringLiteral("否(&N)")));
        btnNo->move(Px(5040), kButtonTop);
        btnNo->setVisible(true);
    } else {
        // The dialog is shared: an unknown mode shows the buttons as designed, whatever came before.
        btnYes->setText(GetLangString(QStringLiteral("是(&Y)")));
        btnYes->move(Px(2640), kButtonTop);
        btnYes->setVisible(true);
        btnNo->setText(GetLangString(QStringLiteral("确定")));
        btnNo->move(Px(5040), kButtonTop);
        btnNo->setVisible(true);
    }
    btnYes->setAccessibleName(btnYes->text());
    btnNo->setAccessibleName(btnNo->text());
    btnYes->setDefault(true);
}

qint16 frmMessage::ShowModal() {
    Load();
    ui::ExecModal(*this);
    return State().MessageAnswer;
}

void frmMessage::showEvent(QShowEvent* event) {
    Load();
    QDialog::showEvent(event);
}

qint16 frmMessage::Answer() {
    return State().MessageAnswer;
}

void frmMessage::SetAnswer(qint16 answer) {
    State().MessageAnswer = answer;
}

frmMessage& SharedMessageDialog() {
    // One dialog for the process, made on first use and deleted with the application.
    static frmMessage* dialog = nullptr;
    if (!dialog) {
        dialog = new frmMessage;
        QObject::connect(dialog, &QObject::destroyed, [] { dialog = nullptr; });
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, dialog, &QObject::deleteLater);
    }
    return *dialog;
}

qint16 ShowMessageDialog(const QString& message, const QString& buttonMode) {
    frmMessage& dialog = SharedMessageDialog();
    dialog.ButtonMode = buttonMode;
    dialog.txtMessage->setPlainText(message);
    return dialog.ShowModal();
}

} // namespace zpp
