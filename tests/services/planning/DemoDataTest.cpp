#include "services/demo/DemoData.h"
#include "PlanFixture.h"
#include "services/planning/MrpDataService.h"
#include "services/planning/PurchasePlanInfoService.h"

using namespace zpp;
using namespace zpp::test;

// A demo store a user can work with today: every ordered quantity backed by order lines of the
// entries' supplier, pushable entries of today, closed and partly ordered ones, suppliers closed
// to buyer, entries priced from today's list, and pushes continuing the demo's order numbers.
TEST(DemoData, FillsAStoreAUserCanWorkWithToday) {
    store::StorePtr db = store::GenerateStore(NewSQLitePath(), store::kDefaultDemoEntries);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const int orders = db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt();
    const struct {
        const char* Sql;
        int AtLeast, AtMost;
    } counts[] = {
        {"SELECT COUNT(*) FROM plan_entries", store::kDefaultDemoEntries, store::kDefaultDemoEntries},
        {"SELECT COUNT(*) FROM plan_entries WHERE ordered_qty > qty", 0, 0},
        {"SELECT COUNT(*) FROM plan_entries e LEFT JOIN (SELECT plan_id, entry_id, SUM(qty) AS q"
         " FROM purchase_order_line_sources GROUP BY plan_id, entry_id) s"
         " ON s.plan_id = e.plan_id AND s.entry_id = e.entry_id WHERE ABS(e.ordered_qty - COALESCE(s.q, 0)) "
         "> 1e-9",
         0, 0},
        // Lines carry exactly what their sources took, for the supplier and item of those entries.
        {"SELECT COUNT(*) FROM purchase_order_lines l JOIN purchase_orders o ON o.id = l.order_id"
         " JOIN purchase_order_line_sources s ON s.order_id = l.order_id AND s.line_no = l.line_no"
         " JOIN plan_entries e ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id"
         " WHERE s.qty <> l.qty OR e.supplier_id <> o.supplier_id OR e.item_id <> l.item_id",
         0, 0},
        {"SELECT COUNT(*) FROM purchase_order_lines l WHERE NOT EXISTS (SELECT 1 FROM"
         " purchase_order_line_sources s WHERE s.order_id = l.order_id AND s.line_no = l.line_no)",
         0, 0},
        // Each entry names its MRP run for its whole quantity; most also the sales order behind it.
        {"SELECT COUNT(*) FROM plan_entries e WHERE NOT EXISTS (SELECT 1 FROM plan_entry_sources s"
         " WHERE s.plan_id = e.plan_id AND s.entry_id = e.entry_id AND s.source_type = 'MRP'"
         " AND s.qty = e.qty AND s.source_date = e.entry_date)",
         0, 0},
        {"SELECT COUNT(*) FROM plan_entry_sources s JOIN plan_entries e ON e.plan_id = s.plan_id"
         " AND e.entry_id = s.entry_id WHERE s.source_type = 'SO' AND s.source_no = e.source_no"
         " AND s.source_date < e.entry_date",
         300, 400},
        {"SELECT COUNT(*) FROM plan_entries WHERE ordered_qty > 0", 60, 400},
        {"SELECT COUNT(*) FROM plan_entries WHERE close_mark <> ''", 11, 1000},
        {"SELECT COUNT(*) FROM plan_entries WHERE close_mark = '' AND ordered_qty > 0 AND unordered_qty > 0",
         11, 1000},
        {"SELECT COUNT(*) FROM plan_entries WHERE supplier_id IS NULL", 1, 1000},
        {"SELECT COUNT(*) FROM purchase_plans", 4, 1000},
        {"SELECT COUNT(*) FROM purchase_orders WHERE closed = 1", 1, 1000},
        {"SELECT COUNT(*) FROM purchase_orders WHERE closed = 0", 1, 1000},
        {"SELECT COUNT(*) FROM suppliers WHERE credit_line <= 5000 AND credit_control = '3'", 1, 1000},
        {"SELECT last_no FROM bill_counters WHERE kind = 'POOrder'", orders, orders},
    };
    for (const auto& c : counts) {
        const int n = db->Scalar(QString::fromUtf8(c.Sql)).toInt();
        EXPECT_TRUE(n >= c.AtLeast && n <= c.AtMost) << n << ": " << c.Sql;
    }
    EXPECT_EQ(db->Scalar("SELECT MAX(bill_no) FROM purchase_orders").toString(),
              QString("POORD%1").arg(orders, 6, 10, QChar('0')));
    EXPECT_GE(db->Scalar("SELECT COUNT(*) FROM plan_entries WHERE entry_date = ? AND ordered_qty = 0"
                         " AND close_mark = '' AND supplier_id IS NOT NULL",
                         {today})
                  .toInt(),
              30);

    // Today's open list holds rows to merge: several of one item, aux prop and supplier.
    auto admin = std::make_shared<store::Session>(store::LogIn(db, "admin"));
    services::PurchasePlanInfoService info(admin);
    RecordPtr c = Conditions(today, today, "", "", "", "", 1);
    QString bill;
    const RecordListPtr rows = info.GetRptData({}, c, "2", bill);
    EXPECT_GE(rows->Count(), 24);
    EXPECT_LE(rows->Count(), 150);
    QHash<QString, int> groups;
    for (const RecordPtr& r : *rows)
        ++groups[r->Text("FItemID") + "|" + r->Text("FAuxPropID") + "|" + r->Text("FSupplyID")];
    EXPECT_GE(std::count_if(groups.begin(), groups.end(), [](int n) { return n > 1; }), 3);

    // Entries carry the price their supplier lists today, and some suppliers are closed to buyer.
    services::MrpDataService mrp(std::make_shared<store::Session>(store::LogIn(db, "buyer")));
    int refused = 0;
    QSqlQuery q = db->Exec("SELECT DISTINCT e.supplier_id, e.item_id, e.price, s.code FROM plan_entries e"
                           " JOIN suppliers s ON s.id = e.supplier_id");
    QVector<std::tuple<int, int, double, QString>> used;
    while (q.next())
        used.push_back(
            {q.value(0).toInt(), q.value(1).toInt(), q.value(2).toDouble(), q.value(3).toString()});
    for (auto [supplier, item, price, code] : used) {
        EXPECT_DOUBLE_EQ(info.GetPurchasePlanPrice({}, supplier, item, 1), price) << supplier << " " << item;
        refused += mrp.IsSupplierright({}, code, "2") ? 0 : 1;
    }
    EXPECT_GT(refused, 0);
}
