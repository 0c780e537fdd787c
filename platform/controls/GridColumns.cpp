// How the grid's columns show in its views: header texts, widths in character units, hidden and
// frozen columns, and the frozen view made when columns are first frozen.
#include "GridDelegate.h"
#include "GridSort.h"
#include "SpreadGridImpl.h"

#include <QScrollBar>
#include <algorithm>

namespace zpp::controls {

using detail::GridColumn;
using detail::GridView;

double SpreadGrid::Impl::CharWidth() const {
    const QFontMetricsF fm(view->font());
    static const QString sample = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    return fm.horizontalAdvance(sample) / sample.size();
}

void SpreadGrid::Impl::ApplyColumn(int c, bool layOut) {
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

void SpreadGrid::Impl::ApplyColumns() {
    for (int c = 0; c < model->Cols(); ++c)
        ApplyColumn(c, false);
    cursor.LayOut();
}

void SpreadGrid::Impl::SectionResized(int c, int size) {
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

void SpreadGrid::Impl::MakeFrozenView(SpreadGrid* grid) {
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

} // namespace zpp::controls
