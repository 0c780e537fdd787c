#pragma once

#include "services/store/Store.h"

namespace zpp::store {

inline constexpr qlonglong kDefaultDemoEntries = 400;

// Creates a new store at location (an SQLite file or a PostgreSQL URL) and fills it with
// demo data holding the given number of plan entries. Refuses a location that already
// holds a store, so nothing existing is overwritten.
StorePtr GenerateStore(const QString& location, qlonglong planEntries);

} // namespace zpp::store
