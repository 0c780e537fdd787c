#include "services/access/AccessService.h"
#include "services/access/UserAdministration.h"
#include "services/demo/DemoData.h"
#include "services/store/Migrations.h"
#include "services/store/PgAdmin.h"
#include "services/store/RowWriter.h"
#include "services/store/Session.h"
#include "support/TestStores.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>

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
    EXPECT_EQ(db->SchemaVersion(), LatestSchemaVersion());
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

TEST_P(StoreTest, RightsAndLogFollowTheLogInUser) {
    ZPP_REQUIRE_STORE(location);
    auto db = Store::Open(location);
    auto admin = std::make_shared<Session>(LogIn(db, "admin"));
    auto buyer = std::make_shared<Session>(LogIn(db, "2"));
    auto guest = std::make_shared<Session>(LogIn(db, "guest"));
    EXPECT_EQ(buyer->UserName, "buyer");
    for (const char* user : {"nobody", "70000", "' OR 1=1 --"})
        EXPECT_THROW(LogIn(db, user), Error) << user;
    services::AccessService a(admin), b(buyer), g(guest);
    QString granted;
    for (qint32 mask : {1, 4, 16, 256, 32768, 65536, 1048576, 4194304})
        granted += a.AccessCheck(1006, 13, mask) ? "1" : "0";
    // Buyer: neither price nor delete; another module is not granted by this one.
    for (auto [who, module, mask] :
         {std::tuple{&b, 13, 4}, {&b, 13, 65536}, {&b, 13, 1048576}, {&b, 14, 1048576}, {&g, 13, 1048576}})
        granted += who->AccessCheck(1006, module, mask) ? "1" : "0";
    EXPECT_EQ(granted, "1111111100100");

    QString code = "CGPlan001", name = "采购计划单查询";
    qint32 type = 3;
    b.WriteLog(code, type, name);
    EXPECT_EQ(
        Rows(*db,
             "SELECT user_id, user_name, object_code, operation_type, operation_name FROM operation_log"),
        "2|buyer|CGPlan001|3|采购计划单查询");
}

TEST_P(StoreTest, FailedTransactionWritesNothing) {
    ZPP_REQUIRE_STORE(location);
    auto db = Store::Open(location);
    EXPECT_THROW(db->InTransaction([&] {
        db->Exec("INSERT INTO users (id, name) VALUES (10, 'x')");
        db->Exec("INSERT INTO users (id, name) VALUES (11, 'x')"); // duplicate name
    }),
                 Error);
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM users").toInt(), 3);
    // Texts are bound, never spliced: quotes arrive as they are.
    db->Exec("INSERT INTO users (id, name) VALUES (12, ?)", {"O''Neil'); DROP TABLE users; --"});
    EXPECT_EQ(db->Scalar("SELECT name FROM users WHERE id = 12").toString(),
              "O''Neil'); DROP TABLE users; --");
}

TEST_P(StoreTest, OnlyAnAdministratorSetsTheCompanyThatHeadsOrders) {
    ZPP_REQUIRE_STORE(location);
    auto db = Store::Open(location);
    services::UserAdministration admin(std::make_shared<Session>(LogIn(db, "admin")));
    admin.SetCompany("Name", "  星河机电有限公司 ");
    admin.SetCompany("Address", "上海市");
    EXPECT_EQ(Rows(*db, "SELECT key, value FROM system_settings WHERE section = 'Company' ORDER BY key"),
              "Address|上海市,Name|星河机电有限公司");
    EXPECT_THROW(
        services::UserAdministration(std::make_shared<Session>(LogIn(db, "buyer"))).SetCompany("Name", "x"),
        Error);
    EXPECT_THROW(admin.SetCompany("Name", QString(300, u'长')), Error);
    EXPECT_EQ(
        db->Scalar("SELECT value FROM system_settings WHERE section = 'Company' AND key = 'Name'").toString(),
        "星河机电有限公司");
}

// Both ways of writing many rows keep every text and number as it was given, and a failed flush
// leaves the transaction to be rolled back whole.
TEST_P(StoreTest, RowWritersKeepEveryValue) {
    ZPP_REQUIRE_STORE(location);
    auto db = Store::Open(location);
    const QString odd = QStringLiteral("a\tb\nc\\d\r'\"é中 \\N");
    const QVariant noUnit(QMetaType::fromType<int>());
    for (const auto method : {RowWriter::Method::Insert, RowWriter::Method::Copy}) {
        for (const char* table : {"supplier_prices", "items", "suppliers", "units"})
            db->Exec(QString("DELETE FROM %1").arg(table));
        const auto write = [&](const QString& table, const QStringList& columns,
                               const QVector<QVariantList>& rows) {
            db->InTransaction([&] {
                RowWriter writer(*db, table, columns, method);
                for (const QVariantList& r : rows)
                    writer.Add(r);
                writer.Flush();
            });
        };
        QVector<QVariantList> units;
        for (int i = 1; i <= 1200; ++i)
            units.push_back({i, i == 7 ? odd : QStringLiteral("u%1").arg(i)});
        write("units", {"id", "name"}, units);
        EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM units").toInt(), 1200);
        EXPECT_EQ(db->Scalar("SELECT name FROM units WHERE id = 7").toString(), odd);
        db->Exec("INSERT INTO items (id, code, name, unit_id) VALUES (1, 'I', 'item', 1)");
        db->Exec("INSERT INTO suppliers (id, code, name) VALUES (1, 'S', 'supplier')");
        const QStringList columns{"supplier_id", "item_id", "unit_id", "price", "valid_from"};
        const QVariantList a{1, 1, 1, 0.1 + 0.2, "2026-01-01"}, b{1, 1, 1, 1e-7, "2026-01-03"};
        EXPECT_THROW(write("supplier_prices", columns, {a, {1, 1, noUnit, 1.0, "2026-01-02"}, b}),
                     StoreError);
        EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM supplier_prices").toInt(), 0);
        write("supplier_prices", columns, {a, b});
        EXPECT_EQ(db->Scalar("SELECT price FROM supplier_prices WHERE valid_from = '2026-01-01'").toDouble(),
                  0.1 + 0.2);
        EXPECT_EQ(db->Scalar("SELECT price FROM supplier_prices WHERE valid_from = '2026-01-03'").toDouble(),
                  1e-7);
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

// A file that is not a database is refused and not overwritten; a server that cannot be reached
// is named by host and port; a database that is not there is named as such, not taken for a
// wrong password.
TEST(StoreOpen, WhatCannotBeOpenedIsNamed) {
    const QString path = NewSQLitePath();
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database, just a note\n");
    }
    EXPECT_TRUE(OpenError(path).contains(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("not a database, just a note\n"));
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
