#pragma once

#include "Store.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QVariantList>

namespace zpp::store {

// Many new rows of one table, as quickly as the store takes them: INSERTs of many rows (on a server
// a statement a row would cost a round trip each), or on PostgreSQL COPY when asked for. COPY is
// quicker still but refused on a table with row-level security to a role the policies hold, so
// only a writer that owns the tables (the demo generator) asks for it. Rows wait for Flush, which
// the caller runs inside its transaction, the writer of a parent table before its children's,
// since each row's references are checked as it goes in.
class RowWriter {
public:
    enum class Method { Insert, Copy };
    RowWriter(const Store& db, const QString& table, const QStringList& columns,
              Method method = Method::Insert);

    // One row, its values in the order of the columns; a null QVariant is NULL.
    void Add(const QVariantList& row);
    qsizetype Pending() const { return m_rows; }
    // Writes what waits; fails with a StoreError and leaves the transaction to be rolled back.
    void Flush();

private:
    void FlushInserts();
    void FlushCopy();

    const Store& m_db;
    QString m_table, m_columnList;
    int m_columns;
    bool m_copy;
    qsizetype m_rows = 0;
    QVariantList m_values;           // INSERT
    QByteArray m_copyText;           // COPY's text format
    QHash<int, QSqlQuery> m_inserts; // by rows a statement
};

} // namespace zpp::store
