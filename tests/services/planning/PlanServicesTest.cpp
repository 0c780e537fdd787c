#include "PlanFixture.h"
#include "platform/records/Values.h"
#include "services/planning/MrpDataService.h"
#include "services/planning/PriceService.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/profile/UserProfileService.h"

#include <cmath>
#include <limits>

using namespace zpp;
using namespace zpp::test;

using PlanServicesTest = PlanStoreTest;

namespace {
QString Day(int offset) {
    return values::DisplayDate(QDate::currentDate().addDays(offset));
}
} // namespace

TEST_P(PlanServicesTest, BillDatesSupplierIdsAndCurrentPrices) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    services::PurchasePlanInfoService info(admin);
    QString bill = "CGJY000011", unknown = "' OR 1=1 --";
    EXPECT_EQ(info.GetBillDate({}, bill), "2024-05-02");
    EXPECT_EQ(info.GetBillDate({}, unknown), "");

    double tax = -1;
    QString code = "01.0'2";
    EXPECT_EQ(info.GetSupplierID({}, code, tax), 2);
    EXPECT_DOUBLE_EQ(tax, 9);
    QString doubled = "01.0''2", missing = "nobody";
    EXPECT_EQ(info.GetSupplierID({}, doubled, tax), 0);
    EXPECT_DOUBLE_EQ(tax, 0);
    EXPECT_EQ(info.GetSupplierID({}, missing, tax), 0);

    const QString sql = "INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from)"
                        " VALUES (?, ?, 2, ?, ?)";
    db->Exec(sql, {1, 1, 10.0, Day(-100)});
    db->Exec(sql, {1, 1, 11.5, Day(0)});
    db->Exec(sql, {1, 1, 99.0, Day(1)}); // announced, not valid yet
    db->Exec(sql, {2, 1, 8.0, Day(-5)});
    EXPECT_DOUBLE_EQ(info.GetPurchasePlanPrice({}, 1, 1, 10), 11.5);
    EXPECT_DOUBLE_EQ(info.GetPurchasePlanPrice({}, 2, 1, 10), 8.0);
    EXPECT_DOUBLE_EQ(info.GetPurchasePlanPrice({}, 2, 2, 10), 0);
    EXPECT_DOUBLE_EQ(info.GetPurchasePlanPrice({}, 0, 0, 0), 0);

    // The price service: today's list price in the request's unit, or with "UseLastPrice" 1 the
    // price of the supplier's newest order line for the item when there is one.
    services::PriceService prices(buyer);
    auto ask = [&](int supplier, const QString& item, int unit, int useLast) -> QString {
        RecordPtr request = KeyedRecord::Create();
        request->Set("SupplyID", supplier);
        request->Set("ItemID", item);
        request->Set("UnitID", QString::number(unit));
        request->Set("AuxQty", "10.00");
        request->Set("UseLastPrice", useLast);
        const RecordPtr a = prices.GetSupplyInfo({}, request);
        return a->Text("PriceSource") + ' ' + QString::number(a->Get("AuxPrice").toDouble());
    };
    EXPECT_EQ(ask(1, "1", 2, 0), "PriceList 11.5");
    EXPECT_EQ(ask(1, "1", 1, 0), "None 0");         // no list price in that unit
    EXPECT_EQ(ask(1, "1", 2, 1), "PriceList 11.5"); // nothing ordered yet
    const QString order = "INSERT INTO purchase_orders (id, bill_no, bill_date, supplier_id, created_at)"
                          " VALUES (?, ?, ?, ?, 'x')";
    const QString line = "INSERT INTO purchase_order_lines (order_id, line_no, item_id, unit_id, qty, price)"
                         " VALUES (?, 1, ?, 2, 5, ?)";
    db->Exec(order, {1, "PO1", "2024-02-01", 1});
    db->Exec(order, {2, "PO2", "2024-01-01", 1});
    db->Exec(order, {3, "PO3", "2024-03-01", 2});
    db->Exec(line, {1, 1, 10.75});
    db->Exec(line, {2, 1, 10.25});
    db->Exec(line, {3, 1, 5.0});
    EXPECT_EQ(ask(1, "1", 2, 1), "LastPrice 10.75");
    EXPECT_EQ(ask(1, "1", 2, 0), "PriceList 11.5");
    EXPECT_EQ(ask(2, "2", 2, 1), "None 0");
    EXPECT_EQ(ask(0, "1", 2, 1), "None 0");
    EXPECT_THROW(ask(1, "1.5", 2, 0), Error);
}

TEST_P(PlanServicesTest, SettingsSupplierNamesAndRights) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    db->Exec("INSERT INTO user_supplier_rights (user_id, supplier_code, may_use) VALUES (2, '01.0''2', 0)");
    services::MrpDataService mrp(buyer);
    EXPECT_EQ(mrp.GetSysInfo({}, "IC", "PrecisionOfDiscountRate"), "2");
    EXPECT_EQ(mrp.GetSysInfo({}, "IC", "Nothing"), "");

    QString code = "01.0'2", other = "01.001", unknown = "' OR 1=1 --";
    EXPECT_EQ(mrp.GetSupplierNameByNumber({}, code), "苏州恒信电子科技有限公司");
    EXPECT_EQ(mrp.GetSupplierNameByNumber({}, unknown), "");
    EXPECT_FALSE(mrp.IsSupplierright({}, code, "2"));
    EXPECT_FALSE(mrp.IsSupplierright({}, code, "")); // the log-in user
    EXPECT_TRUE(mrp.IsSupplierright({}, code, "1"));
    EXPECT_TRUE(mrp.IsSupplierright({}, other, "2"));
    EXPECT_FALSE(mrp.IsSupplierright({}, unknown, "1"));
    EXPECT_THROW(mrp.IsSupplierright({}, other, "99999"), Error);
}

TEST_P(PlanServicesTest, NewBillDateIsTodayOrTheUsersLastOrderDate) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    services::MrpDataService mrp(buyer);
    services::UserProfileService profile(buyer);
    bool today = false;
    EXPECT_EQ(mrp.GetNewBillDate(today), QDate::currentDate()); // no order yet
    EXPECT_EQ(profile.GetUserProfile({}, "NewBillDate", "NewBillDate"), "");

    const QString sql =
        "INSERT INTO purchase_orders (bill_no, bill_date, supplier_id, created_by, created_at)"
        " VALUES (?, ?, 1, ?, 'x')";
    db->Exec(sql, {"PO1", "2024-03-01", 2});
    db->Exec(sql, {"PO2", "2024-03-05", 2});
    db->Exec(sql, {"PO3", "2024-04-09", 1}); // another user's
    EXPECT_EQ(mrp.GetNewBillDate(today), QDate(2024, 3, 5));
    today = true;
    EXPECT_EQ(mrp.GetNewBillDate(today), QDate::currentDate());

    db->Exec("INSERT INTO user_profiles (user_id, section, key, value) VALUES (2, 'NewBillDate', "
             "'NewBillDate', '0')");
    EXPECT_EQ(profile.GetUserProfile({}, "NewBillDate", "NewBillDate"), "0");
    EXPECT_EQ(services::UserProfileService(admin).GetUserProfile({}, "NewBillDate", "NewBillDate"), "");
}

TEST_P(PlanServicesTest, StoreKeepsEntryQuantitiesConsistentAndFinite) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    const QString sql = "INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, qty, ordered_qty,"
                        " unordered_qty, push_qty) VALUES (11, ?, '2024-05-02', 1, ?, ?, ?, 0)";
    EXPECT_THROW(db->Exec(sql, {5, 10.0, 4.0, 5.0}), Error); // not yet ordered must be qty - ordered
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
        EXPECT_THROW(db->Exec(sql, {6, bad, 0.0, bad}), Error) << bad;
    EXPECT_THROW(
        db->Exec("INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, qty, ordered_qty,"
                 " unordered_qty) VALUES (11, 7, '2024-05-02', 77, 1, 0, 1)"),
        Error);                                                        // unknown item
    EXPECT_THROW(AddPlan(*db, 13, "CGJY000010", "2024-05-01"), Error); // plan numbers are unique
    EXPECT_THROW(db->Exec("UPDATE plan_entries SET entry_date = '2024-5-1' WHERE plan_id = 10"), Error);
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM plan_entries").toInt(), 6);
}

INSTANTIATE_TEST_SUITE_P(Stores, PlanServicesTest,
                         ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL), StoreKindName);
