#include "UserAdministration.h"

#include "CompanySettings.h"
#include "Rights.h"
#include "platform/ui/Prompt.h"
#include "services/store/DatabaseRoles.h"
#include "services/store/StoredText.h"

#include <QSqlQuery>
#include <algorithm>

namespace zpp::services {

qint32 ParseRights(const QString& names) {
    qint32 mask = 0;
    for (const QString& raw : names.split(u',', Qt::SkipEmptyParts)) {
        const QString name = raw.trimmed().toLower();
        if (name == u"all") {
            mask |= kEveryRight;
            continue;
        }
        const auto& all = RightNames();
        const auto it = std::find_if(all.begin(), all.end(),
                                     [&](const RightName& r) { return name == QLatin1String(r.Key); });
        if (it == all.end())
            throw Error(ui::Tr("没有名为“%1”的权限；可用：query, save, close, delete, push, export, print, "
                               "price, import, all")
                            .arg(raw.trimmed().left(40)));
        mask |= it->Mask;
    }
    return mask;
}

QString RightsText(qint64 mask) {
    QStringList names;
    for (const RightName& r : RightNames())
        if (mask & r.Mask)
            names << QLatin1String(r.Key);
    return names.join(u',');
}

namespace {
// A full name as the window and the order documents show it.
constexpr store::TextLimit kFullName{"姓名", 80};

QString FullNameText(const QString& fullName) {
    const QString text = store::StoredText(fullName).trimmed();
    if (const QString fault = store::LengthFault(text, kFullName); !fault.isEmpty())
        throw Error(fault);
    return text;
}
} // namespace

void UserAdministration::RequireAdministrator() const {
    if (!Holds(*m_session, kEveryRight))
        throw Error(ui::Tr("只有拥有全部权限的管理员才能管理用户与权限"));
}

// A deleted user is no longer there to be changed.
qint16 UserAdministration::UserId(const QString& name) const {
    const QVariant id = m_session->Db->Scalar(
        QStringLiteral("SELECT id FROM users WHERE name = ? AND status <> ?"), {name, userstate::Deleted});
    if (!id.isValid())
        throw Error(ui::Tr("没有用户“%1”").arg(name.left(80)));
    return qint16(id.toInt());
}

qint64 UserAdministration::MaskOf(qint16 id) const {
    return m_session->Db
        ->Scalar(
            QStringLiteral(
                "SELECT granted_mask FROM user_rights WHERE user_id = ? AND subsystem = ? AND module = ?"),
            {id, rights::Subsystem, rights::Module})
        .toLongLong();
}

QVector<UserEntry> UserAdministration::Users() const {
    RequireAdministrator();
    const store::Store& db = *m_session->Db;
    QVector<UserEntry> users;
    QSqlQuery q = db.Exec(
        QStringLiteral("SELECT u.id, u.name, u.full_name, COALESCE(r.granted_mask, 0), u.status FROM users u"
                       " LEFT JOIN user_rights r ON r.user_id = u.id AND r.subsystem = ?"
                       " AND r.module = ? WHERE u.status <> ? ORDER BY u.id"),
        {rights::Subsystem, rights::Module, userstate::Deleted});
    while (q.next())
        users.push_back({qint16(q.value(0).toInt()),
                         q.value(1).toString(),
                         q.value(2).toString(),
                         q.value(3).toLongLong(),
                         {},
                         q.value(4).toString() != userstate::Active});
    QSqlQuery forbidden = db.Exec(QStringLiteral("SELECT user_id, supplier_code FROM user_supplier_rights "
                                                 "WHERE may_use = 0 ORDER BY user_id, supplier_code"));
    while (forbidden.next())
        for (UserEntry& u : users)
            if (u.Id == forbidden.value(0).toInt())
                u.ForbiddenSuppliers << forbidden.value(1).toString();
    return users;
}

void UserAdministration::AddUser(const QString& name, const QString& fullName) {
    RequireAdministrator();
    const QString user = store::StoredText(name).trimmed();
    if (user.isEmpty() || user.size() > 63 || user.contains(u'$') || user.contains(u'"'))
        throw Error(ui::Tr("用户名“%1”不可用：不能为空、含 $ 或 \" 或超过 63 个字符").arg(user.left(80)));
    const QString full = FullNameText(fullName);
    const store::Store& db = *m_session->Db;
    db.InTransaction([&] {
        // A deleted user's name stays with what it wrote.
        if (const QVariant state =
                db.Scalar(QStringLiteral("SELECT status FROM users WHERE name = ?"), {user});
            state.isValid())
            throw Error(
                state.toString() == userstate::Deleted
                    ? ui::Tr("用户名“%1”属于一个已删除的用户，其单据和日志仍以此名记录；请另取一个用户名")
                          .arg(user)
                    : ui::Tr("用户“%1”已存在").arg(user));
        const int id = db.Scalar(QStringLiteral("SELECT COALESCE(MAX(id), 0) + 1 FROM users")).toInt();
        if (id > 32767)
            throw Error(ui::Tr("用户已满：用户 ID 不能超过 32767"));
        db.Exec(QStringLiteral("INSERT INTO users (id, name, full_name) VALUES (?, ?, ?)"), {id, user, full});
        db.Exec(QStringLiteral(
                    "INSERT INTO user_rights (user_id, subsystem, module, granted_mask) VALUES (?, ?, ?, 0)"),
                {id, rights::Subsystem, rights::Module});
        store::SyncDatabaseRolesInTransaction(db);
    });
}

void UserAdministration::WriteRights(const QString& name, qint64 mask) const {
    const store::Store& db = *m_session->Db;
    const qint16 id = UserId(name);
    // Bits outside the named rights (other modules' meanings) are kept as they were.
    const qint64 kept = MaskOf(id) & ~qint64(kEveryRight);
    db.Exec(QStringLiteral("DELETE FROM user_rights WHERE user_id = ? AND subsystem = ? AND module = ?"),
            {id, rights::Subsystem, rights::Module});
    db.Exec(QStringLiteral(
                "INSERT INTO user_rights (user_id, subsystem, module, granted_mask) VALUES (?, ?, ?, ?)"),
            {id, rights::Subsystem, rights::Module, kept | (mask & kEveryRight)});
}

void UserAdministration::WriteSupplierRight(const QString& name, const QString& supplierCode,
                                            bool mayUse) const {
    const store::Store& db = *m_session->Db;
    const QString code = supplierCode.trimmed();
    const qint16 id = UserId(name);
    if (!db.Scalar(QStringLiteral("SELECT 1 FROM suppliers WHERE code = ?"), {code}).isValid())
        throw Error(ui::Tr("没有代码为“%1”的供应商").arg(code.left(40)));
    db.Exec(QStringLiteral("DELETE FROM user_supplier_rights WHERE user_id = ? AND supplier_code = ?"),
            {id, code});
    // A supplier without a row is allowed: only a refusal needs one.
    if (!mayUse)
        db.Exec(QStringLiteral(
                    "INSERT INTO user_supplier_rights (user_id, supplier_code, may_use) VALUES (?, ?, 0)"),
                {id, code});
}

void UserAdministration::WriteFullName(const QString& name, const QString& fullName) const {
    m_session->Db->Exec(QStringLiteral("UPDATE users SET full_name = ? WHERE id = ?"),
                        {FullNameText(fullName), UserId(name)});
}

void UserAdministration::Apply(const QVector<UserChange>& changes) {
    RequireAdministrator();
    const store::Store& db = *m_session->Db;
    db.InTransaction([&] {
        for (const UserChange& c : changes) {
            if (c.FullName)
                WriteFullName(c.Name, *c.FullName);
            if (c.Mask)
                WriteRights(c.Name, *c.Mask);
            for (const QString& code : c.Forbid)
                WriteSupplierRight(c.Name, code, false);
            for (const QString& code : c.Allow)
                WriteSupplierRight(c.Name, code, true);
        }
        RequireAnAdministratorRemains();
        store::SyncDatabaseRolesInTransaction(db);
    });
}

void UserAdministration::SetRights(const QString& name, qint64 mask) {
    Apply({UserChange{name, mask, {}, {}}});
}

void UserAdministration::Grant(const QString& name, qint32 mask) {
    RequireAdministrator();
    SetRights(name, MaskOf(UserId(name)) | mask);
}

void UserAdministration::Revoke(const QString& name, qint32 mask) {
    RequireAdministrator();
    SetRights(name, MaskOf(UserId(name)) & ~qint64(mask));
}

void UserAdministration::SetSupplierRight(const QString& name, const QString& supplierCode, bool mayUse) {
    Apply({UserChange{name, std::nullopt, mayUse ? QStringList() : QStringList{supplierCode},
                      mayUse ? QStringList{supplierCode} : QStringList()}});
}

void UserAdministration::SetFullName(const QString& name, const QString& fullName) {
    Apply({UserChange{name, std::nullopt, {}, {}, fullName}});
}

void UserAdministration::SetCompany(const QString& key, const QString& value) {
    CompanySettings(m_session).Write({{key, value}});
}

void UserAdministration::RequireMayLockOut(const QString& name) const {
    if (UserId(name) == m_session->UserId)
        throw Error(ui::Tr("不能停用或删除自己（%1）：请由另一位管理员来做").arg(name.left(80)));
}

// Checked after a change's writes, inside its transaction: the change is undone when no active
// user would hold every right, since only such a user can give them back.
void UserAdministration::RequireAnAdministratorRemains() const {
    const QVariant left = m_session->Db->Scalar(
        QStringLiteral(
            "SELECT COUNT(*) FROM users u JOIN user_rights r ON r.user_id = u.id"
            " WHERE u.status = ? AND r.subsystem = ? AND r.module = ? AND (r.granted_mask & ?) = ?"),
        {userstate::Active, rights::Subsystem, rights::Module, qint64(kEveryRight), qint64(kEveryRight)});
    if (left.toInt() == 0)
        throw Error(ui::Tr("至少要保留一位拥有全部权限的管理员：本次修改未保存"));
}

void UserAdministration::ChangeState(const QString& name, const QString& state) {
    RequireAdministrator();
    const store::Store& db = *m_session->Db;
    db.InTransaction([&] {
        if (state != userstate::Active)
            RequireMayLockOut(name);
        const qint16 id = UserId(name);
        db.Exec(QStringLiteral("UPDATE users SET status = ? WHERE id = ?"), {state, id});
        // The rows the user wrote keep its ID and name; its rights go.
        if (state == userstate::Deleted) {
            db.Exec(QStringLiteral("DELETE FROM user_rights WHERE user_id = ?"), {id});
            db.Exec(QStringLiteral("DELETE FROM user_supplier_rights WHERE user_id = ?"), {id});
        }
        RequireAnAdministratorRemains();
        // The sync locks a disabled or deleted user's role out; letting one in again is asked of the
        // server here, which checks the caller once more.
        if (!db.IsSQLite() && state == userstate::Active)
            db.Exec(QStringLiteral("SELECT zpprole.follow_state(?)"), {name});
        store::SyncDatabaseRolesInTransaction(db);
    });
}

void UserAdministration::SetDisabled(const QString& name, bool disabled) {
    ChangeState(name, disabled ? userstate::Disabled : userstate::Active);
}

void UserAdministration::DeleteUser(const QString& name) {
    ChangeState(name, userstate::Deleted);
}

void UserAdministration::SetPassword(const QString& name, const QString& password) {
    RequireAdministrator();
    const store::Store& db = *m_session->Db;
    if (db.IsSQLite())
        throw Error(ui::Tr("SQLite 账套没有密码：由文件的所有者决定谁能使用"));
    UserId(name);
    if (password.isEmpty())
        throw Error(ui::Tr("密码不能为空"));
    store::SetLoginPassword(db, name, password);
}

} // namespace zpp::services
