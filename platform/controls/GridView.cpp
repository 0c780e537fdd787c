// How the grid's views behave: the current cell's moves past LeaveCell, editors opened where
// their cell shows, keys the frozen view hands on, and the frozen view laid over the main one.
#include "GridView.h"

#include "GridModel.h"
#include "SpreadGrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleOption>
#include <algorithm>

namespace zpp::controls::detail {

GridView::GridView(Cursor* cursor, bool frozen, QWidget* parent)
    : QTableView(parent), m_cursor(cursor), m_frozen(frozen) {}

bool GridView::CommitEditHere() {
    if (state() != EditingState)
        return false;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        return false;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

QModelIndex GridView::BaseMoveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    return QTableView::moveCursor(action, modifiers);
}

void GridView::BaseKeyPress(QKeyEvent* event) {
    m_cursor->approved = QPersistentModelIndex();
    QTableView::keyPressEvent(event);
    m_cursor->approved = QPersistentModelIndex();
}

bool GridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // An editor opens in the view that shows its cell, not under the frozen columns. A
    // mouse event stays with the view it came to: its position is that view's.
    const bool mouse =
        event && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
                  event->type() == QEvent::MouseButtonDblClick);
    GridView* owner = index.isValid() && !mouse ? m_cursor->ViewFor(index.column()) : this;
    if (owner != this)
        return owner->edit(index, trigger, event);
    const bool was = m_cursor->typing;
    m_cursor->typing = trigger == AnyKeyPressed;
    const bool opened = QTableView::edit(index, trigger, event);
    m_cursor->typing = was;
    return opened;
}

QModelIndex GridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex to = m_frozen ? m_cursor->main->BaseMoveCursor(action, modifiers)
                                    : QTableView::moveCursor(action, modifiers);
    if (!to.isValid() || to == currentIndex())
        return to;
    if (!m_cursor->AllowMove(to))
        return currentIndex();
    m_cursor->approved = to;
    return to;
}

void GridView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    QScrollBar* across = horizontalScrollBar();
    const int was = across->value();
    QTableView::scrollTo(index, hint);
    if (m_frozen || !m_cursor->frozenOn || !index.isValid())
        return;
    if (index.column() < m_cursor->frozenCols) {
        across->setValue(was); // shown by the frozen view wherever this one stands
        return;
    }
    const int covered = m_cursor->frozenWidth - columnViewportPosition(index.column());
    if (covered > 0)
        across->setValue(across->value() - covered);
}

void GridView::updateGeometries() {
    QTableView::updateGeometries();
    if (!m_frozen)
        m_cursor->LayOut();
}

void GridView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    const QModelIndex current = currentIndex();
    if (!m_frozen && current.isValid() && m_cursor->ViewFor(current.column()) != this)
        m_cursor->frozen->setFocus(event->reason());
}

void GridView::mousePressEvent(QMouseEvent* event) {
    m_swallowRelease = false;
    const QModelIndex to = indexAt(event->position().toPoint());
    if (to.isValid() && to != currentIndex()) {
        if (!m_cursor->AllowMove(to)) {
            m_swallowRelease = true;
            event->accept();
            return;
        }
        m_cursor->approved = to;
    }
    QTableView::mousePressEvent(event);
    m_cursor->approved = QPersistentModelIndex();
}

void GridView::mouseMoveEvent(QMouseEvent* event) {
    if (m_swallowRelease)
        return;
    QTableView::mouseMoveEvent(event);
}

void GridView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_swallowRelease) {
        m_swallowRelease = false;
        event->accept();
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void GridView::keyPressEvent(QKeyEvent* event) {
    if (event == m_cursor->passedOn) {
        m_cursor->passedOn = nullptr;
        event->ignore();
        return;
    }
    // Keys left over by an open editor arrive here too; those are not the grid's.
    if (state() != EditingState) {
        bool handled = false;
        Q_EMIT m_cursor->grid->KeyDown(event->key(), event->modifiers(), &handled);
        if (handled) {
            event->accept();
            return;
        }
    }
    if (m_frozen && IsMoveKey(event->key()))
        m_cursor->main->BaseKeyPress(event);
    else
        BaseKeyPress(event);
    if (m_frozen && !event->isAccepted())
        m_cursor->passedOn = event;
}

bool GridView::IsMoveKey(int key) {
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}

bool Cursor::AllowMove(const QModelIndex& to) {
    const QModelIndex from = main->currentIndex();
    if (programMove || !to.isValid() || !from.isValid() || to == from)
        return true;
    if (approved.isValid() && approved == to) {
        approved = QPersistentModelIndex();
        return true;
    }
    // Whatever way the cell is left, its check must see what the user typed.
    CommitEdit();
    bool cancel = false;
    Q_EMIT grid->LeaveCell(from.column() + 1, from.row() + 1, to.column() + 1, to.row() + 1, &cancel);
    return !cancel;
}

bool Cursor::CommitEdit() {
    return main->CommitEditHere() || (frozen && frozen->CommitEditHere());
}

void Cursor::LayOut() {
    if (!frozen)
        return;
    int width = 0;
    const int cols = std::min(frozenCols, main->model()->columnCount());
    for (int c = 0; c < cols; ++c)
        if (!main->isColumnHidden(c))
            width += main->columnWidth(c);
    // Frozen columns that would leave the others too little room scroll with them.
    const bool on = width > 0 && width * 3 <= main->viewport()->width() * 2;
    if (on != frozenOn && !on && frozen->hasFocus())
        main->setFocus();
    frozenOn = on;
    frozenWidth = on ? width : 0;
    frozen->setVisible(on);
    if (!on)
        return;
    QHeaderView* header = main->horizontalHeader();
    frozen->horizontalHeader()->setVisible(!header->isHidden());
    const int headerHeight = main->viewport()->y() - main->frameWidth();
    if (frozen->horizontalHeader()->minimumHeight() != headerHeight)
        frozen->horizontalHeader()->setMinimumHeight(headerHeight);
    frozen->setGeometry(main->viewport()->x(), main->frameWidth(), width,
                        headerHeight + main->viewport()->height());
}

void GridSelection::setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) {
    if (m_cursor->AllowMove(index))
        QItemSelectionModel::setCurrentIndex(index, command);
}

QSize RowHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    if (count() == 0)
        return size;
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.text = QString::number(count()) + detail::kChangedRowMark;
    const QSize need = style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
    size.setWidth(std::max(size.width(), need.width()));
    return size;
}

} // namespace zpp::controls::detail
