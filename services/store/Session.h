#pragma once

#include "Store.h"

namespace zpp::store {

// The log-in of this process as the application's services see it.
struct Session {
    StorePtr Db;
    qint16 UserId = 0;
    QString UserName;
    QString Language;
    // The connection is the user's own database role (PostgreSQL), so the server holds the
    // session to the user's privileges; false for SQLite and for a connection acting for a user.
    bool OwnRole = false;
};

using SessionPtr = std::shared_ptr<Session>;

// Finds a user by name or numeric ID; fails with a clear message for an unknown user or
// an ID outside the 16-bit range.
Session LogIn(const StorePtr& store, const QString& nameOrId);

// The log-in of a program: on PostgreSQL the user is the database role the server let in, and a
// requested user (nameOrId, when not empty) must be that role; on SQLite, whose file's owner is
// trusted, the requested user, admin when none.
Session LogInAsConnected(const StorePtr& store, const QString& nameOrId);

} // namespace zpp::store
