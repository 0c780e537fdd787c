// The lookup model's first page of matches over 100,000 items, beside the same statement run
// bare through the SQLite C API on the same store. The store is built once and kept in the
// temporary directory.
#include "bench/support/BareScan.h"
#include "services/lookup/BaseDataModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

using namespace zpp;

namespace {

constexpr int kItems = 100000;
constexpr int kRounds = 7;

const char* const kNames[] = {"冷轧钢板", "镀锌钢板", "不锈钢圆棒", "角钢",     "贴片电阻", "贴片电容",
                              "三极管",   "晶振",     "六角螺栓",   "六角螺母", "平垫圈",   "自攻螺钉",
                              "瓦楞纸箱", "气泡膜",   "封箱胶带",   "木托盘",   "环氧树脂", "固化剂",
                              "电机定子", "控制板",   "外壳组件",   "劳保手套", "防尘口罩", "工业抹布"};

store::StorePtr OpenStore(const QString& path) {
    if (QFileInfo::exists(path))
        return store::Store::Open(path);
    QElapsedTimer t;
    t.start();
    store::StorePtr db = store::Store::Open(path);
    db->InTransaction([&] {
        db->Exec(QStringLiteral("INSERT INTO units (id, name) VALUES (1, '个')"));
        QSqlQuery insert = db->Prepare(
            QStringLiteral("INSERT INTO items (id, code, name, model, unit_id) VALUES (?, ?, ?, ?, 1)"));
        const int names = int(std::size(kNames));
        for (int i = 1; i <= kItems; ++i)
            db->Run(insert,
                    {i, QStringLiteral("%1.%2").arg(i % 9 + 1, 2, 10, QChar(u'0')).arg(i, 6, 10, QChar(u'0')),
                     QString(QString::fromUtf8(kNames[i % names]) + QString::number(i % 50)),
                     QStringLiteral("M%1×%2").arg(i % 24 + 4).arg(i % 90 + 10)});
    });
    std::printf("built %s (%d items) in %.1f s\n", qPrintable(path), kItems, double(t.elapsed()) / 1000);
    return db;
}

// The same statement on one connection kept open, so its page cache is as warm as the model's;
// BareScan opens a new connection per run and so starts cold. Best of kRounds, in milliseconds.
double WarmBare(const QString& path, const QString& sql, const QVariantList& binds) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
    double best = 1e18;
    qint64 bytes = 0;
    for (int round = 0; round < kRounds + 1; ++round) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < binds.size(); ++i) {
            const QByteArray v = binds[i].toString().toUtf8();
            sqlite3_bind_text(stmt, i + 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
        }
        while (sqlite3_step(stmt) == SQLITE_ROW)
            for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                bytes += sqlite3_column_bytes(stmt, c);
        sqlite3_reset(stmt);
        if (round > 0) // the first run fills the cache
            best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (bytes == -1)
        std::puts("");
    return best;
}

void PrintPlan(const store::Store& db) {
    QSqlQuery plan = db.Exec(QStringLiteral("EXPLAIN QUERY PLAN ") +
                                 services::lookup::PageSql(db, services::kBaseDataItem, false, true),
                             {QStringLiteral("%x%"), QStringLiteral("%x%")});
    QStringList steps;
    while (plan.next())
        steps << plan.value(3).toString();
    std::printf("plan: %s\n", qPrintable(steps.join(QStringLiteral("; "))));
}

void Measure(const store::StorePtr& db, const QString& path, const QString& search) {
    services::BaseDataModel model(db, services::kBaseDataItem);
    double first = 0, best = 1e18, bestBare = 1e18;
    qint64 bareRows = 0;
    const QString sql = services::lookup::PageSql(*db, services::kBaseDataItem, false, !search.isEmpty());
    const QString pattern = services::lookup::ContainsPattern(search);
    const QVariantList binds = search.isEmpty() ? QVariantList{} : QVariantList{pattern, pattern};
    for (int round = 0; round < kRounds; ++round) {
        // An empty search in between makes every round run the query again.
        model.SetSearch(QStringLiteral("\x01"));
        QElapsedTimer t;
        t.start();
        model.SetSearch(search);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (round == 0)
            first = ms;
        best = std::min(best, ms);
        bestBare = std::min(bestBare, bench::BareScan(path, sql, binds, bareRows));
    }
    const double warm = WarmBare(path, sql, binds);
    std::printf("search \"%s\" (%lld chars): model %d rows%s in %.3f ms (first, with prepare, %.3f ms); "
                "bare sqlite3 %lld rows in %.3f ms warm, %.3f ms on a new connection; ratio %.2f\n",
                qPrintable(search), qlonglong(search.size()), model.rowCount(),
                model.HasMore() ? " (more follow)" : "", best, first, bareRows, warm, bestBare, best / warm);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        const QString path = QDir::temp().filePath(QStringLiteral("zpp_bench_lookup_%1.db").arg(kItems));
        store::StorePtr db = OpenStore(path);
        PrintPlan(*db);
        for (const QString& search :
             {QStringLiteral("栓"), QStringLiteral("045678"), QStringLiteral("螺栓12"), QString()})
            Measure(db, path, search);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
