#pragma once

// Count, sum and average of the numbers a grid selection holds, as a spreadsheet's status bar
// shows them, read a slice at a time so that a selection of millions of cells never stalls.

#include <QVector>
#include <vector>

namespace zpp::controls {

class SpreadGrid;

// A rectangle of cells, 1-based and inclusive.
struct CellBlock {
    int FirstCol = 0, LastCol = 0, FirstRow = 0, LastRow = 0;
};

// The grid's selected cells as rectangles, as the selection holds them (they may overlap).
QVector<CellBlock> SelectedCellBlocks(const SpreadGrid& grid);

struct NumberSums {
    qint64 Count = 0; // number cells that hold a number
    double Sum = 0;
    int Decimals = 0; // the most decimals a counted cell shows
    double Average() const { return Count > 0 ? Sum / double(Count) : 0; }
};

// The numbers of the selection's cells as the cells show them. Hidden columns and columns that
// are not number columns are passed by, and a cell counts once however the blocks overlap.
class SelectionSums {
public:
    SelectionSums() = default;
    SelectionSums(const SpreadGrid& grid, const QVector<CellBlock>& blocks);

    // Selected cells in shown columns, whatever they hold (known at once).
    qint64 ShownCells() const { return m_shownCells; }
    // Reads up to budget more cells; true once every cell has been read.
    bool Step(qint64 budget);
    bool Done() const { return m_run >= m_runs.size(); }
    NumberSums Sums() const;

private:
    struct Run {
        int Col, First, Last;
    };
    const SpreadGrid* m_grid = nullptr;
    std::vector<Run> m_runs; // per column, its selected rows merged into runs
    std::size_t m_run = 0;
    int m_next = 0; // the next row of the current run
    qint64 m_shownCells = 0;
    qint64 m_count = 0;
    long double m_sum = 0;
    int m_decimals = 0;
};

} // namespace zpp::controls
