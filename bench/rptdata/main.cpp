// GetRptData over whole stores of 10,000 and 100,000 plan entries, beside a bare typed scan of
// the same rows with the same statement through the SQLite C API. Stores are built once and kept
// in the temporary directory.
#include "bench/support/BareScan.h"
#include "services/demo/DemoData.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/planning/RptData.h"
#include "services/store/Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

using namespace zpp;

namespace {

long RssKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

RecordPtr AllDates() {
    auto c = KeyedRecord::Create();
    c->Set(QStringLiteral("OK"), true);
    c->Set(QStringLiteral("BDate"), QStringLiteral("2000-01-01"));
    c->Set(QStringLiteral("EDate"), QStringLiteral("2099-12-31"));
    c->Set(QStringLiteral("Closed"), 0);
    for (const char* key : {"BItemClass", "BItemNumber", "EItemNumber", "BBillNo", "EBillNo"})
        c->Set(QString::fromLatin1(key), QStringLiteral(""));
    return c;
}

// Reads every column of every row by its stored type, as a minimal consumer would.
void Run(qlonglong entries) {
    const QString path = QDir::temp().filePath(QStringLiteral("zpp_bench_rptdata_%1.db").arg(entries));
    store::StorePtr db;
    if (QFileInfo::exists(path)) {
        db = store::Store::Open(path);
    } else {
        QElapsedTimer t;
        t.start();
        db = store::GenerateStore(path, entries);
        std::printf("built %s in %.1f s\n", qPrintable(path), double(t.elapsed()) / 1000);
    }
    auto session = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")));
    services::PurchasePlanInfoService info(session);

    QVariantList binds;
    const QString sql =
        services::RptDataSql(*db, services::RptFilter::FromConditions(AllDates().get(), {}), binds);

    double best = 1e18, bestBare = 1e18;
    qint64 rows = 0, bareRows = 0;
    long rssDelta = 0;
    for (int round = 0; round < 3; ++round) {
        RecordPtr c = AllDates();
        QString bill;
        const long before = RssKb();
        QElapsedTimer t;
        t.start();
        RecordListPtr list = info.GetRptData(QString(), c, QStringLiteral("1"), bill);
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
        if (round == 0) // later rounds reuse the memory the first one freed
            rssDelta = RssKb() - before;
        rows = list->Count();
        list.reset();
        bestBare = std::min(bestBare, bench::BareScan(path, sql, binds, bareRows));
    }
    std::printf("%lld entries: GetRptData %lld rows %.1f ms (%.0f rows/s, about %ld B/row held); "
                "bare sqlite3 scan %lld rows %.1f ms; ratio %.2f\n",
                entries, rows, best, rows / best * 1000, rows ? rssDelta * 1024 / long(rows) : 0L, bareRows,
                bestBare, best / bestBare);

    // The filter's "only entries left to order": its condition is part of the statement.
    const RecordPtr open = AllDates();
    open->Set(QStringLiteral("Unordered"), 1);
    QVariantList openBinds;
    const QString openSql =
        services::RptDataSql(*db, services::RptFilter::FromConditions(open.get(), {}), openBinds);
    double bestOpen = 1e18, bestOpenBare = 1e18;
    qint64 openRows = 0, openBareRows = 0;
    for (int round = 0; round < 3; ++round) {
        RecordPtr c = open->Clone();
        QString bill;
        QElapsedTimer t;
        t.start();
        openRows = info.GetRptData(QString(), c, QStringLiteral("1"), bill)->Count();
        bestOpen = std::min(bestOpen, double(t.nsecsElapsed()) / 1e6);
        bestOpenBare = std::min(bestOpenBare, bench::BareScan(path, openSql, openBinds, openBareRows));
    }
    std::printf(
        "  only entries left to order: GetRptData %lld rows %.1f ms; bare sqlite3 scan %lld rows %.1f ms;"
        " ratio %.2f\n",
        openRows, bestOpen, openBareRows, bestOpenBare, bestOpen / bestOpenBare);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        // Sizes may be given as arguments (a store of each is built once and kept).
        QList<qlonglong> sizes = {10000, 100000};
        if (argc > 1) {
            sizes.clear();
            for (int i = 1; i < argc; ++i)
                sizes << QByteArray(argv[i]).toLongLong();
        }
        for (qlonglong n : sizes)
            Run(n);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
