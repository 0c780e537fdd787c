#include "ListFakes.h"
#include "component/grid/PlanGrid.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace zpp;
using namespace zpp::test;

using Controller = ControllerFixture;

TEST_F(Controller, RefreshShowsTheServiceRowsWithTheirDecimalsAndKeepsThemWhenItFails) {
    Load(3);
    EXPECT_EQ(Plan().RptCalls, 1);
    EXPECT_TRUE(State().FilterConditions->Exists("Seen")); // the record the service left is kept
    ASSERT_EQ(g().MaxRows(), 3);
    EXPECT_EQ(g().Text(col::ItemNumber, 2), "1.01.002");
    EXPECT_EQ(g().Text(col::Qty, 2), "2.00");
    EXPECT_EQ(g().Text(col::Price, 1), "12.500");
    EXPECT_EQ(g().Text(col::VDate, 1), "2026-12-06");
    EXPECT_EQ(g().Text(col::FinishDate, 3), "2026-12-20");
    EXPECT_EQ(g().Text(col::CheckBox, 3), "0");
    EXPECT_TRUE(QFileInfo::exists(ui->IniFile));

    Plan().RptFails = true;
    QString none;
    EXPECT_THROW(ui->Refresh(none), Error);
    EXPECT_EQ(g().MaxRows(), 3);
    EXPECT_EQ(ui->Rows()->Count(), 3);

    // A value the cell cannot hold stops the load with a message; rows before it stay.
    Plan().RptFails = false;
    Plan().Rows->Item(2)->Set("FPushQty", "lots");
    Plan().Rows->Item(1)->Set("FItemNumber", "A");
    ui->Refresh(none);
    ASSERT_EQ(prompts->Log.size(), 1);
    // Row by row: row 1 whole, row 2 up to the failing cell, row 3 not at all.
    EXPECT_EQ(g().Text(col::ItemNumber, 1), "A");
    EXPECT_EQ(g().Text(col::Price, 1), "12.500");
    EXPECT_EQ(g().Text(col::ItemNumber, 2), "1.01.002");
    EXPECT_EQ(g().Text(col::VDate, 2), "2026-12-06");
    EXPECT_FALSE(g().Text(col::PurchaseFinishQty, 2).isEmpty()) << "a number row 1 has too is there";
    EXPECT_EQ(g().Text(col::PurchaseFinishQty, 2), g().Text(col::PurchaseFinishQty, 1));
    EXPECT_EQ(g().Text(col::Price, 2), "");
    EXPECT_EQ(g().Text(col::ItemNumber, 3), "");
}

TEST_F(Controller, SelectAllSkipsLockedBoxes) {
    Load(4);
    g().SetCellLock(col::CheckBox, 2, true);
    ui->SelectAll();
    EXPECT_EQ(g().Text(col::CheckBox, 1), "1");
    EXPECT_EQ(g().Text(col::CheckBox, 2), "0");
    EXPECT_EQ(g().Text(col::CheckBox, 4), "1");
    g().SetCellLock(col::CheckBox, 2, false);
    g().SetText(col::CheckBox, 2, "1");
    g().SetCellLock(col::CheckBox, 2, true);
    ui->UnSelectAll();
    EXPECT_EQ(g().Text(col::CheckBox, 1), "0");
    EXPECT_EQ(g().Text(col::CheckBox, 2), "1");
}

// Fill-down writes only open entries with something left to order, asks before it reaches past
// the rows in view (a window-less grid shows one), and checks a supplier once as a typed one is.
TEST_F(Controller, FillDownSkipsClosedAndOrderedRowsAsksFirstAndChecksTheSupplier) {
    Plan().Rows = RecordList::Create();
    for (int i = 1; i <= 5; ++i)
        Plan().Rows->Add(MakeRow(1, i, "1.01.001", i, i == 3 ? "Y" : ""));
    Plan().Rows->Item(4)->Set("FPurchaseUnFinishQty", 0);
    Plan().Rows->Item(5)->Set("FSupplyID", 42);
    QString none;
    ui->Refresh(none);

    g().SetActiveCell(col::PushQty, 2);
    g().SetText(col::PushQty, 2, "7");
    prompts->QueueAnswer(ui::Yes);
    ui->FillCol();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Buttons(), ui::YesNo);
    QStringList pushed;
    for (int r = 1; r <= 5; ++r)
        pushed << g().Text(col::PushQty, r);
    EXPECT_EQ(pushed.join(' '), "1.00 7.00 3.00 4.00 7.00");

    prompts->Clear();
    g().SetActiveCell(col::Memo, 1);
    g().SetText(col::Memo, 1, "加急");
    prompts->QueueAnswer(ui::No);
    ui->FillCol();
    EXPECT_EQ(g().Text(col::Memo, 2), "");

    prompts->Clear();
    g().SetActiveCell(col::Price, 3);
    g().SetText(col::Price, 3, "");
    ui->FillCol();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "当前光标所在行没有数据。");
    prompts->Clear();
    g().SetActiveCell(col::VDate, 1);
    ui->FillCol();
    EXPECT_TRUE(prompts->Log.isEmpty());

    // An unknown code and a supplier the user may not use fill nothing and say why.
    g().SetActiveCell(col::SupplyNumber, 2);
    Plan().SupplierNames["S03"] = "华北钢材";
    Plan().ForbiddenSuppliers << "S03";
    for (const char* code : {"S99", "S03"}) {
        prompts->Clear();
        g().SetText(col::SupplyNumber, 2, code);
        ui->FillCol();
        ASSERT_EQ(prompts->Log.size(), 2) << code;
        EXPECT_EQ(prompts->Log[1].Text, QString(code) == "S99" ? "没有代码为“S99”的供应商。"
                                                               : "没有供应商的权限，请与系统管理员联系!");
        EXPECT_EQ(g().Text(col::SupplyNumber, 5), "S01");
    }

    // A known one: name, ID, tax rate, and a new price only where the supplier changes.
    Plan().SupplierNames["S02"] = "华东五金";
    Plan().SupplierIds["S02"] = 42;
    Plan().Price = 9.75;
    Plan().PriceRequests.clear();
    g().SetText(col::SupplyNumber, 2, "S02");
    ui->FillCol();
    for (int r : {2, 5}) {
        EXPECT_EQ(g().Text(col::SupplyNumber, r), "S02");
        EXPECT_EQ(g().Text(col::SupplyName, r), "华东五金");
        EXPECT_EQ(g().Text(col::SupplyID, r), "42");
        EXPECT_EQ(g().Text(col::TaxRate, r), "13.00");
    }
    EXPECT_EQ(g().Text(col::Price, 2), "9.750");
    EXPECT_EQ(g().Text(col::Price, 5), "12.500") << "the same supplier keeps its price";
    EXPECT_EQ(Plan().PriceRequests.size(), 1);
    for (int r : {1, 3, 4})
        EXPECT_EQ(g().Text(col::SupplyNumber, r), "S01");
}

// Leaving a supplier cell: the code is checked against the user's rights and completed; only a
// supplier different from the one before the edit brings a new price.
TEST_F(Controller, LeavingASupplierCellChecksRightsAndPricesOnlyAChangedSupplier) {
    QTemporaryDir root;
    ini::SetPathRoot(root.path());
    Load(2);
    Plan().SupplierNames = {{"S01", "旧供应商"}, {"S02", "华东五金"}, {"S03", "禁用供应商"}};
    Plan().SupplierIds = {{"S01", 7}, {"S02", 42}, {"S03", 43}};
    Plan().ForbiddenSuppliers = {"S03"};
    Plan().Price = 9.8;
    g().SetText(col::ItemID, 1, "501");
    g().SetText(col::UnitID, 1, "3");
    const auto leave = [&](const QString& code, int column = col::SupplyNumber) {
        g().SetText(col::SupplyNumber, 1, code);
        ui->GetRightSupply(column, 1, 7);
    };

    leave("S01"); // retyped: completed, not priced
    EXPECT_EQ(g().Text(col::SupplyName, 1), "旧供应商");
    EXPECT_EQ(g().Text(col::SupplyID, 1), "7");
    EXPECT_TRUE(Plan().PriceRequests.isEmpty());
    EXPECT_EQ(g().Text(col::Price, 1), "12.500");

    leave("S02");
    EXPECT_EQ(Plan().RightChecks.last(), "S02/1");
    EXPECT_EQ(g().Text(col::SupplyName, 1), "华东五金");
    EXPECT_EQ(g().Text(col::SupplyID, 1), "42");
    EXPECT_EQ(g().Text(col::TaxRate, 1), "13.00");
    EXPECT_EQ(g().Text(col::Price, 1), "9.800");
    ASSERT_EQ(Plan().PriceRequests.size(), 1);
    const RecordPtr request = Plan().PriceRequests[0];
    EXPECT_EQ(request->Keys(), QStringList({"SupplyID", "ItemID", "UnitID", "AuxQty", "CurrencyID",
                                            "ExChangeRate", "UseLastPrice", "TranType", "PriceType"}));
    EXPECT_EQ(request->Get("SupplyID").toInt(), 42);
    EXPECT_EQ(request->Text("ItemID"), "501");
    EXPECT_EQ(request->Text("UnitID"), "3");
    EXPECT_EQ(request->Text("AuxQty"), g().Text(col::PushQty, 1));
    EXPECT_EQ(request->Get("UseLastPrice").toInt(), 0); // no shared INI file
    EXPECT_EQ(request->Get("TranType").toInt(), 71);

    // The shared INI file below the program root switches to the last purchase price.
    QDir(root.path()).mkpath("C/Program Files/Marvane/ZEL/Stratum");
    QFile shared(root.filePath("C/Program Files/Marvane/ZEL/Stratum/ZAZSystem.INI"));
    ASSERT_TRUE(shared.open(QIODevice::WriteOnly));
    shared.write("[frmBill]\r\nCGSrcPrice=1\r\n");
    shared.close();
    leave("S02");
    EXPECT_EQ(Plan().PriceRequests.last()->Get("UseLastPrice").toInt(), 1);

    // A failing price service leaves the price as it was, without a message.
    Plan().PriceFails = true;
    g().SetText(col::Price, 1, "1");
    leave("S02");
    EXPECT_EQ(g().Text(col::SupplyID, 1), "42");
    EXPECT_EQ(g().Text(col::Price, 1), "1.000");
    EXPECT_TRUE(prompts->Log.isEmpty());

    leave("S03"); // forbidden: cleared with the refusal, price kept
    EXPECT_EQ(g().Text(col::SupplyNumber, 1), "");
    EXPECT_EQ(g().Text(col::SupplyName, 1), "");
    EXPECT_EQ(g().Text(col::SupplyID, 1), "0");
    EXPECT_EQ(g().Text(col::Price, 1), "1.000");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "没有供应商的权限，请与系统管理员联系!");

    leave("S99"); // unknown: cleared silently
    EXPECT_EQ(g().Text(col::SupplyID, 1), "0");
    EXPECT_EQ(g().Text(col::SupplyNumber, 1), "");
    EXPECT_EQ(prompts->Log.size(), 1);

    // Left by the user, whose row had S02: an unknown code is named and S02 comes back.
    g().SetText(col::SupplyNumber, 1, "S98");
    ui->GetRightSupply(col::SupplyNumber, 1, 42, QString("S02"));
    EXPECT_EQ(g().Text(col::SupplyNumber, 1), "S02");
    ASSERT_EQ(prompts->Log.size(), 2);
    EXPECT_EQ(prompts->Log[1].Text, "没有代码为“S98”的供应商。");

    leave("S99", col::Memo); // another column: nothing happens
    EXPECT_EQ(g().Text(col::SupplyNumber, 1), "S99");
    ini::SetPathRoot({});
}

TEST_F(Controller, SupplierLookupFillsTheRowAndLeavesRightAndPriceToLeavingTheCell) {
    Load(2);
    Plan().SupplierIds["S02"] = 42;
    Filter().Lookup = std::make_shared<LookupResult>();
    Filter().Lookup->ReturnOK = true;
    Filter().Lookup->ReturnObject = LookupRecord{42, "S02", "华东五金"};

    g().SetActiveCell(col::Memo, 2);
    ui->GetSupply();
    EXPECT_FALSE(Filter().Calls.contains("ItemLookUp"));

    g().SetActiveCell(col::SupplyNumber, 2);
    ui->GetSupply();
    EXPECT_EQ(Filter().LookupType, 8);
    EXPECT_EQ(Filter().LookupSearch, "S01");
    EXPECT_EQ(g().Text(col::SupplyNumber, 2), "S02");
    EXPECT_EQ(g().Text(col::SupplyName, 2), "华东五金");
    EXPECT_EQ(g().Text(col::SupplyID, 2), "42");
    EXPECT_EQ(ui->CurSupplierID, 42);
    EXPECT_TRUE(Plan().RightChecks.isEmpty());
    EXPECT_TRUE(Plan().PriceRequests.isEmpty());

    Filter().Lookup->ReturnOK = false; // cancelled
    g().SetActiveCell(col::SupplyNumber, 1);
    ui->GetSupply();
    EXPECT_EQ(g().Text(col::SupplyNumber, 1), "S01");
    EXPECT_EQ(ui->CurSupplierID, 42);
}

TEST_F(Controller, MergeLimits) {
    const struct {
        int Rows;
        bool ClosedRow, Ok, Ask;
        QString Message;
    } cases[] = {
        {2000, false, true, false, ""}, {2000, true, false, false, "存在已关闭记录"},
        {2001, true, false, true, ""}, // no closed-row check above 2000
        {5000, false, false, true, ""}, {5001, false, false, false, "汇总中物料记录太多"},
    };
    for (const auto& c : cases) {
        auto list = RecordList::Create();
        for (int i = 1; i <= c.Rows; ++i)
            list->Add(MakeRow(1, i, "A", 1, c.ClosedRow && i == c.Rows ? QString("Y") : QString()));
        bool ok, ask;
        QString msg;
        ClsPurchasePlanUI::CheckMergeLimits(list, ok, ask, msg);
        EXPECT_EQ(ok, c.Ok) << c.Rows;
        EXPECT_EQ(ask, c.Ask) << c.Rows;
        if (!c.Message.isEmpty()) {
            EXPECT_TRUE(msg.startsWith(c.Message)) << c.Rows;
        }
    }
}

TEST_F(Controller, AnUnwritableConfigurationNeverStopsTheList) {
    ini::SetConfigDir("/proc/no-such-dir");
    EXPECT_NO_THROW(ClsPurchasePlanUI());
}
