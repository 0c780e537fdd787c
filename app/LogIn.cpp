#include "LogIn.h"

#include "platform/ui/Prompt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace zpp::app {

std::optional<QString> AskPassword(const QString& user, const QString& server, const QString& problem) {
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("frmLogIn"));
    dialog.setWindowTitle(ui::Tr("登录"));
    QString text = ui::Tr("请输入用户 %1 在 %2 上的密码：").arg(user, server);
    if (!problem.isEmpty())
        text = problem + QStringLiteral("\n\n") + text;
    auto* prompt = new QLabel(text, &dialog);
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    prompt->setWordWrap(true);
    auto* password = new QLineEdit(&dialog);
    password->setObjectName(QStringLiteral("txtPassword"));
    password->setEchoMode(QLineEdit::Password);
    password->setAccessibleName(ui::Tr("密码"));
    prompt->setBuddy(password);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton(ui::Tr("登录"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(ui::Tr("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(prompt);
    layout->addWidget(password);
    layout->addWidget(buttons);
    dialog.resize(420, dialog.sizeHint().height());
    password->setFocus();
    if (ui::ExecModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return password->text();
}

namespace {
// A user disabled or deleted by an administrator is refused by the store as well as the server.
store::Session RefuseLockedOut(const store::Session& session) {
    const QString state =
        session.Db->Scalar(QStringLiteral("SELECT status FROM users WHERE id = ?"), {session.UserId})
            .toString();
    if (state == u"disabled")
        throw Error(ui::Tr("用户“%1”已停用，不能登录；请与系统管理员联系").arg(session.UserName));
    if (state == u"deleted")
        throw Error(ui::Tr("用户“%1”已删除，不能登录").arg(session.UserName));
    return session;
}
} // namespace

std::optional<store::Session> OpenAndLogIn(const QString& location, const QString& user,
                                           const PasswordPrompt& ask) {
    QUrl url(location);
    QString problem;
    for (;;) {
        const QString who = url.userName().isEmpty()
                                ? qEnvironmentVariable("PGUSER", qEnvironmentVariable("USER"))
                                : url.userName();
        try {
            return RefuseLockedOut(store::LogInAsConnected(store::Store::Open(url.toString()), user));
        } catch (const store::StoreError& e) {
            // The server lets a role without LOGIN in nowhere, whatever its password: asking again
            // would not help. (A server speaking another language says so in its own words below.)
            if (e.Description().contains(QStringLiteral("is not permitted to log in")))
                throw Error(
                    ui::Tr("PostgreSQL 服务器不允许用户 %1 登录：该用户已停用或已删除；请与系统管理员联系")
                        .arg(who));
            if (!ask || (e.ErrorKind() != store::StoreError::Kind::PasswordNeeded &&
                         e.ErrorKind() != store::StoreError::Kind::LogInRefused))
                throw;
            // The first question needs no reason; a refusal says what the server said.
            problem = e.ErrorKind() == store::StoreError::Kind::LogInRefused ? e.Description() : QString();
        }
        const QString server = QStringLiteral("%1:%2").arg(url.host()).arg(url.port(5432));
        const std::optional<QString> password = ask(who, server, problem);
        if (!password)
            return std::nullopt;
        url.setPassword(*password);
    }
}

} // namespace zpp::app
