#pragma once

#include "PurchaseOrderStore.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

namespace zpp::services {

// A read-only list of texts with one hidden key per row (the lists of the bill windows).
class BillRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString Caption;
        bool Numeric = false; // right-aligned
    };
    explicit BillRowsModel(QVector<Column> columns, QObject* parent = nullptr);

    void SetRows(QVector<QStringList> rows, QVector<QVariant> keys);
    QVariant Key(int row) const { return row >= 0 && row < m_keys.size() ? m_keys[row] : QVariant(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVector<Column> m_columns;
    QVector<QStringList> m_rows;
    QVector<QVariant> m_keys;
};

// The lines of a purchase order; quantity, price and delivery date are editable unless the
// order is read-only. A typed value that cannot be saved is refused at once, with the reason.
class OrderLinesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum ColumnId {
        LineNo,
        ItemNumber,
        ItemName,
        Qty,
        Unit,
        Price,
        DiscountRate,
        TaxRate,
        Amount,
        FinishDate,
        Memo,
        Sources,
        ColumnCount
    };
    explicit OrderLinesModel(QObject* parent = nullptr);

    void SetOrder(const PurchaseOrder& order, bool readOnly);
    const QVector<OrderLine>& Lines() const { return m_lines; }
    bool IsDirty() const { return m_dirty; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

Q_SIGNALS:
    void EditRefused(const QString& reason);

private:
    QString Text(const OrderLine& line, int column) const;

    QVector<OrderLine> m_lines;
    QDate m_orderDate;
    bool m_readOnly = true, m_pricesShown = true;
    bool m_dirty = false;
};

} // namespace zpp::services
