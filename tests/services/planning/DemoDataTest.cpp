#include "services/demo/DemoData.h"
#include "PlanFixture.h"
#include "services/planning/MrpDataService.h"
#include "services/planning/PurchasePlanInfoService.h"

using namespace zpp;
using namespace zpp::test;

TEST(DemoData, FillsAStoreAUserCanWorkWithToday) {
    store::StorePtr db = store::GenerateStore(NewSQLitePath(), store::kDefaultDemoEntries);
    auto buyer = std::make_shared<store::Session>(store::LogIn(db, "buyer"));
    auto admin = std::make_shared<store::Session>(store::LogIn(db, "admin"));
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM plan_entries").toInt(), store::kDefaultDemoEntries);

    services::PurchasePlanInfoService info(admin);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    RecordPtr c = Conditions(today, today, "", "", "", "", 1);
    QString bill;
    const RecordListPtr rows = info.GetRptData({}, c, "2", bill);
    EXPECT_GE(rows->Count(), 24);
    EXPECT_LE(rows->Count(), 150);
    QHash<QString, int> groups;
    for (const RecordPtr& r : *rows)
        ++groups[r->Text("FItemID") + "|" + r->Text("FAuxPropID") + "|" + r->Text("FSupplyID")];
    EXPECT_GE(std::count_if(groups.begin(), groups.end(), [](int n) { return n > 1; }), 3);

    EXPECT_GT(db->Scalar("SELECT COUNT(*) FROM plan_entries WHERE close_mark <> ''").toInt(), 10);
    EXPECT_GT(db->Scalar("SELECT COUNT(*) FROM plan_entries WHERE close_mark = '' AND ordered_qty > 0"
                         " AND unordered_qty > 0")
                  .toInt(),
              10);
    EXPECT_GT(db->Scalar("SELECT COUNT(*) FROM plan_entries WHERE supplier_id IS NULL").toInt(), 0);
    EXPECT_GT(db->Scalar("SELECT COUNT(*) FROM purchase_plans").toInt(), 3);
    EXPECT_GT(db->Scalar("SELECT COUNT(*) FROM suppliers WHERE credit_line <= 5000 AND credit_control = '3'")
                  .toInt(),
              0);

    // Entries carry the price their supplier lists today, and some suppliers are closed to buyer.
    services::MrpDataService mrp(buyer);
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

// Every ordered quantity is backed by order lines, and the first plans are today's and untouched.
TEST(DemoData, OrderedQuantitiesComeFromRealOrders) {
    store::StorePtr db = store::GenerateStore(NewSQLitePath(), 2000);
    auto count = [&](const char* sql) { return db->Scalar(QString::fromUtf8(sql)).toInt(); };
    EXPECT_EQ(count("SELECT COUNT(*) FROM plan_entries WHERE ordered_qty > qty"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM plan_entries e LEFT JOIN (SELECT plan_id, entry_id, SUM(qty) AS q"
                    " FROM purchase_order_line_sources GROUP BY plan_id, entry_id) s"
                    " ON s.plan_id = e.plan_id AND s.entry_id = e.entry_id"
                    " WHERE ABS(e.ordered_qty - COALESCE(s.q, 0)) > 1e-9"),
              0);
    EXPECT_GT(count("SELECT COUNT(*) FROM plan_entries WHERE ordered_qty > 0"), 300);
    // Lines carry exactly what their sources took, for the supplier of those entries.
    EXPECT_EQ(count("SELECT COUNT(*) FROM purchase_order_lines l JOIN purchase_orders o ON o.id = l.order_id"
                    " JOIN purchase_order_line_sources s ON s.order_id = l.order_id AND s.line_no = l.line_no"
                    " JOIN plan_entries e ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id"
                    " WHERE s.qty <> l.qty OR e.supplier_id <> o.supplier_id OR e.item_id <> l.item_id"),
              0);
    EXPECT_EQ(
        count("SELECT COUNT(*) FROM purchase_order_lines l WHERE NOT EXISTS (SELECT 1 FROM"
              " purchase_order_line_sources s WHERE s.order_id = l.order_id AND s.line_no = l.line_no)"),
        0);
    EXPECT_GT(count("SELECT COUNT(*) FROM purchase_orders WHERE closed = 1"), 0);
    EXPECT_GT(count("SELECT COUNT(*) FROM purchase_orders WHERE closed = 0"), 0);
    // Pushes continue the demo's numbers.
    const int orders = count("SELECT COUNT(*) FROM purchase_orders");
    EXPECT_EQ(count("SELECT last_no FROM bill_counters WHERE kind = 'POOrder'"), orders);
    EXPECT_EQ(db->Scalar("SELECT MAX(bill_no) FROM purchase_orders").toString(),
              QString("POORD%1").arg(orders, 6, 10, QChar('0')));

    const QString today = QDate::currentDate().toString(Qt::ISODate);
    EXPECT_GE(db->Scalar("SELECT COUNT(*) FROM plan_entries WHERE entry_date = ? AND ordered_qty = 0"
                         " AND close_mark = '' AND supplier_id IS NOT NULL",
                         {today})
                  .toInt(),
              60);

    // Each entry names its MRP run for its whole quantity; most also the sales order behind it.
    EXPECT_EQ(count("SELECT COUNT(*) FROM plan_entries e WHERE NOT EXISTS (SELECT 1 FROM plan_entry_sources s"
                    " WHERE s.plan_id = e.plan_id AND s.entry_id = e.entry_id AND s.source_type = 'MRP'"
                    " AND s.qty = e.qty AND s.source_date = e.entry_date)"),
              0);
    EXPECT_GT(
        count("SELECT COUNT(*) FROM plan_entry_sources s JOIN plan_entries e"
              " ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id"
              " WHERE s.source_type = 'SO' AND s.source_no = e.source_no AND s.source_date < e.entry_date"),
        1500);
}
