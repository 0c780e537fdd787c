// What the record of entry changes costs and how fast another program learns of a burst: one
// transaction changing N entries (100,000 by default) with the record's triggers beside the same
// update on a connection without them, and the time from its commit until another program's feed
// has read every change. SQLite always; PostgreSQL when a server URL is given as the second
// argument or in $ZPP_TEST_PG_URL (a database of its own is made there and dropped afterwards).
#include "services/demo/DemoData.h"
#include "services/store/EntryChanges.h"
#include "services/store/PgAdmin.h"
#include "services/store/Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <cstdio>

using namespace zpp;

namespace {
double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

// The same update on a plain connection of Qt's own, which has none of the record's triggers on
// SQLite; on PostgreSQL the triggers belong to the table, so only SQLite has a bare figure.
double BareUpdate(const QString& file, const QString& memo) {
    double ms = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            QElapsedTimer t;
            t.start();
            db.transaction();
            q.exec(QStringLiteral("UPDATE plan_entries SET memo = '") + memo + u'\'');
            db.commit();
            ms = Ms(t);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bare"));
    return ms;
}

void Run(const char* kind, const QString& location, int entries) {
    QElapsedTimer made;
    made.start();
    store::GenerateStore(location, entries);
    std::fprintf(stderr, "%s: store of %d entries made in %.0f s\n", kind, entries, Ms(made) / 1000);
    const store::StorePtr writer = store::Store::Open(location);
    store::LogIn(writer, QStringLiteral("admin"));
    const store::StorePtr reader = store::Store::Open(location);
    store::EntryChangeFeed feed(reader);
    qint64 seen = 0;
    QElapsedTimer sinceCommit;
    double readMs = -1;
    QEventLoop loop;
    QObject::connect(&feed, &store::EntryChangeFeed::Changed, [&](const QVector<store::EntryChange>& c) {
        seen += c.size();
        if (seen >= entries) {
            readMs = Ms(sinceCommit);
            loop.quit();
        }
    });
    const qint64 changed = writer->Scalar(QStringLiteral("SELECT COUNT(*) FROM plan_entries")).toLongLong();
    QElapsedTimer t;
    t.start();
    writer->InTransaction([&] { writer->Exec(QStringLiteral("UPDATE plan_entries SET memo = 'burst'")); });
    const double recorded = Ms(t);
    sinceCommit.start();
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("%s: one transaction changing %lld entries: %.0f ms with the record", kind, changed,
                recorded);
    if (!location.contains(QStringLiteral("://"))) {
        const double bare = BareUpdate(location, QStringLiteral("bare"));
        std::printf(", %.0f ms without (%.2f times)", bare, recorded / bare);
    }
    std::printf("; the other program's feed had read all %lld changes %.0f ms after the commit\n", seen,
                readMs);
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
    const QString file = QDir::temp().filePath(QStringLiteral("zpp_bench_changes.db"));
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(file + QLatin1String(suffix));
    Run("SQLite", file, entries);
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(file + QLatin1String(suffix));
    const QString server =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : qEnvironmentVariable("ZPP_TEST_PG_URL");
    if (!server.isEmpty()) {
        const QString name = QStringLiteral("zpp_bench_changes");
        store::PostgresDatabase(server, name, true);
        Run("PostgreSQL", store::PostgresDatabase(server, name), entries);
        store::PostgresDatabase(server, name, true);
    }
    return 0;
}
