#pragma once

#include "services/store/Store.h"

#include <QString>
#include <atomic>

namespace zpp::test {

// Orders qty of a plan entry as another user's push would: an order with one line taking it
// from the entry, and the entry's ordered quantity raised to match, so the store's rule that an
// entry's ordered quantity is what its order lines took still holds. Runs inside the caller's
// transaction (PostgreSQL checks the rule at commit).
inline void OrderElsewhere(const store::Store& db, int plan, int entry, double qty) {
    static std::atomic<int> orders = 0;
    const QString billNo = QStringLiteral("ELSEWHERE%1").arg(++orders);
    // Stores seeded with numbered orders leave PostgreSQL's sequence behind them.
    if (!db.IsSQLite())
        db.Exec("SELECT setval(pg_get_serial_sequence('purchase_orders', 'id'),"
                " (SELECT COALESCE(MAX(id), 0) + 1 FROM purchase_orders), false)");
    db.Exec("INSERT INTO purchase_orders (bill_no, bill_date, supplier_id, created_at)"
            " SELECT ?, entry_date, COALESCE(supplier_id, (SELECT MIN(id) FROM suppliers)), 'x'"
            " FROM plan_entries WHERE plan_id = ? AND entry_id = ?",
            {billNo, plan, entry});
    const QVariant order = db.Scalar("SELECT id FROM purchase_orders WHERE bill_no = ?", {billNo});
    db.Exec("INSERT INTO purchase_order_lines (order_id, line_no, item_id, unit_id, qty)"
            " SELECT ?, 1, e.item_id, i.unit_id, ? FROM plan_entries e JOIN items i ON i.id = e.item_id"
            " WHERE e.plan_id = ? AND e.entry_id = ?",
            {order, qty, plan, entry});
    db.Exec("INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id, qty)"
            " VALUES (?, 1, ?, ?, ?)",
            {order, plan, entry, qty});
    db.Exec("UPDATE plan_entries SET ordered_qty = ordered_qty + ?, unordered_qty = qty - ordered_qty - ?,"
            " push_qty = CASE WHEN qty - ordered_qty - ? > 0 THEN qty - ordered_qty - ? ELSE 0 END,"
            " row_version = row_version + 1 WHERE plan_id = ? AND entry_id = ?",
            {qty, qty, qty, qty, plan, entry});
}

} // namespace zpp::test
