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
// The first schema whose PostgreSQL rules rest on per-user roles.
inline constexpr int kRolesSchemaVersion = 7;
int LatestSchemaVersion();

} // namespace zpp::store
