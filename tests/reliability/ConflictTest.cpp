#include "Reliability.h"
#include "component/host/PlanFields.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "support/OrderedElsewhere.h"
#include "support/TestStores.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <atomic>
#include <barrier>
#include <chrono>
#include <thread>

using namespace zpp;
using namespace zpp::reliability;
using namespace zpp::test;
using namespace std::chrono_literals;

namespace {

class Conflicts : public ::testing::TestWithParam<StoreKind> {};

const QString kChanged = QStringLiteral("该分录已被其他用户修改（或关闭、下推），请刷新后重新修改");

store::SessionPtr NewSession(const QString& location) {
    return std::make_shared<store::Session>(store::LogIn(store::Store::Open(location), "admin"));
}

// Lets a server session find deadlocks sooner than the default second (the test user may).
void QuickDeadlockCheck(const store::Store& db, const char* timeout) {
    if (!db.IsSQLite())
        db.Exec(QStringLiteral("SET deadlock_timeout = '%1'").arg(timeout));
}

} // namespace

// Two users save the same entries at once, one listing them upwards, the other downwards. One
// save wins each round and the other is told the entries changed; a deadlock never reaches either.
TEST_P(Conflicts, SavesOfTheSameEntriesInOppositeOrders) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    constexpr int kEntries = 10;
    {
        auto db = store::Store::Open(location);
        SeedMasterData(*db);
        SeedPlan(*db, 100, kEntries, 100, 2);
    }
    const int rounds = Scaled(20, 500);
    QString outcome[2];
    int oneWinner = 0, deadlocks = 0, otherErrors = 0, retries = 0;
    QStringList faults;
    std::barrier sync(2);
    auto run = [&](int who) {
        store::SessionPtr session;
        try {
            session = NewSession(location);
            QuickDeadlockCheck(*session->Db, "100ms");
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            return;
        }
        for (int r = 0; r < rounds; ++r) {
            RecordPtr none;
            QString billNo = "RLJY000100";
            const RecordListPtr rows =
                services::PurchasePlanInfoService(session).GetRptData({}, none, {}, billNo);
            RecordListPtr list = RecordList::Create();
            for (int i = 0; i < rows->Count(); ++i) {
                const RecordPtr& row = rows->Item(who == 0 ? i + 1 : rows->Count() - i);
                row->Set("FMemo", QString("r%1u%2").arg(r).arg(who));
                row->Set(kEntryEditedField, 1);
                list->Add(row);
            }
            sync.arrive_and_wait();
            outcome[who].clear();
            try {
                services::PurchasePlanUpdateService(session).UpdatePurchasePlanEntry({}, list);
            } catch (const std::exception& e) {
                outcome[who] = QString::fromUtf8(e.what());
            }
            sync.arrive_and_wait();
            if (who == 0) {
                int accepted = 0;
                for (const QString& o : outcome) {
                    if (o.isEmpty())
                        ++accepted;
                    else if (o.contains("40P01") || o.contains("40001") || o.contains("deadlock") ||
                             o.contains("冲突"))
                        ++deadlocks, faults << o;
                    else if (!o.endsWith(kChanged))
                        ++otherErrors, faults << o;
                }
                oneWinner += accepted == 1;
            }
            sync.arrive_and_wait();
        }
        sync.arrive_and_wait();
        if (who == 0)
            retries += session->Db->Retries();
        sync.arrive_and_wait();
        if (who == 1)
            retries += session->Db->Retries();
    };
    std::thread a(run, 0), b(run, 1);
    a.join();
    b.join();

    const QString store = GetParam() == StoreKind::SQLite ? "SQLite" : "PostgreSQL", name = "conflicts";
    Figure(store, name, "rounds of opposite-order saves", rounds);
    Figure(store, name, "rounds with other than one accepted save", rounds - oneWinner);
    Figure(store, name, "deadlock or serialization errors reaching the user", deadlocks);
    Figure(store, name, "other save failures", otherErrors);
    Figure(store, name, "save transactions run again", retries);
    EXPECT_EQ(faults.join("\n"), "");
    EXPECT_EQ(oneWinner, rounds);
}

// A transaction the store undid for a deadlock (PostgreSQL), or that could not start on a busy
// store (SQLite), runs once more and goes through.
TEST_P(Conflicts, TransactionUndoneForAConflictRunsAgain) {
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
            {
                QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "zpp_holder");
                other.setDatabaseName(location);
                other.open();
                QSqlQuery q(other);
                q.exec("BEGIN IMMEDIATE");
                locked = true;
                std::this_thread::sleep_for(450ms);
                q.exec("ROLLBACK");
                other.close();
            }
            QSqlDatabase::removeDatabase("zpp_holder");
        });
        while (!locked)
            std::this_thread::yield();
        QString error;
        try {
            db->InTransaction([&] { db->Exec("UPDATE plan_entries SET memo = 'after the wait'"); });
        } catch (const Error& e) {
            error = e.Description();
        }
        holder.join();
        Figure(store, name, "transactions that could not start and ran again", db->Retries());
        EXPECT_EQ(error, "");
        EXPECT_EQ(db->Retries(), 1);
        return;
    }

    // Two transactions lock two entries crosswise; the server undoes one, which runs again.
    const int rounds = Scaled(2, 20);
    int failures = 0, retries = 0;
    std::barrier sync(2);
    auto cross = [&](int who) {
        auto db = store::Store::Open(location);
        QuickDeadlockCheck(*db, "100ms");
        for (int r = 0; r < rounds; ++r) {
            int attempts = 0;
            try {
                db->InTransaction([&] {
                    const char* sql = "UPDATE plan_entries SET memo = ? WHERE plan_id = 100 AND entry_id = ?";
                    db->Exec(sql, {QString("w%1").arg(who), who == 0 ? 1 : 2});
                    if (++attempts == 1)
                        sync.arrive_and_wait();
                    db->Exec(sql, {QString("w%1").arg(who), who == 0 ? 2 : 1});
                });
            } catch (const Error& e) {
                ++failures;
                ADD_FAILURE() << e.what();
            }
            sync.arrive_and_wait();
        }
        sync.arrive_and_wait();
        if (who == 0)
            retries += db->Retries();
        sync.arrive_and_wait();
        if (who == 1)
            retries += db->Retries();
    };
    std::thread a(cross, 0), b(cross, 1);
    a.join();
    b.join();
    EXPECT_EQ(retries, rounds);

    // A push undone half-way runs again from what the store now holds: the other transaction
    // ordered 4 of entry 100_1 while the push waited, and the push must build on that.
    auto db = store::Store::Open(location);
    auto session = std::make_shared<store::Session>(store::LogIn(db, "admin"));
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
    QString ids, error;
    QDate date(2024, 5, 20);
    try {
        service.PushBill({}, list, 1, ids, date);
    } catch (const Error& e) {
        error = e.Description();
    }
    other.join();
    Figure(store, name, "crosswise transactions undone and run again", retries);
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

INSTANTIATE_TEST_SUITE_P(Stores, Conflicts, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
