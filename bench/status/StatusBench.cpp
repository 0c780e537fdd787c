// Figures for the list's status line at a million rows: the count, sum and average of a whole
// selected column and of Ctrl+A, the ticked rows' amount, and the amount column read for every
// row (as an export or a print reads it). Each is counted in slices; the longest slice is what
// the window waits for at once.
//
// Usage: bench_status [rows]
#include "component/grid/AmountColumns.h"
#include "platform/controls/GridSums.h"
#include "platform/controls/SpreadGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

using namespace zpp;
using zpp::controls::CellType;

namespace {

constexpr qint64 kSlice = 1024; // as the status line reads

struct Timing {
    double TotalMs = 0, LongestSliceMs = 0;
};

Timing Sums(const controls::SpreadGrid& grid, const QVector<controls::CellBlock>& blocks, qint64* count) {
    QElapsedTimer total, slice;
    total.start();
    controls::SelectionSums sums(grid, blocks);
    Timing t;
    for (bool done = false; !done;) {
        slice.start();
        done = sums.Step(kSlice);
        t.LongestSliceMs = std::max(t.LongestSliceMs, slice.nsecsElapsed() / 1e6);
    }
    t.TotalMs = total.nsecsElapsed() / 1e6;
    *count = sums.Sums().Count;
    return t;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    controls::SpreadGrid grid;
    grid.SetMaxCols(col::AmountWithoutTax);
    for (int c : {col::Qty, col::PurchaseFinishQty, col::PurchaseUnFinishQty, col::PushQty, col::Price,
                  col::DiscountRate, col::TaxRate, col::AmountWithTax, col::AmountWithoutTax}) {
        grid.SetColCellType(c, CellType::Number);
        grid.SetColDecimals(c,
                            c == col::DiscountRate || c == col::TaxRate || c >= col::AmountWithTax ? 2 : 4);
    }
    grid.SetColCellType(col::CheckBox, CellType::CheckBox);
    InstallAmountColumns(grid);
    grid.SetRedraw(false);
    grid.SetMaxRows(rows);
    grid.BeginFill();
    for (int r = 1; r <= rows; ++r) {
        grid.SetValue(col::Qty, r, double(r % 500 + 1));
        grid.SetValue(col::PurchaseFinishQty, r, 0.0);
        grid.SetValue(col::PurchaseUnFinishQty, r, double(r % 500 + 1));
        grid.SetValue(col::PushQty, r, double(r % 500 + 1));
        grid.SetValue(col::Price, r, 10.0 + (r % 97) * 0.125);
        grid.SetValue(col::DiscountRate, r, double(r % 3));
        grid.SetValue(col::TaxRate, r, 13.0);
        grid.SetText(col::CheckBox, r, r % 2 ? QStringLiteral("1") : QStringLiteral("0"));
    }
    grid.EndFill();
    grid.SetRedraw(true);

    qint64 count = 0;
    const Timing column = Sums(grid, {{col::PushQty, col::PushQty, 1, rows}}, &count);
    std::printf("selection sums, one column of %d rows: %.1f ms (%lld numbers), longest slice %.2f ms\n",
                rows, column.TotalMs, count, column.LongestSliceMs);
    const Timing all = Sums(grid, {{1, grid.MaxCols(), 1, rows}}, &count);
    std::printf("selection sums, Ctrl+A (%d columns x %d rows): %.1f ms (%lld numbers, amounts included), "
                "longest slice %.2f ms\n",
                grid.MaxCols(), rows, all.TotalMs, count, all.LongestSliceMs);

    // The ticked rows' amount, as the status line counts it.
    QElapsedTimer t;
    t.start();
    qint64 ticked = 0;
    double amount = 0;
    for (int r = 1; r <= rows; ++r)
        if (grid.Text(col::CheckBox, r) == u"1") {
            ++ticked;
            if (const auto a = RowAmount(grid, r))
                amount += a->WithTax;
        }
    std::printf("ticked rows' amount: %.1f ms (%lld rows, %.2f), %.3f ms per %lld rows\n",
                t.nsecsElapsed() / 1e6, ticked, amount, t.nsecsElapsed() / 1e6 * kSlice / rows, kSlice);

    // The amount column read for every row, as an export does.
    t.start();
    qsizetype sink = 0;
    for (int r = 1; r <= rows; ++r)
        sink += grid.Text(col::AmountWithTax, r).size();
    const double amountsMs = t.nsecsElapsed() / 1e6;
    t.start();
    for (int r = 1; r <= rows; ++r)
        sink += grid.Text(col::PushQty, r).size();
    std::printf("amount column read for every row: %.1f ms, a stored column %.1f ms (%lld)\n", amountsMs,
                t.nsecsElapsed() / 1e6, qint64(sink));
    return 0;
}
