// An import of 100,000 plan entries from CSV and from XLSX (every row read, checked and written in
// one transaction) beside a bare insert of the same rows: the plans and entries written straight
// from memory, prepared one row a statement on SQLite and 500 rows a statement on PostgreSQL.
// SQLite always; PostgreSQL when a server URL is given as the argument or in $ZPP_TEST_PG_URL.
#include "platform/export/Exporter.h"
#include "services/dataimport/DataImport.h"
#include "services/store/PgAdmin.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace zpp;

namespace {

constexpr int kEntries = 100000, kPerPlan = 400, kItems = 2000, kSuppliers = 40;

const QStringList kCaptions{"采购建议号", "日期",     "物料代码",     "供应商代码",
                            "数量",       "含税单价", "建议交货日期", "备注"};

QStringList RowOf(int n) {
    return {QStringLiteral("IMP%1").arg(n / kPerPlan + 1, 6, 10, QChar(u'0')),
            QStringLiteral("2026-03-01"),
            QStringLiteral("1.%1").arg(n % kItems + 1, 5, 10, QChar(u'0')),
            QStringLiteral("01.%1").arg(n % kSuppliers + 1, 3, 10, QChar(u'0')),
            QString::number(10 + n % 90),
            QStringLiteral("2.5"),
            QStringLiteral("2026-03-20"),
            n % 10 == 0 ? QStringLiteral("急件") : QString()};
}

void WriteFile(const QString& path) {
    exporting::Exporter exporter;
    exporter.SetColumnCount(int(kCaptions.size()));
    for (int c = 0; c < kCaptions.size(); ++c)
        exporter.SetColumnCaption(c + 1, kCaptions[c]);
    exporter.SetRowCount(kEntries);
    QObject::connect(&exporter, &exporting::Exporter::LoadData, [](int row, exporting::ExportRow* out) {
        const QStringList values = RowOf(row - 1);
        for (int c = 0; c < values.size(); ++c)
            out->SetValue(c + 1, values[c]);
    });
    QString error;
    if (!exporter.Write(path, exporting::Exporter::FormatOf(path), QStringLiteral("plans"), &error))
        throw Error(error);
}

void Seed(const store::Store& db) {
    db.InTransaction([&] {
        db.Exec(QStringLiteral("INSERT INTO units (id, name) VALUES (1, '个')"));
        for (int s = 1; s <= kSuppliers; ++s)
            db.Exec(
                QStringLiteral("INSERT INTO suppliers (id, code, name, tax_rate) VALUES (?, ?, ?, 13)"),
                {s, QStringLiteral("01.%1").arg(s, 3, 10, QChar(u'0')), QStringLiteral("供应商%1").arg(s)});
        QSqlQuery item = db.Prepare(QStringLiteral(
            "INSERT INTO items (id, code, name, unit_id, qty_decimals) VALUES (?, ?, ?, 1, 2)"));
        for (int i = 1; i <= kItems; ++i)
            db.Run(item,
                   {i, QStringLiteral("1.%1").arg(i, 5, 10, QChar(u'0')), QStringLiteral("物料%1").arg(i)});
    });
}

void Reset(const store::Store& db) {
    db.InTransaction([&] {
        db.Exec(QStringLiteral("DELETE FROM plan_entries"));
        db.Exec(QStringLiteral("DELETE FROM purchase_plans"));
        db.Exec(QStringLiteral("DELETE FROM operation_log"));
    });
}

// The same rows as the import writes, from memory: no file, no checks.
double Bare(const store::Store& db) {
    QElapsedTimer t;
    t.start();
    const int batch = db.IsSQLite() ? 1 : 500;
    db.InTransaction([&] {
        QSqlQuery plan = db.Prepare(QStringLiteral(
            "INSERT INTO purchase_plans (id, bill_no, bill_date, created_by) VALUES (?, ?, ?, 1)"));
        QStringList marks(batch, QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        QSqlQuery entry = db.Prepare(
            QStringLiteral(
                "INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, supplier_id, qty,"
                " ordered_qty, unordered_qty, push_qty, price, tax_rate, finish_date, memo, source_no)"
                " VALUES ") +
            marks.join(QStringLiteral(", ")));
        QVariantList values;
        for (int n = 0; n < kEntries; ++n) {
            if (n % kPerPlan == 0)
                db.Run(plan,
                       {n / kPerPlan + 1, QStringLiteral("IMP%1").arg(n / kPerPlan + 1, 6, 10, QChar(u'0')),
                        QStringLiteral("2026-03-01")});
            const double qty = 10 + n % 90;
            values << n / kPerPlan + 1 << n % kPerPlan + 1 << QStringLiteral("2026-03-01") << n % kItems + 1
                   << n % kSuppliers + 1 << qty << 0.0 << qty << qty << 2.5 << 13.0
                   << QStringLiteral("2026-03-20")
                   << (n % 10 == 0 ? QStringLiteral("急件") : QStringLiteral("")) << QStringLiteral("");
            if (values.size() == 14 * batch) {
                db.Run(entry, values);
                values.clear();
            }
        }
    });
    return double(t.nsecsElapsed()) / 1e6;
}

long PeakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Run(const char* name, const QString& location, const QString& csv, const QString& xlsx) {
    store::StorePtr db = store::Store::Open(location);
    Seed(*db);
    auto session = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")));
    double bestCsv = 1e18, bestXlsx = 1e18, bestBare = 1e18, bestDry = 1e18, bestDryXlsx = 1e18;
    for (int round = 0; round < 2; ++round) {
        for (const QString& file : {csv, xlsx}) {
            Reset(*db);
            QElapsedTimer t;
            t.start();
            const services::ImportResult r =
                services::DataImport(session).Run(services::ImportKind::Plans, file, {});
            const double ms = double(t.nsecsElapsed()) / 1e6;
            if (!r.Written || r.Added != kEntries ||
                db->Scalar(QStringLiteral("SELECT COUNT(*) FROM plan_entries")).toInt() != kEntries)
                throw Error(QStringLiteral("the import did not write what it should"));
            (file == csv ? bestCsv : bestXlsx) = std::min(file == csv ? bestCsv : bestXlsx, ms);
        }
        // Dry runs read and check every row and write nothing: the reading's own share.
        for (const QString& file : {csv, xlsx}) {
            Reset(*db);
            QElapsedTimer t;
            t.start();
            services::DataImport(session).Run(services::ImportKind::Plans, file, {true, false});
            double& best = file == csv ? bestDry : bestDryXlsx;
            best = std::min(best, double(t.nsecsElapsed()) / 1e6);
        }
        Reset(*db);
        bestBare = std::min(bestBare, Bare(*db));
    }
    std::printf("%s: import of %d plan entries: CSV %.0f ms, XLSX %.0f ms, dry run CSV %.0f ms, XLSX %.0f ms;"
                " bare insert of the same rows %.0f ms; ratio CSV %.2f, XLSX %.2f (target 2.0)\n",
                name, kEntries, bestCsv, bestXlsx, bestDry, bestDryXlsx, bestBare, bestCsv / bestBare,
                bestXlsx / bestBare);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("plans.csv")),
                      xlsx = dir.filePath(QStringLiteral("plans.xlsx"));
        WriteFile(csv);
        WriteFile(xlsx);
        std::printf("files: CSV %lld KB, XLSX %lld KB; peak memory after writing them %ld KB\n",
                    QFileInfo(csv).size() / 1024, QFileInfo(xlsx).size() / 1024, PeakKb());
        const QString path = QDir::temp().filePath(QStringLiteral("zpp_bench_import.db"));
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
        Run("SQLite", path, csv, xlsx);
        std::printf("peak memory %ld KB\n", PeakKb());
        const QString server =
            argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString::fromLocal8Bit(qgetenv("ZPP_TEST_PG_URL"));
        if (!server.isEmpty()) {
            const QString name =
                QStringLiteral("zpp_bench_import_%1").arg(QCoreApplication::applicationPid());
            Run("PostgreSQL", store::PostgresDatabase(server, name), csv, xlsx);
            store::PostgresDatabase(server, name, true);
        } else {
            std::printf("PostgreSQL: skipped (give a server URL as the argument or in ZPP_TEST_PG_URL)\n");
        }
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
