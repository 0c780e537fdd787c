// How long a store waits: the limits of a lock wait and of one statement, and the watchdog that
// cuts a PostgreSQL connection whose server stopped answering. Apart from the statements they bound.
#include "StoreInternal.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zpp::store {

Store::Watchdog::~Watchdog() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    Watch(nullptr);
}

void Store::Watchdog::Watch(PGconn* conn) {
    const int socket = conn ? PQsocket(conn) : -1;
    const std::lock_guard lock(m_mutex);
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = socket >= 0 ? ::dup(socket) : -1;
    m_cut = false;
}

void Store::Watchdog::Loop() {
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

Store::Call::Call(const Store& store) : m_store(store) {
    if (m_store.m_watchdog && m_store.m_callDepth++ == 0)
        m_store.m_watchdog->Enter();
}

Store::Call::~Call() {
    if (m_store.m_watchdog && --m_store.m_callDepth == 0)
        m_store.m_watchdog->Leave();
}

bool Store::CutForNoAnswer() const {
    if (m_watchdog && m_watchdog->TakeCut())
        m_noAnswer = true;
    return m_noAnswer;
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

} // namespace zpp::store
