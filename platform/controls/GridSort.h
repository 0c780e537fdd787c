#pragma once

// Sorting the grid's rows: the order a column sorts them in, moving the rows with all that is
// theirs, and the column headers' context menu and sort indicator.
#include <QLocale>
#include <QVector>
#include <span>
#include <vector>

class QItemSelectionModel;
class QTableView;

namespace zpp::controls {
class SpreadGrid;
}

namespace zpp::controls::detail {

class GridModel;

// The 1-based order (as SpreadGrid::MoveRows takes it) that sorts the rows by column c (0-based).
// Each distinct text is ranked once, and the rows then placed by rank in one stable pass.
QVector<int> SortedRows(const GridModel& model, int c, bool ascending, const QLocale& locale);

// One move of a model's rows, checked before anything changes.
class RowMove {
public:
    // order: 1-based, every row once; anything else fails with an Error.
    RowMove(GridModel& model, std::span<const int> order);
    // Moves the rows; the selection goes with them (the current cell follows as a persistent index).
    void Apply(QItemSelectionModel& selection);
    // Where 0-based row r is after the move.
    int NewRow(int r) const { return m_inverse[std::size_t(r)]; }

private:
    GridModel& m_model;
    std::vector<int> m_from;    // by new row, the old one
    std::vector<int> m_inverse; // by old row, the new one
};

// A view's column header: its context menu reaches the grid as HeaderMenuRequested, and it shows
// the model's sort indicator, which a click on the header (selecting the column) leaves alone.
void SetUpHeader(SpreadGrid& grid, QTableView& view);

} // namespace zpp::controls::detail
