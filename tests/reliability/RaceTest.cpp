#include "Reliability.h"
#include "component/host/PlanFields.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "support/OrderedElsewhere.h"
#include "support/TestStores.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <atomic>
#include <barrier>
#include <chrono>
#include <memory>
#include <random>
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
    QMap<QString, int> refused;
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
                ++refused[f.value(2)], ++refusedTotal;
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
    Figure(store, name, "pushes refused", refusedTotal);
    for (auto it = refused.cbegin(); it != refused.cend(); ++it)
        Figure(store, name, "refused: " + it.key().section(QStringLiteral("，"), 0, 0), it.value());
    Figure(store, name, "pushes failed by the store", errors.size());
    Figure(store, name, "over-ordered entries, repeated bill numbers, sources that do not add up",
           broken.size());
    Figure(store, name, "ordered quantity not from an accepted push", stored - ordered);
    Figure(store, name, "total time (ms)", ms);
    EXPECT_EQ(errors.join("\n"), "");
    EXPECT_EQ(accepted + refusedTotal, kProcesses * pushes);
    EXPECT_GT(accepted, 0);
    EXPECT_EQ(broken.join("\n"), "");
    EXPECT_NEAR(stored, ordered, 1e-6);
    // Only the quantity check may refuse these pushes: every entry is open and has its supplier.
    for (auto it = refused.cbegin(); it != refused.cend(); ++it)
        EXPECT_TRUE(it.key().contains(QStringLiteral("超过未下达采购订单数量"))) << it.key().toStdString();
}

namespace {

constexpr int kEntries = 6;

// A user's list: the rows as loaded, sent whole on each save with the edited ones marked, as
// the component sends them; the second user's list is sorted the other way round.
struct User {
    store::SessionPtr Session;
    QVector<RecordPtr> Rows;
    // Per entry: the other user's accepted save changed it since this user read it.
    bool Stale[kEntries + 1] = {};
    QString Outcome;

    void Read(bool reversed) {
        RecordPtr none;
        QString billNo = QStringLiteral("RLJY000100");
        const RecordListPtr list =
            services::PurchasePlanInfoService(Session).GetRptData({}, none, {}, billNo);
        Rows.clear();
        for (const RecordPtr& r : *list)
            Rows.insert(reversed ? 0 : Rows.size(), r);
        std::fill(std::begin(Stale), std::end(Stale), false);
    }

    void Save(const QVector<int>& edits, const QString& memo) {
        RecordListPtr list = RecordList::Create();
        for (const RecordPtr& r : Rows) {
            const bool edited = edits.contains(r->Get(QStringLiteral("FEntryID")).toInt());
            r->Set(kEntryEditedField, edited ? 1 : 0);
            if (edited)
                r->Set(QStringLiteral("FMemo"), memo);
            list->Add(r);
        }
        Outcome =
            Failure([&] { services::PurchasePlanUpdateService(Session).UpdatePurchasePlanEntry({}, list); });
    }
};

} // namespace

// Two users on two connections read the same plan and save the same, overlapping or different
// entries at once, in opposite orders, sometimes from rows read rounds ago. A save may be refused
// for a change it had not seen, but it may never be accepted over one, nor fail for a deadlock.
TEST_P(Races, SavesNeverOverwriteUnseenChanges) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    {
        auto db = store::Store::Open(location);
        SeedMasterData(*db);
        SeedPlan(*db, 100, kEntries, 100, 2);
    }
    const int rounds = Scaled(50, 1000);
    std::mt19937 rng(7);
    std::vector<std::array<QVector<int>, 2>> edits(rounds);
    std::vector<std::array<bool, 2>> rereads(rounds);
    for (int r = 0; r < rounds; ++r) {
        rereads[r] = {r == 0 || rng() % 10 < 7, r == 0 || rng() % 10 < 7};
        const int a = 1 + int(rng() % kEntries), b = 1 + a % kEntries;
        // The same entry; entries of their own; overlapping; every entry, each user locking them
        // in the opposite order.
        const QVector<int> all{1, 2, 3, 4, 5, 6};
        const QVector<int> kinds[4][2] = {{{a}, {a}}, {{a}, {b}}, {{a, b}, {b}}, {all, all}};
        const int kind = int(rng() % 4);
        edits[r] = {kinds[kind][0], kinds[kind][1]};
    }
    User users[2];
    QMap<QString, int> figures;
    std::atomic<int> retries = 0;
    QStringList errors;
    std::barrier sync(2);
    auto run = [&](int who) {
        User& me = users[who];
        try {
            me.Session = AdminSession(location);
            QuickDeadlockCheck(*me.Session->Db, "100ms");
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
        for (int r = 0; r < rounds; ++r) {
            if (rereads[r][who])
                me.Read(who == 1);
            sync.arrive_and_wait(); // every read of the round before any save
            me.Save(edits[r][who], QStringLiteral("r%1u%2").arg(r).arg(who));
            sync.arrive_and_wait();
            if (who == 0) {
                // Judged from what each user saw: an accepted save over a change it had not read
                // is an overwrite, whatever the service believed.
                for (int u = 0; u < 2; ++u) {
                    const User &user = users[u], &other = users[1 - u];
                    const QVector<int>&mine = edits[r][u], &theirs = edits[r][1 - u];
                    if (user.Outcome.isEmpty()) {
                        ++figures["saves accepted"];
                        for (int e : mine)
                            if (user.Stale[e] || (u == 1 && other.Outcome.isEmpty() && theirs.contains(e)))
                                ++figures["silent overwrites"];
                    } else if (user.Outcome.endsWith(kChanged)) {
                        bool seen = false;
                        for (int e : mine)
                            seen = seen || user.Stale[e] || (other.Outcome.isEmpty() && theirs.contains(e));
                        ++figures[seen ? "saves refused over a change they had not seen"
                                       : "saves refused without a reason"];
                    } else {
                        ++figures["saves failed by the store (a deadlock among them)"];
                        errors << user.Outcome;
                    }
                }
                for (int u = 0; u < 2; ++u)
                    if (users[u].Outcome.isEmpty())
                        for (int e : edits[r][u])
                            users[1 - u].Stale[e] = true;
                // An edit that was accepted alone must be what the store holds.
                for (int e = 1; e <= kEntries; ++e) {
                    QStringList winners;
                    for (int u = 0; u < 2; ++u)
                        if (users[u].Outcome.isEmpty() && edits[r][u].contains(e))
                            winners << QStringLiteral("r%1u%2").arg(r).arg(u);
                    const QString sql = "SELECT memo FROM plan_entries WHERE plan_id = 100 AND entry_id = ?";
                    if (winners.size() == 1 && me.Session->Db->Scalar(sql, {e}).toString() != winners[0])
                        ++figures["accepted edits missing from the store"];
                }
            }
            sync.arrive_and_wait();
        }
        retries += me.Session->Db->Retries();
        me.Session.reset();
    };
    std::thread a(run, 0), b(run, 1);
    a.join();
    b.join();
    const QString store = GetParam() == StoreKind::SQLite ? "SQLite" : "PostgreSQL";
    Figure(store, "lost update", "rounds", rounds);
    Figure(store, "lost update", "save transactions run again", retries.load());
    for (auto it = figures.cbegin(); it != figures.cend(); ++it)
        Figure(store, "lost update", it.key(), it.value());
    EXPECT_EQ(figures.value("silent overwrites"), 0);
    EXPECT_EQ(figures.value("accepted edits missing from the store"), 0);
    EXPECT_EQ(figures.value("saves refused without a reason"), 0);
    EXPECT_EQ(errors.join("\n"), "");
    EXPECT_GT(figures.value("saves refused over a change they had not seen"), 0);
}

// A transaction the store undid for a deadlock (PostgreSQL), or that could not start on a busy
// store (SQLite), runs once more and goes through.
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

    // Two transactions lock two entries crosswise; the server undoes one, which runs again.
    const int rounds = Scaled(2, 20);
    std::atomic<int> retries = 0;
    std::barrier sync(2);
    auto cross = [&](int who) {
        auto db = store::Store::Open(location);
        QuickDeadlockCheck(*db, "100ms");
        for (int r = 0; r < rounds; ++r) {
            int attempts = 0;
            EXPECT_EQ(Failure([&] {
                          db->InTransaction([&] {
                              const char* sql =
                                  "UPDATE plan_entries SET memo = ? WHERE plan_id = 100 AND entry_id = ?";
                              db->Exec(sql, {QString("w%1").arg(who), who == 0 ? 1 : 2});
                              if (++attempts == 1)
                                  sync.arrive_and_wait();
                              db->Exec(sql, {QString("w%1").arg(who), who == 0 ? 2 : 1});
                          });
                      }),
                      "");
            sync.arrive_and_wait();
        }
        retries += db->Retries();
    };
    std::thread a(cross, 0), b(cross, 1);
    a.join();
    b.join();
    EXPECT_EQ(retries, rounds);

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
    Figure(store, name, "crosswise transactions undone and run again", retries.load());
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
