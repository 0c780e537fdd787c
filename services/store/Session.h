#pragma once

#include "Store.h"

namespace zpp::store {

// The log-in of this process as the application's services see it.
struct Session {
    StorePtr Db;
    qint16 UserId = 0;
    QString UserName;
    QString Language;
};

using SessionPtr = std::shared_ptr<Session>;

// Finds a user by name or numeric ID; fails with a clear message for an unknown user or
// an ID outside the 16-bit range.
Session LogIn(const StorePtr& store, const QString& nameOrId);

} // namespace zpp::store
