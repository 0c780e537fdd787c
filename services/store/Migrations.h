#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace zpp::store {

// One step of the schema. Statements may use {{autoid}} (an auto-numbered primary key)
// and {{real}} (a double-precision column); the store puts in its own dialect.
struct Migration {
    int Version;
    QString Description;
    QStringList Statements;
};

const QVector<Migration>& Migrations();
// The last schema that changed what PostgreSQL's roles are granted, or made a function that must
// run as the store's owner: a store older than it has its roles, privileges and owners made anew
// when it is upgraded.
inline constexpr int kRolesSchemaVersion = 18;
int LatestSchemaVersion();

} // namespace zpp::store
