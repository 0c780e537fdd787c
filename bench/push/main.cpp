// A push of 5,000 lines (one transaction: orders, lines, line sources, ordered quantities, with
// every entry locked and read again) beside bare writes of the same rows in one transaction:
// prepared statements one row each, and multi-row statements. SQLite always; PostgreSQL when a server URL is
// given as the argument or in $ZPP_TEST_PG_URL (a database of its own is created there and dropped
// afterwards).
// With --lines N instead: one push of N lines handed over as a grid does, rows made on demand and
// never records until asked, with its time and the peak resident memory it adds.
#include "bench/support/Memory.h"
#include "platform/records/Values.h"
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

QString PlanBillNo(int plan) {
    return QStringLiteral("CGJY%1").arg(plan, 6, 10, QChar(u'0'));
}

void Seed(const store::Store& db, int lines = kLines) {
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
        for (int n = 0; n < lines; ++n) {
            const int plan = n / kPerPlan + 1, e = n % kPerPlan + 1;
            if (e == 1)
                db.Exec(
                    QStringLiteral(
                        "INSERT INTO purchase_plans (id, bill_no, bill_date) VALUES (?, ?, '2024-05-01')"),
                    {plan, PlanBillNo(plan)});
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

// Push lines as the list hands a ticked grid over: each value made when read, typed as the grid
// keeps it (ids and numbers as numbers, dates as display text), and no line a record until asked.
class GridLines : public RowSource {
public:
    explicit GridLines(int lines) : m_lines(lines) {
        auto keys = std::make_shared<KeySet>();
        for (const char* key : {"FInterID",  "FEntryID",      "FItemID",       "FUnitID",     "FAuxPropID",
                                "FSupplyID", "FSupplyNumber", "FSupplyName",   "FItemNumber", "FItemName",
                                "FPushQty",  "FPrice",        "FDiscountRate", "FTaxRate",    "FFinishDate",
                                "FMemo",     "FBillNo",       "FIsMerge",      "Row",         "EntryDataVct"})
            keys->Append(QString::fromLatin1(key));
        m_keys = std::move(keys);
        for (int s = 1; s <= kSuppliers; ++s) {
            m_supplierCodes << QStringLiteral("01.%1").arg(s, 3, 10, QChar(u'0'));
            m_supplierNames << QStringLiteral("供应商%1").arg(s);
        }
        for (int i = 1; i <= kItems; ++i) {
            m_itemCodes << QStringLiteral("1.01.%1").arg(i, 3, 10, QChar(u'0'));
            m_itemNames << QStringLiteral("物料%1").arg(i);
        }
        for (int plan = 1; plan <= (lines - 1) / kPerPlan + 1; ++plan)
            m_billNos << PlanBillNo(plan);
    }
    int Rows() const override { return m_lines; }
    const std::shared_ptr<const KeySet>& Keys() const override { return m_keys; }
    QVariant Value(int n, int field) const override {
        switch (field) {
        case 0:
            return n / kPerPlan + 1;
        case 1:
            return n % kPerPlan + 1;
        case 2:
            return n % kItems + 1;
        case 3:
            return 1;
        case 4:
            return 0;
        case 5:
            return n % kSuppliers + 1;
        case 6:
            return m_supplierCodes[n % kSuppliers];
        case 7:
            return m_supplierNames[n % kSuppliers];
        case 8:
            return m_itemCodes[n % kItems];
        case 9:
            return m_itemNames[n % kItems];
        case 10:
            return 40.0;
        case 11:
            return 2.5;
        case 12:
            return 0.0;
        case 13:
            return 13.0;
        case 14:
            return values::DisplayDate(QDate(2024, 6, 1).addDays(n % 30));
        case 15:
            return QString();
        case 16:
            return m_billNos[n / kPerPlan];
        case 17:
            return 0;
        case 18:
            return n + 1;
        default:
            return {}; // no members: no line is merged
        }
    }

private:
    int m_lines;
    std::shared_ptr<const KeySet> m_keys;
    QStringList m_supplierCodes, m_supplierNames, m_itemCodes, m_itemNames, m_billNos;
};

// Forgets the peak resident figure, so the next VmHWM is the peak of what runs after.
void ResetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void RunLines(const char* name, const QString& location, int lines) {
    store::StorePtr db = store::Store::Open(location);
    QElapsedTimer seeding;
    seeding.start();
    Seed(*db, lines);
    std::printf("%s: %d entries seeded in %.1f s\n", name, lines, double(seeding.nsecsElapsed()) / 1e9);
    auto session = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")));
    RecordListPtr list = RecordList::Over(std::make_shared<GridLines>(lines));
    QString ids;
    QDate date(2024, 5, 20);
    services::PurchasePlanUpdateService service(session);
    const long before = bench::ProcStatusKb("VmRSS:");
    ResetPeak();
    QElapsedTimer t;
    t.start();
    RecordListPtr created = service.PushBill(QString(), list, 1, ids, date);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    const double peakMb = (bench::ProcStatusKb("VmHWM:") - before) / 1024.0;
    if (!created || created->Count() != kSuppliers ||
        db->Scalar(QStringLiteral("SELECT COUNT(*) FROM purchase_order_line_sources")).toInt() != lines ||
        db->Scalar(QStringLiteral("SELECT SUM(ordered_qty) FROM plan_entries")).toDouble() != 40.0 * lines)
        throw Error(QStringLiteral("the push did not write what it should"));
    std::printf("%s: push of %d lines %.1f s (%.0f lines/s); peak resident %.0f MB above the state before it"
                " (%.0f bytes a line; target 300 MB)\n",
                name, lines, seconds, lines / seconds, peakMb, peakMb * 1024 * 1024 / lines);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        QStringList args = app.arguments().mid(1);
        int lines = 0;
        if (const qsizetype at = args.indexOf(QStringLiteral("--lines")); at >= 0) {
            lines = args.value(at + 1).toInt();
            if (lines < kSuppliers) {
                std::fprintf(stderr, "--lines takes a number of at least %d\n", kSuppliers);
                return 2;
            }
            args.remove(at, 2);
        }
        const QString path = QDir::temp().filePath(QStringLiteral("zpp_bench_push.db"));
        auto clean = [&] {
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(path + QLatin1String(suffix));
        };
        clean();
        if (lines > 0)
            RunLines("SQLite", path, lines);
        else
            Run("SQLite", path);
        clean();
        const QString server =
            !args.isEmpty() ? args.first() : QString::fromLocal8Bit(qgetenv("ZPP_TEST_PG_URL"));
        if (!server.isEmpty()) {
            const QString name = QStringLiteral("zpp_bench_push_%1").arg(QCoreApplication::applicationPid());
            if (lines > 0)
                RunLines("PostgreSQL", store::PostgresDatabase(server, name), lines);
            else
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
