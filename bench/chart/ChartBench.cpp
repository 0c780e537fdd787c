// Figures for the plan chart at a million rows: counting the grid as the list shows it, beside
// the same count over plain arrays (the floor: parsing and adding alone), and drawing the
// figures into an image. Target: count and draw within 1 s.
//
// Usage: bench_chart [rows]
#include "component/chart/PlanChartPainter.h"
#include "component/chart/PlanChartRows.h"
#include "component/grid/PlanGrid.h"
#include "platform/controls/SpreadGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace zpp;
using controls::CellType;
using controls::SpreadGrid;

namespace {

// 300 suppliers in no order, dates over two years, one row in ten closed.
QString CellText(int c, int r) {
    const int supplier = (r * 7919) % 300;
    switch (c) {
    case col::Close:
        return r % 10 == 0 ? QStringLiteral("Y") : QString();
    case col::SupplyName:
        return QStringLiteral("供应商%1有限公司").arg(supplier, 3, 10, QLatin1Char('0'));
    case col::PushQty:
        return QString::number((r % 500) * 2 + 1);
    case col::Price:
        return QString::number(1 + (r * 31 % 9000) / 100.0, 'f', 4);
    case col::DiscountRate:
        return r % 5 == 0 ? QStringLiteral("5.00") : QStringLiteral("0.00");
    case col::TaxRate:
        return QStringLiteral("13.00");
    case col::FinishDate:
        return r % 50 == 3 ? QString() : QDate(2026, 1, 1).addDays(r % 730).toString(Qt::ISODate);
    default:
        return {};
    }
}

constexpr int kRead[] = {col::Close,        col::SupplyName, col::PushQty,   col::Price,
                         col::DiscountRate, col::TaxRate,    col::FinishDate};

void Fill(SpreadGrid& grid, int rows) {
    grid.SetMaxCols(col::Count);
    for (int c : {col::PushQty, col::Price, col::DiscountRate, col::TaxRate}) {
        grid.SetColCellType(c, CellType::Number);
        grid.SetColDecimals(c, c == col::Price || c == col::PushQty ? 4 : 2);
    }
    grid.SetColCellType(col::FinishDate, CellType::Date);
    grid.SetRedraw(false);
    grid.SetMaxRows(rows);
    for (int r = 1; r <= rows; ++r)
        for (int c : kRead)
            if (const QString text = CellText(c, r); !text.isEmpty())
                grid.SetText(c, r, text);
    grid.SetRedraw(true);
}

// The same rows as parsed values in arrays: what any count must at least do.
struct Floor {
    std::vector<QString> supplier, date;
    std::vector<double> qty, price, discount, tax;
    std::vector<bool> closed;
};

Floor MakeFloor(SpreadGrid& grid) {
    Floor f;
    const int rows = grid.MaxRows();
    for (int r = 1; r <= rows; ++r) {
        f.closed.push_back(!grid.Text(col::Close, r).isEmpty());
        f.supplier.push_back(grid.Text(col::SupplyName, r));
        f.date.push_back(grid.Text(col::FinishDate, r));
        f.qty.push_back(grid.Text(col::PushQty, r).toDouble());
        f.price.push_back(grid.Text(col::Price, r).toDouble());
        f.discount.push_back(grid.Text(col::DiscountRate, r).toDouble());
        f.tax.push_back(grid.Text(col::TaxRate, r).toDouble());
    }
    return f;
}

double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;

    SpreadGrid grid;
    QElapsedTimer t;
    t.start();
    Fill(grid, rows);
    std::printf("grid of %d rows filled in %.0f ms (set-up, not counted)\n", rows, Ms(t));
    const Floor floor = MakeFloor(grid);

    std::vector<double> counts, floors, draws, totals;
    for (int run = 0; run < 5; ++run) {
        t.restart();
        const chart::PlanChartFigures figures = chart::CountPlanGrid(grid, false, true);
        counts.push_back(Ms(t));
        chart::PlanChartTexts texts = chart::ChartTexts(figures);
        texts.Today = QDate(2026, 12, 8);

        QElapsedTimer d;
        d.start();
        QImage image(1600, 960, QImage::Format_RGB32);
        {
            QPainter p(&image);
            p.scale(1600 / chart::kChartWidth, 1600 / chart::kChartWidth);
            chart::PaintPlanChart(p, QRectF(0, 0, chart::kChartWidth, 960 * chart::kChartWidth / 1600),
                                  figures, texts);
        }
        draws.push_back(Ms(d));
        totals.push_back(Ms(t));
        if (run == 0)
            std::printf("figures: %d rows counted, %d closed, %lld bars, %lld weeks, %d undated\n",
                        figures.Rows, figures.ClosedRows, static_cast<long long>(figures.Suppliers.size()),
                        static_cast<long long>(figures.Weeks.size()), figures.UndatedRows);

        t.restart();
        chart::PlanChartTally tally;
        for (int i = 0; i < rows; ++i) {
            if (floor.closed[i]) {
                tally.AddClosed();
                continue;
            }
            tally.Add(floor.supplier[i], floor.qty[i], floor.price[i], floor.discount[i], floor.tax[i],
                      floor.date[i]);
        }
        const chart::PlanChartFigures same = tally.Figures();
        floors.push_back(Ms(t));
        if (same.Rows != figures.Rows)
            std::printf("the floor counted %d rows\n", same.Rows);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("count of the grid        %8.1f ms (median of 5)\n", median(counts));
    std::printf("  tally over arrays      %8.1f ms (values parsed beforehand)\n", median(floors));
    std::printf("draw into 1600x960 image %8.1f ms\n", median(draws));
    std::printf("count and draw           %8.1f ms   target 1000 ms\n", median(totals));
    return 0;
}
