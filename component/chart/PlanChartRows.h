#pragma once

// Counts the plan grid as the user sees it now, edits not yet saved included: the picture
// answers "what would I order", which is what the grid would save and push.

#include "component/chart/PlanChartData.h"

namespace zpp::controls {
class SpreadGrid;
}

namespace zpp::chart {

// Closed rows are left out (they order nothing). A merged row counts as its entries, each at
// the price, rates and date it would be ordered at (BuildEntryData, as the push expands it).
PlanChartFigures CountPlanGrid(const controls::SpreadGrid& grid, bool mergedView, bool withAmounts,
                               int topSuppliers = 15);

} // namespace zpp::chart
