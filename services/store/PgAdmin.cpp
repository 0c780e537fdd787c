#include "PgAdmin.h"

#include "platform/records/Error.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace zpp::store {

QString PostgresDatabase(const QString& serverUrl, const QString& name, bool drop) {
    const QUrl url(serverUrl);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("zpp_pg_admin"));
        db.setHostName(url.host());
        db.setPort(url.port(5432));
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setDatabaseName(url.path().mid(1));
        if (!db.open())
            throw Error(QStringLiteral("PostgreSQL: ") + db.lastError().text());
        QSqlQuery q(db);
        if (!q.exec((drop ? QStringLiteral("DROP DATABASE IF EXISTS ") : QStringLiteral("CREATE DATABASE ")) +
                    name))
            throw Error(QStringLiteral("PostgreSQL: ") + q.lastError().text());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("zpp_pg_admin"));
    QUrl own(url);
    own.setPath(u'/' + name);
    return own.toString();
}

} // namespace zpp::store
