// Two programs on one store: what one commits to plan entries reaches the other's feed within a
// second, named by kind and user; its own writes and undone transactions never do.
#include "services/store/EntryChanges.h"
#include "services/demo/DemoData.h"
#include "services/store/Session.h"
#include "support/TestStores.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace zpp;
using namespace zpp::test;
using store::EntryChange;
using store::EntryChangeFeed;

namespace {
class EntryChanges : public ::testing::TestWithParam<StoreKind> {
protected:
    void SetUp() override {
        location = NewStoreLocation(GetParam());
        if (location.isEmpty())
            return;
        const store::StorePtr made = store::GenerateStore(location, 6);
        // Two programs, each logged in as its own user (on PostgreSQL connected as the user's role).
        auto program = [&](const char* user) {
            return made->IsSQLite() ? store::LogIn(store::Store::Open(location), user).Db
                                    : OwnRoleSession(made, location, user)->Db;
        };
        mine = program("admin");
        theirs = program("buyer");
        server = made;
    }

    // What a feed has received so far, as "plan/entry kind user" lines.
    static QStringList Lines(const QSignalSpy& spy) {
        QStringList lines;
        for (const QList<QVariant>& args : spy)
            for (const EntryChange& c : args.at(0).value<QVector<EntryChange>>())
                lines << QStringLiteral("%1/%2 %3 %4").arg(c.PlanId).arg(c.EntryId).arg(c.Change, c.User);
        return lines;
    }
    // Waits for the feed to have received n lines: well within a second on a quiet machine (the
    // benchmark measures it); a loaded or sanitized run gets more.
    static QStringList Await(QSignalSpy& spy, int n) {
        QTest::qWaitFor([&] { return Lines(spy).size() >= n; }, 5000);
        return Lines(spy);
    }

    QString location;
    store::StorePtr mine, theirs, server;
};
} // namespace

TEST_P(EntryChanges, EachCommittedKindReachesTheOtherProgramOnlyOnceAndNeverItsOwn) {
    ZPP_REQUIRE_STORE(location);
    qRegisterMetaType<QVector<EntryChange>>();
    EntryChangeFeed myFeed(mine), theirFeed(theirs);
    QSignalSpy mySpy(&myFeed, &EntryChangeFeed::Changed), theirSpy(&theirFeed, &EntryChangeFeed::Changed);
    const QStringList key = RowTexts(
        *mine, "SELECT plan_id || '/' || entry_id FROM plan_entries ORDER BY plan_id, entry_id LIMIT 1");
    ASSERT_EQ(key.size(), 1);
    const QString where = " WHERE plan_id || '/' || entry_id = '" + key[0] + "'";

    // Undone, or of nothing a list shows: never announced.
    EXPECT_THROW(mine->InTransaction([&] {
        mine->Exec("UPDATE plan_entries SET price = price + 1" + where);
        throw Error("undone");
    }),
                 Error);
    mine->Exec("UPDATE plan_entries SET row_version = row_version + 1" + where);

    mine->Exec("UPDATE plan_entries SET price = price + 1, row_version = row_version + 1" + where);
    EXPECT_EQ(Await(theirSpy, 1), QStringList{key[0] + " edited admin"});
    mine->Exec("UPDATE plan_entries SET close_mark = 'Y'" + where);
    mine->Exec("UPDATE plan_entries SET close_mark = ''" + where);
    mine->Exec("UPDATE plan_entries SET memo = 'checked'" + where);
    mine->Exec("DELETE FROM plan_entries" + where);
    const QStringList lines = Await(theirSpy, 5);
    EXPECT_EQ(lines.mid(1, 2), QStringList({key[0] + " closed admin", key[0] + " reopened admin"}));
    EXPECT_TRUE(lines.size() == 5 && lines[4] == key[0] + " deleted admin") << lines.join("; ").toStdString();

    // The other program's own change reaches the first, and not itself.
    theirs->Exec("UPDATE plan_entries SET memo = 'x' WHERE plan_id || '/' || entry_id <> '" + key[0] + "'");
    EXPECT_FALSE(Await(mySpy, 1).isEmpty());
    QTest::qWait(400);
    EXPECT_TRUE(Lines(mySpy).filter("admin").isEmpty()) << Lines(mySpy).join("; ").toStdString();
    EXPECT_EQ(Lines(theirSpy).filter("buyer").size(), 0) << Lines(theirSpy).join("; ").toStdString();
}

// A listener cut off by the server says so (nothing is lost silently) and listens again by itself.
TEST_P(EntryChanges, ADroppedListenerSaysItMayHaveMissedChangesAndListensAgain) {
    ZPP_REQUIRE_STORE(location);
    if (GetParam() == StoreKind::SQLite)
        GTEST_SKIP() << "a file has no connection to lose";
    qRegisterMetaType<QVector<EntryChange>>();
    EntryChangeFeed feed(theirs);
    QSignalSpy missed(&feed, &EntryChangeFeed::MayHaveMissed), changed(&feed, &EntryChangeFeed::Changed);
    server->Exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database()"
                 " AND query LIKE 'LISTEN%'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !missed.isEmpty(); }, 2000));
    EXPECT_FALSE(feed.Connected());
    EXPECT_TRUE(QTest::qWaitFor([&] { return feed.Connected(); }, 3000)) << "listening again";
    mine->Exec("UPDATE plan_entries SET memo = 'after'");
    EXPECT_FALSE(Await(changed, 1).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Stores, EntryChanges, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
