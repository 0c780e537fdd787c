#pragma once

// The list window's status line beyond its row count: count, sum and average of the numbers
// selected, the ticked rows with their amount, and who is logged in to which store.

#include "platform/controls/GridSums.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QLabel;
class QStatusBar;

namespace zpp {

namespace controls {
class SpreadGrid;
}

class ListStatus : public QObject {
public:
    // Adds its labels to the bar, which owns it.
    ListStatus(controls::SpreadGrid& grid, QStatusBar& bar);

    // A store as the status line names it: an SQLite file's name, a server's host and database.
    static QString StoreName(const QString& store);
    // An average as the status line shows it: two decimals more than the cells, none of them
    // trailing zeros.
    static QString AverageText(double average, int decimals);

private:
    void SelectionChanged();
    void CellsChanged(int firstCol, int lastCol);
    void Schedule();
    // Counts for a few milliseconds, then lets the window go on; true when nothing is left.
    bool Work(qint64 budgetMs);
    void ShowSums();
    void ShowTicks();

    controls::SpreadGrid& m_grid;
    QLabel* m_selection = nullptr;
    QLabel* m_ticked = nullptr;
    QLabel* m_logIn = nullptr;
    QTimer m_timer;
    bool m_pricesShown = false;

    controls::SelectionSums m_sums;
    bool m_sumsPending = false;
    bool m_sumsShown = false; // a selection of more than one cell is being counted or shown

    bool m_ticksPending = false;
    bool m_ticksCounting = false;
    int m_tickRow = 0; // the next row to look at
    qint64 m_ticks = 0;
    long double m_tickAmount = 0;
};

} // namespace zpp
