#include "PlanFixture.h"
#include "services/demo/DemoData.h"
#include "services/planning/PurchasePlanInfoService.h"

using namespace zpp;
using namespace zpp::test;

class RptDataTest : public PlanStoreTest {
protected:
    RecordListPtr Get(RecordPtr conditions, QString billNo = {}) {
        services::PurchasePlanInfoService info(admin);
        return info.GetRptData(QString(), conditions, QStringLiteral("1"), billNo);
    }
    QStringList Keys(RecordPtr conditions, QString billNo = {}) { return RowKeys(Get(conditions, billNo)); }
};

namespace {
// The named fields of a row as text, joined by "|".
QString Fields(const KeyedRecord& r, const QString& names) {
    QStringList out;
    for (const QString& name : names.split(' '))
        out << r.Get(name).toString();
    return out.join(u'|');
}
} // namespace

TEST_P(RptDataTest, RowsCarryTheGridFieldsInColumnOrder) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    db->Exec("UPDATE plan_entries SET start_date = NULL WHERE plan_id = 10 AND entry_id = 3");
    const RecordListPtr rows = Get(Conditions("2024-05-01", "2024-05-03"));
    ASSERT_EQ(rows->Count(), 6);
    const QString columns =
        "FInterID FEntryID CheckBox FVDate FClose FItemNumber FItemName FItemModel FAuxProp FSupplyNumber "
        "FSupplyName FUnitName FQty FPurchaseFinishQty FPurchaseUnFinishQty FPushQty FPrice FDiscountRate "
        "FTaxRate FFinishDate FBillNo FSourceNo FMemo FItemID FUnitID FAuxPropID FStartDate FSupplyID FKey "
        "FIsMerge FStartKey FEndKey FMergeSumQty FQtyDecimal FPriceDecimal FVersion";
    EXPECT_EQ(rows->Item(1)->Keys(), columns.split(' '));
    // Every row shares one key set.
    EXPECT_EQ(rows->Item(1)->SharedKeys(), rows->Item(6)->SharedKeys());
    // Read in place or as a record, a row gives the same values of the same types.
    const RecordListPtr again = Get(Conditions("2024-05-01", "2024-05-03"));
    for (int r = 1; r <= 6; ++r)
        for (int f = 0; f < rows->Item(r)->Count(); ++f) {
            EXPECT_EQ(again->ValueAt(r, f), rows->Item(r)->ValueAt(f)) << r << " " << f;
            EXPECT_EQ(again->ValueAt(r, f).typeId(), rows->Item(r)->ValueAt(f).typeId()) << r << " " << f;
        }

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
        {Conditions("2024-05-01", "2024-05-03"), "", "10_1 10_2 12_1 11_1 11_2 10_3"},
        {Conditions("2024-05-02", "2024-05-02"), "", "12_1 11_1 11_2"},
        {Conditions("", "2024-05-01"), "", "10_1 10_2"},
        {Conditions("2024-05-01", "2024-05-03", "", "", "", "", 1), "", "10_1 10_2 12_1 11_1"},
        {Conditions("2024-05-01", "2024-05-03", "1.01.001", "1.01.002"), "", "10_1 11_1 11_2 10_3"},
        {Conditions("2024-05-01", "2024-05-03", "1.02"), "", "10_2 12_1"},
        {Conditions("", "", "", "", "CGJY000010", "CGJY000011"), "", "10_1 10_2 11_1 11_2 10_3"},
        {Conditions("2024/5/2", "20240502"), "", "12_1 11_1 11_2"}, // other date forms are read
        {Conditions("2030-01-01", "2030-01-01", "9", "9", "", "", 1), "CGJY000010", "10_1 10_2 10_3"},
        {Conditions("bad", "bad"), "CGJY000011", "11_1 11_2"},
        {Conditions("", ""), "CGJY999999", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Keys(c.Conditions, c.Bill).join(' '), c.Keys) << c.Keys.toStdString();
    EXPECT_EQ(cases[7].Conditions->Text("BDate"), "2024/5/2"); // the record is left as it was
}

TEST_P(RptDataTest, InvalidDatesNameTheirKey) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    for (const auto& [key, bad] :
         {std::pair{"BDate", "2024-13-01"}, {"EDate", "abc"}, {"BDate", "2024-02-30"}}) {
        RecordPtr c = Conditions("2024-05-01", "2024-05-03");
        c->Set(key, QString(bad));
        try {
            Get(c);
            ADD_FAILURE() << key << " " << bad;
        } catch (const Error& e) {
            EXPECT_TRUE(e.Description().contains(key)) << e.what();
            EXPECT_TRUE(e.Description().contains(bad)) << e.what();
        }
    }
}

TEST_P(RptDataTest, CodesAndPlanNumbersMatchLiterally) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    const QStringList codes = {"A'1",  "A''1",       "A%1",    "A_1", "A\\1",
                               "A--1", "Ａ１－全角", "物料一", "AB",  QString(10000, u'码')};
    for (int i = 0; i < codes.size(); ++i) {
        AddItem(*db, 100 + i, codes[i]);
        AddPlan(*db, 100 + i, "P" + codes[i], "2024-07-01");
        AddEntry(*db, 100 + i, 1, "2024-07-01", 100 + i, 1);
    }
    const int before = db->Scalar("SELECT COUNT(*) FROM plan_entries").toInt();
    for (int i = 0; i < codes.size(); ++i) {
        const QString key = QStringLiteral("%1_1").arg(100 + i);
        EXPECT_EQ(Keys(Conditions("", "", codes[i], codes[i])), QStringList{key}) << i;
        EXPECT_EQ(Keys(Conditions("", "", "", "", "P" + codes[i], "P" + codes[i])), QStringList{key}) << i;
        EXPECT_EQ(Keys(Conditions("", ""), "P" + codes[i]), QStringList{key}) << i;
    }
    for (const QString& attack :
         {QStringLiteral("' OR 1=1 --"), QStringLiteral("'; DELETE FROM plan_entries; --")}) {
        EXPECT_TRUE(Keys(Conditions("", "", attack, attack)).isEmpty());
        EXPECT_TRUE(Keys(Conditions("", "", "", "", attack, attack)).isEmpty());
        EXPECT_TRUE(Keys(Conditions("", ""), attack).isEmpty());
    }
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM plan_entries").toInt(), before);
}

INSTANTIATE_TEST_SUITE_P(Stores, RptDataTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

// The same demo data in both stores gives the same rows in the same order.
TEST(RptDataBothStores, SameRowsInTheSameOrder) {
    const QString pg = NewPostgresUrl();
    ZPP_REQUIRE_STORE(pg);
    auto sqlite = std::make_shared<store::Session>(
        store::LogIn(store::GenerateStore(NewSQLitePath(), 1500), QStringLiteral("admin")));
    auto postgres = std::make_shared<store::Session>(
        store::LogIn(store::GenerateStore(pg, 1500), QStringLiteral("admin")));
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const QString past = QDate::currentDate().addDays(-10).toString(Qt::ISODate);
    const std::vector<std::pair<RecordPtr, QString>> cases = {
        {Conditions("", ""), ""},
        {Conditions(today, today), ""},
        {Conditions(past, today, "1.02", "1.04", "", "", 1), ""},
        {Conditions("", "", "", "", "CGJY000003", "CGJY000012"), ""},
        {Conditions("", ""), "CGJY000002"},
    };
    for (const auto& [conditions, bill] : cases) {
        RecordPtr c1 = conditions, c2 = conditions;
        QString b1 = bill, b2 = bill;
        const RecordListPtr a = services::PurchasePlanInfoService(sqlite).GetRptData({}, c1, "1", b1);
        const RecordListPtr b = services::PurchasePlanInfoService(postgres).GetRptData({}, c2, "1", b2);
        ASSERT_EQ(a->Count(), b->Count());
        EXPECT_GT(a->Count(), 0);
        for (int r = 1; r <= a->Count(); ++r)
            for (int i = 0; i < a->Item(r)->Count(); ++i)
                ASSERT_EQ(a->Item(r)->ValueAt(i).toString(), b->Item(r)->ValueAt(i).toString())
                    << "row " << r << " field " << a->Item(r)->KeyAt(i).toStdString();
    }
}
