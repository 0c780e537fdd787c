#pragma once

#include "component/host/LongWork.h"
#include "services/store/Store.h"

#include <QString>
#include <QVariantList>
#include <functional>
#include <libpq-fe.h>
#include <string_view>

namespace zpp::services {

// Reads the rows of one statement straight from libpq, row by row, so that a large plan list
// neither waits for the whole result nor pays for QVariant per cell. The connection belongs to
// Qt's driver: no QSqlQuery may still be reading on it, and whatever happens here (end, error,
// cancel, early destruction) it is left idle with no result pending.
class PgRowCursor {
public:
    // sql uses '?' placeholders; binds are bound as texts (a null QVariant as NULL). keepGoing is
    // asked about every 50 ms while the cursor waits for or reads rows; when it says false the
    // statement is cancelled on the server and Next() throws Cancelled. Failures throw Error.
    PgRowCursor(PGconn* conn, const QString& sql, const QVariantList& binds, const QString& storeName,
                std::function<bool()> keepGoing = {});
    ~PgRowCursor();
    PgRowCursor(const PgRowCursor&) = delete;
    PgRowCursor& operator=(const PgRowCursor&) = delete;

    bool Next();
    // Columns of the current row by position; texts as the server sent them.
    bool Null(int c) const { return PQgetisnull(m_res, m_row, c) != 0; }
    qint64 Int(int c) const;
    double Real(int c) const;
    // The column's UTF-8 text bytes, valid until the next call of Next().
    std::string_view Raw(int c) const {
        return {PQgetvalue(m_res, m_row, c), std::size_t(PQgetlength(m_res, m_row, c))};
    }

private:
    void AwaitResult();
    void CheckKeepGoing();
    // Cancels what the server still runs for this cursor and reads the connection empty.
    void Abandon() noexcept;
    void Drain() noexcept;
    // broken: the connection is known to be gone or unusable.
    [[noreturn]] void Fail(const QString& message, bool broken = false) const;

    PGconn* m_conn;
    QString m_storeName;
    std::function<bool()> m_keepGoing;
    PGresult* m_res = nullptr;
    int m_row = 0, m_rows = 0;
    bool m_pending = false; // results of the statement not yet taken from the connection
    unsigned m_sinceCheck = 0;
    qint64 m_nextCheckNs = 0;
};

} // namespace zpp::services
