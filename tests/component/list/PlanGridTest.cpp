#include "component/grid/PlanGrid.h"
#include "ListFakes.h"
#include "component/host/Access.h"
#include "platform/controls/SpreadGrid.h"

using namespace zpp;
using namespace zpp::test;

namespace {
QStringList ChoosableFields() {
    QStringList f;
    for (const RecordPtr& def : *State().PlanChoosableColumns)
        f << def->Text("FieldName");
    return f;
}
} // namespace

using PlanGrid = ListFixture;

TEST_F(PlanGrid, SavedFormatHidesExactlyItsColumnsIgnoringCaseAndTrailingBar) {
    for (const QString& saved : {QString("FItemModel=1|FMemo=1|"), QString("fitemmodel=1|fmemo=1"),
                                 QString("FItemModel=1|FInterID=0|FMemo=1|FQty=0|")}) {
        Plan().SavedFormat = saved;
        GridHost host;
        InitPlanGrid(host);
        for (int c = 1; c <= col::Count; ++c) {
            const bool fixed = c <= 2 || c >= col::ItemID;
            const bool expected = fixed || c == col::ItemModel || c == col::Memo;
            EXPECT_EQ(host.grid.ColHidden(c), expected) << saved.toStdString() << " column " << c;
        }
    }
    EXPECT_TRUE(prompts->Log.isEmpty());
}

TEST_F(PlanGrid, PriceColumnFollowsTheRight) {
    Plan().SavedFormat = "FPrice=0|";
    World().GrantedMask = 0x7fffffff & ~rights::Price;
    GridHost without;
    InitPlanGrid(without);
    EXPECT_TRUE(without.grid.ColHidden(col::Price));
    EXPECT_FALSE(ChoosableFields().contains("FPrice"));

    World().GrantedMask = 0x7fffffff;
    Plan().SavedFormat = "FPrice=1|";
    GridHost with;
    InitPlanGrid(with);
    EXPECT_TRUE(with.grid.ColHidden(col::Price));
    EXPECT_TRUE(ChoosableFields().contains("FPrice"));
    EXPECT_EQ(ChoosableFields().size(), 20);
}

TEST_F(PlanGrid, CellTypesLocksAndServiceDecimals) {
    Plan().DiscountDecimals = "";
    GridHost host;
    InitPlanGrid(host);
    controls::SpreadGrid& g = host.grid;
    EXPECT_EQ(g.MaxCols(), 35);
    EXPECT_EQ(g.HeaderText(col::PushQty), "下推数量");
    EXPECT_EQ(g.ColCellType(col::CheckBox), controls::CellType::CheckBox);
    EXPECT_EQ(g.ColCellType(col::FinishDate), controls::CellType::Date);
    EXPECT_EQ(g.ColCellType(col::Qty), controls::CellType::Number);
    EXPECT_FALSE(g.ColLocked(col::PushQty));
    EXPECT_FALSE(g.ColLocked(col::SupplyNumber));
    EXPECT_TRUE(g.ColLocked(col::Qty));
    EXPECT_TRUE(g.ColLocked(col::ItemName)); // no lock key: the whole-grid lock holds
    const RecordPtr discount = State().PlanColumnSet->Item(col::DiscountRate);
    EXPECT_EQ(discount->Get("TypeNumberDecPlaces").toInt(), 0);
    EXPECT_EQ(discount->Get("TypeNumberMax").toInt(), 100);

    Plan().DiscountDecimals = "3";
    InitPlanGrid(host);
    EXPECT_EQ(State().PlanColumnSet->Item(col::DiscountRate)->Get("TypeNumberDecPlaces").toInt(), 3);
}

TEST_F(PlanGrid, AFailingFormatReadIsShownAndTheWindowStillOpens) {
    HostObjectFactory::Instance().Unregister(progid::ProfileRead);
    GridHost host;
    InitPlanGrid(host);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Title, "信息提示");
    EXPECT_TRUE(prompts->Log[0].Text.contains(progid::ProfileRead));
}

TEST_F(PlanGrid, ListValuesAndArrays) {
    bool found = false;
    EXPECT_EQ(FindListValue("A=1|b=two|", "B", found, "|"), "two");
    EXPECT_TRUE(found);
    EXPECT_EQ(FindListValue("A=1|b=two", "C", found, "|"), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(GetListValue("FMemo=01.50|", "FMemo", "0", "|"), "1.5");
    EXPECT_EQ(GetListValue("FMemo=x|", "FMemo", "0", "|"), "0");
    EXPECT_EQ(GetListValue("FMemo=x|", "FMemo", "none", "|"), "x");
    EXPECT_EQ(GetListValue("", "FMemo", "1", "|"), "1");
    EXPECT_TRUE(ValueInArray(QVariant("b"), {QVariant("a"), QVariant("b")}));
    EXPECT_FALSE(ValueInArray(QVariant("c"), {QVariant("a"), QVariant("b")}));
}

TEST_F(PlanGrid, ReadGridRowsGivesEveryFieldAsShown) {
    GridHost host;
    InitPlanGrid(host);
    host.grid.SetMaxRows(2);
    host.grid.SetText(col::PushQty, 2, "3.5");
    host.grid.SetText(col::Memo, 1, "急");
    RecordListPtr rows = ReadGridRows(host.grid);
    ASSERT_EQ(rows->Count(), 2);
    EXPECT_EQ(rows->Item(1)->Count(), 35);
    EXPECT_EQ(rows->Item(1)->Text("FMemo"), "急");
    EXPECT_EQ(rows->Item(2)->Text("fpushqty"), host.grid.Text(col::PushQty, 2));
    EXPECT_EQ(rows->Item(2)->Text("CheckBox"), "0");
}
