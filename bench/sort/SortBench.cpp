// Sorting a plan-sized grid by one column: the order (SortOrder) and the move of every row with
// what is its own (MoveRows), for a number, a date and a Chinese text column at 100,000 and
// 1,000,000 rows of 35 columns, beside the target of 100 ms per 100,000 rows. A find after the
// sort shows that the moved texts are still searched within its own time.
//
// Usage: bench_sort [rows...] (default 100000 1000000)
#include "bench/support/SampleCells.h"
#include "platform/controls/SpreadGrid.h"

#include <QApplication>
#include <QCollator>
#include <QDate>
#include <QElapsedTimer>
#include <QTableView>
#include <cstdio>
#include <cstdlib>
#include <vector>

using zpp::controls::CellType;
using zpp::controls::SpreadGrid;

namespace {

constexpr int kCols = 35;
constexpr int kQty = 13, kDate = 20, kName = 7, kNote = 23;

// Item names as a plan list has them: some thousands, each on many rows.
QString ItemName(int r) {
    static const QString first = QStringLiteral("碳钢不锈铜铝铸锻冷热镀锌黄紫红白黑高中低精粗");
    static const QString second = QStringLiteral("螺栓螺母垫圈板管棒线带丝钉销轴套环片块");
    const int n = (r * 7919) % 5000;
    return QStringLiteral("%1%2%3型%4")
        .arg(first[n % first.size()])
        .arg(second[(n / 24) % second.size()])
        .arg(second[(n / 480) % second.size()])
        .arg(n % 37);
}

QString Text(int c, int r) {
    switch (c) {
    case kQty:
        return QString::number(((r * 7919L) % 200000) / 8.0, 'f', 4);
    case kDate:
        return QDate(2025, 1, 1).addDays((r * 31L) % 1100).toString(QStringLiteral("yyyy-MM-dd"));
    case kName:
        return ItemName(r);
    case kNote:
        // Every text its own: the case that costs most, one collation per row.
        return r % 9 ? QStringLiteral("二车间第%1批零件").arg((r * 7919L) % 1000003) : QString();
    default:
        return zpp::bench::SampleCellText(c, r);
    }
}

void Fill(SpreadGrid& grid, int rows) {
    grid.SetMaxCols(kCols);
    for (int c = 1; c <= kCols; ++c) {
        grid.SetHeaderText(c, QStringLiteral("列%1").arg(c));
        if (c == kQty) {
            grid.SetColCellType(c, CellType::Number);
            grid.SetColDecimals(c, 4);
        } else if (c == kDate) {
            grid.SetColCellType(c, CellType::Date);
        } else if (c == 3) {
            grid.SetColCellType(c, CellType::CheckBox);
        }
    }
    grid.SetRedraw(false);
    grid.SetMaxRows(rows);
    for (int c = 1; c <= kCols; ++c)
        for (int r = 1; r <= rows; ++r)
            grid.SetText(c, r, Text(c, r));
    grid.SetRedraw(true);
    grid.MarkRowsUnchanged();
}

double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

bool Sorted(const SpreadGrid& grid, int col, bool ascending, const QCollator& collator) {
    for (int r = 2; r <= grid.MaxRows(); ++r) {
        const QString a = grid.Text(col, r - 1), b = grid.Text(col, r);
        if (b.isEmpty())
            continue;
        if (a.isEmpty())
            return false;
        int cmp = 0;
        if (col == kQty)
            cmp = a.toDouble() < b.toDouble() ? -1 : a.toDouble() > b.toDouble();
        else if (col == kDate)
            cmp = a.compare(b);
        else
            cmp = collator.compare(a, b);
        if (ascending ? cmp > 0 : cmp < 0)
            return false;
    }
    return true;
}

void Figures(int rows) {
    SpreadGrid grid;
    QElapsedTimer t;
    t.start();
    Fill(grid, rows);
    std::printf("%d rows x %d columns filled in %.0f ms\n", rows, kCols, Ms(t));
    grid.resize(1280, 800);
    grid.show();
    QApplication::processEvents();
    // A user's state that must follow the rows: a column selected by its header, a cell active.
    grid.View()->selectColumn(kName - 1);
    grid.SetActiveCell(kName, rows / 2);

    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QCollator collator(chinese);
    collator.setNumericMode(true);
    const double target = 100.0 * rows / 100000;
    const struct {
        int col;
        const char* name;
    } columns[] = {{kQty, "number"},
                   {kDate, "date"},
                   {kName, "Chinese text, 5,000 names"},
                   {kNote, "Chinese text, every one its own"}};
    for (const auto& c : columns) {
        for (bool ascending : {true, false}) {
            t.restart();
            const QVector<int> order = grid.SortOrder(c.col, ascending, chinese);
            const double orderMs = Ms(t);
            t.restart();
            grid.MoveRows(order);
            const double moveMs = Ms(t);
            t.restart();
            grid.View()->viewport()->repaint();
            const double paintMs = Ms(t);
            const bool right = Sorted(grid, c.col, ascending, collator);
            std::printf(
                "  %-32s %-10s order %6.0f ms + move %5.0f ms = %6.0f ms (target %.0f), repaint %.1f ms%s\n",
                c.name, ascending ? "ascending" : "descending", orderMs, moveMs, orderMs + moveMs, target,
                paintMs, right ? "" : "  - NOT SORTED");
        }
    }
    // The texts now lie out of row order in their columns: a find still looks at each once.
    const QString absent = QStringLiteral("A99999999");
    t.restart();
    const auto found = grid.Find(absent, 1, 1, true, true);
    std::printf("  find of an absent text after the sorts: %.0f ms (target %.0f)%s\n", Ms(t), target,
                found ? " - WRONG RESULT" : "");
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {100000, 1000000};
    for (int rows : sizes)
        Figures(rows);
    return 0;
}
