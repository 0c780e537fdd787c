// The plan list's read over a PostgreSQL store of 100,000 plan entries (or as many as the second
// argument says, a million for the big-plan figure): a bare libpq read of the
// plan statement in single-row mode, the same read through PgRowCursor, and ReadRptData (the
// whole service read), each best of 3, every column of every row read by its type. Needs a server
// URL as the argument or in $ZPP_TEST_PG_URL; a database of its own is created there and dropped.
#include "services/demo/DemoData.h"
#include "services/planning/PgRowCursor.h"
#include "services/planning/RptData.h"

#include "bench/support/PgBareRead.h"
#include "services/store/PgAdmin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <charconv>
#include <cstdio>
#include <vector>

using namespace zpp;
using bench::Kind;
using bench::Sums;

namespace {

qlonglong kEntries = 100000;

template <class F> double Ms(F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

Sums CursorRead(PGconn* conn, const QString& sql, const QVariantList& binds, const std::vector<Kind>& kinds) {
    services::PgRowCursor cur(conn, sql, binds, QStringLiteral("bench"), [] { return true; });
    Sums s;
    const int columns = int(kinds.size());
    while (cur.Next()) {
        ++s.Rows;
        for (int c = 0; c < columns; ++c) {
            if (cur.Null(c))
                ++s.Nulls;
            else if (kinds[c] == Kind::Int)
                s.Ints += cur.Int(c);
            else if (kinds[c] == Kind::Real)
                s.Reals += cur.Real(c);
            else
                s.TextBytes += qint64(cur.Raw(c).size());
        }
    }
    return s;
}

void Run(const QString& location) {
    QElapsedTimer built;
    built.start();
    store::StorePtr db = store::GenerateStore(location, kEntries);
    std::printf("built %lld entries in %.1f s\n", kEntries, double(built.elapsed()) / 1000);

    services::RptFilter filter;
    filter.FromDate = QStringLiteral("2000-01-01");
    filter.ToDate = QStringLiteral("2099-12-31");
    QVariantList binds;
    const QString sql = services::RptDataSql(*db, filter, binds);

    double bare = 1e18, cursor = 1e18, service = 1e18;
    Sums bareSums, cursorSums;
    std::vector<Kind> kinds;
    qint64 serviceRows = 0;
    for (int round = 0; round < 3; ++round) {
        PGconn* conn = db->PgConnection();
        if (!conn)
            throw Error(QStringLiteral("the store has no libpq connection"));
        bare = std::min(bare, Ms([&] { bareSums = bench::BarePgRead(conn, sql, binds, kinds); }));
        cursor = std::min(cursor, Ms([&] { cursorSums = CursorRead(conn, sql, binds, kinds); }));
        service = std::min(service, Ms([&] { serviceRows = services::ReadRptData(*db, filter)->Count(); }));
        if (!(cursorSums == bareSums) || serviceRows != bareSums.Rows)
            throw Error(QStringLiteral("the reads did not see the same rows"));
    }
    std::printf("PostgreSQL %lld entries: bare libpq single-row read %lld rows %.1f ms (%.0f rows/s)\n",
                kEntries, bareSums.Rows, bare, bareSums.Rows / bare * 1000);
    std::printf("  PgRowCursor read %.1f ms; ratio %.2f (target 2.0)\n", cursor, cursor / bare);
    std::printf("  ReadRptData %.1f ms; ratio %.2f (target 2.0)\n", service, service / bare);

    // The filter's "only entries left to order": its condition is part of the statement.
    filter.OnlyUnordered = true;
    const QString openSql = services::RptDataSql(*db, filter, binds);
    double openBare = 1e18, openService = 1e18;
    Sums openSums;
    qint64 openRows = 0;
    for (int round = 0; round < 3; ++round) {
        openBare = std::min(
            openBare, Ms([&] { openSums = bench::BarePgRead(db->PgConnection(), openSql, binds, kinds); }));
        openService =
            std::min(openService, Ms([&] { openRows = services::ReadRptData(*db, filter)->Count(); }));
    }
    std::printf("  only entries left to order: bare read %lld rows %.1f ms, ReadRptData %lld rows %.1f ms;"
                " ratio %.2f\n",
                openSums.Rows, openBare, openRows, openService, openService / openBare);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString server = argc > 1 && argv[1][0] ? QString::fromLocal8Bit(argv[1])
                                                  : QString::fromLocal8Bit(qgetenv("ZPP_TEST_PG_URL"));
    if (argc > 2)
        kEntries = std::max(1LL, QByteArray(argv[2]).toLongLong());
    if (server.isEmpty()) {
        std::printf("PostgreSQL: skipped (give a server URL as the argument or in ZPP_TEST_PG_URL)\n");
        return 0;
    }
    const QString name = QStringLiteral("zpp_bench_pgread_%1").arg(QCoreApplication::applicationPid());
    int status = 0;
    try {
        Run(store::PostgresDatabase(server, name));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    try {
        store::PostgresDatabase(server, name, true);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    return status;
}
