#include "ListFakes.h"
#include "component/grid/PlanGrid.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"

#include <QTemporaryDir>

using namespace zpp;
using namespace zpp::test;

class Controller : public ListFixture {
protected:
    QTemporaryDir config;
    GridHost host;
    std::unique_ptr<ClsPurchasePlanUI> ui;
    void SetUp() override {
        ListFixture::SetUp();
        ini::SetConfigDir(config.path());
        InitPlanGrid(host);
        ui = std::make_unique<ClsPurchasePlanUI>();
        ui->SetSpread(&host.grid);
        State().FilterConditions = KeyedRecord::Create();
    }
    void TearDown() override {
        ini::SetConfigDir({});
        ListFixture::TearDown();
    }
    void Load(int n) {
        Plan().Rows = RecordList::Create();
        for (int i = 1; i <= n; ++i)
            Plan().Rows->Add(MakeRow(1 + i / 10, i % 10, QString("1.01.%1").arg(i, 3, 10, QChar('0')), i));
        QString none;
        ui->Refresh(none);
    }
    controls::SpreadGrid& g() { return host.grid; }
};

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
    EXPECT_EQ(g().Text(col::ItemNumber, 1), "A");
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

TEST_F(Controller, FillDownByColumnKind) {
    Load(4);
    g().SetActiveCell(col::PushQty, 2);
    g().SetText(col::PushQty, 2, "7");
    ui->FillCol();
    EXPECT_EQ(g().Text(col::PushQty, 1), "1.00");
    for (int r = 2; r <= 4; ++r)
        EXPECT_EQ(g().Text(col::PushQty, r), g().Text(col::PushQty, 2));

    g().SetActiveCell(col::Price, 3);
    g().SetText(col::Price, 3, "");
    ui->FillCol();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "当前光标所在行没有数据。");
    EXPECT_EQ(g().Text(col::Price, 4), "12.500");

    prompts->Clear();
    g().SetActiveCell(col::VDate, 1);
    ui->FillCol();
    EXPECT_TRUE(prompts->Log.isEmpty());

    g().SetActiveCell(col::Memo, 3);
    g().SetText(col::Memo, 3, "加急");
    ui->FillCol();
    EXPECT_EQ(g().Text(col::Memo, 4), "加急");
    EXPECT_EQ(g().Text(col::Memo, 2), "");
}

TEST_F(Controller, SupplierFillDownFillsNameIdAndTaxOnlyForAKnownCode) {
    Load(3);
    g().SetActiveCell(col::SupplyNumber, 2);
    g().SetText(col::SupplyNumber, 2, "S99");
    ui->FillCol();
    EXPECT_TRUE(prompts->Log.isEmpty());
    EXPECT_EQ(g().Text(col::SupplyNumber, 3), "S01");

    Plan().SupplierNames["S02"] = "华东五金";
    Plan().SupplierIds["S02"] = 42;
    g().SetText(col::SupplyNumber, 2, "S02");
    ui->FillCol();
    for (int r = 2; r <= 3; ++r) {
        EXPECT_EQ(g().Text(col::SupplyNumber, r), "S02");
        EXPECT_EQ(g().Text(col::SupplyName, r), "华东五金");
        EXPECT_EQ(g().Text(col::SupplyID, r), "42");
        EXPECT_EQ(g().Text(col::TaxRate, r), "13.00");
    }
    EXPECT_EQ(g().Text(col::SupplyNumber, 1), "S01");
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
