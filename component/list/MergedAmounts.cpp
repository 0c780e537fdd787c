#include "MergedAmounts.h"

#include "component/grid/AmountColumns.h"
#include "component/host/ComponentState.h"
#include "component/operations/EntryData.h"
#include "component/operations/RowFields.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Values.h"

namespace zpp {

std::optional<values::LineAmount> MergedRowAmount(const controls::SpreadGrid& grid, int row) {
    const RecordListPtr& set = State().PlanColumnSet;
    if (!State().IsMergedView || !set)
        return CellsAmount(grid, row);
    try {
        // The row as a save reads it, expanded into its entries as a push would order them.
        auto record = KeyedRecord::Create();
        for (const RecordPtr& def : *set)
            if (const int c = values::ToInt32(def->Get(QStringLiteral("Col"))); c <= col::Count)
                record->Set(def->Text(QStringLiteral("FieldName")), grid.Text(c, row)); // amounts aside
        auto rows = RecordList::Create();
        rows->Add(record);
        std::optional<values::LineAmount> sum;
        const RecordListPtr entries = BuildEntryData(rows);
        for (const RecordPtr& entry : *entries) {
            if (entry->Text(fld::Price).trimmed().isEmpty())
                continue;
            const values::LineAmount a = values::AmountOf(
                values::Val(entry->Get(fld::PushQty)), values::Val(entry->Get(fld::Price)),
                values::Val(entry->Get(fld::DiscountRate)), values::Val(entry->Get(fld::TaxRate)));
            if (!sum)
                sum.emplace();
            sum->WithTax += a.WithTax;
            sum->WithoutTax += a.WithoutTax;
            sum->Tax += a.Tax;
            sum->Discount += a.Discount;
        }
        if (sum) {
            sum->WithTax = values::RoundCents(sum->WithTax);
            sum->WithoutTax = values::RoundCents(sum->WithoutTax);
        }
        return sum;
    } catch (const std::exception&) {
        // A row the merged view does not know: what its cells show.
        return CellsAmount(grid, row);
    }
}

} // namespace zpp
