#pragma once

#include <QString>
#include <QVariantList>

namespace zpp::bench {

// Runs a statement through the bare SQLite C API, reading every column of every row by its
// type, and gives the milliseconds it took; the benchmarks' yardstick.
double BareScan(const QString& path, const QString& sql, const QVariantList& binds, qint64& rows);

} // namespace zpp::bench
