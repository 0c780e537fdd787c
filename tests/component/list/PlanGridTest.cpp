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
        Filter().Formats["sPlanRpt"] = saved;
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
    for (const bool granted : {false, true}) {
        World().GrantedMask = granted ? 0x7fffffff : 0x7fffffff & ~rights::Price;
        Filter().Formats["sPlanRpt"] = granted ? "FPrice=1|" : "FPrice=0|";
        GridHost host;
        InitPlanGrid(host);
        EXPECT_TRUE(host.grid.ColHidden(col::Price));
        EXPECT_EQ(ChoosableFields().contains("FPrice"), granted);
    }
    EXPECT_EQ(ChoosableFields().size(), 20);
}

TEST_F(PlanGrid, LocksAndServiceDecimals) {
    Plan().DiscountDecimals = "";
    GridHost host;
    InitPlanGrid(host);
    controls::SpreadGrid& g = host.grid;
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

TEST_F(PlanGrid, ListValues) {
    bool found = false;
    EXPECT_EQ(FindListValue("A=1|b=two|", "B", found, "|"), "two");
    EXPECT_TRUE(found);
    EXPECT_EQ(FindListValue("A=1|b=two", "C", found, "|"), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(GetListValue("FMemo=01.50|", "FMemo", "0", "|"), "1.5");
    EXPECT_EQ(GetListValue("FMemo=x|", "FMemo", "0", "|"), "0");
    EXPECT_EQ(GetListValue("FMemo=x|", "FMemo", "none", "|"), "x");
    EXPECT_EQ(GetListValue("", "FMemo", "1", "|"), "1");
}
