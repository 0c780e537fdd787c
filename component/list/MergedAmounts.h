#pragma once

// What a merged row of the list comes to: the sum of what its entries will be ordered at, each at
// its own price and rates unless the row's value was changed, with an edited push quantity
// poured into them as a save or push pours it.

#include "platform/records/Amounts.h"

#include <optional>

namespace zpp {

namespace controls {
class SpreadGrid;
}

// Nothing when no entry has a price; outside the merged view, the row's own cells.
std::optional<values::LineAmount> MergedRowAmount(const controls::SpreadGrid& grid, int row);

} // namespace zpp
