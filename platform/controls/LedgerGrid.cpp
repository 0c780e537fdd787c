#include "LedgerGrid.h"

#include "platform/records/Values.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace zpp::controls {

void LedgerModel::SetData(const RecordListPtr& columns, const RecordListPtr& records) {
    beginResetModel();
    m_columns = columns ? columns : RecordList::Create();
    m_records = records ? records : RecordList::Create();
    m_fields.clear();
    for (const RecordPtr& c : *m_columns)
        m_fields << c->Text(QStringLiteral("FieldName"));
    endResetModel();
}

QString LedgerModel::FieldName(int column) const {
    return column >= 0 && column < m_fields.size() ? m_fields[column] : QString();
}

int LedgerModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_records ? 0 : m_records->Count();
}

int LedgerModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant LedgerModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const RecordPtr& r = m_records->Item(index.row() + 1);
    const QVariant v = r->Get(m_fields[index.column()], QString());
    if (v.metaType().id() == QMetaType::QDate)
        return values::DisplayDate(v.toDate());
    return v.toString();
}

QVariant LedgerModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= columnCount())
        return {};
    return m_columns->Item(section + 1)->Text(QStringLiteral("Text"));
}

LedgerGrid::LedgerGrid(QWidget* parent) : QTableView(parent), m_model(this) {
    setModel(&m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { Q_EMIT RowActivated(index.row() + 1); });
}

void LedgerGrid::Refresh(const RecordListPtr& columns, const RecordListPtr& records) {
    m_model.SetData(columns, records);
    for (int c = 0; c < m_model.columnCount(); ++c)
        setColumnHidden(c, m_model.Columns()->Item(c + 1)->Get(QStringLiteral("ColHidden"), false).toBool());
    ApplyWidths();
    if (m_model.rowCount() > 0)
        SetCurrentRow(1);
}

int LedgerGrid::CurrentRow() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void LedgerGrid::SetCurrentRow(int row) {
    if (row < 1 || row > m_model.rowCount())
        return;
    int column = 0;
    while (column < m_model.columnCount() - 1 && isColumnHidden(column))
        ++column;
    setCurrentIndex(m_model.index(row - 1, column));
}

QString LedgerGrid::Value(int row, const QString& field) const {
    const RecordListPtr& records = m_model.Records();
    if (!records || row < 1 || row > records->Count())
        return {};
    return records->Item(row)->Get(field, QString()).toString();
}

void LedgerGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    ApplyWidths();
}

void LedgerGrid::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && CurrentRow() > 0) {
        Q_EMIT RowActivated(CurrentRow());
        return;
    }
    QTableView::keyPressEvent(event);
}

void LedgerGrid::ApplyWidths() {
    const int available = viewport()->width();
    for (int c = 0; c < m_model.columnCount(); ++c) {
        const double w = values::Val(m_model.Columns()->Item(c + 1)->Get(QStringLiteral("ColWidth"), 0));
        if (w <= 0)
            continue;
        setColumnWidth(c, w <= 1 ? int(available * w) : int(w));
    }
}

} // namespace zpp::controls
