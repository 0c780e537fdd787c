#include "SpreadGrid.h"

#include "GridDelegate.h"
#include "GridModel.h"
#include "GridSort.h"
#include "platform/records/Error.h"
#include "platform/records/Values.h"
#include "platform/ui/Timing.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleOption>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace zpp::controls {

using detail::GridColumn;
using detail::GridModel;

namespace {

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
    GridView(Cursor* cursor, bool frozen, QWidget* parent)
        : QTableView(parent), m_cursor(cursor), m_frozen(frozen) {}

    void LayOutNow() { executeDelayedItemsLayout(); }

    bool CommitEditHere() {
        if (state() != EditingState)
            return false;
        QWidget* editor = indexWidget(currentIndex());
        if (!editor)
            return false;
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
        return true;
    }

    // Moves and selections reckoned over every column, for keys pressed in the frozen view
    // (which hides the scrolling columns).
    QModelIndex BaseMoveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
        return QTableView::moveCursor(action, modifiers);
    }
    void BaseKeyPress(QKeyEvent* event) {
        m_cursor->approved = QPersistentModelIndex();
        QTableView::keyPressEvent(event);
        m_cursor->approved = QPersistentModelIndex();
    }

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        // An editor opens in the view that shows its cell, not under the frozen columns. A
        // mouse event stays with the view it came to: its position is that view's.
        const bool mouse = event && (event->type() == QEvent::MouseButtonPress ||
                                     event->type() == QEvent::MouseButtonRelease ||
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

    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        const QModelIndex to = m_frozen ? m_cursor->main->BaseMoveCursor(action, modifiers)
                                        : QTableView::moveCursor(action, modifiers);
        if (!to.isValid() || to == currentIndex())
            return to;
        if (!m_cursor->AllowMove(to))
            return currentIndex();
        m_cursor->approved = to;
        return to;
    }

    void scrollTo(const QModelIndex& index, ScrollHint hint) override {
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

    void updateGeometries() override {
        QTableView::updateGeometries();
        if (!m_frozen)
            m_cursor->LayOut();
    }

    void focusInEvent(QFocusEvent* event) override {
        QTableView::focusInEvent(event);
        const QModelIndex current = currentIndex();
        if (!m_frozen && current.isValid() && m_cursor->ViewFor(current.column()) != this)
            m_cursor->frozen->setFocus(event->reason());
    }

    void mousePressEvent(QMouseEvent* event) override {
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

    void mouseMoveEvent(QMouseEvent* event) override {
        if (m_swallowRelease)
            return;
        QTableView::mouseMoveEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (m_swallowRelease) {
            m_swallowRelease = false;
            event->accept();
            return;
        }
        QTableView::mouseReleaseEvent(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
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

private:
    static bool IsMoveKey(int key) {
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

    Cursor* m_cursor;
    bool m_frozen;
    bool m_swallowRelease = false;
};

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

class GridSelection : public QItemSelectionModel {
public:
    GridSelection(QAbstractItemModel* model, Cursor* cursor, QObject* parent)
        : QItemSelectionModel(model, parent), m_cursor(cursor) {}

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
        if (m_cursor->AllowMove(index))
            QItemSelectionModel::setCurrentIndex(index, command);
    }

private:
    Cursor* m_cursor;
};

// Row numbers with room for the mark of unsaved edits on any row, not only the rows the
// header measures (the first and last hundred).
class RowHeader : public QHeaderView {
public:
    using QHeaderView::QHeaderView;

    QSize sizeHint() const override {
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
};

} // namespace

struct SpreadGrid::Impl {
    GridModel* model = nullptr;
    GridView* view = nullptr;
    Cursor cursor;
    bool applyingWidths = false;
    // The active cell across a model reset, which forgets it (0-based; -1 when none).
    int keepCol = -1;
    int keepRow = -1;
    bool keepSet = false;

    bool HasCol(int col) const { return col >= 1 && col <= model->Cols(); }
    bool HasCell(int col, int row) const { return HasCol(col) && row >= 1 && row <= model->Rows(); }

    double CharWidth() const {
        const QFontMetricsF fm(view->font());
        static const QString sample = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
        return fm.horizontalAdvance(sample) / sample.size();
    }
    static constexpr int kPadding = 6;

    void ApplyColumn(int c, bool layOut = true) {
        if (c >= view->model()->columnCount())
            return;
        const GridColumn& col = model->Col(c);
        const int width = std::max(0, qRound(col.width * CharWidth()) + kPadding);
        applyingWidths = true;
        view->setColumnHidden(c, col.hidden);
        if (!col.hidden)
            view->setColumnWidth(c, width);
        if (GridView* frozen = cursor.frozen) {
            const bool hidden = col.hidden || c >= cursor.frozenCols;
            frozen->setColumnHidden(c, hidden);
            if (!hidden)
                frozen->setColumnWidth(c, width);
        }
        applyingWidths = false;
        if (layOut)
            cursor.LayOut();
    }

    void ApplyColumns() {
        for (int c = 0; c < model->Cols(); ++c)
            ApplyColumn(c, false);
        cursor.LayOut();
    }

    // A width dragged in one view's header goes to the other and is remembered in the
    // grid's own unit.
    void SectionResized(int c, int size) {
        if (applyingWidths || c >= model->Cols() || size <= 0 || model->Col(c).hidden)
            return;
        model->Col(c).width = std::max(0.0, (size - kPadding) / CharWidth());
        if (GridView* frozen = cursor.frozen; frozen && c < cursor.frozenCols) {
            for (QTableView* v : {static_cast<QTableView*>(view), static_cast<QTableView*>(frozen)})
                if (v->columnWidth(c) != size)
                    v->setColumnWidth(c, size);
            cursor.LayOut();
        }
    }

    static void SetUpView(QTableView* view, QHeaderView* rows) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectItems);
        view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
        view->setWordWrap(false);
        // Fixed row heights keep resets and scrolling independent of the row count.
        rows->setSectionResizeMode(QHeaderView::Fixed);
        rows->setMinimumSectionSize(8);
        rows->setDefaultSectionSize(view->fontMetrics().height() + 6);
        rows->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
        view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        view->horizontalHeader()->setHighlightSections(false);
    }

    void MakeFrozenView(SpreadGrid* grid) {
        auto* frozen = new GridView(&cursor, true, view);
        frozen->setObjectName(QStringLiteral("frozenView"));
        frozen->setModel(model);
        QItemSelectionModel* own = frozen->selectionModel();
        frozen->setSelectionModel(view->selectionModel());
        delete own;
        // One delegate per view: a delegate's closeEditor reaches every view it serves.
        frozen->setItemDelegate(new detail::GridDelegate(model, grid, frozen));
        SetUpView(frozen, frozen->verticalHeader());
        detail::SetUpHeader(*grid, *frozen);
        frozen->verticalHeader()->setDefaultSectionSize(view->verticalHeader()->defaultSectionSize());
        frozen->verticalHeader()->setMinimumSectionSize(view->verticalHeader()->minimumSectionSize());
        frozen->verticalHeader()->hide();
        frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        frozen->setFrameShape(QFrame::NoFrame);
        frozen->setAccessibleName(view->accessibleName());
        // Pixel steps, so the first scrolling column can stand right beside the frozen ones.
        view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        frozen->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        view->viewport()->stackUnder(frozen);
        QScrollBar* mainBar = view->verticalScrollBar();
        QScrollBar* frozenBar = frozen->verticalScrollBar();
        QObject::connect(mainBar, &QScrollBar::valueChanged, frozenBar, &QScrollBar::setValue);
        QObject::connect(frozenBar, &QScrollBar::valueChanged, mainBar, &QScrollBar::setValue);
        QObject::connect(frozen, &QAbstractItemView::clicked, grid,
                         [grid](const QModelIndex& i) { Q_EMIT grid->Clicked(i.column() + 1, i.row() + 1); });
        QObject::connect(frozen->horizontalHeader(), &QHeaderView::sectionResized, grid,
                         [this](int c, int, int size) { SectionResized(c, size); });
        cursor.frozen = frozen;
    }
};

SpreadGrid::SpreadGrid(QWidget* parent) : QWidget(parent), d(std::make_unique<Impl>()) {
    d->cursor.grid = this;
    d->model = new GridModel(this);
    d->view = new GridView(&d->cursor, false, this);
    d->cursor.main = d->view;
    QTableView* view = d->view;
    auto* rows = new RowHeader(Qt::Vertical, view);
    rows->setSectionsClickable(true);
    rows->setHighlightSections(true);
    view->setVerticalHeader(rows);
    view->setModel(d->model);
    QItemSelectionModel* old = view->selectionModel();
    view->setSelectionModel(new GridSelection(d->model, &d->cursor, view));
    delete old;
    view->setItemDelegate(new detail::GridDelegate(d->model, this, view));
    Impl::SetUpView(view, rows);
    detail::SetUpHeader(*this, *view);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    setFocusProxy(view);
    SetAccessibleName(QCoreApplication::translate("SpreadGrid", "表格"));

    d->model->onUserChanged = [this](int col, int row) { Q_EMIT Changed(col, row); };
    d->model->onReset = [this] {
        d->ApplyColumns();
        if (d->keepCol >= 0 && d->keepCol < d->model->Cols() && d->keepRow < d->model->Rows()) {
            const QModelIndex i = d->model->index(d->keepRow, d->keepCol);
            d->cursor.ProgramMove(
                [&] { d->view->selectionModel()->setCurrentIndex(i, QItemSelectionModel::NoUpdate); });
        }
        d->keepCol = d->keepRow = -1;
        d->keepSet = false;
    };
    connect(d->model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (d->keepSet)
            return;
        const QModelIndex i = d->view->currentIndex();
        d->keepCol = i.isValid() ? i.column() : -1;
        d->keepRow = i.isValid() ? i.row() : -1;
    });
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& i) {
        // Keys go to the view that shows the cell, so typing opens the editor where it is seen.
        if (i.isValid() && d->cursor.frozenOn) {
            GridView* owner = d->cursor.ViewFor(i.column());
            GridView* other = owner == d->view ? d->cursor.frozen : d->view;
            if (other->hasFocus())
                owner->setFocus(Qt::OtherFocusReason);
        }
        Q_EMIT CellEntered(i.isValid() ? i.column() + 1 : 0, i.isValid() ? i.row() + 1 : 0);
    });
    connect(view, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& i) { Q_EMIT Clicked(i.column() + 1, i.row() + 1); });
    connect(view->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int c, int, int size) { d->SectionResized(c, size); });
}

SpreadGrid::~SpreadGrid() {
    // The views and their selection model reach into the shared cursor to their end.
    delete d->view;
}

int SpreadGrid::MaxCols() const {
    return d->model->Cols();
}

void SpreadGrid::SetMaxCols(int cols) {
    d->model->SetCols(cols);
}

int SpreadGrid::MaxRows() const {
    return d->model->Rows();
}

void SpreadGrid::SetMaxRows(int rows) {
    d->model->SetRows(rows);
}

void SpreadGrid::ShareTexts(int col, int firstRow, std::span<const int> fromRows) {
    const int rows = d->model->Rows();
    const int last = firstRow + int(fromRows.size()) - 1;
    if (fromRows.empty())
        return;
    if (!d->HasCell(col, firstRow) || last > rows)
        throw Error(QStringLiteral("单元格（第 %1 列，第 %2 行）不在表格内").arg(col).arg(last));
    for (const int from : fromRows)
        if (from < 0 || from > rows)
            throw Error(QStringLiteral("单元格（第 %1 列，第 %2 行）不在表格内").arg(col).arg(from));
    d->model->Share(col - 1, firstRow - 1, fromRows);
}

void SpreadGrid::BeginFill() {
    d->model->BeginFill();
}

void SpreadGrid::EndFill() {
    d->model->EndFill();
}

void SpreadGrid::MarkRowsUnchanged() {
    d->model->MarkRowsUnchanged();
}

void SpreadGrid::MarkRowChanged(int row) {
    if (row >= 1 && row <= MaxRows())
        d->model->MarkRowChanged(row - 1);
}

bool SpreadGrid::RowChanged(int row) const {
    return row >= 1 && row <= MaxRows() && d->model->RowChanged(row - 1);
}

int SpreadGrid::ChangedRowCount() const {
    return d->model->ChangedRows();
}

void SpreadGrid::MarkRowUnchanged(int row) {
    if (row >= 1 && row <= MaxRows())
        d->model->UnmarkRow(row - 1);
}

void SpreadGrid::SetWriteWatch(WriteWatch watch) {
    d->model->onWrite = nullptr;
    if (watch.Written)
        d->model->onWrite = [w = std::move(watch.Written)](int c, int r, QStringView before, bool byUser) {
            w(c + 1, r + 1, before.toString(), byUser);
        };
    d->model->onBaseline = std::move(watch.Reset);
}

QString SpreadGrid::HeaderText(int col) const {
    return d->HasCol(col) ? d->model->Col(col - 1).header : QString();
}

void SpreadGrid::SetHeaderText(int col, const QString& text) {
    if (!d->HasCol(col))
        return;
    d->model->Col(col - 1).header = text;
    d->model->HeaderChanged(col - 1);
}

double SpreadGrid::ColWidth(int col) const {
    return d->HasCol(col) ? d->model->Col(col - 1).width : 0;
}

void SpreadGrid::SetColWidth(int col, double width) {
    if (!d->HasCol(col))
        return;
    d->model->Col(col - 1).width = std::max(0.0, width);
    d->ApplyColumn(col - 1);
}

double SpreadGrid::HeaderTextWidth(const QString& text) const {
    const QFontMetricsF fm(d->view->horizontalHeader()->font());
    return (fm.horizontalAdvance(text) + 4 * d->kPadding) / d->CharWidth();
}

std::optional<std::pair<int, int>> SpreadGrid::Find(const QString& text, int col, int row, bool forward,
                                                    bool matchCase) const {
    const int rows = MaxRows(), cols = MaxCols();
    if (text.isEmpty() || rows < 1 || cols < 1)
        return std::nullopt;
    QVector<int> shown;
    for (int c = 0; c < cols; ++c)
        if (!d->model->Col(c).hidden)
            shown << c;
    if (shown.isEmpty())
        return std::nullopt;
    // Text without letters of two cases matches itself in any case: the exact search is faster.
    const bool caseless = text.toLower() == text && text.toUpper() == text;
    const Qt::CaseSensitivity cs = matchCase || caseless ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const int startRow = std::clamp(row, 1, rows) - 1;
    const int startCol = std::clamp(col, 1, cols) - 1;
    const auto cell = [&](int c, int r) { return d->model->Col(c).cells.FindRow(text, r, r, true, cs) == r; };
    // Reading order over the shown columns. The start cell is the last one visited, so a
    // repeated find moves on and a lone match is found again.
    const auto inStartRow = [&](bool after) -> std::optional<std::pair<int, int>> {
        const int n = int(shown.size());
        for (int k = 0; k < n; ++k) {
            const int c = shown[forward ? k : n - 1 - k];
            const bool isAfter = forward ? c > startCol : c < startCol;
            if (isAfter == after && cell(c, startRow))
                return std::pair{c + 1, startRow + 1};
        }
        return std::nullopt;
    };
    // The nearest row of [from, to] holding the text in any shown column, the earlier column on a tie.
    const auto inRows = [&](int from, int to) -> std::optional<std::pair<int, int>> {
        int bestCol = -1, bestRow = -1;
        const int n = int(shown.size());
        for (int k = 0; k < n; ++k) {
            const int c = shown[forward ? k : n - 1 - k];
            // A later column must come strictly nearer to win.
            const int lo = bestRow >= 0 && !forward ? bestRow + 1 : from;
            const int hi = bestRow >= 0 && forward ? bestRow - 1 : to;
            const int r = d->model->Col(c).cells.FindRow(text, lo, hi, forward, cs);
            if (r >= 0) {
                bestCol = c;
                bestRow = r;
            }
        }
        return bestRow >= 0 ? std::optional(std::pair{bestCol + 1, bestRow + 1}) : std::nullopt;
    };
    if (auto hit = inStartRow(true))
        return hit;
    if (auto hit = forward ? inRows(startRow + 1, rows - 1) : inRows(0, startRow - 1))
        return hit;
    if (auto hit = forward ? inRows(0, startRow - 1) : inRows(startRow + 1, rows - 1))
        return hit;
    return inStartRow(false);
}

bool SpreadGrid::ColHidden(int col) const {
    return d->HasCol(col) && d->model->Col(col - 1).hidden;
}

void SpreadGrid::SetColHidden(int col, bool hidden) {
    if (!d->HasCol(col))
        return;
    d->model->Col(col - 1).hidden = hidden;
    d->ApplyColumn(col - 1);
}

void SpreadGrid::SetRowHeight(int pixels) {
    for (QTableView* view : {static_cast<QTableView*>(d->view), static_cast<QTableView*>(d->cursor.frozen)}) {
        if (!view)
            continue;
        QHeaderView* rows = view->verticalHeader();
        rows->setMinimumSectionSize(std::min(rows->minimumSectionSize(), std::max(pixels, 1)));
        rows->setDefaultSectionSize(std::max(pixels, 1));
    }
}

void SpreadGrid::SetFrozenCols(int cols) {
    cols = std::max(cols, 0);
    if (cols > 0 && !d->cursor.frozen)
        d->MakeFrozenView(this);
    d->cursor.frozenCols = cols;
    if (d->cursor.frozen)
        d->ApplyColumns();
}

int SpreadGrid::FrozenCols() const {
    return d->cursor.frozenCols;
}

QTableView* SpreadGrid::FrozenView() const {
    return d->cursor.frozen;
}

CellType SpreadGrid::ColCellType(int col) const {
    return d->HasCol(col) ? d->model->Col(col - 1).type : CellType::Text;
}

void SpreadGrid::SetColCellType(int col, CellType type) {
    if (!d->HasCol(col))
        return;
    d->model->Col(col - 1).type = type;
    d->model->ColumnChanged(col - 1);
}

void SpreadGrid::SetColDecimals(int col, int decimals) {
    if (!d->HasCol(col))
        return;
    d->model->Col(col - 1).decimals = std::clamp(decimals, 0, 10);
    d->model->Reformat(col - 1, -1);
}

void SpreadGrid::SetColMin(int col, double min) {
    if (d->HasCol(col))
        d->model->Col(col - 1).min = min;
}

void SpreadGrid::SetColMax(int col, double max) {
    if (d->HasCol(col))
        d->model->Col(col - 1).max = max;
}

void SpreadGrid::SetColAlign(int col, HAlign align) {
    if (!d->HasCol(col))
        return;
    d->model->Col(col - 1).align = align;
    d->model->ColumnChanged(col - 1);
}

void SpreadGrid::SetLockAll(bool locked) {
    d->model->SetLockAll(locked);
}

void SpreadGrid::SetColLock(int col, bool locked) {
    if (d->HasCol(col))
        d->model->Col(col - 1).lock = locked ? 1 : 0;
}

bool SpreadGrid::ColLocked(int col) const {
    return d->HasCol(col) ? d->model->ColLocked(col - 1) : d->model->LockAll();
}

void SpreadGrid::SetCellLock(int col, int row, bool locked) {
    if (!d->HasCell(col, row))
        return;
    auto& locks = d->model->Col(col - 1).cellLock;
    if (locks.empty())
        locks.assign(d->model->Rows(), -1);
    locks[row - 1] = locked ? 1 : 0;
}

void SpreadGrid::SetCellNote(int col, int row, const QString& note) {
    if (d->HasCell(col, row))
        d->model->SetNote(col - 1, row - 1, note);
}

void SpreadGrid::SetColFormula(int col, std::function<QString(int row)> formula) {
    if (d->HasCol(col))
        d->model->SetFormula(col - 1, formula ? [f = std::move(formula)](int r) { return f(r + 1); }
                                              : std::function<QString(int)>());
}

QString SpreadGrid::CellNote(int col, int row) const {
    return d->HasCell(col, row) ? d->model->Note(col - 1, row - 1) : QString();
}

bool SpreadGrid::CellLocked(int col, int row) const {
    return d->HasCell(col, row) ? d->model->Locked(col - 1, row - 1) : ColLocked(col);
}

void SpreadGrid::SetCellDecimals(int col, int row, int decimals) {
    if (!d->HasCell(col, row))
        return;
    auto& decs = d->model->Col(col - 1).cellDecimals;
    if (decs.empty())
        decs.assign(d->model->Rows(), -1);
    decs[row - 1] = static_cast<qint8>(std::clamp(decimals, 0, 10));
    d->model->Reformat(col - 1, row - 1);
}

int SpreadGrid::CellDecimals(int col, int row) const {
    return d->HasCell(col, row) ? d->model->Decimals(col - 1, row - 1) : 0;
}

QString SpreadGrid::Text(int col, int row) const {
    return d->HasCell(col, row) ? d->model->Text(col - 1, row - 1) : QString();
}

QStringView SpreadGrid::StoredText(int col, int row) const {
    return d->HasCell(col, row) ? d->model->Col(col - 1).cells.Get(row - 1) : QStringView();
}

void SpreadGrid::SetText(int col, int row, const QString& text) {
    if (!d->HasCell(col, row))
        throw Error(QStringLiteral("单元格（第 %1 列，第 %2 行）不在表格内").arg(col).arg(row));
    const GridColumn& c = d->model->Col(col - 1);
    detail::CellChars out;
    const auto normal = detail::NormaliseCell(c.type, d->model->Decimals(col - 1, row - 1), text, out);
    if (!normal)
        throw Error(
            QStringLiteral("单元格（第 %1 列，第 %2 行）不能接受“%3”").arg(col).arg(row).arg(text.left(40)));
    d->model->Store(col - 1, row - 1, *normal);
}

void SpreadGrid::SetValue(int col, int row, const QVariant& value) {
    if (!d->HasCell(col, row))
        return SetText(col, row, value.toString());
    const CellType type = d->model->Col(col - 1).type;
    detail::CellChars out;
    QStringView cell;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong: {
        const qint64 v = value.toLongLong();
        if (type == CellType::Number) {
            cell = detail::NumberCell(double(v), d->model->Decimals(col - 1, row - 1), out);
        } else if (type == CellType::CheckBox) {
            cell = v != 0 ? QStringView(u"1") : QStringView(u"0");
        } else if (type == CellType::Text) {
            char chars[24];
            const auto end = std::to_chars(chars, chars + sizeof chars, v).ptr;
            std::copy(chars, end, out.begin());
            cell = QStringView(out.data(), end - chars);
        } else {
            return SetText(col, row, value.toString());
        }
        break;
    }
    case QMetaType::Double: {
        // Within this range the text of the value is a number IsNumber accepts and Val reads
        // back exactly; outside it the text's own rules decide.
        const double v = value.toDouble();
        const double a = std::fabs(v);
        if (!(a == 0 || (a > 1e-299 && a < 1e299)) ||
            (type != CellType::Number && type != CellType::CheckBox))
            return SetText(col, row, value.toString());
        if (type == CellType::Number)
            cell = detail::NumberCell(v, d->model->Decimals(col - 1, row - 1), out);
        else
            cell = v != 0 ? QStringView(u"1") : QStringView(u"0");
        break;
    }
    case QMetaType::QString:
        return SetText(col, row, *static_cast<const QString*>(value.constData()));
    default:
        return SetText(col, row, value.toString());
    }
    d->model->Store(col - 1, row - 1, cell);
}

void SpreadGrid::SetDate(int col, int row, const QDate& date) {
    SetText(col, row, values::DisplayDate(date));
}

int SpreadGrid::ActiveCol() const {
    if (d->keepSet)
        return d->keepCol + 1;
    const QModelIndex i = d->view->currentIndex();
    return i.isValid() ? i.column() + 1 : 0;
}

int SpreadGrid::ActiveRow() const {
    if (d->keepSet)
        return d->keepRow + 1;
    const QModelIndex i = d->view->currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void SpreadGrid::SetActiveCell(int col, int row) {
    if (!d->HasCell(col, row))
        return;
    if (!d->model->Redraw()) {
        // The view does not know the new shape yet; the reset puts the cell back.
        if (col - 1 >= d->model->columnCount() || row - 1 >= d->model->rowCount()) {
            d->keepCol = col - 1;
            d->keepRow = row - 1;
            d->keepSet = true;
            return;
        }
    }
    d->keepSet = false;
    const QModelIndex i = d->model->index(row - 1, col - 1);
    d->cursor.ProgramMove([&] { d->view->setCurrentIndex(i); });
}

bool SpreadGrid::CommitEdit() {
    return d->cursor.CommitEdit();
}

bool SpreadGrid::OpenedByTyping() const {
    return d->cursor.typing;
}

QVector<RowBlock> SpreadGrid::SelectedRowBlocks() const {
    QVector<RowBlock> blocks;
    const QItemSelection selection = d->view->selectionModel()->selection();
    if (selection.size() == 1 && selection[0].width() == 1 && selection[0].height() == 1 &&
        selection[0].topLeft() == d->view->currentIndex())
        return blocks;
    for (const QItemSelectionRange& range : selection)
        blocks.push_back({range.top() + 1, range.bottom() + 1});
    std::sort(blocks.begin(), blocks.end(),
              [](const RowBlock& a, const RowBlock& b) { return a.First < b.First; });
    QVector<RowBlock> merged;
    for (const RowBlock& b : blocks) {
        if (!merged.isEmpty() && b.First <= merged.back().Last + 1)
            merged.back().Last = std::max(merged.back().Last, b.Last);
        else
            merged.push_back(b);
    }
    return merged;
}

void SpreadGrid::SetRedraw(bool on) {
    if (on == d->model->Redraw())
        return;
    if (!on) {
        timing::Mark("grid-fill");
        setUpdatesEnabled(false);
        d->model->SetRedraw(false);
        return;
    }
    d->model->SetRedraw(true);
    setUpdatesEnabled(true);
    timing::Mark("grid-filled");
}

bool SpreadGrid::Redraw() const {
    return d->model->Redraw();
}

void SpreadGrid::ScrollToRow(int row) {
    if (row < 1 || row > d->model->rowCount())
        return;
    d->view->LayOutNow();
    QScrollBar* bar = d->view->verticalScrollBar();
    if (d->view->verticalScrollMode() == QAbstractItemView::ScrollPerItem)
        bar->setValue(row - 1);
    else
        bar->setValue(d->view->rowViewportPosition(row - 1) + bar->value());
}

int SpreadGrid::PageRows() const {
    const int height = d->view->verticalHeader()->defaultSectionSize();
    return std::max(1, d->view->viewport()->height() / std::max(1, height));
}

QTableView* SpreadGrid::View() const {
    return d->view;
}

void SpreadGrid::SetAccessibleName(const QString& name) {
    setAccessibleName(name);
    d->view->setAccessibleName(name);
    if (d->cursor.frozen)
        d->cursor.frozen->setAccessibleName(name);
}

} // namespace zpp::controls
