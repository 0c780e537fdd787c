#pragma once

#include "services/store/Store.h"

#include <QString>
#include <gtest/gtest.h>
#include <string>

namespace zpp::test {

// One attempt by one role. Sql runs as a single simple query (several statements, one implicit
// transaction unless it says BEGIN/COMMIT), over libpq with the role's password, as psql would.
// Expect is the SQLSTATE the attempt must fail with, "connection" when the server must let the
// role in nowhere, "" when it must run; then, when Probe is set, the probe runs in the same
// session and its first cell must equal Answer. Unless Changes, the store must be the same after.
struct Attempt {
    const char* Who;
    const char* What;
    std::string Sql;
    const char* Expect;
    std::string Probe = {};
    const char* Answer = "";
    bool Temp = false;    // the role is lent the TEMP privilege first: the next line of defence
    bool Changes = false; // a permitted change (an administrator's), not an attack
};

// Roles of a hostile-client store: the demo users admin, buyer and guest; importer (the right to
// open the list and to import); outsider (a role of the server that is no user of the store).
class HostileClient : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    // Runs the attempt and checks its outcome and the store's, naming the attempt on failure.
    void Try(const Attempt& a) const;
    // The first cell of a query run as the store's superuser.
    QString Superuser(const QString& sql) const;
    // What an attack could change: every row of every table, the functions, policies, row-level
    // security switches, privileges, and the attributes and memberships of the server's roles.
    QString Fingerprint() const;

    static QString url;
    static store::StorePtr db;
};

// The outcome of sql run as a role: the SQLSTATE of its failure ("" when it ran, "connection"
// when refused at log-in) and the first cell of its last result.
struct ClientResult {
    std::string State, Value, Message;
};
ClientResult RunAs(const QString& url, const QString& role, const std::string& sql,
                   const std::string& probe = {});

} // namespace zpp::test
