#include "SchemeListView.h"

#include <QHeaderView>
#include <QListView>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>

namespace zpp {

namespace {
constexpr int kKeyRole = Qt::UserRole + 1;
}

SchemeListView::SchemeListView(QWidget* parent) : QStackedWidget(parent) {
    m_model = new QStandardItemModel(0, 1, this);
    m_icons = new QListView(this);
    m_icons->setObjectName(QStringLiteral("lvwSchemeIcons"));
    m_icons->setModel(m_model);
    m_icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_icons->setSelectionMode(QAbstractItemView::SingleSelection);
    m_icons->setMovement(QListView::Static);
    m_icons->setResizeMode(QListView::Adjust);

    m_details = new QTreeView(this);
    m_details->setObjectName(QStringLiteral("lvwSchemeDetails"));
    m_details->setModel(m_model);
    m_details->setSelectionModel(m_icons->selectionModel());
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->setSelectionMode(QAbstractItemView::SingleSelection);
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);

    addWidget(m_icons);
    addWidget(m_details);
    connect(m_icons, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& i) { Q_EMIT RowClicked(i.row() + 1); });
    connect(m_details, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& i) { Q_EMIT RowClicked(i.row() + 1); });
    SetViewMode(LargeIcons);
}

void SchemeListView::SetColumnTitle(const QString& title) {
    m_model->setHorizontalHeaderLabels({title});
    m_icons->setAccessibleName(title);
    m_details->setAccessibleName(title);
    setAccessibleName(title);
}

QString SchemeListView::ColumnTitle() const {
    return m_model->headerData(0, Qt::Horizontal).toString();
}

void SchemeListView::Clear() {
    m_model->removeRows(0, m_model->rowCount());
}

int SchemeListView::AddRow(const QString& text, const QString& key) {
    auto* item = new QStandardItem(style()->standardIcon(QStyle::SP_FileDialogDetailedView), text);
    item->setData(key, kKeyRole);
    item->setEditable(false);
    m_model->appendRow(item);
    return m_model->rowCount();
}

int SchemeListView::RowCount() const {
    return m_model->rowCount();
}

QString SchemeListView::RowText(int row) const {
    const QStandardItem* item = m_model->item(row - 1);
    return item ? item->text() : QString();
}

QString SchemeListView::RowKey(int row) const {
    const QStandardItem* item = m_model->item(row - 1);
    return item ? item->data(kKeyRole).toString() : QString();
}

int SchemeListView::FindKey(const QString& key) const {
    for (int row = 1; row <= RowCount(); ++row)
        if (RowKey(row) == key)
            return row;
    return 0;
}

int SchemeListView::SelectedRow() const {
    const QModelIndexList rows = m_icons->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

void SchemeListView::SelectRow(int row) {
    const QModelIndex index = m_model->index(row - 1, 0);
    if (index.isValid())
        m_icons->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void SchemeListView::SetViewMode(int view) {
    m_view = view;
    const int small = style()->pixelMetric(QStyle::PM_SmallIconSize);
    const int large = style()->pixelMetric(QStyle::PM_LargeIconSize);
    switch (view) {
    case LargeIcons:
        m_icons->setViewMode(QListView::IconMode);
        m_icons->setIconSize(QSize(large, large));
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setWrapping(true);
        setCurrentWidget(m_icons);
        break;
    case SmallIcons:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setIconSize(QSize(small, small));
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setWrapping(true);
        setCurrentWidget(m_icons);
        break;
    case List:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setIconSize(QSize(small, small));
        m_icons->setFlow(QListView::TopToBottom);
        m_icons->setWrapping(true);
        setCurrentWidget(m_icons);
        break;
    default:
        m_view = Details;
        m_details->setIconSize(QSize(small, small));
        setCurrentWidget(m_details);
        break;
    }
    // Changing the view mode lets icons be dragged about; schemes stay in their order.
    m_icons->setMovement(QListView::Static);
}

} // namespace zpp
