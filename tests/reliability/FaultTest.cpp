#include "Reliability.h"
#include "component/host/LongWork.h"
#include "services/access/AccessService.h"
#include "services/lookup/BaseDataModel.h"
#include "services/planning/RptData.h"
#include "support/PgRelay.h"
#include "support/TestStores.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QUrl>

using namespace zpp;
using namespace zpp::reliability;
using namespace zpp::test;

namespace {

class Faults : public ::testing::TestWithParam<StoreKind> {};

// Commands refused clearly, and every fault: refused unclearly or accepted, a store half-written,
// a command failing once the store is back.
struct Tally {
    int Clear = 0;
    QStringList Faults;

    void Refused(const QString& error, const QString& mark, const QString& what) {
        if (!error.isEmpty() && error.contains(mark))
            ++Clear;
        else
            Faults << what + ": " + (error.isEmpty() ? QStringLiteral("accepted") : error);
    }
    void Same(const QString& now, const QString& before, const QString& what) {
        if (now != before)
            Faults << what + ": the store changed";
    }
    void Works(const QString& error, const QString& what) {
        if (!error.isEmpty())
            Faults << what + ": " + error;
    }
};

QString Save(services::PurchasePlanUpdateService& service, int entry, const QString& memo) {
    auto r = KeyedRecord::Create();
    r->Set("FInterID", "100");
    r->Set("FEntryID", QString::number(entry));
    r->Set("FMemo", memo);
    RecordListPtr list = RecordList::Create();
    list->Add(r);
    return Failure([&] { service.UpdatePurchasePlanEntry({}, list); });
}

// Two lines of one supplier: enough statements for a fault to fall in the middle.
RecordListPtr SmallPush(int cycle) {
    auto list = RecordList::Create();
    const int entry = 1 + cycle % 50;
    list->Add(PushLine(SupplierOf(entry, 4), {{100, entry, 1}}));
    list->Add(PushLine(SupplierOf(entry, 4), {{100, entry + 4, 1}}));
    return list;
}

// The plan read behind the list's refresh, through the connection's own handle on PostgreSQL.
QString Read(const store::Store& db) {
    return Failure([&] { services::ReadRptData(db, services::RptFilter{}); });
}

// SQLite: writes fail because another connection holds the write lock past the busy timeout
// (chmod cannot stop root, who runs the tests), because the store may only be read, or because
// the file may grow no further.
void StoreCannotBeWritten(Tally& tally) {
    for (int c = 0; c < Scaled(1, 20); ++c) {
        const QString path = NewSQLitePath();
        auto db = store::Store::Open(path);
        CrashPush(100, db.get());
        services::PurchasePlanUpdateService service(
            std::make_shared<store::Session>(store::LogIn(db, "admin")));
        db->Exec("PRAGMA busy_timeout = 200");

        QString before = Snapshot(*db);
        {
            auto other = store::Store::Open(path);
            store::Store::Transaction lock(*other);
            tally.Refused(Save(service, 1, "locked"), "正被其他程序或用户写入", "save, store locked");
            tally.Refused(Push(service, SmallPush(c)), "正被其他程序或用户写入", "push, store locked");
        }
        tally.Same(Snapshot(*db), before, "store locked");
        tally.Works(Save(service, 1, "unlocked"), "save once the lock is gone");
        tally.Works(Push(service, SmallPush(c)), "push once the lock is gone");

        // The store may only be read (SQLite says so the same way for a read-only file).
        before = Snapshot(*db);
        db->Exec("PRAGMA query_only = ON");
        tally.Refused(Save(service, 1, "read-only"), "不可写入", "save, store read-only");
        tally.Refused(Push(service, SmallPush(c)), "不可写入", "push, store read-only");
        tally.Same(Snapshot(*db), before, "store read-only");
        db->Exec("PRAGMA query_only = OFF");
        tally.Works(Save(service, 1, "writable"), "save once the store may be written");

        // The file may not grow: a hundred lines with long notes fail in the middle of their inserts.
        RecordListPtr lines[2] = {CrashPush(100), CrashPush(100)};
        for (const RecordListPtr& list : lines)
            for (const RecordPtr& r : *list)
                r->Set("FMemo", QString(200, u'注'));
        before = Snapshot(*db);
        db->Exec("PRAGMA max_page_count = " + db->Scalar("PRAGMA page_count").toString());
        tally.Refused(Push(service, lines[0]), "磁盘已满", "push, disk full");
        tally.Same(Snapshot(*db), before, "disk full");
        db->Exec("PRAGMA max_page_count = 1073741823");
        tally.Works(Push(service, lines[1]), "push once there is room");
        tally.Faults += Inconsistencies(*db);
    }
}

// PostgreSQL, through a relay between the store and its server: rows held by another user past
// the lock limit, the connection lost at a save's commit, then under each command the connection
// dropped between commands, cut after a few bytes of the server's answers (inside the statements
// or as the answers come), or stalled. Each command works or says what happened, the store holds
// it whole or not at all, and the next command works.
void ConnectionFails(Tally& tally, const QString& direct) {
    const QUrl url(direct);
    PgRelay relay(url.host(), quint16(url.port(5432)));
    auto plain = store::Store::Open(direct);
    CrashPush(100, plain.get());
    const QString limit = "UPDATE system_settings SET value = '1' WHERE section = 'Store' AND key = ?";
    plain->Exec(limit, {"LockTimeoutSeconds"});
    auto db = store::Store::Open(relay.Through(direct));
    auto session = std::make_shared<store::Session>(store::LogIn(db, "admin"));
    services::PurchasePlanUpdateService service(session);
    services::BaseDataModel suppliers(db, services::kBaseDataSupplier);

    // Another user holds the entries: the save waits out the lock limit, gives up whole and says
    // why; once the rows are free it goes through.
    {
        auto other = store::Store::Open(direct);
        store::Store::Transaction hold(*other);
        other->Exec("SELECT * FROM plan_entries WHERE plan_id = 100 FOR UPDATE");
        const QString before = Snapshot(*plain);
        tally.Refused(Save(service, 1, "held"), "另一用户正在修改", "save, rows held by another user");
        tally.Same(Snapshot(*plain), before, "rows held by another user");
    }
    tally.Works(Save(service, 1, "free again"), "save once the rows are free");

    // Lost at the save's commit: the save says its outcome is unknown, the store holds the save
    // whole or not at all, and the next one goes through.
    const QString before = Snapshot(*plain);
    db->SetBeforeCommit([&] { relay.DropAll(); });
    tally.Refused(Save(service, 3, "in doubt"), "无法确定本次操作是否已完成", "save, lost at its commit");
    db->SetBeforeCommit(nullptr);
    if (Snapshot(*plain) != before &&
        plain->Scalar("SELECT memo FROM plan_entries WHERE plan_id = 100 AND entry_id = 3").toString() !=
            "in doubt")
        tally.Faults << "save lost at its commit left the store between before and after";
    tally.Works(Save(service, 3, "after the doubt"), "save after a commit in doubt");

    // A statement limit of 1 s: the program gives up on a stalled server after 2 s.
    plain->Exec(limit, {"StatementTimeoutSeconds"});
    db->ApplyTimeLimits();
    // Each command by its round and the note it writes, if any.
    const char* const names[] = {"save", "push", "read", "lookup", "log"};
    const auto run = [&](int command, int round, const QString& memo) {
        if (command == 0)
            return Save(service, 1 + round % 40, memo);
        if (command == 1)
            return Push(service, SmallPush(round));
        if (command == 2) {
            // The read has no time limit of its own: its progress window offers 取消, and the user
            // here takes it after 3 s.
            QElapsedTimer clock;
            clock.start();
            const longwork::Scope user([&] { return clock.elapsed() < 3000; });
            return Read(*db);
        }
        if (command == 3) { // a kept prepared statement, on a connection that may be new since
            const QString error = Failure([&] { suppliers.SetSearch("R"); });
            return error.isEmpty() && suppliers.rowCount() == 0 ? QStringLiteral("no supplier found") : error;
        }
        return Failure([&] { // a write outside a transaction: never run twice
            QString code = "CGPlan001", name = memo;
            qint32 type = 1;
            services::AccessService(session).WriteLog(code, type, name);
        });
    };
    int round = 0;
    // Drop every connection (-1, -1); cut an answer after some bytes; stall at once or in the middle.
    std::vector<std::pair<qint64, qint64>> faults = {{-1, -1},  {5, -1},    {60, -1},
                                                     {400, -1}, {3000, -1}, {-1, 0}};
    // A stall in the middle costs the limit's wait for every command: the full run only.
    if (Soak())
        faults.push_back({-1, 400});
    for (const auto& [cutAfter, stallAfter] : faults) {
        for (int command = 0; command < 5; ++command) {
            const QString memo = QString("r%1").arg(++round);
            const QString what = QString("%1, %2 after %3 bytes")
                                     .arg(names[command], stallAfter >= 0 ? "stall" : "cut")
                                     .arg(std::max(cutAfter, stallAfter));
            const QString before = Snapshot(*plain);
            if (stallAfter >= 0)
                relay.StallAfterServerBytes(stallAfter);
            else if (cutAfter < 0)
                relay.DropAll();
            else
                relay.CutAfterServerBytes(cutAfter);
            const QString error = run(command, round, memo);
            relay.CutAfterServerBytes(-1);
            relay.Stall(false);
            if (!error.isEmpty())
                tally.Refused(error, error.contains("已取消") ? "已取消" : "断开", what);
            // A command that failed without doubt left nothing of itself.
            if (!error.isEmpty() && !error.contains("无法确定本次操作是否已完成"))
                tally.Same(Snapshot(*plain), before, what);
            // A statement that may have been done is never run again on the connection opened anew.
            const char* logged = "SELECT COUNT(*) FROM operation_log WHERE operation_name = ?";
            if (plain->Scalar(logged, {memo}).toInt() > 1)
                tally.Faults << what + ": the log record was written twice";
            tally.Works(run(command, round + 10000, memo + "b"), what + " again after the fault");
        }
    }
    tally.Faults += Inconsistencies(*plain);
    Figure("PostgreSQL", "faults", "connections opened anew", db->Reconnects());
}

} // namespace

// The store cannot be written, or its connection is lost or hangs, under an open session: the
// command fails with a message that says so, nothing is half-written, and the next command after
// the store is back works in the same session.
TEST_P(Faults, StoreThatGoesAwayFailsClearlyAndComesBack) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    Tally tally;
    if (GetParam() == StoreKind::PostgreSQL)
        ConnectionFails(tally, location);
    else
        StoreCannotBeWritten(tally);
    const QString store = GetParam() == StoreKind::SQLite ? "SQLite" : "PostgreSQL";
    Figure(store, "faults", "commands refused with a clear message", tally.Clear);
    Figure(store, "faults",
           "commands refused unclearly or accepted, stores half-written, commands failing once back",
           tally.Faults.size());
    EXPECT_EQ(tally.Faults.join("\n"), "");
    EXPECT_GT(tally.Clear, 0);
}

// A push killed with SIGKILL at one statement after another, in a process of its own: the store
// it leaves is the store before the push or the store after it, and it holds together; its log
// record is written with its orders, in its transaction.
TEST_P(Faults, KilledPushLeavesTheStoreBeforeOrAfter) {
    const QString first = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(first);
    const int lines = Scaled(100, 1000), points = Scaled(10, 200);
    // "killed", or "exit <code>|" and what the worker printed.
    const auto worker = [&](const QString& location, int killAt) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(ZPP_RELIABILITY_WORKER, {"crash", location, QString::number(lines), QString::number(killAt)});
        p.waitForFinished(600000);
        return p.exitStatus() == QProcess::CrashExit
                   ? QStringLiteral("killed")
                   : QString("exit %1|").arg(p.exitCode()) + QString::fromUtf8(p.readAllStandardOutput());
    };
    const auto fresh = [&](const QString& location) {
        auto db = store::Store::Open(location);
        CrashPush(lines, db.get());
        return db;
    };
    const auto counts = [](const store::Store& db) {
        return Rows(db, "SELECT (SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan008'),"
                        " (SELECT COUNT(*) FROM purchase_orders)");
    };

    // The states before and after, and the statements between, from a push run to its end.
    store::StorePtr db = fresh(first);
    const QString before = Snapshot(*db), noneLogged = counts(*db);
    const QString whole = worker(first, 0);
    ASSERT_TRUE(whole.startsWith("exit 0|")) << whole.toStdString();
    const int statements = whole.section(u'|', 2).trimmed().toInt();
    const QString after = Snapshot(*db), oneLogged = counts(*db);
    ASSERT_NE(before, after);
    ASSERT_EQ(Inconsistencies(*db).join("\n"), "");
    // SQLite writes a line, a source and an entry a statement each; a server takes them in batches.
    ASSERT_GT(statements, GetParam() == StoreKind::SQLite ? lines * 2 : 20);

    db = fresh(NewStoreLocation(GetParam()));
    QStringList faults;
    int done = 0;
    // Points spread over every statement; the last kills the process after the push returned.
    for (int k = 1; k <= points; ++k) {
        const int killAt = k == points ? -1 : 1 + int((qint64(k - 1) * statements) / (points - 1));
        const QString at = QString("statement %1: ").arg(killAt);
        if (const QString run = worker(db->Location(), killAt); run != "killed")
            faults << at + "the push ended on its own: " + run;
        const QString now = Snapshot(*db);
        if (now != before && now != after)
            faults << at + "neither before nor after";
        done += now == after;
        if (const QStringList broken = Inconsistencies(*db); !broken.isEmpty())
            faults << at + broken.mid(0, 5).join("; ");
        // A log record exactly when there are orders.
        if (counts(*db) != (now == after ? oneLogged : noneLogged))
            faults << at + "log records|orders " + counts(*db);
        if (now != before)
            db = fresh(NewStoreLocation(GetParam()));
    }
    const QString store = StoreName(*db);
    Figure(store, "crash", "push lines x kill points", QString("%1 x %2").arg(lines).arg(points));
    Figure(store, "crash", "statements in the push", statements);
    Figure(store, "crash", "kills that left the push done (the kill after it returned)", done);
    Figure(store, "crash", "stores neither before nor after, broken, or orders and log record apart",
           faults.size());
    EXPECT_EQ(faults.join("\n"), "");
    EXPECT_EQ(done, 1) << "only the kill after the push returned may find it done";
}

INSTANTIATE_TEST_SUITE_P(Stores, Faults, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
