#include "PushNotes.h"

#include "component/grid/PlanGrid.h"
#include "component/host/Lang.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Values.h"

namespace zpp::pushnotes {

bool NothingLeft(const controls::SpreadGrid& grid, int row) {
    // The cell holds the quantity at the item's decimals, so a rounding rest reads as 0 here.
    return grid.Text(col::Close, row).trimmed().isEmpty() &&
           values::Val(grid.Text(col::PurchaseUnFinishQty, row)) <= 0;
}

QString NothingPushed() {
    return GetLangString(QStringLiteral("没有下推任何分录，也没有生成采购订单。"));
}

QString Skipped(int rows) {
    return GetLangString(QStringLiteral("%1 行已全部下推，已跳过")).arg(rows);
}

QString Refused(const QString& why) {
    return NothingPushed() + QStringLiteral("\r\n") + why;
}

} // namespace zpp::pushnotes
