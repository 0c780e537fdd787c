#pragma once

#include <QColor>
#include <QHash>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <QVector>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>

class QTableView;

namespace zpp::controls {

// Cell types with the codes the column definitions use.
enum class CellType { Date = 0, CheckBox = 10, Number = 13, Text = -1 };
enum class HAlign { Default = 0, Right = 1, Center = 2, Left = 3 };

struct RowBlock {
    int First; // 1-based, inclusive
    int Last;
    bool operator==(const RowBlock&) const = default;
};

// The spreadsheet grid: a model/view control over compact cell storage with a direct cell
// API. Columns and rows are 1-based; column settings apply to every row of the column.
// Cell texts are kept as displayed: numbers with their decimals, dates as "yyyy-MM-dd",
// check boxes as "1" or "0". Rows have a fixed height, so 100,000 rows scroll like 100.
class SpreadGrid : public QWidget {
    Q_OBJECT
public:
    explicit SpreadGrid(QWidget* parent = nullptr);
    ~SpreadGrid() override;

    int MaxCols() const;
    void SetMaxCols(int cols);
    int MaxRows() const;
    // Grows or shrinks the row count; new rows are empty (check boxes "0").
    void SetMaxRows(int rows);
    // Gives each row firstRow + i whose fromRows[i] is not 0 the text of row fromRows[i] in the
    // same column, as SetText would, without a copy of its characters: a fill of many rows whose
    // texts recur converts and stores each text once.
    void ShareTexts(int col, int firstRow, std::span<const int> fromRows);
    // Between these, cell writes set no change marks and tell the view nothing, so that a fill
    // may write different columns from two threads at once (one thread per column, nothing else
    // touching the grid meanwhile).
    void BeginFill();
    void EndFill();
    // Change tracking for saves: a row counts as changed once any of its texts other than a
    // check box changes after the mark. Rows added after the mark count as changed.
    // Changed rows carry a mark in the row header until the next MarkRowsUnchanged.
    void MarkRowsUnchanged();
    // Marks a row as if its texts had changed: a refill that keeps the edits keeps their marks.
    void MarkRowChanged(int row);
    bool RowChanged(int row) const;
    // How many rows RowChanged counts, kept as rows change (no walk over the rows).
    int ChangedRowCount() const;
    // Takes the mark off one row, as an undo back to what the row held does.
    void MarkRowUnchanged(int row);
    // Told before a write changes what a cell holds (a fill's writes and check boxes aside): the
    // cell, the text it replaces and whether the user's own edit makes it; Reset when the rows
    // are replaced or their marks cleared. One watch at a time; an empty one ends it.
    struct WriteWatch {
        std::function<void(int col, int row, const QString& before, bool byUser)> Written;
        std::function<void()> Reset;
    };
    void SetWriteWatch(WriteWatch watch);

    QString HeaderText(int col) const;
    void SetHeaderText(int col, const QString& text);
    // Widths in character units of the grid's font (about one average Latin character).
    double ColWidth(int col) const;
    void SetColWidth(int col, double width);
    // The width, in the same character units, that a header text needs to show whole.
    double HeaderTextWidth(const QString& text) const;
    bool ColHidden(int col) const;
    void SetColHidden(int col, bool hidden);
    void SetRowHeight(int pixels);
    // Keeps columns 1 to cols (hidden ones included) in view while the grid scrolls right,
    // in a second view over the same model and selection laid over the main view's left
    // part. Cells there behave as any other. 0 unfreezes. While the frozen columns would take
    // more than two thirds of the width, they scroll with the rest.
    void SetFrozenCols(int cols);
    int FrozenCols() const;

    CellType ColCellType(int col) const;
    void SetColCellType(int col, CellType type);
    // Number columns show 2 decimals unless told otherwise; changing decimals re-rounds the column.
    void SetColDecimals(int col, int decimals);
    void SetColMin(int col, double min);
    void SetColMax(int col, double max);
    void SetColAlign(int col, HAlign align);
    // Locks: a cell is locked when its own lock says so, else when its column's does,
    // else when the whole grid's does.
    void SetLockAll(bool locked);
    void SetColLock(int col, bool locked);
    bool ColLocked(int col) const;
    // A cell locked on its own, unlike its column, is drawn greyed as read-only.
    void SetCellLock(int col, int row, bool locked);
    bool CellLocked(int col, int row) const;
    // Decimals of one number cell (overrides the column's).
    void SetCellDecimals(int col, int row, int decimals);
    int CellDecimals(int col, int row) const;

    // A note shown as the cell's tip, with a mark in its corner, while the cell keeps the text
    // it has now; an empty note removes it.
    void SetCellNote(int col, int row, const QString& note);
    QString CellNote(int col, int row) const;
    // Tints whole rows (from 1) with a tip of their own, shown over the row's cells and in its
    // header, for what the program learned about a row rather than what it holds; a tint moves
    // with its row. An invalid colour takes a row's tint away.
    void SetRowTints(const QHash<int, std::pair<QColor, QString>>& tints);
    void ClearRowTints();
    // The tip of a row's tint (empty: none).
    QString RowTintTip(int row) const;

    // A worked-out column: a cell's text is formula(row), asked whenever the cell is read or
    // shown, so it follows the other cells of its row at once. Nothing is stored: writes to it
    // are ignored, its cells are read-only and find passes them by. An empty formula makes it
    // a stored column again.
    void SetColFormula(int col, std::function<QString(int row)> formula);

    QString Text(int col, int row) const;
    // The text a cell stores, without a copy, for passes over every row; valid until the grid
    // next changes. A worked-out column stores none, and an empty check box reads as empty.
    QStringView StoredText(int col, int row) const;
    // Writes a cell as the user would see it. Numbers are rounded to the cell's decimals,
    // dates normalised, check boxes become "1"/"0". Empty text clears the cell. Text that
    // the cell type cannot hold fails with a zpp::Error naming the cell.
    void SetText(int col, int row, const QString& text);
    // Writes a value as SetText(value.toString()) would; numbers skip the text round trip.
    void SetValue(int col, int row, const QVariant& value);
    // A date into a date cell.
    void SetDate(int col, int row, const QDate& date);

    int ActiveCol() const;
    int ActiveRow() const;
    // A move by the program: no LeaveCell, which is about the user's moves.
    void SetActiveCell(int col, int row);
    // Writes an open editor's text into its cell and closes it; false when there was none.
    bool CommitEdit();
    // While an editor opens: whether a key typed into the cell opened it (the key then goes
    // into the editor as its first character).
    bool OpenedByTyping() const;
    // Selected rows as blocks of consecutive rows, in ascending order. The active cell alone is
    // not a selection: a block needs the user to have selected more than the cell they are in.
    QVector<RowBlock> SelectedRowBlocks() const;
    // The next cell after (col, row) in reading order (or before it, backwards) whose text
    // contains text, over shown columns only, wrapping past the end; the start cell itself is
    // looked at last. Nothing when no cell matches.
    std::optional<std::pair<int, int>> Find(const QString& text, int col, int row, bool forward,
                                            bool matchCase) const;

    // Row i of the result is old row order[i - 1] (both 1-based; every row once, else an Error).
    // Texts, check boxes, change marks, locks, decimals and notes go with their rows, and so do
    // the selection and the active cell; an open editor is committed first. RowsMoved follows.
    void MoveRows(std::span<const int> order);
    // The order for MoveRows that sorts the rows by a column, stably: numbers by value, dates by
    // day, other texts in the locale's order (a number inside a text by its value), numbers
    // before texts ascending and after them descending, empty cells last either way.
    QVector<int> SortOrder(int col, bool ascending, const QLocale& locale = QLocale()) const;
    // The column whose header shows the sort indicator (0: none). A click on a header only
    // selects its column, so it leaves the indicator where it is.
    void SetSortIndicator(int col, bool ascending);

    // Bulk changes: with redraw off nothing repaints and no model signal per cell is sent;
    // turning it on again refreshes the view once.
    void SetRedraw(bool on);
    bool Redraw() const;
    void ScrollToRow(int row);
    // How many rows the view shows at once (at least 1).
    int PageRows() const;

    // The main view: every column, the scroll bars and the row header.
    QTableView* View() const;
    // The view over the frozen columns; null until SetFrozenCols first freezes any.
    QTableView* FrozenView() const;
    // Names the grid and its view for screen readers.
    void SetAccessibleName(const QString& name);

Q_SIGNALS:
    // The user changed a cell (an edit committed or a check box toggled).
    void Changed(int col, int row);
    // The active cell moves; setting *cancel keeps it where it was. An open editor has been
    // committed by then, so the cell holds what the user typed.
    void LeaveCell(int col, int row, int newCol, int newRow, bool* cancel);
    // The active cell is now (col, row), however it got there (0, 0 when there is none).
    void CellEntered(int col, int row);
    // A date typed into a date cell could not be read; the cell keeps its value.
    void DateRefused(int col, int row, const QString& text);
    // An edit is about to start in a cell (not for locked cells).
    void EditStarting(int col, int row);
    void Clicked(int col, int row);
    // A key pressed in the grid (not while an editor is open); set *handled to swallow it.
    void KeyDown(int key, Qt::KeyboardModifiers modifiers, bool* handled);
    // MoveRows moved the rows, in the order it was given.
    void RowsMoved(const QVector<int>& order);
    // A column header was asked for its context menu, at a position on the screen.
    void HeaderMenuRequested(int col, const QPoint& globalPos);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zpp::controls
