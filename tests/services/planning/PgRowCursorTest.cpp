#include "services/planning/PgRowCursor.h"
#include "support/TestStores.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <limits>

using namespace zpp;
using namespace zpp::test;
using services::PgRowCursor;

namespace {

class PgRowCursorTest : public ::testing::Test {
protected:
    store::StorePtr db;
    PGconn* conn = nullptr;

    bool Open() {
        const QString url = NewPostgresUrl();
        if (url.isEmpty())
            return false;
        db = store::Store::Open(url);
        conn = db->PgConnection();
        return conn != nullptr;
    }
    // The store's own connection answers through Qt afterwards, outside and inside a transaction.
    void ExpectConnectionUsable() {
        EXPECT_EQ(PQtransactionStatus(conn), PQTRANS_IDLE);
        EXPECT_EQ(db->Scalar("SELECT 40 + ?", {2}).toInt(), 42);
        db->InTransaction([&] {
            db->Exec("CREATE TEMP TABLE IF NOT EXISTS after_cursor (n INTEGER)");
            db->Exec("INSERT INTO after_cursor VALUES (1)");
        });
    }
    QString ReadError(const QString& sql, const QVariantList& binds = {}) {
        try {
            PgRowCursor cur(conn, sql, binds, "store");
            while (cur.Next()) {
            }
        } catch (const Cancelled&) {
            return "cancelled";
        } catch (const Error& e) {
            return e.Description();
        }
        return {};
    }
};

} // namespace

TEST(PgConnection, OnlyPostgreSQLStoresHaveOne) {
    EXPECT_EQ(store::Store::Open(NewSQLitePath())->PgConnection(), nullptr);
    const QString url = NewPostgresUrl();
    ZPP_REQUIRE_STORE(url);
    auto pg = store::Store::Open(url);
    PGconn* conn = pg->PgConnection();
    ASSERT_NE(conn, nullptr);
    EXPECT_EQ(PQstatus(conn), CONNECTION_OK);
}

TEST_F(PgRowCursorTest, ValuesAndNullsComeBackAsStored) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    db->Exec("CREATE TABLE v (k INTEGER, i BIGINT, r DOUBLE PRECISION, t TEXT)");
    // 2^53 + 1 is lost by any detour through double; 0.1 + 0.2 needs all 17 digits.
    db->Exec("INSERT INTO v VALUES (1, 9007199254740993, 0.1::float8 + 0.2::float8, '贴片电阻 Φ8 ±1%'),"
             " (2, -42, -1.5e-300, ''), (3, NULL, NULL, NULL), (4, 0, 'Infinity', ' ')");
    PgRowCursor cur(conn, "SELECT i, r, t FROM v ORDER BY k", {}, "store");
    ASSERT_TRUE(cur.Next());
    EXPECT_EQ(cur.Int(0), 9007199254740993LL);
    EXPECT_EQ(cur.Real(1), 0.1 + 0.2);
    EXPECT_EQ(cur.Raw(2), "贴片电阻 Φ8 ±1%");
    EXPECT_FALSE(cur.Null(0) || cur.Null(1) || cur.Null(2));
    ASSERT_TRUE(cur.Next());
    EXPECT_EQ(cur.Int(0), -42);
    EXPECT_EQ(cur.Real(1), -1.5e-300);
    EXPECT_EQ(cur.Raw(2), "");
    EXPECT_FALSE(cur.Null(2)); // empty text is not NULL
    ASSERT_TRUE(cur.Next());
    EXPECT_TRUE(cur.Null(0) && cur.Null(1) && cur.Null(2));
    EXPECT_EQ(cur.Int(0), 0);
    EXPECT_EQ(cur.Real(1), 0.0);
    EXPECT_EQ(cur.Raw(2), "");
    ASSERT_TRUE(cur.Next());
    EXPECT_EQ(cur.Real(1), std::numeric_limits<double>::infinity());
    EXPECT_EQ(cur.Raw(2), " ");
    EXPECT_FALSE(cur.Next());
    EXPECT_FALSE(cur.Next()); // stays at the end
}

TEST_F(PgRowCursorTest, MarksOutsideQuotesAreBound) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    {
        PgRowCursor cur(
            conn,
            "SELECT '?' || CAST(? AS TEXT), \"n?\", CAST(? AS TEXT) IS NULL, E'\\'?' || CAST(? AS TEXT)"
            " /* ? */ -- ?\n"
            "FROM (SELECT CAST(? AS INTEGER) AS \"n?\") s",
            {"采购", QVariant(QMetaType::fromType<QString>()), "x", 7}, "store");
        ASSERT_TRUE(cur.Next());
        EXPECT_EQ(cur.Raw(0), "?采购");
        EXPECT_EQ(cur.Int(1), 7);
        EXPECT_EQ(cur.Raw(2), "t");
        EXPECT_EQ(cur.Raw(3), "'?x");
        EXPECT_FALSE(cur.Next());
    }
    // Binds are texts: a value that would end a literal is only a value.
    db->Exec("CREATE TABLE codes (code TEXT)");
    db->Exec("INSERT INTO codes VALUES ('A''1'), ('B')");
    PgRowCursor cur(conn, "SELECT code FROM codes WHERE code = ? OR code = ? ORDER BY code",
                    {"A'1", "' OR 1=1 --"}, "store");
    ASSERT_TRUE(cur.Next());
    EXPECT_EQ(cur.Raw(0), "A'1");
    EXPECT_FALSE(cur.Next());
}

TEST_F(PgRowCursorTest, EveryRowOfALargeResultIsReadOnce) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    qint64 rows = 0, sum = 0;
    {
        PgRowCursor cur(conn, "SELECT g, g * 0.5 FROM generate_series(1, ?) g", {100000}, "store");
        double half = 0;
        while (cur.Next()) {
            ++rows;
            sum += cur.Int(0);
            half += cur.Real(1);
        }
        EXPECT_EQ(half, double(sum) / 2);
    }
    EXPECT_EQ(rows, 100000);
    EXPECT_EQ(sum, 100000LL * 100001 / 2);
    ExpectConnectionUsable();
}

TEST_F(PgRowCursorTest, FailuresCarryTheServerMessageAndLeaveTheConnectionUsable) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    EXPECT_EQ(ReadError("SELECT * FROM no_such_table"),
              "数据库 store 读取采购计划失败：relation \"no_such_table\" does not exist");
    ExpectConnectionUsable();
    EXPECT_EQ(ReadError("SELECT CAST(? AS INTEGER)", {"十"}),
              "数据库 store 读取采购计划失败：invalid input syntax for type integer: \"十\"");
    ExpectConnectionUsable();
    // A failure after rows have come: the rows before it were seen, then the error.
    int seen = 0;
    try {
        PgRowCursor cur(conn, "SELECT 1 / (50000 - g) FROM generate_series(1, 100000) g", {}, "store");
        while (cur.Next())
            ++seen;
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.Description(), "数据库 store 读取采购计划失败：division by zero");
    }
    EXPECT_EQ(seen, 49999);
    ExpectConnectionUsable();
    // A Qt query still reading holds the connection: the cursor says so instead of taking over.
    {
        QSqlQuery busy = db->Exec("SELECT generate_series(1, 1000)");
        ASSERT_TRUE(busy.next());
        const QString error = ReadError("SELECT 1");
        EXPECT_TRUE(error.startsWith("数据库 store 读取采购计划失败：")) << error.toStdString();
        EXPECT_TRUE(busy.next());
    }
    ExpectConnectionUsable();
}

TEST_F(PgRowCursorTest, CancelStopsTheServerAndLeavesTheConnectionUsable) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    // While the server works before the first row.
    int asked = 0;
    QElapsedTimer t;
    t.start();
    EXPECT_THROW(
        {
            PgRowCursor cur(conn, "SELECT pg_sleep(20)", {}, "store", [&] { return ++asked < 3; });
            cur.Next();
        },
        Cancelled);
    EXPECT_EQ(asked, 3);
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_GE(t.elapsed(), 100); // asked about every 50 ms, not in a busy loop
    ExpectConnectionUsable();

    // While rows stream in faster than they are read.
    qint64 rows = 0;
    t.restart();
    try {
        PgRowCursor cur(conn, "SELECT g, repeat('x', 100) FROM (SELECT generate_series(1, 50000000) g) s", {},
                        "store", [&] { return rows == 0; });
        while (cur.Next())
            ++rows;
        ADD_FAILURE() << "not cancelled";
    } catch (const Cancelled&) {
    }
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 50000000);
    EXPECT_LT(t.elapsed(), 5000);
    ExpectConnectionUsable();

    // A keepGoing that fails is passed on, with the statement cancelled all the same.
    t.restart();
    try {
        PgRowCursor cur(conn, "SELECT pg_sleep(20)", {}, "store", [&]() -> bool { throw Error("stop"); });
        cur.Next();
        ADD_FAILURE() << "not stopped";
    } catch (const Error& e) {
        EXPECT_EQ(e.Description(), "stop");
    }
    EXPECT_LT(t.elapsed(), 3000);
    ExpectConnectionUsable();
}

TEST_F(PgRowCursorTest, LeavingEarlyLeavesTheConnectionUsable) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    QElapsedTimer t;
    t.start();
    {
        PgRowCursor cur(conn, "SELECT generate_series(1, 50000000)", {}, "store");
        ASSERT_TRUE(cur.Next());
        EXPECT_EQ(cur.Int(0), 1);
    }
    {
        // Never asked for a row: the server is still sorting.
        PgRowCursor cur(conn, "SELECT g FROM generate_series(1, 50000000) g ORDER BY g DESC", {}, "store");
    }
    // Reading the rest, or waiting for the sort, would take far longer.
    EXPECT_LT(t.elapsed(), 5000);
    ExpectConnectionUsable();
}
