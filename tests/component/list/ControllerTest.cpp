#include "ListFakes.h"
#include "component/grid/AmountColumns.h"
#include "component/host/ComponentState.h"
#include "component/list/MergedAmounts.h"

#include <QDir>
#include <QFile>
#include <thread>

using namespace zpp;
using namespace zpp::test;

namespace {
class Controller : public ControllerFixture {
protected:
    // The texts of the given columns of a row, joined by '|'.
    QString Cells(int row, std::initializer_list<int> cols) {
        QStringList texts;
        for (int c : cols)
            texts << g().Text(c, row);
        return texts.join('|');
    }
    QString Column(int c) {
        QStringList texts;
        for (int r = 1; r <= g().MaxRows(); ++r)
            texts << g().Text(c, r);
        return texts.join(' ');
    }
};
} // namespace

TEST_F(Controller, RefreshShowsTheServiceRowsKeepsThemWhenItFailsAndSelectAllSkipsLockedBoxes) {
    Load(3);
    EXPECT_TRUE(State().FilterConditions->Exists("Seen")); // the record the service left is kept
    ASSERT_EQ(g().MaxRows(), 3);
    EXPECT_EQ(Cells(2, {col::ItemNumber, col::Qty, col::Price, col::VDate, col::FinishDate, col::CheckBox}),
              "1.01.002|2.00|12.500|2026-12-06|2026-12-20|0");
    EXPECT_TRUE(QFileInfo::exists(ui->IniFile));

    Plans().RptFails = true;
    QString none;
    EXPECT_THROW(ui->Refresh(none), Error);
    EXPECT_EQ(g().MaxRows(), 3);
    EXPECT_EQ(ui->Rows()->Count(), 3);

    // Select all and unselect all leave a locked box as it is.
    g().SetCellLock(col::CheckBox, 2, true);
    ui->SelectAll();
    EXPECT_EQ(Column(col::CheckBox), "1 0 1");
    g().SetCellLock(col::CheckBox, 2, false);
    g().SetText(col::CheckBox, 2, "1");
    g().SetCellLock(col::CheckBox, 2, true);
    ui->UnSelectAll();
    EXPECT_EQ(Column(col::CheckBox), "0 1 0");
}

// Rows whose cells differ from row to row in columns of both halves (the grid's odd and even
// columns are filled apart on a big list).
RecordListPtr VariedRows(int from, int to) {
    auto rows = RecordList::Create();
    for (int i = from; i <= to; ++i) {
        RecordPtr r = MakeRow(1, i, QString("1.01.%1").arg(i % 7), i);
        r->Set("FPrice", 10 + i % 13 * 0.25);
        r->Set("FFinishDate", QDate(2026, 1, 1).addDays(i % 300));
        r->Set("FMemo", QString::number(i % 97));
        r->Set("FSupplyNumber", QString("S%1").arg(i % 5));
        rows->Add(r);
    }
    return rows;
}

// Above 2,048 rows alternate columns are filled on two threads: every cell reads as it does when
// the same rows come in parts small enough to be filled on one.
TEST_F(Controller, ABigListFilledOnTwoThreadsShowsEveryCellAsOneThreadDoes) {
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "one core: the list is filled on one thread";
    constexpr int rows = 2600, part = 1300;
    QString none;
    auto texts = [&] {
        QStringList all;
        for (int r = 1; r <= g().MaxRows(); ++r)
            for (int c = 1; c <= col::Count; ++c)
                all << g().Text(c, r);
        return all;
    };
    Plans().Rows = VariedRows(1, part);
    ui->Refresh(none);
    QStringList expected = texts();
    Plans().Rows = VariedRows(part + 1, rows);
    ui->Refresh(none);
    expected += texts();

    Plans().Rows = VariedRows(1, rows);
    ui->Refresh(none);
    ASSERT_EQ(g().MaxRows(), rows);
    EXPECT_TRUE(Shown().isEmpty());
    const QStringList got = texts();
    ASSERT_EQ(got.size(), expected.size());
    int wrong = 0;
    for (qsizetype i = 0; i < got.size() && wrong < 5; ++i)
        if (got[i] != expected[i]) {
            ++wrong;
            ADD_FAILURE() << "row " << i / col::Count + 1 << " col " << i % col::Count + 1 << ": "
                          << got[i].toStdString() << " instead of " << expected[i].toStdString();
        }
    EXPECT_EQ(Cells(rows, {col::ItemNumber, col::Qty, col::Memo}), "1.01.3|2600.00|78");
}

// A fill writes alternate columns apart (from two threads on a big list), so the other half may be
// ahead of a bad cell. A value a cell cannot take stops the fill with a message: every row before
// its row is loaded whole, and no row after it is.
TEST_F(Controller, AFillThatMeetsABadValueKeepsTheRowsBeforeItWholeAndNoneAfter) {
    const struct {
        int Rows, Bad;
        const char* Field;
        QString BadRow; // InterID, item, quantity, finished quantity, finish date
    } cases[] = {
        {2000, 700, "FPurchaseFinishQty", "1|1.01.0|700.00||"},   // one thread
        {3000, 1700, "FQty", "1|1.01.6|||"},                      // the first thread's columns
        {3000, 1700, "FPurchaseFinishQty", "1|1.01.6|1700.00||"}, // the second thread's
        {3000, 2900, "FPurchaseFinishQty", "1|1.01.2|2900.00||"}, // in the last block
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString("%1 rows, %2 bad at %3").arg(c.Rows).arg(c.Field).arg(c.Bad).toStdString());
        prompts->Clear();
        Plans().Rows = RecordList::Create();
        for (int i = 1; i <= c.Rows; ++i)
            Plans().Rows->Add(MakeRow(1, i, QString("1.01.%1").arg(i % 7), i));
        Plans().Rows->Item(c.Bad)->Set(c.Field, "abc");
        QString none;
        ui->Refresh(none);
        ASSERT_EQ(g().MaxRows(), c.Rows);
        EXPECT_EQ(Shown().size(), 1);
        const auto whole = {col::InterID, col::ItemNumber, col::Qty, col::PurchaseFinishQty, col::FinishDate};
        for (int r = 1; r < c.Bad; ++r)
            ASSERT_EQ(Cells(r, whole), QString("1|1.01.%1|%2.00|0.00|2026-12-20").arg(r % 7).arg(r)) << r;
        // The bad row keeps the cells before the bad one, as a row-by-row fill leaves it.
        EXPECT_EQ(Cells(c.Bad, whole), c.BadRow);
        for (int r = c.Bad + 1; r <= c.Rows; ++r)
            ASSERT_EQ(Cells(r, whole), "||||") << r;
    }
}

// Fill-down writes only open entries with something left to order, asks before it reaches past
// the rows in view (a window-less grid shows one), and checks a supplier once as a typed one is.
TEST_F(Controller, FillDownSkipsClosedAndOrderedRowsAsksFirstAndChecksTheSupplier) {
    for (int i = 1; i <= 5; ++i)
        Plans().Rows->Add(MakeRow(1, i, "1.01.001", i, i == 3 ? "Y" : ""));
    Plans().Rows->Item(4)->Set("FPurchaseUnFinishQty", 0);
    Plans().Rows->Item(5)->Set("FSupplyID", 42);
    QString none;
    ui->Refresh(none);
    auto fill = [&](int c, int row, const QString& text, bool reachPast = true) {
        prompts->Clear();
        g().SetActiveCell(c, row);
        g().SetText(c, row, text);
        if (!reachPast)
            prompts->QueueAnswer(ui::No);
        ui->FillCol();
    };
    fill(col::PushQty, 2, "7");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Buttons(), ui::YesNo);
    EXPECT_EQ(Column(col::PushQty), "1.00 7.00 3.00 4.00 7.00");
    fill(col::Memo, 1, "加急", false);
    EXPECT_EQ(g().Text(col::Memo, 2), "");
    fill(col::Price, 3, "");
    EXPECT_EQ(Shown(), QStringList{"当前光标所在行没有数据。"});

    // A supplier the user may not use fills nothing and says why.
    Plans().SupplierNames = {{"S02", "华东五金"}, {"S03", "华北钢材"}};
    Plans().ForbiddenSuppliers << "S03";
    fill(col::SupplyNumber, 2, "S03");
    EXPECT_EQ(Shown().value(1), "没有供应商的权限，请与系统管理员联系!");
    EXPECT_EQ(g().Text(col::SupplyNumber, 5), "S01");

    // A known one: name, ID, tax rate, and a new price only where the supplier changes.
    Plans().SupplierIds["S02"] = 42;
    Plans().SupplyPrice = 9.75;
    fill(col::SupplyNumber, 2, "S02");
    const std::initializer_list<int> cols = {col::SupplyNumber, col::SupplyName, col::SupplyID, col::TaxRate,
                                             col::Price};
    EXPECT_EQ(Cells(2, cols), "S02|华东五金|42|13.00|9.750");
    EXPECT_EQ(Cells(5, cols), "S02|华东五金|42|13.00|12.500") << "the same supplier keeps its price";
    EXPECT_EQ(Plans().SupplyPriceRequests.size(), 1);
    EXPECT_EQ(Column(col::SupplyNumber), "S01 S02 S01 S01 S02");
}

// Leaving a supplier cell is driven over the real store by the app's tests; here, what the price
// request holds, the switch to the last purchase price and a failing price service.
TEST_F(Controller, LeavingASupplierCellAsksThePriceOfAChangedSupplierOnly) {
    QTemporaryDir root;
    ini::SetPathRoot(root.path());
    Load(2);
    Plans().SupplierNames = {{"S01", "旧供应商"}, {"S02", "华东五金"}, {"S03", "禁用供应商"}};
    Plans().SupplierIds = {{"S01", 7}, {"S02", 42}, {"S03", 43}};
    Plans().ForbiddenSuppliers = {"S03"};
    Plans().SupplyPrice = 9.8;
    g().SetText(col::ItemID, 1, "501");
    g().SetText(col::UnitID, 1, "3");
    const auto leave = [&](const QString& code) {
        g().SetText(col::SupplyNumber, 1, code);
        ui->GetRightSupply(col::SupplyNumber, 1, 7);
        return Cells(1, {col::SupplyNumber, col::SupplyName, col::SupplyID, col::TaxRate, col::Price});
    };
    EXPECT_EQ(leave("S01"), "S01|旧供应商|7|13.00|12.500") << "retyped: completed, not priced";
    EXPECT_EQ(leave("S02"), "S02|华东五金|42|13.00|9.800");
    ASSERT_EQ(Plans().SupplyPriceRequests.size(), 1);
    QStringList request;
    for (const RecordPtr& r = Plans().SupplyPriceRequests[0]; const QString& k : r->Keys())
        request << k + "=" + r->Text(k);
    EXPECT_EQ(request, QStringList({"SupplyID=42", "ItemID=501", "UnitID=3",
                                    "AuxQty=" + g().Text(col::PushQty, 1), "CurrencyID=1", "ExChangeRate=1",
                                    "UseLastPrice=0", "TranType=71", "PriceType=1"}));

    // The shared INI file below the program root switches to the last purchase price.
    QDir(root.path()).mkpath("C/Program Files/Marvane/ZEL/Stratum");
    QFile shared(root.filePath("C/Program Files/Marvane/ZEL/Stratum/ZAZSystem.INI"));
    ASSERT_TRUE(shared.open(QIODevice::WriteOnly));
    shared.write("[frmBill]\r\nCGSrcPrice=1\r\n");
    shared.close();
    leave("S02");
    EXPECT_EQ(Plans().SupplyPriceRequests.last()->Get("UseLastPrice").toInt(), 1);

    // A failing price service leaves the price as it was, without a message.
    Plans().SupplyPriceFails = true;
    g().SetText(col::Price, 1, "1");
    EXPECT_EQ(leave("S02"), "S02|华东五金|42|13.00|1.000");
    EXPECT_TRUE(prompts->Log.isEmpty());
    EXPECT_EQ(leave("S03"), "||0|13.00|1.000") << "forbidden: cleared with the refusal, price kept";
    EXPECT_EQ(Shown(), QStringList{"没有供应商的权限，请与系统管理员联系!"});
    ini::SetPathRoot({});
}

TEST_F(Controller, MergeLimits) {
    const struct {
        int Rows;
        bool ClosedRow, Ok, Ask;
        QString Message;
    } cases[] = {
        {2000, false, true, false, ""},
        {2000, true, false, false, "存在已关闭记录"},
        {2001, true, false, true, "汇总中物料记录较多"}, // no closed-row check above 2000
        {5000, false, false, true, "汇总中物料记录较多"},
        {5001, false, false, false, "汇总中物料记录太多"},
        {1, false, true, false, ""}, // a message left from before is cleared
    };
    QString msg;
    for (const auto& c : cases) {
        auto list = RecordList::Create();
        for (int i = 1; i <= c.Rows; ++i)
            list->Add(MakeRow(1, i, "A", 1, c.ClosedRow && i == c.Rows ? QString("Y") : QString()));
        bool ok, ask;
        ClsPurchasePlanUI::CheckMergeLimits(list, ok, ask, msg);
        EXPECT_EQ(ok, c.Ok) << c.Rows;
        EXPECT_EQ(ask, c.Ask) << c.Rows;
        EXPECT_EQ(msg.left(c.Message.size()), c.Message) << c.Rows;
        EXPECT_EQ(msg.isEmpty(), c.Message.isEmpty()) << c.Rows;
    }
    ini::SetConfigDir("/proc/no-such-dir");
    EXPECT_NO_THROW(ClsPurchasePlanUI()) << "an unwritable configuration never stops the list";
}

// The amount follows whatever changes a row: a fill down of the price, a supplier that brings
// its own price, and the merged view, where a merged row counts its summed push quantity.
TEST_F(Controller, AmountsFollowFillDownSupplierPricesAndTheMergedView) {
    for (int i = 1; i <= 3; ++i)
        Plans().Rows->Add(MakeRow(1, i, "1.01.001", i));
    QString none;
    ui->Refresh(none);
    const auto amounts = [&] {
        QStringList texts;
        for (int r = 1; r <= g().MaxRows(); ++r)
            texts << g().Text(col::AmountWithTax, r);
        return texts.join(' ');
    };
    EXPECT_EQ(amounts(), "12.50 25.00 37.50");
    g().SetActiveCell(col::Price, 2);
    g().SetText(col::Price, 2, "10");
    ui->FillCol();
    EXPECT_EQ(amounts(), "12.50 20.00 30.00");

    Plans().SupplierNames = {{"S02", "华东五金"}};
    Plans().SupplierIds["S02"] = 42;
    Plans().SupplyPrice = 9.75;
    g().SetActiveCell(col::SupplyNumber, 3);
    g().SetText(col::SupplyNumber, 3, "S02");
    ui->FillCol();
    EXPECT_EQ(amounts(), "12.50 20.00 29.25");

    // A merged row comes to what its entries will be ordered at: each at its own price until
    // the row's price is changed.
    g().SetText(col::Price, 3, "10");
    SetMergedRowCounter(MergedRowAmount);
    ASSERT_TRUE(ui->Merge());
    State().IsMergedView = true;
    ASSERT_EQ(g().MaxRows(), 2) << "S01 rows fold into one";
    EXPECT_EQ(amounts(), "32.50 30.00") << "1 at 12.50 and 2 at 10; 3 at 10";
    g().SetText(col::Price, 1, "11");
    EXPECT_EQ(amounts(), "33.00 30.00");
    g().SetText(col::PushQty, 1, "1");
    EXPECT_EQ(amounts(), "11.00 30.00");
    SetMergedRowCounter({});
}
