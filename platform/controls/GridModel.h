#pragma once

#include "CellColumn.h"
#include "SpreadGrid.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <array>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace zpp::controls::detail {

struct GridColumn {
    QString header;
    double width = 9;
    bool hidden = false;
    CellType type = CellType::Text;
    int decimals = 2;
    double min = -std::numeric_limits<double>::infinity();
    double max = std::numeric_limits<double>::infinity();
    HAlign align = HAlign::Default;
    qint8 lock = -1; // -1: not set, the grid's lock applies
    CellColumn cells;
    // Per-cell overrides, allocated on first use (one byte a row); -1 means not set.
    std::vector<qint8> cellLock;
    std::vector<qint8> cellDecimals;
    // A worked-out column: its texts come from here (0-based row), none is stored.
    std::function<QString(int r)> formula;
};

// Room for any cell text that NormaliseCell builds itself (numbers, dates, check marks).
using CellChars = std::array<char16_t, 352>;
// A cell text in the form its type keeps, or nothing when the type cannot hold it. The
// result views either the text itself or out, so bulk fills allocate nothing per cell.
std::optional<QStringView> NormaliseCell(CellType type, int decimals, QStringView text, CellChars& out);
std::optional<QString> NormaliseCell(CellType type, int decimals, const QString& text);
// A number in the form a number cell keeps.
QStringView NumberCell(double value, int decimals, CellChars& out);
// Follows the number in the row header of a row with unsaved edits.
inline constexpr char16_t kChangedRowMark = u'*';
// The model role that says a cell holds a note to show (a mark in its corner, the note as its tip).
inline constexpr int kNoteRole = Qt::UserRole + 1;
// Whether a number cell's editor may commit the text (empty clears the cell).
bool NumberInRange(const GridColumn& col, const QString& text);

// The grid's state and its table model. The grid writes cells directly; the view sees
// structure changes at once while redraw is on, and in one reset when it comes back on.
class GridModel : public QAbstractTableModel {
public:
    explicit GridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Edits by the user: refused on locked cells and on text the cell cannot hold.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    int Rows() const { return m_rows; }
    // Rows whose texts changed (check boxes aside) since the last mark; rows added since count.
    void MarkRowsUnchanged();
    void MarkRowChanged(int r);
    bool RowChanged(int r) const { return m_changedRows[std::size_t(r)]; }
    int ChangedRows() const { return m_changedCount; }
    int Cols() const { return static_cast<int>(m_cols.size()); }
    void SetRows(int rows);
    void SetCols(int cols);
    // 0-based access for the grid; callers check bounds.
    GridColumn& Col(int c) { return m_cols[c]; }
    const GridColumn& Col(int c) const { return m_cols[c]; }
    QString Text(int c, int r) const;
    bool Locked(int c, int r) const;
    bool ColLocked(int c) const;
    int Decimals(int c, int r) const;
    // Stores an already normalised text and tells the view when it should know. A change of
    // form only (content false) leaves the row's change mark alone.
    void Store(int c, int r, QStringView text, bool content = true);
    // Gives row first + i the text of row fromRows[i] - 1 of the same column, sharing its
    // characters; fromRows counts rows from 1, as the grid does, and 0 leaves a row alone.
    void Share(int c, int first, std::span<const int> fromRows);
    // Re-rounds the number cells of a column (or one cell) after their decimals changed.
    void Reformat(int c, int r);
    // While a fill runs, stores and shares set no change marks (a fill's rows are new, and
    // marked as such) and tell the view nothing, so that different columns can be filled from
    // different threads at once; EndFill tells the view once.
    void BeginFill() { m_filling = true; }
    void EndFill();

    // A column's header or its settings changed: the view repaints it when redraw allows.
    void HeaderChanged(int c);
    void ColumnChanged(int c);
    // Makes column c a worked-out one (or a stored one again with an empty formula).
    void SetFormula(int c, std::function<QString(int r)> formula);

    // A note on a cell that holds while the cell keeps the text it had when noted: any change
    // of the text makes it stale, so it never describes a value the cell no longer holds.
    void SetNote(int c, int r, const QString& note);
    QString Note(int c, int r) const;

    // A tint over a whole row with a tip of its own, for what the program learned about the row
    // rather than what it holds (another user changed its entry). Rows are 0-based; an invalid
    // tint takes a row's away. One signal for the whole batch.
    struct RowTint {
        QColor Tint;
        QString Tip;
    };
    void SetRowTints(const QHash<int, RowTint>& tints);
    void ClearRowTints();
    const RowTint* Tint(int r) const {
        const auto it = m_tints.constFind(r);
        return it == m_tints.constEnd() ? nullptr : &*it;
    }

    // Row i takes what row from[i] held (0-based): texts, locks, decimals, notes, tints and change
    // marks; inverse[r] is where row r goes. The view's persistent indexes follow the rows.
    void MoveRows(const std::vector<int>& from, const std::vector<int>& inverse);
    // Whether the view knows the model's present shape (else a reset is due when redraw allows).
    bool Shown() const { return m_shownRows == m_rows && m_shownCols == Cols(); }
    // The column the headers show a sort indicator on (-1: none), and in which direction.
    int SortCol() const { return m_sortCol; }
    Qt::SortOrder SortDirection() const { return m_sortDirection; }
    void SetSortIndicator(int c, Qt::SortOrder direction);

    bool LockAll() const { return m_lockAll; }
    void SetLockAll(bool locked);
    bool Redraw() const { return m_redraw; }
    void SetRedraw(bool on);
    // Called after a user edit has been stored.
    std::function<void(int c, int r)> onUserChanged;
    // Called before a write changes what a cell holds (fills and check boxes aside), with the
    // text it replaces and whether a user's edit makes it.
    std::function<void(int c, int r, QStringView before, bool byUser)> onWrite;
    // Called when the rows are replaced or their change marks cleared.
    std::function<void()> onBaseline;
    // Takes one row's change mark away.
    void UnmarkRow(int r);
    // Called after the view lost its shape in a reset, to put widths and hidden columns back.
    std::function<void()> onReset;

private:
    void Touch(int c, int r);
    // Rows first to last of the worked-out columns changed with a stored cell of theirs.
    void TouchFormulas(int first, int last);
    void Publish();

    struct CellNote {
        QString Text; // the cell's text when noted
        QString Note;
    };
    static quint64 NoteKey(int c, int r) { return (quint64(quint32(c)) << 32) | quint32(r); }

    std::vector<GridColumn> m_cols;
    std::vector<int> m_formulaCols;   // few columns are worked out
    QHash<quint64, CellNote> m_notes; // few cells carry one
    QHash<int, RowTint> m_tints;      // few rows carry one
    int m_rows = 0;
    std::vector<bool> m_changedRows;
    // Kept with the marks, so a status line can ask for it without a walk over every row.
    int m_changedCount = 0;
    // The shape the view knows; differs from the real one only while redraw is off.
    int m_shownRows = 0;
    int m_shownCols = 0;
    int m_sortCol = -1;
    Qt::SortOrder m_sortDirection = Qt::AscendingOrder;
    bool m_lockAll = false;
    bool m_redraw = true;
    bool m_filling = false;
    bool m_userWrite = false; // a user's edit is being stored
    bool m_dirty = false;
};

} // namespace zpp::controls::detail
