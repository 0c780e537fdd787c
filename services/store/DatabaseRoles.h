#pragma once

#include "Store.h"

namespace zpp::store {

// On PostgreSQL every user of the store is a database role of the same name, and the server
// itself holds each role to what the rights tables grant it. Nothing here applies to SQLite,
// whose file's owner can change anything.

// The role that owns a PostgreSQL store's tables and functions: nobody logs in as it; the
// administrators are its members. One per database: "<database>_owner".
QString OwnerRole(const Store& db);
// Another role of the store, named like the owner with another suffix ("_roles", "_users").
QString StoreRole(const Store& db, const QString& suffix);

// Makes PostgreSQL's roles and privileges what the rights tables say, in one transaction:
// the store's tables and functions belong to OwnerRole, every user has a login role (created
// without a password when missing), and each role is granted exactly the table and column
// privileges its command rights need. Run after every change of users or rights; the
// connected role must be a superuser or an administrator of the store (every right, and a
// member of OwnerRole).
void SyncDatabaseRoles(const Store& db);
// Takes from PUBLIC what PostgreSQL gives every role by default: calling our functions and, where
// the connected role owns the database, connecting, temporary tables and new objects in public.
void SealDatabase(const Store& db);
// The same inside the caller's transaction, with the change of the rights tables it follows.
void SyncDatabaseRolesInTransaction(const Store& db);

// Creates the login role with this password unless a role of that name exists (its password is
// then left alone; a call by a superuser, or a role with CREATEROLE, lets the store's
// administrators set it). For demo stores.
void CreateLoginRole(const Store& db, const QString& name, const QString& password);

// Sets the password of a user's role, sent as a SCRAM verifier. The server refuses a role the
// store did not make or adopt, and one that could do more than a user's
// (zpprole.set_password, PgRoleAdministration.cpp).
void SetLoginPassword(const Store& db, const QString& name, const QString& password);

// Makes the role an administrator of the store: a member of OwnerRole. The connected role must
// be a superuser or hold CREATEROLE.
void GrantOwnerRole(const Store& db, const QString& role);

// name as one quoted SQL identifier / string literal, whatever it holds.
QString QuotedIdentifier(const QString& name);
QString QuotedLiteral(const QString& text);

} // namespace zpp::store
