#include "Session.h"

#include "EntryChanges.h"

#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QRegularExpression>

namespace zpp::store {

Session LogIn(const StorePtr& store, const QString& nameOrId) {
    const QString who = nameOrId.trimmed();
    QSqlQuery q;
    static const QRegularExpression number(QStringLiteral("^[+-]?\\d+$"));
    if (number.match(who).hasMatch()) {
        qint16 id = 0;
        try {
            id = values::ToInt16(who);
        } catch (const Error&) {
            throw Error(QStringLiteral("用户 ID %1 超出范围（-32768 到 32767）").arg(who.left(40)));
        }
        q = store->Exec(QStringLiteral("SELECT id, name FROM users WHERE id = ?"), {id});
    } else {
        q = store->Exec(QStringLiteral("SELECT id, name FROM users WHERE name = ?"), {who});
    }
    if (!q.next())
        throw Error(QStringLiteral("数据库 %1 中没有用户 \"%2\"").arg(store->DisplayName(), who.left(80)));
    Session s;
    s.Db = store;
    s.UserId = static_cast<qint16>(q.value(0).toInt());
    s.UserName = q.value(1).toString();
    NameEntryChangeWriter(*store, s.UserName);
    return s;
}

Session LogInAsConnected(const StorePtr& store, const QString& nameOrId) {
    if (store->IsSQLite())
        return LogIn(store, nameOrId.trimmed().isEmpty() ? QStringLiteral("admin") : nameOrId);
    const QString role = store->Scalar(QStringLiteral("SELECT current_user")).toString();
    Session s = LogIn(store, role);
    s.OwnRole = true;
    const QString asked = nameOrId.trimmed();
    if (!asked.isEmpty() && asked != s.UserName && asked != QString::number(s.UserId))
        throw Error(ui::Tr("PostgreSQL 账套以连接所用的数据库角色登录：--user %1 与连接的角色 %2 不同；"
                           "请在地址中写上用户，例如 postgresql://%1@主机/数据库")
                        .arg(asked.left(80), role));
    return s;
}

} // namespace zpp::store
