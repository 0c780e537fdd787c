#pragma once

// Undo and redo of what users change in a grid's cells, one step at a time.

#include <QHash>
#include <QString>
#include <QVector>
#include <deque>
#include <optional>

namespace zpp::controls {

class SpreadGrid;

// Records each cell's text before and after the writes that users cause, and the rows' marks of
// unsaved edits, in steps: the caller groups writes into one step (a fill, a paste); a user's
// edit outside such a step opens one that the writes following from it join (its cell's checks
// as it is left) until Seal. A fill's writes are not recorded, and replacing the rows or
// clearing their marks (a load, a save) ends the history. Watches the grid from construction
// to destruction, and must not outlive it.
class GridHistory {
public:
    struct Cell {
        int Col = 0;
        int Row = 0;
        QString Before;
        QString After;
    };
    struct Mark {
        int Row = 0;
        bool Before = false;
        bool After = false;
    };
    struct Step {
        QVector<Cell> Cells;
        QVector<Mark> Marks;
    };
    enum class Outcome {
        Done,
        Nothing, // no step to take
        Stale,   // a cell no longer holds what the step left; the steps that way are dropped
    };

    explicit GridHistory(SpreadGrid& grid);
    ~GridHistory();
    GridHistory(const GridHistory&) = delete;
    GridHistory& operator=(const GridHistory&) = delete;

    // Writes between these (they nest) form one step; the outermost Begin closes an open edit's.
    void BeginStep();
    void EndStep();
    // Closes the step an edit opened.
    void Seal();
    // Forgets every step.
    void Clear();
    // The rows moved: row i is now what row order[i - 1] was (rows count from 1). An order
    // that is not one of every row ends the history.
    void RowsMoved(const QVector<int>& order);

    // The step an undo (redo) would take back (bring back); null when there is none.
    const Step* NextUndo() const;
    const Step* NextRedo() const;
    Outcome Undo();
    Outcome Redo();
    // Forgets the steps an undo (a redo) could take.
    void DropUndo();
    void DropRedo();
    int UndoCount() const { return int(m_undo.size()); }
    int RedoCount() const { return int(m_redo.size()); }

    // Steps kept; the oldest go first.
    static constexpr int kMostSteps = 500;

private:
    void Written(int col, int row, const QString& before, bool byUser);
    void Open();
    void Close();
    Outcome Apply(std::deque<Step>& from, std::deque<Step>& to, bool back);
    static quint64 CellKey(int col, int row) { return (quint64(quint32(col)) << 32) | quint32(row); }

    SpreadGrid& m_grid;
    std::deque<Step> m_undo;
    std::deque<Step> m_redo;
    // The step being recorded: cells with their first text, rows with their first mark.
    bool m_open = false;
    int m_depth = 0;
    quint64 m_origin = 0; // the cell whose write opened an edit's step
    Step m_step;
    QHash<quint64, int> m_cellAt;
    QHash<int, int> m_markAt;
    bool m_applying = false;
};

} // namespace zpp::controls
