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
    void Load(int n, const QString& close = {}) {
        Plan().Rows = RecordList::Create();
        for (int i = 1; i <= n; ++i)
            Plan().Rows->Add(
                MakeRow(1 + i / 10, i % 10, QString("1.01.%1").arg(i, 3, 10, QChar('0')), i, close));
        QString none;
        ui->Refresh(none);
    }
    controls::SpreadGrid& g() { return host.grid; }
};

TEST_F(Controller, RefreshShowsTheServiceRowsWithTheirDecimals) {
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
}

TEST_F(Controller, AFailingServiceKeepsTheRowsShown) {
    Load(2);
    Plan().RptFails = true;
    QString none;
    EXPECT_THROW(ui->Refresh(none), Error);
    EXPECT_EQ(g().MaxRows(), 2);
    EXPECT_EQ(ui->Rows()->Count(), 2);
}

TEST_F(Controller, AValueTheCellCannotHoldStopsTheLoadWithAMessage) {
    Plan().Rows = RecordList::Create();
    for (int i = 1; i <= 3; ++i)
        Plan().Rows->Add(MakeRow(1, i, "A", 1));
    Plan().Rows->Item(2)->Set("FPushQty", "lots");
    QString none;
    ui->Refresh(none);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(g().Text(col::ItemNumber, 1), "A"); // rows before the bad one stay
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
    auto rows = [](int n, bool closedRow) {
        auto list = RecordList::Create();
        for (int i = 1; i <= n; ++i)
            list->Add(MakeRow(1, i, "A", 1, closedRow && i == n ? QString("Y") : QString()));
        return list;
    };
    bool ok, ask;
    QString msg;
    ClsPurchasePlanUI::CheckMergeLimits(rows(2000, false), ok, ask, msg);
    EXPECT_TRUE(ok);
    ClsPurchasePlanUI::CheckMergeLimits(rows(2000, true), ok, ask, msg);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(ask);
    EXPECT_TRUE(msg.startsWith("存在已关闭记录"));
    ClsPurchasePlanUI::CheckMergeLimits(rows(2001, true), ok, ask, msg);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(ask); // no closed-row check above 2000
    ClsPurchasePlanUI::CheckMergeLimits(rows(5000, false), ok, ask, msg);
    EXPECT_TRUE(ask);
    ClsPurchasePlanUI::CheckMergeLimits(rows(5001, false), ok, ask, msg);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(ask);
    EXPECT_TRUE(msg.startsWith("汇总中物料记录太多"));
}

TEST_F(Controller, AnUnwritableConfigurationNeverStopsTheList) {
    ini::SetConfigDir("/proc/no-such-dir");
    EXPECT_NO_THROW(ClsPurchasePlanUI());
}
