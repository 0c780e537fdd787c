#pragma once

#include <QStringList>

namespace zpp {

// The 35 fields of a plan row, in the plan grid's column order (index 0 is column 1). The
// planning service keys its rows by them and the grid shows them in this order.
const QStringList& PlanFieldNames();

} // namespace zpp
