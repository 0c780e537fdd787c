#pragma once

#include "component/host/PlanFields.h"
#include "platform/records/KeyedRecord.h"

#include <QStringList>
#include <QVariant>
#include <functional>

namespace zpp::controls {
class SpreadGrid;
}

namespace zpp {

// A window that holds a plan grid. Asking for the grid the first time runs the window's
// own load, so that columns are applied after the window has set itself up.
class PlanGridHost {
public:
    virtual ~PlanGridHost() = default;
    virtual controls::SpreadGrid& vsProc() = 0;
};

// Column numbers of the plan grid that the operations address directly.
namespace col {
inline constexpr int InterID = 1, EntryID = 2, CheckBox = 3, VDate = 4, Close = 5, ItemNumber = 6,
                     ItemName = 7, ItemModel = 8, AuxProp = 9, SupplyNumber = 10, SupplyName = 11,
                     UnitName = 12, Qty = 13, PurchaseFinishQty = 14, PurchaseUnFinishQty = 15, PushQty = 16,
                     Price = 17, DiscountRate = 18, TaxRate = 19, FinishDate = 20, BillNo = 21, SourceNo = 22,
                     Memo = 23, ItemID = 24, UnitID = 25, AuxPropID = 26, StartDate = 27, SupplyID = 28,
                     Key = 29, IsMerge = 30, StartKey = 31, EndKey = 32, MergeSumQty = 33, QtyDecimal = 34,
                     PriceDecimal = 35;
inline constexpr int Count = 35;
} // namespace col

// Builds the process-wide column set and choosable columns (asks the price right and the
// discount-rate decimals).
void BuildPlanColumnSet(double widthUnit);
// Prepares a list window's grid: columns, saved format "sPlanRpt", cell types, locks.
void InitPlanGrid(PlanGridHost& window);
// Applies the column set and a saved format to a grid (the part of InitPlanGrid that
// needs no window).
void ApplyPlanColumns(controls::SpreadGrid& grid, const QString& savedFormat);

// One record per grid row, field name to cell text, in grid order; with keep, only the rows
// it accepts.
RecordListPtr ReadGridRows(controls::SpreadGrid& grid, const std::function<bool(int row)>& keep = {});
// The value of key in a "key=value<sep>" list, or the default (numeric defaults give
// numeric values back as text).
QString GetListValue(const QString& list, const QString& key, const QString& defaultValue,
                     const QString& separator);
QString FindListValue(QString list, const QString& key, bool& found, const QString& separator);
bool ValueInArray(const QVariant& value, const QVariantList& array);

} // namespace zpp
