#include "Reliability.h"
#include "component/host/LongWork.h"
#include "services/access/AccessService.h"
#include "services/bills/PurchaseOrderStore.h"
#include "services/lookup/BaseDataModel.h"
#include "services/planning/RptData.h"
#include "support/PgRelay.h"
#include "support/TestStores.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

using namespace zpp;
using namespace zpp::reliability;
using namespace zpp::test;

namespace {

class Faults : public ::testing::TestWithParam<StoreKind> {};

// A PostgreSQL server of the test's own, so stopping it disturbs no other test.
class PrivateServer {
public:
    ~PrivateServer() { Stop(); }
    bool Create() { return Shell("\"$SCRIPT\" start \"$DIR\" \"$PORT\""); }
    bool Stop() { return Shell("\"$SCRIPT\" stop \"$DIR\""); }
    // Starts the server created before on the same directory and port.
    bool Start() {
        return Shell(
            "bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1);"
            "run() { if [ \"$(id -u)\" -eq 0 ]; then runuser -u postgres -- \"$@\"; else \"$@\"; fi; };"
            "run \"$bin/pg_ctl\" -D \"$DIR/data\" -o \"-k $DIR -h 127.0.0.1 -p $PORT -c fsync=off\""
            " -l \"$DIR/log\" -w start >/dev/null");
    }
    QString Url() const { return QStringLiteral("postgresql://zpp@127.0.0.1:%1/postgres").arg(m_port); }

private:
    bool Shell(const QString& script) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SCRIPT", ZPP_PG_TEST_SERVER);
        env.insert("DIR", m_dir.path());
        env.insert("PORT", QString::number(m_port));
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start("bash", {"-c", script});
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    int m_port = 20000 + int(QRandomGenerator::global()->bounded(20000));
};

struct Tally {
    int Clear = 0, Unclear = 0, HalfWritten = 0, FailedAfterwards = 0;
    QStringList Faults;

    // A command the fault must refuse with a message that says what happened.
    void Refused(const QString& error, const QString& mark, const QString& what) {
        const bool clear = !error.isEmpty() && error.contains(mark);
        ++(clear ? Clear : Unclear);
        if (!clear)
            Faults << what + ": " + (error.isEmpty() ? QStringLiteral("accepted") : error);
    }
    void Same(const QString& now, const QString& before, const QString& what) {
        if (now != before)
            ++HalfWritten, Faults << what + ": the store changed";
    }
    void Works(const QString& error, const QString& what) {
        if (!error.isEmpty())
            ++FailedAfterwards, Faults << what + ": " + error;
    }
    void Holds(const store::Store& db) {
        const QStringList broken = Inconsistencies(db);
        HalfWritten += int(broken.size());
        Faults += broken;
    }
    void Report(const QString& store) const {
        Figure(store, "faults", "commands refused with a clear message", Clear);
        Figure(store, "faults", "commands refused unclearly or accepted", Unclear);
        Figure(store, "faults", "stores half-written", HalfWritten);
        Figure(store, "faults", "commands failing once the store is back", FailedAfterwards);
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

// The server stops under an open session, between commands and inside a push, and starts again.
void ServerStops(Tally& tally) {
    PrivateServer server;
    ASSERT_TRUE(server.Create()) << "could not start a PostgreSQL server of the test's own";
    auto db = store::Store::Open(server.Url());
    CrashPush(100, db.get());
    auto session = std::make_shared<store::Session>(store::LogIn(db, "admin"));
    services::PurchasePlanUpdateService service(session);
    const QString lost = QStringLiteral("连接已断开");

    // Another user holds the entries: the save waits out the lock limit, gives up whole and says
    // why; once the rows are free it goes through.
    db->Exec("UPDATE system_settings SET value = '1' WHERE section = 'Store' AND key = 'LockTimeoutSeconds'");
    db->ApplyTimeLimits();
    {
        auto other = store::Store::Open(server.Url());
        store::Store::Transaction hold(*other);
        other->Exec("SELECT * FROM plan_entries WHERE plan_id = 100 FOR UPDATE");
        const QString before = Snapshot(*db);
        tally.Refused(Save(service, 1, "held"), "另一用户正在修改", "save, rows held by another user");
        tally.Same(Snapshot(*db), before, "rows held by another user");
    }
    tally.Works(Save(service, 1, "free again"), "save once the rows are free");
    const int cycles = Scaled(1, 10);
    for (int c = 0; c < cycles; ++c) {
        QString before = Snapshot(*db);
        ASSERT_TRUE(server.Stop());
        tally.Refused(Save(service, 1, QString("c%1").arg(c)), lost, "save, server stopped");
        tally.Refused(Push(service, SmallPush(c)), lost, "push, server stopped");
        tally.Refused(Read(*db), lost, "plan read, server stopped");
        ASSERT_TRUE(server.Start());
        tally.Works(Read(*db), "plan read after the server is back");
        tally.Same(Snapshot(*db), before, "server stopped before the commands");
        tally.Works(Save(service, 1, QString("c%1").arg(c)), "save after the server is back");
        tally.Works(Push(service, SmallPush(c)), "push after the server is back");

        // Stopped half-way through a push's transaction: it fails whole, the next one goes through.
        before = Snapshot(*db);
        services::PurchasePlanUpdateService breaking(session);
        int statements = 0;
        breaking.SetPushStatementHook([&] {
            if (++statements == 6)
                server.Stop();
        });
        tally.Refused(Push(breaking, SmallPush(c + 20)), lost, "push, server stopped inside it");
        ASSERT_TRUE(server.Start());
        tally.Same(Snapshot(*db), before, "server stopped inside a push");
        tally.Works(Push(service, SmallPush(c + 20)), "push after the server is back");

        // Lost at the save's commit: the save says its outcome is unknown, the store holds the
        // save whole or not at all, and the next one goes through.
        if (c == 0) {
            before = Snapshot(*db);
            db->SetBeforeCommit([&] { server.Stop(); });
            const QString error = Save(service, 3, "in doubt");
            db->SetBeforeCommit(nullptr);
            tally.Refused(error, "无法确定本次操作是否已完成", "save, server stopped at its commit");
            ASSERT_TRUE(server.Start());
            const QString memo =
                db->Scalar("SELECT memo FROM plan_entries WHERE plan_id = 100 AND entry_id = 3").toString();
            if (Snapshot(*db) != before && memo != "in doubt")
                tally.Faults << "save lost at its commit left the store between before and after";
            tally.Works(Save(service, 3, "after the doubt"), "save after a commit in doubt");
        }

        // Stopped and started between two commands: the next one does not even notice.
        ASSERT_TRUE(server.Stop() && server.Start());
        tally.Works(Save(service, 2, QString("d%1").arg(c)), "save after a restart between commands");
        ASSERT_TRUE(server.Stop() && server.Start());
        tally.Works(Read(*db), "plan read after a restart between commands");
    }
    tally.Holds(*db);
    Figure("PostgreSQL", "faults", "server stops", cycles * 3);
    Figure("PostgreSQL", "faults", "connections opened anew", db->Reconnects());
}

// SQLite: writes fail because another connection holds the write lock past the busy timeout
// (chmod cannot stop root, who runs the tests), because the store may only be read, or because
// the file may grow no further.
void StoreCannotBeWritten(Tally& tally) {
    const int cycles = Scaled(1, 20);
    for (int c = 0; c < cycles; ++c) {
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
        const auto longPush = [] {
            RecordListPtr list = CrashPush(100);
            for (const RecordPtr& r : *list)
                r->Set("FMemo", QString(200, u'注'));
            return list;
        };
        before = Snapshot(*db);
        db->Exec("PRAGMA max_page_count = " + db->Scalar("PRAGMA page_count").toString());
        tally.Refused(Push(service, longPush()), "磁盘已满", "push, disk full");
        tally.Same(Snapshot(*db), before, "disk full");
        db->Exec("PRAGMA max_page_count = 1073741823");
        tally.Works(Push(service, longPush()), "push once there is room");
        tally.Holds(*db);
    }
    Figure("SQLite", "faults", "lock and disk-full rounds", cycles);
}

} // namespace

// The store goes away under an open session: the command fails with a message that says so,
// nothing is half-written, and the next command after the store is back works in the same session.
TEST_P(Faults, StoreThatGoesAwayFailsClearlyAndComesBack) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    Tally tally;
    if (GetParam() == StoreKind::PostgreSQL)
        ServerStops(tally);
    else
        StoreCannotBeWritten(tally);
    tally.Report(GetParam() == StoreKind::SQLite ? "SQLite" : "PostgreSQL");
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
    QMap<QString, int> figures{{"stores equal to neither before nor after", 0},
                               {"integrity check failures", 0},
                               {"orders and their log record apart", 0}};
    QStringList faults;
    // Points spread over every statement; the last kills the process after the push returned.
    for (int k = 1; k <= points; ++k) {
        const int killAt = k == points ? -1 : 1 + int((qint64(k - 1) * statements) / (points - 1));
        const QString at = QString("statement %1: ").arg(killAt);
        if (const QString run = worker(db->Location(), killAt); run != "killed")
            faults << at + "the push ended on its own: " + run;
        const QString now = Snapshot(*db);
        if (now != before && now != after)
            ++figures["stores equal to neither before nor after"], faults << at + "neither before nor after";
        figures["kills that left the push done"] += now == after;
        if (const QStringList broken = Inconsistencies(*db); !broken.isEmpty())
            ++figures["integrity check failures"], faults << at + broken.mid(0, 5).join("; ");
        // A log record exactly when there are orders.
        if (counts(*db) != (now == after ? oneLogged : noneLogged))
            ++figures["orders and their log record apart"],
                faults << at + "log records|orders " + counts(*db);
        if (now != before)
            db = fresh(NewStoreLocation(GetParam()));
    }
    const QString store = StoreName(*db);
    Figure(store, "crash", "push lines x kill points", QString("%1 x %2").arg(lines).arg(points));
    Figure(store, "crash", "statements in the push", statements);
    for (auto it = figures.cbegin(); it != figures.cend(); ++it)
        Figure(store, "crash", it.key(), it.value());
    EXPECT_EQ(faults.join("\n"), "");
    EXPECT_EQ(figures["kills that left the push done"], 1)
        << "only the kill after the push returned may find it done";
}

// The connection dies or hangs under each command, through a relay between the store and its
// server: dropped between commands, cut after a few bytes of the server's answers (inside the
// statements or as the answers come), or stalled. Each command works or says the connection went,
// the store holds the command whole or not at all, and the next command works.
TEST(RelayedFaults, EachCommandFailsClearlyOrWorksAndTheNextOneWorks) {
    const QString direct = NewPostgresUrl();
    ZPP_REQUIRE_STORE(direct);
    const QUrl url(direct);
    PgRelay relay(url.host(), quint16(url.port(5432)));
    auto plain = store::Store::Open(direct);
    CrashPush(100, plain.get());
    // A statement limit of 1 s: the program gives up on a stalled server after 2 s.
    plain->Exec(
        "UPDATE system_settings SET value = '1' WHERE section = 'Store' AND key = 'StatementTimeoutSeconds'");
    auto db = store::Store::Open(relay.Through(direct));
    auto session = std::make_shared<store::Session>(store::LogIn(db, "admin"));
    services::PurchasePlanUpdateService service(session);
    services::BaseDataModel suppliers(db, services::kBaseDataSupplier);
    ASSERT_EQ(Push(service, SmallPush(0)), "");
    const qint64 orderId = plain->Scalar("SELECT MIN(id) FROM purchase_orders").toLongLong();
    const auto entryList = [](int plan, int entry) {
        auto request = KeyedRecord::Create();
        request->Set("FInterID", QString::number(plan));
        request->Set("FEntryID", QString::number(entry));
        RecordListPtr list = RecordList::Create();
        list->Add(request);
        return list;
    };
    // Each command by its round and the note it writes, if any.
    const std::vector<std::pair<const char*, std::function<QString(int round, const QString& memo)>>>
        commands = {
            {"save", [&](int round, const QString& memo) { return Save(service, 1 + round % 40, memo); }},
            {"push", [&](int round, const QString&) { return Push(service, SmallPush(round)); }},
            // The read has no time limit of its own: its progress window offers 取消, and the user
            // here takes it after 3 s.
            {"read",
             [&](int, const QString&) {
                 QElapsedTimer clock;
                 clock.start();
                 const longwork::Scope user([&] { return clock.elapsed() < 3000; });
                 return Read(*db);
             }},
            {"lookup",
             [&](int, const QString&) {
                 const QString error = Failure([&] { suppliers.SetSearch("R"); });
                 return error.isEmpty() && suppliers.rowCount() == 0
                            ? QStringLiteral("the lookup found no supplier")
                            : error;
             }},
            // Each delete takes a plan of three entries made for it beforehand.
            {"delete",
             [&](int round, const QString&) {
                 QString error;
                 const QString thrown = Failure([&] {
                     RecordListPtr requests = entryList(1000 + round, 1);
                     const RecordListPtr results = service.DeletePurChasePlan({}, requests);
                     error = results->Count() == 1 ? results->Item(1)->Get("Error").toString() : "no result";
                 });
                 return thrown.isEmpty() ? error : thrown;
             }},
            // The order window moves its first line's quantity between two values.
            {"order",
             [&](int, const QString&) {
                 return Failure([&] {
                     const services::PurchaseOrderStore orders(session);
                     const services::PurchaseOrder loaded = orders.Load(orderId);
                     QVector<services::OrderLine> edited = loaded.Lines;
                     edited[0].Qty += edited[0].Qty > 1.5 ? -1 : 1;
                     orders.Save(loaded, edited);
                 });
             }},
            {"log",
             [&](int, const QString& memo) {
                 return Failure([&] {
                     QString code = "CGPlan001", name = memo;
                     qint32 type = 1;
                     services::AccessService(session).WriteLog(code, type, name);
                 });
             }},
        };
    Tally tally;
    int round = 0;
    // Drop every connection (-1); cut an answer after some bytes; stall at once or in the middle.
    struct Fault {
        qint64 CutAfter, StallAfter;
    };
    std::vector<Fault> faults = {{-1, -1}, {5, -1}, {60, -1}, {400, -1}, {3000, -1}, {-1, 0}};
    // A stall in the middle costs the limit's wait for every command: the full run only.
    if (Soak())
        faults.push_back({-1, 400});
    for (const Fault fault : faults) {
        for (const auto& [name, run] : commands) {
            const QString memo = QString("r%1").arg(++round);
            const QString what = QString("%1, %2 after %3 bytes")
                                     .arg(name, fault.StallAfter >= 0 ? "stall" : "cut")
                                     .arg(fault.StallAfter >= 0 ? fault.StallAfter : fault.CutAfter);
            SeedPlan(*plain, 1000 + round, 3, 10, 2);
            SeedPlan(*plain, 11000 + round, 3, 10, 2);
            const QString before = Snapshot(*plain);
            if (fault.StallAfter >= 0)
                relay.StallAfterServerBytes(fault.StallAfter);
            else if (fault.CutAfter < 0)
                relay.DropAll();
            else
                relay.CutAfterServerBytes(fault.CutAfter);
            const QString error = run(round, memo);
            relay.CutAfterServerBytes(-1);
            relay.Stall(false);
            if (!error.isEmpty())
                tally.Refused(error, error.contains("已取消") ? "已取消" : "断开", what);
            // A command that failed without doubt left nothing of itself.
            if (!error.isEmpty() && !error.contains("无法确定本次操作是否已完成"))
                tally.Same(Snapshot(*plain), before, what);
            // A statement that may have been done is never run again on the connection opened anew.
            if (plain->Scalar("SELECT COUNT(*) FROM operation_log WHERE operation_name = ?", {memo}).toInt() >
                1)
                tally.Faults << what + ": the log record was written twice";
            tally.Works(run(round + 10000, memo + "b"), what + " again after the fault");
        }
    }
    tally.Holds(*plain);
    tally.Report("PostgreSQL, relayed");
    EXPECT_EQ(tally.Faults.join("\n"), "");
}

INSTANTIATE_TEST_SUITE_P(Stores, Faults, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
