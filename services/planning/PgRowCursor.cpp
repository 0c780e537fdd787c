#include "PgRowCursor.h"

#include "component/host/Lang.h"

#include <QSqlDriver>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace zpp::services {

namespace {

constexpr qint64 kCheckEveryNs = 50'000'000;
// Rows between two looks at the clock: reading a row costs far less than reading the clock.
constexpr unsigned kRowsPerClockLook = 64;
constexpr qint64 kCancelAgainNs = 250'000'000;
// A server that has not ended a cancelled statement by then is not answering at all (stalled, or
// the network between): the connection is cut, and opened anew for the next read.
constexpr qint64 kGiveUpNs = 5'000'000'000;

qint64 NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Turns '?' marks into $1..$n. Quoted texts and names and comments are copied untouched, so a
// question mark inside them stays what it is.
QByteArray NumberedMarks(const QString& sql) {
    const QByteArray in = sql.toUtf8();
    const qsizetype size = in.size();
    QByteArray out;
    out.reserve(size + 16);
    int marks = 0;
    qsizetype i = 0;
    auto copyUpTo = [&](qsizetype end) {
        out.append(in.constData() + i, end - i);
        i = end;
    };
    while (i < size) {
        const char ch = in[i];
        if (ch == '\'' || ch == '"') {
            // E'...' texts escape with a backslash; elsewhere a doubled quote reads as two quoted
            // pieces back to back, which copies the same.
            const bool backslashes = ch == '\'' && i > 0 && (in[i - 1] == 'E' || in[i - 1] == 'e');
            qsizetype j = i + 1;
            while (j < size && in[j] != ch)
                j += (backslashes && in[j] == '\\') ? 2 : 1;
            copyUpTo(std::min(j + 1, size));
        } else if (ch == '-' && i + 1 < size && in[i + 1] == '-') {
            const qsizetype end = in.indexOf('\n', i);
            copyUpTo(end < 0 ? size : end);
        } else if (ch == '/' && i + 1 < size && in[i + 1] == '*') {
            const qsizetype end = in.indexOf("*/", i + 2);
            copyUpTo(end < 0 ? size : end + 2);
        } else if (ch == '?') {
            out += '$';
            out += QByteArray::number(++marks);
            ++i;
        } else {
            out += ch;
            ++i;
        }
    }
    return out;
}

QString ResultMessage(const PGresult* r, PGconn* conn) {
    const char* primary = PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY);
    QString text = QString::fromUtf8(primary ? primary : PQresultErrorMessage(r)).trimmed();
    if (text.isEmpty())
        text = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    return text;
}

} // namespace

PgRowCursor::PgRowCursor(PGconn* conn, const QString& sql, const QVariantList& binds,
                         const QString& storeName, std::function<bool()> keepGoing)
    : m_conn(conn), m_storeName(storeName), m_keepGoing(std::move(keepGoing)) {
    const QByteArray statement = NumberedMarks(sql);
    std::vector<QByteArray> texts(std::size_t(binds.size()));
    std::vector<const char*> values(std::size_t(binds.size()), nullptr);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const QVariant& v = binds[qsizetype(i)];
        if (v.isNull())
            continue;
        texts[i] = v.toString().toUtf8();
        values[i] = texts[i].constData();
    }
    if (!PQsendQueryParams(m_conn, statement.constData(), int(values.size()), nullptr, values.data(), nullptr,
                           nullptr, 0))
        Fail(QString::fromUtf8(PQerrorMessage(m_conn)).trimmed());
    m_pending = true;
    // Should the connection refuse single rows, the rows come as one result; Next() reads either.
    PQsetSingleRowMode(m_conn);
    // The first wait asks at once: a user who already said stop is not kept waiting.
    m_nextCheckNs = 0;
}

PgRowCursor::~PgRowCursor() {
    Abandon();
}

bool PgRowCursor::Next() {
    if (++m_sinceCheck >= kRowsPerClockLook) {
        m_sinceCheck = 0;
        if (NowNs() >= m_nextCheckNs)
            CheckKeepGoing();
    }
    if (m_res && ++m_row < m_rows)
        return true;
    PQclear(m_res);
    m_res = nullptr;
    m_row = m_rows = 0;
    while (m_pending) {
        AwaitResult();
        PGresult* r = PQgetResult(m_conn);
        if (!r) {
            m_pending = false;
            break;
        }
        switch (PQresultStatus(r)) {
        case PGRES_SINGLE_TUPLE:
        case PGRES_TUPLES_OK:
            if (PQntuples(r) > 0) {
                m_res = r;
                m_rows = PQntuples(r);
                return true;
            }
            PQclear(r);
            break;
        case PGRES_COMMAND_OK:
        case PGRES_EMPTY_QUERY:
            PQclear(r);
            break;
        default: {
            const QString message = ResultMessage(r, m_conn);
            // An error the server sent carries its SQLSTATE. One without came from libpq itself:
            // the connection broke, or what arrived made no sense (a message cut short), and the
            // connection is in no state to go on; it is cut and opened anew for the next read.
            const bool broken = PQresultErrorField(r, PG_DIAG_SQLSTATE) == nullptr;
            PQclear(r);
            if (broken)
                ::shutdown(PQsocket(m_conn), SHUT_RDWR);
            Drain();
            Fail(message, broken);
        }
        }
    }
    return false;
}

qint64 PgRowCursor::Int(int c) const {
    const std::string_view s = Raw(c);
    qint64 v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

double PgRowCursor::Real(int c) const {
    const std::string_view s = Raw(c);
    double v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

// Waits until the next result can be taken without blocking, asking keepGoing meanwhile: the
// server may sort for seconds before the first row.
void PgRowCursor::AwaitResult() {
    while (PQisBusy(m_conn)) {
        qint64 now = NowNs();
        if (now >= m_nextCheckNs) {
            CheckKeepGoing();
            now = NowNs();
        }
        pollfd p{PQsocket(m_conn), POLLIN, 0};
        const int waitMs = int(std::max<qint64>(1, (m_nextCheckNs - now + 999'999) / 1'000'000));
        const int ready = ::poll(&p, 1, waitMs);
        if (ready < 0 && errno != EINTR) {
            const QString message = QString::fromLocal8Bit(std::strerror(errno));
            Abandon();
            Fail(message);
        }
        if (ready > 0 && !PQconsumeInput(m_conn)) {
            const QString message = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
            Drain();
            Fail(message);
        }
    }
}

void PgRowCursor::CheckKeepGoing() {
    m_nextCheckNs = NowNs() + kCheckEveryNs;
    if (!m_keepGoing)
        return;
    bool go = false;
    try {
        go = m_keepGoing();
    } catch (...) {
        Abandon();
        throw;
    }
    if (!go) {
        Abandon();
        throw Cancelled(GetLangString(QStringLiteral("读取采购计划已取消")));
    }
}

void PgRowCursor::Abandon() noexcept {
    PQclear(m_res);
    m_res = nullptr;
    m_row = m_rows = 0;
    // Without the cancel the server would go on sorting and sending rows nobody reads. The server
    // may miss a cancel (one that comes while it compiles the statement is lost at times), so it
    // is sent again for as long as the statement goes on.
    qint64 nextCancel = 0;
    const qint64 giveUp = NowNs() + kGiveUpNs;
    // The cancel is a connection of its own, and libpq waits until the server closes it: a server
    // that does not answer would hold the window. So each goes out on a thread of its own, one
    // at a time, and the wait here stays bounded by giveUp.
    const auto sending = std::make_shared<std::atomic<bool>>(false);
    while (m_pending) {
        if (NowNs() >= giveUp) {
            ::shutdown(PQsocket(m_conn), SHUT_RDWR);
            break;
        }
        if (NowNs() >= nextCancel && !sending->exchange(true)) {
            if (PGcancel* cancel = PQgetCancel(m_conn)) {
                // The thread touches only its own copy of the cancel and the shared flag, so it
                // may outlive this cursor and its connection.
                try {
                    std::thread([cancel, sending] {
                        char error[256];
                        PQcancel(cancel, error, int(sizeof error));
                        PQfreeCancel(cancel);
                        *sending = false;
                    }).detach();
                } catch (...) {
                    // No thread to be had: tried again later; the wait stays bounded by giveUp.
                    PQfreeCancel(cancel);
                    *sending = false;
                }
            } else {
                *sending = false;
            }
            nextCancel = NowNs() + kCancelAgainNs;
        }
        if (PQisBusy(m_conn)) {
            pollfd p{PQsocket(m_conn), POLLIN, 0};
            const int ready = ::poll(&p, 1, 50);
            if ((ready < 0 && errno != EINTR) || (ready > 0 && !PQconsumeInput(m_conn)))
                break; // the connection failed: what is left ends at once
            continue;
        }
        PGresult* r = PQgetResult(m_conn);
        if (!r) {
            m_pending = false;
            break;
        }
        const ExecStatusType status = PQresultStatus(r);
        PQclear(r);
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH)
            m_pending = false; // never ours; reading on would not end
    }
    // A cancel still on its way could reach the server after this statement and stop the next
    // one on the same connection; it is waited for, and a connection whose cancel never came back
    // is cut instead (the next read opens a new one).
    while (*sending && NowNs() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (*sending)
        ::shutdown(PQsocket(m_conn), SHUT_RDWR);
    Drain();
}

void PgRowCursor::Drain() noexcept {
    PQclear(m_res);
    m_res = nullptr;
    m_row = m_rows = 0;
    // PQgetResult blocks until each result is complete; a lost connection ends it with an error.
    while (m_pending) {
        PGresult* r = PQgetResult(m_conn);
        if (!r)
            break;
        const ExecStatusType status = PQresultStatus(r);
        PQclear(r);
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH)
            break; // never ours; reading on would not end
    }
    m_pending = false;
}

void PgRowCursor::Fail(const QString& message, bool broken) const {
    // A lost server is said in our words, the driver's after them for the administrator.
    if (broken || !m_conn || PQstatus(m_conn) == CONNECTION_BAD)
        throw Error(
            GetLangString(
                QStringLiteral("与数据库服务器 %1 的连接已断开，未能读取采购计划；服务器恢复后请重试。"))
                .arg(m_storeName) +
            QStringLiteral("\n") + message);
    throw Error(GetLangString(QStringLiteral("数据库 %1 读取采购计划失败：%2")).arg(m_storeName, message));
}

} // namespace zpp::services
