#include "RowWriter.h"

#include "platform/ui/Prompt.h"

#include <QLocale>
#include <libpq-fe.h>

namespace zpp::store {

namespace {
// Rows in one INSERT: on SQLite fewer statements, on a server fewer round trips; well under each
// store's limit of bound values.
constexpr int kSQLiteRows = 50, kServerRows = 500;

void AppendCopyValue(QByteArray& out, const QVariant& value) {
    if (value.isNull() || !value.isValid()) {
        out += "\\N";
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Double:
        out += QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        out += QByteArray::number(value.toLongLong());
        return;
    case QMetaType::Bool:
        out += value.toBool() ? "1" : "0";
        return;
    default:
        break;
    }
    const QByteArray text = value.toString().toUtf8();
    for (const char ch : text) {
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += ch;
        }
    }
}
} // namespace

RowWriter::RowWriter(const Store& db, const QString& table, const QStringList& columns, Method method)
    : m_db(db), m_table(table), m_columnList(columns.join(QStringLiteral(", "))),
      m_columns(int(columns.size())), m_copy(method == Method::Copy && !db.IsSQLite()) {}

void RowWriter::Add(const QVariantList& row) {
    Q_ASSERT(row.size() == m_columns);
    ++m_rows;
    if (!m_copy) {
        m_values += row;
        return;
    }
    for (int c = 0; c < row.size(); ++c) {
        if (c > 0)
            m_copyText += '\t';
        AppendCopyValue(m_copyText, row[c]);
    }
    m_copyText += '\n';
}

void RowWriter::Flush() {
    if (m_copy)
        FlushCopy();
    else
        FlushInserts();
    m_rows = 0;
}

void RowWriter::FlushInserts() {
    const int total = int(m_values.size() / m_columns);
    const int batch = m_db.IsSQLite() ? kSQLiteRows : kServerRows;
    for (int first = 0; first < total; first += batch) {
        const int rows = std::min(batch, total - first);
        auto it = m_inserts.find(rows);
        if (it == m_inserts.end()) {
            const QString marks = QStringLiteral("(?") + QStringLiteral(", ?").repeated(m_columns - 1) + u')';
            it = m_inserts.insert(
                rows, m_db.Prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(m_table, m_columnList) +
                                   QStringList(rows, marks).join(QStringLiteral(", "))));
        }
        m_db.Run(*it, m_values.mid(qsizetype(first) * m_columns, qsizetype(rows) * m_columns));
    }
    m_values.clear();
}

void RowWriter::FlushCopy() {
    if (m_copyText.isEmpty())
        return;
    const Store::Call call(m_db);
    PGconn* conn = m_db.PgConnection();
    auto fail = [&](PGresult* result) {
        const QString message = QString::fromUtf8(conn ? PQerrorMessage(conn) : "no connection").trimmed();
        const QString state =
            result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
        if (result)
            PQclear(result);
        while (conn && (result = PQgetResult(conn)))
            PQclear(result);
        m_copyText.clear();
        throw StoreError(ui::Tr("数据库 %1 写入 %2 失败。\n%3").arg(m_db.DisplayName(), m_table, message),
                         PQstatus(conn) == CONNECTION_OK ? StoreError::Kind::Statement
                                                         : StoreError::Kind::ConnectionLost,
                         state, false);
    };
    if (!conn)
        fail(nullptr);
    PGresult* start = PQexec(
        conn, QStringLiteral("COPY %1 (%2) FROM STDIN").arg(m_table, m_columnList).toUtf8().constData());
    if (PQresultStatus(start) != PGRES_COPY_IN)
        fail(start);
    PQclear(start);
    if (PQputCopyData(conn, m_copyText.constData(), int(m_copyText.size())) != 1 ||
        PQputCopyEnd(conn, nullptr) != 1)
        fail(nullptr);
    m_copyText.clear();
    PGresult* done = PQgetResult(conn);
    if (PQresultStatus(done) != PGRES_COMMAND_OK)
        fail(done);
    PQclear(done);
    while ((done = PQgetResult(conn)))
        PQclear(done);
}

} // namespace zpp::store
