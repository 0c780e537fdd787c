#include "BillsFixture.h"
#include "support/OrderedElsewhere.h"

#include "platform/records/Values.h"
#include "services/bills/PurchaseOrderStore.h"

using namespace zpp;
using namespace zpp::test;
using services::OrderLine;
using services::PurchaseOrder;
using services::PurchaseOrderStore;

namespace {
// The lines of an order with one line changed.
QVector<OrderLine> With(const PurchaseOrder& order, int lineNo,
                        const std::function<void(OrderLine&)>& change) {
    QVector<OrderLine> lines = order.Lines;
    for (OrderLine& l : lines)
        if (l.LineNo == lineNo)
            change(l);
    return lines;
}

std::string Refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.Description().toStdString();
    }
    return "(accepted)";
}
} // namespace

using OrderStore = BillsTest;

TEST_P(OrderStore, LoadsHeaderLinesAndThePlanEntriesEachLineCameFrom) {
    ZPP_OPEN_OR_SKIP();
    const PurchaseOrder po = PurchaseOrderStore(session).Load(1);
    EXPECT_EQ(po.BillNo, "PO001");
    EXPECT_EQ(po.Date, QDate(2024, 5, 10));
    EXPECT_EQ(po.SupplyName, "上海宏达五金有限公司");
    EXPECT_EQ(po.Buyer, "admin");
    EXPECT_FALSE(po.Closed);
    ASSERT_EQ(po.Lines.size(), 2);
    const OrderLine& l = po.Lines[0];
    EXPECT_EQ(l.ItemNumber, "01.001");
    EXPECT_EQ(l.UnitName, "个");
    EXPECT_EQ(l.Qty, 30);
    EXPECT_EQ(l.FinishDate, QDate(2024, 5, 20));
    ASSERT_EQ(l.Sources.size(), 2);
    EXPECT_EQ(l.Sources[1].PlanBillNo, "PP001");
    EXPECT_EQ(l.Sources[1].EntryId, 2);
    EXPECT_EQ(l.Sources[1].Qty, 10);
    EXPECT_TRUE(po.Lines[1].Sources.isEmpty());
    EXPECT_TRUE(PurchaseOrderStore(session).Load(2).Closed);
    EXPECT_EQ(Refusal([&] { PurchaseOrderStore(session).Load(77); }), "采购订单 77 不存在");
}

TEST_P(OrderStore, ADecreaseGivesBackToTheLastEntryFirst) {
    ZPP_OPEN_OR_SKIP();
    PurchaseOrderStore orders(session);
    const qint64 version1 = EntryAt(1).Version, version2 = EntryAt(2).Version;
    PurchaseOrder po = orders.Load(1);
    orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 25; }));
    EXPECT_EQ(LineQty(1, 1), 25);
    EXPECT_EQ(SourceQty(1, 1, 2), 5);
    const auto e2 = EntryAt(2);
    EXPECT_EQ(e2.Ordered, 5);
    EXPECT_EQ(e2.Unordered, 5);
    EXPECT_EQ(e2.Push, 5);
    EXPECT_EQ(e2.Version, version2 + 1);
    EXPECT_EQ(EntryAt(1).Version, version1);

    // Past the last entry's share the rest comes off the one before; zero is allowed.
    po = orders.Load(1);
    orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 12; }));
    EXPECT_EQ(SourceQty(1, 1, 2), 0);
    EXPECT_EQ(SourceQty(1, 1, 1), 12);
    EXPECT_EQ(EntryAt(1).Ordered, 12);
    EXPECT_EQ(EntryAt(1).Unordered, 38);
    EXPECT_EQ(EntryAt(2).Ordered, 0);
    po = orders.Load(1);
    orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 0; }));
    EXPECT_EQ(EntryAt(1).Ordered, 0);
    EXPECT_EQ(EntryAt(1).Push, 50);
}

TEST_P(OrderStore, AnIncreaseTakesFromTheEntriesUnorderedQuantityOrIsRefusedWhole) {
    ZPP_OPEN_OR_SKIP();
    PurchaseOrderStore orders(session);
    PurchaseOrder po = orders.Load(1);
    orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 40; }));
    EXPECT_EQ(SourceQty(1, 1, 1), 30);
    EXPECT_EQ(EntryAt(1).Ordered, 30);
    EXPECT_EQ(EntryAt(1).Push, 20);
    EXPECT_EQ(EntryAt(2).Ordered, 10);

    // 60 more wanted, 20 left: nothing is written, not even the price edited with it.
    po = orders.Load(1);
    auto lines = With(po, 1, [](OrderLine& l) { l.Qty = 100; });
    lines = With(PurchaseOrder{po.Id, po.BillNo, {}, {}, {}, po.Date, false, true, true, lines}, 2,
                 [](OrderLine& l) { l.Price = 9; });
    EXPECT_EQ(Refusal([&] { orders.Save(po, lines); }),
              "第 1 行：计划单 PP001 分录 2 未下推数量不足（需要 60.00，可用 20.00）");
    EXPECT_EQ(LineQty(1, 1), 40);
    EXPECT_EQ(
        db->Scalar("SELECT price FROM purchase_order_lines WHERE order_id = 1 AND line_no = 2").toDouble(),
        2.5);

    // A closed entry gives nothing more; a line typed by hand changes freely.
    db->Exec("UPDATE plan_entries SET close_mark = 'Y' WHERE plan_id = 1 AND entry_id = 1");
    po = orders.Load(1);
    EXPECT_NE(Refusal([&] { orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 41; })); }), "(accepted)");
    orders.Save(po, With(po, 2, [](OrderLine& l) { l.Qty = 500; }));
    EXPECT_EQ(LineQty(1, 2), 500);
}

TEST_P(OrderStore, RefusesNegativeValuesBadDatesAndClosedOrders) {
    ZPP_OPEN_OR_SKIP();
    PurchaseOrderStore orders(session);
    const PurchaseOrder po = orders.Load(1);
    EXPECT_EQ(Refusal([&] { orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = -1; })); }),
              "第 1 行数量不能小于 0");
    EXPECT_EQ(Refusal([&] { orders.Save(po, With(po, 2, [](OrderLine& l) { l.Price = -0.5; })); }),
              "第 2 行单价不能小于 0");
    EXPECT_EQ(Refusal([&] { orders.Save(po, With(po, 1, [](OrderLine& l) { l.FinishDate = {}; })); }),
              "第 1 行交货日期不是有效日期");
    EXPECT_EQ(Refusal([&] {
                  orders.Save(po, With(po, 1, [](OrderLine& l) { l.FinishDate = QDate(2024, 5, 9); }));
              }),
              "第 1 行交货日期不能早于订单日期 2024-05-10");
    // The order date itself is fine.
    orders.Save(po, With(po, 1, [](OrderLine& l) { l.FinishDate = QDate(2024, 5, 10); }));
    EXPECT_EQ(orders.Load(1).Lines[0].FinishDate, QDate(2024, 5, 10));

    const PurchaseOrder closed = orders.Load(2);
    EXPECT_EQ(Refusal([&] { orders.Save(closed, With(closed, 1, [](OrderLine& l) { l.Qty = 1; })); }),
              "采购订单 PO002 已关闭，不能修改");
    EXPECT_EQ(EntryAt(3).Ordered, 4);
}

// The entries are read under the save's transaction: a push made since the window loaded
// counts, and so does another save of the same line.
TEST_P(OrderStore, WorksFromTheStoresQuantitiesAndRefusesALineSavedElsewhereSinceItWasLoaded) {
    ZPP_OPEN_OR_SKIP();
    PurchaseOrderStore orders(session);
    const PurchaseOrder po = orders.Load(1);
    // A push took from the entry meanwhile: what is left now decides.
    db->InTransaction([&] { OrderElsewhere(*db, 1, 1, 25); });
    EXPECT_NE(Refusal([&] { orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 40; })); }), "(accepted)");
    // Only the field changed is written: a price set by another window stays.
    db->Exec("UPDATE purchase_order_lines SET price = 11 WHERE order_id = 1 AND line_no = 1");
    orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 35; }));
    EXPECT_EQ(EntryAt(1).Ordered, 50);
    EXPECT_EQ(
        db->Scalar("SELECT price FROM purchase_order_lines WHERE order_id = 1 AND line_no = 1").toDouble(),
        11);

    // The line was saved (by this window or another) since po was loaded: refused whole.
    const QString before = db->Scalar("SELECT qty || '/' || row_version FROM purchase_order_lines"
                                      " WHERE order_id = 1 AND line_no = 1")
                               .toString();
    EXPECT_EQ(Refusal([&] { orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 25; })); }),
              "采购订单 PO001 第 1 行已被其他用户修改，请关闭后重新打开");
    EXPECT_EQ(db->Scalar("SELECT qty || '/' || row_version FROM purchase_order_lines"
                         " WHERE order_id = 1 AND line_no = 1")
                  .toString(),
              before);
    const PurchaseOrder again = orders.Load(1);
    orders.Save(again, With(again, 1, [](OrderLine& l) { l.Qty = 25; }));
    EXPECT_EQ(LineQty(1, 1), 25);
}

// A supplier whose credit control refuses takes no raise beyond its line from the order window
// either; giving back is always allowed.
TEST_P(OrderStore, ARaiseBeyondARefusingCreditLineIsRefused) {
    ZPP_OPEN_OR_SKIP();
    const double open =
        db->Scalar("SELECT SUM(l.qty * l.price) FROM purchase_order_lines l JOIN purchase_orders o"
                   " ON o.id = l.order_id WHERE o.supplier_id = 1 AND o.closed = 0")
            .toDouble();
    db->Exec("UPDATE suppliers SET credit_line = ?, credit_control = '3' WHERE id = 1", {open + 5});
    PurchaseOrderStore orders(session);
    const PurchaseOrder po = orders.Load(1);
    EXPECT_NE(Refusal([&] {
                  orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty += 1; }));
              }).find("超过信用额度，不能保存"),
              std::string::npos);
    EXPECT_EQ(LineQty(1, 1), po.Lines[0].Qty);
    orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty -= 1; }));
    EXPECT_EQ(LineQty(1, 1), po.Lines[0].Qty - 1);
}

// A raise above the price list's 10 plus 10% needs the user's yes for that line, checked again
// under the save; a price the line already had, or a cut, is never asked about.
TEST_P(OrderStore, APriceRaisedAboveTheListLimitNeedsTheUsersYesForItsLine) {
    ZPP_OPEN_OR_SKIP();
    PurchaseOrderStore orders(session);
    const auto price = [&] {
        return db->Scalar("SELECT price FROM purchase_order_lines WHERE order_id = 1 AND line_no = 1")
            .toDouble();
    };
    PurchaseOrder po = orders.Load(1);
    const auto at = [&](double p) { return With(po, 1, [p](OrderLine& l) { l.Price = p; }); };
    EXPECT_TRUE(orders.HighPricedLines(po, at(11)).isEmpty());
    EXPECT_EQ(orders.HighPricedLines(po, at(12)), QVector<int>{1});
    EXPECT_EQ(Refusal([&] { orders.Save(po, at(12)); }),
              "第 1 行单价高于供应商价格表的限价，未经确认，不能保存");
    EXPECT_EQ(Refusal([&] { orders.Save(po, at(12), {2}); }),
              "第 1 行单价高于供应商价格表的限价，未经确认，不能保存");
    EXPECT_EQ(price(), 10);
    // The list price fell after the window asked about 11: the save finds it above and refuses.
    db->Exec("UPDATE supplier_prices SET price = 9 WHERE valid_from = '2024-01-01'");
    EXPECT_EQ(Refusal([&] { orders.Save(po, at(11)); }),
              "第 1 行单价高于供应商价格表的限价，未经确认，不能保存");
    orders.Save(po, at(12), {1});
    EXPECT_EQ(price(), 12);
    po = orders.Load(1);
    EXPECT_TRUE(orders.HighPricedLines(po, at(11.5)).isEmpty());
    orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty += 1; }));
}

TEST(OrderAmounts, HalfCentsRoundUpEvenWhenTheDoubleFallsShortOfThem) {
    // As a double, 1.005 is a hair under it; the line still comes to 1.01.
    OrderLine line;
    line.Qty = 1;
    line.Price = 1.005;
    line.TaxRate = 13;
    const auto a = services::LineAmounts(line);
    EXPECT_EQ(values::FormatNumber(a.WithTax, 2), "1.01");
    EXPECT_EQ(values::FormatNumber(a.WithoutTax, 2), "0.89");
    EXPECT_EQ(values::FormatNumber(a.Tax, 2), "0.12");
}

INSTANTIATE_TEST_SUITE_P(Stores, OrderStore, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
