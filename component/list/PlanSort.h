#pragma once

// The list's sort: rows ordered by one column, ascending or descending, with the controller's row
// records kept in step with the grid. The chosen sort holds: a refresh, a fold or an unfold sorts
// the new rows again, and 取消排序 puts back the order the rows came in.
#include "platform/records/KeyedRecord.h"

#include <QPoint>
#include <QString>
#include <functional>
#include <vector>

namespace zpp::controls {
class SpreadGrid;
}

namespace zpp {

class ClsPurchasePlanUI;

class PlanSort {
public:
    PlanSort(controls::SpreadGrid& grid, ClsPurchasePlanUI& list) : m_grid(grid), m_list(list) {}

    // The commands' keys: ascending, descending, and back to the order the rows came in.
    static const QString Ascending, Descending, Unsorted;
    static bool IsCommand(const QString& key);
    // Runs a command on the column whose header menu chose it, else on the active cell's column.
    void Run(const QString& key);
    // The header's menu for a column; a choice goes to run as the command's key, so that the
    // window runs it as it runs every other command.
    void ShowHeaderMenu(int col, const QPoint& globalPos, const std::function<void(const QString&)>& run);
    // After any command: rows the controller got since (a refresh, a fold) are sorted as chosen.
    void Follow();
    // Back to the order the rows came in, the choice kept (a fold then groups them in that order).
    void Unsort();

    // The chosen column (0: none) and direction.
    int Column() const { return m_col; }
    bool IsAscending() const { return m_ascending; }

private:
    // Takes the controller's rows as the ones in their own order when they are new.
    void Adopt();
    // False when the records do not match the grid row for row, which is then left alone.
    bool Sort();
    // Moves the grid's rows by order and shows the records in the same order.
    void Move(const QVector<int>& order);
    void Publish(const RecordListPtr& rows);

    controls::SpreadGrid& m_grid;
    ClsPurchasePlanUI& m_list;
    int m_col = 0;
    bool m_ascending = true;
    int m_menuCol = 0; // the column of the header menu whose command runs
    bool m_sorted = false;
    RecordListPtr m_base;     // the rows in the order they came in
    RecordListPtr m_shown;    // what the controller holds: m_base, or m_base read in m_order
    std::vector<int> m_order; // by grid row, the position in m_base (1-based); empty: the same
};

} // namespace zpp
