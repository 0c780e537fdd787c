#pragma once

#include <QString>
#include <QStringList>

namespace zpp {

// The 35 fields of a plan row, in the plan grid's column order (index 0 is column 1). The
// planning service keys its rows by them and the grid shows them in this order.
const QStringList& PlanFieldNames();

// Besides those fields a plan row carries the version its entry had when the row was read. A save
// sends it back with each entry record, together with whether this list changed the entry, so
// that the store refuses to overwrite what another user changed in the meantime; after the write
// the store leaves the entry's new version in the record.
inline const QString kEntryVersionField = QStringLiteral("FVersion");
inline const QString kEntryEditedField = QStringLiteral("FEdited");

// The largest quantity or amount a plan entry may carry: 15 significant digits, four of them
// decimals, beyond which a double no longer keeps what was typed. Cells and the store refuse more.
inline constexpr double kLargestAmount = 1e11;

} // namespace zpp
