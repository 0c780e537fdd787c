#pragma once

#include "platform/records/KeyedRecord.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>
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
// origins, when given, gets one item per entry returned.
struct EntryOrigin {
    int Row;     // the 1-based position of the row it came from
    bool Edited; // that row is a merged row edited since it was built
};
RecordListPtr BuildEntryData(const RecordListPtr& rows, QVector<EntryOrigin>* origins = nullptr);

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

// The version of each entry as the list holds it: as loaded, moved on by the list's own saves
// (AcceptSavedEntries). A push sends it, so that the store refuses an entry changed elsewhere
// since instead of ordering what the list shows of it.
class LoadedVersions {
public:
    explicit LoadedVersions(RecordListPtr loadedRows) : m_rows(std::move(loadedRows)) {}
    // The version of the entry of a row key, nothing when the list holds none. position: where
    // the row may be among the loaded rows (a list not folded since its load keeps their order),
    // so a push of a whole list looks up no key; elsewhere the key is looked up.
    std::optional<qint64> Of(const QString& key, int position = 0) const;

private:
    std::optional<qint64> At(int position) const;
    void Resolve(int position) const;

    RecordListPtr m_rows;
    mutable const KeySet* m_keys = nullptr; // the key set m_keySlot and m_versionSlot belong to
    mutable int m_keySlot = -1, m_versionSlot = -1;
    mutable std::optional<QHash<QString, int>> m_byKey; // made at the first miss
};

} // namespace zpp
