#include "Reliability.h"
#include "support/RowTexts.h"

#include <QSqlQuery>
#include <cstdio>

namespace zpp::reliability {

using test::Rows;

bool Soak() {
    return qgetenv("ZPP_SOAK") == "1";
}

int Scaled(int bounded, int full) {
    return Soak() ? full : bounded;
}

QString StoreName(const store::Store& db) {
    return db.IsSQLite() ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL");
}

void Figure(const QString& store, const QString& caseName, const QString& name, const QVariant& value) {
    std::printf("FIGURE|%s|%s|%s|%s\n", qPrintable(store), qPrintable(caseName), qPrintable(name),
                qPrintable(value.toString()));
    std::fflush(stdout);
}

store::SessionPtr AdminSession(const QString& location) {
    return std::make_shared<store::Session>(
        store::LogIn(store::Store::Open(location), QStringLiteral("admin")));
}

QString Failure(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

QString Push(services::PurchasePlanUpdateService& service, RecordListPtr list) {
    QString ids;
    QDate date(2024, 5, 20);
    return Failure([&] { service.PushBill({}, list, 1, ids, date); });
}

void SeedMasterData(const store::Store& db) {
    db.Exec(QStringLiteral("INSERT INTO units (id, name) VALUES (1, '个')"));
    db.Exec(QStringLiteral("INSERT INTO items (id, code, name, unit_id, qty_decimals, price_decimals)"
                           " VALUES (1, 'R.001', '试验件', 1, 2, 4)"));
    for (int s = 1; s <= 4; ++s)
        db.Exec(QStringLiteral("INSERT INTO suppliers (id, code, name) VALUES (?, ?, ?)"),
                {s, QStringLiteral("R%1").arg(s), QStringLiteral("供应商%1").arg(s)});
}

int SupplierOf(int entry, int suppliers) {
    return 1 + (entry - 1) % suppliers;
}

void SeedPlan(const store::Store& db, int plan, int entries, double qty, int suppliers) {
    db.InTransaction([&] {
        db.Exec(
            QStringLiteral("INSERT INTO purchase_plans (id, bill_no, bill_date) VALUES (?, ?, '2024-05-01')"),
            {plan, QStringLiteral("RLJY%1").arg(plan, 6, 10, QChar(u'0'))});
        QSqlQuery insert = db.Prepare(QStringLiteral(
            "INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, supplier_id, qty, ordered_qty,"
            " unordered_qty, push_qty, price, tax_rate, finish_date, start_date, memo, source_no, close_mark)"
            " VALUES (?, ?, '2024-05-01', 1, ?, ?, 0, ?, ?, 2.5, 13, '2024-06-01', '2024-05-01', '', 'MRP1', "
            "'')"));
        for (int e = 1; e <= entries; ++e)
            db.Run(insert, {plan, e, SupplierOf(e, suppliers), qty, qty, qty});
    });
}

RecordPtr PushLine(int supplier, const QVector<Take>& takes) {
    auto r = KeyedRecord::Create();
    double sum = 0;
    auto members = RecordList::Create();
    for (const Take& t : takes) {
        sum += t.Qty;
        auto m = KeyedRecord::Create();
        m->Set(QStringLiteral("FInterID"), QString::number(t.Plan));
        m->Set(QStringLiteral("FEntryID"), QString::number(t.Entry));
        m->Set(QStringLiteral("FPushQty"), QString::number(t.Qty));
        members->Add(std::move(m));
    }
    const QStringList keys =
        QStringLiteral("FInterID FEntryID FSupplyID FPushQty FPrice FDiscountRate FTaxRate"
                       " FFinishDate FMemo FBillNo FIsMerge")
            .split(u' ');
    const QStringList values = QStringLiteral("%1|%2|%3|%4|2.5|0|13|2024-06-01|||%5")
                                   .arg(takes.front().Plan)
                                   .arg(takes.front().Entry)
                                   .arg(supplier)
                                   .arg(sum)
                                   .arg(takes.size() > 1 ? 1 : 0)
                                   .split(u'|');
    for (int i = 0; i < keys.size(); ++i)
        r->Set(keys[i], values[i]);
    if (takes.size() > 1)
        r->SetObject(QStringLiteral("EntryDataVct"), members);
    return r;
}

RecordListPtr CrashPush(int lines, const store::Store* seedInto) {
    constexpr int kEntries = 100, kSuppliers = 4;
    const int plans = (lines + kEntries - 1) / kEntries;
    if (seedInto) {
        SeedMasterData(*seedInto);
        for (int p = 0; p < plans; ++p)
            SeedPlan(*seedInto, 100 + p, kEntries, 10, kSuppliers);
    }
    auto list = RecordList::Create();
    for (int i = 0; i < lines; ++i) {
        const int plan = 100 + i / kEntries, entry = 1 + i % kEntries;
        QVector<Take> takes{{plan, entry, 3}};
        // The fold partner has the same supplier and is taken by a line of its own as well.
        if (i % 10 == 9)
            takes.push_back(
                {plan, entry + kSuppliers <= kEntries ? entry + kSuppliers : entry - kSuppliers, 2});
        list->Add(PushLine(SupplierOf(entry, kSuppliers), takes));
    }
    return list;
}

QString Snapshot(const store::Store& db) {
    QStringList parts;
    for (const char* sql :
         {"SELECT * FROM plan_entries ORDER BY plan_id, entry_id",
          "SELECT bill_no, bill_date, supplier_id, created_by FROM purchase_orders ORDER BY bill_no",
          "SELECT o.bill_no, l.line_no, l.item_id, l.qty, l.price FROM purchase_order_lines l"
          " JOIN purchase_orders o ON o.id = l.order_id ORDER BY o.bill_no, l.line_no",
          "SELECT o.bill_no, s.line_no, s.plan_id, s.entry_id, s.qty FROM purchase_order_line_sources s"
          " JOIN purchase_orders o ON o.id = s.order_id ORDER BY o.bill_no, s.line_no, s.plan_id, s.entry_id",
          "SELECT kind, last_no FROM bill_counters ORDER BY kind"})
        parts << Rows(db, QString::fromLatin1(sql));
    return parts.join(u'#');
}

QStringList Inconsistencies(const store::Store& db) {
    const std::pair<const char*, const char*> checks[] = {
        {"over-ordered entry",
         "SELECT plan_id, entry_id, qty, ordered_qty FROM plan_entries"
         " WHERE ordered_qty > qty + 1e-9 OR ABS(unordered_qty - (qty - ordered_qty)) > 1e-9"},
        {"entry whose sources do not add up",
         "SELECT e.plan_id, e.entry_id, e.ordered_qty, COALESCE(s.total, 0) FROM plan_entries e"
         " LEFT JOIN (SELECT plan_id, entry_id, SUM(qty) AS total FROM purchase_order_line_sources"
         " GROUP BY plan_id, entry_id) s ON s.plan_id = e.plan_id AND s.entry_id = e.entry_id"
         " WHERE ABS(e.ordered_qty - COALESCE(s.total, 0)) > 1e-6"},
        {"line whose sources do not add up",
         "SELECT l.order_id, l.line_no, l.qty, COALESCE(s.total, 0) FROM purchase_order_lines l"
         " LEFT JOIN (SELECT order_id, line_no, SUM(qty) AS total FROM purchase_order_line_sources"
         " GROUP BY order_id, line_no) s ON s.order_id = l.order_id AND s.line_no = l.line_no"
         " WHERE ABS(l.qty - COALESCE(s.total, 0)) > 1e-6"},
        {"order without lines", "SELECT o.bill_no FROM purchase_orders o WHERE NOT EXISTS"
                                " (SELECT 1 FROM purchase_order_lines l WHERE l.order_id = o.id)"},
        {"source without its line or entry",
         "SELECT s.order_id, s.line_no, s.plan_id, s.entry_id FROM purchase_order_line_sources s"
         " WHERE NOT EXISTS (SELECT 1 FROM purchase_order_lines l WHERE l.order_id = s.order_id AND"
         " l.line_no = s.line_no) OR NOT EXISTS (SELECT 1 FROM plan_entries e WHERE e.plan_id ="
         " s.plan_id AND e.entry_id = s.entry_id)"},
        {"bill counter behind its orders",
         "SELECT c.last_no, COUNT(o.id) FROM bill_counters c LEFT JOIN purchase_orders o ON o.bill_no LIKE"
         " 'POORD%' WHERE c.kind = 'POOrder' GROUP BY c.last_no HAVING COUNT(o.id) > c.last_no"},
        {"repeated bill number",
         "SELECT bill_no, COUNT(*) FROM purchase_orders GROUP BY bill_no HAVING COUNT(*) > 1"},
        // SQLite's own checks; PostgreSQL enforces both itself.
        {"integrity_check", db.IsSQLite() ? "PRAGMA integrity_check" : "SELECT 'ok'"},
        {"foreign_key_check", db.IsSQLite() ? "PRAGMA foreign_key_check" : "SELECT 1 WHERE 1 = 0"}};
    QStringList out;
    for (const auto& [what, sql] : checks)
        for (const QString& row : test::RowTexts(db, QString::fromLatin1(sql)))
            if (row != QLatin1String("ok"))
                out << QString::fromLatin1(what) + QStringLiteral(": ") + row;
    return out;
}

} // namespace zpp::reliability
