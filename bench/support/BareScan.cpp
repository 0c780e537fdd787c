#include "BareScan.h"

#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace zpp::bench {

double BareScan(const QString& path, const QString& sql, const QVariantList& binds, qint64& rows) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "prepare: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    for (int i = 0; i < binds.size(); ++i) {
        const QByteArray v = binds[i].toString().toUtf8();
        sqlite3_bind_text(stmt, i + 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    }
    QElapsedTimer t;
    t.start();
    qint64 n = 0, bytes = 0, ints = 0;
    double reals = 0;
    const int cols = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++n;
        for (int c = 0; c < cols; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                ints += sqlite3_column_int64(stmt, c);
                break;
            case SQLITE_FLOAT:
                reals += sqlite3_column_double(stmt, c);
                break;
            case SQLITE_TEXT:
                bytes += sqlite3_column_bytes(stmt, c) + (sqlite3_column_text(stmt, c) ? 1 : 0);
                break;
            default:
                break;
            }
        }
    }
    const double ms = double(t.nsecsElapsed()) / 1e6;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    rows = n;
    if (ints + bytes + reals == -1) // keeps the reads from being optimised away
        std::puts("");
    return ms;
}

} // namespace zpp::bench
