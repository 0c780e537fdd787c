// Reads the plan query's rows from an SQLite store through SQLite's C API, on a worker thread
// that the user's cancel can interrupt. Apart from the query, which is the same for every store.
#include "RptDataSQLite.h"
#include "PlanRows.h"

#include "component/host/Lang.h"
#include "component/host/LongWork.h"

#include <QSqlDriver>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <system_error>
#include <thread>

namespace zpp::services::rptdata {

namespace {

// Reads SQLite rows through the C API of Qt's own connection.
class SQLiteCursor {
public:
    SQLiteCursor(sqlite3* db, const QString& sql, const QVariantList& binds, const QString& storeName)
        : m_db(db), m_storeName(storeName) {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK)
            Fail();
        for (int i = 0; i < binds.size(); ++i) {
            const QByteArray text = binds[i].toString().toUtf8();
            sqlite3_bind_text(m_stmt, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
    ~SQLiteCursor() { sqlite3_finalize(m_stmt); }
    SQLiteCursor(const SQLiteCursor&) = delete;
    SQLiteCursor& operator=(const SQLiteCursor&) = delete;

    bool Next() {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            Fail();
        return false;
    }
    bool Null(int c) const { return sqlite3_column_type(m_stmt, c) == SQLITE_NULL; }
    qint64 Int(int c) const { return sqlite3_column_int64(m_stmt, c); }
    double Real(int c) const { return sqlite3_column_double(m_stmt, c); }
    std::string_view Raw(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, c));
        return {p ? p : "", std::size_t(sqlite3_column_bytes(m_stmt, c))};
    }

private:
    [[noreturn]] void Fail() const {
        throw Error(GetLangString(QStringLiteral("数据库 %1 读取采购计划失败：%2"))
                        .arg(m_storeName, QString::fromUtf8(sqlite3_errmsg(m_db))));
    }

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_storeName;
};

} // namespace

sqlite3* SQLiteHandle(const store::Store& store) {
    if (!store.IsSQLite())
        return nullptr;
    const QVariant handle = store.Db().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

RecordListPtr ReadSQLite(sqlite3* db, const QString& sql, const QVariantList& binds, const QString& name,
                         bool withPrices) {
    if (!longwork::KeepGoing())
        throw Cancelled(GetLangString(QStringLiteral("读取采购计划已取消")));
    const char* file = sqlite3_db_filename(db, "main");
    sqlite3* own = nullptr;
    if (file && *file &&
        sqlite3_open_v2(file, &own, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(own);
        own = nullptr;
    }
    if (!own) {
        SQLiteCursor cur(db, sql, binds, name);
        return BuildRows(cur, withPrices);
    }
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(own, &sqlite3_close);
    sqlite3_busy_timeout(own, 5000);
    SQLiteCursor cur(own, sql, binds, name);
    auto rows = std::make_shared<PlanRows>(withPrices);
    std::exception_ptr readFailure, pollFailure;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false, stopped = false;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                rows->Read(cur);
            } catch (...) {
                readFailure = std::current_exception();
            }
            const std::lock_guard lock(mutex);
            done = true;
            finished.notify_one();
        });
    } catch (const std::system_error&) {
        // No thread to be had: read here, uncancelled, as a store without a file is.
        return BuildRows(cur, withPrices);
    }
    {
        // The worker reads through cur and own: it is stopped and joined on every way out.
        struct Join {
            std::thread& t;
            sqlite3* db;
            ~Join() {
                if (t.joinable()) {
                    sqlite3_interrupt(db);
                    t.join();
                }
            }
        } join{worker, own};
        for (;;) {
            {
                std::unique_lock lock(mutex);
                if (finished.wait_for(lock, std::chrono::milliseconds(10), [&] { return done; }))
                    break;
            }
            if (stopped || pollFailure)
                continue;
            try {
                stopped = !longwork::KeepGoing();
            } catch (...) {
                pollFailure = std::current_exception();
            }
            if (stopped || pollFailure)
                sqlite3_interrupt(own);
        }
        worker.join();
    }
    if (pollFailure)
        std::rethrow_exception(pollFailure);
    if (stopped)
        throw Cancelled(GetLangString(QStringLiteral("读取采购计划已取消")));
    if (readFailure)
        std::rethrow_exception(readFailure);
    return RecordList::Over(std::move(rows));
}

} // namespace zpp::services::rptdata
