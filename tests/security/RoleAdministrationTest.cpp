#include "Hostile.h"

#include "component/host/Access.h"
#include "services/access/UserAdministration.h"
#include "services/demo/DemoData.h"
#include "services/store/DatabaseRoles.h"
#include "services/store/Migrations.h"
#include "support/TestStores.h"

#include <QUrl>
#include <libpq-fe.h>
#include <map>

using namespace zpp;
using namespace zpp::test;

namespace {
// A SCRAM verifier of the password, as libpq makes it.
std::string Scram(const store::Store& db, const char* role, const char* password) {
    char* hashed = PQencryptPasswordConn(db.PgConnection(), password, role, "scram-sha-256");
    const std::string verifier = hashed ? hashed : "";
    PQfreemem(hashed);
    return verifier;
}

// sql with each {key} put in.
std::string Fill(std::string sql, const std::map<std::string, std::string>& names) {
    for (const auto& [key, value] : names)
        for (std::size_t at; (at = sql.find('{' + key + '}')) != std::string::npos;)
            sql.replace(at, key.size() + 2, value);
    return sql;
}

QString As(const QString& url, const QString& role, const QString& password) {
    QUrl u(url);
    u.setUserName(role);
    u.setPassword(password);
    return u.toString();
}

void DropRole(const store::Store& db, const QString& role) {
    if (!db.Scalar("SELECT 1 FROM pg_roles WHERE rolname = ?", {role}).isValid())
        return;
    db.Exec("DROP OWNED BY " + store::QuotedIdentifier(role));
    db.Exec("DROP ROLE " + store::QuotedIdentifier(role));
}

const char* const kEvil = "LANGUAGE plpgsql AS $$ BEGIN EXECUTE 'GRANT pg_execute_server_program TO admin';"
                          " RETURN true; END $$;";
} // namespace

// Without CREATEROLE an administrator makes no role and grants no server right itself; through
// the store's functions it makes its users' roles and sets the passwords of roles the store
// made, and nothing more, however it bends the tables those functions read.
TEST_F(HostileClient, AnAdministratorManagesTheStoresOwnRolesOnly) {
    const QString owner = store::OwnerRole(*db);
    const QString base = owner.chopped(6);
    // Roles of the store that could do more than a user: one with CREATEROLE (smith), a member
    // of it (crony), one that reads the server's files (reader), another administrator without
    // every right (deputy).
    const QStringList extras{base + "_smith", base + "_crony", base + "_reader", base + "_deputy"};
    struct Cleanup {
        const store::Store& Db;
        QStringList Roles;
        ~Cleanup() {
            Db.Exec("DELETE FROM users WHERE id BETWEEN 70 AND 73");
            store::SyncDatabaseRoles(Db);
            for (const QString& role : Roles)
                DropRole(Db, role);
        }
    } cleanup{*db, extras};
    for (const QString& sql :
         QStringList{"CREATE ROLE " + extras[0] + " LOGIN CREATEROLE",
                     "CREATE ROLE " + extras[1] + " LOGIN IN ROLE " + extras[0],
                     "CREATE ROLE " + extras[2] + " LOGIN IN ROLE pg_read_server_files",
                     "CREATE ROLE " + extras[3] + " LOGIN PASSWORD '" + extras[3] + "' IN ROLE " + owner})
        db->Exec(sql);
    for (int i = 0; i < extras.size(); ++i) {
        db->Exec("INSERT INTO users (id, name) VALUES (?, ?)", {70 + i, extras[i]});
        db->Exec("GRANT " + base + "_users TO " + extras[i]);
    }
    store::SyncDatabaseRoles(*db);

    const std::map<std::string, std::string> names{{"owner", owner.toStdString()},
                                                   {"roles", QString(base + "_roles").toStdString()},
                                                   {"users", QString(base + "_users").toStdString()},
                                                   {"smith", extras[0].toStdString()},
                                                   {"crony", extras[1].toStdString()},
                                                   {"reader", extras[2].toStdString()},
                                                   {"deputy", extras[3].toStdString()},
                                                   {"super", Superuser("SELECT current_user").toStdString()},
                                                   {"long", std::string(64, 'x')},
                                                   {"scram", Scram(*db, "buyer", "buyer")},
                                                   {"admin_scram", Scram(*db, "admin", "admin")}};
    const std::string set = "SELECT zpprole.set_password('{0}', '{scram}')";
    const std::string added = "BEGIN; INSERT INTO users (id, name) VALUES (90, '{0}'); ";
    // A user's state written, and its role made to follow it.
    auto state = [&](const std::string& name, const char* status) {
        return Fill("BEGIN; UPDATE users SET status = '" + std::string(status) +
                        "' WHERE name = '{0}'; SELECT zpprole.follow_state('{0}')",
                    {{"0", Fill(name, names)}});
    };
    // Who a role or its name is, for the rows that take one.
    auto on = [&](const std::string& sql, const std::string& name) {
        return Fill(Fill(sql, {{"0", name}}), names);
    };
    const std::string outsiderIn =
        on(added, "outsider") + "UPDATE users SET status = 'disabled' WHERE id = 90; ";
    const Attempt attempts[] = {
        // The attack CREATEROLE allowed, and its kin.
        {"admin", "the right to run programs on the server", "GRANT pg_execute_server_program TO admin",
         "42501"},
        {"admin", "the right to read the server's files", "GRANT pg_read_server_files TO admin", "42501"},
        {"admin", "a role of its own", "CREATE ROLE intruder LOGIN PASSWORD 'intruder'", "42501"},
        {"admin", "another role's password", "ALTER ROLE outsider PASSWORD 'taken'", "42501"},
        {"admin", "a user made superuser", "ALTER ROLE buyer SUPERUSER", "42501"},
        {"admin", "CREATEROLE back", "ALTER ROLE admin CREATEROLE", "42501"},
        {"admin", "a role of the server made an administrator", on("GRANT {owner} TO outsider", ""), "42501"},
        {"admin", "acting as the roles role", on("SET ROLE {roles}", ""), "42501"},
        {"admin", "the function dropped, to make one of its own in its place",
         "DROP FUNCTION zpprole.set_password(text, text)", "42501"},
        {"admin", "a function of its own beside them",
         "CREATE FUNCTION zpprole.evil() RETURNS boolean " + std::string(kEvil), "42501"},
        // Tables bent so that reading them would run admin's code as the roles role.
        {"admin",
         "a policy on users that calls its own function",
         "CREATE FUNCTION pg_temp.evil() RETURNS boolean " + std::string(kEvil) +
             " ALTER TABLE users ENABLE ROW LEVEL SECURITY; ALTER TABLE users FORCE ROW LEVEL SECURITY;"
             " CREATE POLICY evil ON users USING (pg_temp.evil()); " +
             on(set, "buyer"),
         "42501",
         {},
         "",
         true},
        {"admin", "users made a view that calls its own function",
         "CREATE FUNCTION public.evil() RETURNS boolean " + std::string(kEvil) +
             " ALTER TABLE users RENAME TO users_kept; CREATE VIEW public.users AS SELECT * FROM users_kept"
             " WHERE public.evil(); " +
             on(set, "buyer"),
         "42501"},
        {"admin", "a name column of its own type, with its own cast to text",
         "CREATE TYPE public.nm AS (v text); CREATE FUNCTION public.nm_text(public.nm) RETURNS text"
         " LANGUAGE plpgsql AS $$ BEGIN EXECUTE 'GRANT pg_execute_server_program TO admin'; RETURN ($1).v;"
         " END $$; CREATE CAST (public.nm AS text) WITH FUNCTION public.nm_text(public.nm) AS IMPLICIT;"
         " ALTER TABLE users ALTER COLUMN name TYPE public.nm USING ROW(name)::public.nm; " +
             on(set, "buyer"),
         "42501"},
        // Roles that are not the store's users, or could do more than a user.
        {"admin", "a role of the server that is no user", on(set, "outsider"), "42501"},
        {"admin", "the same role written into users first", on(added + set, "outsider"), "42501"},
        {"admin", "a role of the server written into users is not made the store's", on(added, "outsider"),
         "", on("SELECT zpprole.create_login('outsider', '{scram}')", ""), "f"},
        {"admin", "the superuser written into users", on(added + set, "{super}"), "42501"},
        {"admin", "the roles role written into users", on(added + set, "{roles}"), "42501"},
        {"admin", "the owner role written into users", on(added + set, "{owner}"), "42501"},
        {"admin", "a user with CREATEROLE", on(set, "{smith}"), "42501"},
        {"admin", "a member of a role with CREATEROLE", on(set, "{crony}"), "42501"},
        {"admin", "a user who reads the server's files", on(set, "{reader}"), "42501"},
        {"admin", "another administrator", on(set, "{deputy}"), "42501"},
        // Names and passwords.
        {"admin", "a name that ends the statement",
         on(added + "SELECT zpprole.create_login('{0}', NULL)", "x''; ALTER ROLE admin SUPERUSER; --"), "",
         "SELECT count(*) || string_agg(rolsuper::text, '') FROM pg_roles WHERE rolname IN"
         " ('x''; ALTER ROLE admin SUPERUSER; --', 'admin')",
         "2falsefalse"},
        {"admin", "a name with quotes and dollars",
         on(added + "SELECT zpprole.create_login('{0}', NULL)", "a\"b$c$$"), "",
         "SELECT count(*) FROM pg_roles WHERE rolname = 'a\"b$c$$'", "1"},
        {"admin", "a name the server would cut to another's",
         on(added + "SELECT zpprole.create_login('{0}', NULL)", "{long}"), "22023"},
        {"admin", "an empty name", "SELECT zpprole.create_login('', NULL)", "22023"},
        {"admin", "a plain password", "SELECT zpprole.set_password('buyer', 'buyer2')", "22023"},
        {"admin", "an MD5 hash", "SELECT zpprole.set_password('buyer', 'md5' || md5('buyer2buyer'))",
         "22023"},
        {"admin", "a verifier with more after it",
         on("SELECT zpprole.set_password('buyer', '{scram} x')", ""), "22023"},
        {"admin", "no password", "SELECT zpprole.set_password('buyer', NULL)", "22023"},
        {"admin", "a new user's role with a plain password",
         on(added + "SELECT zpprole.create_login('{0}', 'secret')", "fresh"), "22023"},
        // Callers who are no administrators.
        {"buyer", "its own password through the function", on(set, "buyer"), "42501"},
        {"buyer", "a role for another user", "SELECT zpprole.create_login('guest', NULL)", "42501"},
        {"{deputy}", "an administrator's membership without every right", on(set, "buyer"), "42501"},
        // Users' states: the server locks out the store's own roles only, and nobody themself.
        {"admin", "itself locked out", state("admin", "disabled"), "42501"},
        {"admin", "itself deleted", state("admin", "deleted"), "42501"},
        {"buyer", "another user locked out", "SELECT zpprole.follow_state('guest')", "42501"},
        {"buyer", "another user's state written", "UPDATE users SET status = 'disabled' WHERE name = 'guest'",
         "42501"},
        {"{deputy}", "a user locked out by an administrator without every right", state("buyer", "disabled"),
         "42501"},
        {"admin", "a role of the server written into users and locked out: left alone",
         outsiderIn + "SELECT zpprole.follow_state('outsider')", "",
         "SELECT rolcanlogin FROM pg_roles WHERE rolname = 'outsider'", "t"},
        {"admin", "a role of the server written into users and let in",
         on(added + "SELECT zpprole.follow_state('{0}')", "outsider"), "42501"},
        {"admin", "a user with CREATEROLE locked out", state("{smith}", "disabled"), "42501"},
        {"admin", "a member of a role with CREATEROLE locked out", state("{crony}", "disabled"), "42501"},
        {"admin", "a user who reads the server's files locked out", state("{reader}", "deleted"), "42501"},
        {"admin",
         "a status column of its own type, with its own cast to text",
         "CREATE TYPE pg_temp.st AS (v text); CREATE FUNCTION pg_temp.st_text(pg_temp.st) RETURNS text"
         " LANGUAGE plpgsql AS $$ BEGIN EXECUTE 'GRANT pg_execute_server_program TO admin'; RETURN ($1).v;"
         " END $$; CREATE CAST (pg_temp.st AS text) WITH FUNCTION pg_temp.st_text(pg_temp.st) AS IMPLICIT;"
         " ALTER TABLE users DROP CONSTRAINT users_status_check, ALTER COLUMN status DROP DEFAULT;"
         " ALTER TABLE users ALTER COLUMN status TYPE pg_temp.st USING ROW(status)::pg_temp.st;"
         " SELECT zpprole.follow_state('buyer')",
         "42501",
         {},
         "",
         true},
        // What an administrator may do.
        {"admin", "a new user's login role, marked as the store's",
         on(added + "SELECT zpprole.create_login('{0}', '{scram}')", "fresh"), "",
         on("SELECT count(*) FROM pg_auth_members m JOIN pg_roles r ON r.oid = m.member"
            " WHERE r.rolname = 'fresh' AND r.rolcanlogin AND m.roleid = '{users}'::regrole",
            ""),
         "1"},
        {"admin",
         "its own password",
         on("SELECT zpprole.set_password('admin', '{admin_scram}')", ""),
         "",
         {},
         "",
         false,
         true},
        {"admin", "buyer's password", on(set, "buyer"), "", {}, "", false, true},
        {"admin", "buyer locked out (and rolled back)", state("buyer", "disabled"), "",
         "SELECT rolcanlogin FROM pg_roles WHERE rolname = 'buyer'", "f"},
        {"admin", "another administrator deleted: let out, and an administrator no more",
         state("{deputy}", "deleted"), "",
         on("SELECT pg_has_role('{deputy}', '{owner}', 'MEMBER') OR pg_has_role('{deputy}', '{users}', "
            "'MEMBER')"
            " OR rolcanlogin FROM pg_roles WHERE rolname = '{deputy}'",
            ""),
         "f"},
    };
    for (Attempt a : attempts) {
        const std::string who = Fill(a.Who, names);
        a.Who = who.c_str();
        Try(a);
    }
    EXPECT_EQ(Superuser("SELECT rolpassword FROM pg_authid WHERE rolname = 'buyer'").toStdString(),
              names.at("scram"));
    EXPECT_EQ(RunAs(url, "buyer", "SELECT 1").State, "");
}

// The program's own user administration, as an administrator without CREATEROLE: a new user's
// role is made, its password set, and the user logs in with it.
TEST_F(HostileClient, TheProgramsAdministratorAddsAUserWhoLogsIn) {
    const QString clerk = store::OwnerRole(*db).chopped(6) + "_clerk";
    auto session = std::make_shared<store::Session>(
        store::LogInAsConnected(store::Store::Open(As(url, "admin", "admin")), "admin"));
    services::UserAdministration admin(session);
    admin.AddUser(clerk, "clerk");
    admin.Grant(clerk, rights::Query);
    admin.SetPassword(clerk, clerk);
    EXPECT_EQ(RunAs(url, clerk, "SELECT count(*) FROM plan_entries").State, "");
    EXPECT_EQ(
        Superuser("SELECT rolcreaterole::text || (SELECT count(*) FROM pg_auth_members m JOIN pg_roles r"
                  " ON r.oid = m.member WHERE r.rolname = 'admin' AND m.roleid = 'pg_execute_server_program'"
                  "::regrole) FROM pg_roles WHERE rolname = 'admin'"),
        "false0");
    // A role of the server that is no user of the store stays out of reach, also when added.
    const QString outsiders = "SELECT rolpassword FROM pg_authid WHERE rolname = 'outsider'";
    const QString password = Superuser(outsiders);
    admin.AddUser("outsider", {});
    EXPECT_THROW(admin.SetPassword("outsider", "taken"), Error);
    EXPECT_EQ(Superuser(outsiders), password);
    EXPECT_EQ(RunAs(url, "outsider", "SELECT 1").State, "connection") << "not let in by its name alone";
    db->Exec("DELETE FROM users WHERE name IN (?, 'outsider')", {clerk});
    store::SyncDatabaseRoles(*db);
    DropRole(*db, clerk);
}

// An older store's administrator who owns the database and still holds CREATEROLE upgrades it: the
// roles role and the functions are made, and CREATEROLE is gone after. An administrator without
// either cannot, and the store stays as it was.
TEST(RoleAdministration, AnOlderStoresAdministratorUpgradesItOnceAndKeepsNoCreateRole) {
    const QString url = NewPostgresUrl();
    ZPP_REQUIRE_STORE(url);
    store::StorePtr db = store::GenerateStore(url, 30);
    const QString owner = store::OwnerRole(*db);
    const QString base = owner.chopped(6);
    const QString chief = base + "_chief";
    db->Exec(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%1' IN ROLE %2").arg(chief, owner));
    db->Exec("INSERT INTO users (id, name) VALUES (60, ?)", {chief});
    db->Exec(
        "INSERT INTO user_rights (user_id, subsystem, module, granted_mask) VALUES (60, ?, ?, 2147483647)",
        {rights::Subsystem, rights::Module});
    store::SyncDatabaseRoles(*db);
    // Back to the schema before: no functions, no roles role, no marks.
    for (const QString& sql : {QStringLiteral("DROP SCHEMA zpprole CASCADE"),
                               QStringLiteral("REVOKE ALL ON users, user_rights FROM %1_roles").arg(base),
                               QStringLiteral("DROP ROLE %1_roles").arg(base),
                               QStringLiteral("REVOKE ALL ON DATABASE %1 FROM %1_users").arg(base),
                               QStringLiteral("DROP ROLE %1_users").arg(base),
                               QStringLiteral("ALTER TABLE users DROP COLUMN status"),
                               QStringLiteral("DELETE FROM schema_version WHERE version >= 15")})
        db->Exec(sql);
    const int before = db->SchemaVersion();
    const struct {
        const char* Attribute;
        bool OwnsDatabase, Upgrades;
    } cases[] = {{"NOCREATEROLE", true, false}, {"CREATEROLE", false, false}, {"CREATEROLE", true, true}};
    const QString server = db->Scalar("SELECT current_user").toString();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Attribute) + (c.OwnsDatabase ? ", owns the database" : ""));
        // db, opened before, runs as the superuser without upgrading the store.
        const store::Store& super = *db;
        super.Exec(QStringLiteral("ALTER ROLE %1 %2").arg(chief, c.Attribute));
        super.Exec(
            QStringLiteral("ALTER DATABASE %1 OWNER TO %2").arg(base, c.OwnsDatabase ? chief : server));
        if (!c.Upgrades) {
            EXPECT_THROW(store::Store::Open(As(url, chief, chief)), Error);
            EXPECT_EQ(super.SchemaVersion(), before);
            continue;
        }
        EXPECT_EQ(store::Store::Open(As(url, chief, chief))->SchemaVersion(), store::LatestSchemaVersion());
        EXPECT_EQ(Rows(super, QStringLiteral(
                                  "SELECT (SELECT rolcreaterole FROM pg_roles WHERE rolname = '%1'),"
                                  " (SELECT rolcreaterole FROM pg_roles WHERE rolname = '%2_roles'),"
                                  " (SELECT string_agg(DISTINCT pg_get_userbyid(proowner), ',') FROM pg_proc"
                                  "  WHERE pronamespace = 'zpprole'::regnamespace),"
                                  " pg_has_role('buyer', '%2_users', 'MEMBER')")
                                  .arg(chief, base)),
                  QStringLiteral("false|true|%1_roles|true").arg(base));
        // The upgraded store's administrator sets a user's password, and makes no role itself.
        EXPECT_EQ(RunAs(url, chief,
                        Fill("SELECT zpprole.set_password('buyer', '{scram}')",
                             {{"scram", Scram(super, "buyer", "buyer")}}))
                      .State,
                  "");
        EXPECT_EQ(RunAs(url, chief, "CREATE ROLE intruder").State, "42501");
        EXPECT_EQ(RunAs(url, "buyer", "SELECT 1").State, "");
    }
}
