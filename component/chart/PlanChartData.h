#pragma once

// The figures of the plan chart, counted from plan rows: the amount each supplier would be
// ordered for and the quantity due in each delivery week. No widget and no grid here.

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>
#include <unordered_map>

namespace zpp::chart {

struct SupplierBar {
    QString Name; // as the rows show it; empty for rows without a supplier
    double Amount = 0;
    double Qty = 0;
    int Rows = 0;
    int Suppliers = 1; // more than one only for the bar of the others
    bool Others = false;
};

struct WeekBar {
    QDate Monday; // the week runs Monday to Sunday
    double Qty = 0;
    int Rows = 0;
};

struct PlanChartFigures {
    bool WithAmounts = true; // false: the user may not see prices, bars rank by quantity
    // The largest first; past the limit the rest are folded into one last bar (Others).
    QVector<SupplierBar> Suppliers;
    QVector<WeekBar> Weeks; // weeks that have rows, in date order
    double UndatedQty = 0;  // rows whose delivery date is empty or no date
    int UndatedRows = 0;
    double TotalAmount = 0, TotalQty = 0;
    int Rows = 0;       // rows (plan entries) counted
    int ClosedRows = 0; // rows left out because they are closed and order nothing
    // Set by the reader of the list: the rows the list shows, and whether they are merged rows
    // (then counted entry by entry, each at the values it would be ordered at).
    int ListedRows = 0;
    bool Merged = false;
};

// The Monday of a date's week (ISO weeks: a week belongs to the year of its Thursday).
QDate WeekMonday(const QDate& date);

// Adds rows one at a time. Amounts are the line amounts with tax an order line would carry
// (values::AmountOf). Built for a million rows: rows of one supplier or one date in a row
// cost no lookup.
class PlanChartTally {
public:
    explicit PlanChartTally(bool withAmounts = true) : m_withAmounts(withAmounts) {}

    void Add(QStringView supplier, double pushQty, double price, double discountRate, double taxRate,
             QStringView deliveryDate);
    void AddClosed() { ++m_closed; }
    // The bars: the topSuppliers largest suppliers and, when there are more, one bar of the others.
    PlanChartFigures Figures(int topSuppliers = 15) const;

private:
    struct ViewHash {
        size_t operator()(QStringView v) const noexcept { return qHash(v); }
    };
    // Index of the supplier bar, or of the week (-1: no date), of a text seen before.
    int SupplierIndex(QStringView supplier);
    int WeekIndex(QStringView date);

    bool m_withAmounts;
    QVector<SupplierBar> m_suppliers;
    // Keys are views of the bars' names and of m_dateTexts: a string's characters stay where
    // they are when the string itself moves, so a lookup makes no copy.
    std::unordered_map<QStringView, int, ViewHash> m_supplierIndex;
    int m_lastSupplierIndex = -1;
    QStringList m_dateTexts;
    std::unordered_map<QStringView, int, ViewHash> m_dateIndex; // date text to week
    std::unordered_map<qint64, int> m_weekIndex;                // the Monday's Julian day to week
    QVector<WeekBar> m_weeks;
    QStringView m_lastDate;
    int m_lastWeekIndex = -2; // -1: the last date was no date; -2: none yet
    double m_undatedQty = 0;
    int m_undated = 0;
    int m_rows = 0;
    int m_closed = 0;
};

} // namespace zpp::chart
