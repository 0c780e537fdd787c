#include "Reliability.h"
#include "component/host/PlanFields.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "support/OrderedElsewhere.h"
#include "support/TestStores.h"

#include <QElapsedTimer>
#include <QProcess>
#include <atomic>
#include <barrier>
#include <chrono>
#include <memory>
#include <thread>

using namespace zpp;
using namespace zpp::reliability;
using namespace zpp::test;
using namespace std::chrono_literals;

namespace {

class Races : public ::testing::TestWithParam<StoreKind> {};

const QString kChanged = QStringLiteral("该分录已被其他用户修改（或关闭、下推），请刷新后重新修改");

// Lets a server session find deadlocks sooner than the default second (the test user may).
void QuickDeadlockCheck(const store::Store& db, const char* timeout) {
    if (!db.IsSQLite())
        db.Exec(QStringLiteral("SET deadlock_timeout = '%1'").arg(timeout));
}

} // namespace

// Four worker processes, each with its own connection, push overlapping ticked sets of the same
// 50 entries from the same moment on. Nothing may be ordered twice, no bill number repeats, and
// every push either lands whole or is refused for its data, never for the store's sake.
TEST_P(Races, RacingPushProcessesNeverOrderTooMuch) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    auto db = store::Store::Open(location);
    constexpr int kProcesses = 4, kEntries = 50, kPlan = 100;
    const int pushes = Scaled(20, 250);
    // Each entry is asked for about 0.36 per push: enough for most pushes at first, then refusals.
    SeedMasterData(*db);
    SeedPlan(*db, kPlan, kEntries, kProcesses * pushes * 0.25, 2);
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int i = 0; i < kProcesses; ++i) {
        auto& p = workers.emplace_back(std::make_unique<QProcess>());
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(ZPP_RELIABILITY_WORKER, {"load", location, QString::number(i + 1), QString::number(pushes),
                                          QString::number(kPlan), QString::number(kEntries)});
    }
    for (auto& p : workers) {
        ASSERT_TRUE(p->waitForStarted(10000));
        while (!p->canReadLine())
            ASSERT_TRUE(p->waitForReadyRead(30000)) << "a worker did not get ready";
        ASSERT_EQ(p->readLine().trimmed(), "READY");
    }
    QElapsedTimer clock;
    clock.start();
    for (auto& p : workers)
        p->write("GO\n");
    QStringList errors;
    int accepted = 0, refusedTotal = 0;
    double ordered = 0;
    for (auto& p : workers) {
        // Read as it comes, so no worker stalls on a full pipe.
        QByteArray out;
        while (p->state() != QProcess::NotRunning) {
            p->waitForReadyRead(1000);
            out += p->readAllStandardOutput();
        }
        out += p->readAllStandardOutput();
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
        for (const QByteArray& raw : out.split('\n')) {
            const QStringList f = QString::fromUtf8(raw).split(u'|');
            if (f.value(0) != QLatin1String("PUSH"))
                continue;
            if (f.value(1) == QLatin1String("ok"))
                ++accepted, ordered += f.value(2).toDouble();
            else if (f.value(1) == QLatin1String("refused"))
                ++refusedTotal;
            else
                errors << f.mid(2).join(u'|');
        }
    }
    const qint64 ms = clock.elapsed();
    const QStringList broken = Inconsistencies(*db);
    const double stored = db->Scalar("SELECT SUM(ordered_qty) FROM plan_entries").toDouble();
    const QString store = StoreName(*db), name = QStringLiteral("load");
    Figure(store, name, "processes x pushes", QString("%1 x %2").arg(kProcesses).arg(pushes));
    Figure(store, name, "pushes accepted", accepted);
    Figure(store, name, "pushes refused for the quantity left", refusedTotal);
    Figure(store, name, "pushes failed otherwise", errors.size());
    Figure(store, name, "over-ordered entries, repeated bill numbers, sources that do not add up",
           broken.size());
    Figure(store, name, "ordered quantity not from an accepted push", stored - ordered);
    Figure(store, name, "total time (ms)", ms);
    EXPECT_EQ(errors.join("\n"), "");
    EXPECT_EQ(accepted + refusedTotal, kProcesses * pushes);
    EXPECT_GT(accepted, 0);
    EXPECT_EQ(broken.join("\n"), "");
    EXPECT_NEAR(stored, ordered, 1e-6);
}

// Two users on two connections read the same plan through the list's read and save at the same
// moment, as the component sends them (every row, the edited ones marked): one entry, or every
// entry with the second user's rows in the opposite order (saves that could deadlock). Exactly one
// save goes through and the store holds it; the other is refused for the change it had not seen.
TEST_P(Races, SavesNeverOverwriteUnseenChanges) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    {
        auto db = store::Store::Open(location);
        SeedMasterData(*db);
        SeedPlan(*db, 100, 6, 100, 2);
    }
    const int rounds = Scaled(50, 1000);
    QString outcomes[2];
    QStringList faults;
    std::atomic<int> retries = 0, refused = 0;
    std::barrier sync(2);
    auto run = [&](int who) {
        auto session = AdminSession(location);
        QuickDeadlockCheck(*session->Db, "100ms");
        for (int r = 0; r < rounds; ++r) {
            const int only = r % 2 ? 0 : 1 + r % 6; // 0: every entry
            RecordPtr none;
            QString billNo = QStringLiteral("RLJY000100");
            const RecordListPtr rows =
                services::PurchasePlanInfoService(session).GetRptData({}, none, {}, billNo);
            RecordListPtr list = RecordList::Create();
            for (const RecordPtr& row : *rows) {
                const int entry = row->Get(QStringLiteral("FEntryID")).toInt();
                row->Set(kEntryEditedField, only == 0 || entry == only ? 1 : 0);
                row->Set(QStringLiteral("FMemo"), QStringLiteral("r%1u%2").arg(r).arg(who));
                who == 1 ? list->Insert(row, 1) : list->Add(row);
            }
            sync.arrive_and_wait(); // every read of the round before any save
            outcomes[who] = Failure(
                [&] { services::PurchasePlanUpdateService(session).UpdatePurchasePlanEntry({}, list); });
            sync.arrive_and_wait();
            if (who == 0) {
                const QString what = QStringLiteral("round %1: ").arg(r);
                const int winner = outcomes[0].isEmpty() ? 0 : 1, loser = 1 - winner;
                if (!outcomes[winner].isEmpty() || !outcomes[loser].endsWith(kChanged))
                    faults << what + "not one save accepted and one refused: " + outcomes[0] + " / " +
                                  outcomes[1];
                refused += outcomes[loser].endsWith(kChanged);
                const QString stored =
                    Rows(*session->Db,
                         QStringLiteral("SELECT DISTINCT memo FROM plan_entries WHERE plan_id = 100%1")
                             .arg(only ? QStringLiteral(" AND entry_id = %1").arg(only) : QString()));
                if (stored != QStringLiteral("r%1u%2").arg(r).arg(winner))
                    faults << what + "the store holds " + stored;
            }
            sync.arrive_and_wait();
        }
        retries += session->Db->Retries();
        session.reset(); // on the thread that opened it
    };
    std::thread a(run, 0), b(run, 1);
    a.join();
    b.join();
    const QString store = GetParam() == StoreKind::SQLite ? "SQLite" : "PostgreSQL";
    Figure(store, "lost update", "rounds", rounds);
    Figure(store, "lost update", "save transactions run again", retries.load());
    Figure(store, "lost update", "saves refused over a change they had not seen", refused.load());
    Figure(store, "lost update",
           "silent overwrites, lost edits, saves refused without a reason or failed by the store",
           faults.size());
    EXPECT_EQ(faults.join("\n"), "");
}

// A transaction that could not start on a busy store (SQLite), or a push the server undid for a
// deadlock (PostgreSQL), runs once more and goes through.
TEST_P(Races, TransactionUndoneForAConflictRunsAgain) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    {
        auto db = store::Store::Open(location);
        SeedMasterData(*db);
        SeedPlan(*db, 100, 4, 100, 1);
        SeedPlan(*db, 101, 4, 100, 1);
    }
    const QString store = GetParam() == StoreKind::SQLite ? "SQLite" : "PostgreSQL", name = "conflicts";
    std::atomic<bool> locked = false;
    if (GetParam() == StoreKind::SQLite) {
        auto db = store::Store::Open(location);
        db->Exec("PRAGMA busy_timeout = 300");
        // The other writer lets go after the first BEGIN gave up and before the second does.
        std::thread holder([&] {
            auto other = store::Store::Open(location);
            store::Store::Transaction lock(*other);
            locked = true;
            std::this_thread::sleep_for(450ms);
        });
        while (!locked)
            std::this_thread::yield();
        const QString error = Failure(
            [&] { db->InTransaction([&] { db->Exec("UPDATE plan_entries SET memo = 'after the wait'"); }); });
        holder.join();
        Figure(store, name, "transactions that could not start and ran again", db->Retries());
        EXPECT_EQ(error, "");
        EXPECT_EQ(db->Retries(), 1);
        return;
    }

    // A push undone half-way runs again from what the store now holds: the other transaction
    // ordered 4 of entry 100_1 while the push waited, and the push must build on that.
    auto session = AdminSession(location);
    auto db = session->Db;
    QuickDeadlockCheck(*db, "400ms");
    std::thread other([&] {
        auto mine = store::Store::Open(location);
        mine->InTransaction([&] {
            mine->Exec("UPDATE plan_entries SET memo = 'held' WHERE plan_id = 101 AND entry_id = 1");
            locked = true;
            std::this_thread::sleep_for(150ms);
            OrderElsewhere(*mine, 100, 1, 4);
        });
    });
    while (!locked)
        std::this_thread::yield();
    RecordListPtr list = RecordList::Create();
    list->Add(PushLine(1, {{100, 1, 3}}));
    list->Add(PushLine(1, {{101, 1, 3}}));
    services::PurchasePlanUpdateService service(session);
    const QString error = Push(service, list);
    other.join();
    Figure(store, name, "pushes undone by a deadlock and run again", db->Retries());
    EXPECT_EQ(error, "");
    EXPECT_EQ(db->Retries(), 1);
    EXPECT_EQ(
        Rows(*db,
             "SELECT plan_id, entry_id, ordered_qty FROM plan_entries WHERE entry_id = 1 ORDER BY plan_id"),
        "100|1|7,101|1|3");
    EXPECT_EQ(Rows(*db, "SELECT l.line_no, l.qty FROM purchase_order_lines l JOIN purchase_orders o"
                        " ON o.id = l.order_id WHERE o.bill_no NOT LIKE 'ELSEWHERE%' ORDER BY l.line_no"),
              "1|3,2|3");
}

INSTANTIATE_TEST_SUITE_P(Stores, Races, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
