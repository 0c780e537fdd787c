#pragma once

#include <QString>

namespace zpp::bench {

// Creates a database of the given name on the server the URL names, or drops it again (drop
// true); gives the URL of that database. Failures throw Error.
QString PgDatabase(const QString& serverUrl, const QString& name, bool drop = false);

} // namespace zpp::bench
