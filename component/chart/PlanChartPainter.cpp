#include "PlanChartPainter.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zpp::chart {

namespace {

const QColor kInk(40, 44, 52);
const QColor kFaint(120, 126, 136);
const QColor kGridLine(224, 228, 234);
const QColor kSupplierBar(74, 126, 187);
const QColor kOthersBar(154, 165, 177);
const QColor kWeekBar(60, 157, 143);
const QColor kOverdueBar(222, 132, 58);

QFont Font(const QPainter& p, double pixels, bool bold = false) {
    QFont f = p.font();
    f.setPixelSize(std::max(1, int(std::lround(pixels))));
    f.setBold(bold);
    return f;
}

// Draws text in a box, elided to its width.
void Text(QPainter& p, const QRectF& box, int flags, const QString& text) {
    const QFontMetricsF fm(p.font());
    p.drawText(box, flags, fm.elidedText(text, Qt::ElideRight, box.width()));
}

void PaintSuppliers(QPainter& p, const QRectF& area, const PlanChartFigures& f, const PlanChartTexts& t) {
    p.setFont(Font(p, 15, true));
    p.setPen(kInk);
    Text(p, QRectF(area.left(), area.top(), area.width(), 24), Qt::AlignLeft | Qt::AlignVCenter,
         t.SupplierTitle);
    const QRectF body(area.left(), area.top() + 34, area.width(), area.height() - 34);
    if (f.Suppliers.isEmpty())
        return;

    auto value = [&](const SupplierBar& s) { return f.WithAmounts ? s.Amount : s.Qty; };
    auto label = [&](const SupplierBar& s) {
        return f.WithAmounts ? AmountText(s.Amount) : QuantityText(s.Qty);
    };
    auto name = [&](const SupplierBar& s) {
        if (s.Others)
            return t.Others.arg(s.Suppliers);
        return s.Name.trimmed().isEmpty() ? t.NoSupplier : s.Name;
    };
    p.setFont(Font(p, 12));
    const QFontMetricsF fm(p.font());
    double nameWidth = 0, labelWidth = 0, max = 0;
    for (const SupplierBar& s : f.Suppliers) {
        nameWidth = std::max(nameWidth, fm.horizontalAdvance(name(s)));
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(label(s)));
        max = std::max(max, value(s));
    }
    nameWidth = std::min(nameWidth + 8, body.width() * 0.36);
    labelWidth += 10;
    const double axisHeight = 22;
    const QRectF plot(body.left() + nameWidth, body.top(), body.width() - nameWidth - labelWidth,
                      body.height() - axisHeight);
    const QVector<double> ticks = AxisTicks(max);
    const double end = ticks.isEmpty() ? 1 : std::max(ticks.back(), 1e-9);

    // Grid lines and tick labels along the bottom.
    for (double tick : ticks) {
        const double x = plot.left() + plot.width() * tick / end;
        p.setPen(kGridLine);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(kFaint);
        p.drawText(QRectF(x - 40, plot.bottom() + 2, 80, axisHeight - 2), Qt::AlignHCenter | Qt::AlignTop,
                   CompactNumber(tick, t.ChineseUnits));
    }
    const double rowHeight = std::min(34.0, plot.height() / double(f.Suppliers.size()));
    for (int i = 0; i < f.Suppliers.size(); ++i) {
        const SupplierBar& s = f.Suppliers[i];
        const double top = plot.top() + i * rowHeight;
        const double width = plot.width() * std::max(0.0, value(s)) / end;
        const QRectF bar(plot.left(), top + rowHeight * 0.18, std::max(width, value(s) > 0 ? 1.0 : 0.0),
                         rowHeight * 0.64);
        p.fillRect(bar, s.Others ? kOthersBar : kSupplierBar);
        p.setPen(kInk);
        Text(p, QRectF(body.left(), top, nameWidth - 8, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
             name(s));
        p.drawText(QRectF(bar.right() + 5, top, labelWidth + plot.right() - bar.right(), rowHeight),
                   Qt::AlignLeft | Qt::AlignVCenter, label(s));
    }
    p.setPen(kFaint);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(QPointF(plot.left(), plot.top()), QPointF(plot.left(), plot.bottom()));
}

// Labels every `step` weeks, the step chosen so that labels do not run into each other.
int WeekLabelStep(double weekWidth, double labelWidth) {
    for (int step : {1, 2, 4, 8, 13, 26, 52, 104, 260, 520, 1040})
        if (weekWidth * step >= labelWidth)
            return step;
    return 5200;
}

void PaintWeeks(QPainter& p, const QRectF& area, const PlanChartFigures& f, const PlanChartTexts& t) {
    p.setFont(Font(p, 15, true));
    p.setPen(kInk);
    Text(p, QRectF(area.left(), area.top(), area.width(), 24), Qt::AlignLeft | Qt::AlignVCenter, t.WeekTitle);
    const double noteHeight = f.UndatedRows > 0 ? 24 : 0;
    const QRectF body(area.left(), area.top() + 34, area.width(), area.height() - 34 - noteHeight);
    p.setFont(Font(p, 12));
    if (f.UndatedRows > 0) {
        p.setPen(kInk);
        Text(p, QRectF(area.left(), area.bottom() - noteHeight, area.width(), noteHeight),
             Qt::AlignLeft | Qt::AlignVCenter, t.Undated.arg(QuantityText(f.UndatedQty)).arg(f.UndatedRows));
    }
    if (f.Weeks.isEmpty())
        return;

    double max = 0;
    for (const WeekBar& w : f.Weeks)
        max = std::max(max, w.Qty);
    const QVector<double> ticks = AxisTicks(max);
    const double end = ticks.isEmpty() ? 1 : std::max(ticks.back(), 1e-9);
    const QFontMetricsF fm(p.font());
    double axisWidth = 0;
    for (double tick : ticks)
        axisWidth = std::max(axisWidth, fm.horizontalAdvance(CompactNumber(tick, t.ChineseUnits)));
    axisWidth += 10;
    const double labelHeight = 2 * fm.height() + 6;
    const QRectF plot(body.left() + axisWidth, body.top() + 8, body.width() - axisWidth - 4,
                      body.height() - labelHeight - 8);

    for (double tick : ticks) {
        const double y = plot.bottom() - plot.height() * tick / end;
        p.setPen(kGridLine);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(kFaint);
        p.drawText(QRectF(body.left(), y - 10, axisWidth - 6, 20), Qt::AlignRight | Qt::AlignVCenter,
                   CompactNumber(tick, t.ChineseUnits));
    }

    // Weeks stand on a time axis from the first to the last, so gaps show as gaps.
    const qint64 first = f.Weeks.front().Monday.toJulianDay();
    const qint64 span = (f.Weeks.back().Monday.toJulianDay() - first) / 7 + 1;
    const double weekWidth = plot.width() / double(span);
    const QDate thisWeek = WeekMonday(t.Today);
    bool anyOverdue = false;
    for (const WeekBar& w : f.Weeks) {
        const double index = double((w.Monday.toJulianDay() - first) / 7);
        const double height = plot.height() * std::max(0.0, w.Qty) / end;
        const double gap = weekWidth >= 4 ? weekWidth * 0.18 : 0;
        const QRectF bar(plot.left() + index * weekWidth + gap, plot.bottom() - height,
                         std::max(1.0, weekWidth - 2 * gap), height);
        const bool overdue = thisWeek.isValid() && w.Monday < thisWeek;
        anyOverdue = anyOverdue || overdue;
        p.fillRect(bar, overdue ? kOverdueBar : kWeekBar);
    }

    // Week numbers under the axis; the year under the first label and wherever it changes.
    const double labelWidth = fm.horizontalAdvance(t.Week.arg(53)) + 10;
    const int step = WeekLabelStep(weekWidth, labelWidth);
    int lastYear = 0;
    for (qint64 i = 0; i < span; i += step) {
        const QDate monday = QDate::fromJulianDay(first + 7 * i);
        int year = 0;
        const int week = monday.weekNumber(&year);
        const double x = plot.left() + (double(i) + 0.5) * weekWidth;
        p.setPen(kFaint);
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 4));
        p.setPen(kInk);
        p.drawText(QRectF(x - labelWidth / 2, plot.bottom() + 4, labelWidth, fm.height()), Qt::AlignHCenter,
                   t.Week.arg(week));
        if (year != lastYear) {
            p.setPen(kFaint);
            p.drawText(QRectF(x - labelWidth / 2, plot.bottom() + 4 + fm.height(), labelWidth, fm.height()),
                       Qt::AlignHCenter, QString::number(year));
            lastYear = year;
        }
    }
    p.setPen(kFaint);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(QPointF(plot.left(), plot.top()), QPointF(plot.left(), plot.bottom()));

    if (anyOverdue) {
        const double w = fm.horizontalAdvance(t.Overdue);
        const QRectF swatch(area.right() - w - 22, area.top() + 6, 12, 12);
        p.fillRect(swatch, kOverdueBar);
        p.setPen(kInk);
        p.drawText(QRectF(swatch.right() + 6, area.top(), w + 4, 24), Qt::AlignLeft | Qt::AlignVCenter,
                   t.Overdue);
    }
}

} // namespace

QVector<double> AxisTicks(double max, int count) {
    QVector<double> ticks{0};
    if (!(max > 0) || !std::isfinite(max))
        return ticks;
    const double rough = max / std::max(1, count);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= rough) {
            step = m * power;
            break;
        }
    // Below 1 a tick is a whole number divided by a power of ten, so 0.3 is 0.3 and not 0.1 × 3.
    const double tenths = power < 1 ? std::round(1 / power) : 1;
    const double whole = std::round(step * tenths);
    for (int i = 1; ticks.back() < max * (1 - 1e-12); ++i)
        ticks.append(whole * i / tenths);
    return ticks;
}

// Without trailing zeros after the decimal point.
static QString Trimmed(QString s) {
    const QString point = QLocale().decimalPoint();
    if (s.contains(point)) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(point))
            s.chop(point.size());
    }
    return s;
}

QString QuantityText(double value) {
    return Trimmed(QLocale().toString(value, 'f', 4));
}

QString AmountText(double value) {
    return QLocale().toString(value, 'f', 2);
}

QString CompactNumber(double value, bool chineseUnits) {
    const double a = std::fabs(value);
    struct Unit {
        double size;
        const char16_t* zh;
        const char16_t* en;
    };
    static constexpr Unit units[] = {
        {1e8, u"亿", u""}, {1e9, u"", u"B"}, {1e6, u"", u"M"}, {1e4, u"万", u""}, {1e3, u"", u"K"}};
    for (const Unit& u : units) {
        const char16_t* suffix = chineseUnits ? u.zh : u.en;
        if (*suffix == 0 || a < u.size)
            continue;
        return Trimmed(QLocale().toString(value / u.size, 'f', 2)) + QString::fromUtf16(suffix);
    }
    return QuantityText(value);
}

void PaintPlanChart(QPainter& p, const QRectF& area, const PlanChartFigures& f, const PlanChartTexts& t) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.fillRect(area, Qt::white);
    const QRectF inner = area.adjusted(18, 14, -18, -12);

    p.setFont(Font(p, 20, true));
    p.setPen(kInk);
    Text(p, QRectF(inner.left(), inner.top(), inner.width(), 32), Qt::AlignLeft | Qt::AlignVCenter, t.Title);

    p.setFont(Font(p, 12));
    const double captionHeight = QFontMetricsF(p.font()).height() * 2 + 8;
    p.setPen(kFaint);
    p.drawText(QRectF(inner.left(), inner.bottom() - captionHeight, inner.width(), captionHeight),
               Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap, t.Caption);

    const QRectF body(inner.left(), inner.top() + 46, inner.width(),
                      inner.height() - 46 - captionHeight - 10);
    if (f.Suppliers.isEmpty() && f.Weeks.isEmpty() && f.UndatedRows == 0) {
        p.setFont(Font(p, 16));
        p.setPen(kFaint);
        p.drawText(body, Qt::AlignCenter, t.Empty);
    } else {
        const double split = body.width() * 0.46;
        PaintSuppliers(p, QRectF(body.left(), body.top(), split - 24, body.height()), f, t);
        p.setPen(kGridLine);
        p.drawLine(QPointF(body.left() + split - 12, body.top()),
                   QPointF(body.left() + split - 12, body.bottom()));
        PaintWeeks(p, QRectF(body.left() + split, body.top(), body.width() - split, body.height()), f, t);
    }
    p.restore();
}

} // namespace zpp::chart
