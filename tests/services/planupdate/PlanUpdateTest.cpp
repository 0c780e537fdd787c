#include "component/host/PlanFields.h"
#include "services/access/AccessService.h"
#include "services/planning/PlanFixture.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "services/profile/ProfileService.h"
#include "support/OrderedElsewhere.h"

#include <QSqlRecord>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <tuple>

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

RecordListPtr List(std::initializer_list<RecordPtr> records) {
    auto list = RecordList::Create();
    for (const auto& r : records)
        list->Add(r);
    return list;
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

// The description of the Error f fails with; empty when it succeeds.
QString Refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.Description();
    }
    return {};
}

QString Failure(services::PurchasePlanUpdateService& service, std::initializer_list<RecordPtr> records) {
    RecordListPtr list = List(records);
    return Refusal([&] { service.UpdatePurchasePlanEntry({}, list); });
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
        {"FSupplyID", "1.5", plan + "供应商“1.5”不是有效的编号"},
        {"FSupplyNumber", "nobody", plan + "供应商“nobody”不存在"},
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
    // Without FBillNo the plan number comes from the store.
    EXPECT_EQ(Failure(service, {Record({{"FInterID", "12"}, {"FEntryID", "1"}, {"FTaxRate", "x"}})}),
              "采购建议号[CGJY000009]分录号 1：税率“x”不是数字");
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
    RecordListPtr edits = List({
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
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM plan_entries").toInt(), 6);
}

TEST_P(PlanUpdateTest, TextsAreStoredWholeAndTypedOnesWithinTheirFieldsLimits) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    services::PurchasePlanUpdateService service(buyer);
    const QString before = Snapshot(*db);
    const QString tooLong(256, u'长');
    const QString refused = "采购建议号[CGJY000010]分录号 1：备注不能超过 255 个字符（现有 256 个）";

    // A note is refused by a save and by a push, which both write it.
    EXPECT_EQ(
        Failure(
            service,
            {Record({{"FInterID", "10"}, {"FEntryID", "1"}, {"FBillNo", "CGJY000010"}, {"FMemo", tooLong}})}),
        refused);
    RecordListPtr push = List({Record({{"FInterID", "10"},
                                       {"FEntryID", "1"},
                                       {"FBillNo", "CGJY000010"},
                                       {"FSupplyID", "1"},
                                       {"FPushQty", "1"},
                                       {"FPrice", "2"},
                                       {"FFinishDate", "2024-06-01"},
                                       {"FMemo", tooLong}})});
    QString orderIds;
    QDate billDate(2024, 5, 20);
    EXPECT_EQ(Refusal([&] { service.PushBill({}, push, 1, orderIds, billDate); }), refused);
    EXPECT_EQ(Snapshot(*db), before);
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt(), 0);

    // At the limit a note is kept; a NUL and a lone surrogate, which a store would cut or merge, are marked.
    const QString damaged = QString(253, u'备') + QChar(0) + QChar(0xD800);
    EXPECT_EQ(Failure(service, {Record({{"FInterID", "10"}, {"FEntryID", "1"}, {"FMemo", damaged}})}), "");
    EXPECT_EQ(db->Scalar("SELECT memo FROM plan_entries WHERE plan_id = 10 AND entry_id = 1").toString(),
              QString(253, u'备') + QString(2, QChar::ReplacementCharacter));
    // A longer note stored before stays, and the entry's other fields can still be edited.
    db->Exec("UPDATE plan_entries SET memo = ? WHERE plan_id = 10 AND entry_id = 2", {tooLong});
    EXPECT_EQ(Failure(service,
                      {Record({{"FInterID", "10"}, {"FEntryID", "2"}, {"FMemo", tooLong}, {"FPrice", "3"}})}),
              "");
    EXPECT_EQ(db->Scalar("SELECT price FROM plan_entries WHERE plan_id = 10 AND entry_id = 2").toDouble(), 3);

    // A scheme is refused whole for a name or condition too long.
    services::ProfileService profile(buyer);
    auto scheme = [&](const QString& name, const QString& value) {
        RecordListPtr records =
            List({Record({{"RptID", 126}, {"Plan", name}, {"Key", "BDate"}, {"Value", "2024-05-01"}}),
                  Record({{"RptID", 126}, {"Plan", name}, {"Key", "BItem"}, {"Value", value}})});
        return Refusal([&] { profile.SaveProfile({}, records); });
    };
    EXPECT_EQ(scheme(QString(81, u'名'), "1.01"), "方案名不能超过 80 个字符（现有 81 个）");
    EXPECT_EQ(scheme("常用", QString(1001, u'1')), "方案条件不能超过 1000 个字符（现有 1001 个）");
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM filter_schemes").toInt(), 0);

    // A log record is never refused: it is cut, and never inside a character.
    services::AccessService log(buyer);
    QString code = "CGPlan004", name = QString(999, u'n') + QStringLiteral("\U0001F600") + "tail";
    qint32 type = 3;
    log.WriteLog(code, type, name);
    EXPECT_EQ(
        db->Scalar("SELECT operation_name FROM operation_log WHERE object_code = 'CGPlan004'").toString(),
        QString(999, u'n'));
}

TEST_P(PlanUpdateTest, CloseAndUnCloseReportEachRequest) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    services::PurchasePlanUpdateService service(buyer);
    auto request = [](const QString& plan, const QString& entry, int row) {
        return Record({{"FInterID", plan}, {"FEntryID", entry}, {"Row", qint32(row)}});
    };
    RecordListPtr close = List({request("10", "1", 1), request("10", "3", 2), request("10", "9", 3),
                                request("abc", "1", 4), request("12", "1", 5)});
    EXPECT_EQ(Outcomes(service.ClosePurchasePlan({}, close)),
              QStringList({"1:1:", "2:0:该分录已经关闭", "3:0:该分录已不存在，可能已被删除",
                           "4:0:采购建议内码或分录号无效：abc_1", "5:1:"}));
    const QString marks = "SELECT close_mark FROM plan_entries ORDER BY plan_id, entry_id";
    EXPECT_EQ(Rows(*db, marks), "Y,,Y,,Y,Y"); // 10_1 10_2 10_3 11_1 11_2 12_1
    EXPECT_EQ(RowsOfPlan(admin, "CGJY000010")["10_1"]->Text("FClose"), services::kClosedMark);

    RecordListPtr reopen = List({request("10", "1", 7), request("10", "2", 8), request("10", "3", 9)});
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
    RecordListPtr three = List({request("12", 1), request("10", 4), request("20", 6)});
    const RecordListPtr sent = three;
    EXPECT_EQ(Outcomes(service.DeletePurChasePlan({}, three)),
              QStringList({"1:1:", "4:0:分录号 2 已下达采购订单，不能删除", "6:1:"}));
    EXPECT_EQ(three, sent);
    EXPECT_EQ(three->Item(2)->Get("Succeed"), QVariant::fromValue<qint16>(0));

    RecordListPtr more = List({request("21", 2), request("99", 3), request("12", 5)});
    EXPECT_EQ(Outcomes(service.DeletePurChasePlan({}, more)),
              QStringList({"2:0:分录号 1 已下达采购订单，不能删除", "3:0:该采购建议已不存在，可能已被删除",
                           "5:0:该采购建议已不存在，可能已被删除"}));

    EXPECT_EQ(Rows(*db, "SELECT id FROM purchase_plans ORDER BY id"), "10,11,21");
    EXPECT_EQ(Rows(*db, "SELECT plan_id, COUNT(*) FROM plan_entries GROUP BY plan_id ORDER BY plan_id"),
              "10|3,11|2,21|1");
    // A record for each plan tried: a deleted one with its delete, one that stays as a failure.
    EXPECT_EQ(
        Rows(*db, "SELECT operation_type FROM operation_log WHERE object_code = 'CGPlan002' ORDER BY id"),
        "3,4,3,4,4,4");
}

namespace {

// One user's list of a plan, as loaded, and its saves: every row is sent, the edited ones marked.
struct UserList {
    store::SessionPtr Session;
    QHash<QString, RecordPtr> Rows;

    UserList(store::SessionPtr session, const QString& billNo)
        : Session(std::move(session)), Rows(RowsOfPlan(Session, billNo)) {}

    QString Save(std::initializer_list<std::tuple<QString, QString, QVariant>> edits) {
        RecordListPtr list = RecordList::Create();
        QStringList keys = Rows.keys();
        keys.sort();
        for (const QString& k : keys) {
            Rows[k]->Set(kEntryEditedField, 0);
            list->Add(Rows[k]);
        }
        for (const auto& [key, field, value] : edits) {
            Rows[key]->Set(field, value);
            Rows[key]->Set(kEntryEditedField, 1);
        }
        return Refusal(
            [&] { services::PurchasePlanUpdateService(Session).UpdatePurchasePlanEntry({}, list); });
    }
};

store::SessionPtr SecondConnection(const store::Store& db, const QString& user) {
    return std::make_shared<store::Session>(store::LogIn(store::Store::Open(db.Location()), user));
}

const QString kChanged = "该分录已被其他用户修改（或关闭、下推），请刷新后重新修改";

} // namespace

TEST_P(PlanUpdateTest, SavesNeverOverwriteWhatAnotherUserChanged) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    UserList mine(buyer, "CGJY000010"), theirs(SecondConnection(*db, "admin"), "CGJY000010");
    const QString memos = "SELECT memo FROM plan_entries WHERE plan_id = 10 ORDER BY entry_id";

    // Disjoint edits both survive: the second save does not write back the first one's entry.
    EXPECT_EQ(mine.Save({{"10_1", "FPrice", "20"}}), "");
    EXPECT_EQ(theirs.Save({{"10_2", "FMemo", "theirs"}}), "");
    EXPECT_EQ(Rows(*db, "SELECT price FROM plan_entries WHERE plan_id = 10 ORDER BY entry_id"),
              "20,12.5,12.5");
    EXPECT_EQ(Rows(*db, memos), "m'o,theirs,m'o");

    // The same entry edited by both: the second save is refused whole, naming plan and entry.
    const QString before = Snapshot(*db);
    EXPECT_EQ(theirs.Save({{"10_3", "FMemo", "also"}, {"10_1", "FMemo", "late"}}),
              "采购建议号[CGJY000010]分录号 1：" + kChanged);
    EXPECT_EQ(Snapshot(*db), before);
    // The user's own saves go on: each save carries back the versions it wrote.
    EXPECT_EQ(mine.Save({{"10_1", "FPrice", "21"}}), "");
    EXPECT_EQ(theirs.Save({{"10_2", "FMemo", "theirs again"}}), "");

    // Reopening (like closing) counts as a change; deleting leaves nothing to write to.
    RecordListPtr reopen = List({Record({{"FInterID", "10"}, {"FEntryID", "3"}, {"Row", 1}})});
    services::PurchasePlanUpdateService(theirs.Session).UnClosePurchasePlan({}, reopen);
    EXPECT_EQ(mine.Save({{"10_3", "FPushQty", "1"}}), "采购建议号[CGJY000010]分录号 3：" + kChanged);
    // The same change made by both is no conflict: nothing is lost.
    EXPECT_EQ(mine.Save({{"10_2", "FMemo", "theirs again"}}), "");
    db->Exec("DELETE FROM plan_entries WHERE plan_id = 10 AND entry_id = 2");
    EXPECT_EQ(mine.Save({{"10_2", "FMemo", "gone"}}),
              "采购建议号[CGJY000010]分录号 2：该分录已不存在，可能已被删除");
    EXPECT_EQ(Rows(*db, memos), "m'o,m'o");
}

TEST_P(PlanUpdateTest, ForbiddenSupplierIsRefusedWhenChosen) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    db->Exec("INSERT INTO user_supplier_rights (user_id, supplier_code, may_use) VALUES (2, '01.001', 0)");
    UserList buyerList(buyer, "CGJY000010");
    EXPECT_EQ(buyerList.Save({{"10_2", "FSupplyNumber", "01.001"}, {"10_2", "FSupplyID", "1"}}),
              "采购建议号[CGJY000010]分录号 2：没有使用供应商“01.001”的权限");
    // An entry that already has that supplier is not theirs to edit, close or delete either.
    EXPECT_EQ(buyerList.Save({{"10_1", "FMemo", "not mine"}}),
              "采购建议号[CGJY000010]分录号 1：没有使用供应商“01.001”的权限");
    db->Exec("UPDATE user_rights SET granted_mask = granted_mask | 65536 | 256 WHERE user_id = 2");
    services::PurchasePlanUpdateService service(buyer);
    RecordListPtr close = List({Record({{"FInterID", "10"}, {"FEntryID", "1"}, {"Row", 1}})});
    EXPECT_EQ(Outcomes(service.ClosePurchasePlan({}, close)),
              QStringList({"1:0:没有使用供应商“01.001”的权限"}));
    RecordListPtr plan = List({Record({{"FInterID", "10"}, {"Row", 1}})});
    EXPECT_EQ(Outcomes(service.DeletePurChasePlan({}, plan)),
              QStringList({"1:0:没有使用供应商“01.001”的权限"}));
    EXPECT_EQ(UserList(admin, "CGJY000010").Save({{"10_2", "FSupplyNumber", "01.001"}}), "");
    EXPECT_EQ(Rows(*db, "SELECT supplier_id FROM plan_entries WHERE plan_id = 10 ORDER BY entry_id"),
              "1,1,NULL");
    EXPECT_EQ(Rows(*db, "SELECT close_mark FROM plan_entries WHERE plan_id = 10 AND entry_id = 1 AND memo "
                        "<> 'not mine'"),
              "");
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
    std::optional<store::Store::Transaction> tx;
    tx.emplace(*db);
    db->Exec("UPDATE plan_entries SET memo = 'first' WHERE plan_id = 10 AND entry_id = 1");
    std::thread other([&] {
        calling = true;
        try {
            auto session =
                std::make_shared<store::Session>(store::Session{store::Store::Open(path), 1, "admin", {}});
            RecordListPtr list = List({Record({{"FInterID", "10"}, {"FEntryID", "2"}, {"FMemo", "second"}})});
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
    tx->Commit();
    other.join();
    EXPECT_EQ(failure, "");
    EXPECT_EQ(Rows(*db, "SELECT memo FROM plan_entries WHERE plan_id = 10 ORDER BY entry_id"),
              "first,second,m'o");
}
