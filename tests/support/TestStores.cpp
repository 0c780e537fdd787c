#include "TestStores.h"
#include "services/store/PgAdmin.h"

#include <QCoreApplication>

namespace zpp::test {

QString NewSQLitePath() {
    static QTemporaryDir dir;
    static int counter = 0;
    return dir.filePath(QStringLiteral("store%1.db").arg(++counter));
}

QString NewPostgresUrl() {
    const QString admin = QString::fromLocal8Bit(qgetenv("ZPP_TEST_PG_URL"));
    if (admin.isEmpty())
        return {};
    static int counter = 0;
    const QString name = QStringLiteral("zpp_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    // A test process of an earlier run with the same process ID may have left its database.
    store::PostgresDatabase(admin, name, true);
    return store::PostgresDatabase(admin, name);
}

std::string StoreKindName(const ::testing::TestParamInfo<StoreKind>& info) {
    return info.param == StoreKind::SQLite ? "SQLite" : "PostgreSQL";
}

QString NewStoreLocation(StoreKind kind) {
    return kind == StoreKind::SQLite ? NewSQLitePath() : NewPostgresUrl();
}
} // namespace zpp::test
