#include "component/host/LongWork.h"
#include "services/bills/PurchaseOrderStore.h"
#include "services/planning/HighPrice.h"
#include "services/planning/MrpDataService.h"
#include "services/planning/PlanFixture.h"
#include "services/planupdate/PurchasePlanUpdateService.h"

#include <QSqlRecord>
#include <atomic>
#include <functional>
#include <thread>

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

// Runs rounds on `threads` connections of their own (as admin), released together. A round
// answers what went wrong, or nothing; the answer is every thread's, joined.
QString AtOnce(const QString& location, int threads, int rounds,
               const std::function<QString(const store::SessionPtr&, int who, int round)>& act) {
    std::atomic<int> ready = 0;
    std::vector<QStringList> failures(static_cast<std::size_t>(threads));
    auto run = [&](int who) {
        try {
            auto session =
                std::make_shared<store::Session>(store::LogIn(store::Store::Open(location), "admin"));
            ++ready;
            while (ready < threads)
                std::this_thread::yield();
            for (int round = 0; round < rounds; ++round)
                if (const QString failure = act(session, who, round); !failure.isEmpty())
                    failures[std::size_t(who)] << failure;
        } catch (const std::exception& e) {
            failures[std::size_t(who)] << QString::fromUtf8(e.what());
        }
    };
    std::vector<std::thread> running;
    for (int i = 0; i < threads; ++i)
        running.emplace_back(run, i);
    for (auto& t : running)
        t.join();
    QStringList all;
    for (const QStringList& f : failures)
        all += f;
    return all.join(u'\n');
}

RecordListPtr PushList(std::initializer_list<RecordPtr> lines) {
    auto list = RecordList::Create();
    for (const RecordPtr& r : lines)
        list->Add(r);
    return list;
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
            out << QStringList{r->Text("FSupplyName"), r->Text("FBillNO"), r->Text("FDate"),
                               r->Text("FInterID")}
                       .join(u'|');
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

// The orders behind what the seeded plans have ordered already (10_2: 20, 11_2: 5), delivered.
void SeedOrderHistory(const store::Store& db) {
    db.Exec("INSERT INTO purchase_orders (bill_no, bill_date, supplier_id, created_at, closed) VALUES"
            " ('OLD1', '2024-05-02', 2, 'x', 1), ('OLD2', '2024-05-03', 1, 'x', 1)");
    for (auto [bill, plan, entry, item, qty] :
         {std::tuple{"OLD1", 10, 2, 3, 20}, std::tuple{"OLD2", 11, 2, 2, 5}}) {
        const QVariant order = db.Scalar("SELECT id FROM purchase_orders WHERE bill_no = ?", {QString(bill)});
        db.Exec("INSERT INTO purchase_order_lines (order_id, line_no, item_id, unit_id, qty) VALUES (?, 1, "
                "?, 1, ?)",
                {order, item, qty});
        db.Exec("INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id, qty)"
                " VALUES (?, 1, ?, ?, ?)",
                {order, plan, entry, qty});
    }
}

} // namespace

TEST_P(PushTest, PushCreatesOrdersPerSupplierWhoseLinesAndSourcesAddUp) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    SeedOrderHistory(*db);
    services::PurchasePlanUpdateService service(admin);

    RecordListPtr nothing = RecordList::Create();
    QString ids = "untouched";
    QDate date(2024, 5, 20);
    EXPECT_EQ(service.PushBill({}, nothing, 1, ids, date), nullptr);
    EXPECT_EQ(ids, "untouched");

    // 10_1 and 11_1 fold into one line of supplier 1; 100.254 is all of 10_1 at its 2 decimals.
    RecordListPtr list = PushList(
        {PushLine("1", {{10, 1, "100.254"}, {11, 1, "4"}}), PushLine("2", {{10, 2, "30"}}, "0.5", "")});
    const Outcome o = Push(service, list);
    ASSERT_EQ(o.Error, "");
    const QString first =
        db->Scalar("SELECT id FROM purchase_orders WHERE bill_no = 'POORD000001'").toString();
    const QString second =
        db->Scalar("SELECT id FROM purchase_orders WHERE bill_no = 'POORD000002'").toString();
    EXPECT_EQ(Created(o.Created), QStringList({"上海宏达五金有限公司|POORD000001|2024-05-20|" + first,
                                               "苏州恒信电子科技有限公司|POORD000002|2024-05-20|" + second}));
    EXPECT_EQ(o.OrderIds, first + "," + second);
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
    EXPECT_EQ(Rows(*db, "SELECT last_no FROM bill_counters WHERE kind = 'POOrder'"), "2");
    EXPECT_EQ(BrokenEntries(*db), "");

    // The read side sees the same orders; the bill window finds one by "FInterID = id".
    services::MrpDataService mrp(admin);
    QString both = o.OrderIds + ",99", bad = first + ",x";
    EXPECT_EQ(Created(mrp.RefreshPOOrderBill({}, both)), Created(o.Created));
    EXPECT_THROW(mrp.RefreshPOOrderBill({}, bad), Error);
    RecordSetPtr orders = mrp.getPOOrderBills({});
    ASSERT_EQ(orders->RecordCount(), 4);
    EXPECT_EQ(orders->Text("FBillNo") + orders->Text("FStatus"), "OLD11");
    ASSERT_TRUE(orders->Find("FInterID = " + second));
    QStringList found;
    for (const char* f : {"FBillNo", "FDate", "FSupplyID", "FSupplyName", "FTranType", "FStatus"})
        found << orders->Text(f);
    EXPECT_EQ(found.join(u'|'), "POORD000002|2024-05-20|2|苏州恒信电子科技有限公司|71|0");

    // The same list again: 10_1 has nothing left, so nothing more is ordered.
    const QString before = Snapshot(*db);
    EXPECT_EQ(Push(service, list).Error,
              "采购建议号[CGJY000010]分录号 1：下推数量 100.25 超过未下达采购订单数量 0.00，"
              "可能已被其他用户下推，请刷新后重新下推");
    EXPECT_EQ(Snapshot(*db), before);
    // What is left of 11_1 goes on the next number; 10_1, given nothing at its decimals, keeps
    // its version.
    EXPECT_EQ(Created(Push(service, PushList({PushLine("1", {{11, 1, "6"}, {10, 1, "0.001"}})})).Created)
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
        {PushLine("1", {{10, 1, "1x"}}), e101 + "下推数量“1x”不是数字"},
        {PushLine("1", {{10, 1, "0.001"}}), e101 + "下推数量必须大于 0：0.001"}, // nothing at 2 decimals
        {With(PushLine("1", {{10, 1, "1"}}), "FDiscountRate", "100.5"),
         e101 + "折扣率应在 0 到 100 之间：100.5"},
        {With(PushLine("1", {{10, 1, "1"}}), "FInterID", "abc"),
         "采购建议号[0]分录号 0：采购建议内码“abc”不是有效的编号"},
        // A bad value is shown to its first 40 characters.
        {PushLine("1", {{10, 1, QString(41, u'x')}}), e101 + "下推数量“" + QString(40, u'x') + "”不是数字"},
        {PushLine("1", {{10, 1, "1"}}, "-1"), e101 + "含税单价不能为负数：-1"},
        {PushLine("1", {{10, 1, "1"}}, "1", "2024-02-30"), e101 + "建议交货日期“2024-02-30”不是有效的日期"},
        {PushLine("1", {{10, 1, "1"}, {12, 1, "1"}}),
         "采购建议号[CGJY000009]分录号 1：该分录的供应商已被其他用户修改，请刷新后重新下推"},
        {PushLine("2", {{10, 2, "1"}}), "采购建议号[CGJY000010]分录号 2：没有使用供应商“01.0'2”的权限"},
        {With(PushLine("1", {{10, 1, "1"}}), "FVersion", "7"), e101 + changed},
    };
    for (const auto& c : cases) {
        // A good line first: it must not be ordered either.
        EXPECT_EQ(Push(service, PushList({PushLine("1", {{11, 1, "1"}}), c.Line}), 2).Error, c.Error);
        EXPECT_EQ(Snapshot(*db), before) << c.Error.toStdString();
    }
    // The list's rows after a push whose reload never came: the same ticks push nothing twice.
    const RecordListPtr stale = PushList({With(PushLine("1", {{10, 1, "1"}}), "FVersion", "1")});
    EXPECT_EQ(Push(service, stale, 2).Error, "");
    EXPECT_EQ(Push(service, stale, 2).Error, e101 + changed);
}

// A line above the price list's limit is ordered only when the user saw it and went on: the
// list or the tolerance may have changed since the window asked, and a caller may not have asked.
TEST_P(PushTest, ALineAboveItsPriceLimitIsOrderedOnlyWhenConfirmed) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    // Item 1 from supplier 1 in 千克: 10, so at most 11 with the 10% tolerance.
    db->Exec("INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from) VALUES"
             " (1, 1, 2, 10, '2024-01-01')");
    db->Exec("UPDATE user_rights SET granted_mask = granted_mask & ~4 WHERE user_id = 2");
    services::PurchasePlanUpdateService asAdmin(admin),
        asBuyer(std::make_shared<store::Session>(store::LogIn(db, "buyer")));
    const QString before = Snapshot(*db);
    const QString e101 = "采购建议号[CGJY000010]分录号 1：";
    EXPECT_EQ(Push(asAdmin, PushList({PushLine("1", {{10, 1, "1"}}, "12.5")})).Error,
              e101 + "单价 12.5000 高于供应商价格表的限价 11.0000，下推前未经确认；请重新下推");
    // Without the price right the stored 12.5 is judged, and not named.
    EXPECT_EQ(Push(asBuyer, PushList({PushLine("1", {{10, 1, "1"}}, "")}), 2).Error,
              e101 + "单价高于供应商价格表的限价，下推前未经确认；请重新下推");
    EXPECT_EQ(Snapshot(*db), before);

    EXPECT_EQ(Push(asAdmin, PushList({PushLine("1", {{10, 1, "1"}}, "11")})).Error, "");
    const RecordPtr confirmed =
        With(PushLine("1", {{10, 1, "1"}}, "12.5"), services::kHighPriceConfirmedField, 1);
    EXPECT_EQ(Push(asAdmin, PushList({confirmed})).Error, "");
    EXPECT_EQ(Rows(*db, "SELECT price FROM purchase_order_lines ORDER BY price"), "11,12.5");
}

// A push broken before any one of its statements leaves the store as it was, counter included.
TEST_P(PushTest, PushBrokenAtAnyStatementLeavesTheStoreAsItWas) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    SeedOrderHistory(*db);
    auto list = [] {
        return PushList({PushLine("1", {{10, 1, "3"}, {11, 1, "4"}}), PushLine("2", {{10, 2, "5"}}),
                         PushLine("2", {{12, 1, "6"}})});
    };
    int statements = 0;
    const QString before = Snapshot(*db);
    {
        services::PurchasePlanUpdateService counting(admin);
        counting.SetPushStatementHook([&] { ++statements; });
        ASSERT_EQ(Push(counting, list()).Error, "");
    }
    const QString after = Snapshot(*db);
    ASSERT_GT(statements, 10);
    // A second store seeded alike is broken at each statement in turn.
    db = store::Store::Open(NewStoreLocation(GetParam()));
    admin = std::make_shared<store::Session>(store::LogIn(db, "admin"));
    SeedPlans(*db);
    SeedOrderHistory(*db);
    ASSERT_EQ(Snapshot(*db), before);
    for (int n = 1; n <= statements; ++n) {
        services::PurchasePlanUpdateService breaking(admin);
        int seen = 0;
        breaking.SetPushStatementHook([&] {
            if (++seen == n)
                throw Error(QString("broken before statement %1").arg(n));
        });
        EXPECT_EQ(Push(breaking, list()).Error, QString("broken before statement %1").arg(n));
        ASSERT_EQ(Snapshot(*db), before) << "statement " << n;
    }
    // Stopped by the user at the tenth look, as the progress window's 取消 does.
    {
        int looks = 0;
        longwork::Scope poll([&] { return ++looks < 10; });
        services::PurchasePlanUpdateService stopped(admin);
        EXPECT_EQ(Push(stopped, list()).Error, "下推已取消，没有生成任何订单");
        ASSERT_EQ(Snapshot(*db), before);
    }
    services::PurchasePlanUpdateService whole(admin);
    EXPECT_EQ(Push(whole, list()).Error, "");
    // The same numbers and lines: no broken push left a trace such as a used bill number.
    EXPECT_EQ(Snapshot(*db), after);
}

TEST_P(PushTest, CreditCheckAddsThePushToOpenOrders) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db);
    // Supplier 2: line 5000, forbid. 3: line 1000, warn. 4: a line without control.
    db->Exec("INSERT INTO suppliers (id, code, name, credit_line, credit_control) VALUES"
             " (3, '01.003', '三号', 1000, '2'), (4, '01.004', '四号', 10, '')");
    db->Exec("INSERT INTO purchase_orders (id, bill_no, bill_date, supplier_id, created_at, closed) VALUES"
             " (1, 'A', '2024-05-01', 2, 'x', 0), (2, 'B', '2024-05-01', 2, 'x', 1)");
    db->Exec("INSERT INTO purchase_order_lines (order_id, line_no, item_id, unit_id, qty, price) VALUES"
             " (1, 1, 1, 2, 10, 300), (1, 2, 1, 2, 2, 500), (2, 1, 1, 2, 100, 50)");
    services::MrpDataService mrp(admin);
    auto check = [&](std::initializer_list<std::tuple<QString, QString, QString>> lines) -> QString {
        auto list = RecordList::Create();
        for (const auto& [supplier, qty, price] : lines)
            list->Add(PushLine(supplier, {{10, 1, qty}}, price));
        QString control = "?", suppliers = "?";
        const bool ok = mrp.CheckCreditDegrees({}, list, control, suppliers);
        return QString(ok ? "1|" : "0|") + control + "|" + suppliers;
    };
    // Open 4000 (the closed order does not count) plus 1000 reaches the line exactly.
    EXPECT_EQ(check({{"2", "5", "200"}, {"1", "1000", "1000"}, {"4", "1", "11"}}), "1|?|?");
    EXPECT_EQ(check({{"3", "11", "100"}}), "0|2|供应商 01.003 三号：信用额度 1000.00，未结金额 1100.00");
    EXPECT_EQ(check({{"3", "11", "100"}, {"2", "2", "200"}, {"2", "3.01", "200"}}),
              "0|3|供应商 01.003 三号：信用额度 1000.00，未结金额 1100.00\r\n"
              "供应商 01.0'2 苏州恒信电子科技有限公司：信用额度 5000.00，未结金额 5002.00");
}

// Pushes against order-window saves, closes, reopens and deletes of the same plans at once:
// whatever wins, no store failure (deadlock, lost connection) reaches a user, every entry's ordered
// quantity is what its order lines took, and no order line takes from a plan that was deleted.
// Each round every connection also pushes against supplier 2's credit line that refuses ("3"):
// checked inside each push with the supplier locked, the pushes never pass it together.
// (Racing pushes of overlapping entries are the load suite's, on processes of their own.)
TEST_P(PushTest, PushesSavesClosesAndDeletesAtOnceKeepTheEntriesWhole) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    SeedPlans(*db); // supplier 2: credit line 5000, control "3"
    SeedOrderHistory(*db);
    AddPlan(*db, 40, "CGJY000040", "2024-05-10");
    for (int e = 1; e <= 5; ++e)
        AddEntry(*db, 40, e, "2024-05-10", 3, 2, 1000);
    for (int plan = 60; plan < 64; ++plan) {
        AddPlan(*db, plan, QString("CGJY0000%1").arg(plan), "2024-05-10");
        for (int e = 1; e <= 2; ++e)
            AddEntry(*db, plan, e, "2024-05-10", 1, 1, 60);
    }
    // An order whose line the window saves takes from plan 60, which is never closed or deleted.
    services::PurchasePlanUpdateService first(admin);
    ASSERT_EQ(Push(first, PushList({PushLine("1", {{60, 1, "10"}, {60, 2, "10"}})})).Error, "");
    const qint64 order = db->Scalar("SELECT MAX(id) FROM purchase_orders").toLongLong();
    std::atomic<int> done = 0, credited = 0;
    EXPECT_EQ(
        AtOnce(db->Location(), 5, 8,
               [&](const store::SessionPtr& session, int who, int round) -> QString {
                   services::PurchasePlanUpdateService service(session);
                   const int plan = 61 + (round + who) % 3, entry = 1 + round % 2;
                   // 10 at 100: a fifth of the credit line each time.
                   const QString credit =
                       Push(service, PushList({PushLine("2", {{40, 1 + who, "10"}}, "100")})).Error;
                   credited += credit.isEmpty() ? 1 : 0;
                   if (!credit.isEmpty() && !credit.contains("超过信用额度，不能下推"))
                       return credit;
                   QString error;
                   try {
                       auto request = KeyedRecord::Create();
                       request->Set("FInterID", QString::number(plan));
                       request->Set("FEntryID", QString::number(entry));
                       request->Set("FBillNo", QString("CGJY0000%1").arg(plan));
                       RecordListPtr list = PushList({request});
                       if (who < 2) {
                           const int target = round % 2 ? plan : 60;
                           error = Push(service, PushList({PushLine("1", {{target, 1 + who, "3"}})})).Error;
                       } else if (who == 2) {
                           const services::PurchaseOrderStore orders(session);
                           const services::PurchaseOrder loaded = orders.Load(order);
                           QVector<services::OrderLine> lines = loaded.Lines;
                           lines[0].Qty += round % 2 ? -3 : 6;
                           orders.Save(loaded, lines);
                       } else if (who == 3) {
                           (round % 2 ? service.UnClosePurchasePlan({}, list)
                                      : service.ClosePurchasePlan({}, list));
                       } else {
                           service.DeletePurChasePlan({}, list);
                       }
                   } catch (const std::exception& e) {
                       error = QString::fromUtf8(e.what());
                   }
                   done += error.isEmpty() ? 1 : 0;
                   return error.contains("数据库") ? error : QString();
               }),
        "");
    EXPECT_GT(done.load(), 0);
    EXPECT_EQ(credited.load(), 5);
    EXPECT_DOUBLE_EQ(
        db->Scalar("SELECT SUM(l.qty * l.price) FROM purchase_orders o JOIN purchase_order_lines l"
                   " ON l.order_id = o.id WHERE o.supplier_id = 2 AND o.closed = 0")
            .toDouble(),
        5000);
    EXPECT_EQ(Rows(*db, "SELECT COUNT(*) - COUNT(DISTINCT bill_no) FROM purchase_orders"), "0");
    EXPECT_EQ(BrokenEntries(*db), "");
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM purchase_order_line_sources s LEFT JOIN plan_entries e"
                         " ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id WHERE e.plan_id IS NULL")
                  .toInt(),
              0);
}

// A push of more lines than a server statement carries (lines, sources and entries are written in
// batches there, entries read a hundred at a time) writes the same rows as SQLite, which writes them
// one at a time. Plan 1 starts with entry 1: a plan's first entry is read whatever its number.
TEST(PushBothStores, ALargePushWritesTheSameRowsOnEitherStore) {
    const QString pg = NewPostgresUrl();
    ZPP_REQUIRE_STORE(pg);
    constexpr int kPlans = 3, kEntries = 420;
    QStringList snapshots;
    for (const QString& location : {NewSQLitePath(), pg}) {
        auto db = store::Store::Open(location);
        SeedPlans(*db);
        SeedOrderHistory(*db);
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
        services::PurchasePlanUpdateService service(
            std::make_shared<store::Session>(store::LogIn(db, "admin")));
        ASSERT_EQ(Push(service, list).Error, "");
        EXPECT_EQ(BrokenEntries(*db), "");
        EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM purchase_order_lines l JOIN purchase_orders o"
                             " ON o.id = l.order_id WHERE o.bill_no NOT LIKE 'OLD%'")
                      .toInt(),
                  list->Count());
        EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM plan_entries WHERE row_version = 2").toInt(),
                  kPlans * kEntries);
        snapshots << Snapshot(*db);
    }
    EXPECT_EQ(snapshots[0], snapshots[1]);
}

INSTANTIATE_TEST_SUITE_P(Stores, PushTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
