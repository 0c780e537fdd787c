// Two programs on one store: what one commits to plan entries reaches the other's feed within a
// second, named by kind and user; its own writes and undone transactions never do.
#include "services/store/EntryChanges.h"
#include "services/demo/DemoData.h"
#include "services/planning/RptData.h"
#include "services/store/Session.h"
#include "support/PgRelay.h"
#include "support/TestStores.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

using namespace zpp;
using namespace zpp::test;
using store::EntryChange;
using store::EntryChangeFeed;
using store::StoreError;

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

// Any role may send on the channel: a payload that names no transaction is dropped without a word,
// and a flood of notices is read in a few reads, after which real changes still arrive.
TEST_P(EntryChanges, NoticesAnyRoleSendsNeitherAlarmTheListNorFloodTheServer) {
    ZPP_REQUIRE_STORE(location);
    if (GetParam() == StoreKind::SQLite)
        GTEST_SKIP() << "a file has no channel";
    qRegisterMetaType<QVector<EntryChange>>();
    EntryChangeFeed feed(theirs);
    QSignalSpy missed(&feed, &EntryChangeFeed::MayHaveMissed), changed(&feed, &EntryChangeFeed::Changed);
    mine->Exec("SELECT pg_notify('zpp_entry_changes', p) FROM unnest(ARRAY['x', '', '-5', '1e9',"
               " '99999999999999999999']) p");
    // One transaction's notices at a time, as fast as a client sends them, while the feed reads.
    QElapsedTimer flood;
    flood.start();
    for (int i = 1; i <= 400; ++i) {
        mine->Exec("SELECT pg_notify('zpp_entry_changes', ?)", {QString::number(i)});
        if (i % 20 == 0)
            QCoreApplication::processEvents();
    }
    mine->Exec("UPDATE plan_entries SET memo = 'real'");
    EXPECT_FALSE(Await(changed, 1).isEmpty());
    EXPECT_TRUE(missed.isEmpty()) << missed.value(0).value(0).toString().toStdString();
    EXPECT_LE(feed.Reads(), flood.elapsed() / 250 + 3) << flood.elapsed() << " ms";
}

// A file keeps the record of a day: each program opening it drops what is older. The record names
// the logged-in user as written, quotes and all.
TEST_P(EntryChanges, AFileDropsRecordsADayOldAndNamesTheUserAsWritten) {
    ZPP_REQUIRE_STORE(location);
    if (GetParam() == StoreKind::PostgreSQL)
        GTEST_SKIP() << "the server drops old records itself";
    mine->Exec("INSERT INTO entry_changes (plan_id, entry_id, change, changed_at) VALUES"
               " (1, 1, 'edited', strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-25 hours')),"
               " (1, 2, 'edited', strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-23 hours'))");
    mine->Exec("UPDATE users SET name = 'o''brien' WHERE name = 'buyer'");
    const store::StorePtr another = store::LogIn(store::Store::Open(location), "o'brien").Db;
    another->Exec("UPDATE plan_entries SET memo = 'q' WHERE entry_id = 1 AND plan_id ="
                  " (SELECT MIN(plan_id) FROM plan_entries)");
    EXPECT_EQ(
        RowTexts(
            *mine,
            "SELECT entry_id || ' ' || user_name FROM entry_changes WHERE change = 'edited' ORDER BY seq"),
        QStringList({"2 ", "1 o'brien"}));
}

// The feed listens on a connection of its own: while another program's changes stream in, the
// plan read goes on whole, and a server that stops answering is still cut by the watchdog; once it
// answers again both the store and the feed go on.
TEST_P(EntryChanges, WhileNoticesStreamThePlanReadGoesOnAndTheWatchdogStillCuts) {
    ZPP_REQUIRE_STORE(location);
    if (GetParam() == StoreKind::SQLite)
        GTEST_SKIP() << "a file has no server to hang";
    qRegisterMetaType<QVector<EntryChange>>();
    const QUrl url(location);
    PgRelay relay(url.host(), quint16(url.port(5432)));
    const store::StorePtr relayed = store::Store::Open(relay.Through(location));
    relayed->Exec(
        "UPDATE system_settings SET value = '1' WHERE section = 'Store' AND key = 'StatementTimeoutSeconds'");
    relayed->ApplyTimeLimits();
    EntryChangeFeed feed(relayed);
    QSignalSpy changed(&feed, &EntryChangeFeed::Changed);
    int sent = 0;
    QTimer stream;
    QObject::connect(&stream, &QTimer::timeout,
                     [&] { mine->Exec("UPDATE plan_entries SET memo = ?", {++sent}); });
    stream.start(15);
    const int entries = mine->Scalar("SELECT COUNT(*) FROM plan_entries").toInt();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(services::ReadRptData(*relayed, {})->Count(), entries);
        QTest::qWait(60);
    }
    EXPECT_FALSE(Await(changed, 1).isEmpty());

    relay.Stall(true);
    QElapsedTimer clock;
    clock.start();
    StoreError::Kind kind = StoreError::Kind::Statement;
    try {
        relayed->Scalar("SELECT 8");
    } catch (const StoreError& e) {
        kind = e.ErrorKind();
    }
    EXPECT_EQ(kind, StoreError::Kind::NoAnswer);
    EXPECT_LT(clock.elapsed(), 10000);
    relay.Stall(false);
    EXPECT_EQ(services::ReadRptData(*relayed, {})->Count(), entries);
    const int before = Lines(changed).size();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Lines(changed).size() > before + entries; }, 5000));
    stream.stop();
}

INSTANTIATE_TEST_SUITE_P(Stores, EntryChanges, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
