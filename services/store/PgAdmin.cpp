#include "PgAdmin.h"

#include "DatabaseRoles.h"

#include "platform/records/Error.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace zpp::store {

namespace {
// PostgreSQL cuts identifiers at 63 bytes; a cut name would not be the database the URL names.
constexpr qsizetype kMaxIdentifierBytes = 63;
} // namespace

QString PostgresDatabase(const QString& serverUrl, const QString& name, bool drop) {
    if (name.isEmpty() || name.contains(QChar(0)) || name.toUtf8().size() > kMaxIdentifierBytes)
        throw Error(QStringLiteral("PostgreSQL: unusable database name \"%1\"").arg(name));
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
                    QuotedIdentifier(name)))
            throw Error(QStringLiteral("PostgreSQL: ") + q.lastError().text());
        // The database's owner role goes with it; the users' roles serve other stores too.
        if (drop &&
            !q.exec(QStringLiteral("DROP ROLE IF EXISTS ") + QuotedIdentifier(name.left(57) + "_owner")))
            throw Error(QStringLiteral("PostgreSQL: ") + q.lastError().text());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("zpp_pg_admin"));
    QUrl own(url);
    own.setPath(u'/' + name);
    return own.toString();
}

} // namespace zpp::store
