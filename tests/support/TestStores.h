#pragma once

#include "services/store/Session.h"
#include "services/store/Store.h"
#include "support/RowTexts.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zpp::test {

// A path for a new SQLite store inside a directory that lives as long as the test program.
QString NewSQLitePath();

// The URL of a new, empty PostgreSQL database on the test server ($ZPP_TEST_PG_URL), or
// empty when no server is configured. Under CI a missing server is a failure, not a skip.
QString NewPostgresUrl();

// Takes a PostgreSQL store made by this program back to schema 6, before the database held any
// rule of its own: no policies, functions, triggers or roles of the store, the server's defaults
// for everyone on the database, CREATEROLE for admin as before. Its rows stay as they are.
void BackToSchema6(const store::Store& db);

// A log-in of a user of the store at location as the program logs them in: on PostgreSQL
// connected as the user's own role, which the server holds to its rights (every user's role made
// as the demo makes them, the name as the password, and the roles synced).
store::SessionPtr OwnRoleSession(const store::StorePtr& db, const QString& location, const QString& user);

enum class StoreKind { SQLite, PostgreSQL };
std::string StoreKindName(const ::testing::TestParamInfo<StoreKind>& info);

// The location of a new store of that kind; empty when PostgreSQL is not available.
QString NewStoreLocation(StoreKind kind);

} // namespace zpp::test

// Skips (locally) or fails (under CI) a PostgreSQL test without a server.
#define ZPP_REQUIRE_STORE(location)                                                                          \
    do {                                                                                                     \
        if ((location).isEmpty()) {                                                                          \
            if (!qgetenv("CI").isEmpty())                                                                    \
                FAIL() << "ZPP_TEST_PG_URL is not set: the PostgreSQL tests need the test server";           \
            GTEST_SKIP() << "no PostgreSQL test server (set ZPP_TEST_PG_URL or run scripts/test.sh)";        \
        }                                                                                                    \
    } while (0)
