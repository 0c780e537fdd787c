#pragma once

// The grid's views: the main one and the one over the frozen columns, which share one model, one
// selection and one current cell. Apart from SpreadGrid so its cell API reads without view events.
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QTableView>

class QKeyEvent;

namespace zpp::controls {
class SpreadGrid;
}

namespace zpp::controls::detail {

class GridView;

// What the main view and the frozen one share: one current cell (one selection model), one
// leave-cell path, at most one open editor.
struct Cursor {
    SpreadGrid* grid = nullptr;
    GridView* main = nullptr;
    GridView* frozen = nullptr; // made when columns are first frozen
    int frozenCols = 0;
    // Whether the frozen view lies over the main one, and how wide it is.
    bool frozenOn = false;
    int frozenWidth = 0;
    QPersistentModelIndex approved;
    bool programMove = false;
    bool typing = false;
    // A key the frozen view left alone, on its way to the grid's owners through the main view
    // (the frozen view's parent), which must not take it as a second key press.
    const QKeyEvent* passedOn = nullptr;

    // The view that shows (and edits) column c, 0-based.
    GridView* ViewFor(int c) const { return frozenOn && c < frozenCols ? frozen : main; }
    bool AllowMove(const QModelIndex& to);
    bool CommitEdit();
    void LayOut();

    // Moves made by the program itself skip LeaveCell.
    template <class F> void ProgramMove(F&& move) {
        const bool was = programMove;
        programMove = true;
        move();
        programMove = was;
    }
};

// The view asks before the current cell moves, so LeaveCell can keep it in place. Keys
// and clicks ask up front (a refused click must not select either); any other move is
// asked for by the selection model below. The frozen view is a second GridView over the
// same model and selection, so its cells behave as the others do.
class GridView : public QTableView {
public:
    GridView(Cursor* cursor, bool frozen, QWidget* parent);

    void LayOutNow() { executeDelayedItemsLayout(); }
    bool CommitEditHere();

    // Moves and selections reckoned over every column, for keys pressed in the frozen view
    // (which hides the scrolling columns).
    QModelIndex BaseMoveCursor(CursorAction action, Qt::KeyboardModifiers modifiers);
    void BaseKeyPress(QKeyEvent* event);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint) override;
    void updateGeometries() override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static bool IsMoveKey(int key);

    Cursor* m_cursor;
    bool m_frozen;
    bool m_swallowRelease = false;
};

// Asks the cursor before the current cell moves, whatever moves it.
class GridSelection : public QItemSelectionModel {
public:
    GridSelection(QAbstractItemModel* model, Cursor* cursor, QObject* parent)
        : QItemSelectionModel(model, parent), m_cursor(cursor) {}

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;

private:
    Cursor* m_cursor;
};

// Row numbers with room for the mark of unsaved edits on any row, not only the rows the
// header measures (the first and last hundred).
class RowHeader : public QHeaderView {
public:
    using QHeaderView::QHeaderView;

    QSize sizeHint() const override;
};

} // namespace zpp::controls::detail
