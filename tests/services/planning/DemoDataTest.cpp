#include "services/demo/DemoData.h"
#include "PlanFixture.h"
#include "services/planning/MrpDataService.h"
#include "services/planning/PurchasePlanInfoService.h"

using namespace zpp;
using namespace zpp::test;

TEST(DemoData, FillsAStoreAUserCanWorkWithToday) {
    store::StorePtr db = store::GenerateStore(NewSQLitePath(), store::kDefaultDemoEntries);
    auto buyer = std::make_shared<store::Session>(store::LogIn(db, "buyer"));
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM plan_entries").toInt(), store::kDefaultDemoEntries);

    services::PurchasePlanInfoService info(buyer);
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
