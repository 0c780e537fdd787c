#include "LedgerSheet.h"

#include <algorithm>

namespace zpp::controls {

namespace {
constexpr int kNumberType = 13;
}

LedgerSheet::LedgerSheet(QObject* parent) : QAbstractTableModel(parent) {}

void LedgerSheet::SetRows(int rows) {
    rows = std::max(0, rows);
    if (rows == m_rows)
        return;
    const int oldData = std::max(0, m_rows - 1);
    const int newData = std::max(0, rows - 1);
    if (newData < oldData)
        beginRemoveRows({}, newData, oldData - 1);
    else if (newData > oldData)
        beginInsertRows({}, oldData, newData - 1);
    const int old = m_rows;
    m_rows = rows;
    if (rows < old) {
        for (detail::CellColumn& t : m_texts)
            if (t.Size() > rows)
                t.Resize(rows);
        if (static_cast<int>(m_own.size()) > rows)
            m_own.resize(rows);
        for (Served& s : m_served)
            if (s.row > rows)
                s.row = 0;
    }
    if (newData < oldData)
        endRemoveRows();
    else if (newData > oldData)
        endInsertRows();
    if ((old == 0) != (rows == 0) && Cols() > 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, Cols() - 1);
}

void LedgerSheet::SetCols(int cols) {
    cols = std::max(0, cols);
    const int old = Cols();
    if (cols == old)
        return;
    if (cols < old)
        beginRemoveColumns({}, cols, old - 1);
    else
        beginInsertColumns({}, old, cols - 1);
    m_cols.resize(cols);
    m_texts.resize(cols);
    if (cols < old)
        endRemoveColumns();
    else
        endInsertColumns();
}

QStringView LedgerSheet::Cell(int row, int col) const {
    if (row < 1 || row > m_rows || !HasCol(col))
        return {};
    if (OwnRow(row)) {
        const detail::CellColumn& t = m_texts[col - 1];
        return row - 1 < t.Size() ? t.Get(row - 1) : QStringView();
    }
    const Served& s = Serve(row);
    if (col - 1 >= static_cast<int>(s.cells.size()))
        return {};
    const auto [start, length] = s.cells[col - 1];
    return QStringView(s.text).mid(start, length);
}

void LedgerSheet::SetCellReader(CellReader reader) {
    m_cellReader = std::move(reader);
    for (Served& s : m_served)
        s.row = 0;
    if (rowCount() > 0 && Cols() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, Cols() - 1));
}

const LedgerSheet::Served& LedgerSheet::Serve(int row) const {
    Served& s = m_served[row % kSlots];
    if (s.row == row)
        return s;
    if (m_cellReader) {
        // Cells one by one: their texts may hold the "|" that separates a served row's cells.
        s.row = row;
        s.text.clear();
        s.cells.clear();
        for (int c = 1; c <= Cols(); ++c) {
            const qsizetype start = s.text.size();
            s.text += m_cellReader(row, c);
            s.cells.emplace_back(start, s.text.size() - start);
        }
        return s;
    }
    QString text;
    const bool answered = m_server && m_server(row, &text);
    s.row = answered ? row : 0;
    s.text = std::move(text);
    s.cells.clear();
    qsizetype start = 0;
    const qsizetype n = s.text.size();
    const QChar* chars = s.text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (chars[i] == u'|') {
            s.cells.emplace_back(start, i - start);
            start = i + 1;
        }
    }
    // A last text without its closing "|" still counts.
    if (start < n)
        s.cells.emplace_back(start, n - start);
    return s;
}

void LedgerSheet::SetText(int row, int col, QStringView text) {
    if (row < 1 || row > m_rows || !HasCol(col))
        return;
    // Sized up to the row written: captions of a million served rows cost nothing per row.
    detail::CellColumn& t = m_texts[col - 1];
    if (t.Size() < row)
        t.Resize(row);
    if (static_cast<int>(m_own.size()) < row)
        m_own.resize(row, false);
    if (!m_own[row - 1]) {
        m_own[row - 1] = true;
        Served& s = m_served[row % kSlots];
        if (s.row == row)
            s.row = 0;
    }
    t.Set(row - 1, text);
    NoteChanged(row, col);
}

void LedgerSheet::ClearTexts() {
    for (detail::CellColumn& t : m_texts)
        t = detail::CellColumn();
    std::vector<bool>().swap(m_own);
    for (Served& s : m_served)
        s = Served();
    if (Cols() == 0)
        return;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, Cols() - 1);
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, Cols() - 1));
}

void LedgerSheet::NoteChanged(int row, int col) {
    if (!m_flushQueued) {
        m_flushQueued = true;
        m_dirtyTop = m_dirtyBottom = row;
        m_dirtyLeft = m_dirtyRight = col;
        QMetaObject::invokeMethod(
            this, [this] { FlushChanged(); }, Qt::QueuedConnection);
        return;
    }
    m_dirtyTop = std::min(m_dirtyTop, row);
    m_dirtyBottom = std::max(m_dirtyBottom, row);
    m_dirtyLeft = std::min(m_dirtyLeft, col);
    m_dirtyRight = std::max(m_dirtyRight, col);
}

void LedgerSheet::FlushChanged() {
    m_flushQueued = false;
    // The sheet may have shrunk since the texts were written.
    const int left = m_dirtyLeft - 1;
    const int right = std::min(m_dirtyRight, Cols()) - 1;
    if (left > right)
        return;
    if (m_dirtyTop == 1)
        Q_EMIT headerDataChanged(Qt::Horizontal, left, right);
    const int top = std::max(m_dirtyTop, 2) - 2;
    const int bottom = std::min(m_dirtyBottom - 2, rowCount() - 1);
    if (top <= bottom)
        Q_EMIT dataChanged(index(top, left), index(bottom, right), {Qt::DisplayRole});
}

int LedgerSheet::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(0, m_rows - 1);
}

int LedgerSheet::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Cols();
}

QVariant LedgerSheet::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= Cols())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return Text(index.row() + 2, index.column() + 1);
    case Qt::TextAlignmentRole:
        return int((m_cols[index.column()].type == kNumberType ? Qt::AlignRight : Qt::AlignLeft) |
                   Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant LedgerSheet::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Vertical)
        return section < rowCount() ? QVariant(section + 1) : QVariant();
    return section < Cols() ? QVariant(Text(1, section + 1)) : QVariant();
}

Qt::ItemFlags LedgerSheet::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace zpp::controls
