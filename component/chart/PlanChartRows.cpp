#include "PlanChartRows.h"

#include "component/grid/PlanGrid.h"
#include "component/host/PlanFields.h"
#include "component/operations/EntryData.h"
#include "component/operations/RowFields.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/KeyedRecord.h"
#include "platform/records/Values.h"

namespace zpp::chart {

namespace {

void CountPlainRows(const controls::SpreadGrid& grid, PlanChartTally& tally) {
    // The stored texts in place: a million rows are read without a copy of any cell.
    const int rows = grid.MaxRows();
    for (int r = 1; r <= rows; ++r) {
        if (!grid.StoredText(col::Close, r).trimmed().isEmpty()) {
            tally.AddClosed();
            continue;
        }
        auto number = [&](int c) { return values::Val(grid.StoredText(c, r)); };
        tally.Add(grid.StoredText(col::SupplyName, r), number(col::PushQty), number(col::Price),
                  number(col::DiscountRate), number(col::TaxRate), grid.StoredText(col::FinishDate, r));
    }
}

// The rows as records of the plan's own fields, as a save reads them; columns worked out from
// these (amounts) are not read, each of which would expand a merged row again.
RecordListPtr PlanRows(const controls::SpreadGrid& grid) {
    auto keys = std::make_shared<KeySet>();
    for (const QString& name : PlanFieldNames())
        keys->Append(name);
    auto rows = RecordList::Create();
    rows->Reserve(grid.MaxRows());
    for (int r = 1; r <= grid.MaxRows(); ++r) {
        QVector<QVariant> cells;
        cells.reserve(col::Count);
        for (int c = 1; c <= col::Count; ++c)
            cells << QVariant(grid.Text(c, r));
        rows->Add(std::make_shared<KeyedRecord>(keys, std::move(cells)));
    }
    return rows;
}

// A folded list holds at most a few thousand merged rows, so records are cheap here.
void CountMergedRows(const controls::SpreadGrid& grid, PlanChartTally& tally) {
    const QString supplyName = PlanFieldNames().at(col::SupplyName - 1);
    const RecordListPtr entries = BuildEntryData(PlanRows(grid));
    for (const RecordPtr& e : *entries) {
        if (!e->Text(fld::Close).trimmed().isEmpty()) {
            tally.AddClosed();
            continue;
        }
        const auto date = values::ParseDate(e->Get(fld::FinishDate, QString()));
        auto number = [&](const QString& field) { return values::Val(e->Get(field, 0)); };
        tally.Add(e->Text(supplyName), number(fld::PushQty), number(fld::Price), number(fld::DiscountRate),
                  number(fld::TaxRate), date ? values::DisplayDate(*date) : QString());
    }
}

} // namespace

PlanChartFigures CountPlanGrid(const controls::SpreadGrid& grid, bool mergedView, bool withAmounts,
                               int topSuppliers) {
    PlanChartTally tally(withAmounts);
    if (mergedView)
        CountMergedRows(grid, tally);
    else
        CountPlainRows(grid, tally);
    PlanChartFigures f = tally.Figures(topSuppliers);
    f.ListedRows = grid.MaxRows();
    f.Merged = mergedView;
    return f;
}

} // namespace zpp::chart
