#include "Hostile.h"

#include "component/host/Access.h"
#include "services/demo/DemoData.h"
#include "services/store/DatabaseRoles.h"
#include "support/TestStores.h"

#include <QSqlQuery>
#include <QUrl>
#include <libpq-fe.h>

namespace zpp::test {

QString HostileClient::url;
store::StorePtr HostileClient::db;

namespace {
const char* const kFingerprint = R"sql(
WITH roles (name) AS (SELECT rolname FROM pg_roles WHERE rolsuper OR rolname IN ('admin', 'buyer', 'guest',
  'importer', 'outsider') OR starts_with(rolname, current_database() || '_') OR rolname LIKE 'pg\_%')
SELECT md5(string_agg(part, E'\n' ORDER BY part)) FROM (
  SELECT 'fn ' || p.oid::regprocedure::text || ' ' || md5(p.prosrc) || ' ' || p.prosecdef::text || ' '
         || COALESCE(array_to_string(p.proconfig, ','), '') || ' ' || pg_get_userbyid(p.proowner) || ' '
         || COALESCE(p.proacl::text, '') AS part
    FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg\_%temp\_%'
  UNION ALL SELECT 'policy ' || tablename || ' ' || policyname || ' ' || COALESCE(qual, '') || ' ' || COALESCE(with_check, '')
    FROM pg_policies
  UNION ALL SELECT 'rel ' || c.relname || ' ' || c.relrowsecurity::text || ' ' || pg_get_userbyid(c.relowner) || ' '
         || COALESCE(c.relacl::text, '')
    FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'public'
  UNION ALL SELECT 'col ' || attrelid::regclass::text || ' ' || attname || ' ' || attacl::text
    FROM pg_attribute WHERE attacl IS NOT NULL AND attrelid IN (SELECT c.oid FROM pg_class c JOIN pg_namespace n
         ON n.oid = c.relnamespace WHERE n.nspname = 'public')
  UNION ALL SELECT 'trigger ' || tgname || ' ' || tgenabled::text FROM pg_trigger WHERE NOT tgisinternal
  UNION ALL SELECT 'role ' || rolname || ' ' || rolsuper::text || rolcreaterole::text || rolcreatedb::text
         || rolbypassrls::text || rolreplication::text || rolcanlogin::text || ' ' || COALESCE(md5(rolpassword), '')
    FROM pg_authid WHERE rolname IN (SELECT name FROM roles)
  UNION ALL SELECT 'member ' || roleid::regrole::text || ' ' || member::regrole::text FROM pg_auth_members
    WHERE roleid::regrole::text IN (SELECT name FROM roles) OR member::regrole::text IN (SELECT name FROM roles)
  UNION ALL SELECT 'db ' || datname || ' ' || COALESCE(datacl::text, '') || ' ' || pg_get_userbyid(datdba)
    FROM pg_database WHERE datname = current_database()
  UNION ALL SELECT 'schema ' || nspname || ' ' || COALESCE(nspacl::text, '') FROM pg_namespace WHERE nspname = 'public'
) parts
)sql";

// Creates a login role with its name as password, or sets the password of one that exists (roles
// belong to the server: another store's test may have made it).
void LoginRole(const store::Store& db, const QString& name) {
    db.Exec(QStringLiteral("DO $x$ BEGIN CREATE ROLE %1 LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; "
                           "END $x$")
                .arg(name));
    db.Exec(QStringLiteral("ALTER ROLE %1 PASSWORD '%1'").arg(name));
}
} // namespace

ClientResult RunAs(const QString& url, const QString& role, const std::string& sql,
                   const std::string& probe) {
    QUrl u(url);
    u.setUserName(role);
    u.setPassword(role);
    ClientResult out;
    PGconn* c = PQconnectdb(u.toString().toUtf8().constData());
    if (PQstatus(c) != CONNECTION_OK) {
        out.State = "connection";
        out.Message = PQerrorMessage(c);
        PQfinish(c);
        return out;
    }
    auto run = [&](const std::string& text) {
        PGresult* r = PQexec(c, text.c_str());
        // A COPY ... TO STDOUT that was let through is read to its end.
        if (PQresultStatus(r) == PGRES_COPY_OUT) {
            char* line = nullptr;
            while (PQgetCopyData(c, &line, 0) > 0)
                PQfreemem(line);
            PQclear(r);
            r = PQgetResult(c);
        }
        const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
        out.State = state ? state : "";
        out.Message = PQresultErrorMessage(r);
        out.Value = PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
        PQclear(r);
        while ((r = PQgetResult(c)))
            PQclear(r);
    };
    run(sql);
    if (out.State.empty() && !probe.empty())
        run(probe);
    // An open transaction is rolled back here.
    PQfinish(c);
    return out;
}

void HostileClient::SetUpTestSuite() {
    url = NewPostgresUrl();
    if (url.isEmpty())
        return;
    db = store::GenerateStore(url, 300);
    db->Exec(
        "INSERT INTO user_profiles (user_id, section, key, value) VALUES (1, 'Secret', 'Key', 'admin only')");
    if (qgetenv("ZPP_SECURITY_STORE") == "upgraded") {
        // Made before the database held any rule of its own, then opened by the server's
        // superuser, which upgrades it.
        BackToSchema6(*db);
        db.reset();
        db = store::Store::Open(url);
    }
    LoginRole(*db, QStringLiteral("importer"));
    LoginRole(*db, QStringLiteral("outsider"));
    db->Exec("INSERT INTO users (id, name, full_name) VALUES (50, 'importer', 'importer')");
    db->Exec("INSERT INTO user_rights (user_id, subsystem, module, granted_mask) VALUES (50, ?, ?, ?)",
             {rights::Subsystem, rights::Module, rights::Query | rights::Import});
    store::SyncDatabaseRoles(*db);
}

void HostileClient::TearDownTestSuite() {
    db.reset();
}

void HostileClient::SetUp() {
    ZPP_REQUIRE_STORE(url);
}

QString HostileClient::Superuser(const QString& sql) const {
    return db->Scalar(sql).toString();
}

QString HostileClient::Fingerprint() const {
    QStringList parts{Superuser(QString::fromLatin1(kFingerprint))};
    QStringList tables;
    QSqlQuery q = db->Exec(QStringLiteral(
        "SELECT quote_ident(tablename) FROM pg_tables WHERE schemaname = 'public' ORDER BY 1"));
    while (q.next())
        tables << q.value(0).toString();
    for (const QString& table : tables)
        parts << table + u' ' +
                     Superuser(QStringLiteral("SELECT md5(COALESCE(string_agg(md5(t::text), '' ORDER BY"
                                              " md5(t::text)), '')) FROM %1 t")
                                   .arg(table));
    return parts.join(u'\n');
}

void HostileClient::Try(const Attempt& a) const {
    SCOPED_TRACE(std::string(a.Who) + ": " + a.What);
    const QString role = QString::fromLatin1(a.Who);
    const QString database = Superuser(QStringLiteral("SELECT quote_ident(current_database())"));
    if (a.Temp)
        db->Exec(QStringLiteral("GRANT TEMP ON DATABASE %1 TO %2").arg(database, role));
    const QString before = Fingerprint();
    const ClientResult r = RunAs(url, role, a.Sql, a.Probe);
    const QString after = Fingerprint();
    if (a.Temp)
        db->Exec(QStringLiteral("REVOKE TEMP ON DATABASE %1 FROM %2").arg(database, role));
    EXPECT_EQ(r.State, a.Expect) << r.Message;
    if (!a.Probe.empty() && r.State.empty())
        EXPECT_EQ(r.Value, a.Answer);
    if (!a.Changes)
        EXPECT_EQ(after, before) << "the store changed";
}

} // namespace zpp::test
