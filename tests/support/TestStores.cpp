#include "TestStores.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

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
    {
        const QUrl url(admin);
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("zpp_test_admin"));
        db.setHostName(url.host());
        db.setPort(url.port(5432));
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setDatabaseName(url.path().mid(1));
        if (!db.open())
            throw Error(QStringLiteral("test server: ") + db.lastError().text());
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("CREATE DATABASE ") + name))
            throw Error(QStringLiteral("test server: ") + q.lastError().text());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("zpp_test_admin"));
    QUrl url(admin);
    url.setPath(u'/' + name);
    return url.toString();
}

std::string StoreKindName(const ::testing::TestParamInfo<StoreKind>& info) {
    return info.param == StoreKind::SQLite ? "SQLite" : "PostgreSQL";
}

QString NewStoreLocation(StoreKind kind) {
    return kind == StoreKind::SQLite ? NewSQLitePath() : NewPostgresUrl();
}
} // namespace zpp::test
