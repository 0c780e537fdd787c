#include "PlanFixture.h"
#include "component/host/Access.h"
#include "platform/records/Values.h"
#include "services/access/Rights.h"
#include "services/demo/DemoData.h"
#include "services/planning/HighPrice.h"
#include "services/planning/MrpDataService.h"
#include "services/planning/PriceService.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/profile/ProfileService.h"
#include "support/RecordLists.h"

#include <limits>

using namespace zpp;
using namespace zpp::test;

using PlanServicesTest = PlanStoreTest;

TEST_P(PlanServicesTest, BillDatesSupplierIdsAndCurrentPrices) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    services::PurchasePlanInfoService info(admin);
    QString bill = "CGJY000011", unknown = "' OR 1=1 --";
    EXPECT_EQ(info.GetBillDate({}, bill) + "|" + info.GetBillDate({}, unknown), "2024-05-02|");
    double tax = -1;
    QString code = "01.0'2";
    EXPECT_EQ(info.GetSupplierID({}, code, tax), 2);
    EXPECT_DOUBLE_EQ(tax, 9);

    // Today's list price in the request's unit (one announced for tomorrow is not valid yet), or
    // with "UseLastPrice" 1 the price of the supplier's newest order line for the item.
    const QString sql = "INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from)"
                        " VALUES (1, 1, 2, ?, ?)";
    for (const auto& [price, day] : {std::pair{10.0, -100}, {11.5, 0}, {99.0, 1}})
        db->Exec(sql, {price, values::DisplayDate(QDate::currentDate().addDays(day))});
    EXPECT_DOUBLE_EQ(info.GetPurchasePlanPrice({}, 1, 1, 10), 11.5);
    EXPECT_DOUBLE_EQ(info.GetPurchasePlanPrice({}, 2, 1, 10), 0);
    db->Exec(
        "INSERT INTO purchase_orders (id, bill_no, bill_date, supplier_id, created_at) VALUES"
        " (101, 'PO1', '2024-02-01', 1, 'x'), (102, 'PO2', '2024-01-01', 1, 'x'), (103, 'PO3', '2024-03-01', "
        "2, 'x')");
    db->Exec("INSERT INTO purchase_order_lines (order_id, line_no, item_id, unit_id, qty, price) VALUES"
             " (101, 1, 1, 2, 5, 10.75), (102, 1, 1, 2, 5, 10.25), (103, 1, 1, 2, 5, 5.0)");
    services::PriceService prices(buyer);
    QStringList answers;
    for (const auto& [item, unit, useLast] : {std::tuple{"1", 2, 1}, {"1", 2, 0}, {"1", 1, 0}}) {
        RecordPtr request = KeyedRecord::Create();
        for (const auto& [key, value] : {std::pair<const char*, QVariant>{"SupplyID", 1},
                                         {"ItemID", item},
                                         {"UnitID", QString::number(unit)},
                                         {"AuxQty", "10.00"},
                                         {"UseLastPrice", useLast}})
            request->Set(key, value);
        const RecordPtr a = prices.GetSupplyInfo({}, request);
        answers << a->Text("PriceSource") + ' ' + QString::number(a->Get("AuxPrice").toDouble());
    }
    // No list price in the request's unit: none.
    EXPECT_EQ(answers, QStringList({"LastPrice 10.75", "PriceList 11.5", "None 0"}));
}

TEST_P(PlanServicesTest, SettingsSupplierRightsAndNewBillDates) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    db->Exec("INSERT INTO user_supplier_rights (user_id, supplier_code, may_use) VALUES (2, '01.0''2', 0)");
    services::MrpDataService mrp(buyer);
    EXPECT_EQ(mrp.GetSysInfo({}, "IC", "PrecisionOfDiscountRate"), "2");
    QString code = "01.0'2", other = "01.001", unknown = "' OR 1=1 --";
    EXPECT_EQ(mrp.GetSupplierNameByNumber({}, code), "苏州恒信电子科技有限公司");
    QString mayUse; // for buyer (also as the log-in user) and admin
    for (const auto& [supplier, user] :
         {std::pair{&code, "2"}, {&code, ""}, {&code, "1"}, {&other, "2"}, {&unknown, "1"}})
        mayUse += mrp.IsSupplierright({}, *supplier, user) ? "1" : "0";
    EXPECT_EQ(mayUse, "00110");
    EXPECT_THROW(mrp.IsSupplierright({}, other, "99999"), Error);

    // A new order is dated today, or the date of the user's own last order.
    bool today = false;
    EXPECT_EQ(mrp.GetNewBillDate(today), QDate::currentDate()); // no order yet
    for (const auto& [no, date, user] :
         {std::tuple{"PO1", "2024-03-01", 2}, {"PO2", "2024-03-05", 2}, {"PO3", "2024-04-09", 1}})
        db->Exec("INSERT INTO purchase_orders (bill_no, bill_date, supplier_id, created_by, created_at)"
                 " VALUES (?, ?, 1, ?, 'x')",
                 {no, date, user});
    EXPECT_EQ(mrp.GetNewBillDate(today), QDate(2024, 3, 5));
    today = true;
    EXPECT_EQ(mrp.GetNewBillDate(today), QDate::currentDate());
}

TEST_P(PlanServicesTest, StoreKeepsEntryQuantitiesConsistentAndFinite) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    const QString sql = "INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, qty, ordered_qty,"
                        " unordered_qty, push_qty) VALUES (11, ?, '2024-05-02', ?, ?, ?, ?, 0)";
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    // Not yet ordered must be qty - ordered; no NaN or infinity; no unknown item.
    for (const QVariantList& bad : {QVariantList{5, 1, 10.0, 4.0, 5.0},
                                    {6, 1, nan, 0.0, nan},
                                    {6, 1, inf, 0.0, inf},
                                    {7, 77, 1.0, 0.0, 1.0}})
        EXPECT_THROW(db->Exec(sql, bad), Error) << bad[0].toInt();
    EXPECT_THROW(AddPlan(*db, 13, "CGJY000010", "2024-05-01"), Error); // plan numbers are unique
    EXPECT_THROW(db->Exec("UPDATE plan_entries SET entry_date = '2024-5-1' WHERE plan_id = 10"), Error);
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM plan_entries").toInt(), 6);
}

// The checks before a push read a list over a row source a row at a time and leave every row there
// (a whole plan ticked must not become records); without the price right, lines are judged at the
// prices their entries hold, asked a few hundred to a statement.
TEST_P(PlanServicesTest, PushChecksReadRowsInPlaceAndJudgeStoredPricesWithoutThePriceRight) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    // 700 entries of item 1 from supplier 2 (credit line 5000, forbid) at 12.5; since the list was
    // read, entry 650 was raised to 40. The price list allows 12.5 + 10 %.
    db->InTransaction([&] {
        AddPlan(*db, 1, "CGJY000001", "2024-05-10");
        for (int e = 1; e <= 700; ++e)
            AddEntry(*db, 1, e, "2024-05-10", 1, 2);
    });
    db->Exec("UPDATE plan_entries SET price = 40 WHERE plan_id = 1 AND entry_id = 650");
    db->Exec("INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from) VALUES"
             " (2, 1, 2, 12.5, '2024-01-01')");
    RecordListPtr list = RecordList::Create();
    for (int e = 1; e <= 700; ++e) {
        auto r = KeyedRecord::Create();
        for (const auto& [key, value] : {std::pair<const char*, QVariant>{"FInterID", 1},
                                         {"FEntryID", e},
                                         {"FSupplyID", "2"},
                                         {"FItemID", 1},
                                         {"FUnitID", 2},
                                         {"FPushQty", "1"},
                                         {"FPrice", "12.5"}})
            r->Set(key, value);
        list->Add(r);
    }
    list = SourceListOf(list);
    auto judged = [&](const store::SessionPtr& session) {
        const bool prices = services::Holds(*session, rights::Price);
        QStringList out;
        for (const auto& l : services::FindHighPriceLines(*db, list, QDate(2024, 6, 1), !prices))
            out << QString("%1 at %2 over %3").arg(l.Position).arg(l.Price).arg(l.Allowed);
        QString control, suppliers;
        out << QString::number(
                   services::MrpDataService(session).CheckCreditDegrees({}, list, control, suppliers))
            << control << suppliers;
        return out.join(" / ");
    };
    EXPECT_EQ(judged(admin),
              "0 / 3 / 供应商 01.0'2 苏州恒信电子科技有限公司：信用额度 5000.00，未结金额 8750.00");
    db->Exec("UPDATE user_rights SET granted_mask = granted_mask & ~4 WHERE user_id = ?", {buyer->UserId});
    EXPECT_EQ(judged(buyer), "650 at 40 over 13.75 / 0 / 3 / 供应商 01.0'2 "
                             "苏州恒信电子科技有限公司：信用额度 5000.00，未结金额 8777.50");
    EXPECT_TRUE(RowsStayInSource(*list));
}

INSTANTIATE_TEST_SUITE_P(Stores, PlanServicesTest,
                         ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL), StoreKindName);

namespace {
// Scheme records as the filter dialog sends them, one per condition; an invalid value is sent as
// no value at all.
RecordListPtr Scheme(const QString& name, const QList<std::pair<QString, QVariant>>& values) {
    auto list = RecordList::Create();
    for (const auto& [key, value] : values) {
        auto r = KeyedRecord::Create();
        r->Set("RptID", 126);
        r->Set("Plan", name);
        r->Set("Key", key);
        if (value.isValid())
            r->Set("Value", value);
        list->Add(r);
    }
    return list;
}

QString Value(services::ProfileService& p, QString scheme, const QString& key) {
    qint32 report = 126;
    RecordSetPtr set = p.GetPlanValue({}, report, scheme);
    set->SetFilter("FKey='" + key + "'");
    return set->Eof() ? QStringLiteral("<none>") : set->Text("FValue", "<null>");
}

// Conditions as the filter dialog sends them: bounds in the order from and to date, item code,
// plan number.
RecordPtr Conditions(const QStringList& bounds, int closed = 0) {
    auto r = KeyedRecord::Create();
    r->Set("OK", true);
    r->Set("Closed", qint16(closed));
    r->Set("BItemClass", QString());
    const char* keys[] = {"BDate", "EDate", "BItemNumber", "EItemNumber", "BBillNo", "EBillNo"};
    for (int i = 0; i < 6; ++i)
        r->Set(keys[i], bounds.value(i));
    return r;
}

// The named fields of a row as text, joined by "|".
QString Fields(const KeyedRecord& r, const QString& names) {
    QStringList out;
    for (const QString& name : names.split(' '))
        out << r.Get(name).toString();
    return out.join(u'|');
}
} // namespace

// Schemes are each user's; a resave replaces all the scheme's values; a record without the
// scheme's name is refused, and nothing of that save is written. (Saving, loading back and
// deleting odd names and values through the filter dialog is the fuzz suite's.)
TEST_P(PlanServicesTest, AResaveReplacesTheValuesOfTheUsersOwnProfileScheme) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    services::ProfileService p(admin), other(buyer);
    RecordListPtr list = Scheme("O''Neil", {{"BItem", "1.01''%_"}, {"EDate", "2024-05-31"}});
    p.SaveProfile({}, list);
    EXPECT_EQ(Value(p, "O''Neil", "BItem") + Value(other, "O''Neil", "BItem"), "1.01''%_<none>");
    list = Scheme("O''Neil", {{"BItem", QVariant()}});
    p.SaveProfile({}, list);
    EXPECT_EQ(Value(p, "O''Neil", "BItem") + Value(p, "O''Neil", "EDate"), "<null><none>");
    list = Scheme("好", {{"BDate", "2024-05-01"}});
    list->Add(Scheme("  ", {{"EDate", "x"}})->Item(1));
    EXPECT_THROW(p.SaveProfile({}, list), Error);
    EXPECT_EQ(Value(p, "好", "BDate"), "<none>");
}

// A demo store a user can work with today: pushable entries of today, closed and partly ordered
// ones, and pushes continuing the demo's order numbers. (That ordered quantities match their
// order lines the PostgreSQL store checks itself at every commit, demos included.)
TEST(DemoData, FillsAStoreAUserCanWorkWithToday) {
    store::StorePtr db = store::GenerateStore(NewSQLitePath(), store::kDefaultDemoEntries);
    EXPECT_EQ(Rows(*db, "SELECT COUNT(*), SUM(ordered_qty > qty), SUM(close_mark <> '') > 10,"
                        " SUM(close_mark = '' AND ordered_qty > 0 AND unordered_qty > 0) > 10,"
                        " SUM(entry_date = date('now', 'localtime') AND ordered_qty = 0 AND close_mark = ''"
                        " AND supplier_id IS NOT NULL) >= 30 FROM plan_entries"),
              QString("%1|0|1|1|1").arg(store::kDefaultDemoEntries));
    EXPECT_EQ(Rows(*db, "SELECT c.last_no = COUNT(*), MAX(o.bill_no) = printf('POORD%06d', COUNT(*))"
                        " FROM purchase_orders o, bill_counters c WHERE c.kind = 'POOrder'"),
              "1|1");
}

class RptDataTest : public PlanStoreTest {
protected:
    RecordListPtr Get(RecordPtr conditions, QString billNo = {}) {
        services::PurchasePlanInfoService info(admin);
        return info.GetRptData(QString(), conditions, QStringLiteral("1"), billNo);
    }
    QStringList Keys(RecordPtr conditions, QString billNo = {}) {
        QStringList keys;
        const RecordListPtr rows = Get(conditions, billNo);
        for (const RecordPtr& r : *rows)
            keys << r->Text("FKey");
        return keys;
    }
};

TEST_P(RptDataTest, RowsCarryTheGridFieldsInColumnOrder) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    db->Exec("UPDATE plan_entries SET start_date = NULL WHERE plan_id = 10 AND entry_id = 3");
    const RecordListPtr rows = Get(Conditions({"2024-05-01", "2024-05-03"}));
    ASSERT_EQ(rows->Count(), 6);
    const QString columns =
        "FInterID FEntryID CheckBox FVDate FClose FItemNumber FItemName FItemModel FAuxProp FSupplyNumber "
        "FSupplyName FUnitName FQty FPurchaseFinishQty FPurchaseUnFinishQty FPushQty FPrice FDiscountRate "
        "FTaxRate FFinishDate FBillNo FSourceNo FMemo FItemID FUnitID FAuxPropID FStartDate FSupplyID FKey "
        "FIsMerge FStartKey FEndKey FMergeSumQty FQtyDecimal FPriceDecimal FVersion";
    EXPECT_EQ(rows->Item(1)->Keys(), columns.split(' '));
    // Every row shares one key set.
    EXPECT_EQ(rows->Item(1)->SharedKeys(), rows->Item(6)->SharedKeys());

    // Kept texts, numbers and their decimals; a closed entry without supplier, aux prop or start.
    const QString shown =
        "FKey FInterID FVDate FClose FItemNumber FItemName FAuxProp FAuxPropID FSupplyNumber "
        "FSupplyID FUnitName FQty FPurchaseFinishQty FPurchaseUnFinishQty FPushQty FPrice "
        "FFinishDate FStartDate FBillNo FMemo CheckBox FQtyDecimal FPriceDecimal";
    EXPECT_EQ(Fields(*rows->Item(2), shown),
              "10_2|10|2024-05-01||1.02.001|贴片电阻|红色|1|01.0'2|2|个|50|20|30|"
              "30|12.5|2024-06-01|2024-05-01|CGJY000010|m'o|0|0|4");
    EXPECT_EQ(Fields(*rows->Item(6), shown), "10_3|10|2024-05-03|Y|1.01.002|镀锌钢板||0||0|千克|7|0|7|7|12.5|"
                                             "2024-06-01||CGJY000010|m'o|0|3|2");
}

// Ordered by date, plan number, entry ID; bounds are inclusive; empty bounds are open. A bill
// number lists the whole plan whatever the conditions.
TEST_P(RptDataTest, ConditionsSelectByDateItemPlanAndCloseMarkOrABillNumber) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    const struct {
        RecordPtr Conditions;
        QString Bill, Keys;
    } cases[] = {
        {Conditions({"2024-05-01", "2024-05-03"}), "", "10_1 10_2 12_1 11_1 11_2 10_3"},
        {Conditions({"2024-05-02", "2024-05-02"}), "", "12_1 11_1 11_2"},
        {Conditions({"", "2024-05-01"}), "", "10_1 10_2"},
        {Conditions({"2024-05-01", "2024-05-03"}, 1), "", "10_1 10_2 12_1 11_1"},
        {Conditions({"2024-05-01", "2024-05-03", "1.01.001", "1.01.002"}), "", "10_1 11_1 11_2 10_3"},
        {Conditions({"2024-05-01", "2024-05-03", "1.02"}), "", "10_2 12_1"},
        {Conditions({"", "", "", "", "CGJY000010", "CGJY000011"}), "", "10_1 10_2 11_1 11_2 10_3"},
        {Conditions({"2024/5/2", "20240502"}), "", "12_1 11_1 11_2"}, // other date forms are read
        {Conditions({"2030-01-01", "2030-01-01", "9", "9"}, 1), "CGJY000010", "10_1 10_2 10_3"},
        {Conditions({"bad", "bad"}), "CGJY000011", "11_1 11_2"},
        {Conditions({}), "CGJY999999", ""},
        {Conditions({"", "", "' OR 1=1 --", "' OR 1=1 --", "' OR 1=1 --", "' OR 1=1 --"}), "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Keys(c.Conditions, c.Bill).join(' '), c.Keys) << c.Keys.toStdString();
    EXPECT_EQ(cases[7].Conditions->Text("BDate"), "2024/5/2"); // the record is left as it was
    EXPECT_THROW(Keys(Conditions({"2024-02-30"})), Error);
}

INSTANTIATE_TEST_SUITE_P(Stores, RptDataTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
