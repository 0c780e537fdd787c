#pragma once

// The plan grid's amount columns: what a row comes to at its push quantity and price, with and
// without tax, worked out from the row's cells as they show and never stored.

#include "component/grid/PlanGrid.h"
#include "platform/records/Amounts.h"

#include <functional>
#include <optional>

namespace zpp {

namespace col {
inline constexpr int AmountWithTax = Count + 1, AmountWithoutTax = Count + 2;
} // namespace col

inline const QString kAmountWithTaxField = QStringLiteral("FAmountWithTax");
inline const QString kAmountWithoutTaxField = QStringLiteral("FAmountWithoutTax");

// Appends their definitions to the column set: read-only numbers to the cent, hidden until the
// user chooses them ("DefaultHidden"); without prices to show neither can be chosen.
void AddAmountColumns(RecordList& set, RecordList& choosable, double widthUnit, bool pricesShown);
// Makes a grid's amount columns follow the cells of their rows.
void InstallAmountColumns(controls::SpreadGrid& grid);
// What a row comes to; nothing while it has no push quantity or no price. A merged row comes to
// what its entries do, each at its own values, as the merged-row counter says.
std::optional<values::LineAmount> RowAmount(const controls::SpreadGrid& grid, int row);
// What a plain row comes to at the figures its cells show.
std::optional<values::LineAmount> CellsAmount(const controls::SpreadGrid& grid, int row);

// The merged view knows a merged row's entries, the grid does not: it counts such rows (FIsMerge
// 1) for the amount columns. One for the process, like the merged view; an empty one ends it.
using MergedRowCounter =
    std::function<std::optional<values::LineAmount>(const controls::SpreadGrid&, int row)>;
void SetMergedRowCounter(MergedRowCounter counter);

} // namespace zpp
