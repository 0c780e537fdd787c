// Running statements and transactions on an open store: a lost connection opened anew where a
// statement may run again, and each failure told in words the user can act on.
#include "Store.h"

#include "platform/ui/Prompt.h"

#include "StoreInternal.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QThread>

namespace zpp::store {

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

namespace {
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
} // namespace

bool Store::Reconnected(const QSqlError& error) const {
    // A server that did not answer is not asked again at once: it would keep the user waiting twice.
    if (m_kind != Kind::PostgreSQL || m_transactionDepth > 0 || CutForNoAnswer() ||
        KindOf(m_kind, error) != StoreError::Kind::ConnectionLost)
        return false;
    // An error without an SQLSTATE may come from the driver itself: only a dead connection fails this.
    return !Alive() && Reopen();
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
