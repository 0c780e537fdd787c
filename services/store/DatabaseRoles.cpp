#include "DatabaseRoles.h"

#include "component/host/Access.h"
#include "platform/ui/Prompt.h"

#include <QHash>
#include <QSqlQuery>
#include <libpq-fe.h>

namespace zpp::store {

namespace {
constexpr qsizetype kMaxIdentifierBytes = 63;

// Runs a role statement that fails when the role exists already; another store's program may
// be creating the same role at this moment.
void IgnoringExisting(const Store& db, const QString& statement) {
    db.Exec(QStringLiteral("DO $zpp$ BEGIN ") + statement +
            QStringLiteral("; EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $zpp$"));
}

QString RoleName(const QString& name) {
    if (name.isEmpty() || name.contains(QChar(0)) || name.contains(u'$') ||
        name.toUtf8().size() > kMaxIdentifierBytes)
        throw Error(
            ui::Tr("用户名“%1”不能作为 PostgreSQL 角色名（不能为空、含 $ 或超过 63 字节）").arg(name));
    return QuotedIdentifier(name);
}

// The password as the SCRAM verifier the server keeps: the password itself never reaches the
// server, nor its log.
QString Verifier(const Store& db, const QString& role, const QString& password) {
    char* hashed = PQencryptPasswordConn(db.PgConnection(), password.toUtf8().constData(),
                                         role.toUtf8().constData(), "scram-sha-256");
    if (!hashed)
        throw Error(ui::Tr("无法为用户“%1”生成密码：%2")
                        .arg(role, QString::fromUtf8(PQerrorMessage(db.PgConnection()))));
    const QString verifier = QString::fromLatin1(hashed);
    PQfreemem(hashed);
    return verifier;
}

struct Grant {
    qint32 Right; // 0: every user
    const char* Privilege;
    const char* Tables;
};

// What each command needs of the tables, besides reading the lists every user reads. Writers of
// plan entries also get row_version: a row is locked (SELECT ... FOR UPDATE) only by a role that
// may update a column of it.
constexpr Grant kGrants[] = {
    {0, "SELECT",
     "units, items, aux_props, suppliers, users, user_rights, user_supplier_rights,"
     " system_settings, schema_version"},
    {0, "SELECT, INSERT, UPDATE, DELETE",
     "user_profiles, report_formats, filter_schemes, filter_scheme_values"},
    {0, "INSERT", "operation_log"},
    {rights::Query, "SELECT",
     "purchase_plans, plan_entries, plan_entry_sources, purchase_orders,"
     " purchase_order_lines, purchase_order_line_sources, supplier_prices, bill_counters, entry_changes"},
    {rights::Save,
     "UPDATE (supplier_id, price, push_qty, discount_rate, tax_rate, finish_date, memo, row_version)",
     "plan_entries"},
    {rights::Close, "UPDATE (close_mark, row_version)", "plan_entries"},
    {rights::Delete, "UPDATE (row_version)", "plan_entries"},
    {rights::Delete, "DELETE", "purchase_plans, plan_entries, plan_entry_sources"},
    {rights::Push, "UPDATE (ordered_qty, unordered_qty, push_qty, row_version)", "plan_entries"},
    {rights::Push, "INSERT", "purchase_orders, purchase_order_lines, purchase_order_line_sources"},
    {rights::Push, "UPDATE (bill_no)", "purchase_orders"},
    {rights::Push, "UPDATE (qty, price, finish_date, row_version)", "purchase_order_lines"},
    {rights::Push, "UPDATE (qty)", "purchase_order_line_sources"},
    {rights::Push, "SELECT, INSERT, UPDATE", "bill_counters"},
    // Codes and IDs stay as they are: rows elsewhere, supplier rights among them, name them.
    {rights::Import, "INSERT", "units, items, aux_props, suppliers, supplier_prices"},
    {rights::Import, "UPDATE (name, model, unit_id, qty_decimals, price_decimals)", "items"},
    {rights::Import, "UPDATE (name, tax_rate, credit_line, credit_control)", "suppliers"},
    {rights::Import, "UPDATE (price, unit_id)", "supplier_prices"},
    {rights::Import, "SELECT, INSERT", "purchase_plans, plan_entries"},
    {rights::Import, "SELECT", "supplier_prices"},
};
// The functions of ours a role may call (every signature of the name): the row policies' helpers
// for every user, the price questions for those who push (the order window's save is a push's).
struct Execute {
    qint32 Right; // 0: every user
    const char* Functions;
};
constexpr Execute kExecute[] = {
    {0, "zpp_may_use_supplier, zpp_user_id"},
    {rights::Push, "zpp_entries_above_limit, zpp_credit_exceeded, zpp_price_order_lines"},
};
// Rights that read the plan: a writer must find the rows it changes.
constexpr qint32 kPlanRights = rights::Query | rights::Save | rights::Close | rights::Delete | rights::Push;
} // namespace

QString QuotedIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString QuotedLiteral(const QString& text) {
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

QString OwnerRole(const Store& db) {
    const QString database = db.Scalar(QStringLiteral("SELECT current_database()")).toString();
    QByteArray name = database.toUtf8().left(kMaxIdentifierBytes - 6);
    // A cut in the middle of a character would not be valid UTF-8.
    while (!name.isEmpty() && QString::fromUtf8(name).toUtf8() != name)
        name.chop(1);
    return QString::fromUtf8(name) + QStringLiteral("_owner");
}

namespace {
// A superuser or a role with CREATEROLE: one that may make any user's role the store's.
bool ManagesRoles(const Store& db) {
    return db
        .Scalar(QStringLiteral(
            "SELECT rolsuper OR rolcreaterole FROM pg_catalog.pg_roles WHERE rolname = current_user"))
        .toBool();
}
} // namespace

QString StoreRole(const Store& db, const QString& suffix) {
    return OwnerRole(db).chopped(6) + suffix;
}

void CreateLoginRole(const Store& db, const QString& name, const QString& password) {
    if (db.IsSQLite())
        return;
    const QString role = RoleName(name);
    db.Exec(QStringLiteral("SELECT zpprole.create_login(?, ?)"), {name, Verifier(db, name, password)});
    // A role of that name another store made serves this one too, but only a role that may manage
    // every role (a superuser, CREATEROLE) lets this store's administrators set its password.
    if (ManagesRoles(db))
        db.Exec(QStringLiteral("GRANT ") + QuotedIdentifier(StoreRole(db, QStringLiteral("_users"))) +
                QStringLiteral(" TO ") + role);
}

void SetLoginPassword(const Store& db, const QString& name, const QString& password) {
    if (db.IsSQLite())
        return;
    db.Exec(QStringLiteral("SELECT zpprole.set_password(?, ?)"), {name, Verifier(db, name, password)});
}

void GrantOwnerRole(const Store& db, const QString& role) {
    if (db.IsSQLite())
        return;
    // No CREATEROLE: the store's own functions make users' roles and set their passwords.
    db.Exec(QStringLiteral("GRANT ") + QuotedIdentifier(OwnerRole(db)) + QStringLiteral(" TO ") +
            RoleName(role));
}

void SealDatabase(const Store& db) {
    if (db.IsSQLite())
        return;
    // Functions are callable by everyone when made; the grants of SyncDatabaseRoles say who may.
    db.Exec(QStringLiteral("REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM PUBLIC"));
    // Connecting is for the store's own roles (members of "<store>_users", and administrators
    // through the owner role); nobody gets a temporary schema or makes objects in public, where
    // a function named as one of the catalog's would be run by the next superuser who syncs.
    // Only the database's owner (a superuser or the administrator of the server, who should be
    // no user of the store) can do it; the catalog's functions are named by their schema.
    const QString users = StoreRole(db, QStringLiteral("_users"));
    const bool owns =
        db.Scalar(QStringLiteral("SELECT pg_catalog.pg_has_role(current_user, (SELECT datdba FROM"
                                 " pg_catalog.pg_database WHERE datname = pg_catalog.current_database()),"
                                 " 'MEMBER')"))
            .toBool();
    const QString database =
        QuotedIdentifier(db.Scalar(QStringLiteral("SELECT pg_catalog.current_database()")).toString());
    if (owns) {
        db.Exec(QStringLiteral("REVOKE ALL ON DATABASE ") + database + QStringLiteral(" FROM PUBLIC"));
        db.Exec(QStringLiteral("REVOKE CREATE ON SCHEMA public FROM PUBLIC"));
        for (const QString& role : {OwnerRole(db), users})
            if (db.Scalar(QStringLiteral("SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = ?"), {role})
                    .isValid())
                db.Exec(QStringLiteral("GRANT CONNECT ON DATABASE ") + database + QStringLiteral(" TO ") +
                        QuotedIdentifier(role));
    } else if (db.Scalar(QStringLiteral("SELECT pg_catalog.has_database_privilege('public',"
                                        " pg_catalog.current_database(), 'TEMPORARY')"))
                   .toBool()) {
        throw Error(ui::Tr("数据库 %1 仍允许任何角色连接和建临时表：请由服务器的超级用户（或数据库的所有者）"
                           "以 --sync-roles 打开一次本账套")
                        .arg(database));
    }
}

void SyncDatabaseRoles(const Store& db) {
    if (!db.IsSQLite())
        db.InTransaction([&] { SyncDatabaseRolesInTransaction(db); });
}

void SyncDatabaseRolesInTransaction(const Store& db) {
    if (db.IsSQLite())
        return;
    const QString owner = OwnerRole(db);
    const QString quotedOwner = QuotedIdentifier(owner);
    // Made only when missing: an administrator, a member already, may create no role.
    IgnoringExisting(db, QStringLiteral("IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = ") +
                             QuotedLiteral(owner) + QStringLiteral(") THEN CREATE ROLE ") + quotedOwner +
                             QStringLiteral(" NOLOGIN; END IF"));
    // The connected role hands the tables over, so it must be able to act as the owner.
    db.Exec(QStringLiteral("DO $zpp$ BEGIN IF NOT pg_has_role(current_user, ") + QuotedLiteral(owner) +
            QStringLiteral(", 'MEMBER') THEN EXECUTE 'GRANT ' || quote_ident(") + QuotedLiteral(owner) +
            QStringLiteral(") || ' TO ' || quote_ident(current_user); END IF; END $zpp$"));
    SealDatabase(db);
    QStringList changes;
    QSqlQuery tables =
        db.Exec(QStringLiteral("SELECT quote_ident(tablename) FROM pg_tables WHERE schemaname = 'public'"
                               " AND tableowner <> ?"),
                {owner});
    while (tables.next())
        changes << QStringLiteral("ALTER TABLE ") + tables.value(0).toString() +
                       QStringLiteral(" OWNER TO ") + quotedOwner;
    QSqlQuery functions =
        db.Exec(QStringLiteral("SELECT p.oid::regprocedure::text FROM pg_proc p JOIN pg_namespace n"
                               " ON n.oid = p.pronamespace WHERE n.nspname = 'public'"
                               " AND p.proname LIKE 'zpp\\_%' AND pg_get_userbyid(p.proowner) <> ?"),
                {owner});
    while (functions.next())
        changes << QStringLiteral("ALTER FUNCTION ") + functions.value(0).toString() +
                       QStringLiteral(" OWNER TO ") + quotedOwner;
    for (const QString& change : changes)
        db.Exec(change);

    QSqlQuery users = db.Exec(
        QStringLiteral("SELECT u.name, COALESCE(r.granted_mask, 0), u.status = 'active' FROM users u"
                       " LEFT JOIN user_rights r ON r.user_id = u.id AND r.subsystem = ? AND r.module = ?"
                       " ORDER BY u.id"),
        {rights::Subsystem, rights::Module});
    struct Role {
        QString Name;
        qint64 Mask;
        bool Active;
    };
    QVector<Role> roles;
    while (users.next())
        roles.push_back({users.value(0).toString(), users.value(1).toLongLong(), users.value(2).toBool()});
    // A role that is no longer a user of the store (removed from users) keeps nothing here.
    QSqlQuery former = db.Exec(
        QStringLiteral("SELECT DISTINCT quote_ident(grantee) FROM information_schema.role_table_grants"
                       " WHERE table_schema = 'public' AND grantee <> 'PUBLIC' AND grantee <> ?"
                       " AND NOT EXISTS (SELECT 1 FROM users u WHERE u.name = grantee)"
                       " AND NOT pg_has_role(grantee, ?, 'MEMBER')"),
        {owner, owner});
    QStringList formerRoles;
    while (former.next())
        formerRoles << former.value(0).toString();
    for (const QString& role : formerRoles) {
        db.Exec(QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM ") + role);
        db.Exec(QStringLiteral("REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM ") + role);
    }
    // A role that is no longer a user of the store is not let in either.
    QSqlQuery marked =
        db.Exec(QStringLiteral("SELECT m.rolname FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid"
                               " JOIN pg_roles m ON m.oid = a.member WHERE g.rolname = ?"
                               " AND NOT EXISTS (SELECT 1 FROM users u WHERE u.name = m.rolname)"),
                {StoreRole(db, QStringLiteral("_users"))});
    QStringList gone;
    while (marked.next())
        gone << marked.value(0).toString();
    for (const QString& role : gone)
        db.Exec(QStringLiteral("SELECT zpprole.forget_login(?)"), {role});
    // A role without the price right gets every column but the prices.
    QHash<QString, QString> unpriced;
    for (const char* table : {"plan_entries", "purchase_order_lines", "supplier_prices"}) {
        QSqlQuery columns =
            db.Exec(QStringLiteral("SELECT string_agg(quote_ident(column_name), ', ')"
                                   " FROM information_schema.columns WHERE table_schema = 'public'"
                                   " AND table_name = ? AND column_name <> 'price'"),
                    {QLatin1String(table)});
        columns.next();
        unpriced.insert(QLatin1String(table), columns.value(0).toString());
    }
    // A role that existed already (made for another store) is let in when a role that may manage
    // every role syncs: the server's superuser adopting it for the store.
    const bool adopting = ManagesRoles(db);
    for (const auto& [name, mask, active] : roles) {
        const QString role = RoleName(name);
        // A disabled or deleted user's role keeps nothing here and is locked out.
        if (!active) {
            if (db.Scalar(QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = ?"), {name}).isValid()) {
                db.Exec(QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM ") + role);
                db.Exec(QStringLiteral("REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM ") + role);
                db.Exec(QStringLiteral("REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM ") + role);
            }
            db.Exec(QStringLiteral("SELECT zpprole.follow_state(?)"), {name});
            continue;
        }
        db.Exec(QStringLiteral("SELECT zpprole.create_login(?, NULL)"), {name});
        if (adopting)
            db.Exec(QStringLiteral("GRANT ") + QuotedIdentifier(StoreRole(db, QStringLiteral("_users"))) +
                    QStringLiteral(" TO ") + role);
        // Column privileges go with the table's.
        db.Exec(QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM ") + role);
        db.Exec(QStringLiteral("REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM ") + role);
        db.Exec(QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO ") + role);
        db.Exec(QStringLiteral("REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM ") + role);
        for (const Execute& e : kExecute) {
            const qint32 needed = e.Right == rights::Query ? kPlanRights : e.Right;
            if (needed != 0 && (mask & needed) == 0)
                continue;
            QSqlQuery signatures =
                db.Exec(QStringLiteral("SELECT p.oid::regprocedure::text FROM pg_proc p JOIN pg_namespace n"
                                       " ON n.oid = p.pronamespace WHERE n.nspname = 'public'"
                                       " AND p.proname = ANY (string_to_array(?, ', '))"),
                        {QLatin1String(e.Functions)});
            QStringList functions;
            while (signatures.next())
                functions << signatures.value(0).toString();
            for (const QString& f : functions)
                db.Exec(QStringLiteral("GRANT EXECUTE ON FUNCTION %1 TO ").arg(f) + role);
        }
        const bool prices = (mask & rights::Price) != 0;
        for (const Grant& g : kGrants) {
            const qint32 needed = g.Right == rights::Query ? kPlanRights : g.Right;
            if (needed != 0 && (mask & needed) == 0)
                continue;
            for (const QString& table : QString::fromLatin1(g.Tables).split(QStringLiteral(", "))) {
                QString privilege = QString::fromLatin1(g.Privilege);
                if (!prices && unpriced.contains(table)) {
                    if (privilege.contains(u'(')) {
                        privilege.remove(QStringLiteral("price, "));
                    } else {
                        // DELETE has no columns; the others are granted on all but the price.
                        QStringList words = privilege.split(QStringLiteral(", "));
                        for (QString& w : words)
                            if (w != u"DELETE")
                                w += QStringLiteral(" (") + unpriced[table] + u')';
                        privilege = words.join(QStringLiteral(", "));
                    }
                }
                db.Exec(QStringLiteral("GRANT %1 ON %2 TO ").arg(privilege, table) + role);
            }
        }
    }
}

} // namespace zpp::store
