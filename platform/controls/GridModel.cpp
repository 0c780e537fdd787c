#include "GridModel.h"

#include "platform/records/Values.h"

#include <QColor>
#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace zpp::controls::detail {

QStringView NumberCell(double value, int decimals, CellChars& out) {
    values::NumberChars chars;
    const QLatin1String text = values::FormatNumber(value, decimals, chars);
    std::copy(text.begin(), text.end(), out.begin());
    return QStringView(out.data(), text.size());
}

std::optional<QStringView> NormaliseCell(CellType type, int decimals, QStringView text, CellChars& out) {
    if (type == CellType::Text)
        return text;
    const QStringView t = text.trimmed();
    switch (type) {
    case CellType::Number:
        if (t.isEmpty())
            return QStringView();
        if (!values::IsNumber(t))
            return std::nullopt;
        return NumberCell(values::Val(t), decimals, out);
    case CellType::Date: {
        if (t.isEmpty())
            return QStringView();
        // Text already in display form stays as it is; anything else goes the long way.
        if (values::ParseDisplayDate(t))
            return t;
        const auto d = values::ParseDate(QVariant(t.toString()));
        if (!d)
            return std::nullopt;
        const QString shown = values::DisplayDate(*d);
        std::copy(shown.utf16(), shown.utf16() + shown.size(), out.begin());
        return QStringView(out.data(), shown.size());
    }
    case CellType::CheckBox:
        if (t.isEmpty() || t.compare(u"False", Qt::CaseInsensitive) == 0)
            return QStringView(u"0");
        if (t.compare(u"True", Qt::CaseInsensitive) == 0)
            return QStringView(u"1");
        if (!values::IsNumber(t))
            return std::nullopt;
        return values::Val(t) != 0 ? QStringView(u"1") : QStringView(u"0");
    case CellType::Text:
        break;
    }
    return text;
}

std::optional<QString> NormaliseCell(CellType type, int decimals, const QString& text) {
    CellChars out;
    const auto cell = NormaliseCell(type, decimals, QStringView(text), out);
    if (!cell)
        return std::nullopt;
    return cell->size() == text.size() && cell->data() == text.data() ? text : cell->toString();
}

bool NumberInRange(const GridColumn& col, const QString& text) {
    if (text.trimmed().isEmpty())
        return true;
    if (!values::IsNumber(text))
        return false;
    const double v = values::Val(text.trimmed());
    return v >= col.min && v <= col.max;
}

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shownRows;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shownCols;
}

QString GridModel::Text(int c, int r) const {
    const GridColumn& col = m_cols[c];
    if (col.formula)
        return col.formula(r);
    if (col.type == CellType::CheckBox && col.cells.IsEmpty(r))
        return QStringLiteral("0");
    return col.cells.Get(r).toString();
}

bool GridModel::ColLocked(int c) const {
    const qint8 lock = m_cols[c].lock;
    return lock >= 0 ? lock > 0 : m_lockAll;
}

bool GridModel::Locked(int c, int r) const {
    const GridColumn& col = m_cols[c];
    if (col.formula)
        return true; // nothing typed there would be kept
    if (!col.cellLock.empty() && col.cellLock[r] >= 0)
        return col.cellLock[r] > 0;
    return ColLocked(c);
}

int GridModel::Decimals(int c, int r) const {
    const GridColumn& col = m_cols[c];
    if (!col.cellDecimals.empty() && col.cellDecimals[r] >= 0)
        return col.cellDecimals[r];
    return col.decimals;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    const int c = index.column();
    const int r = index.row();
    // While redraw is off the view may still hold a shape larger than the data; while a fill
    // runs, another thread may be writing the cells.
    if (!index.isValid() || c >= Cols() || r >= m_rows || m_filling)
        return {};
    const GridColumn& col = m_cols[c];
    const bool check = col.type == CellType::CheckBox;
    switch (role) {
    case Qt::DisplayRole:
        if (check)
            return {};
        return col.formula ? col.formula(r) : col.cells.Get(r).toString();
    case Qt::EditRole:
        return Text(c, r);
    case Qt::CheckStateRole:
        if (!check)
            return {};
        return Text(c, r) == u"1" ? Qt::Checked : Qt::Unchecked;
    case Qt::AccessibleTextRole:
        if (check)
            return Text(c, r) == u"1" ? QCoreApplication::translate("SpreadGrid", "已勾选")
                                      : QCoreApplication::translate("SpreadGrid", "未勾选");
        return col.formula ? col.formula(r) : col.cells.Get(r).toString();
    case Qt::TextAlignmentRole: {
        Qt::Alignment h = Qt::AlignLeft;
        switch (col.align) {
        case HAlign::Right:
            h = Qt::AlignRight;
            break;
        case HAlign::Center:
            h = Qt::AlignHCenter;
            break;
        case HAlign::Left:
            h = Qt::AlignLeft;
            break;
        case HAlign::Default:
            h = col.type == CellType::Number ? Qt::AlignRight : check ? Qt::AlignHCenter : Qt::AlignLeft;
            break;
        }
        return int(h | Qt::AlignVCenter);
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
        QString note = Note(c, r);
        if (const RowTint* tint = m_tints.isEmpty() ? nullptr : Tint(r))
            note = note.isEmpty() ? tint->Tip : note + u'\n' + tint->Tip;
        return note.isEmpty() ? QVariant() : QVariant(note);
    }
    case kNoteRole:
        return m_notes.isEmpty() ? false : !Note(c, r).isEmpty();
    case Qt::ForegroundRole:
    case Qt::BackgroundRole:
        // What the program learned about the row shows over its look; a cell locked on its own,
        // unlike the rest of its column, looks read-only.
        if (role == Qt::BackgroundRole && !m_tints.isEmpty())
            if (const RowTint* tint = Tint(r))
                return tint->Tint;
        if (col.cellLock.empty() || col.cellLock[r] <= 0)
            return {};
        return role == Qt::ForegroundRole ? QColor(0x70, 0x70, 0x70) : QColor(0xEC, 0xEC, 0xEC);
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        const bool changed = section >= 0 && section < m_rows && RowChanged(section);
        if (role == Qt::DisplayRole)
            return changed ? QVariant(QString(QString::number(section + 1) + kChangedRowMark))
                           : QVariant(section + 1);
        if (role == Qt::ForegroundRole && changed)
            return QColor(0xB0, 0x40, 0x00);
        if ((role == Qt::BackgroundRole || role == Qt::ToolTipRole) && !m_tints.isEmpty())
            if (const RowTint* tint = Tint(section))
                return role == Qt::BackgroundRole ? QVariant(tint->Tint) : QVariant(tint->Tip);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    if (section < 0 || section >= Cols())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return m_cols[section].header;
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    const int c = index.column();
    const int r = index.row();
    if (!index.isValid() || c >= Cols() || r >= m_rows)
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!Locked(c, r))
        f |= m_cols[c].type == CellType::CheckBox ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int c = index.column();
    const int r = index.row();
    if (!index.isValid() || c >= Cols() || r >= m_rows || Locked(c, r))
        return false;
    const GridColumn& col = m_cols[c];
    std::optional<QString> text;
    if (role == Qt::CheckStateRole) {
        if (col.type != CellType::CheckBox)
            return false;
        text = value.toInt() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0");
    } else if (role == Qt::EditRole) {
        if (col.type == CellType::Number && !NumberInRange(col, value.toString()))
            return false;
        text = NormaliseCell(col.type, Decimals(c, r), value.toString());
    } else {
        return false;
    }
    if (!text)
        return false;
    if (*text == Text(c, r))
        return true;
    m_userWrite = true;
    Store(c, r, *text);
    m_userWrite = false;
    if (onUserChanged)
        onUserChanged(c + 1, r + 1);
    return true;
}

void GridModel::Store(int c, int r, QStringView text, bool content) {
    if (m_cols[c].formula)
        return;
    CellColumn& cells = m_cols[c].cells;
    if (cells.Get(r) == text)
        return;
    if (onWrite && !m_filling && content && m_cols[c].type != CellType::CheckBox)
        onWrite(c, r, cells.Get(r), m_userWrite);
    cells.Set(r, text);
    if (m_filling)
        return;
    // A tick selects a row; it does not change what the row holds.
    if (content && m_cols[c].type != CellType::CheckBox)
        MarkRowChanged(r);
    Touch(c, r);
}

void GridModel::Share(int c, int first, std::span<const int> fromRows) {
    GridColumn& col = m_cols[c];
    if (col.formula)
        return;
    CellColumn& cells = col.cells;
    const bool content = col.type != CellType::CheckBox;
    int touchedFirst = -1, touchedLast = -1;
    for (std::size_t i = 0; i < fromRows.size(); ++i) {
        const int from = fromRows[i] - 1, to = first + int(i);
        if (from < 0)
            continue;
        // A fill shares into empty cells: the texts need comparing only when both hold one.
        if (cells.IsEmpty(to) ? cells.IsEmpty(from) : cells.Get(to) == cells.Get(from))
            continue;
        if (onWrite && !m_filling && content)
            onWrite(c, to, cells.Get(to), false);
        cells.Share(from, to);
        if (m_filling)
            continue;
        if (content)
            MarkRowChanged(to);
        if (touchedFirst < 0)
            touchedFirst = to;
        touchedLast = to;
    }
    if (touchedFirst < 0)
        return;
    if (m_redraw && c < m_shownCols && touchedLast < m_shownRows) {
        Q_EMIT dataChanged(index(touchedFirst, c), index(touchedLast, c));
        TouchFormulas(touchedFirst, touchedLast);
    } else {
        m_dirty = true;
    }
}

void GridModel::EndFill() {
    m_filling = false;
    if (m_redraw && m_shownRows > 0 && m_shownCols > 0)
        Q_EMIT dataChanged(index(0, 0), index(m_shownRows - 1, m_shownCols - 1));
    else
        m_dirty = true;
}

void GridModel::MarkRowChanged(int r) {
    if (m_changedRows[std::size_t(r)])
        return;
    m_changedRows[std::size_t(r)] = true;
    ++m_changedCount;
    if (m_redraw && r < m_shownRows)
        Q_EMIT headerDataChanged(Qt::Vertical, r, r);
    else
        m_dirty = true;
}

void GridModel::UnmarkRow(int r) {
    if (!m_changedRows[std::size_t(r)])
        return;
    m_changedRows[std::size_t(r)] = false;
    --m_changedCount;
    if (m_redraw && r < m_shownRows)
        Q_EMIT headerDataChanged(Qt::Vertical, r, r);
    else
        m_dirty = true;
}

void GridModel::MarkRowsUnchanged() {
    if (onBaseline)
        onBaseline();
    if (m_changedCount == 0)
        return;
    std::fill(m_changedRows.begin(), m_changedRows.end(), false);
    m_changedCount = 0;
    if (!m_redraw)
        m_dirty = true;
    else if (m_shownRows > 0)
        Q_EMIT headerDataChanged(Qt::Vertical, 0, m_shownRows - 1);
}

void GridModel::Touch(int c, int r) {
    if (m_redraw && c < m_shownCols && r < m_shownRows) {
        const QModelIndex i = index(r, c);
        Q_EMIT dataChanged(i, i);
        TouchFormulas(r, r);
    } else {
        m_dirty = true;
    }
}

void GridModel::TouchFormulas(int first, int last) {
    for (int f : m_formulaCols)
        if (f < m_shownCols)
            Q_EMIT dataChanged(index(first, f), index(last, f));
}

void GridModel::SetFormula(int c, std::function<QString(int r)> formula) {
    GridColumn& col = m_cols[c];
    col.formula = std::move(formula);
    col.cells.Resize(0);
    col.cells.Resize(m_rows);
    std::erase(m_formulaCols, c);
    if (col.formula)
        m_formulaCols.push_back(c);
    ColumnChanged(c);
}

void GridModel::Reformat(int c, int r) {
    GridColumn& col = m_cols[c];
    if (col.type != CellType::Number)
        return;
    const int first = r < 0 ? 0 : r;
    const int last = r < 0 ? m_rows - 1 : r;
    for (int row = first; row <= last; ++row) {
        if (col.cells.IsEmpty(row))
            continue;
        const QStringView t = col.cells.Get(row);
        if (!values::IsNumber(t))
            continue;
        CellChars out;
        // The text views the arena, which the store may move: convert before storing.
        const double v = values::Val(t);
        Store(c, row, NumberCell(v, Decimals(c, row), out), false); // same number, other decimals
    }
}

void GridModel::HeaderChanged(int c) {
    if (m_redraw && c < m_shownCols)
        Q_EMIT headerDataChanged(Qt::Horizontal, c, c);
    else
        m_dirty = true;
}

void GridModel::ColumnChanged(int c) {
    if (m_redraw && c < m_shownCols && m_shownRows > 0)
        Q_EMIT dataChanged(index(0, c), index(m_shownRows - 1, c));
    else
        m_dirty = true;
}

void GridModel::SetLockAll(bool locked) {
    // Locks only change flags, which the view asks for when it needs them: nothing to repaint.
    m_lockAll = locked;
}

void GridModel::SetRowTints(const QHash<int, RowTint>& tints) {
    if (tints.isEmpty())
        return;
    int first = m_rows, last = -1;
    for (auto it = tints.cbegin(); it != tints.cend(); ++it) {
        if (it.key() < 0 || it.key() >= m_rows)
            continue;
        if (it->Tint.isValid())
            m_tints.insert(it.key(), *it);
        else
            m_tints.remove(it.key());
        first = std::min(first, it.key());
        last = std::max(last, it.key());
    }
    if (last < 0)
        return;
    if (m_redraw && Shown()) {
        Q_EMIT dataChanged(index(first, 0), index(last, Cols() - 1), {Qt::BackgroundRole, Qt::ToolTipRole});
        Q_EMIT headerDataChanged(Qt::Vertical, first, last);
    } else {
        m_dirty = true;
    }
}

void GridModel::ClearRowTints() {
    if (m_tints.isEmpty())
        return;
    QHash<int, RowTint> off;
    for (auto it = m_tints.cbegin(); it != m_tints.cend(); ++it)
        off.insert(it.key(), {});
    SetRowTints(off);
}

void GridModel::SetNote(int c, int r, const QString& note) {
    if (note.isEmpty())
        m_notes.remove(NoteKey(c, r));
    else
        m_notes.insert(NoteKey(c, r), {Text(c, r), note});
    if (m_redraw && !m_filling && r < m_shownRows && c < m_shownCols)
        Q_EMIT dataChanged(index(r, c), index(r, c), {Qt::ToolTipRole, kNoteRole});
}

QString GridModel::Note(int c, int r) const {
    const auto it = m_notes.constFind(NoteKey(c, r));
    return it != m_notes.constEnd() && it->Text == Text(c, r) ? it->Note : QString();
}

void GridModel::SetRows(int rows) {
    rows = std::max(rows, 0);
    if (rows == m_rows)
        return;
    if (onBaseline)
        onBaseline();
    if (rows < m_rows) {
        m_notes.removeIf([rows](const auto& it) { return int(quint32(it.key())) >= rows; });
        m_tints.removeIf([rows](const auto& it) { return it.key() >= rows; });
    }
    const bool live = m_redraw && m_shownRows == m_rows && m_shownCols == Cols();
    if (live && rows < m_rows)
        beginRemoveRows({}, rows, m_rows - 1);
    for (GridColumn& col : m_cols) {
        col.cells.Resize(rows);
        if (!col.cellLock.empty())
            col.cellLock.resize(rows, -1);
        if (!col.cellDecimals.empty())
            col.cellDecimals.resize(rows, -1);
    }
    if (rows < m_rows)
        m_changedCount -= int(std::count(m_changedRows.begin() + rows, m_changedRows.end(), true));
    else
        m_changedCount += rows - m_rows;
    m_changedRows.resize(std::size_t(rows), true); // a new row is not what any load gave
    const int old = m_rows;
    m_rows = rows;
    if (!live) {
        m_dirty = true;
        return;
    }
    if (rows < old) {
        m_shownRows = rows;
        endRemoveRows();
    } else {
        beginInsertRows({}, old, rows - 1);
        m_shownRows = rows;
        endInsertRows();
    }
}

void GridModel::SetCols(int cols) {
    cols = std::max(cols, 0);
    if (cols == Cols())
        return;
    const bool live = m_redraw && m_shownRows == m_rows && m_shownCols == Cols();
    const int old = Cols();
    if (cols < old)
        m_notes.removeIf([cols](const auto& it) { return int(it.key() >> 32) >= cols; });
    if (live && cols < old)
        beginRemoveColumns({}, cols, old - 1);
    m_cols.resize(cols);
    std::erase_if(m_formulaCols, [cols](int f) { return f >= cols; });
    for (int c = old; c < cols; ++c)
        m_cols[c].cells.Resize(m_rows);
    if (!live) {
        m_dirty = true;
        return;
    }
    if (cols < old) {
        m_shownCols = cols;
        endRemoveColumns();
    } else {
        beginInsertColumns({}, old, cols - 1);
        m_shownCols = cols;
        endInsertColumns();
        if (onReset)
            onReset();
    }
}

void GridModel::SetRedraw(bool on) {
    if (on == m_redraw)
        return;
    m_redraw = on;
    if (on)
        Publish();
}

void GridModel::Publish() {
    if (!m_dirty)
        return;
    m_dirty = false;
    for (GridColumn& col : m_cols)
        col.cells.Squeeze();
    if (m_shownRows != m_rows || m_shownCols != Cols()) {
        beginResetModel();
        m_shownRows = m_rows;
        m_shownCols = Cols();
        endResetModel();
        if (onReset)
            onReset();
        return;
    }
    if (m_shownRows > 0)
        Q_EMIT headerDataChanged(Qt::Vertical, 0, m_shownRows - 1);
    if (m_shownCols > 0) {
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, m_shownCols - 1);
        if (m_shownRows > 0)
            Q_EMIT dataChanged(index(0, 0), index(m_shownRows - 1, m_shownCols - 1));
    }
}

} // namespace zpp::controls::detail
