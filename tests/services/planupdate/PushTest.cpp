#include "services/planning/HighPrice.h"
#include "services/planning/MrpDataService.h"
#include "services/planning/PlanFixture.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "support/RecordLists.h"

using namespace zpp;
using namespace zpp::test;

using PushTest = PlanStoreTest;

namespace {

struct Member {
    int Plan, Entry;
    QString Qty;
};

// A push record as the component's merge builds it: grid texts, and the member entries when
// the record folds more than one.
RecordPtr PushLine(const QString& supplier, std::initializer_list<Member> members,
                   const QString& price = "12.5", const QString& finishDate = "2024-06-01") {
    auto r = KeyedRecord::Create();
    const Member& first = *members.begin();
    double sum = 0;
    for (const Member& m : members)
        sum += m.Qty.toDouble();
    for (auto [key, value] : std::initializer_list<std::pair<const char*, QString>>{
             {"FInterID", QString::number(first.Plan)},
             {"FEntryID", QString::number(first.Entry)},
             {"FSupplyID", supplier},
             {"FPushQty", members.size() > 1 ? QString::number(sum) : first.Qty},
             {"FPrice", price},
             {"FDiscountRate", "0"},
             {"FTaxRate", "13"},
             {"FFinishDate", finishDate},
             {"FMemo", "it's urgent"},
             {"FBillNo", ""},
             {"FIsMerge", members.size() > 1 ? "1" : "0"}})
        r->Set(QString::fromLatin1(key), value);
    if (members.size() > 1) {
        auto list = RecordList::Create();
        for (const Member& m : members) {
            auto e = KeyedRecord::Create();
            e->Set("FInterID", QString::number(m.Plan));
            e->Set("FEntryID", QString::number(m.Entry));
            e->Set("FPushQty", m.Qty);
            e->Set("FSotr", m.Plan * 1000.0 + m.Entry);
            list->Add(e);
        }
        r->SetObject("EntryDataVct", list);
    }
    return r;
}

// The line with a field set, such as the entry version its list loaded.
RecordPtr With(RecordPtr line, const QString& field, const QVariant& value) {
    line->Set(field, value);
    return line;
}

// Everything a push may write, orders by number: a PostgreSQL sequence does not roll back.
QString Snapshot(const store::Store& db) {
    return Rows(db, "SELECT * FROM plan_entries ORDER BY plan_id, entry_id") + "#" +
           Rows(db,
                "SELECT bill_no, bill_date, supplier_id, created_by FROM purchase_orders ORDER BY bill_no") +
           "#" +
           Rows(db,
                "SELECT o.bill_no, l.line_no, l.item_id, l.qty, l.price, l.memo FROM purchase_order_lines l"
                " JOIN purchase_orders o ON o.id = l.order_id ORDER BY o.bill_no, l.line_no") +
           "#" +
           Rows(db,
                "SELECT o.bill_no, s.line_no, s.plan_id, s.entry_id, s.qty FROM purchase_order_line_sources s"
                " JOIN purchase_orders o ON o.id = s.order_id ORDER BY o.bill_no, s.line_no, s.plan_id,"
                " s.entry_id") +
           "#" + Rows(db, "SELECT * FROM bill_counters");
}

struct Outcome {
    RecordListPtr Created;
    QString OrderIds, Error;
};

Outcome Push(services::PurchasePlanUpdateService& service, RecordListPtr list, qint16 user = 1) {
    Outcome o;
    QDate date(2024, 5, 20);
    try {
        o.Created = service.PushBill({}, list, user, o.OrderIds, date);
    } catch (const Error& e) {
        o.Error = e.Description();
    }
    return o;
}

QStringList Created(const RecordListPtr& list) {
    QStringList out;
    if (list)
        for (const RecordPtr& r : *list)
            out << r->Text("FSupplyName") + "|" + r->Text("FBillNO") + "|" + r->Text("FDate");
    return out;
}

// Per entry: ordered quantity and the sum of its line sources, where they differ or exceed qty.
QString BrokenEntries(const store::Store& db) {
    return Rows(db, "SELECT e.plan_id, e.entry_id, e.qty, e.ordered_qty, COALESCE(s.total, 0)"
                    " FROM plan_entries e LEFT JOIN (SELECT plan_id, entry_id, SUM(qty) AS total"
                    " FROM purchase_order_line_sources GROUP BY plan_id, entry_id) s"
                    " ON s.plan_id = e.plan_id AND s.entry_id = e.entry_id"
                    " WHERE e.ordered_qty > e.qty OR ABS(e.ordered_qty - COALESCE(s.total, 0)) > 1e-6"
                    " OR e.unordered_qty <> e.qty - e.ordered_qty");
}

} // namespace

TEST_P(PushTest, PushCreatesOrdersPerSupplierWhoseLinesAndSourcesAddUp) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    services::PurchasePlanUpdateService service(admin);

    // 10_1 and 11_1 fold into one line of supplier 1; 100.254 is all of 10_1 at its 2 decimals.
    RecordListPtr list = ListOf(
        {PushLine("1", {{10, 1, "100.254"}, {11, 1, "4"}}), PushLine("2", {{10, 2, "30"}}, "0.5", "")});
    const Outcome o = Push(service, list);
    ASSERT_EQ(o.Error, "");
    EXPECT_EQ(Created(o.Created), QStringList({"上海宏达五金有限公司|POORD000001|2024-05-20",
                                               "苏州恒信电子科技有限公司|POORD000002|2024-05-20"}));
    EXPECT_EQ(o.OrderIds,
              Rows(*db, "SELECT id FROM purchase_orders WHERE bill_no LIKE 'POORD%' ORDER BY id"));
    EXPECT_EQ(Rows(*db, "SELECT bill_no, bill_date, supplier_id, created_by, closed FROM purchase_orders"
                        " WHERE bill_no LIKE 'POORD%' ORDER BY id"),
              "POORD000001|2024-05-20|1|1|0,POORD000002|2024-05-20|2|1|0");
    EXPECT_EQ(
        Rows(*db, "SELECT line_no, item_id, aux_prop_id, unit_id, qty, price, tax_rate, finish_date, memo"
                  " FROM purchase_order_lines WHERE order_id IN (" +
                      o.OrderIds + ") ORDER BY order_id, line_no"),
        "1|1|NULL|2|104.25|12.5|13|2024-06-01|it's urgent,1|3|1|1|30|0.5|13|NULL|it's urgent");
    EXPECT_EQ(Rows(*db, "SELECT line_no, plan_id, entry_id, qty FROM purchase_order_line_sources"
                        " WHERE order_id IN (" +
                            o.OrderIds + ") ORDER BY order_id, plan_id, entry_id"),
              "1|10|1|100.25,1|11|1|4,1|10|2|30");
    const QString entries = "SELECT plan_id, entry_id, ordered_qty, unordered_qty, push_qty, row_version"
                            " FROM plan_entries WHERE plan_id IN (10, 11) AND close_mark = ''"
                            " ORDER BY plan_id, entry_id";
    EXPECT_EQ(Rows(*db, entries), "10|1|100.25|0|0|2,10|2|50|0|0|2,11|1|4|6|6|2");
    EXPECT_EQ(BrokenEntries(*db), "");

    // The read side sees the same orders, and skips an id that is no order.
    QString both = o.OrderIds + ",99";
    EXPECT_EQ(Created(services::MrpDataService(admin).RefreshPOOrderBill({}, both)), Created(o.Created));

    // What is left of 11_1 goes on the next number; 10_1, given nothing at its decimals, keeps
    // its version.
    EXPECT_EQ(Created(Push(service, ListOf({PushLine("1", {{11, 1, "6"}, {10, 1, "0.001"}})})).Created)
                  .value(0)
                  .section('|', 1, 1),
              "POORD000003");
    EXPECT_EQ(Rows(*db, entries), "10|1|100.25|0|0|2,10|2|50|0|0|2,11|1|10|0|0|3");
    EXPECT_EQ(BrokenEntries(*db), "");
}

TEST_P(PushTest, RefusedPushNamesPlanAndEntryAndWritesNothing) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    db->Exec("INSERT INTO user_supplier_rights (user_id, supplier_code, may_use) VALUES (2, '01.0''2', 0)");
    db->Exec(
        "UPDATE plan_entries SET close_mark = '' WHERE plan_id = 10 AND entry_id = 3"); // open, no supplier
    services::PurchasePlanUpdateService service(buyer);
    const QString before = Snapshot(*db);
    const QString e101 = "采购建议号[CGJY000010]分录号 1：",
                  changed = "该分录已被其他用户修改，请刷新后重新下推";
    const struct {
        RecordPtr Line;
        QString Error;
    } cases[] = {
        {PushLine("1", {{10, 9, "1"}}), "采购建议号[CGJY000010]分录号 9：该分录已不存在，可能已被删除"},
        {PushLine("1", {{11, 2, "1"}}), "采购建议号[CGJY000011]分录号 2：该分录已关闭，不能下推"},
        {PushLine("1", {{10, 3, "1"}}), "采购建议号[CGJY000010]分录号 3：该分录没有供应商，不能下推"},
        {PushLine("", {{10, 1, "1"}}), e101 + "该分录没有供应商，不能下推"},
        {PushLine("2", {{10, 1, "1"}}), e101 + "该分录的供应商已被其他用户修改，请刷新后重新下推"},
        {PushLine("1", {{10, 1, "100.26"}}),
         e101 + "下推数量 100.26 超过未下达采购订单数量 100.25，可能已被其他用户下推，请刷新后重新下推"},
        {PushLine("1", {{10, 1, "0"}}), e101 + "下推数量必须大于 0：0"},
        {PushLine("1", {{10, 1, "-2"}, {11, 1, "3"}}), e101 + "下推数量必须大于 0：-2"},
        {PushLine("1", {{10, 1, "0.001"}}), e101 + "下推数量必须大于 0：0.001"}, // nothing at 2 decimals
        {With(PushLine("1", {{10, 1, "1"}}), "FInterID", "abc"),
         "采购建议号[0]分录号 0：采购建议内码“abc”不是有效的编号"},
        {With(PushLine("1", {{10, 1, "1"}}), "FDiscountRate", "100.5"),
         e101 + "折扣率应在 0 到 100 之间：100.5"},
        // A bad value is shown to its first 40 characters.
        {PushLine("1", {{10, 1, QString(41, u'x')}}), e101 + "下推数量“" + QString(40, u'x') + "”不是数字"},
        {PushLine("1", {{10, 1, "1"}, {12, 1, "1"}}),
         "采购建议号[CGJY000009]分录号 1：该分录的供应商已被其他用户修改，请刷新后重新下推"},
        {PushLine("2", {{10, 2, "1"}}), "采购建议号[CGJY000010]分录号 2：没有使用供应商“01.0'2”的权限"},
        {With(PushLine("1", {{10, 1, "1"}}), "FVersion", "7"), e101 + changed},
    };
    for (const auto& c : cases) {
        // A good line first: it must not be ordered either.
        EXPECT_EQ(Push(service, ListOf({PushLine("1", {{11, 1, "1"}}), c.Line}), 2).Error, c.Error);
        EXPECT_EQ(Snapshot(*db), before) << c.Error.toStdString();
    }
    // The list's rows after a push whose reload never came: the same ticks push nothing twice.
    const RecordListPtr stale = ListOf({With(PushLine("1", {{10, 1, "1"}}), "FVersion", "1")});
    EXPECT_EQ(Push(service, stale, 2).Error, "");
    EXPECT_EQ(Push(service, stale, 2).Error, e101 + changed);
    // A supplier whose credit control refuses takes no push beyond its line.
    db->Exec("UPDATE suppliers SET credit_line = 0.01, credit_control = '3' WHERE id = 1");
    const QString limited = Snapshot(*db);
    const QString refusal = Push(service, ListOf({PushLine("1", {{11, 1, "1"}})}), 2).Error;
    EXPECT_TRUE(refusal.endsWith("超过信用额度，不能下推")) << refusal.toStdString();
    EXPECT_EQ(Snapshot(*db), limited);
}

// A line above the price list's limit is ordered only when the user saw it and went on: the
// list or the tolerance may have changed since the window asked, and a caller may not have asked.
TEST_P(PushTest, ALineAboveItsPriceLimitIsOrderedOnlyWhenConfirmed) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    // Item 1 from supplier 1 in 千克: 10, so at most 11 with the 10% tolerance.
    db->Exec("INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from) VALUES"
             " (1, 1, 2, 10, '2024-01-01')");
    services::PurchasePlanUpdateService service(admin);
    const QString before = Snapshot(*db);
    EXPECT_EQ(Push(service, ListOf({PushLine("1", {{10, 1, "1"}}, "12.5")})).Error,
              "采购建议号[CGJY000010]分录号 1：单价 12.5000 高于供应商价格表的限价 "
              "11.0000，下推前未经确认；请重新下推");
    EXPECT_EQ(Snapshot(*db), before);
    const RecordPtr confirmed =
        With(PushLine("1", {{10, 1, "1"}}, "12.5"), services::kHighPriceConfirmedField, 1);
    EXPECT_EQ(Push(service, ListOf({PushLine("1", {{10, 1, "1"}}, "11"), confirmed})).Error, "");
    EXPECT_EQ(Rows(*db,
                   "SELECT price FROM purchase_order_lines WHERE order_id IN (SELECT id FROM purchase_orders"
                   " WHERE bill_no NOT LIKE 'OLD%') ORDER BY price"),
              "11,12.5");
}

// A push of more lines than a server statement carries (lines, sources and entries are written in
// batches there, entries read a hundred at a time) writes the same rows as SQLite, which writes them
// one at a time. Plan 1 starts with entry 1: a plan's first entry is read whatever its number. The
// lines come over a row source, as a large selection does, and stay there: none becomes a record.
TEST(PushBothStores, ALargePushWritesTheSameRowsOnEitherStore) {
    const QString pg = NewPostgresUrl();
    ZPP_REQUIRE_STORE(pg);
    constexpr int kPlans = 3, kEntries = 420;
    QStringList snapshots;
    for (const QString& location : {NewSQLitePath(), pg}) {
        auto db = store::Store::Open(location);
        SeedPlans(*db);
        db->InTransaction([&] {
            for (int p = 1; p <= kPlans; ++p) {
                AddPlan(*db, p, QString("CGJY%1").arg(p, 6, 10, QChar('0')), "2024-05-10");
                for (int e = 1; e <= kEntries; ++e)
                    AddEntry(*db, p, e, "2024-05-10", 1 + e % 2, 1, 10);
            }
        });
        // Each entry on its own line, and every fifth one also merged with the next plan's.
        auto list = RecordList::Create();
        for (int p = 1; p <= kPlans; ++p)
            for (int e = 1; e <= kEntries; ++e) {
                list->Add(PushLine("1", {{p, e, QString::number(1 + e % 4)}}));
                if (e % 5 == 0 && p < kPlans)
                    list->Add(PushLine("1", {{p, e, "2.5"}, {p + 1, e, "3"}}));
            }
        list = SourceListOf(list);
        services::PurchasePlanUpdateService service(
            std::make_shared<store::Session>(store::LogIn(db, "admin")));
        ASSERT_EQ(Push(service, list).Error, "");
        EXPECT_TRUE(RowsStayInSource(*list));
        EXPECT_EQ(BrokenEntries(*db), "");
        snapshots << Snapshot(*db);
    }
    EXPECT_EQ(snapshots[0], snapshots[1]);
}

INSTANTIATE_TEST_SUITE_P(Stores, PushTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
