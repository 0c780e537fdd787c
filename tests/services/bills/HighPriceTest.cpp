#include "BillsFixture.h"

#include "component/host/ProgIds.h"
#include "component/host/contracts/Bills.h"
#include "services/bills/BillModels.h"
#include "services/bills/frmPOHighPrice.h"
#include "services/planning/HighPrice.h"
#include "support/RecordLists.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace zpp;
using namespace zpp::test;

namespace {
// A push line as the component builds it: grid texts, and the grid row it came from.
RecordPtr Line(const char* item, const char* price, int gridRow, const char* unit = "1",
               const char* supplier = "1") {
    auto r = KeyedRecord::Create();
    r->Set("FItemID", item);
    r->Set("FSupplyID", supplier);
    r->Set("FUnitID", unit);
    r->Set("FPrice", price);
    if (gridRow > 0)
        r->Set("Row", gridRow);
    return r;
}

QVector<int> Positions(const QVector<services::HighPriceLine>& lines) {
    QVector<int> p;
    for (const auto& l : lines)
        p << l.Position;
    return p;
}
} // namespace

using HighPrice = BillsTest;

TEST_P(HighPrice, LinesAboveTheListPricePlusToleranceAreFound) {
    ZPP_OPEN_OR_SKIP();
    const QDate today(2024, 6, 1);
    // List price 10, tolerance 10 %: 11 is allowed, 11.01 is not; item 2 has no list price, and
    // unit 2 and supplier 2 have none either; the list price of 2999 is not valid yet. Item 2 from
    // supplier 2 lists at 0.5: a price below 1 limits too.
    db->Exec("INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from) VALUES"
             " (2, 2, 1, 0.5, '2024-01-01')");
    const auto push =
        ListOf({Line("1", "11.00", 3), Line("1", "11.01", 5), Line("2", "500", 6), Line("1", "50", 7, "2"),
                Line("1", "50", 8, "1", "2"), Line("2", "0.6", 9, "1", "2")});
    const auto above = services::FindHighPriceLines(*db, push, today);
    ASSERT_EQ(Positions(above), (QVector<int>{2, 6}));
    EXPECT_EQ(above[0].GridRow, 5);
    EXPECT_DOUBLE_EQ(above[0].ListPrice, 10);
    EXPECT_NEAR(above[0].Allowed, 11, 1e-9);

    db->Exec("UPDATE system_settings SET value = '0' WHERE section = 'PO' AND key = 'HighPriceTolerance'");
    EXPECT_EQ(Positions(services::FindHighPriceLines(*db, push, today)), (QVector<int>{1, 2, 6}));
    EXPECT_TRUE(services::FindHighPriceLines(*db, nullptr, today).isEmpty());
}

TEST_P(HighPrice, TheWindowStopsAtTheChosenLinesGridRowOrGoesOn) {
    ZPP_OPEN_OR_SKIP();
    auto bills = CreateObject<Bills>(progid::Bills);
    RecordListPtr push = ListOf({Line("1", "10", 2)});
    qint16 row = 1;
    OnModal([](QDialog&) { ADD_FAILURE() << "no line is above its limit: no window"; });
    EXPECT_TRUE(bills->ShowPOHighPriceForm("", push, row));
    EXPECT_EQ(row, 1);

    // A grid row past what the caller's row number holds stops at its last.
    push = ListOf({Line("1", "12", 4), Line("2", "12", 6), Line("1", "20", 40000)});
    OnModal([](QDialog& d) {
        auto& w = dynamic_cast<services::frmPOHighPrice&>(d);
        auto* list = w.findChild<QTableView*>("grdLines");
        QAbstractItemModelTester tester(list->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        ASSERT_EQ(list->model()->rowCount(), 2);
        EXPECT_EQ(list->model()->index(1, 0).data().toString(), "40000");
        EXPECT_EQ(list->model()->index(1, 4).data().toString(), "20.00");
        EXPECT_EQ(list->model()->index(1, 5).data().toString(), "11.00");
        EXPECT_TRUE(w.findChild<QLabel*>("lblPrompt")->text().contains("10%"));
        QTest::keyClick(list, Qt::Key_Down);
        w.findChild<QPushButton*>("cmdCancel")->click();
    });
    EXPECT_FALSE(bills->ShowPOHighPriceForm("", push, row));
    EXPECT_EQ(row, 32767);

    // Enter and Esc stop at the first line; a line without its grid row names its position.
    push = ListOf({Line("2", "1", 0), Line("1", "12", 0)});
    for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
        OnModal([key](QDialog& d) { QTest::keyClick(d.findChild<QTableView*>("grdLines"), Qt::Key(key)); });
        row = 1;
        EXPECT_FALSE(bills->ShowPOHighPriceForm("", push, row));
        EXPECT_EQ(row, 2);
    }
    // Going on marks the lines the user saw above their limit, so the push lets them through.
    OnModal([](QDialog& d) { d.findChild<QPushButton*>("cmdContinue")->click(); });
    EXPECT_TRUE(bills->ShowPOHighPriceForm("", push, row));
    EXPECT_FALSE(push->Item(1)->Exists(services::kHighPriceConfirmedField));
    EXPECT_EQ(push->Item(2)->Get(services::kHighPriceConfirmedField), 1);
}

INSTANTIATE_TEST_SUITE_P(Stores, HighPrice, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
