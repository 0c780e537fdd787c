// The list's Refresh (planning service plus grid fill) over whole SQLite stores of 10,000 and
// 100,000 entries, beside a bare typed scan of the same rows with the same statement through
// the SQLite C API in the same run, and the heap the rows and the grid hold per cell.
// Stores are built once and kept in the temporary directory. With --huge, a million entries
// first, with the program's peak resident memory.
#include "app/Wiring.h"
#include "bench/support/BareScan.h"
#include "bench/support/Memory.h"
#include "bench/support/PgBareRead.h"
#include "component/grid/PlanGrid.h"
#include "component/host/ComponentState.h"
#include "component/host/HostObjectFactory.h"
#include "component/host/ProgIds.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/operations/clsPurchasePlan.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"
#include "platform/ui/Prompt.h"
#include "services/demo/DemoData.h"
#include "services/planning/RptData.h"
#include "services/store/PgAdmin.h"
#include "services/store/Session.h"
#include "services/store/Store.h"

#include <xlsxwriter.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringEncoder>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

using namespace zpp;

namespace {

RecordPtr AllEntries() {
    auto c = KeyedRecord::Create();
    c->Set(QStringLiteral("OK"), true);
    c->Set(QStringLiteral("BDate"), QStringLiteral("2000-01-01"));
    c->Set(QStringLiteral("EDate"), QStringLiteral("2099-12-31"));
    c->Set(QStringLiteral("Closed"), 0);
    return c;
}

// Reads every column of every row by its stored type, as a minimal consumer would.
// A grid as the list window prepares it.
std::unique_ptr<controls::SpreadGrid> NewGrid() {
    auto grid = std::make_unique<controls::SpreadGrid>();
    ApplyPlanColumns(*grid, QString());
    grid->resize(1280, 800);
    grid->show();
    QApplication::processEvents();
    return grid;
}

template <class F> double Ms(F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

template <class F> double MeanMs(int runs, F&& f) {
    return Ms([&] {
               for (int i = 0; i < runs; ++i)
                   f();
           }) /
           runs;
}

// Forgets the peak resident figure, so the next VmHWM is the peak of what runs after.
void ResetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double PeakAboveMb(long listedKb) {
    return (bench::ProcStatusKb("VmHWM:") - listedKb) / 1024.0;
}

// The shown cells of the grid through libxlsxwriter alone, constant memory, numbers as numbers:
// the floor of the list's export.
double BareXlsx(controls::SpreadGrid& grid, const QString& path) {
    return Ms([&] {
        QStringEncoder encoder(QStringEncoder::Utf8);
        QByteArray bytes;
        auto utf8 = [&](const QString& text) {
            bytes.resize(encoder.requiredSpace(text.size()) + 1);
            *encoder.appendToBuffer(bytes.data(), text) = 0;
            return bytes.constData();
        };
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        lxw_workbook* wb = workbook_new_opt(QFile::encodeName(path).constData(), &options);
        lxw_worksheet* ws = workbook_add_worksheet(wb, "sheet");
        QVector<int> cols;
        for (int c = 1; c <= grid.MaxCols(); ++c)
            if (!grid.ColHidden(c))
                cols << c;
        for (int i = 0; i < cols.size(); ++i)
            worksheet_write_string(ws, 0, lxw_col_t(i), utf8(grid.HeaderText(cols[i])), nullptr);
        for (int r = 1; r <= grid.MaxRows(); ++r)
            for (int i = 0; i < cols.size(); ++i) {
                const QString text = grid.Text(cols[i], r);
                if (text.isEmpty())
                    continue;
                if (grid.ColCellType(cols[i]) == controls::CellType::Number)
                    worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(i), text.toDouble(), nullptr);
                else
                    worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(i), utf8(text), nullptr);
            }
        workbook_close(wb);
    });
}

// Preview, export and print of a listed million rows, each with its peak resident memory
// above the listed state.
void OutputOfMillion(ClsPurchasePlanUI& ui, controls::SpreadGrid& grid) {
    QTemporaryDir dir;
    const long listed = bench::ProcStatusKb("VmRSS:");
    std::printf("  listed: %.0f MB resident\n", listed / 1024.0);

    // A find that must look at every shown cell: a text no cell holds, exact and in any case.
    for (const bool matchCase : {true, false}) {
        std::optional<std::pair<int, int>> found;
        const double ms = Ms([&] { found = grid.Find(QStringLiteral("Zz无此文字"), 1, 1, true, matchCase); });
        std::printf("  find of a text no cell holds (%s): %.0f ms%s (target 100 ms)\n",
                    matchCase ? "exact" : "any case", ms, found ? ", FOUND: a fault" : "");
    }

    ResetPeak();
    QElapsedTimer t;
    double firstPage = 0;
    ui::SetModalHandler([&](QDialog& d) {
        d.resize(900, 720);
        d.show();
        if (auto* page = d.findChild<QWidget*>(QStringLiteral("pagePreview")))
            page->grab();
        firstPage = t.nsecsElapsed() / 1e6;
        return int(QDialog::Rejected);
    });
    t.start();
    ui.PrintPreView();
    std::printf("  preview: first page %.0f ms (target 100 ms); peak %.0f MB above listed (target 50 MB)\n",
                firstPage, PeakAboveMb(listed));

    ResetPeak();
    const QString xlsx = dir.filePath(QStringLiteral("plan.xlsx"));
    ui::SetModalHandler([&](QDialog& d) {
        auto* file = d.findChild<QLineEdit*>(QStringLiteral("txtFile"));
        auto* formats = d.findChild<QComboBox*>(QStringLiteral("cboFormat"));
        if (!file || !formats)
            return int(QDialog::Rejected);
        formats->setCurrentIndex(0);
        file->setText(xlsx);
        return int(QDialog::Accepted);
    });
    const double exportMs = Ms([&] { ui.FileExport(); });
    const double exportPeak = PeakAboveMb(listed);
    const double bare = BareXlsx(grid, dir.filePath(QStringLiteral("bare.xlsx")));
    std::printf(
        "  export to XLSX: %.1f s (%.0f MB file) beside libxlsxwriter alone %.1f s: %.2f (target 1.3); "
        "peak %.0f MB above listed (target 50 MB)\n",
        exportMs / 1000, QFileInfo(xlsx).size() / 1e6, bare / 1000, exportMs / bare, exportPeak);

    ResetPeak();
    const QString pdf = dir.filePath(QStringLiteral("plan.pdf"));
    ui::SetModalHandler([&](QDialog& d) {
        auto* print = qobject_cast<QPrintDialog*>(&d);
        if (!print)
            return int(QDialog::Rejected);
        print->printer()->setOutputFormat(QPrinter::PdfFormat);
        print->printer()->setOutputFileName(pdf);
        return int(QDialog::Accepted);
    });
    const double printMs = Ms([&] { ui.PrintPre(); });
    std::printf("  print to PDF: %.1f s (%.0f MB file); peak %.0f MB above listed (target 50 MB)\n",
                printMs / 1000, QFileInfo(pdf).size() / 1e6, PeakAboveMb(listed));
    ui::SetModalHandler({});
}

void Run(qlonglong entries, bool withOutputs = true) {
    const QString path = QDir::temp().filePath(QStringLiteral("zpp_bench_refresh_%1.db").arg(entries));
    store::StorePtr db;
    if (QFileInfo::exists(path)) {
        db = store::Store::Open(path);
    } else {
        const double ms = Ms([&] { db = store::GenerateStore(path, entries); });
        std::printf("built %s in %.1f s\n", qPrintable(path), ms / 1000);
    }
    ResetState();
    app::Wire(std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin"))));
    BuildPlanColumnSet(26000 / 113.4);

    QVariantList binds;
    const QString sql =
        services::RptDataSql(*db, services::RptFilter::FromConditions(AllEntries().get(), {}), binds);
    QString noBill;

    const bool huge = entries >= 1000000;
    if (!huge) {
        // Warms the store's page cache and Qt's lazy state, so the heap figure below is the list's.
        auto grid = NewGrid();
        ClsPurchasePlanUI ui;
        ui.SetSpread(grid.get());
        State().FilterConditions = AllEntries();
        ui.Refresh(noBill);
    }

    auto grid = NewGrid();
    controls::LedgerGrid ledger;
    auto ui = std::make_unique<ClsPurchasePlanUI>();
    ui->SetSpread(grid.get());
    ui->SetLedger(&ledger);
    State().FilterConditions = AllEntries();
    const std::size_t before = bench::HeapInUse();
    double best = Ms([&] { ui->Refresh(noBill); });
    const std::size_t after = bench::HeapInUse();
    const long peak = bench::ProcStatusKb("VmHWM:");
    const int rows = grid->MaxRows();
    const double cells = double(rows) * grid->MaxCols();

    qint64 bareRows = 0;
    double bestBare = bench::BareScan(path, sql, binds, bareRows);
    double bestService = 1e18;
    for (int round = 0; round < 3; ++round) {
        State().FilterConditions = AllEntries();
        best = std::min(best, Ms([&] { ui->Refresh(noBill); }));
        bestBare = std::min(bestBare, bench::BareScan(path, sql, binds, bareRows));
        auto info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
        RecordPtr c = AllEntries();
        QString bill;
        bestService =
            std::min(bestService, Ms([&] { info->GetRptData(QString(), c, QStringLiteral("1"), bill); }));
    }

    std::printf(
        "%lld entries: Refresh %d rows %.1f ms (GetRptData %.1f, grid fill %.1f); bare sqlite3 "
        "scan %lld rows %.1f ms; ratio %.2f (target 1.3); heap %.1f B per cell (rows + grid, %.1f MB; "
        "target 30 B)\n",
        entries, rows, best, bestService, best - bestService, bareRows, bestBare, best / bestBare,
        (after - before) / cells, (after - before) / 1e6);
    if (huge)
        std::printf("  peak resident memory of the program after the first refresh %.0f MB (target 600 MB)\n",
                    peak / 1024.0);

    QTableView* view = grid->View();
    view->viewport()->repaint();
    const double repaint = MeanMs(20, [&] { view->viewport()->repaint(); });
    int flip = 0;
    const double jump = MeanMs(20, [&] {
        grid->ScrollToRow(flip++ % 2 ? 1 : grid->MaxRows());
        view->viewport()->repaint();
    });
    std::printf("  %d rows shown: repaint %.2f ms, jump to the last row + repaint %.2f ms\n", rows, repaint,
                jump);
    if (huge && withOutputs)
        OutputOfMillion(*ui, *grid);
    ui.reset();
    grid.reset();
    HostObjectFactory::Instance().Clear();
}

// A push after select-all over a listed million entries, on a copy of the refresh bench's store
// (the push orders every open entry), or on a PostgreSQL store made for the run: its time and its
// peak resident memory above the listed state.
void PushOfMillion(qlonglong entries, const QString& server) {
    const QString path = QDir::temp().filePath(QStringLiteral("zpp_bench_push_%1.db").arg(entries));
    const QString pgName = QStringLiteral("zpp_bench_push_%1").arg(QCoreApplication::applicationPid());
    struct Remove {
        QString path, server, pgName;
        ~Remove() {
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(path + QLatin1String(suffix));
            if (!server.isEmpty())
                try {
                    store::PostgresDatabase(server, pgName, true);
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "%s\n", e.what());
                }
        }
    } remove{path, server, pgName};
    store::StorePtr db;
    if (server.isEmpty()) {
        const QString source = QDir::temp().filePath(QStringLiteral("zpp_bench_refresh_%1.db").arg(entries));
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
        store::StorePtr original;
        if (QFileInfo::exists(source)) {
            original = store::Store::Open(source);
        } else {
            const double ms = Ms([&] { original = store::GenerateStore(source, entries); });
            std::printf("built %s in %.1f s\n", qPrintable(source), ms / 1000);
        }
        original->Exec(
            QStringLiteral("VACUUM INTO '%1'").arg(QString(path).replace(u'\'', QStringLiteral("''"))));
        original.reset();
        db = store::Store::Open(path);
    } else {
        const double ms =
            Ms([&] { db = store::GenerateStore(store::PostgresDatabase(server, pgName), entries); });
        std::printf("built a PostgreSQL store of %lld entries in %.1f s\n", entries, ms / 1000);
    }
    // Every open entry made one that may be pushed: the demo's delivery dates lie in the past (they
    // move a century on, keeping their spread), entries with nothing left to order are closed, and no
    // supplier has a credit line, so the list of open entries pushes whole.
    const QString later = db->IsSQLite()
                              ? QStringLiteral("date(COALESCE(finish_date, entry_date), '+100 years')")
                              : QStringLiteral("to_char(CAST(COALESCE(finish_date, entry_date) AS DATE)"
                                               " + INTERVAL '100 years', 'YYYY-MM-DD')");
    db->InTransaction([&] {
        db->Exec(QStringLiteral("UPDATE plan_entries SET close_mark = 'Y' WHERE unordered_qty <= 0"));
        db->Exec(QStringLiteral("UPDATE plan_entries SET finish_date = ") + later +
                 QStringLiteral(", push_qty = unordered_qty,"
                                " supplier_id = COALESCE(supplier_id, (SELECT MIN(id) FROM suppliers))"
                                " WHERE close_mark = ''"));
        db->Exec(QStringLiteral("UPDATE suppliers SET credit_line = NULL"));
    });
    ResetState();
    app::Wire(std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin"))));
    BuildPlanColumnSet(26000 / 113.4);
    auto grid = NewGrid();
    auto ui = std::make_unique<ClsPurchasePlanUI>();
    ui->SetSpread(grid.get());
    State().FilterConditions = AllEntries();
    State().FilterConditions->Set(QStringLiteral("Closed"), 1);
    QString noBill;
    const double listMs = Ms([&] { ui->Refresh(noBill); });
    ui->SelectAll();
    const long listed = bench::ProcStatusKb("VmRSS:");
    std::printf("%s: push after select-all: %d rows listed and ticked in %.1f s, %.0f MB resident\n",
                db->IsSQLite() ? "SQLite" : "PostgreSQL", grid->MaxRows(), listMs / 1000, listed / 1024.0);

    // Every question is answered yes; the high-price window goes on, the result window is closed.
    auto prompter = std::make_shared<ui::ScriptedPrompter>();
    ui::SetPrompter(prompter);
    int highPrice = 0;
    ui::SetModalHandler([&](QDialog& d) {
        if (d.objectName() == u"frmPOHighPrice") {
            ++highPrice;
            return int(QDialog::Accepted);
        }
        return int(QDialog::Rejected);
    });
    ResetPeak();
    clsPurchasePlan ops;
    ops.SetSpread(grid.get());
    ops.SetLoadedRows([&] { return ui->Loaded(); }); // as the list does: every entry goes with its version
    bool sent = false;
    const double pushMs = Ms([&] { sent = ops.PushBill(); });
    const double peak = PeakAboveMb(listed);
    const qlonglong lines =
        db->Scalar(QStringLiteral("SELECT COUNT(*) FROM purchase_order_lines")).toLongLong();
    const qlonglong sources =
        db->Scalar(QStringLiteral("SELECT COUNT(*) FROM purchase_order_line_sources")).toLongLong();
    std::printf(
        "  push %s: %.1f s; %lld order lines from %lld entries (%d push lines, high-price window %s); "
        "peak %.0f MB above listed (target 300 MB)\n",
        sent ? "sent" : "NOT SENT", pushMs / 1000, lines, sources, ops.PushVct() ? ops.PushVct()->Count() : 0,
        highPrice ? "shown" : "not shown", peak);
    for (const auto& shown : prompter->Log)
        std::printf("  said: %s\n", qPrintable(shown.Text.left(200)));
    if (!ops.PushProblems().isEmpty())
        std::printf("  refused: %s\n", qPrintable(ops.PushProblems().left(300)));
    ui::SetModalHandler({});
    ui::SetPrompter(nullptr);
    ui.reset();
    grid.reset();
    HostObjectFactory::Instance().Clear();
    ResetState();
    db.reset();
}

// The same refresh over a PostgreSQL store made for the run (and dropped after it), beside a bare
// libpq read of the same statement on the store's connection.
void RunPg(const QString& server, qlonglong entries) {
    const QString name = QStringLiteral("zpp_bench_refresh_%1").arg(QCoreApplication::applicationPid());
    struct Drop {
        QString server, name;
        ~Drop() {
            try {
                store::PostgresDatabase(server, name, true);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s\n", e.what());
            }
        }
    } drop{server, name};
    store::StorePtr db;
    const double built =
        Ms([&] { db = store::GenerateStore(store::PostgresDatabase(server, name), entries); });
    std::printf("built a PostgreSQL store of %lld entries in %.1f s\n", entries, built / 1000);
    ResetState();
    app::Wire(std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin"))));
    BuildPlanColumnSet(26000 / 113.4);
    QVariantList binds;
    const QString sql =
        services::RptDataSql(*db, services::RptFilter::FromConditions(AllEntries().get(), {}), binds);

    auto grid = NewGrid();
    auto ui = std::make_unique<ClsPurchasePlanUI>();
    ui->SetSpread(grid.get());
    QString noBill;
    double best = 1e18, bare = 1e18, service = 1e18;
    std::vector<bench::Kind> kinds;
    bench::Sums sums;
    for (int round = 0; round < 3; ++round) {
        State().FilterConditions = AllEntries();
        best = std::min(best, Ms([&] { ui->Refresh(noBill); }));
        bare = std::min(bare, Ms([&] { sums = bench::BarePgRead(db->PgConnection(), sql, binds, kinds); }));
        auto info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
        RecordPtr c = AllEntries();
        QString bill;
        service = std::min(service, Ms([&] { info->GetRptData(QString(), c, QStringLiteral("1"), bill); }));
    }
    std::printf(
        "PostgreSQL %lld entries: Refresh %d rows %.1f ms (GetRptData %.1f, grid fill %.1f); bare libpq "
        "read %lld rows %.1f ms; ratio %.2f (target 1.5)\n",
        entries, grid->MaxRows(), best, service, best - service, sums.Rows, bare, best / bare);
    ui.reset();
    grid.reset();
    // Every holder of the store lets go, so its database can be dropped.
    HostObjectFactory::Instance().Clear();
    ResetState();
    db.reset();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The list controller writes its INI file; keep it out of the user's configuration.
    QTemporaryDir config;
    ini::SetConfigDir(config.path());
    try {
        // "--huge" adds a list of a million entries (its store takes about a minute to build once);
        // "--refresh-only" leaves out its preview, export and print.
        // "--pg [URL] [N]": the refresh over PostgreSQL instead (URL default $ZPP_TEST_PG_URL).
        // "--push [--pg [URL]] [N]": a push after select-all of N entries (default a million) instead.
        const QStringList args = app.arguments();
        if (args.contains(QStringLiteral("--push"))) {
            const QString count = args.last();
            QString server;
            if (const qsizetype pg = args.indexOf(QStringLiteral("--pg")); pg > 0) {
                server = args.value(pg + 1);
                if (!server.startsWith(QStringLiteral("postgresql:")))
                    server = QString::fromLocal8Bit(qgetenv("ZPP_TEST_PG_URL"));
            }
            PushOfMillion(count.toLongLong() > 0 ? count.toLongLong() : 1000000, server);
            return 0;
        }
        if (const qsizetype pg = args.indexOf(QStringLiteral("--pg")); pg > 0) {
            QString server = args.value(pg + 1);
            if (!server.startsWith(QStringLiteral("postgresql:")))
                server = QString::fromLocal8Bit(qgetenv("ZPP_TEST_PG_URL"));
            if (server.isEmpty()) {
                std::printf("PostgreSQL: skipped (give a server URL after --pg or in ZPP_TEST_PG_URL)\n");
                return 0;
            }
            const QString count = args.last();
            RunPg(server, count.toLongLong() > 0 ? count.toLongLong() : 100000);
            return 0;
        }
        const bool huge = args.contains(QStringLiteral("--huge"));
        if (huge) // first, so the peak memory figure is that of this list alone
            Run(1000000, !args.contains(QStringLiteral("--refresh-only")));
        for (qlonglong n : {10000LL, 100000LL})
            Run(n);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
