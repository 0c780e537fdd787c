#include "component/chart/PlanChartPainter.h"
#include "component/chart/PlanChartRows.h"
#include "component/grid/PlanGrid.h"
#include "platform/controls/SpreadGrid.h"
#include "support/Printers.h"

#include <QImage>
#include <QPainter>
#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>

using namespace zpp;
using namespace zpp::chart;

namespace {

struct Row {
    QString Supplier;
    double Qty, Price, Discount, Tax;
    QString Date;
};

PlanChartFigures Count(const QVector<Row>& rows, int top = 15, bool withAmounts = true) {
    PlanChartTally tally(withAmounts);
    for (const Row& r : rows)
        tally.Add(r.Supplier, r.Qty, r.Price, r.Discount, r.Tax, r.Date);
    return tally.Figures(top);
}

QString Bars(const PlanChartFigures& f) {
    QStringList bars;
    for (const SupplierBar& s : f.Suppliers)
        bars << QStringLiteral("%1:%2/%3/%4%5")
                    .arg(s.Others ? QStringLiteral("others") : s.Name)
                    .arg(s.Amount, 0, 'f', 2)
                    .arg(s.Qty)
                    .arg(s.Rows)
                    .arg(s.Others ? QStringLiteral("x%1").arg(s.Suppliers) : QString());
    return bars.join(u' ');
}

QString Weeks(const PlanChartFigures& f) {
    QStringList weeks;
    for (const WeekBar& w : f.Weeks)
        weeks << QStringLiteral("%1:%2/%3").arg(w.Monday.toString(Qt::ISODate)).arg(w.Qty).arg(w.Rows);
    return weeks.join(u' ');
}

} // namespace

// A supplier's bar is the sum of its rows' amounts with tax, each to the cent after the
// discount, as the order lines would carry them; the largest comes first.
TEST(PlanChartTally, AmountsPerSupplierTakeOffTheDiscountAndKeepTheTax) {
    const PlanChartFigures f = Count({
        {"甲", 10, 11.3, 10, 13, "2026-12-07"}, // 113 less 10 % = 101.70
        {"乙", 3, 2.005, 0, 13, "2026-12-07"},  // 6.015 to the cent: 6.02
        {"甲", 1, 0.555, 0, 0, "2026-12-08"},   // 0.555: 0.56
        {"乙", 200, 1, 50, 13, ""},             // 100.00
        {"", 2, 5, 0, 13, "2026-12-09"},        // no supplier: a bar of its own
    });
    EXPECT_EQ(Bars(f), "乙:106.02/203/2 甲:102.26/11/2 :10.00/2/1");
    EXPECT_NEAR(f.TotalAmount, 218.28, 1e-9);
    EXPECT_EQ(f.TotalQty, 216);
    EXPECT_EQ(f.Rows, 5);

    // Without the price right nothing is priced and the bars rank by quantity.
    const PlanChartFigures q = Count({{"甲", 10, 11.3, 10, 13, ""}, {"乙", 30, 0, 0, 0, ""}}, 15, false);
    EXPECT_FALSE(q.WithAmounts);
    EXPECT_EQ(Bars(q), "乙:0.00/30/1 甲:0.00/10/1");
    EXPECT_EQ(q.TotalAmount, 0);
}

// Past the limit the smaller suppliers share one bar; ties rank by name, so the same rows in
// any order give the same picture.
TEST(PlanChartTally, SuppliersPastTheLimitShareTheBarOfTheOthers) {
    QVector<Row> rows;
    for (int i = 1; i <= 6; ++i)
        rows.append({QStringLiteral("S%1").arg(i), double(i), 10, 0, 0, "2026-12-07"});
    rows.append({"S0", 3, 10, 0, 0, "2026-12-07"}); // ties S3, and keeps the last place by name
    const PlanChartFigures f = Count(rows, 4);
    EXPECT_EQ(Bars(f), "S6:60.00/6/1 S5:50.00/5/1 S4:40.00/4/1 S0:30.00/3/1 others:60.00/6/3x3");
    EXPECT_NEAR(f.TotalAmount, 240, 1e-9);

    std::reverse(rows.begin(), rows.end());
    EXPECT_EQ(Bars(Count(rows, 4)), Bars(f));
    EXPECT_EQ(Bars(Count(rows, 7)).count(u':'), 7); // no bar of the others when all fit
}

// Weeks run Monday to Sunday and belong to no calendar year: the last days of December and the
// first of January can share one. Dates that are empty or no date are counted apart.
TEST(PlanChartTally, WeeksCrossTheYearAndRowsWithoutADateAreCountedApart) {
    const PlanChartFigures f = Count({
        {"甲", 1, 0, 0, 0, "2027-01-04"}, // Monday of the next week
        {"甲", 2, 0, 0, 0, "2026-12-31"}, // Thursday
        {"乙", 4, 0, 0, 0, "2027-01-03"}, // Sunday of the same week
        {"乙", 8, 0, 0, 0, "2026-12-28"}, // its Monday
        {"乙", 16, 0, 0, 0, "2027/1/10"}, // another written form, Sunday
        {"甲", 32, 0, 0, 0, ""},
        {"甲", 64, 0, 0, 0, "不是日期"},
        {"甲", 128, 0, 0, 0, "2026-12-31"}, // a date seen before, after others
    });
    EXPECT_EQ(Weeks(f), "2026-12-28:142/4 2027-01-04:17/2");
    EXPECT_EQ(f.UndatedQty, 96);
    EXPECT_EQ(f.UndatedRows, 2);
    EXPECT_EQ(WeekMonday(QDate(2024, 3, 3)), QDate(2024, 2, 26)); // across a leap day
}

// The grid is read as it shows now: an edit not yet saved counts, closed rows do not.
TEST(PlanChartGrid, CountsTheGridAsShownWithUnsavedEditsAndWithoutClosedRows) {
    controls::SpreadGrid grid;
    grid.SetMaxCols(col::Count);
    for (int c : {col::PushQty, col::Price, col::DiscountRate, col::TaxRate})
        grid.SetColCellType(c, controls::CellType::Number);
    grid.SetColCellType(col::FinishDate, controls::CellType::Date);
    grid.SetMaxRows(3);
    const QStringList rows[] = {{"甲", "", "10", "2", "0", "13", "2026-12-07"},
                                {"乙", "Y", "99", "1", "0", "13", "2026-12-07"},
                                {"甲", "", "5", "4", "50", "13", "2026-12-14"}};
    const int cols[] = {col::SupplyName,   col::Close,   col::PushQty,   col::Price,
                        col::DiscountRate, col::TaxRate, col::FinishDate};
    for (int r = 0; r < 3; ++r)
        for (int i = 0; i < 7; ++i)
            grid.SetText(cols[i], r + 1, rows[r][i]);
    grid.MarkRowsUnchanged();

    PlanChartFigures f = CountPlanGrid(grid, false, true);
    EXPECT_EQ(Bars(f), "甲:30.00/15/2");
    EXPECT_EQ(f.ClosedRows, 1);
    EXPECT_EQ(f.ListedRows, 3);

    grid.SetText(col::PushQty, 1, "20");
    grid.SetText(col::FinishDate, 3, "");
    f = CountPlanGrid(grid, false, true);
    EXPECT_EQ(Bars(f), "甲:50.00/25/2");
    EXPECT_EQ(Weeks(f), "2026-12-07:20/1");
    EXPECT_EQ(f.UndatedRows, 1);
}

// Axes end on a round tick at or above the largest bar; large ticks are written short in the
// reader's units.
TEST(PlanChartAxes, TicksAreRoundAndLargeValuesShort) {
    EXPECT_EQ(AxisTicks(0), QVector<double>{0});
    EXPECT_EQ(AxisTicks(7), (QVector<double>{0, 2, 4, 6, 8}));
    EXPECT_EQ(AxisTicks(1000), (QVector<double>{0, 200, 400, 600, 800, 1000}));
    EXPECT_EQ(AxisTicks(0.3).back(), 0.3);
    const QVector<double> big = AxisTicks(123456789);
    EXPECT_GE(big.back(), 123456789);
    EXPECT_LE(big.size(), 7);

    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(CompactNumber(150000, true), "15万");
    EXPECT_EQ(CompactNumber(150000, false), "150K");
    EXPECT_EQ(CompactNumber(250000000, true), "2.5亿");
    EXPECT_EQ(CompactNumber(2500000000, false), "2.5B");
    EXPECT_EQ(CompactNumber(800, true), "800");
}

// The drawing fills its area and shows every bar: bars in their colours, nothing left blank.
TEST(PlanChartPainter, DrawsBarsForSuppliersAndWeeks) {
    const PlanChartFigures f =
        Count({{"甲", 10, 10, 0, 13, "2026-12-07"}, {"乙", 5, 10, 0, 13, "2026-11-30"}});
    PlanChartTexts t;
    t.Title = "采购计划图表";
    t.Week = "第%1周";
    t.Undated = "%1 %2";
    t.Others = "%1";
    t.Today = QDate(2026, 12, 8);
    QImage image(1200, 720, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter p(&image);
        PaintPlanChart(p, QRectF(0, 0, 1200, 720), f, t);
    }
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    EXPECT_FALSE(colours.contains(qRgb(0, 0, 0))) << "part of the area left unpainted";
    EXPECT_TRUE(colours.contains(qRgb(74, 126, 187))) << "no supplier bar";
    EXPECT_TRUE(colours.contains(qRgb(60, 157, 143))) << "no bar of this week";
    EXPECT_TRUE(colours.contains(qRgb(222, 132, 58))) << "no bar of an earlier week";
}
