// A push of 5,000 lines (one transaction: orders, lines, line sources, ordered quantities, with
// every entry locked and read again) beside bare writes of the same rows in one transaction:
// prepared statements one row each, and multi-row statements. SQLite always; PostgreSQL when a server URL is
// given as the argument or in $ZPP_TEST_PG_URL (a database of its own is created there and dropped
// afterwards).
#include "services/planupdate/PurchasePlanUpdateService.h"

#include "services/store/PgAdmin.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <cstdio>

using namespace zpp;

namespace {

constexpr int kLines = 5000, kPerPlan = 500, kItems = 50, kSuppliers = 10;

void Seed(const store::Store& db) {
    db.InTransaction([&] {
        db.Exec(QStringLiteral("INSERT INTO units (id, name) VALUES (1, '个')"));
        for (int s = 1; s <= kSuppliers; ++s)
            db.Exec(
                QStringLiteral("INSERT INTO suppliers (id, code, name) VALUES (?, ?, ?)"),
                {s, QStringLiteral("01.%1").arg(s, 3, 10, QChar(u'0')), QStringLiteral("供应商%1").arg(s)});
        for (int i = 1; i <= kItems; ++i)
            db.Exec(
                QStringLiteral(
                    "INSERT INTO items (id, code, name, unit_id, qty_decimals) VALUES (?, ?, ?, 1, 2)"),
                {i, QStringLiteral("1.01.%1").arg(i, 3, 10, QChar(u'0')), QStringLiteral("物料%1").arg(i)});
        QSqlQuery entry = db.Prepare(QStringLiteral(
            "INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, supplier_id, qty, ordered_qty,"
            " unordered_qty, push_qty, price) VALUES (?, ?, '2024-05-01', ?, ?, 100, 0, 100, 100, 2.5)"));
        for (int n = 0; n < kLines; ++n) {
            const int plan = n / kPerPlan + 1, e = n % kPerPlan + 1;
            if (e == 1)
                db.Exec(
                    QStringLiteral(
                        "INSERT INTO purchase_plans (id, bill_no, bill_date) VALUES (?, ?, '2024-05-01')"),
                    {plan, QStringLiteral("CGJY%1").arg(plan, 6, 10, QChar(u'0'))});
            db.Run(entry, {plan, e, n % kItems + 1, n % kSuppliers + 1});
        }
    });
}

void Reset(const store::Store& db) {
    db.InTransaction([&] {
        for (const char* sql :
             {"DELETE FROM purchase_order_line_sources", "DELETE FROM purchase_order_lines",
              "DELETE FROM purchase_orders", "DELETE FROM bill_counters",
              "UPDATE plan_entries SET ordered_qty = 0, unordered_qty = qty, push_qty = qty"})
            db.Exec(QString::fromLatin1(sql));
    });
}

// The grid's push records: one per entry, all texts.
RecordListPtr PushList() {
    auto list = RecordList::Create();
    for (int n = 0; n < kLines; ++n) {
        auto r = KeyedRecord::Create();
        r->Set(QStringLiteral("FInterID"), QString::number(n / kPerPlan + 1));
        r->Set(QStringLiteral("FEntryID"), QString::number(n % kPerPlan + 1));
        r->Set(QStringLiteral("FItemID"), QString::number(n % kItems + 1));
        r->Set(QStringLiteral("FSupplyID"), QString::number(n % kSuppliers + 1));
        r->Set(QStringLiteral("FPushQty"), QStringLiteral("40"));
        r->Set(QStringLiteral("FPrice"), QStringLiteral("2.5"));
        r->Set(QStringLiteral("FDiscountRate"), QStringLiteral("0"));
        r->Set(QStringLiteral("FTaxRate"), QStringLiteral("13"));
        r->Set(QStringLiteral("FFinishDate"), QStringLiteral("2024-06-01"));
        r->Set(QStringLiteral("FMemo"), QString());
        r->Set(QStringLiteral("FIsMerge"), QStringLiteral("0"));
        list->Add(std::move(r));
    }
    return list;
}

// One order per supplier, as a push makes them.
void BareOrders(const store::Store& db, qlonglong (&orders)[kSuppliers]) {
    for (int s = 0; s < kSuppliers; ++s) {
        QSqlQuery q = db.Exec(QStringLiteral("INSERT INTO purchase_orders (bill_no, bill_date, supplier_id,"
                                             " created_by, created_at) VALUES (?, '2024-05-20', ?, 1, 'now')"
                                             " RETURNING id"),
                              {QStringLiteral("BARE%1").arg(s), s + 1});
        q.next();
        orders[s] = q.value(0).toLongLong();
    }
}

// The same rows written with prepared statements and nothing else: no reads, no checks.
double Bare(const store::Store& db) {
    QElapsedTimer t;
    t.start();
    db.InTransaction([&] {
        qlonglong orders[kSuppliers];
        BareOrders(db, orders);
        QSqlQuery line = db.Prepare(QStringLiteral(
            "INSERT INTO purchase_order_lines (order_id, line_no, item_id, aux_prop_id, unit_id, qty, price,"
            " discount_rate, tax_rate, finish_date, memo) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        QSqlQuery source = db.Prepare(QStringLiteral(
            "INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id, qty)"
            " VALUES (?, ?, ?, ?, ?)"));
        QSqlQuery update = db.Prepare(QStringLiteral(
            "UPDATE plan_entries SET ordered_qty = ?, unordered_qty = qty - ?, push_qty = qty - ?,"
            " row_version = row_version + 1 WHERE plan_id = ? AND entry_id = ?"));
        for (int n = 0; n < kLines; ++n) {
            const int s = n % kSuppliers, lineNo = n / kSuppliers + 1;
            db.Run(line, {orders[s], lineNo, n % kItems + 1, QVariant(QMetaType::fromType<int>()), 1, 40.0,
                          2.5, 0.0, 13.0, QStringLiteral("2024-06-01"), QStringLiteral("")});
            db.Run(source, {orders[s], lineNo, n / kPerPlan + 1, n % kPerPlan + 1, 40.0});
        }
        for (int n = 0; n < kLines; ++n)
            db.Run(update, {40.0, 40.0, 40.0, n / kPerPlan + 1, n % kPerPlan + 1});
    });
    return double(t.nsecsElapsed()) / 1e6;
}

// A statement that writes up to kBatch rows of the given row of marks at once.
constexpr int kBatch = 500;
QString Rows(const QString& head, const QString& row, int rows, const QString& tail = {}) {
    QStringList all;
    for (int r = 0; r < rows; ++r)
        all << row;
    return head + all.join(QStringLiteral(", ")) + tail;
}

// The same rows written kBatch to a statement: the least a push could cost on a server, where a
// statement's round trip outweighs the rows it carries.
double BareBatched(const store::Store& db) {
    QElapsedTimer t;
    t.start();
    db.InTransaction([&] {
        qlonglong orders[kSuppliers];
        BareOrders(db, orders);
        const QString lineHead = QStringLiteral(
            "INSERT INTO purchase_order_lines (order_id, line_no, item_id, aux_prop_id, unit_id, qty, price,"
            " discount_rate, tax_rate, finish_date, memo) VALUES ");
        const QString sourceHead = QStringLiteral(
            "INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id, qty) VALUES ");
        const QString updateHead =
            QStringLiteral("UPDATE plan_entries SET ordered_qty = v.column3, unordered_qty = qty - v.column3,"
                           " push_qty = qty - v.column3, row_version = row_version + 1 FROM (VALUES ");
        const QString updateRow =
            QStringLiteral("(CAST(? AS INTEGER), CAST(? AS INTEGER), CAST(? AS DOUBLE PRECISION))");
        const QString updateTail = QStringLiteral(
            ") AS v WHERE plan_entries.plan_id = v.column1 AND plan_entries.entry_id = v.column2");
        QSqlQuery line =
            db.Prepare(Rows(lineHead, QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"), kBatch));
        QSqlQuery source = db.Prepare(Rows(sourceHead, QStringLiteral("(?, ?, ?, ?, ?)"), kBatch));
        QSqlQuery update = db.Prepare(Rows(updateHead, updateRow, kBatch, updateTail));
        static_assert(kLines % kBatch == 0);
        for (int first = 0; first < kLines; first += kBatch) {
            QVariantList lines, sources;
            for (int n = first; n < first + kBatch; ++n) {
                const int s = n % kSuppliers, lineNo = n / kSuppliers + 1;
                lines << orders[s] << lineNo << n % kItems + 1 << QVariant(QMetaType::fromType<int>()) << 1
                      << 40.0 << 2.5 << 0.0 << 13.0 << QStringLiteral("2024-06-01") << QStringLiteral("");
                sources << orders[s] << lineNo << n / kPerPlan + 1 << n % kPerPlan + 1 << 40.0;
            }
            db.Run(line, lines);
            db.Run(source, sources);
        }
        for (int first = 0; first < kLines; first += kBatch) {
            QVariantList updates;
            for (int n = first; n < first + kBatch; ++n)
                updates << n / kPerPlan + 1 << n % kPerPlan + 1 << 40.0;
            db.Run(update, updates);
        }
    });
    return double(t.nsecsElapsed()) / 1e6;
}

void Run(const char* name, const QString& location) {
    store::StorePtr db = store::Store::Open(location);
    Seed(*db);
    auto session = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")));
    double best = 1e18, bestBare = 1e18, bestBatched = 1e18;
    for (int round = 0; round < 3; ++round) {
        Reset(*db);
        RecordListPtr list = PushList();
        QString ids;
        QDate date(2024, 5, 20);
        services::PurchasePlanUpdateService service(session);
        QElapsedTimer t;
        t.start();
        RecordListPtr created = service.PushBill(QString(), list, 1, ids, date);
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
        if (!created || created->Count() != kSuppliers ||
            db->Scalar(QStringLiteral("SELECT COUNT(*) FROM purchase_order_line_sources")).toInt() !=
                kLines ||
            db->Scalar(QStringLiteral("SELECT SUM(ordered_qty) FROM plan_entries")).toDouble() !=
                40.0 * kLines)
            throw Error(QStringLiteral("the push did not write what it should"));
        Reset(*db);
        bestBare = std::min(bestBare, Bare(*db));
        if (db->IsSQLite()) // no round trips to save: one row a statement is as cheap as it gets
            continue;
        Reset(*db);
        bestBatched = std::min(bestBatched, BareBatched(*db));
        if (db->Scalar(QStringLiteral("SELECT SUM(ordered_qty) FROM plan_entries")).toDouble() !=
            40.0 * kLines)
            throw Error(QStringLiteral("the batched writes did not write what they should"));
    }
    std::printf("%s: push of %d lines %.1f ms (%.0f lines/s); bare prepared writes of the same rows %.1f ms;"
                " ratio %.2f\n",
                name, kLines, best, kLines / best * 1000, bestBare, best / bestBare);
    if (!db->IsSQLite())
        std::printf("%s: bare batched writes of the same rows (%d rows a statement) %.1f ms; push ratio %.2f"
                    " (target 2.0)\n",
                    name, kBatch, bestBatched, best / bestBatched);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        const QString path = QDir::temp().filePath(QStringLiteral("zpp_bench_push.db"));
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
        Run("SQLite", path);
        const QString server =
            argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString::fromLocal8Bit(qgetenv("ZPP_TEST_PG_URL"));
        if (!server.isEmpty()) {
            const QString name = QStringLiteral("zpp_bench_push_%1").arg(QCoreApplication::applicationPid());
            Run("PostgreSQL", store::PostgresDatabase(server, name));
            store::PostgresDatabase(server, name, true);
        } else {
            std::printf("PostgreSQL: skipped (give a server URL as the argument or in ZPP_TEST_PG_URL)\n");
        }
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
