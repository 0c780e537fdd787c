#pragma once

#include "platform/records/KeyedRecord.h"

#include <QString>
#include <QVector>

namespace zpp {

// Folds the rows of one item, auxiliary property, supplier and close mark into merged rows,
// returned in the order each group's first row appeared (groups of one included). The input
// records change: each gets a new EntryDataVct and each group's first record becomes its
// merged record. A note all the group's entries share stays on its merged row, differing ones
// leave it empty. With IsPushing set, a row with nothing to push whose group already exists
// is left out. Ends with FetchMergedPrices. Runs in time linear in the rows.
RecordListPtr MergePlanRows(const RecordListPtr& rows);
// MergePlanRows without FetchMergedPrices: the grouping alone, for measuring it apart from
// the planning service.
RecordListPtr GroupPlanRows(const RecordListPtr& rows);

// Adds the member entry of a joining row to the merged row at a 1-based position, keeping
// the members in ascending FSotr order (equal values in arrival order).
void AddMemberEntry(const RecordListPtr& merged, int position, const KeyedRecord& row);

// Sets FPrice on every merged row (FIsMerge 1): the price its entries share; when they differ,
// the planning service's price, else the first non-zero member price, else 0.
void FetchMergedPrices(const RecordListPtr& merged);

// Appends to list a the items of list b that a does not hold, in b's order.
QString MergeList(const QString& a, const QString& b, const QString& separator);

// The list controller's merge and unmerge of the shown rows: keep the unmerged rows and
// the merged rows in the process-wide state and return the rows to show. marked: the 1-based
// rows with unsaved edits, given for the rows shown and turned into those of the rows returned.
// A merged row is marked when one of its entries was; an unmerge gives the entries back in the
// order they had before the merge, marked when they were before it or their merged row was
// edited since.
RecordListPtr MergeView(const RecordListPtr& gridRows, QVector<int>* marked = nullptr);
RecordListPtr UnMergeView(const RecordListPtr& gridRows, QVector<int>* marked = nullptr);

// The fields a merged row shows one value of while each of its entries is ordered at its own:
// price, discount and tax rates, delivery date and note.
const QStringList& OwnValueFields();
// The values of such a field that the entries differ in, each once in entry order (a blank one
// as empty text), at most limit of them; empty when they all agree. Numbers compare as
// numbers and dates as dates, so "4.5" and "4.50" agree.
QStringList DifferingValues(const RecordList& entries, const QString& field, int limit = 10);

} // namespace zpp
