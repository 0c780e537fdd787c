#include "GridSums.h"

#include "SpreadGrid.h"
#include "platform/records/Values.h"

#include <QItemSelectionModel>
#include <QTableView>
#include <algorithm>

namespace zpp::controls {

QVector<CellBlock> SelectedCellBlocks(const SpreadGrid& grid) {
    QVector<CellBlock> blocks;
    const QItemSelectionModel* selection = grid.View()->selectionModel();
    if (!selection)
        return blocks;
    for (const QItemSelectionRange& range : selection->selection())
        if (range.isValid())
            blocks.push_back({range.left() + 1, range.right() + 1, range.top() + 1, range.bottom() + 1});
    return blocks;
}

SelectionSums::SelectionSums(const SpreadGrid& grid, const QVector<CellBlock>& blocks) : m_grid(&grid) {
    const int cols = grid.MaxCols(), rows = grid.MaxRows();
    for (int c = 1; c <= cols; ++c) {
        std::vector<std::pair<int, int>> spans;
        for (const CellBlock& b : blocks)
            if (b.FirstCol <= c && c <= b.LastCol && b.FirstRow <= rows && b.LastRow >= 1)
                spans.emplace_back(std::max(b.FirstRow, 1), std::min(b.LastRow, rows));
        if (spans.empty() || grid.ColHidden(c))
            continue;
        std::sort(spans.begin(), spans.end());
        std::vector<Run> merged;
        for (const auto& [first, last] : spans) {
            if (!merged.empty() && first <= merged.back().Last + 1)
                merged.back().Last = std::max(merged.back().Last, last);
            else
                merged.push_back({c, first, last});
        }
        for (const Run& run : merged) {
            m_shownCells += run.Last - run.First + 1;
            if (grid.ColCellType(c) == CellType::Number)
                m_runs.push_back(run);
        }
    }
    if (!m_runs.empty())
        m_next = m_runs.front().First;
}

bool SelectionSums::Step(qint64 budget) {
    while (!Done() && budget > 0) {
        const Run& run = m_runs[m_run];
        const int last = int(std::min<qint64>(run.Last, m_next + budget - 1));
        for (int r = m_next; r <= last; ++r) {
            const QString text = m_grid->Text(run.Col, r);
            if (text.isEmpty() || !values::IsNumber(text))
                continue;
            ++m_count;
            m_sum += values::Val(text);
            if (const qsizetype dot = text.indexOf(u'.'); dot >= 0)
                m_decimals = std::max(m_decimals, int(text.size() - dot - 1));
        }
        budget -= last - m_next + 1;
        m_next = last + 1;
        if (m_next > run.Last && ++m_run < m_runs.size())
            m_next = m_runs[m_run].First;
    }
    return Done();
}

NumberSums SelectionSums::Sums() const {
    return {m_count, double(m_sum), m_decimals};
}

} // namespace zpp::controls
