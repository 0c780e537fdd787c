// Many buyers on one PostgreSQL server: client processes, each with its own connection, run a
// buyer's mix for a while (read about 2,000 entries by a date filter, edit and save three of them,
// push two, look up the orders of one, export what was read) against a demo store of 100,000
// entries. Prints commands per second, the median and 95th percentile of each command, the
// failures (anything but another user's change refusing one) and the entries over-ordered or whose
// orders do not add up.
// With LISTS, this program keeps that many lists open meanwhile, each listening on a connection of
// its own and reading every change the clients commit, and says what the server spent in all.
//   bench_load [SERVER_URL] [CLIENTS=50] [SECONDS=120] [LISTS=0]   (server default: $ZPP_TEST_PG_URL)
#include "component/host/PlanFields.h"
#include "platform/export/Exporter.h"
#include "platform/records/Values.h"
#include "services/bills/LinkedBills.h"
#include "services/demo/DemoData.h"
#include "services/planning/RptData.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "services/store/EntryChanges.h"
#include "services/store/PgAdmin.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

using namespace zpp;

namespace {

const char* const kCommands[] = {"read", "save", "push", "downstream", "export"};

// One client: runs the mix until its time is up, one line a command ("name ms ok|refused|failed text").
int Client(const QString& url, int seed, int seconds) {
    auto db = store::Store::Open(url);
    auto session = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")));
    services::PurchasePlanUpdateService update(session);
    std::mt19937 rng(seed);
    const QDate first =
        QDate::fromString(db->Scalar("SELECT MIN(entry_date) FROM plan_entries").toString(), Qt::ISODate);
    const int span = int(first.daysTo(QDate::currentDate()));
    QTemporaryDir dir;
    QElapsedTimer total;
    total.start();
    auto run = [&](const char* name, auto&& work) {
        QElapsedTimer t;
        t.start();
        QString outcome = QStringLiteral("ok");
        try {
            work();
        } catch (const Error& e) {
            // Another user's save or push of the same entry is the store doing its job.
            const bool refused = e.Description().contains(QStringLiteral("其他用户")) ||
                                 e.Description().contains(QStringLiteral("未下达")) ||
                                 e.Description().contains(QStringLiteral("已关闭")) ||
                                 e.Description().contains(QStringLiteral("信用额度"));
            outcome = (refused ? QStringLiteral("refused ") : QStringLiteral("failed ")) +
                      e.Description().simplified().left(120);
        }
        std::printf("%s %.2f %s\n", name, double(t.nsecsElapsed()) / 1e6, outcome.toUtf8().constData());
        std::fflush(stdout);
    };
    while (total.elapsed() < seconds * 1000LL) {
        // About 2,000 entries: the demo store has some 40 a day.
        services::RptFilter filter;
        const QDate from = first.addDays(std::uniform_int_distribution<int>(0, std::max(0, span - 50))(rng));
        filter.FromDate = values::DisplayDate(from);
        filter.ToDate = values::DisplayDate(from.addDays(49));
        RecordListPtr rows;
        run("read", [&] { rows = services::ReadRptData(*db, filter); });
        if (!rows || rows->Count() == 0)
            continue;
        auto pick = [&] { return std::uniform_int_distribution<int>(1, rows->Count())(rng); };
        run("save", [&] {
            auto edits = RecordList::Create();
            for (int i = 0; i < 3; ++i) {
                RecordPtr r = rows->Item(pick())->Clone();
                r->Set(QStringLiteral("FMemo"), QStringLiteral("load %1").arg(seed));
                r->Set(kEntryEditedField, 1);
                edits->Add(r);
            }
            update.UpdatePurchasePlanEntry({}, edits);
        });
        run("push", [&] {
            auto lines = RecordList::Create();
            for (int tries = 0; tries < 20 && lines->Count() < 2; ++tries) {
                const RecordPtr& r = rows->Item(pick());
                if (!r->Text(QStringLiteral("FClose")).trimmed().isEmpty() ||
                    r->Text(QStringLiteral("FSupplyNumber")).isEmpty() ||
                    // the demo suppliers whose credit line refuses more orders
                    r->Text(QStringLiteral("FSupplyNumber")) == u"01.005" ||
                    r->Text(QStringLiteral("FSupplyNumber")) == u"01.008" ||
                    values::Val(r->Get(QStringLiteral("FPurchaseUnFinishQty"), 0)) < 1)
                    continue;
                RecordPtr line = r->Clone();
                line->Set(QStringLiteral("FPushQty"), QStringLiteral("1"));
                line->Set(QStringLiteral("FFinishDate"),
                          values::DisplayDate(QDate::currentDate().addDays(10)));
                lines->Add(line);
            }
            if (lines->Count() == 0)
                return;
            QString ids;
            QDate date = QDate::currentDate();
            update.PushBill({}, lines, session->UserId, ids, date);
        });
        run("downstream", [&] {
            const RecordPtr& r = rows->Item(pick());
            services::DownstreamBills(*db, values::ToInt32(r->Get(QStringLiteral("FInterID"))),
                                      values::ToInt32(r->Get(QStringLiteral("FEntryID"))));
        });
        run("export", [&] {
            exporting::Exporter exporter;
            const QStringList& fields = PlanFieldNames();
            exporter.SetColumnCount(int(fields.size()));
            for (int c = 0; c < fields.size(); ++c)
                exporter.SetColumnCaption(c + 1, fields[c]);
            exporter.SetRowCount(rows->Count());
            QObject::connect(&exporter, &exporting::Exporter::LoadData,
                             [&](int row, exporting::ExportRow* out) {
                                 const RecordPtr& r = rows->Item(row);
                                 for (int c = 0; c < fields.size(); ++c)
                                     out->SetValue(c + 1, r->Text(fields[c]));
                             });
            QString error;
            if (!exporter.Write(dir.filePath(QStringLiteral("plan.csv")), exporting::Format::Csv, "plan",
                                &error))
                throw Error(error);
        });
    }
    return 0;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

} // namespace

// CPU ticks each server process has used so far, kept per process: a backend that ends keeps what
// it had at the last look.
void SampleServer(QHash<int, qint64>& ticks) {
    QDirIterator procs(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (procs.hasNext()) {
        const QString dir = procs.next();
        bool ok = false;
        const int pid = QFileInfo(dir).fileName().toInt(&ok);
        QFile stat(dir + QStringLiteral("/stat"));
        if (!ok || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        if (!line.mid(line.indexOf('(') + 1, close - line.indexOf('(') - 1).startsWith("postgres"))
            continue;
        // After the name: state is field 3, utime and stime fields 14 and 15.
        const QList<QByteArray> f = line.mid(close + 2).split(' ');
        if (f.size() > 12)
            ticks[pid] = std::max(ticks.value(pid), f[11].toLongLong() + f[12].toLongLong());
    }
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.value(1) == QStringLiteral("--client"))
        return Client(args.value(2), args.value(3).toInt(), args.value(4).toInt());
    const QString server =
        args.size() > 1 && !args[1].isEmpty() ? args[1] : qEnvironmentVariable("ZPP_TEST_PG_URL");
    const int clients = args.size() > 2 ? args[2].toInt() : 50,
              seconds = args.size() > 3 ? args[3].toInt() : 120,
              lists = args.size() > 4 ? args[4].toInt() : 0;
    if (server.isEmpty()) {
        std::printf("PostgreSQL: skipped (give a server URL as the argument or in ZPP_TEST_PG_URL)\n");
        return 0;
    }
    try {
        const QString name = QStringLiteral("zpp_bench_load_%1").arg(QCoreApplication::applicationPid());
        const QString url = store::PostgresDatabase(server, name);
        {
            QElapsedTimer t;
            t.start();
            store::GenerateStore(url, 100000);
            std::printf("store: 100000 entries generated in %.1f s\n", double(t.elapsed()) / 1000);
        }
        // The open lists: one store as a list's program has it, each list's feed listening apart.
        store::StorePtr listed = store::Store::Open(url);
        std::vector<std::unique_ptr<store::EntryChangeFeed>> feeds;
        qint64 heard = 0;
        for (int i = 0; i < lists; ++i) {
            feeds.push_back(std::make_unique<store::EntryChangeFeed>(listed));
            QObject::connect(feeds.back().get(), &store::EntryChangeFeed::Changed,
                             [&](const QVector<store::EntryChange>& c) { heard += c.size(); });
        }
        QHash<int, qint64> serverTicks, idleTicks;
        SampleServer(idleTicks);
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        std::vector<std::unique_ptr<QProcess>> procs;
        QEventLoop running;
        int left = clients;
        for (int i = 0; i < clients; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QCoreApplication::applicationFilePath(),
                     {"--client", url, QString::number(1000 + i), QString::number(seconds)});
            QObject::connect(p.get(), &QProcess::finished, &running, [&] {
                if (--left == 0)
                    running.quit();
            });
            procs.push_back(std::move(p));
        }
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] { SampleServer(serverTicks); });
        sampler.start(500);
        // Without clients the lists stay open, idle, for the run's seconds.
        if (clients == 0)
            QTimer::singleShot(seconds * 1000, &running, &QEventLoop::quit);
        running.exec();
        SampleServer(serverTicks);
        qint64 spent = 0;
        for (auto it = serverTicks.cbegin(); it != serverTicks.cend(); ++it)
            spent += it.value() - idleTicks.value(it.key());
        QMap<QString, std::vector<double>> times;
        QMap<QString, int> refused, failed;
        QStringList failures;
        for (auto& p : procs) {
            p->waitForFinished(-1);
            for (const QByteArray& line : p->readAllStandardOutput().split('\n')) {
                const QList<QByteArray> parts = line.split(' ');
                if (parts.size() < 3)
                    continue;
                const QString cmd = QString::fromLatin1(parts[0]);
                times[cmd].push_back(parts[1].toDouble());
                if (parts[2] == "refused")
                    ++refused[cmd];
                else if (parts[2] == "failed") {
                    ++failed[cmd];
                    if (failures.size() < 5)
                        failures << QString::fromUtf8(line);
                }
            }
            if (p->exitCode() != 0)
                failures << QStringLiteral("a client ended with %1").arg(p->exitCode());
        }
        qint64 all = 0;
        std::printf("%d clients for %d s on one server:\n", clients, seconds);
        for (const char* c : kCommands) {
            const auto& v = times[QString::fromLatin1(c)];
            all += qint64(v.size());
            std::printf("  %-10s %6zu runs  median %7.1f ms  95th %7.1f ms  refused %d  failed %d\n", c,
                        v.size(), Percentile(v, 0.5), Percentile(v, 0.95), refused[c], failed[c]);
        }
        std::printf("  commands per second: %.1f\n", double(all) / std::max(seconds, 1));
        const double ticks = double(sysconf(_SC_CLK_TCK));
        std::printf("  server CPU: %.1f s in the run", spent / ticks);
        if (all > 0)
            std::printf(" (%.1f ms per command)", 1000.0 * spent / ticks / all);
        if (lists > 0) {
            // The lists share this process: what they cost on the desk, apart from the server.
            rusage own{};
            getrusage(RUSAGE_SELF, &own);
            auto seconds = [](const rusage& r) {
                return r.ru_utime.tv_sec + r.ru_stime.tv_sec +
                       (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
            };
            std::printf("; %d lists open read %lld changes, their process's CPU %.1f s", lists, heard,
                        seconds(own) - seconds(before));
        }
        std::printf("\n");
        for (const QString& f : failures)
            std::printf("  failure: %s\n", f.toUtf8().constData());
        auto db = store::Store::Open(url);
        const QString over =
            db->Scalar("SELECT COUNT(*) FROM plan_entries WHERE ordered_qty > qty + 1e-9").toString();
        const QString unequal =
            db->Scalar("SELECT COUNT(*) FROM plan_entries e LEFT JOIN (SELECT plan_id, entry_id,"
                       " SUM(qty) AS total FROM purchase_order_line_sources GROUP BY plan_id,"
                       " entry_id) s ON s.plan_id = e.plan_id AND s.entry_id = e.entry_id"
                       " WHERE ABS(e.ordered_qty - COALESCE(s.total, 0)) > 1e-6")
                .toString();
        std::printf("  over-ordered entries: %s; entries whose orders do not add up: %s\n",
                    over.toUtf8().constData(), unequal.toUtf8().constData());
        db.reset();
        feeds.clear();
        listed.reset();
        store::PostgresDatabase(server, name, true);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
