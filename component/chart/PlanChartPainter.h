#pragma once

// Draws the plan chart's figures with QPainter: one drawing for the window, the printer and
// the image file, in logical units that each caller scales to its device.

#include "component/chart/PlanChartData.h"

#include <QDate>
#include <QRectF>
#include <QString>

class QPainter;

namespace zpp::chart {

// Every text the drawing shows, already in the user's language.
struct PlanChartTexts {
    QString Title;
    QString SupplierTitle; // amounts with tax, or quantities without the price right
    QString WeekTitle;
    QString Others;           // "%1": how many suppliers the bar holds
    QString NoSupplier;       // the bar of rows without a supplier
    QString Week;             // "%1": the ISO week number
    QString Undated;          // "%1" quantity, "%2" rows without a delivery date
    QString Overdue;          // the legend of weeks before this one
    QString Empty;            // nothing to draw
    QString Caption;          // where the figures come from
    bool ChineseUnits = true; // axis ticks in 万/亿 rather than K/M/B
    QDate Today;              // weeks before its week are drawn as overdue
};

// The logical size the drawing is laid out for; callers scale it to their device.
inline constexpr double kChartWidth = 1200, kChartHeight = 720;

void PaintPlanChart(QPainter& painter, const QRectF& area, const PlanChartFigures& figures,
                    const PlanChartTexts& texts);

// Tick values for an axis from 0 to at least max: 1, 2 or 5 times a power of ten apart, at most
// about `count` of them; the last tick is the axis' end.
QVector<double> AxisTicks(double max, int count = 5);
// A tick label: short forms for large values (12万, 1.5亿 or 120K, 1.5M).
QString CompactNumber(double value, bool chineseUnits);
// Figures as the chart labels them, in the locale's digits: quantities to at most four
// decimals, amounts to the cent.
// Every text of the chart for these figures, in the log-in language, dated today; failure (why the
// rows could not be counted) stands where an empty chart says it has nothing to draw.
PlanChartTexts ChartTexts(const PlanChartFigures& f, const QString& failure = {});
QString QuantityText(double value);
QString AmountText(double value);

} // namespace zpp::chart
