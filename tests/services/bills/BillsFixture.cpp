#include "BillsFixture.h"

#include "services/store/DatabaseRoles.h"

#include <QUrl>

namespace zpp::test {

void BillsTest::Seed() {
    const char* const seed[] = {
        "INSERT INTO units (id, name) VALUES (1, '个'), (2, '箱')",
        "INSERT INTO items (id, code, name, unit_id, qty_decimals, price_decimals) VALUES"
        " (1, '01.001', '六角螺栓', 1, 2, 2), (2, '01.002', '六角螺母', 1, 0, 3)",
        "INSERT INTO suppliers (id, code, name) VALUES (1, '01.001', '上海宏达五金有限公司'),"
        " (2, '01.002', '苏州恒信电子科技有限公司')",
        "INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from) VALUES"
        " (1, 1, 1, 10, '2024-01-01'), (1, 1, 1, 99, '2999-01-01')",
        "INSERT INTO purchase_plans (id, bill_no, bill_date, created_by) VALUES (1, 'PP001', "
        "'2024-05-01', 1)",
        "INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, supplier_id, qty, ordered_qty,"
        " unordered_qty, push_qty) VALUES (1, 1, '2024-05-01', 1, 1, 50, 20, 30, 30),"
        " (1, 2, '2024-05-01', 1, 1, 10, 10, 0, 0), (1, 3, '2024-05-01', 2, 1, 4, 4, 0, 0),"
        " (1, 4, '2024-05-01', 2, 2, 7, 0, 7, 7)",
        "INSERT INTO purchase_orders (id, bill_no, bill_date, supplier_id, created_by, created_at, "
        "closed)"
        " VALUES (1, 'PO001', '2024-05-10', 1, 1, '2024-05-10 09:00:00', 0),"
        " (2, 'PO002', '2024-05-11', 1, 1, '2024-05-11 09:00:00', 1)",
        "INSERT INTO purchase_order_lines (order_id, line_no, item_id, unit_id, qty, price, tax_rate,"
        " finish_date) VALUES (1, 1, 1, 1, 30, 10, 13, '2024-05-20'), (1, 2, 2, 1, 5, 2.5, 13, "
        "'2024-05-20'),"
        " (2, 1, 2, 1, 4, 3, 13, '2024-05-21')",
        "INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id, qty) VALUES"
        " (1, 1, 1, 1, 20), (1, 1, 1, 2, 10), (2, 1, 1, 3, 4)",
    };
    for (const char* sql : seed)
        db->Exec(QString::fromUtf8(sql));
}

store::SessionPtr BillsTest::SessionAs(const QString& user) const {
    return OwnRoleSession(db, location, user);
}

double BillsTest::LineQty(int orderId, int lineNo) const {
    return db
        ->Scalar("SELECT qty FROM purchase_order_lines WHERE order_id = ? AND line_no = ?", {orderId, lineNo})
        .toDouble();
}

double BillsTest::LinePrice() const {
    return db->Scalar("SELECT price FROM purchase_order_lines WHERE order_id = 1 AND line_no = 1").toDouble();
}

double BillsTest::Ordered(int entryId) const {
    return db->Scalar("SELECT ordered_qty FROM plan_entries WHERE plan_id = 1 AND entry_id = ?", {entryId})
        .toDouble();
}

} // namespace zpp::test
