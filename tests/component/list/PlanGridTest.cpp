#include "ListFakes.h"
#include "component/grid/AmountColumns.h"
#include "component/host/Access.h"

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

TEST_F(PlanGrid, PriceColumnFollowsTheRightAndLocks) {
    for (const bool granted : {false, true}) {
        World().GrantedMask = granted ? 0x7fffffff : 0x7fffffff & ~rights::Price;
        Filter().Formats["sPlanRpt"] = granted ? "FPrice=1|" : "FPrice=0|";
        GridHost host;
        InitPlanGrid(host);
        EXPECT_TRUE(host.grid.ColHidden(col::Price));
        EXPECT_EQ(ChoosableFields().contains("FPrice"), granted);
    }

    GridHost host;
    InitPlanGrid(host);
    QString locks;
    for (int c : {col::PushQty, col::SupplyNumber, col::Qty, col::ItemName}) // ItemName: no lock key
        locks += host.grid.ColLocked(c) ? 'L' : '-';
    EXPECT_EQ(locks, "--LL");
    EXPECT_EQ(host.grid.FrozenCols(), col::ItemName) << "scrolling right keeps the item in view";
}

TEST_F(PlanGrid, ListValues) {
    const char* const cases[][3] = {
        {"FMemo=01.50|", "0", "1.5"}, {"FMemo=x|", "0", "0"}, {"FMemo=x|", "none", "x"}, {"", "1", "1"}};
    for (const auto& c : cases)
        EXPECT_EQ(GetListValue(c[0], "FMemo", c[1], "|"), c[2]) << c[0] << " " << c[1];
    EXPECT_TRUE(ValueInArray(2, {1, 2}));
    EXPECT_FALSE(ValueInArray(3, {1, 2}));
}

// The column table as users and the other parts of the list rely on it: caption, field, width
// (as a share of the width unit), fixed hidden state and cell type (-1: plain text), in column order.
TEST_F(PlanGrid, ColumnTableCaptionsFieldsWidthsTypesInOrder) {
    GridHost host;
    InitPlanGrid(host);
    const RecordListPtr set = State().PlanColumnSet;
    const double unit = set->Item(col::CheckBox)->Get("ColWidth").toDouble() / 0.02;
    QStringList columns;
    for (int c = 1; c <= set->Count(); ++c) {
        const RecordPtr& def = set->Item(c);
        EXPECT_EQ(def->Get("Col").toInt(), c);
        const QString width =
            def->Exists("ColWidth") ? QString::number(def->Get("ColWidth").toDouble() / unit, 'g', 4) : "-";
        columns << QStringList{def->Text("Text"), def->Text("FieldName"), width,
                               def->Get("ColHidden", false).toBool() ? "H" : "-",
                               def->Exists("CellType") ? def->Text("CellType") : "-1"}
                       .join(' ');
    }
    EXPECT_EQ(
        columns.join('|'),
        "内码 FInterID - H -1|明细ID FEntryID - H -1|选择 CheckBox 0.02 - 10|日期 FVDate 0.06 - 0|"
        "关闭标识 FClose 0.03 - -1|物料代码 FItemNumber 0.06 - -1|物料名称 FItemName 0.08 - -1|"
        "规格型号 FItemModel 0.08 - -1|辅助属性 FAuxProp 0.04 - -1|供应商代码 FSupplyNumber 0.04 - -1|"
        "供应商名称 FSupplyName 0.08 - -1|基本单位 FUnitName 0.03 - -1|数量 FQty 0.05 - 13|"
        "已下达采购订单数量 FPurchaseFinishQty 0.05 - 13|未下达采购订单数量 FPurchaseUnFinishQty 0.05 - 13|"
        "下推数量 FPushQty 0.05 - 13|含税单价 FPrice 0.05 - 13|折扣率(%) FDiscountRate 0.05 - 13|"
        "税率(%) FTaxRate 0.05 - 13|建议交货日期 FFinishDate 0.075 - 0|采购建议号 FBillNo 0.08 - -1|"
        "源单单号 FSourceNo 0.12 - -1|备注 FMemo 0.12 - -1|FItemID FItemID - H 13|"
        "基本单位ID FUnitID - H -1|辅助属性id FAuxPropID - H -1|起始日期 FStartDate 0.1 H 0|"
        "供应商id FSupplyID - H -1|Key FKey - H -1|IsMerge FIsMerge - H -1|"
        "StartKey FStartKey - H -1|EndKey FEndKey - H -1|MergeSumQty FMergeSumQty - H -1|"
        "数量精度位数 FQtyDecimal - H -1|单价精度位数 FPriceDecimal - H -1|"
        "价税合计 FAmountWithTax 0.06 - 13|不含税金额 FAmountWithoutTax 0.06 - 13");
}

// The amount columns: hidden until chosen (older saved formats, which never name them, keep them
// hidden), not offered and never shown without the price right, read-only, and counted from the
// row's cells as shown: the push quantity at the price less the discount, and that without tax.
TEST_F(PlanGrid, AmountColumnsAreChosenFollowTheirRowAndNeedThePriceRight) {
    const struct {
        bool price;
        QString saved;
        QString shown; // the two amount columns and the date column, S shown, H hidden
    } cases[] = {{true, "", "HHS"},
                 {true, "FVDate=1|FPrice=1|", "HHH"},
                 {true, "FAmountWithTax=0|", "SHS"},
                 {true, "FAmountWithoutTax=0|FAmountWithTax=0|", "SSS"},
                 {false, "FAmountWithTax=0|FAmountWithoutTax=0|", "HHS"}};
    for (const auto& c : cases) {
        World().GrantedMask = c.price ? 0x7fffffff : 0x7fffffff & ~rights::Price;
        Filter().Formats["sPlanRpt"] = c.saved;
        GridHost host;
        InitPlanGrid(host);
        QString shown;
        for (int column : {col::AmountWithTax, col::AmountWithoutTax, col::VDate})
            shown += host.grid.ColHidden(column) ? 'H' : 'S';
        EXPECT_EQ(shown, c.shown) << c.saved.toStdString();
        EXPECT_EQ(ChoosableFields().contains("FAmountWithTax"), c.price);
    }
    World().GrantedMask = 0x7fffffff;

    GridHost host;
    InitPlanGrid(host);
    controls::SpreadGrid& g = host.grid;
    g.SetMaxRows(2);
    const auto amounts = [&](int r) -> QString {
        return g.Text(col::AmountWithTax, r) + "|" + g.Text(col::AmountWithoutTax, r);
    };
    g.SetCellDecimals(col::Price, 1, 2);
    g.SetText(col::PushQty, 1, "3");
    g.SetText(col::Price, 1, "12.345"); // shows 12.35 at the row's two decimals
    g.SetText(col::DiscountRate, 1, "10");
    g.SetText(col::TaxRate, 1, "13");
    EXPECT_EQ(amounts(1), "33.35|29.51") << "3 x 12.35 x 0.9 = 33.345; / 1.13";
    g.SetText(col::TaxRate, 1, "");
    EXPECT_EQ(amounts(1), "33.35|33.35");
    g.SetText(col::PushQty, 2, "4");
    EXPECT_EQ(amounts(2), "|") << "no price, no amount";
    g.SetText(col::AmountWithTax, 1, "1");
    EXPECT_EQ(amounts(1), "33.35|33.35");
    EXPECT_TRUE(g.CellLocked(col::AmountWithTax, 1));
}
