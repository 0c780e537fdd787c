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

TEST_P(StoreTest, NewStoreIsMigratedWithItsThreeUsers) {
    ZPP_REQUIRE_STORE(location);
    auto db = Store::Open(location);
    EXPECT_TRUE(db->WasCreated());
    EXPECT_EQ(db->SchemaVersion(), LatestSchemaVersion());
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM users").toInt(), 3);
    db.reset();
    // Opening again applies nothing twice.
    auto again = Store::Open(location);
    EXPECT_FALSE(again->WasCreated());
    EXPECT_EQ(again->Scalar("SELECT COUNT(*) FROM schema_version").toInt(), LatestSchemaVersion());
}

TEST_P(StoreTest, RightsAndLogFollowTheLogInUser) {
    ZPP_REQUIRE_STORE(location);
    auto db = Store::Open(location);
    auto admin = std::make_shared<Session>(LogIn(db, "admin"));
    auto buyer = std::make_shared<Session>(LogIn(db, "2"));
    auto guest = std::make_shared<Session>(LogIn(db, "guest"));
    EXPECT_EQ(buyer->UserName, "buyer");
    services::AccessService a(admin), b(buyer), g(guest);
    for (qint32 mask : {1, 4, 16, 256, 32768, 65536, 1048576, 4194304})
        EXPECT_TRUE(a.AccessCheck(1006, 13, mask)) << mask;
    EXPECT_FALSE(b.AccessCheck(1006, 13, 4));
    EXPECT_FALSE(b.AccessCheck(1006, 13, 65536));
    EXPECT_TRUE(b.AccessCheck(1006, 13, 1048576));
    EXPECT_FALSE(b.AccessCheck(1006, 14, 1048576)); // another module
    EXPECT_FALSE(g.AccessCheck(1006, 13, 1048576));

    QString code = "CGPlan001", name = "采购计划单查询";
    qint32 type = 3;
    b.WriteLog(code, type, name);
    QSqlQuery q =
        db->Exec("SELECT user_id, user_name, object_code, operation_type, operation_name FROM operation_log");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 2);
    EXPECT_EQ(q.value(1).toString(), "buyer");
    EXPECT_EQ(q.value(2).toString(), "CGPlan001");
    EXPECT_EQ(q.value(3).toInt(), 3);
    EXPECT_EQ(q.value(4).toString(), "采购计划单查询");
    EXPECT_FALSE(q.next());
}

TEST_P(StoreTest, UnknownUsersAndIdsOutOfRangeAreRefused) {
    ZPP_REQUIRE_STORE(location);
    auto db = Store::Open(location);
    EXPECT_THROW(LogIn(db, "nobody"), Error);
    EXPECT_THROW(LogIn(db, "70000"), Error);
    EXPECT_THROW(LogIn(db, "' OR 1=1 --"), Error);
}

TEST_P(StoreTest, NewerSchemaIsRefusedAndLeftAlone) {
    ZPP_REQUIRE_STORE(location);
    {
        auto db = Store::Open(location);
        db->Exec("INSERT INTO schema_version (version, description, applied_at) VALUES (?, 'future', 'x')",
                 {LatestSchemaVersion() + 5});
    }
    try {
        Store::Open(location);
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description().contains(QString::number(LatestSchemaVersion() + 5))) << e.what();
    }
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

TEST_P(StoreTest, GenerateRefusesAnExistingStore) {
    ZPP_REQUIRE_STORE(location);
    Store::Open(location);
    EXPECT_THROW(GenerateStore(location, 10), Error);
}

// A database that is not there is named as such, not taken for a wrong password.
TEST(StoreOpen, AMissingPostgresDatabaseIsNamed) {
    QString url = NewPostgresUrl();
    ZPP_REQUIRE_STORE(url);
    url = url.left(url.lastIndexOf(u'/') + 1) + "zpp_no_such_database";
    try {
        Store::Open(url);
        FAIL() << "opened a database that does not exist";
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description().startsWith("PostgreSQL 服务器")) << e.Description().toStdString();
        EXPECT_TRUE(e.Description().contains("上没有数据库 zpp_no_such_database"))
            << e.Description().toStdString();
    }
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
    for (const auto method : {RowWriter::Method::Insert, RowWriter::Method::Copy}) {
        db->Exec("DELETE FROM units");
        db->InTransaction([&] {
            RowWriter units(*db, "units", {"id", "name"}, method);
            for (int i = 1; i <= 1200; ++i)
                units.Add({i, i == 7 ? odd : QStringLiteral("u%1").arg(i)});
            units.Flush();
        });
        EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM units").toInt(), 1200);
        EXPECT_EQ(db->Scalar("SELECT name FROM units WHERE id = 7").toString(), odd);
        db->Exec("INSERT INTO items (id, code, name, unit_id) VALUES (1, 'I', 'item', 1)");
        db->Exec("INSERT INTO suppliers (id, code, name) VALUES (1, 'S', 'supplier')");
        db->InTransaction([&] {
            RowWriter prices(*db, "supplier_prices",
                             {"supplier_id", "item_id", "unit_id", "price", "valid_from"}, method);
            prices.Add({1, 1, 1, 0.1 + 0.2, "2026-01-01"});
            prices.Add({1, 1, QVariant(QMetaType::fromType<int>()), 1.0, "2026-01-02"});
            prices.Add({1, 1, 1, 1e-7, "2026-01-03"});
            EXPECT_THROW(prices.Flush(), StoreError); // a NULL unit
        });
        EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM supplier_prices").toInt(), 0);
        db->InTransaction([&] {
            RowWriter prices(*db, "supplier_prices",
                             {"supplier_id", "item_id", "unit_id", "price", "valid_from"}, method);
            prices.Add({1, 1, 1, 0.1 + 0.2, "2026-01-01"});
            prices.Add({1, 1, 1, 1e-7, "2026-01-03"});
            prices.Flush();
        });
        EXPECT_EQ(db->Scalar("SELECT price FROM supplier_prices WHERE valid_from = '2026-01-01'").toDouble(),
                  0.1 + 0.2);
        EXPECT_EQ(db->Scalar("SELECT price FROM supplier_prices WHERE valid_from = '2026-01-03'").toDouble(),
                  1e-7);
        db->Exec("DELETE FROM supplier_prices");
        db->Exec("DELETE FROM items");
        db->Exec("DELETE FROM suppliers");
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

TEST(SQLiteStore, NonDatabaseFileIsRefusedAndNotOverwritten) {
    const QString path = NewSQLitePath();
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database, just a note\n");
    }
    try {
        Store::Open(path);
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description().contains(path));
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("not a database, just a note\n"));
}

TEST(SQLiteStore, RunsInWalModeWithForeignKeys) {
    auto db = Store::Open(NewSQLitePath());
    EXPECT_EQ(db->Scalar("PRAGMA journal_mode").toString().toLower(), "wal");
    EXPECT_EQ(db->Scalar("PRAGMA foreign_keys").toInt(), 1);
    EXPECT_THROW(db->Exec("INSERT INTO user_rights VALUES (999, 1006, 13, 1)"), Error);
}

TEST(PostgresStore, UnreachableServerNamesHostAndPort) {
    try {
        Store::Open("postgresql://zpp@127.0.0.1:1/nowhere");
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description().contains("127.0.0.1:1")) << e.what();
    }
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
