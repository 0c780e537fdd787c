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
    EXPECT_EQ(g.FrozenCols(), col::ItemName) << "scrolling right keeps the item in view";
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

// The column table as users and the other parts of the list rely on it: caption, field, width
// (as a share of the width unit), fixed hidden state and cell type, in column order.
TEST_F(PlanGrid, ColumnTableCaptionsFieldsWidthsTypesInOrder) {
    GridHost host;
    InitPlanGrid(host);
    const struct {
        const char *Text, *Field;
        double Factor, Divisor; // 0: no width
        bool Hidden;
        int Type; // -1: plain text
    } expected[] = {
        {"内码", "FInterID", 0, 0, true, -1},
        {"明细ID", "FEntryID", 0, 0, true, -1},
        {"选择", "CheckBox", 0.5, 25, false, 10},
        {"日期", "FVDate", 1.2, 20, false, 0},
        {"关闭标识", "FClose", 0.6, 20, false, -1},
        {"物料代码", "FItemNumber", 1.5, 25, false, -1},
        {"物料名称", "FItemName", 2, 25, false, -1},
        {"规格型号", "FItemModel", 2, 25, false, -1},
        {"辅助属性", "FAuxProp", 1, 25, false, -1},
        {"供应商代码", "FSupplyNumber", 1, 25, false, -1},
        {"供应商名称", "FSupplyName", 2, 25, false, -1},
        {"基本单位", "FUnitName", 0.75, 25, false, -1},
        {"数量", "FQty", 1, 20, false, 13},
        {"已下达采购订单数量", "FPurchaseFinishQty", 1, 20, false, 13},
        {"未下达采购订单数量", "FPurchaseUnFinishQty", 1, 20, false, 13},
        {"下推数量", "FPushQty", 1, 20, false, 13},
        {"含税单价", "FPrice", 1, 20, false, 13},
        {"折扣率(%)", "FDiscountRate", 1, 20, false, 13},
        {"税率(%)", "FTaxRate", 1, 20, false, 13},
        {"建议交货日期", "FFinishDate", 1.5, 20, false, 0},
        {"采购建议号", "FBillNo", 2, 25, false, -1},
        {"源单单号", "FSourceNo", 3, 25, false, -1},
        {"备注", "FMemo", 3, 25, false, -1},
        {"FItemID", "FItemID", 0, 0, true, 13},
        {"基本单位ID", "FUnitID", 0, 0, true, -1},
        {"辅助属性id", "FAuxPropID", 0, 0, true, -1},
        {"起始日期", "FStartDate", 2, 20, true, 0},
        {"供应商id", "FSupplyID", 0, 0, true, -1},
        {"Key", "FKey", 0, 0, true, -1},
        {"IsMerge", "FIsMerge", 0, 0, true, -1},
        {"StartKey", "FStartKey", 0, 0, true, -1},
        {"EndKey", "FEndKey", 0, 0, true, -1},
        {"MergeSumQty", "FMergeSumQty", 0, 0, true, -1},
        {"数量精度位数", "FQtyDecimal", 0, 0, true, -1},
        {"单价精度位数", "FPriceDecimal", 0, 0, true, -1},
    };
    const RecordListPtr set = State().PlanColumnSet;
    ASSERT_EQ(set->Count(), int(std::size(expected)));
    const double unit = set->Item(col::CheckBox)->Get("ColWidth").toDouble() / (0.5 / 25);
    for (int c = 1; c <= set->Count(); ++c) {
        const auto& e = expected[c - 1];
        const RecordPtr& def = set->Item(c);
        EXPECT_EQ(def->Get("Col").toInt(), c);
        EXPECT_EQ(def->Text("Text"), QString::fromUtf8(e.Text)) << c;
        EXPECT_EQ(def->Text("FieldName"), e.Field) << c;
        EXPECT_EQ(def->Exists("ColWidth"), e.Divisor > 0) << c;
        if (e.Divisor > 0)
            EXPECT_NEAR(def->Get("ColWidth").toDouble(), unit * e.Factor / e.Divisor, 1e-9) << c;
        EXPECT_EQ(def->Get("ColHidden", false).toBool(), e.Hidden) << c;
        EXPECT_EQ(def->Exists("CellType") ? def->Get("CellType").toInt() : -1, e.Type) << c;
    }
}
