#include "PlanChartData.h"

#include "platform/records/Amounts.h"
#include "platform/records/Values.h"

#include <algorithm>

namespace zpp::chart {

QDate WeekMonday(const QDate& date) {
    return date.isValid() ? date.addDays(1 - date.dayOfWeek()) : QDate();
}

int PlanChartTally::SupplierIndex(QStringView supplier) {
    if (m_lastSupplierIndex >= 0 && supplier == QStringView(m_suppliers[m_lastSupplierIndex].Name))
        return m_lastSupplierIndex;
    if (auto it = m_supplierIndex.find(supplier); it != m_supplierIndex.end())
        return m_lastSupplierIndex = it->second;
    m_suppliers.append(SupplierBar{supplier.toString()});
    m_lastSupplierIndex = int(m_suppliers.size() - 1);
    m_supplierIndex.emplace(QStringView(m_suppliers.back().Name), m_lastSupplierIndex);
    return m_lastSupplierIndex;
}

int PlanChartTally::WeekIndex(QStringView date) {
    if (m_lastWeekIndex != -2 && date == m_lastDate)
        return m_lastWeekIndex;
    auto it = m_dateIndex.find(date);
    if (it == m_dateIndex.end()) {
        m_dateTexts.append(date.toString());
        auto parsed = values::ParseDisplayDate(date);
        if (!parsed && !date.trimmed().isEmpty())
            parsed = values::ParseDate(m_dateTexts.back());
        int week = -1;
        if (parsed) {
            const qint64 day = WeekMonday(*parsed).toJulianDay();
            const auto [at, added] = m_weekIndex.emplace(day, int(m_weeks.size()));
            if (added)
                m_weeks.append(WeekBar{QDate::fromJulianDay(day)});
            week = at->second;
        }
        it = m_dateIndex.emplace(QStringView(m_dateTexts.back()), week).first;
    }
    m_lastDate = it->first;
    return m_lastWeekIndex = it->second;
}

void PlanChartTally::Add(QStringView supplier, double pushQty, double price, double discountRate,
                         double taxRate, QStringView deliveryDate) {
    ++m_rows;
    SupplierBar& bar = m_suppliers[SupplierIndex(supplier)];
    bar.Qty += pushQty;
    ++bar.Rows;
    if (m_withAmounts)
        bar.Amount += values::AmountOf(pushQty, price, discountRate, taxRate).WithTax;

    const int week = WeekIndex(deliveryDate);
    if (week < 0) {
        m_undatedQty += pushQty;
        ++m_undated;
    } else {
        m_weeks[week].Qty += pushQty;
        ++m_weeks[week].Rows;
    }
}

PlanChartFigures PlanChartTally::Figures(int topSuppliers) const {
    PlanChartFigures f;
    f.WithAmounts = m_withAmounts;
    f.Rows = m_rows;
    f.ClosedRows = m_closed;
    f.UndatedQty = m_undatedQty;
    f.UndatedRows = m_undated;

    QVector<SupplierBar> ranked = m_suppliers;
    const bool byAmount = m_withAmounts;
    std::sort(ranked.begin(), ranked.end(), [byAmount](const SupplierBar& a, const SupplierBar& b) {
        const double x = byAmount ? a.Amount : a.Qty, y = byAmount ? b.Amount : b.Qty;
        if (x != y)
            return x > y;
        return a.Name < b.Name; // the same picture for the same rows, whatever their order
    });
    for (const SupplierBar& s : ranked) {
        f.TotalAmount += s.Amount;
        f.TotalQty += s.Qty;
    }
    const int kept = std::max(1, topSuppliers);
    if (ranked.size() > kept) {
        SupplierBar others;
        others.Others = true;
        others.Suppliers = 0;
        for (qsizetype i = kept; i < ranked.size(); ++i) {
            others.Amount += ranked[i].Amount;
            others.Qty += ranked[i].Qty;
            others.Rows += ranked[i].Rows;
            ++others.Suppliers;
        }
        ranked.resize(kept);
        ranked.append(others);
    }
    f.Suppliers = std::move(ranked);

    f.Weeks = m_weeks;
    std::sort(f.Weeks.begin(), f.Weeks.end(),
              [](const WeekBar& a, const WeekBar& b) { return a.Monday < b.Monday; });
    return f;
}

} // namespace zpp::chart
