#include "TestStores.h"
#include "services/store/DatabaseRoles.h"
#include "services/store/PgAdmin.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QUrl>

namespace zpp::test {

QString NewSQLitePath() {
    static QTemporaryDir dir;
    static int counter = 0;
    return dir.filePath(QStringLiteral("store%1.db").arg(++counter));
}

QString NewPostgresUrl() {
    const QString admin = QString::fromLocal8Bit(qgetenv("ZPP_TEST_PG_URL"));
    if (admin.isEmpty())
        return {};
    static int counter = 0;
    const QString name = QStringLiteral("zpp_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    // A test process of an earlier run with the same process ID may have left its database.
    store::PostgresDatabase(admin, name, true);
    return store::PostgresDatabase(admin, name);
}

void BackToSchema6(const store::Store& db) {
    for (const char* sql :
         {"DO $$ DECLARE p record; BEGIN FOR p IN SELECT policyname, tablename FROM pg_policies"
          " WHERE schemaname = 'public' LOOP EXECUTE format('DROP POLICY %I ON %I',"
          " p.policyname, p.tablename); END LOOP; END $$",
          "DO $$ DECLARE f record; BEGIN FOR f IN SELECT p.oid::regprocedure AS sig FROM pg_proc p"
          " JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = 'public'"
          " AND p.proname LIKE 'zpp%' LOOP EXECUTE 'DROP FUNCTION ' || f.sig || ' CASCADE'; END LOOP; END $$",
          "ALTER TABLE plan_entries DISABLE ROW LEVEL SECURITY",
          "ALTER TABLE user_supplier_rights DROP CONSTRAINT IF EXISTS user_supplier_rights_supplier",
          "DO $$ DECLARE base text := left(current_database(), 57); BEGIN"
          " EXECUTE format('DROP OWNED BY %I, %I', base || '_roles', base || '_users');"
          " EXECUTE format('DROP ROLE %I, %I', base || '_roles', base || '_users');"
          " EXECUTE format('ALTER DATABASE %I OWNER TO CURRENT_USER', current_database());"
          " EXECUTE format('GRANT ALL ON DATABASE %I TO PUBLIC', current_database()); END $$",
          "GRANT CREATE ON SCHEMA public TO PUBLIC", "ALTER ROLE admin CREATEROLE",
          "REVOKE ALL ON ALL TABLES IN SCHEMA public FROM buyer",
          "DELETE FROM system_settings WHERE section = 'Company'", "ALTER TABLE users DROP COLUMN status",
          "DELETE FROM schema_version WHERE version > 6"})
        db.Exec(QString::fromUtf8(sql));
}

std::string StoreKindName(const ::testing::TestParamInfo<StoreKind>& info) {
    return info.param == StoreKind::SQLite ? "SQLite" : "PostgreSQL";
}

QString NewStoreLocation(StoreKind kind) {
    return kind == StoreKind::SQLite ? NewSQLitePath() : NewPostgresUrl();
}
store::SessionPtr OwnRoleSession(const store::StorePtr& db, const QString& location, const QString& user) {
    if (db->IsSQLite())
        return std::make_shared<store::Session>(store::LogIn(db, user));
    // Roles belong to the whole server: each user's is made before the sync would make the
    // missing ones without a password.
    QSqlQuery users = db->Exec("SELECT name FROM users");
    QStringList names;
    while (users.next())
        names << users.value(0).toString();
    for (const QString& name : names)
        store::CreateLoginRole(*db, name, name);
    store::SyncDatabaseRoles(*db);
    QUrl own(location);
    own.setUserName(user);
    own.setPassword(user);
    return std::make_shared<store::Session>(
        store::LogInAsConnected(store::Store::Open(own.toString()), user));
}

} // namespace zpp::test
