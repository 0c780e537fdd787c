#include "Store.h"

#include "EntryChanges.h"

#include "platform/ui/Prompt.h"

#include "DatabaseRoles.h"
#include "Migrations.h"
#include "SQLiteLocks.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <libpq-fe.h>
#include <limits>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace zpp::store {

// Cuts a PostgreSQL connection whose server has stopped answering. Qt's driver waits for an
// answer without a limit of its own, so a call of the store's into it (Store::Call) that has
// waited past the limit with no data moving either way on the connection means the server, or
// the network to it, has stalled. The watch is on the store's own calls, not on libpq's state:
// a forward-only query leaves libpq busy until the query is gone, idle or not, and libpq is not
// to be read from a second thread. The cut (a shutdown of the socket, which touches no libpq
// state) ends the driver's wait with a lost connection; the next command opens it anew. It works
// on a duplicate of the socket, so the descriptor it shuts down is never one that libpq closed
// and the system gave out again; the connection is reported before it is closed.
class Store::Watchdog {
public:
    Watchdog() : m_thread([this] { Loop(); }) {}
    ~Watchdog() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
        Watch(nullptr);
    }
    // The connection to watch; nullptr before it is closed. From the store's thread.
    void Watch(PGconn* conn) {
        const int socket = conn ? PQsocket(conn) : -1;
        const std::lock_guard lock(m_mutex);
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = socket >= 0 ? ::dup(socket) : -1;
        m_cut = false;
    }
    void SetLimit(int ms) { m_limitMs = ms; }
    // While paused (a long read the user can cancel) nothing is cut.
    void Pause(bool paused) { m_paused += paused ? 1 : -1; }
    // The store's thread went into the driver, or came back.
    void Enter() { m_callSince = NowMs(); }
    void Leave() { m_callSince = kNoCall; }
    // True once after the watchdog cut the connection.
    bool TakeCut() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_cut, false);
    }

private:
    static constexpr qint64 kNoCall = std::numeric_limits<qint64>::min();
    static qint64 NowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    void Loop() {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            m_wake.wait_for(lock, std::chrono::milliseconds(250));
            if (m_stop || m_socket < 0 || m_paused > 0)
                continue;
            const qint64 since = m_callSince.load();
            const quint32 limit = quint32(m_limitMs.load());
            if (since == kNoCall || NowMs() - since < qint64(limit))
                continue;
            tcp_info info{};
            socklen_t size = sizeof info;
            // Not a TCP socket (a local socket file): nothing to measure.
            if (::getsockopt(m_socket, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
                continue;
            // Milliseconds since data last went out and came in.
            if (info.tcpi_last_data_sent >= limit && info.tcpi_last_data_recv >= limit) {
                ::shutdown(m_socket, SHUT_RDWR);
                ::close(m_socket);
                m_socket = -1;
                m_cut = true;
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<int> m_limitMs{65000}, m_paused{0};
    std::atomic<qint64> m_callSince{kNoCall};
    bool m_cut = false, m_stop = false;
    int m_socket = -1;
    std::thread m_thread;
};

Store::Call::Call(const Store& store) : m_store(store) {
    if (m_store.m_watchdog && m_store.m_callDepth++ == 0)
        m_store.m_watchdog->Enter();
}

Store::Call::~Call() {
    if (m_store.m_watchdog && --m_store.m_callDepth == 0)
        m_store.m_watchdog->Leave();
}

namespace {
QString NewConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("zpp_store_%1").arg(counter.fetchAndAddRelaxed(1));
}

QString SqlErrorText(const QSqlError& e) {
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.text().trimmed();
    if (text.isEmpty())
        text = e.driverText().trimmed();
    // The driver appends the error's code in brackets; a lost connection has none to give.
    if (text.endsWith(QLatin1String("()")))
        text = text.chopped(2).trimmed();
    return text;
}

// What a failed statement says about the store. SQLite codes are masked to their primary code.
StoreError::Kind KindOf(Store::Kind store, const QSqlError& e) {
    const QString code = e.nativeErrorCode();
    if (store == Store::Kind::SQLite) {
        bool ok = false;
        switch (code.toInt(&ok) & 0xff) {
        case 5: // SQLITE_BUSY
        case 6: // SQLITE_LOCKED
            return StoreError::Kind::Busy;
        case 8: // SQLITE_READONLY
            return StoreError::Kind::ReadOnly;
        case 13: // SQLITE_FULL
            return StoreError::Kind::Full;
        default:
            return StoreError::Kind::Statement;
        }
    }
    if (code == QLatin1String("40001") || code == QLatin1String("40P01"))
        return StoreError::Kind::Conflict;
    if (code == QLatin1String("55P03"))
        return StoreError::Kind::LockTimeout;
    if (code == QLatin1String("57014"))
        return StoreError::Kind::TimedOut;
    // libpq reports a dropped connection without an SQLSTATE; the server says 57P01 when it
    // shuts down and class 08 for connection faults.
    if (code.isEmpty() || code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("57P")))
        return StoreError::Kind::ConnectionLost;
    return StoreError::Kind::Statement;
}

// A statement that may run again on the connection opened anew: one that wrote may have
// committed before its answer was lost (a log record twice, a push twice), so it fails instead,
// and the next command finds the connection open.
bool ChangesNothing(const QString& sql) {
    const QString head = sql.trimmed().section(u' ', 0, 0).toUpper();
    return head == u"SELECT" || head == u"BEGIN" || head == u"SET" || head == u"SHOW";
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
    CheckLogIn(host, port, dbName, url.userName(), url.password());
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

void Store::CheckLogIn(const QString& host, int port, const QString& dbName, const QString& user,
                       const QString& password) const {
    // The driver's failure does not say why; libpq does. One short connection, only at the start.
    const QByteArray h = host.toUtf8(), p = QByteArray::number(port), d = dbName.toUtf8(), u = user.toUtf8(),
                     w = password.toUtf8();
    const char* keys[] = {"host", "port", "dbname", "user", "password", "connect_timeout", nullptr};
    const char* values[] = {h.constData(),
                            p.constData(),
                            d.constData(),
                            u.isEmpty() ? nullptr : u.constData(),
                            w.isEmpty() ? nullptr : w.constData(),
                            "5",
                            nullptr};
    PGconn* probe = PQconnectdbParams(keys, values, 0);
    const bool ok = PQstatus(probe) == CONNECTION_OK;
    const bool needsPassword = PQconnectionNeedsPassword(probe) != 0;
    const bool usedPassword = PQconnectionUsedPassword(probe) != 0;
    const QString who = u.isEmpty() ? QString::fromUtf8(PQuser(probe)) : user;
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

int Store::AnswerLimitMs() const {
    return (m_statementSeconds + std::min(m_statementSeconds, 5)) * 1000;
}

// Settings of a PostgreSQL session, made again whenever the connection is opened anew.
void Store::SetUpConnection() const {
    Exec(QStringLiteral("SET client_min_messages TO WARNING"));
    Exec(QStringLiteral("SET lock_timeout = %1").arg(qint64(m_lockSeconds) * 1000));
    Exec(QStringLiteral("SET statement_timeout = %1").arg(qint64(m_statementSeconds) * 1000));
}

void Store::ApplyTimeLimits() {
    auto seconds = [&](const char* key, int fallback) {
        const QVariant v =
            Scalar(QStringLiteral("SELECT value FROM system_settings WHERE section = 'Store' AND key = ?"),
                   {QString::fromLatin1(key)});
        bool ok = false;
        const int n = v.toString().trimmed().toInt(&ok);
        return ok && n >= 1 && n <= 3600 ? n : fallback;
    };
    m_lockSeconds = seconds("LockTimeoutSeconds", 10);
    m_statementSeconds = seconds("StatementTimeoutSeconds", 60);
    if (m_watchdog)
        m_watchdog->SetLimit(AnswerLimitMs());
    if (IsSQLite())
        // Two tries of a transaction share the limit.
        Exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(qint64(m_lockSeconds) * 500));
    else
        SetUpConnection();
}

Store::Unlimited::Unlimited(const Store& store) : m_store(store) {
    if (m_store.IsSQLite())
        return;
    m_store.Exec(QStringLiteral("SET statement_timeout = 0"));
    m_store.m_watchdog->Pause(true);
}

Store::Unlimited::~Unlimited() {
    if (m_store.IsSQLite())
        return;
    m_store.m_watchdog->Pause(false);
    // A connection lost meanwhile is set up afresh, limits included, when it is opened again; it
    // is not opened here, where a server that does not answer would keep the user waiting again.
    if (PQstatus(m_store.PgConnection()) == CONNECTION_BAD)
        return;
    try {
        m_store.Exec(
            QStringLiteral("SET statement_timeout = %1").arg(qint64(m_store.m_statementSeconds) * 1000));
    } catch (...) {
        // Lost in between: the same as above.
    }
}

bool Store::Reconnected(const QSqlError& error) const {
    // A server that did not answer is not asked again at once: it would keep the user waiting twice.
    if (m_kind != Kind::PostgreSQL || m_transactionDepth > 0 || CutForNoAnswer() ||
        KindOf(m_kind, error) != StoreError::Kind::ConnectionLost)
        return false;
    // An error without an SQLSTATE may come from the driver itself: only a dead connection fails this.
    return !Alive() && Reopen();
}

bool Store::CutForNoAnswer() const {
    if (m_watchdog && m_watchdog->TakeCut())
        m_noAnswer = true;
    return m_noAnswer;
}

bool Store::Alive() const {
    const Call call(*this);
    QSqlDatabase db = Db();
    QSqlQuery probe(db);
    return db.isOpen() && probe.exec(QStringLiteral("SELECT 1"));
}

bool Store::Reopen() const {
    QSqlDatabase db = Db();
    m_watchdog->Watch(nullptr);
    db.close();
    if (!db.open())
        return false;
    ++m_reconnects;
    m_watchdog->Watch(PgConnection());
    SetUpConnection();
    return true;
}

QString Store::ConnectionLostText() const {
    return ui::Tr("与数据库服务器 %1 的连接已断开，本次操作未完成；服务器恢复后请重试。").arg(m_display);
}

void Store::Revive() const {
    if (m_kind != Kind::PostgreSQL || m_transactionDepth > 0 || Alive() || Reopen())
        return;
    const QSqlError error = Db().lastError();
    throw StoreError(ConnectionLostText() + QStringLiteral("\n") + SqlErrorText(error),
                     StoreError::Kind::ConnectionLost, error.nativeErrorCode(), false);
}

void Store::PauseBeforeRetry() {
    QThread::msleep(10 + QRandomGenerator::global()->bounded(20));
}

bool Store::MayRunAgain(const StoreError& e) {
    return e.ErrorKind() == StoreError::Kind::Conflict ||
           (e.ErrorKind() == StoreError::Kind::Busy && e.AtBegin());
}

QString Store::AutoId() const {
    return IsSQLite() ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                      : QStringLiteral("BIGSERIAL PRIMARY KEY");
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

void Store::Fail(const QString& what, const QSqlQuery& query, const QString& sql) const {
    const QSqlError error = query.lastError();
    const StoreError::Kind kind = CutForNoAnswer() ? StoreError::Kind::NoAnswer : KindOf(m_kind, error);
    m_noAnswer = false;
    const QString text = SqlErrorText(error);
    // A sentence of ours in the log-in language; the driver's words follow on a line of their
    // own, for the administrator.
    QString description;
    switch (kind) {
    case StoreError::Kind::Busy:
        description =
            ui::Tr("数据库 %1 正被其他程序或用户写入，等待超时，本次操作未完成，请稍后重试。").arg(m_display);
        break;
    case StoreError::Kind::Full:
        description =
            ui::Tr("数据库 %1 所在的磁盘已满（或已达到数据库的大小上限），本次操作未完成。").arg(m_display);
        break;
    case StoreError::Kind::ReadOnly:
        description = ui::Tr("数据库 %1 不可写入（文件或目录只读），本次操作未完成。").arg(m_display);
        break;
    case StoreError::Kind::ConnectionLost:
        description = ConnectionLostText();
        break;
    case StoreError::Kind::Conflict:
        description = ui::Tr("数据库 %1 因与其他用户的操作冲突撤销了本次操作，请重试。").arg(m_display);
        break;
    case StoreError::Kind::LockTimeout:
        description = ui::Tr("另一用户正在修改这些数据，等待超过 %1 秒，本次操作未完成，请稍后再试。")
                          .arg(m_lockSeconds);
        break;
    case StoreError::Kind::TimedOut:
        description = ui::Tr("数据库 %1 的操作超过了 %2 秒的时间限制，本次操作未完成。")
                          .arg(m_display)
                          .arg(m_statementSeconds);
        break;
    case StoreError::Kind::NoAnswer:
        description =
            ui::Tr("数据库服务器 %1 在 %2 秒内没有应答，已断开连接，本次操作未完成；服务器恢复后请重试。")
                .arg(m_display)
                .arg(AnswerLimitMs() / 1000);
        break;
    case StoreError::Kind::Statement:
        description = ui::Tr("数据库 %1 %2失败。").arg(m_display, what) + QStringLiteral("\n") +
                      sql.simplified().left(200);
        break;
    }
    description += QStringLiteral("\n") + text;
    const bool atBegin = sql.trimmed().startsWith(QLatin1String("BEGIN"), Qt::CaseInsensitive);
    throw StoreError(description, kind, error.nativeErrorCode(), atBegin);
}

QSqlQuery Store::Prepare(const QString& sql) const {
    const Call call(*this);
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    if (q.prepare(sql))
        return q;
    if (Reconnected(q.lastError())) {
        q = QSqlQuery(Db());
        q.setForwardOnly(true);
        if (q.prepare(sql))
            return q;
    }
    Fail(ui::Tr("准备语句"), q, sql);
}

void Store::Run(QSqlQuery& query, const QVariantList& binds) const {
    const Call call(*this);
    for (int i = 0; i < binds.size(); ++i)
        query.bindValue(i, binds[i]);
    if (query.exec())
        return;
    // A statement kept prepared (a lookup keeps its own) on a connection opened anew since: the
    // server does not know it, and it never ran, so it is prepared again and run.
    if (m_kind == Kind::PostgreSQL && query.lastError().nativeErrorCode() == QLatin1String("26000")) {
        query = Prepare(query.lastQuery());
        for (int i = 0; i < binds.size(); ++i)
            query.bindValue(i, binds[i]);
        if (query.exec())
            return;
    }
    if (Reconnected(query.lastError()) && ChangesNothing(query.lastQuery())) {
        // The statement was prepared on the connection that is gone.
        query = Prepare(query.lastQuery());
        for (int i = 0; i < binds.size(); ++i)
            query.bindValue(i, binds[i]);
        if (query.exec())
            return;
    }
    Fail(ui::Tr("执行语句"), query, query.lastQuery());
}

QSqlQuery Store::Exec(const QString& sql, const QVariantList& binds) const {
    const Call call(*this);
    if (binds.isEmpty()) {
        QSqlQuery q(Db());
        q.setForwardOnly(true);
        if (q.exec(sql))
            return q;
        if (Reconnected(q.lastError()) && ChangesNothing(sql)) {
            q = QSqlQuery(Db());
            q.setForwardOnly(true);
            if (q.exec(sql))
                return q;
        }
        Fail(ui::Tr("执行语句"), q, sql);
    }
    QSqlQuery q = Prepare(sql);
    Run(q, binds);
    return q;
}

QVariant Store::Scalar(const QString& sql, const QVariantList& binds) const {
    // Until the query is gone: the driver reads the rest of its answer then.
    const Call call(*this);
    QSqlQuery q = Exec(sql, binds);
    return q.next() ? q.value(0) : QVariant();
}

Store::Transaction::Transaction(const Store& store) : m_store(store) {
    m_store.Exec(m_store.IsSQLite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    ++m_store.m_transactionDepth;
}

Store::Transaction::~Transaction() {
    if (m_open) {
        const Call call(m_store);
        QSqlQuery q(m_store.Db());
        q.exec(QStringLiteral("ROLLBACK"));
        --m_store.m_transactionDepth;
    }
}

void Store::Transaction::Commit() {
    if (m_store.m_beforeCommit)
        m_store.m_beforeCommit();
    // A COMMIT that fails is never run again on a new connection: its outcome is the server's.
    // Lost with the connection, it may have been made; the user is told so, never that it failed.
    try {
        m_store.Exec(QStringLiteral("COMMIT"));
    } catch (const StoreError& e) {
        if (e.ErrorKind() != StoreError::Kind::ConnectionLost && e.ErrorKind() != StoreError::Kind::NoAnswer)
            throw;
        throw StoreError(
            ui::Tr("与数据库服务器 %1 的连接在提交时断开，无法确定本次操作是否已完成；请查看重新读取的数据。")
                    .arg(m_store.m_display) +
                QStringLiteral("\n") + e.Description().section(u'\n', 1),
            StoreError::Kind::ConnectionLost, e.NativeCode(), false, true);
    }
    m_open = false;
    --m_store.m_transactionDepth;
}

} // namespace zpp::store
