#include "PlanFixture.h"

#include <tuple>

namespace zpp::test {

bool PlanStoreTest::Open() {
    const QString location = NewStoreLocation(GetParam());
    if (location.isEmpty())
        return false;
    db = store::Store::Open(location);
    // Here buyer also holds the price right: these tests are about what the services do with
    // prices; withholding them is the rights suite's.
    db->Exec(QStringLiteral("UPDATE user_rights SET granted_mask = granted_mask | 4"
                            " WHERE user_id = (SELECT id FROM users WHERE name = 'buyer')"));
    admin = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")));
    buyer = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("buyer")));
    return true;
}

void AddPlan(const store::Store& db, int id, const QString& billNo, const QString& date) {
    db.Exec(QStringLiteral("INSERT INTO purchase_plans (id, bill_no, bill_date) VALUES (?, ?, ?)"),
            {id, billNo, date});
}

void AddEntry(const store::Store& db, int plan, int entry, const QString& date, int item, int supplier,
              double qty, double ordered, const QString& close) {
    db.Exec(QStringLiteral(
                "INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, aux_prop_id,"
                " supplier_id, qty, ordered_qty, unordered_qty, push_qty, price, tax_rate, finish_date,"
                " start_date, memo, source_no, close_mark)"
                " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 12.5, 13, '2024-06-01', ?, 'm''o', 'XSDD1', ?)"),
            {plan, entry, date, item, item == 3 ? QVariant(1) : QVariant(QMetaType::fromType<int>()),
             supplier ? QVariant(supplier) : QVariant(QMetaType::fromType<int>()), qty, ordered,
             qty - ordered, qty - ordered, date, close.isNull() ? QStringLiteral("") : close});
}

void SeedPlans(const store::Store& db) {
    // One transaction: PostgreSQL checks at commit that what the entries have ordered is what
    // their order lines took, and the orders are written after the entries.
    db.InTransaction([&] { SeedPlansInTransaction(db); });
}

void SeedPlansInTransaction(const store::Store& db) {
    db.Exec(QStringLiteral("INSERT INTO units (id, name) VALUES (1, '个'), (2, '千克')"));
    db.Exec(QStringLiteral("INSERT INTO aux_props (id, name) VALUES (1, '红色')"));
    db.Exec(QStringLiteral(
        "INSERT INTO items (id, code, name, model, unit_id, qty_decimals, price_decimals) VALUES"
        " (1, '1.01.001', '冷轧钢板', '1.0mm', 2, 2, 4), (2, '1.01.002', '镀锌钢板', '', 2, 3, 2),"
        " (3, '1.02.001', '贴片电阻', '0603', 1, 0, 4)"));
    db.Exec(
        QStringLiteral("INSERT INTO suppliers (id, code, name, tax_rate, credit_line, credit_control) VALUES"
                       " (1, '01.001', '上海宏达五金有限公司', 13, NULL, ''),"
                       " (2, '01.0''2', '苏州恒信电子科技有限公司', 9, 5000, '3')"));
    AddPlan(db, 10, QStringLiteral("CGJY000010"), QStringLiteral("2024-05-01"));
    AddPlan(db, 11, QStringLiteral("CGJY000011"), QStringLiteral("2024-05-02"));
    AddPlan(db, 12, QStringLiteral("CGJY000009"), QStringLiteral("2024-05-02"));
    AddEntry(db, 10, 1, QStringLiteral("2024-05-01"), 1, 1, 100.25);
    AddEntry(db, 10, 2, QStringLiteral("2024-05-01"), 3, 2, 50, 20);
    AddEntry(db, 10, 3, QStringLiteral("2024-05-03"), 2, 0, 7, 0, QStringLiteral("Y"));
    AddEntry(db, 11, 2, QStringLiteral("2024-05-02"), 2, 1, 5, 5, QStringLiteral("Y"));
    AddEntry(db, 11, 1, QStringLiteral("2024-05-02"), 1, 1);
    AddEntry(db, 12, 1, QStringLiteral("2024-05-02"), 3, 2);
    // The orders behind what 10_2 (20) and 11_2 (5) have ordered already, delivered.
    db.Exec("INSERT INTO purchase_orders (bill_no, bill_date, supplier_id, created_at, closed) VALUES"
            " ('OLD1', '2024-05-02', 2, 'x', 1), ('OLD2', '2024-05-03', 1, 'x', 1)");
    for (auto [bill, plan, entry, item, qty] :
         {std::tuple{"OLD1", 10, 2, 3, 20}, std::tuple{"OLD2", 11, 2, 2, 5}}) {
        const QVariant order = db.Scalar("SELECT id FROM purchase_orders WHERE bill_no = ?", {QString(bill)});
        db.Exec("INSERT INTO purchase_order_lines (order_id, line_no, item_id, unit_id, qty) VALUES (?, 1, "
                "?, 1, ?)",
                {order, item, qty});
        db.Exec("INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id, qty)"
                " VALUES (?, 1, ?, ?, ?)",
                {order, plan, entry, qty});
    }
}

} // namespace zpp::test
