// Opening a store: the SQLite file or the PostgreSQL server and the user's log-in to it, and the
// schema brought up to date. Apart from the statements the open store runs afterwards.
#include "Store.h"

#include "DatabaseRoles.h"
#include "EntryChanges.h"
#include "Migrations.h"
#include "SQLiteLocks.h"
#include "StoreInternal.h"

#include "platform/ui/Prompt.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <libpq-fe.h>

namespace zpp::store {

namespace {
QString NewConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("zpp_store_%1").arg(counter.fetchAndAddRelaxed(1));
}

bool IsPostgresUrl(const QString& location) {
    return location.startsWith(QStringLiteral("postgresql://"), Qt::CaseInsensitive) ||
           location.startsWith(QStringLiteral("postgres://"), Qt::CaseInsensitive);
}
} // namespace

Store::Store() = default;

std::shared_ptr<Store> Store::Open(const QString& location) {
    std::shared_ptr<Store> store(new Store());
    store->m_location = location;
    store->m_connection = NewConnectionName();
    if (IsPostgresUrl(location))
        store->OpenPostgreSQL(location);
    else
        store->OpenSQLite(location);
    store->Migrate();
    store->ApplyTimeLimits();
    RecordEntryChanges(*store);
    return store;
}

Store::~Store() {
    m_watchdog.reset();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

void Store::OpenSQLite(const QString& path) {
    m_kind = Kind::SQLite;
    m_display = path;
    // Before any connection of the process locks a file, and before the check below opens this one.
    UseDescriptorLocks();
    const QFileInfo info(path);
    if (info.exists()) {
        if (info.isDir())
            throw Error(QStringLiteral("无法打开数据库 \"%1\"：这是一个目录").arg(path));
        // Refuse anything that is not an SQLite file before the driver may write to it.
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("无法打开数据库 \"%1\"：%2").arg(path, f.errorString()));
        const QByteArray head = f.read(16);
        if (info.size() > 0 && head != QByteArray("SQLite format 3\0", 16))
            throw Error(QStringLiteral("无法打开数据库 \"%1\"：该文件不是 SQLite 数据库").arg(path));
    } else if (!info.absoluteDir().exists() && !QDir().mkpath(info.absolutePath())) {
        throw Error(QStringLiteral("无法创建数据库 \"%1\"：无法创建目录 %2").arg(path, info.absolutePath()));
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open())
        throw Error(QStringLiteral("无法打开数据库 \"%1\"：%2").arg(path, SqlErrorText(db.lastError())));
    try {
        Exec(QStringLiteral("PRAGMA foreign_keys=ON"));
        Exec(QStringLiteral("PRAGMA busy_timeout=10000"));
        QSqlQuery mode = Exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        Exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    } catch (const Error& e) {
        throw Error(QStringLiteral("无法打开数据库 \"%1\"：%2").arg(path, e.Description()));
    }
}

void Store::OpenPostgreSQL(const QString& location) {
    m_kind = Kind::PostgreSQL;
    const QUrl url(location);
    const QString host = url.host().isEmpty() ? QStringLiteral("localhost") : url.host();
    const int port = url.port(5432);
    QString dbName = url.path();
    if (dbName.startsWith(u'/'))
        dbName.remove(0, 1);
    m_display = QStringLiteral("postgresql://%1@%2:%3/%4").arg(url.userName(), host).arg(port).arg(dbName);
    if (!url.isValid() || dbName.isEmpty())
        throw Error(QStringLiteral("无效的 PostgreSQL 地址 \"%1\"：应为 postgresql://用户@主机:端口/数据库")
                        .arg(m_display));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
    db.setHostName(host);
    db.setPort(port);
    db.setDatabaseName(dbName);
    db.setUserName(url.userName());
    db.setPassword(url.password());
    // Keepalives end any wait on a peer or network that is gone, rows read outside the
    // watchdog's calls included, in about 25 s.
    db.setConnectOptions(QStringLiteral(
        "connect_timeout=5;keepalives=1;keepalives_idle=10;keepalives_interval=5;keepalives_count=3"));
    CheckLogIn(location, host, port, dbName, url.userName());
    m_watchdog = std::make_unique<Watchdog>();
    m_watchdog->SetLimit(AnswerLimitMs());
    if (!db.open())
        throw Error(QStringLiteral("无法连接 PostgreSQL 服务器 %1:%2（数据库 %3）：%4")
                        .arg(host)
                        .arg(port)
                        .arg(dbName, SqlErrorText(db.lastError())));
    m_watchdog->Watch(PgConnection());
    SetUpConnection();
}

PGconn* ConnectLibpq(const QString& location, bool keepalives) {
    const QUrl url(location);
    QString dbName = url.path();
    if (dbName.startsWith(u'/'))
        dbName.remove(0, 1);
    const QByteArray host = (url.host().isEmpty() ? QStringLiteral("localhost") : url.host()).toUtf8(),
                     port = QByteArray::number(url.port(5432)), db = dbName.toUtf8(),
                     user = url.userName().toUtf8(), password = url.password().toUtf8();
    const char* keys[] = {"host",
                          "port",
                          "dbname",
                          "user",
                          "password",
                          "connect_timeout",
                          "keepalives_idle",
                          "keepalives_interval",
                          "keepalives_count",
                          nullptr};
    const char* values[] = {host.constData(),
                            port.constData(),
                            db.constData(),
                            user.isEmpty() ? nullptr : user.constData(),
                            password.isEmpty() ? nullptr : password.constData(),
                            "5",
                            keepalives ? "10" : nullptr,
                            keepalives ? "5" : nullptr,
                            keepalives ? "3" : nullptr,
                            nullptr};
    // libpq skips a key whose value is null: without keepalives its defaults hold.
    return PQconnectdbParams(keys, values, 0);
}

void Store::CheckLogIn(const QString& location, const QString& host, int port, const QString& dbName,
                       const QString& user) const {
    // The driver's failure does not say why; libpq does. One short connection, only at the start.
    PGconn* probe = ConnectLibpq(location, false);
    const bool ok = PQstatus(probe) == CONNECTION_OK;
    const bool needsPassword = PQconnectionNeedsPassword(probe) != 0;
    const bool usedPassword = PQconnectionUsedPassword(probe) != 0;
    const QString who = user.isEmpty() ? QString::fromUtf8(PQuser(probe)) : user;
    const QString serverText = QString::fromUtf8(PQerrorMessage(probe)).trimmed();
    PQfinish(probe);
    if (ok)
        return;
    const QString server = QStringLiteral("%1:%2").arg(host).arg(port);
    // The server checks the password before the database, so a good password can meet a missing database.
    if (serverText.contains(QStringLiteral("\"%1\" does not exist").arg(dbName)))
        throw StoreError(ui::Tr("PostgreSQL 服务器 %1 上没有数据库 %2：请先创建它（例如 createdb %2），"
                                "程序会在其中建立采购计划的数据表")
                                 .arg(server, dbName) +
                             QStringLiteral("\n") + serverText,
                         StoreError::Kind::Statement, QString(), false);
    if (needsPassword)
        throw StoreError(ui::Tr("PostgreSQL 服务器 %1 要求输入用户 %2 的密码").arg(server, who),
                         StoreError::Kind::PasswordNeeded, QString(), false);
    if (usedPassword)
        throw StoreError(
            ui::Tr("PostgreSQL 服务器 %1 拒绝了用户 %2 的登录：密码不正确，或该用户不能登录数据库 %3")
                    .arg(server, who, dbName) +
                QStringLiteral("\n") + serverText,
            StoreError::Kind::LogInRefused, QString(), false);
    // Anything else (no server, no such database or role) the driver reports below.
}

PGconn* Store::PgConnection() const {
    if (IsSQLite())
        return nullptr;
    const QSqlDatabase db = Db();
    if (!db.isValid() || !db.driver())
        return nullptr;
    // Qt 6 names the handle's type after the struct behind the typedef.
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

int Store::SchemaVersion() const {
    const QVariant v = Scalar(QStringLiteral("SELECT MAX(version) FROM schema_version"));
    return v.isNull() ? 0 : v.toInt();
}

void Store::Migrate() {
    // Users who may not create tables open an existing store too: only a new one is created here.
    const bool known =
        Scalar(IsSQLite()
                   ? QStringLiteral(
                         "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'")
                   : QStringLiteral("SELECT 1 WHERE to_regclass('schema_version') IS NOT NULL"))
            .isValid();
    if (!known)
        Exec(QStringLiteral(
            "CREATE TABLE schema_version ("
            " version INTEGER PRIMARY KEY, description TEXT NOT NULL, applied_at TEXT NOT NULL)"));
    const int current = SchemaVersion();
    const int latest = LatestSchemaVersion();
    if (current > latest)
        throw Error(
            QStringLiteral("数据库 \"%1\" 的结构版本为 %2，比本程序支持的版本 %3 新；请使用更新的程序")
                .arg(m_display)
                .arg(current)
                .arg(latest));
    if (current == 0) {
        // A store with tables of its own but no schema history is not ours to change.
        const QString countSql =
            IsSQLite()
                ? QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type='table' AND name NOT LIKE "
                                 "'sqlite%' AND name <> 'schema_version'")
                : QStringLiteral("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = "
                                 "current_schema() AND table_name <> 'schema_version'");
        if (Scalar(countSql).toInt() > 0)
            throw Error(QStringLiteral("数据库 \"%1\" 已有其他表，但不是采购计划数据库").arg(m_display));
        m_created = true;
    }
    for (const Migration& m : Migrations()) {
        if (m.Version <= current)
            continue;
        InTransaction([&] {
            for (QString sql : m.Statements) {
                if (sql.startsWith(QStringLiteral("{{pg}}"))) {
                    if (IsSQLite())
                        continue;
                    sql.remove(0, 6);
                }
                sql.replace(QStringLiteral("{{autoid}}"), AutoId());
                sql.replace(QStringLiteral("{{real}}"),
                            IsSQLite() ? QStringLiteral("REAL") : QStringLiteral("DOUBLE PRECISION"));
                Exec(sql);
            }
            Exec(QStringLiteral(
                     "INSERT INTO schema_version (version, description, applied_at) VALUES (?, ?, ?)"),
                 {m.Version, m.Description, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)});
        });
    }
    // A store older than the database's own rules gets its roles and privileges with them. A new
    // store gets them from whoever fills its users (the demo generator, the user administration).
    if (!IsSQLite() && current > 0 && current < kRolesSchemaVersion)
        SyncDatabaseRoles(*this);
    else if (!IsSQLite() &&
             (current < latest || Scalar(QStringLiteral("SELECT pg_catalog.has_database_privilege('public',"
                                                        " pg_catalog.current_database(), 'CONNECT')"))
                                      .toBool()))
        SealDatabase(*this);
}

} // namespace zpp::store
