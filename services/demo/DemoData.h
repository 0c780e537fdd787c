#pragma once

#include "services/store/Store.h"

namespace zpp::store {

inline constexpr qlonglong kDefaultDemoEntries = 400;

// Creates a new store at location (an SQLite file or a PostgreSQL URL) and fills it with
// demo data holding the given number of plan entries. Refuses a location that already
// holds a store, so nothing existing is overwritten.
StorePtr GenerateStore(const QString& location, qlonglong planEntries);

// Creates a new, empty store for a company's own data, refusing an existing one as above. Its first
// user, holding every right, is named administrator ("admin" when empty). On PostgreSQL (run by
// the server's superuser, or the database's owner holding CREATEROLE) it also makes that user's
// login role with the given password; a role of that name on the server already is refused.
StorePtr CreateEmptyStore(const QString& location, const QString& administrator,
                          const QString& adminPassword);

} // namespace zpp::store
