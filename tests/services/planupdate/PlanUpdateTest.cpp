#include "services/planning/PlanFixture.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "support/OrderedElsewhere.h"
#include "support/RecordLists.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace zpp;
using namespace zpp::test;

using PlanUpdateTest = PlanStoreTest;

namespace {

RecordPtr Record(std::initializer_list<std::pair<QString, QVariant>> fields) {
    auto r = KeyedRecord::Create();
    for (const auto& [key, value] : fields)
        r->Set(key, value);
    return r;
}

QString Snapshot(const store::Store& db) {
    return Rows(db, "SELECT * FROM plan_entries ORDER BY plan_id, entry_id");
}

QHash<QString, RecordPtr> RowsOfPlan(const store::SessionPtr& session, QString billNo) {
    RecordPtr none;
    const RecordListPtr list = services::PurchasePlanInfoService(session).GetRptData({}, none, {}, billNo);
    QHash<QString, RecordPtr> rows;
    for (const RecordPtr& r : *list)
        rows.insert(r->Text("FKey"), r);
    return rows;
}

// Supplier ID and code, price, push quantity, rates, delivery date and note of a plan row.
QString Editable(const RecordPtr& r) {
    QStringList f{r->Text("FSupplyID") + ' ' + r->Text("FSupplyNumber")};
    for (const char* key : {"FPrice", "FPushQty", "FDiscountRate", "FTaxRate", "FFinishDate", "FMemo"})
        f << r->Text(key);
    return f.join(u'|');
}

// The description of the Error the save fails with; empty when it succeeds.
QString Failure(services::PurchasePlanUpdateService& service, std::initializer_list<RecordPtr> records) {
    RecordListPtr list = ListOf(records);
    try {
        service.UpdatePurchasePlanEntry({}, list);
    } catch (const Error& e) {
        return e.Description();
    }
    return {};
}

QStringList Outcomes(const RecordListPtr& results) {
    QStringList out;
    for (const RecordPtr& r : *results)
        out << QStringLiteral("%1:%2:%3").arg(r->Text("Row"), r->Text("Succeed"), r->Text("Error"));
    return out;
}

} // namespace

TEST_P(PlanUpdateTest, FailingUpdateWritesNothingAndNamesPlanEntryAndField) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    services::PurchasePlanUpdateService service(admin);
    const QString before = Snapshot(*db);
    const QString plan = "采购建议号[CGJY000010]分录号 2：";
    const struct {
        QString Key, Value, Error;
    } cases[] = {
        {"FPrice", "abc", plan + "含税单价“abc”不是数字"},
        {"FPrice", "12abc", plan + "含税单价“12abc”不是数字"}, // Val alone would read 12
        {"FPushQty", "-1", plan + "下推数量不能为负数：-1"},
        {"FDiscountRate", "101", plan + "折扣率应在 0 到 100 之间：101"},
        {"FTaxRate", "-0.5", plan + "税率应在 0 到 100 之间：-0.5"},
        {"FFinishDate", "2024-02-30", plan + "建议交货日期“2024-02-30”不是有效的日期"},
        {"FSupplyID", "77", plan + "供应商“77”不存在"},
        {"FEntryID", "9", "采购建议号[CGJY000010]分录号 9：该分录已不存在，可能已被删除"},
    };
    for (const auto& c : cases) {
        // A valid record first: it must be rolled back with the rest.
        RecordPtr bad =
            Record({{"FInterID", "10"}, {"FEntryID", "2"}, {"FBillNo", "CGJY000010"}, {"FSupplyID", "0"}});
        bad->Set(c.Key, c.Value);
        EXPECT_EQ(
            Failure(service, {Record({{"FInterID", "10"}, {"FEntryID", "1"}, {"FMemo", "changed"}}), bad}),
            c.Error);
        EXPECT_EQ(Snapshot(*db), before) << c.Key.toStdString();
    }
}

TEST_P(PlanUpdateTest, UpdateRoundTripsThroughTheReadServiceAndStoresTextsLiterally) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    services::PurchasePlanUpdateService service(buyer);

    // The rows as the grid shows them, all texts, sent back unedited, change nothing.
    auto shown = RecordList::Create();
    for (const RecordPtr& r : RowsOfPlan(admin, "CGJY000010")) {
        shown->Add(r->Clone());
        for (int i = 0; i < r->Count(); ++i)
            shown->Item(shown->Count())->SetValueAt(i, r->ValueAt(i).toString());
    }
    const QString before = Snapshot(*db);
    service.UpdatePurchasePlanEntry({}, shown);
    EXPECT_EQ(Snapshot(*db), before);

    const QString injection = "O''Brien's'); DELETE FROM plan_entries; --";
    RecordListPtr edits = ListOf({
        Record({{"FInterID", "10"},
                {"FEntryID", "1"},
                {"FSupplyID", ""},
                {"FSupplyNumber", "01.0'2"},
                {"FPrice", "15.75"},
                {"FPushQty", " 3.5 "},
                {"FDiscountRate", "5"},
                {"FTaxRate", "9"},
                {"FFinishDate", "2024/7/1"},
                {"FMemo", injection}}),
        // The code wins over a stale ID; a blank price is 0; a poured quantity arrives as a number.
        Record({{"FInterID", "10"},
                {"FEntryID", "2"},
                {"FSupplyID", "2"},
                {"FSupplyNumber", "01.001"},
                {"FPrice", ""},
                {"FPushQty", 30.0},
                {"FFinishDate", ""},
                {"FMemo", ""}}),
        Record({{"FInterID", "10"}, {"FEntryID", "3"}, {"FPrice", "8"}}), // the rest stays
    });
    service.UpdatePurchasePlanEntry({}, edits);
    const auto rows = RowsOfPlan(admin, "CGJY000010");
    EXPECT_EQ(Editable(rows["10_1"]), "2 01.0'2|15.75|3.5|5|9|2024-07-01|" + injection);
    EXPECT_EQ(Editable(rows["10_2"]), "1 01.001|0|30|0|13||");
    // Only the entries that changed got a new version.
    EXPECT_EQ(Rows(*db, "SELECT row_version FROM plan_entries WHERE plan_id = 10 ORDER BY entry_id"),
              "2,2,2");
    EXPECT_EQ(Rows(*db, "SELECT row_version FROM plan_entries WHERE plan_id <> 10"), "1,1,1");
    EXPECT_EQ(Editable(rows["10_3"]), "0 |8|7|0|13|2024-06-01|m'o");
}

// A note too long for its field is refused rather than cut by the store.
TEST_P(PlanUpdateTest, ATooLongNoteIsRefusedAndWritesNothing) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    services::PurchasePlanUpdateService service(buyer);
    const QString before = Snapshot(*db);
    EXPECT_EQ(
        Failure(service, {Record({{"FInterID", "10"}, {"FEntryID", "1"}, {"FMemo", QString(256, u'长')}})}),
        "采购建议号[CGJY000010]分录号 1：备注不能超过 255 个字符（现有 256 个）");
    EXPECT_EQ(Snapshot(*db), before);
}

TEST_P(PlanUpdateTest, CloseAndUnCloseReportEachRequest) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    services::PurchasePlanUpdateService service(buyer);
    auto request = [](const QString& plan, const QString& entry, int row) {
        return Record({{"FInterID", plan}, {"FEntryID", entry}, {"Row", qint32(row)}});
    };
    RecordListPtr close = ListOf({request("10", "1", 1), request("10", "3", 2), request("10", "9", 3),
                                  request("abc", "1", 4), request("12", "1", 5)});
    EXPECT_EQ(Outcomes(service.ClosePurchasePlan({}, close)),
              QStringList({"1:1:", "2:0:该分录已经关闭", "3:0:该分录已不存在，可能已被删除",
                           "4:0:采购建议内码或分录号无效：abc_1", "5:1:"}));
    const QString marks = "SELECT close_mark FROM plan_entries ORDER BY plan_id, entry_id";
    EXPECT_EQ(Rows(*db, marks), "Y,,Y,,Y,Y"); // 10_1 10_2 10_3 11_1 11_2 12_1
    EXPECT_EQ(RowsOfPlan(admin, "CGJY000010")["10_1"]->Text("FClose"), services::kClosedMark);

    RecordListPtr reopen = ListOf({request("10", "1", 7), request("10", "2", 8), request("10", "3", 9)});
    EXPECT_EQ(Outcomes(service.UnClosePurchasePlan({}, reopen)),
              QStringList({"7:1:", "8:0:该分录未关闭", "9:1:"}));
    EXPECT_EQ(Rows(*db, marks), ",,,,Y,Y");
}

TEST_P(PlanUpdateTest, DeleteRemovesPlansWithoutOrdersAndReportsTheOthers) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    AddPlan(*db, 20, "CGJY000020", "2024-05-04");
    AddEntry(*db, 20, 1, "2024-05-04", 1, 1);
    AddEntry(*db, 20, 2, "2024-05-04", 2, 0);
    // One entry of plan 21 feeds an order line.
    AddPlan(*db, 21, "CGJY000021", "2024-05-04");
    AddEntry(*db, 21, 1, "2024-05-04", 1, 1);
    db->InTransaction([&] { OrderElsewhere(*db, 21, 1, 3); });
    services::PurchasePlanUpdateService service(admin);
    auto request = [](const QString& plan, int row) {
        return Record({{"FInterID", plan}, {"FBillNo", "x"}, {"Row", qint32(row)}, {"Succeed", qint16(0)}});
    };

    // The requests come back as the answers, in place.
    RecordListPtr three = ListOf({request("12", 1), request("10", 4), request("20", 6)});
    EXPECT_EQ(Outcomes(service.DeletePurChasePlan({}, three)),
              QStringList({"1:1:", "4:0:分录号 2 已下达采购订单，不能删除", "6:1:"}));
    RecordListPtr more = ListOf({request("21", 2), request("99", 3), request("12", 5)});
    EXPECT_EQ(Outcomes(service.DeletePurChasePlan({}, more)),
              QStringList({"2:0:分录号 1 已下达采购订单，不能删除", "3:0:该采购建议已不存在，可能已被删除",
                           "5:0:该采购建议已不存在，可能已被删除"}));

    EXPECT_EQ(Rows(*db, "SELECT id FROM purchase_plans ORDER BY id"), "10,11,21");
    EXPECT_EQ(Rows(*db, "SELECT plan_id, COUNT(*) FROM plan_entries GROUP BY plan_id ORDER BY plan_id"),
              "10|3,11|2,21|1");
}

TEST_P(PlanUpdateTest, ForbiddenSupplierIsRefusedWhenChosen) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    db->Exec("INSERT INTO user_supplier_rights (user_id, supplier_code, may_use) VALUES (2, '01.001', 0)");
    db->Exec("UPDATE user_rights SET granted_mask = granted_mask | 65536 | 256 WHERE user_id = 2");
    services::PurchasePlanUpdateService service(buyer);
    const QString before = Snapshot(*db), refused = "没有使用供应商“01.001”的权限";
    EXPECT_EQ(
        Failure(service, {Record({{"FInterID", "10"}, {"FEntryID", "2"}, {"FSupplyNumber", "01.001"}})}),
        "采购建议号[CGJY000010]分录号 2：" + refused);
    // An entry that already has that supplier is not theirs to edit, close or delete either.
    EXPECT_EQ(Failure(service, {Record({{"FInterID", "10"}, {"FEntryID", "1"}, {"FMemo", "not mine"}})}),
              "采购建议号[CGJY000010]分录号 1：" + refused);
    RecordListPtr close = ListOf({Record({{"FInterID", "10"}, {"FEntryID", "1"}, {"Row", 1}})});
    EXPECT_EQ(Outcomes(service.ClosePurchasePlan({}, close)), QStringList({"1:0:" + refused}));
    RecordListPtr plan = ListOf({Record({{"FInterID", "10"}, {"Row", 1}})});
    EXPECT_EQ(Outcomes(service.DeletePurChasePlan({}, plan)), QStringList({"1:0:" + refused}));
    EXPECT_EQ(Snapshot(*db), before);
}

INSTANTIATE_TEST_SUITE_P(Stores, PlanUpdateTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

// A save that meets another connection's write transaction waits for it and then goes through.
TEST(PlanUpdateConcurrency, UpdateWaitsForAnotherWriterAndLosesNothing) {
    const QString path = NewSQLitePath();
    auto db = store::Store::Open(path);
    SeedPlans(*db);

    std::atomic<bool> calling = false, done = false;
    QString failure;
    store::Store::Transaction tx(*db);
    db->Exec("UPDATE plan_entries SET memo = 'first' WHERE plan_id = 10 AND entry_id = 1");
    std::thread other([&] {
        calling = true;
        try {
            auto session =
                std::make_shared<store::Session>(store::Session{store::Store::Open(path), 1, "admin", {}});
            RecordListPtr list =
                ListOf({Record({{"FInterID", "10"}, {"FEntryID", "2"}, {"FMemo", "second"}})});
            services::PurchasePlanUpdateService(session).UpdatePurchasePlanEntry({}, list);
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
        done = true;
    });
    while (!calling)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done.load()) << "the second writer did not wait for the first";
    tx.Commit();
    other.join();
    EXPECT_EQ(failure, "");
    EXPECT_EQ(Rows(*db, "SELECT memo FROM plan_entries WHERE plan_id = 10 ORDER BY entry_id"),
              "first,second,m'o");
}
