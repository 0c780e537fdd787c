#pragma once

// The plan query's reader for SQLite stores, which ReadRptData chooses when the store is a file.

#include "RptData.h"

typedef struct sqlite3 sqlite3;

namespace zpp::services::rptdata {

// The C API handle of Qt's connection to an SQLite store; nullptr for any other store.
sqlite3* SQLiteHandle(const store::Store& store);

// Reads the rows on a worker thread while this one keeps asking whether to go on: SQLite sorts a
// big plan inside a single step, and the progress window must paint and take a Cancel meanwhile.
// The worker reads through a read-only connection of its own (WAL lets it read beside Qt's), so
// whatever this thread does meanwhile never shares a connection with it; sqlite3_interrupt is
// the call SQLite allows from another thread. A store without a file is read here, uncancelled.
RecordListPtr ReadSQLite(sqlite3* db, const QString& sql, const QVariantList& binds, const QString& name,
                         bool withPrices);

} // namespace zpp::services::rptdata
