// The chart's texts in the log-in language for the figures it shows: the window and the benchmark
// draw the same words.
#include "PlanChartPainter.h"
#include "component/host/Lang.h"

#include <QLocale>

namespace zpp::chart {

namespace {
QString Lang(const char* text) {
    return GetLangString(QString::fromUtf8(text));
}
} // namespace

PlanChartTexts ChartTexts(const PlanChartFigures& f, const QString& failure) {
    PlanChartTexts t;
    t.Title = Lang("采购计划图表");
    t.SupplierTitle = f.WithAmounts ? Lang("各供应商的含税金额")
                                    : Lang("各供应商的下推数量（没有查看单价的权限，不显示金额）");
    t.WeekTitle = Lang("各交货周的下推数量");
    t.Others = Lang("其他 %1 家");
    t.NoSupplier = Lang("（无供应商）");
    t.Week = Lang("第%1周");
    t.Undated = Lang("无交货日期：数量 %1（%2 行）");
    t.Overdue = Lang("本周以前");
    t.Empty = failure.isEmpty() ? Lang("列表中没有可绘制的行") : failure;
    t.ChineseUnits = QLocale().language() == QLocale::Chinese;
    t.Today = QDate::currentDate();

    const QString gap = t.ChineseUnits ? QString() : QStringLiteral(" ");
    QString caption = f.Merged ? Lang("根据列表显示的 %1 个汇总行（%2 个分录）绘制，含未保存的修改。")
                                     .arg(f.ListedRows)
                                     .arg(f.Rows + f.ClosedRows)
                               : Lang("根据列表显示的 %1 行绘制，含未保存的修改。").arg(f.ListedRows);
    if (f.ClosedRows > 0)
        caption += gap + Lang("已关闭的 %1 行不计。").arg(f.ClosedRows);
    caption += u'\n';
    caption += f.WithAmounts ? Lang("合计：含税金额 %1，下推数量 %2。")
                                   .arg(AmountText(f.TotalAmount), QuantityText(f.TotalQty))
                             : Lang("合计：下推数量 %1。").arg(QuantityText(f.TotalQty));
    t.Caption = caption;
    return t;
}

} // namespace zpp::chart
