// Moving the grid's rows into another order with everything that belongs to a row: its texts,
// marks, locks, decimals and notes, its place in the selection and the active cell.
#include "GridModel.h"
#include "GridSort.h"
#include "SpreadGrid.h"
#include "platform/records/Error.h"

#include <QItemSelectionModel>
#include <QTableView>
#include <algorithm>

namespace zpp::controls {

namespace detail {

namespace {

template <class T> void Permute(std::vector<T>& values, const std::vector<int>& from) {
    if (values.empty())
        return;
    std::vector<T> moved(values.size());
    for (std::size_t i = 0; i < moved.size(); ++i)
        moved[i] = values[std::size_t(from[i])];
    values.swap(moved);
}

// A selected block as plain numbers: a selection range's indexes are persistent and would move
// with the rows themselves.
struct Block {
    int Top, Bottom, Left, Right;
};

// The selected cells of the rows after a move: a block's rows scatter, so each set of columns
// gets the runs of consecutive rows its cells now lie in.
QItemSelection MovedSelection(const std::vector<Block>& before, const std::vector<int>& inverse,
                              const QAbstractItemModel& model) {
    struct Span {
        int Left, Right;
        std::vector<int> Rows;
    };
    std::vector<Span> spans;
    for (const Block& b : before) {
        auto it = std::find_if(spans.begin(), spans.end(),
                               [&](const Span& s) { return s.Left == b.Left && s.Right == b.Right; });
        if (it == spans.end())
            it = spans.insert(spans.end(), Span{b.Left, b.Right, {}});
        for (int r = b.Top; r <= b.Bottom; ++r)
            it->Rows.push_back(inverse[std::size_t(r)]);
    }
    QItemSelection after;
    for (Span& s : spans) {
        std::sort(s.Rows.begin(), s.Rows.end());
        s.Rows.erase(std::unique(s.Rows.begin(), s.Rows.end()), s.Rows.end());
        for (std::size_t i = 0; i < s.Rows.size();) {
            std::size_t j = i;
            while (j + 1 < s.Rows.size() && s.Rows[j + 1] == s.Rows[j] + 1)
                ++j;
            after.append(
                QItemSelectionRange(model.index(s.Rows[i], s.Left), model.index(s.Rows[j], s.Right)));
            i = j + 1;
        }
    }
    return after;
}

} // namespace

RowMove::RowMove(GridModel& model, std::span<const int> order) : m_model(model) {
    const int rows = model.Rows();
    const auto refuse = [&] {
        return Error(QStringLiteral("行的新顺序须列出表格的第 1 至 %1 行，每行一次").arg(rows));
    };
    if (int(order.size()) != rows)
        throw refuse();
    m_from.resize(std::size_t(rows));
    m_inverse.assign(std::size_t(rows), -1);
    for (int i = 0; i < rows; ++i) {
        const int r = order[std::size_t(i)] - 1;
        if (r < 0 || r >= rows || m_inverse[std::size_t(r)] >= 0)
            throw refuse();
        m_from[std::size_t(i)] = r;
        m_inverse[std::size_t(r)] = i;
    }
}

void RowMove::Apply(QItemSelectionModel& selection) {
    if (!m_model.Shown()) {
        // The view learns of the rows in the reset that is due; it forgets its selection then.
        m_model.MoveRows(m_from, m_inverse);
        return;
    }
    // The selection model would keep a persistent index for every selected row (a million for a
    // selected column) through the move; the ranges are moved here instead.
    std::vector<Block> before;
    for (const QItemSelectionRange& range : selection.selection())
        before.push_back({range.top(), range.bottom(), range.left(), range.right()});
    if (!before.empty())
        selection.clearSelection();
    m_model.MoveRows(m_from, m_inverse);
    if (!before.empty())
        selection.select(MovedSelection(before, m_inverse, m_model), QItemSelectionModel::Select);
}

void GridModel::MoveRows(const std::vector<int>& from, const std::vector<int>& inverse) {
    const bool tell = Shown();
    if (tell)
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    for (GridColumn& col : m_cols) {
        col.cells.MoveRows(from);
        Permute(col.cellLock, from);
        Permute(col.cellDecimals, from);
    }
    std::vector<bool> changed(m_changedRows.size());
    for (std::size_t i = 0; i < changed.size(); ++i)
        changed[i] = m_changedRows[std::size_t(from[i])];
    m_changedRows.swap(changed);
    QHash<quint64, CellNote> notes;
    for (auto it = m_notes.cbegin(); it != m_notes.cend(); ++it)
        notes.insert(NoteKey(int(it.key() >> 32), inverse[std::size_t(quint32(it.key()))]), it.value());
    m_notes.swap(notes);
    QHash<int, RowTint> tints;
    for (auto it = m_tints.cbegin(); it != m_tints.cend(); ++it)
        tints.insert(inverse[std::size_t(it.key())], it.value());
    m_tints.swap(tints);
    if (!tell) {
        m_dirty = true;
        return;
    }
    const QModelIndexList old = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(old.size());
    for (const QModelIndex& i : old)
        moved << index(inverse[std::size_t(i.row())], i.column());
    changePersistentIndexList(old, moved);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace detail

// SpreadGrid's row moves, kept here with the rest of them.

void SpreadGrid::MoveRows(std::span<const int> order) {
    auto& model = *static_cast<detail::GridModel*>(View()->model());
    detail::RowMove move(model, order);
    CommitEdit();
    const int col = ActiveCol(), row = ActiveRow();
    move.Apply(*View()->selectionModel());
    if (row > 0 && ActiveRow() == row && move.NewRow(row - 1) != row - 1)
        SetActiveCell(col, move.NewRow(row - 1) + 1); // a view yet to learn of the rows kept the number
    else if (row > 0 && ActiveRow() != row)
        Q_EMIT CellEntered(col, ActiveRow());
    Q_EMIT RowsMoved(QVector<int>(order.begin(), order.end()));
}

} // namespace zpp::controls
