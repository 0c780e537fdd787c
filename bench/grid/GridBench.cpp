// Figures for the spreadsheet grid at list size: bulk fill, heap per cell, and whether a
// repaint or a jump to the last row costs the same at 100 and at 100,000 rows; last, how long a
// find over a million rows takes when it has to look at every cell.
//
// Usage: bench_grid [rows [find rows]]; find rows 0 skips the find.
#include "bench/support/Memory.h"
#include "bench/support/SampleCells.h"
#include "platform/controls/SpreadGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <optional>

using zpp::controls::CellType;
using zpp::controls::SpreadGrid;

namespace {

constexpr int kCols = 35;

// A plan row's mix: codes, Chinese names, quantities, prices, dates, flags.
void SetUpColumns(SpreadGrid& grid) {
    grid.SetMaxCols(kCols);
    for (int c = 1; c <= kCols; ++c) {
        grid.SetHeaderText(c, QStringLiteral("列%1").arg(c));
        grid.SetColWidth(c, 10);
        switch (c % 7) {
        case 2:
        case 3:
            grid.SetColCellType(c, CellType::Number);
            grid.SetColDecimals(c, c % 7 == 2 ? 2 : 4);
            break;
        case 4:
            grid.SetColCellType(c, CellType::Date);
            break;
        case 5:
            grid.SetColCellType(c, CellType::CheckBox);
            break;
        default:
            break;
        }
    }
}

QString CellText(int c, int r) {
    return zpp::bench::SampleCellText(c, r);
}

// What the benchmark spends making its texts, to subtract from the fill.
double MakeTexts(int rows) {
    QElapsedTimer t;
    t.start();
    qsizetype sink = 0;
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= kCols; ++c)
            sink += CellText(c, r).size();
    const double ms = t.nsecsElapsed() / 1e6;
    return sink > 0 ? ms : -ms;
}

double Fill(SpreadGrid& grid, int rows) {
    QElapsedTimer t;
    t.start();
    grid.SetRedraw(false);
    grid.SetMaxRows(rows);
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= kCols; ++c)
            grid.SetText(c, r, CellText(c, r));
    grid.SetRedraw(true);
    return t.nsecsElapsed() / 1e6;
}

// Mean of several runs, in milliseconds.
template <class F> double Mean(int runs, F&& f) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < runs; ++i)
        f();
    return t.nsecsElapsed() / 1e6 / runs;
}

// Nanoseconds per SetText for one column of each cell type, texts made beforehand.
void PerType(int rows) {
    const struct {
        const char* name;
        CellType type;
        QString (*text)(int);
    } kinds[] = {
        {"text", CellType::Text, [](int r) { return QStringLiteral("钢板螺栓%1").arg(r % 97); }},
        {"number", CellType::Number, [](int r) { return QString::number(r % 5000 / 7.0, 'f', 6); }},
        {"date", CellType::Date,
         [](int r) { return QStringLiteral("2026-%1-17").arg(r % 12 + 1, 2, 10, QLatin1Char('0')); }},
        {"check box", CellType::CheckBox, [](int r) { return QString::number(r % 3); }},
    };
    std::printf("SetText per cell type (%d cells each, redraw off):", rows);
    for (const auto& kind : kinds) {
        SpreadGrid grid;
        grid.SetMaxCols(1);
        grid.SetColCellType(1, kind.type);
        grid.SetRedraw(false);
        grid.SetMaxRows(rows);
        QStringList texts;
        for (int r = 1; r <= rows; ++r)
            texts << kind.text(r);
        QElapsedTimer t;
        t.start();
        for (int r = 1; r <= rows; ++r)
            grid.SetText(1, r, texts[r - 1]);
        std::printf(" %s %.0f ns", kind.name, double(t.nsecsElapsed()) / rows);
        grid.SetRedraw(true);
    }
    std::printf("\n");
}

struct ViewFigures {
    double repaint;
    double jump;
    double reset;
};

ViewFigures MeasureView(SpreadGrid& grid) {
    QTableView* view = grid.View();
    QApplication::processEvents();
    view->viewport()->repaint(); // warm-up: fonts, style caches
    ViewFigures f{};
    f.repaint = Mean(20, [&] { view->viewport()->repaint(); });
    int flip = 0;
    f.jump = Mean(20, [&] {
        grid.ScrollToRow(flip++ % 2 ? 1 : grid.MaxRows());
        view->viewport()->repaint();
    });
    // A model reset, as a refresh of the whole list does (shape change forces it).
    const int rows = grid.MaxRows();
    f.reset = Mean(5, [&] {
        grid.SetRedraw(false);
        grid.SetMaxRows(rows + 1);
        grid.SetMaxRows(rows);
        grid.SetRedraw(true);
        view->viewport()->repaint();
    });
    return f;
}

// Best of several runs, in milliseconds.
template <class F> double Best(int runs, F&& f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

// Column by column: each column's arena then grows on its own, with nothing in between.
double FillByColumn(SpreadGrid& grid, int rows) {
    QElapsedTimer t;
    t.start();
    grid.SetRedraw(false);
    grid.SetMaxRows(rows);
    for (int c = 1; c <= kCols; ++c)
        for (int r = 1; r <= rows; ++r)
            grid.SetText(c, r, CellText(c, r));
    grid.SetRedraw(true);
    return t.nsecsElapsed() / 1e6;
}

// Finds from the first cell that must look at every cell: a text only the very last cell
// holds, one no cell holds, and the first again in other letter case. Each is checked, so a
// find that stops early or matches wrongly shows as a fault, not as a fast figure.
void FindFigures(int rows) {
    SpreadGrid grid;
    SetUpColumns(grid);
    const double fillMs = FillByColumn(grid, rows);
    std::printf("find: %d x %d cells filled column by column in %.0f ms\n", rows, kCols, fillMs);

    const QString last = grid.Text(kCols, rows); // a code, unique to its cell
    const QString absent = QStringLiteral("A99999999");
    const QString anyCase = last.toLower();
    using Hit = std::optional<std::pair<int, int>>;
    const Hit lastCell = std::pair{kCols, rows};
    Hit found;
    bool faulty = false;
    const auto time = [&](const QString& text, bool matchCase, const Hit& expected) {
        const double ms = Best(5, [&] { found = grid.Find(text, 1, 1, true, matchCase); });
        if (found != expected) {
            faulty = true;
            std::printf("find: \"%s\" gave %s, expected %s\n", qPrintable(text),
                        found ? qPrintable(QStringLiteral("(%1, %2)").arg(found->first).arg(found->second))
                              : "nothing",
                        expected ? "the last cell" : "nothing");
        }
        return ms;
    };
    const double lastMs = time(last, true, lastCell);
    const double absentMs = time(absent, true, std::nullopt);
    const double anyCaseMs = time(anyCase, false, lastCell);
    std::printf("find over %d rows: last row %.1f ms, absent %.1f ms, any case %.1f ms (target 100)%s\n",
                rows, lastMs, absentMs, anyCaseMs, faulty ? " - WRONG RESULTS" : "");
    std::printf("  %.1f ns per cell looked at, case kept\n", absentMs * 1e6 / (double(rows) * kCols));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int bigRows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int findRows = argc > 2 ? std::atoi(argv[2]) : 1000000;

    std::printf("spreadsheet grid, %d columns\n", kCols);

    const std::size_t before = zpp::bench::HeapInUse();
    auto big = std::make_unique<SpreadGrid>();
    SetUpColumns(*big);
    const double fillMs = Fill(*big, bigRows);
    const std::size_t after = zpp::bench::HeapInUse();
    const double cells = double(bigRows) * kCols;
    std::printf("fill %d x %d cells, redraw off: %.0f ms (%.2f M cells/s)\n", bigRows, kCols, fillMs,
                cells / fillMs / 1e3);
    const double makeMs = MakeTexts(bigRows);
    std::printf("  of which making the texts: %.0f ms; grid's own share %.0f ns per cell\n", makeMs,
                (fillMs - makeMs) * 1e6 / cells);
    std::printf("heap for grid and view: %.1f MB, %.1f bytes per cell\n", (after - before) / 1e6,
                (after - before) / cells);

    PerType(bigRows);

    SpreadGrid small;
    SetUpColumns(small);
    Fill(small, 100);

    for (SpreadGrid* g : {&small, big.get()}) {
        g->resize(1280, 800);
        g->show();
        const ViewFigures f = MeasureView(*g);
        std::printf(
            "%6d rows: repaint %.2f ms, jump to last row + repaint %.2f ms, reset + repaint %.2f ms\n",
            g->MaxRows(), f.repaint, f.jump, f.reset);
        g->hide();
    }

    // Its own grid, with the others' memory given back first.
    big.reset();
    if (findRows > 0)
        FindFigures(findRows);
    return 0;
}
