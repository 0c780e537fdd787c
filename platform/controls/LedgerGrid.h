#pragma once

#include "platform/records/KeyedRecord.h"

#include <QAbstractTableModel>
#include <QTableView>

namespace zpp::controls {

// A read-only report grid: columns described by keyed records ("Col", "Text", "FieldName",
// "ColWidth", "ColHidden") and one row per record of a record list. Widths at or below 1 are
// fractions of the grid's width, larger ones are pixels.
class LedgerModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetData(const RecordListPtr& columns, const RecordListPtr& records);
    const RecordListPtr& Columns() const { return m_columns; }
    const RecordListPtr& Records() const { return m_records; }
    // The column's field name, by 0-based model column.
    QString FieldName(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    RecordListPtr m_columns;
    RecordListPtr m_records;
    QStringList m_fields;
};

class LedgerGrid : public QTableView {
    Q_OBJECT
public:
    explicit LedgerGrid(QWidget* parent = nullptr);

    // Shows the records under the described columns; the current row moves to the first row.
    void Refresh(const RecordListPtr& columns, const RecordListPtr& records);
    // 1-based current row, 0 when there is none.
    int CurrentRow() const;
    void SetCurrentRow(int row);
    // The text of a field in a 1-based row, empty outside the rows.
    QString Value(int row, const QString& field) const;
    int Rows() const { return m_model.rowCount(); }
    LedgerModel& Model() { return m_model; }

Q_SIGNALS:
    // A double click or Enter on a row (1-based).
    void RowActivated(int row);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ApplyWidths();
    LedgerModel m_model;
};

} // namespace zpp::controls
