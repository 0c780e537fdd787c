#include "GridHistory.h"

#include "SpreadGrid.h"

#include <algorithm>

namespace zpp::controls {

namespace {
// Above this many cells an undo writes with redraw off and repaints once.
constexpr int kQuietAbove = 64;
} // namespace

GridHistory::GridHistory(SpreadGrid& grid) : m_grid(grid) {
    m_grid.SetWriteWatch(
        {[this](int col, int row, const QString& before, bool byUser) { Written(col, row, before, byUser); },
         [this] { Clear(); }});
}

GridHistory::~GridHistory() {
    m_grid.SetWriteWatch({});
}

void GridHistory::Open() {
    m_open = true;
    m_step = {};
    m_cellAt.clear();
    m_markAt.clear();
}

void GridHistory::Written(int col, int row, const QString& before, bool byUser) {
    if (m_applying)
        return;
    const quint64 key = CellKey(col, row);
    // An edit of another cell is a step of its own; one of the same cell (typed again before
    // it was left) belongs with it.
    if (m_open && m_depth == 0 && byUser && key != m_origin)
        Close();
    if (!m_open) {
        Open();
        m_origin = key;
    }
    if (!m_cellAt.contains(key)) {
        m_cellAt.insert(key, int(m_step.Cells.size()));
        m_step.Cells.push_back({col, row, before, {}});
    }
    if (!m_markAt.contains(row)) {
        m_markAt.insert(row, int(m_step.Marks.size()));
        m_step.Marks.push_back({row, m_grid.RowChanged(row), false});
    }
}

void GridHistory::Close() {
    if (!m_open)
        return;
    m_open = false;
    Step step = std::move(m_step);
    m_step = {};
    m_cellAt.clear();
    m_markAt.clear();
    // A cell written back to what it held (a refused value put back) is no change to undo.
    QVector<Cell> changed;
    for (Cell& c : step.Cells) {
        c.After = m_grid.Text(c.Col, c.Row);
        if (c.After != c.Before)
            changed.push_back(std::move(c));
    }
    if (changed.isEmpty())
        return;
    step.Cells = std::move(changed);
    for (Mark& m : step.Marks)
        m.After = m_grid.RowChanged(m.Row);
    m_undo.push_back(std::move(step));
    if (int(m_undo.size()) > kMostSteps)
        m_undo.pop_front();
    m_redo.clear();
}

void GridHistory::BeginStep() {
    if (m_depth == 0)
        Close();
    if (m_depth++ == 0)
        Open();
}

void GridHistory::EndStep() {
    if (m_depth == 0)
        return;
    if (--m_depth == 0)
        Close();
}

void GridHistory::Seal() {
    if (m_depth == 0)
        Close();
}

void GridHistory::Clear() {
    m_undo.clear();
    m_redo.clear();
    // A step being recorded starts again from what the cells hold now.
    if (m_open) {
        m_step = {};
        m_cellAt.clear();
        m_markAt.clear();
    }
}

void GridHistory::RowsMoved(const QVector<int>& order) {
    const int rows = int(order.size());
    QVector<int> newRow(rows + 1, 0);
    for (int i = 0; i < rows; ++i) {
        const int old = order[i];
        if (old < 1 || old > rows || newRow[old] != 0) {
            Clear();
            return;
        }
        newRow[old] = i + 1;
    }
    const auto map = [&](int& row) {
        row = row >= 1 && row <= rows ? newRow[row] : 0;
        return row != 0;
    };
    bool lost = false;
    const auto mapStep = [&](Step& step) {
        for (Cell& c : step.Cells)
            lost |= !map(c.Row);
        for (Mark& m : step.Marks)
            lost |= !map(m.Row);
    };
    for (Step& s : m_undo)
        mapStep(s);
    for (Step& s : m_redo)
        mapStep(s);
    if (m_open) {
        mapStep(m_step);
        m_cellAt.clear();
        m_markAt.clear();
        for (int i = 0; i < m_step.Cells.size(); ++i)
            m_cellAt.insert(CellKey(m_step.Cells[i].Col, m_step.Cells[i].Row), i);
        for (int i = 0; i < m_step.Marks.size(); ++i)
            m_markAt.insert(m_step.Marks[i].Row, i);
        const int originRow = int(quint32(m_origin));
        m_origin = originRow >= 1 && originRow <= rows ? CellKey(int(m_origin >> 32), newRow[originRow]) : 0;
    }
    if (lost) // a row beyond the grid: nothing can be put back where it belongs
        Clear();
}

const GridHistory::Step* GridHistory::NextUndo() const {
    return m_undo.empty() ? nullptr : &m_undo.back();
}

const GridHistory::Step* GridHistory::NextRedo() const {
    return m_redo.empty() ? nullptr : &m_redo.back();
}

GridHistory::Outcome GridHistory::Undo() {
    Seal();
    return Apply(m_undo, m_redo, true);
}

GridHistory::Outcome GridHistory::Redo() {
    Seal();
    return Apply(m_redo, m_undo, false);
}

void GridHistory::DropUndo() {
    m_undo.clear();
}

void GridHistory::DropRedo() {
    m_redo.clear();
}

GridHistory::Outcome GridHistory::Apply(std::deque<Step>& from, std::deque<Step>& to, bool back) {
    if (from.empty())
        return Outcome::Nothing;
    const Step& step = from.back();
    // Only over the texts the step left (or took away): anything else would undo a change
    // nobody recorded.
    for (const Cell& c : step.Cells) {
        if (c.Row > m_grid.MaxRows() || c.Col > m_grid.MaxCols() ||
            m_grid.Text(c.Col, c.Row) != (back ? c.After : c.Before)) {
            from.clear();
            return Outcome::Stale;
        }
    }
    struct Applying {
        GridHistory& h;
        bool quiet;
        Applying(GridHistory& history, bool q) : h(history), quiet(q) {
            h.m_applying = true;
            if (quiet)
                h.m_grid.SetRedraw(false);
        }
        ~Applying() {
            if (quiet)
                h.m_grid.SetRedraw(true);
            h.m_applying = false;
        }
    } applying(*this, step.Cells.size() > kQuietAbove && m_grid.Redraw());
    for (const Cell& c : step.Cells)
        m_grid.SetText(c.Col, c.Row, back ? c.Before : c.After);
    for (const Mark& m : step.Marks) {
        if (back ? m.Before : m.After)
            m_grid.MarkRowChanged(m.Row);
        else
            m_grid.MarkRowUnchanged(m.Row);
    }
    to.push_back(std::move(from.back()));
    from.pop_back();
    return Outcome::Done;
}

} // namespace zpp::controls
