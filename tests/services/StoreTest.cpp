#include "services/access/UserAdministration.h"
#include "services/demo/DemoData.h"
#include "services/store/DatabaseRoles.h"
#include "services/store/Migrations.h"
#include "services/store/PgAdmin.h"
#include "services/store/RowWriter.h"
#include "services/store/Session.h"
#include "support/PgRelay.h"
#include "support/TestStores.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <fcntl.h>
#include <unistd.h>

using namespace zpp;
using namespace zpp::store;
using namespace zpp::test;

class StoreTest : public ::testing::TestWithParam<StoreKind> {
protected:
    QString location;
    void SetUp() override { location = NewStoreLocation(GetParam()); }
};

// What opening a store says when it cannot.
QString OpenError(const QString& location) {
    try {
        Store::Open(location);
    } catch (const Error& e) {
        return e.Description();
    }
    return "(opened)";
}

// A new store is migrated with its three users; opening again applies nothing twice, and a demo
// is never generated over it. A store of a newer schema is refused and left alone.
TEST_P(StoreTest, NewStoreIsMigratedWithItsThreeUsers) {
    ZPP_REQUIRE_STORE(location);
    auto db = Store::Open(location);
    EXPECT_TRUE(db->WasCreated());
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM users").toInt(), 3);
    db.reset();
    auto again = Store::Open(location);
    EXPECT_FALSE(again->WasCreated());
    EXPECT_EQ(again->Scalar("SELECT COUNT(*) FROM schema_version").toInt(), LatestSchemaVersion());
    EXPECT_THROW(GenerateStore(location, 10), Error);
    again->Exec("INSERT INTO schema_version (version, description, applied_at) VALUES (?, 'future', 'x')",
                {LatestSchemaVersion() + 5});
    again.reset();
    EXPECT_TRUE(OpenError(location).contains(QString::number(LatestSchemaVersion() + 5)));
}

// A failed transaction writes nothing; texts are bound, never spliced.
TEST_P(StoreTest, FailedTransactionWritesNothingAndOnlyAnAdministratorSetsTheCompany) {
    ZPP_REQUIRE_STORE(location);
    auto db = Store::Open(location);
    EXPECT_THROW(db->InTransaction([&] {
        db->Exec("INSERT INTO users (id, name) VALUES (10, 'x')");
        db->Exec("INSERT INTO users (id, name) VALUES (11, 'x')"); // duplicate name
    }),
                 Error);
    db->Exec("INSERT INTO users (id, name) VALUES (12, ?)", {"O''Neil'); DROP TABLE users; --"});
    EXPECT_EQ(Rows(*db, "SELECT id, name FROM users WHERE id > 3"), "12|O''Neil'); DROP TABLE users; --");

    // Only an administrator sets the company that heads the orders.
    services::UserAdministration(std::make_shared<Session>(LogIn(db, "admin")))
        .SetCompany("Name", " 星河机电 ");
    EXPECT_THROW(
        services::UserAdministration(std::make_shared<Session>(LogIn(db, "buyer"))).SetCompany("Name", "x"),
        Error);
    EXPECT_EQ(Rows(*db, "SELECT value FROM system_settings WHERE key = 'Name'"), "星河机电");
}

// Both ways of writing many rows keep every text and number as it was given, and a failed flush
// leaves the transaction to be rolled back whole. (The imports write thousands of rows.)
TEST_P(StoreTest, RowWritersKeepEveryValue) {
    ZPP_REQUIRE_STORE(location);
    auto db = Store::Open(location);
    const QString odd = QStringLiteral("a\tb\nc\\d\r'\"é中 \\N");
    db->Exec("INSERT INTO units (id, name) VALUES (1, 'u')");
    db->Exec("INSERT INTO items (id, code, name, unit_id) VALUES (1, 'I', 'item', 1)");
    db->Exec("INSERT INTO suppliers (id, code, name) VALUES (1, 'S', 'supplier')");
    const QStringList columns{"supplier_id", "item_id", "unit_id", "price", "valid_from"};
    for (const auto method : {RowWriter::Method::Insert, RowWriter::Method::Copy}) {
        db->Exec("DELETE FROM supplier_prices");
        db->Exec("DELETE FROM aux_props");
        const auto write = [&](const QString& table, const QStringList& columns,
                               const QVector<QVariantList>& rows) {
            db->InTransaction([&] {
                RowWriter writer(*db, table, columns, method);
                for (const QVariantList& r : rows)
                    writer.Add(r);
                writer.Flush();
            });
        };
        write("aux_props", {"id", "name"}, {{1, odd}});
        EXPECT_EQ(db->Scalar("SELECT name FROM aux_props").toString(), odd);
        const QVariantList a{1, 1, 1, 0.1 + 0.2, "2026-01-01"}, b{1, 1, 1, 1e-7, "2026-01-03"};
        const QVariantList noUnit{1, 1, QVariant(QMetaType::fromType<int>()), 1.0, "2026-01-02"};
        EXPECT_THROW(write("supplier_prices", columns, {a, noUnit, b}), StoreError);
        EXPECT_EQ(Rows(*db, "SELECT COUNT(*) FROM supplier_prices"), "0");
        write("supplier_prices", columns, {a, b});
        QSqlQuery q = db->Exec("SELECT price FROM supplier_prices ORDER BY valid_from");
        for (double expected : {0.1 + 0.2, 1e-7})
            EXPECT_TRUE(q.next() && q.value(0).toDouble() == expected) << expected;
    }
}

// Schema 17 gives every user of an older store a state, active; on PostgreSQL it adds the function
// that makes a role follow it, owned by the roles role and callable by administrators only. Only a
// runner who may act as the roles role upgrades: an administrator is refused and the store stays.
TEST_P(StoreTest, SchemaSeventeenGivesEveryUserAStateAndTheServerItsFunction) {
    ZPP_REQUIRE_STORE(location);
    StorePtr db = GenerateStore(location, 5);
    const bool pg = !db->IsSQLite();
    for (const QString& sql : {QStringLiteral("{{pg}}DROP FUNCTION zpprole.follow_state(text)"),
                               QStringLiteral("ALTER TABLE users DROP COLUMN status"),
                               QStringLiteral("{{pg}}DROP FUNCTION zpp_note_entry_changes() CASCADE"),
                               QStringLiteral("DROP TABLE entry_changes"),
                               QStringLiteral("DELETE FROM schema_version WHERE version >= 17"),
                               QStringLiteral("INSERT INTO users (id, name) VALUES (9, 'old')")})
        if (pg || !sql.startsWith("{{pg}}"))
            db->Exec(QString(sql).remove("{{pg}}"));
    if (pg) {
        QUrl admin(location);
        admin.setUserName("admin");
        admin.setPassword("admin");
        EXPECT_THROW(Store::Open(admin.toString()), Error);
        EXPECT_EQ(db->SchemaVersion(), 16);
    }
    db.reset();
    db = Store::Open(location);
    EXPECT_EQ(db->SchemaVersion(), LatestSchemaVersion());
    EXPECT_EQ(Rows(*db, "SELECT status FROM users ORDER BY id"), "active,active,active,active");
    EXPECT_THROW(db->Exec("UPDATE users SET status = 'gone' WHERE id = 9"), Error);
    if (pg)
        EXPECT_EQ(Rows(*db, "SELECT pg_get_userbyid(proowner) = current_database() || '_roles',"
                            " has_function_privilege('buyer', oid, 'EXECUTE'),"
                            " has_function_privilege('admin', oid, 'EXECUTE') FROM pg_proc"
                            " WHERE oid = 'zpprole.follow_state(text)'::regprocedure"),
                  "true|false|true");
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

// A file that is not a database is refused and not overwritten; a server that cannot be reached
// is named by host and port; a database that is not there is named as such, not taken for a
// wrong password.
TEST(StoreOpen, WhatCannotBeOpenedIsNamed) {
    const QString path = NewSQLitePath();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("not a database\n") > 0);
    f.close();
    EXPECT_TRUE(OpenError(path).contains(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("not a database\n"));
    EXPECT_TRUE(OpenError("postgresql://zpp@127.0.0.1:1/nowhere").contains("127.0.0.1:1"));
    QString url = NewPostgresUrl();
    ZPP_REQUIRE_STORE(url);
    const QString missing = OpenError(url.left(url.lastIndexOf(u'/') + 1) + "zpp_no_such_database");
    EXPECT_TRUE(missing.startsWith("PostgreSQL 服务器") &&
                missing.contains("上没有数据库 zpp_no_such_database"))
        << missing.toStdString();
}

TEST(SQLiteStore, RunsInWalModeWithForeignKeys) {
    auto db = Store::Open(NewSQLitePath());
    EXPECT_EQ(db->Scalar("PRAGMA journal_mode").toString().toLower(), "wal");
    EXPECT_EQ(db->Scalar("PRAGMA foreign_keys").toInt(), 1);
    EXPECT_THROW(db->Exec("INSERT INTO user_rights VALUES (999, 1006, 13, 1)"), Error);
}

// Runs SQL in another program on the store file, the way a second user or a tool would.
QString OtherProgram(const QString& path, const QString& sql) {
    QProcess p;
    p.start("sqlite3", {"-batch", "-cmd", ".timeout 5000", path, sql});
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit)
        return "sqlite3 did not run: " + p.errorString();
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

// A file dialog on the store's folder opens and closes the store's files to find their type. That
// must leave the store's locks in place: otherwise another program takes the WAL for its own and
// removes it on close, and what this process saves afterwards is seen by nobody else.
TEST(SQLiteStore, OpeningItsFilesElsewhereInTheProgramKeepsItsLocks) {
    const QString path = NewSQLitePath();
    auto db = Store::Open(path);
    db->Exec("CREATE TABLE probe (n INTEGER)");
    db->Exec("INSERT INTO probe VALUES (1)");
    for (const QString& file : QStringList{path, path + "-wal", path + "-shm"}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
        f.read(64);
        f.close();
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    EXPECT_EQ(OtherProgram(path, "INSERT INTO probe VALUES (2); PRAGMA wal_checkpoint(TRUNCATE);"), "0|0|0");
    db->InTransaction([&] { db->Exec("INSERT INTO probe VALUES (3)"); });
    EXPECT_EQ(OtherProgram(path, "SELECT group_concat(n) FROM (SELECT n FROM probe ORDER BY n);"), "1,2,3");
    EXPECT_EQ(OtherProgram(path, "PRAGMA integrity_check;"), "ok");
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM probe").toInt(), 3);
}

// Each connection locks through its own descriptor: the first of two closing while the other stays
// must neither block the other's writes nor leave the file locked once both are closed.
TEST(SQLiteStore, TwoConnectionsOfTheProgramShareTheFile) {
    const QString path = NewSQLitePath();
    auto first = Store::Open(path);
    auto second = Store::Open(path);
    first->Exec("CREATE TABLE probe (n INTEGER)");
    first.reset();
    second->InTransaction([&] { second->Exec("INSERT INTO probe VALUES (1)"); });
    EXPECT_EQ(OtherProgram(path, "INSERT INTO probe VALUES (2); SELECT COUNT(*) FROM probe;"), "2");
    EXPECT_EQ(second->Scalar("SELECT COUNT(*) FROM probe").toInt(), 2);
    second.reset();
    // Leaving WAL needs the file to itself.
    EXPECT_EQ(OtherProgram(path, "PRAGMA journal_mode=DELETE; PRAGMA integrity_check;"), "delete\nok");
}

TEST(PostgresStore, DatabaseNamesAreOneIdentifierWhateverTheyHold) {
    const QString server = QString::fromLocal8Bit(qgetenv("ZPP_TEST_PG_URL"));
    ZPP_REQUIRE_STORE(server);
    const QString name = QStringLiteral("zpp_%1 \"q\"; DROP DATABASE postgres; --%25?#/")
                             .arg(QCoreApplication::applicationPid());
    const QString url = PostgresDatabase(server, name);
    EXPECT_EQ(Store::Open(url)->Scalar("SELECT current_database()").toString(), name);
    // The server's own database survives to serve the drop.
    PostgresDatabase(server, name, true);
    EXPECT_THROW(Store::Open(url), Error);
    EXPECT_THROW(PostgresDatabase(server, QString(64, u'x')), Error) << "PostgreSQL would cut the name";
}

// A synced role loses the rights it no longer holds but keeps what every user may do; a user
// name that cannot be a role is refused.
TEST(PostgresStore, SyncedRolesHoldExactlyTheirRights) {
    const QString url = NewPostgresUrl();
    ZPP_REQUIRE_STORE(url);
    auto db = Store::Open(url);
    // Roles are the server's: made as the demos make them, with their names as passwords, before
    // the sync would make them without one.
    for (const char* user : {"admin", "buyer", "guest"})
        CreateLoginRole(*db, user, user);
    SyncDatabaseRoles(*db);
    const char* held = "SELECT has_table_privilege('buyer', 'purchase_orders', 'INSERT'),"
                       " has_table_privilege('buyer', 'operation_log', 'INSERT')";
    EXPECT_EQ(Rows(*db, held), "true|true");
    db->Exec("UPDATE user_rights SET granted_mask = 0 WHERE user_id = 2");
    SyncDatabaseRoles(*db);
    EXPECT_EQ(Rows(*db, held), "false|true");
    db->Exec("INSERT INTO users (id, name) VALUES (10, 'a$b')");
    EXPECT_THROW(SyncDatabaseRoles(*db), Error);
}

// Only a call that waits on the server is cut when no answer comes: a read left open between
// calls (the lookup keeps its page's statement so) outlives the limit on the same connection,
// while a statement, or rows read under a Call, that the server stops answering end with the
// connection cut, and the store opens it anew.
TEST(PostgresStore, OnlyACallWaitingPastTheAnswerLimitIsCut) {
    const QString direct = NewPostgresUrl();
    ZPP_REQUIRE_STORE(direct);
    const QUrl url(direct);
    PgRelay relay(url.host(), quint16(url.port(5432)));
    auto db = Store::Open(relay.Through(direct));
    db->Exec(
        "UPDATE system_settings SET value = '1' WHERE section = 'Store' AND key = 'StatementTimeoutSeconds'");
    db->ApplyTimeLimits();
    ASSERT_EQ(db->AnswerLimitMs(), 2000);
    const auto count = [](QSqlQuery& q) {
        int n = 0;
        while (q.next())
            ++n;
        return n;
    };
    const auto failure = [&](const char* sql) {
        try {
            db->Scalar(sql);
        } catch (const StoreError& e) {
            return e.ErrorKind();
        }
        return StoreError::Kind::Statement; // answered: not what these cases expect
    };

    QSqlQuery open = db->Prepare("SELECT g FROM generate_series(1, 5) g");
    db->Run(open, {});
    ASSERT_TRUE(open.next() && open.next());
    QThread::msleep(db->AnswerLimitMs() + 1000);
    EXPECT_EQ(db->Scalar("SELECT 7").toInt(), 7);
    db->Run(open, {});
    EXPECT_EQ(count(open), 5);
    EXPECT_EQ(db->Reconnects(), 0);

    relay.Stall(true);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(failure("SELECT 8"), StoreError::Kind::NoAnswer);
    EXPECT_LT(clock.elapsed(), 10000);
    relay.Stall(false);
    EXPECT_EQ(db->Scalar("SELECT 9").toInt(), 9);
    EXPECT_EQ(db->Reconnects(), 1);

    // The server stops in the middle of the rows: the reading ends short instead of waiting on.
    relay.StallAfterServerBytes(2000);
    QSqlQuery many = db->Exec("SELECT g FROM generate_series(1, 100000) g");
    clock.restart();
    {
        const Store::Call reading(*db);
        EXPECT_LT(count(many), 100000);
    }
    EXPECT_LT(clock.elapsed(), 10000);
    relay.Stall(false);
    // The next statement says the server did not answer, without waiting again; then it answers.
    EXPECT_EQ(failure("SELECT 10"), StoreError::Kind::NoAnswer);
    EXPECT_EQ(db->Scalar("SELECT 11").toInt(), 11);
    EXPECT_EQ(db->Reconnects(), 2);
}
