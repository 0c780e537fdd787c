#pragma once

#include "platform/records/KeyedRecord.h"

#include <QString>

namespace zpp {

// Compares two row keys "interID_entryID" by their numbers: 1 when a is smaller, 2 when a
// is greater, 0 when equal, -1 when either key is blank. A key whose parts are not whole
// numbers fails with an Error.
qint16 CompareRowKeys(const QString& a, const QString& b);

// Turns what the grid shows back into one record per plan entry. Plain rows come back as
// the same record objects; with the merged view on, a merged row (FIsMerge 1) expands into
// clones of itself carrying each member's own fields, and an edited merged push quantity is
// poured into the members in FSotr order. Reads IsMergedView and MergedRowVct, changes
// neither. A merged row missing from MergedRowVct fails with an Error.
RecordListPtr BuildEntryData(const RecordListPtr& rows);

// Whether two quantities read from the grid are the same number; sums of decimal texts
// carry binary noise that the grid's rounding hides.
bool SameQuantity(double a, double b);

} // namespace zpp
