#include "SpreadGrid.h"

#include "GridDelegate.h"
#include "GridSort.h"
#include "SpreadGridImpl.h"
#include "platform/records/Error.h"
#include "platform/records/Values.h"
#include "platform/ui/Timing.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace zpp::controls {

using detail::GridColumn;
using detail::GridModel;
using detail::GridSelection;
using detail::GridView;
using detail::RowHeader;

void SpreadGrid::Impl::SetUpView(QTableView* view, QHeaderView* rows) {
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
