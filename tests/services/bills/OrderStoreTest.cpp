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

// A decrease gives back to the last entry first, then to the one before; an increase takes from
// the entries' unordered quantity or is refused whole, with what else the save held. Each state
// is the entries (ordered, unordered, push, version), the lines' quantities and the sources.
TEST_P(OrderStore, ADecreaseGivesBackToTheLastEntryFirst) {
    ZPP_OPEN_OR_SKIP();
    PurchaseOrderStore orders(session);
    const auto state = [&]() -> QString {
        return Rows(*db,
                    "SELECT entry_id, ordered_qty, unordered_qty, push_qty, row_version FROM plan_entries"
                    " WHERE plan_id = 1 AND entry_id < 3 ORDER BY entry_id") +
               " / " +
               Rows(*db, "SELECT qty, price FROM purchase_order_lines WHERE order_id = 1 ORDER BY line_no") +
               " / " +
               Rows(*db, "SELECT entry_id, qty FROM purchase_order_line_sources WHERE order_id = 1 ORDER BY "
                         "entry_id");
    };
    const struct {
        int Line;
        double Qty, Price;
        std::string Outcome;
    } steps[] = {
        {1, 25, 2.5, "(accepted)"},
        {1, 12, 2.5, "(accepted)"},
        {1, 40, 2.5, "(accepted)"},
        {1, 100, 9, "第 1 行：计划单 PP001 分录 2 未下推数量不足（需要 60.00，可用 20.00）"},
        {2, 500, 2.5, "(accepted)"}, // typed by hand: changes freely
    };
    QStringList states;
    for (const auto& s : steps) {
        const PurchaseOrder po = orders.Load(1);
        QVector<OrderLine> lines = With(po, s.Line, [&](OrderLine& l) { l.Qty = s.Qty; });
        lines[1].Price = s.Price;
        EXPECT_EQ(Refusal([&] { orders.Save(po, lines); }), s.Outcome) << s.Qty;
        states << state();
    }
    EXPECT_EQ(states, QStringList({"1|20|30|30|1,2|5|5|5|2 / 25|10,5|2.5 / 1|20,2|5",
                                   "1|12|38|38|2,2|0|10|10|3 / 12|10,5|2.5 / 1|12,2|0",
                                   "1|40|10|10|3,2|0|10|10|3 / 40|10,5|2.5 / 1|40,2|0",
                                   "1|40|10|10|3,2|0|10|10|3 / 40|10,5|2.5 / 1|40,2|0",
                                   "1|40|10|10|3,2|0|10|10|3 / 40|10,500|2.5 / 1|40,2|0"}));
    // A closed entry gives nothing more: 11 is more than entry 2 has left.
    db->Exec("UPDATE plan_entries SET close_mark = 'Y' WHERE plan_id = 1 AND entry_id = 1");
    const PurchaseOrder po = orders.Load(1);
    EXPECT_NE(Refusal([&] { orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty += 11; })); }),
              "(accepted)");
}

TEST_P(OrderStore, RefusesNegativeValuesBadDatesAndClosedOrders) {
    ZPP_OPEN_OR_SKIP();
    PurchaseOrderStore orders(session);
    const PurchaseOrder po = orders.Load(1), closed = orders.Load(2);
    const struct {
        const PurchaseOrder& Order;
        int Line;
        std::function<void(OrderLine&)> Change;
        std::string Outcome;
    } cases[] = {
        {po, 1, [](OrderLine& l) { l.Qty = -1; }, "第 1 行数量不能小于 0"},
        {po, 2, [](OrderLine& l) { l.Price = -0.5; }, "第 2 行单价不能小于 0"},
        {po, 1, [](OrderLine& l) { l.FinishDate = {}; }, "第 1 行交货日期不是有效日期"},
        {po, 1, [](OrderLine& l) { l.FinishDate = QDate(2024, 5, 9); },
         "第 1 行交货日期不能早于订单日期 2024-05-10"},
        {closed, 1, [](OrderLine& l) { l.Qty = 1; }, "采购订单 PO002 已关闭，不能修改"},
        {po, 1, [](OrderLine& l) { l.FinishDate = QDate(2024, 5, 10); },
         "(accepted)"}, // the order date is fine
    };
    for (const auto& c : cases)
        EXPECT_EQ(Refusal([&] { orders.Save(c.Order, With(c.Order, c.Line, c.Change)); }), c.Outcome)
            << c.Outcome;
    EXPECT_EQ(orders.Load(1).Lines[0].FinishDate, QDate(2024, 5, 10));
    EXPECT_EQ(Ordered(3), 4);
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
    EXPECT_EQ(Ordered(1), 50);
    EXPECT_EQ(LinePrice(), 11);

    // The line was saved (by this window or another) since po was loaded: refused whole.
    const QString line =
                      "SELECT qty, row_version FROM purchase_order_lines WHERE order_id = 1 AND line_no = 1",
                  before = Rows(*db, line);
    EXPECT_EQ(Refusal([&] { orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 25; })); }),
              "采购订单 PO001 第 1 行已被其他用户修改，请关闭后重新打开");
    EXPECT_EQ(Rows(*db, line), before);
}

// A supplier whose credit control refuses takes no raise beyond its line from the order window
// either; giving back is always allowed.
TEST_P(OrderStore, ARaiseBeyondARefusingCreditLineIsRefused) {
    ZPP_OPEN_OR_SKIP();
    // Open for supplier 1: PO001's 30 × 10 and 5 × 2.5 (PO002 is closed), and 5 to spare.
    db->Exec("UPDATE suppliers SET credit_line = 317.5, credit_control = '3' WHERE id = 1");
    PurchaseOrderStore orders(session);
    const PurchaseOrder po = orders.Load(1);
    EXPECT_NE(Refusal([&] {
                  orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 31; }));
              }).find("超过信用额度，不能保存"),
              std::string::npos);
    orders.Save(po, With(po, 1, [](OrderLine& l) { l.Qty = 29; }));
    EXPECT_EQ(LineQty(1, 1), 29);
}

// A raise above the price list's 10 plus 10% needs the user's yes for that line, checked again
// under the save: the list price may have fallen since the window asked.
TEST_P(OrderStore, APriceRaisedAboveTheListLimitNeedsTheUsersYesForItsLine) {
    ZPP_OPEN_OR_SKIP();
    PurchaseOrderStore orders(session);
    const PurchaseOrder po = orders.Load(1);
    const auto at = [&](double p) { return With(po, 1, [p](OrderLine& l) { l.Price = p; }); };
    const std::string refused = "第 1 行单价高于供应商价格表的限价，未经确认，不能保存";
    EXPECT_EQ(Refusal([&] { orders.Save(po, at(12), {2}); }), refused);
    db->Exec("UPDATE supplier_prices SET price = 9 WHERE valid_from = '2024-01-01'");
    EXPECT_EQ(Refusal([&] { orders.Save(po, at(11)); }), refused);
    EXPECT_EQ(LinePrice(), 10);
    orders.Save(po, at(12), {1});
    EXPECT_EQ(LinePrice(), 12);
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
