#pragma once

#include "platform/records/KeyedRecord.h"

#include <QString>
#include <QVariant>
#include <optional>

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

// Quantities counted in whole units of an item's decimals (blank decimals: 4), so sums and
// shares of decimal texts carry none of the binary noise of doubles.
class QuantityUnits {
public:
    explicit QuantityUnits(const QVariant& decimals);
    // Nothing for a quantity too large to count in units exactly.
    std::optional<qint64> Units(double quantity) const;
    double Quantity(qint64 units) const { return double(units) / m_scale; }
    // Equal once rounded to the decimals.
    bool Same(double a, double b) const;

private:
    double m_scale;
};

// Marks each entry record with the version its row was loaded at and whether its editable
// fields (supplier, price, push quantity, rates, delivery date, note) differ, at the precision
// the grid shows, from the loaded row with the same key. Entries without a loaded row are left
// unmarked.
void MarkEntryEdits(const RecordListPtr& entries, const RecordListPtr& loadedRows);
// After a successful save: the loaded rows of the changed entries take the saved values and the
// versions the store left in the entry records, so the next save compares against them.
void AcceptSavedEntries(const RecordListPtr& entries, const RecordListPtr& loadedRows);

} // namespace zpp
