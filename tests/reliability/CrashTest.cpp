#include "Reliability.h"
#include "support/TestStores.h"

#include <QProcess>

using namespace zpp;
using namespace zpp::reliability;
using namespace zpp::test;

namespace {

class Crash : public ::testing::TestWithParam<StoreKind> {};

struct WorkerRun {
    QProcess::ExitStatus Status;
    int Code;
    QString Out;
};

WorkerRun Worker(const QString& location, int lines, int killAt) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(ZPP_RELIABILITY_WORKER),
            {"crash", location, QString::number(lines), QString::number(killAt)});
    p.waitForFinished(600000);
    return {p.exitStatus(), p.exitCode(), QString::fromUtf8(p.readAllStandardOutput())};
}

int PushLogs(const store::Store& db) {
    return db.Scalar("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan008'").toInt();
}

int Orders(const store::Store& db) {
    return db.Scalar("SELECT COUNT(*) FROM purchase_orders").toInt();
}

} // namespace

// A push killed with SIGKILL at one statement after another, in a process of its own: the store
// it leaves is the store before the push or the store after it, and it holds together.
TEST_P(Crash, KilledPushLeavesTheStoreBeforeOrAfter) {
    const QString first = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(first);
    const int lines = Scaled(100, 1000), points = Scaled(10, 200);

    // The states before and after, and the statements between, from a push run to its end.
    QString before, after;
    int statements = 0;
    {
        auto db = store::Store::Open(first);
        CrashPush(lines, db.get());
        before = Snapshot(*db);
        const WorkerRun whole = Worker(first, lines, 0);
        ASSERT_EQ(whole.Status, QProcess::NormalExit);
        ASSERT_EQ(whole.Code, 0);
        statements = whole.Out.section(u'|', 1).trimmed().toInt();
        after = Snapshot(*db);
        ASSERT_NE(before, after);
        ASSERT_EQ(Inconsistencies(*db).join("\n"), "");
    }
    // SQLite writes a line, a source and an entry a statement each; a server takes them in batches.
    ASSERT_GT(statements, GetParam() == StoreKind::SQLite ? lines * 2 : 20);

    auto fresh = [&] {
        auto db = store::Store::Open(NewStoreLocation(GetParam()));
        CrashPush(lines, db.get());
        return db;
    };
    store::StorePtr db = fresh();
    ASSERT_EQ(Snapshot(*db), before);
    int neither = 0, integrity = 0, ordersWithoutLog = 0, logsWithoutOrders = 0, notKilled = 0,
        killedAfter = 0;
    QStringList faults;
    // Points spread over every statement; the last kills the process after the push returned.
    for (int k = 1; k <= points; ++k) {
        const int killAt = k == points ? -1 : 1 + int((qint64(k - 1) * statements) / (points - 1));
        const int logs = PushLogs(*db), orders = Orders(*db);
        const WorkerRun run = Worker(db->Location(), lines, killAt);
        if (run.Status != QProcess::CrashExit) {
            ++notKilled;
            faults << QString("statement %1: the push ended on its own (%2)").arg(killAt).arg(run.Code);
        }
        const QString now = Snapshot(*db);
        const bool isBefore = now == before, isAfter = now == after;
        if (!isBefore && !isAfter) {
            ++neither;
            faults
                << QString("statement %1: the store is neither as before nor as after the push").arg(killAt);
        }
        killedAfter += isAfter;
        QStringList broken = Inconsistencies(*db) + FileIntegrity(*db);
        if (!broken.isEmpty()) {
            ++integrity;
            faults << QString("statement %1: ").arg(killAt) + broken.mid(0, 5).join("; ");
        }
        // The push writes its log record with its orders, in its transaction: a record exactly
        // when there are orders.
        const bool logged = PushLogs(*db) > logs, ordered = Orders(*db) > orders;
        if (ordered && !logged)
            ++ordersWithoutLog;
        if (logged && !ordered)
            ++logsWithoutOrders;
        if (!isBefore)
            db = fresh();
    }

    const QString store = StoreName(*db), name = "crash";
    Figure(store, name, "push lines x kill points", QString("%1 x %2").arg(lines).arg(points));
    Figure(store, name, "statements in the push", statements);
    Figure(store, name, "stores equal to neither before nor after", neither);
    Figure(store, name, "integrity check failures", integrity);
    Figure(store, name, "orders without their log record", ordersWithoutLog);
    Figure(store, name, "log records of pushes that stored nothing", logsWithoutOrders);
    Figure(store, name, "kills that left the push done", killedAfter);
    EXPECT_EQ(faults.join("\n"), "");
    EXPECT_EQ(neither + integrity + ordersWithoutLog + notKilled, 0);
    EXPECT_EQ(killedAfter, 1) << "only the kill after the push returned may find it done";
    EXPECT_EQ(logsWithoutOrders, 0);
}

INSTANTIATE_TEST_SUITE_P(Stores, Crash, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
