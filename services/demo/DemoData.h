#pragma once

#include "services/store/Store.h"

namespace zpp::store {

inline constexpr qlonglong kDefaultDemoEntries = 400;

// Creates a new store at location (an SQLite file or a PostgreSQL URL) and fills it with
// demo data holding the given number of plan entries. Refuses a location that already
// holds a store, so nothing existing is overwritten.
StorePtr GenerateStore(const QString& location, qlonglong planEntries);

// Creates a new, empty store for a company's own data, refusing an existing one as above. On
// PostgreSQL (run by the server's superuser, or the database's owner holding CREATEROLE) it also
// makes the login role admin, the store's administrator, with the given password.
StorePtr CreateEmptyStore(const QString& location, const QString& adminPassword);

} // namespace zpp::store
