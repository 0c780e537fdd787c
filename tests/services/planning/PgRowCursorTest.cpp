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
        db->InTransaction([&] { db->Exec("CREATE TEMP TABLE IF NOT EXISTS after_cursor (n INTEGER)"); });
    }
    // Reads every row; the error it ends with ("cancelled" for a cancel), or nothing.
    QString ReadError(const QString& sql, const QVariantList& binds = {},
                      std::function<bool()> keepGoing = {}, qint64* rows = nullptr) {
        try {
            PgRowCursor cur(conn, sql, binds, "store", std::move(keepGoing));
            while (cur.Next())
                rows && ++*rows;
        } catch (const Cancelled&) {
            return "cancelled";
        } catch (const Error& e) {
            return e.Description();
        }
        return {};
    }
};

} // namespace

// Each row as "int|real|text", a NULL as N; marks outside quotes are bound, as texts only.
TEST_F(PgRowCursorTest, ValuesNullsAndBoundMarksComeBackAsStored) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    db->Exec("CREATE TABLE v (k INTEGER, i BIGINT, r DOUBLE PRECISION, t TEXT)");
    // 2^53 + 1 is lost by any detour through double; 0.1 + 0.2 needs all 17 digits.
    db->Exec("INSERT INTO v VALUES (1, 9007199254740993, 0.1::float8 + 0.2::float8, '贴片电阻 Φ8 ±1%'),"
             " (2, -42, -1.5e-300, ''), (3, NULL, NULL, NULL), (4, 0, 'Infinity', ' '), (5, 1, 1, 'A''1')");
    const auto read = [&](const QString& sql, const QVariantList& binds) {
        PgRowCursor cur(conn, sql, binds, "store");
        QStringList rows;
        while (cur.Next())
            rows << QStringList{QString(cur.Null(0) ? "N" : "") + QString::number(cur.Int(0)),
                                QString(cur.Null(1) ? "N" : "") + QString::number(cur.Real(1), 'g', 17),
                                QString(cur.Null(2) ? "N" : "") + QString::fromUtf8(cur.Raw(2))}
                        .join(u'|');
        EXPECT_FALSE(cur.Next()); // stays at the end
        return rows.join(u',');
    };
    EXPECT_EQ(
        read("SELECT i, r, t FROM v WHERE k < 5 ORDER BY k", {}),
        "9007199254740993|0.30000000000000004|贴片电阻 Φ8 ±1%,-42|-1.5000000000000001e-300|,N0|N0|N,0|inf| ");
    EXPECT_EQ(read("SELECT k, CAST(? AS INTEGER), (CAST(? AS TEXT) IS NULL)::text || '?' || CAST(? AS TEXT)"
                   " || E'\\'?' /* ? */ -- ?\n FROM v AS \"v?\" WHERE t = ? OR t = ?",
                   {7, QVariant(QMetaType::fromType<QString>()), "采购", "A'1", "' OR 1=1 --"}),
              "5|7|true?采购'?");
}

// Failures carry the server's message, after the rows before them were seen. Cancels stop the
// server while it works before the first row (asked about every 50 ms, not in a busy loop) and
// while rows stream in faster than they are read; a failing keepGoing is passed on, with the
// statement cancelled all the same. A reader may also leave early. The connection stays usable.
TEST_F(PgRowCursorTest, FailuresAndCancelsLeaveTheConnectionUsable) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    const QString failed = "数据库 store 读取采购计划失败：";
    int asked = 0;
    qint64 rows = 0;
    const struct {
        const char* Sql;
        std::function<bool()> KeepGoing;
        QString Error;
        qint64 MinRows, MaxRows, MinMs;
    } cases[] = {
        {"SELECT * FROM no_such_table", {}, failed + "relation \"no_such_table\" does not exist", 0, 0, 0},
        {"SELECT 1 / (50000 - g) FROM generate_series(1, 100000) g",
         {},
         failed + "division by zero",
         49999,
         49999,
         0},
        {"SELECT pg_sleep(20)", [&] { return ++asked < 3; }, "cancelled", 0, 0, 100},
        {"SELECT g, repeat('x', 100) FROM (SELECT generate_series(1, 50000000) g) s",
         [&] { return rows == 0; }, "cancelled", 1, 49999999, 0},
        {"SELECT pg_sleep(20)", []() -> bool { throw Error("stop"); }, "stop", 0, 0, 0},
    };
    for (const auto& c : cases) {
        rows = 0;
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(ReadError(c.Sql, {}, c.KeepGoing, &rows), c.Error);
        EXPECT_TRUE(rows >= c.MinRows && rows <= c.MaxRows && t.elapsed() >= c.MinMs && t.elapsed() < 5000)
            << c.Sql << ": " << rows << " rows, " << t.elapsed() << " ms";
        ExpectConnectionUsable();
    }
    EXPECT_EQ(asked, 3);
    QElapsedTimer t;
    // Leaving early, after a row or before any while the server still sorts: reading the rest, or
    // waiting for the sort, would take far longer.
    t.start();
    {
        PgRowCursor cur(conn, "SELECT generate_series(1, 50000000)", {}, "store");
        EXPECT_TRUE(cur.Next() && cur.Int(0) == 1);
    }
    { PgRowCursor cur(conn, "SELECT g FROM generate_series(1, 50000000) g ORDER BY g DESC", {}, "store"); }
    EXPECT_LT(t.elapsed(), 5000);
    ExpectConnectionUsable();
}
