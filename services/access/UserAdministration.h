#pragma once

#include "component/host/Access.h"
#include "services/store/Session.h"

#include <QStringList>
#include <QVector>
#include <optional>

namespace zpp::services {

// Every right of the purchase plan: an administrator holds them all.
inline constexpr qint32 kEveryRight = rights::Query | rights::Save | rights::Close | rights::Delete |
                                      rights::Push | rights::Export | rights::Print | rights::Price |
                                      rights::Import;

// The command rights by the names the command line and the window use: the component's own
// table, so that its refusals name a right as the users window shows it.
using RightName = rights::Named;
inline const QVector<RightName>& RightNames() {
    return rights::All();
}
// "query,save" or "all" as a mask; fails naming an unknown right.
qint32 ParseRights(const QString& names);
// The mask as names, in RightNames order.
QString RightsText(qint64 mask);

// What one user's row asks of the store: new command rights (when set), suppliers to forbid and
// suppliers to allow again, a new full name (when set).
struct UserChange {
    QString Name;
    std::optional<qint64> Mask;
    QStringList Forbid, Allow;
    std::optional<QString> FullName;
};

// A user's state (users.status): a disabled user cannot log in and keeps its rights for the day it
// is enabled again; a deleted one is no longer listed, holds no rights and cannot come back, while
// the plans, orders and log records it wrote keep naming it.
namespace userstate {
inline const QString Active = QStringLiteral("active");
inline const QString Disabled = QStringLiteral("disabled");
inline const QString Deleted = QStringLiteral("deleted");
} // namespace userstate

struct UserEntry {
    qint16 Id = 0;
    QString Name, FullName;
    qint64 Mask = 0;
    QStringList ForbiddenSuppliers; // codes
    bool Disabled = false;
};

// Users, their command rights and supplier rights, for an administrator: a user holding every
// right of the purchase plan. Each change is one transaction with, on PostgreSQL, the roles and
// privileges that follow from it (SyncDatabaseRoles), so the server and the tables never differ.
class UserAdministration {
public:
    explicit UserAdministration(store::SessionPtr session) : m_session(std::move(session)) {}

    // Fails with the refusal when the session's user is no administrator. Deleted users are left out.
    QVector<UserEntry> Users() const;
    // A new user without rights; on PostgreSQL a login role of that name (password unset).
    void AddUser(const QString& name, const QString& fullName);
    // Every change in one transaction, with the roles' privileges that follow: all or nothing.
    void Apply(const QVector<UserChange>& changes);
    void SetRights(const QString& name, qint64 mask);
    void Grant(const QString& name, qint32 mask);
    void Revoke(const QString& name, qint32 mask);
    void SetSupplierRight(const QString& name, const QString& supplierCode, bool mayUse);
    void SetFullName(const QString& name, const QString& fullName);
    // PostgreSQL: the role's password, hashed by libpq as the server asks (SCRAM), never sent plain.
    void SetPassword(const QString& name, const QString& password);
    // A disabled user cannot log in (on PostgreSQL its role loses LOGIN and its privileges); enabled
    // again, it has the rights it had. Nobody disables themself, and no change (of rights either)
    // leaves the store without an active user holding every right.
    void SetDisabled(const QString& name, bool disabled);
    // The user is marked deleted and loses its rights; on PostgreSQL its role loses LOGIN and is no
    // longer the store's. The same refusals as SetDisabled.
    void DeleteUser(const QString& name);
    // One of the company's settings (CompanySettings.h), as the purchase orders it sends are headed.
    void SetCompany(const QString& key, const QString& value);

private:
    void RequireAdministrator() const;
    // Refuses to lock out the session's own user.
    void RequireMayLockOut(const QString& name) const;
    void RequireAnAdministratorRemains() const;
    void ChangeState(const QString& name, const QString& state);
    void WriteFullName(const QString& name, const QString& fullName) const;
    void WriteRights(const QString& name, qint64 mask) const;
    void WriteSupplierRight(const QString& name, const QString& supplierCode, bool mayUse) const;
    qint16 UserId(const QString& name) const;
    qint64 MaskOf(qint16 id) const;

    store::SessionPtr m_session;
};

} // namespace zpp::services
