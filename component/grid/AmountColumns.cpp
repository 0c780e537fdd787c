#include "AmountColumns.h"

#include "platform/controls/SpreadGrid.h"
#include "platform/records/Values.h"

namespace zpp {

void AddAmountColumns(RecordList& set, RecordList& choosable, double widthUnit, bool pricesShown) {
    const std::pair<int, const char*> columns[] = {{col::AmountWithTax, "价税合计"},
                                                   {col::AmountWithoutTax, "不含税金额"}};
    for (const auto& [column, caption] : columns) {
        auto def = KeyedRecord::Create();
        def->Set(QStringLiteral("Col"), column);
        def->Set(QStringLiteral("Text"), QString::fromUtf8(caption));
        def->Set(QStringLiteral("FieldName"),
                 column == col::AmountWithTax ? kAmountWithTaxField : kAmountWithoutTaxField);
        def->Set(QStringLiteral("ColWidth"), widthUnit * 1.2 / 20);
        // Without the price the amount would show what the user may not see.
        def->Set(pricesShown ? QStringLiteral("DefaultHidden") : QStringLiteral("ColHidden"), true);
        def->Set(QStringLiteral("CellType"), 13);
        def->Set(QStringLiteral("TypeNumberDecPlaces"), 2);
        def->Set(QStringLiteral("Lock"), true);
        set.Add(def);
        if (pricesShown)
            choosable.Add(def);
    }
}

namespace {
MergedRowCounter& Counter() {
    static MergedRowCounter counter;
    return counter;
}
} // namespace

void SetMergedRowCounter(MergedRowCounter counter) {
    Counter() = std::move(counter);
}

std::optional<values::LineAmount> RowAmount(const controls::SpreadGrid& grid, int row) {
    if (Counter() && grid.Text(col::IsMerge, row).trimmed() == u"1")
        return Counter()(grid, row);
    return CellsAmount(grid, row);
}

std::optional<values::LineAmount> CellsAmount(const controls::SpreadGrid& grid, int row) {
    const QString qty = grid.Text(col::PushQty, row), price = grid.Text(col::Price, row);
    if (qty.trimmed().isEmpty() || price.trimmed().isEmpty())
        return std::nullopt;
    return values::AmountOf(values::Val(qty), values::Val(price),
                            values::Val(grid.Text(col::DiscountRate, row)),
                            values::Val(grid.Text(col::TaxRate, row)));
}

void InstallAmountColumns(controls::SpreadGrid& grid) {
    if (grid.MaxCols() < col::AmountWithoutTax)
        return;
    const controls::SpreadGrid* g = &grid;
    grid.SetColFormula(col::AmountWithTax, [g](int row) {
        const auto a = RowAmount(*g, row);
        return a ? values::FormatNumber(a->WithTax, 2) : QString();
    });
    grid.SetColFormula(col::AmountWithoutTax, [g](int row) {
        const auto a = RowAmount(*g, row);
        return a ? values::FormatNumber(a->WithoutTax, 2) : QString();
    });
}

} // namespace zpp
