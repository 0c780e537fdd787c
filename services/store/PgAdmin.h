#pragma once

#include <QString>

namespace zpp::store {

// Creates a database of the given name on the PostgreSQL server the URL names, or drops it again
// (drop true); gives the URL of that database. Tests and benchmarks make their stores with it.
// Failures throw Error.
QString PostgresDatabase(const QString& serverUrl, const QString& name, bool drop = false);

} // namespace zpp::store
