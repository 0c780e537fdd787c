#include "Reliability.h"
#include "component/host/LongWork.h"
#include "services/access/AccessService.h"
#include "services/bills/PurchaseOrderStore.h"
#include "services/lookup/BaseDataModel.h"
#include "services/planning/RptData.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "services/profile/ProfileService.h"
#include "support/PgRelay.h"
#include "support/TestStores.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>

using namespace zpp;
using namespace zpp::reliability;
using namespace zpp::test;

namespace {

class Faults : public ::testing::TestWithParam<StoreKind> {};

// A PostgreSQL server of the test's own, so stopping it disturbs no other test.
class PrivateServer {
public:
    PrivateServer() : m_port(20000 + int(QRandomGenerator::global()->bounded(20000))) {}
    ~PrivateServer() { Shell(QStringLiteral("\"$SCRIPT\" stop \"$DIR\"")); }
    bool Create() { return Shell(QStringLiteral("\"$SCRIPT\" start \"$DIR\" \"$PORT\"")); }
    bool Stop() { return Shell(QStringLiteral("\"$SCRIPT\" stop \"$DIR\"")); }
    // Starts the server created before on the same directory and port.
    bool Start() {
        return Shell(QStringLiteral(
            "bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1);"
            "run() { if [ \"$(id -u)\" -eq 0 ]; then runuser -u postgres -- \"$@\"; else \"$@\"; fi; };"
            "run \"$bin/pg_ctl\" -D \"$DIR/data\" -o \"-k $DIR -h 127.0.0.1 -p $PORT -c fsync=off\""
            " -l \"$DIR/log\" -w start >/dev/null"));
    }
    QString Url() const { return QStringLiteral("postgresql://zpp@127.0.0.1:%1/postgres").arg(m_port); }

private:
    bool Shell(const QString& script) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SCRIPT", QStringLiteral(ZPP_PG_TEST_SERVER));
        env.insert("DIR", m_dir.path());
        env.insert("PORT", QString::number(m_port));
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start("bash", {"-c", script});
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    int m_port;
};

struct Tally {
    int Clear = 0, Unclear = 0, HalfWritten = 0, FailedAfterwards = 0;
    QStringList Faults;

    // A command the fault must refuse with a message that says what happened.
    void Refused(const QString& error, const QString& mark, const QString& what) {
        if (!error.isEmpty() && error.contains(mark)) {
            ++Clear;
        } else {
            ++Unclear;
            Faults << what + ": " + (error.isEmpty() ? QStringLiteral("accepted") : error);
        }
    }
    void Same(const QString& now, const QString& before, const QString& what) {
        if (now != before) {
            ++HalfWritten;
            Faults << what + ": the store changed";
        }
    }
    void Works(const QString& error, const QString& what) {
        if (!error.isEmpty()) {
            ++FailedAfterwards;
            Faults << what + ": " + error;
        }
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
    try {
        service.UpdatePurchasePlanEntry({}, list);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

QString Push(services::PurchasePlanUpdateService& service, RecordListPtr list) {
    QString ids;
    QDate date(2024, 5, 20);
    try {
        service.PushBill({}, list, 1, ids, date);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

// Two lines of one supplier: enough statements for a fault to fall in the middle.
RecordListPtr SmallPush(int cycle) {
    auto list = RecordList::Create();
    const int entry = 1 + cycle % 50;
    list->Add(PushLine(SupplierOf(entry, 4), {{100, entry, 1}}));
    list->Add(PushLine(SupplierOf(entry, 4), {{100, entry + 4, 1}}));
    return list;
}

// A hundred lines with long notes: more than the free room in the store's pages.
RecordListPtr LongPush() {
    RecordListPtr list = CrashPush(100);
    for (const RecordPtr& r : *list)
        r->Set("FMemo", QString(200, u'注'));
    return list;
}

// The plan read behind the list's refresh, through the connection's own handle on PostgreSQL.
QString Read(const store::Store& db) {
    try {
        services::ReadRptData(db, services::RptFilter{});
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

QString Memos(const store::Store& db) {
    return Rows(db, "SELECT memo FROM plan_entries WHERE plan_id = 100 ORDER BY entry_id");
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
        const QUrl url(server.Url());
        QSqlDatabase holder = QSqlDatabase::addDatabase("QPSQL", "zpp_row_holder");
        holder.setHostName(url.host());
        holder.setPort(url.port());
        holder.setDatabaseName(url.path().mid(1));
        holder.setUserName(url.userName());
        ASSERT_TRUE(holder.open());
        QSqlQuery hold(holder);
        ASSERT_TRUE(hold.exec("BEGIN"));
        ASSERT_TRUE(hold.exec("SELECT * FROM plan_entries WHERE plan_id = 100 FOR UPDATE"));
        const QString before = Snapshot(*db) + Memos(*db);
        tally.Refused(Save(service, 1, "held"), "另一用户正在修改", "save, rows held by another user");
        tally.Same(Snapshot(*db) + Memos(*db), before, "rows held by another user");
        hold.exec("ROLLBACK");
        holder.close();
    }
    QSqlDatabase::removeDatabase("zpp_row_holder");
    tally.Works(Save(service, 1, "free again"), "save once the rows are free");
    const int cycles = Scaled(1, 10);
    for (int c = 0; c < cycles; ++c) {
        QString before = Snapshot(*db) + Memos(*db);
        ASSERT_TRUE(server.Stop());
        tally.Refused(Save(service, 1, QString("c%1").arg(c)), lost, "save, server stopped");
        tally.Refused(Push(service, SmallPush(c)), lost, "push, server stopped");
        tally.Refused(Read(*db), lost, "plan read, server stopped");
        ASSERT_TRUE(server.Start());
        tally.Works(Read(*db), "plan read after the server is back");
        tally.Same(Snapshot(*db) + Memos(*db), before, "server stopped before the commands");
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
            before = Snapshot(*db) + Memos(*db);
            db->SetBeforeCommit([&] { server.Stop(); });
            const QString error = Save(service, 3, "in doubt");
            db->SetBeforeCommit(nullptr);
            tally.Refused(error, "无法确定本次操作是否已完成", "save, server stopped at its commit");
            ASSERT_TRUE(server.Start());
            const QString after = Snapshot(*db) + Memos(*db);
            if (after != before && !Memos(*db).contains("in doubt"))
                tally.Faults << "save lost at its commit left the store between before and after";
            tally.Works(Save(service, 3, "after the doubt"), "save after a commit in doubt");
        }

        // Stopped and started between two commands: the next one does not even notice.
        ASSERT_TRUE(server.Stop());
        ASSERT_TRUE(server.Start());
        tally.Works(Save(service, 2, QString("d%1").arg(c)), "save after a restart between commands");
        ASSERT_TRUE(server.Stop());
        ASSERT_TRUE(server.Start());
        tally.Works(Read(*db), "plan read after a restart between commands");
    }
    const QStringList broken = Inconsistencies(*db);
    tally.HalfWritten += int(broken.size());
    tally.Faults += broken;
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
        auto session = std::make_shared<store::Session>(store::LogIn(db, "admin"));
        services::PurchasePlanUpdateService service(session);
        db->Exec("PRAGMA busy_timeout = 200");

        QString before = Snapshot(*db) + Memos(*db);
        {
            const QString name = QString("zpp_lock_holder_%1").arg(c);
            {
                QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", name);
                holder.setDatabaseName(path);
                ASSERT_TRUE(holder.open());
                QSqlQuery lock(holder);
                ASSERT_TRUE(lock.exec("BEGIN IMMEDIATE"));
                tally.Refused(Save(service, 1, "locked"), "正被其他程序或用户写入", "save, store locked");
                tally.Refused(Push(service, SmallPush(c)), "正被其他程序或用户写入", "push, store locked");
                lock.exec("ROLLBACK");
                holder.close();
            }
            QSqlDatabase::removeDatabase(name);
        }
        tally.Same(Snapshot(*db) + Memos(*db), before, "store locked");
        tally.Works(Save(service, 1, "unlocked"), "save once the lock is gone");
        tally.Works(Push(service, SmallPush(c)), "push once the lock is gone");

        // The store may only be read (SQLite says so the same way for a read-only file).
        before = Snapshot(*db) + Memos(*db);
        db->Exec("PRAGMA query_only = ON");
        tally.Refused(Save(service, 1, "read-only"), "不可写入", "save, store read-only");
        tally.Refused(Push(service, SmallPush(c)), "不可写入", "push, store read-only");
        tally.Same(Snapshot(*db) + Memos(*db), before, "store read-only");
        db->Exec("PRAGMA query_only = OFF");
        tally.Works(Save(service, 1, "writable"), "save once the store may be written");

        // The file may not grow: the push fails in the middle of its inserts.
        before = Snapshot(*db);
        db->Exec("PRAGMA max_page_count = " + db->Scalar("PRAGMA page_count").toString());
        tally.Refused(Push(service, LongPush()), "磁盘已满", "push, disk full");
        tally.Same(Snapshot(*db), before, "disk full");
        db->Exec("PRAGMA max_page_count = 1073741823");
        tally.Works(Push(service, LongPush()), "push once there is room");
        QStringList broken = Inconsistencies(*db) + FileIntegrity(*db);
        tally.HalfWritten += int(broken.size());
        tally.Faults += broken;
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

// A command as the relayed test drives it: what it needs set up beforehand (on a connection of
// its own), the command itself, and whether the store shows that it was done.
struct Command {
    const char* Name;
    std::function<void(int round)> Prepare;
    std::function<QString(int round, const QString& memo)> Run;
    std::function<bool(int round, const QString& memo)> Done;
};

QString Failure(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
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
    services::ProfileService profiles(session);
    services::AccessService access(session);
    services::BaseDataModel suppliers(db, services::kBaseDataSupplier);
    ASSERT_EQ(Push(service, SmallPush(0)), "");
    const qint64 orderId = plain->Scalar("SELECT MIN(id) FROM purchase_orders").toLongLong();
    const auto scalar = [&](const QString& sql, const QVariantList& binds = {}) {
        return plain->Scalar(sql, binds).toString();
    };
    const auto orders = [&] { return scalar("SELECT COUNT(*) FROM purchase_orders").toInt(); };
    const auto closed = [&] {
        return scalar("SELECT close_mark FROM plan_entries WHERE plan_id = 100 AND entry_id = 90");
    };
    const auto orderQty = [&] {
        return scalar("SELECT qty FROM purchase_order_lines WHERE order_id = ? AND line_no = 1", {orderId});
    };
    const auto entryList = [](int plan, int entry) {
        auto request = KeyedRecord::Create();
        request->Set("FInterID", QString::number(plan));
        request->Set("FEntryID", QString::number(entry));
        RecordListPtr list = RecordList::Create();
        list->Add(request);
        return list;
    };
    QString markBefore, qtyBefore;
    const std::vector<Command> commands = {
        {"save",
         {},
         [&](int round, const QString& memo) { return Save(service, 1 + round % 40, memo); },
         [&](int, const QString& memo) { return Memos(*plain).contains(memo); }},
        {"push",
         {},
         [&](int round, const QString&) { return Push(service, SmallPush(round)); },
         [&](int, const QString&) { return false; }},
        // The read has no time limit of its own: its progress window offers 取消, and the user
        // here takes it after 3 s.
        {"read",
         {},
         [&](int, const QString&) {
             QElapsedTimer clock;
             clock.start();
             const longwork::Scope user([&] { return clock.elapsed() < 3000; });
             return Read(*db);
         },
         [&](int, const QString&) { return false; }},
        // Entry 90 is closed and opened again in turn; no save or push touches it.
        {"close", [&](int) { markBefore = closed(); },
         [&](int, const QString&) {
             return Failure([&] {
                 RecordListPtr requests = entryList(100, 90);
                 if (closed().isEmpty())
                     service.ClosePurchasePlan({}, requests);
                 else
                     service.UnClosePurchasePlan({}, requests);
             });
         },
         [&](int, const QString&) { return closed() != markBefore; }},
        {"lookup",
         {},
         [&](int, const QString&) {
             const QString error = Failure([&] { suppliers.SetSearch("R"); });
             return error.isEmpty() && suppliers.rowCount() == 0
                        ? QStringLiteral("the lookup found no supplier")
                        : error;
         },
         [&](int, const QString&) { return false; }},
        // Each delete takes a plan of three entries made for it.
        {"delete", [&](int round) { SeedPlan(*plain, 1000 + round, 3, 10, 2); },
         [&](int round, const QString&) {
             QString error;
             const QString thrown = Failure([&] {
                 RecordListPtr requests = entryList(1000 + round, 1);
                 const RecordListPtr results = service.DeletePurChasePlan({}, requests);
                 error = results->Count() == 1 ? results->Item(1)->Get("Error").toString()
                                               : QStringLiteral("no result");
             });
             return thrown.isEmpty() ? error : thrown;
         },
         [&](int round, const QString&) {
             return scalar("SELECT COUNT(*) FROM purchase_plans WHERE id = ?", {1000 + round}) == "0";
         }},
        // The order window moves its first line's quantity between two values.
        {"order", [&](int) { qtyBefore = orderQty(); },
         [&](int, const QString&) {
             return Failure([&] {
                 const services::PurchaseOrderStore orders(session);
                 const services::PurchaseOrder loaded = orders.Load(orderId);
                 QVector<services::OrderLine> edited = loaded.Lines;
                 edited[0].Qty += edited[0].Qty > 1.5 ? -1 : 1;
                 orders.Save(loaded, edited);
             });
         },
         [&](int, const QString&) { return orderQty() != qtyBefore; }},
        {"scheme",
         {},
         [&](int, const QString& memo) {
             return Failure([&] {
                 QString text = memo;
                 profiles.SaveRptFormat({}, 5, "columns", text);
             });
         },
         [&](int, const QString& memo) {
             return scalar("SELECT COUNT(*) FROM report_formats WHERE value = ?", {memo}) == "1";
         }},
        {"log",
         {},
         [&](int, const QString& memo) {
             return Failure([&] {
                 QString code = "CGPlan001", name = memo;
                 qint32 type = 1;
                 access.WriteLog(code, type, name);
             });
         },
         [&](int, const QString& memo) {
             return scalar("SELECT COUNT(*) FROM operation_log WHERE operation_name = ?", {memo}) != "0";
         }},
    };
    Tally tally;
    int round = 0;
    // Drop every connection; cut an answer after some bytes; stall at once or in the middle.
    struct Fault {
        qint64 CutAfter, StallAfter;
    };
    std::vector<Fault> faults = {{-1, -1}, {5, -1}, {60, -1}, {400, -1}, {3000, -1}, {-1, 0}};
    // A stall in the middle costs the limit's wait for every command: the full run only.
    if (Soak())
        faults.push_back({-1, 400});
    for (const Fault fault : faults) {
        for (const Command& command : commands) {
            ++round;
            const QString memo = QString("r%1").arg(round);
            const QString what = QString("%1, %2 after %3 bytes")
                                     .arg(command.Name, fault.StallAfter >= 0 ? "stall" : "cut")
                                     .arg(fault.StallAfter >= 0 ? fault.StallAfter : fault.CutAfter);
            if (command.Prepare)
                command.Prepare(round);
            const QString before = Snapshot(*plain) + Memos(*plain);
            const int ordersBefore = orders();
            if (fault.StallAfter >= 0)
                relay.StallAfterServerBytes(fault.StallAfter);
            else if (fault.CutAfter < 0)
                relay.DropAll();
            else
                relay.CutAfterServerBytes(fault.CutAfter);
            const QString error = command.Run(round, memo);
            relay.CutAfterServerBytes(-1);
            relay.Stall(false);
            if (!error.isEmpty())
                tally.Refused(error, error.contains("已取消") ? "已取消" : "断开", what);
            if (!command.Done(round, memo) && orders() == ordersBefore)
                tally.Same(Snapshot(*plain) + Memos(*plain), before, what);
            // A statement that may have been done is never run again on the connection opened anew.
            if (scalar("SELECT COUNT(*) FROM operation_log WHERE operation_name = ?", {memo}).toInt() > 1)
                tally.Faults << what + ": the log record was written twice";
            if (command.Prepare)
                command.Prepare(round + 10000);
            tally.Works(command.Run(round + 10000, memo + "b"),
                        QString("%1 again after the fault").arg(what));
        }
    }
    const QStringList broken = Inconsistencies(*plain);
    tally.HalfWritten += int(broken.size());
    tally.Faults += broken;
    tally.Report("PostgreSQL, relayed");
    EXPECT_EQ(tally.Faults.join("\n"), "");
}

INSTANTIATE_TEST_SUITE_P(Stores, Faults, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
