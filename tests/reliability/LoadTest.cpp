#include "Reliability.h"
#include "support/TestStores.h"

#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

using namespace zpp;
using namespace zpp::reliability;
using namespace zpp::test;

namespace {

class Load : public ::testing::TestWithParam<StoreKind> {};

double Number(const store::Store& db, const QString& sql) {
    return db.Scalar(sql).toDouble();
}

} // namespace

// Four worker processes, each with its own connection, push overlapping ticked sets of the same
// 50 entries from the same moment on. Nothing may be ordered twice, no bill number repeats, and
// every push either lands whole or is refused for its data, never for the store's sake.
TEST_P(Load, RacingPushProcessesNeverOrderTooMuch) {
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
        p->start(QStringLiteral(ZPP_RELIABILITY_WORKER),
                 {"load", location, QString::number(i + 1), QString::number(pushes), QString::number(kPlan),
                  QString::number(kEntries)});
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
    int accepted = 0;
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
            if (f.value(1) == QLatin1String("ok")) {
                ++accepted;
                ordered += f.value(2).toDouble();
            } else if (f.value(1) == QLatin1String("refused")) {
                ++refused[f.value(2)];
            } else {
                errors << f.mid(2).join(u'|');
            }
        }
    }
    const qint64 ms = clock.elapsed();

    const int refusedTotal = std::accumulate(refused.cbegin(), refused.cend(), 0);
    const int overOrdered =
        int(Number(*db, "SELECT COUNT(*) FROM plan_entries WHERE ordered_qty > qty + 1e-9"));
    const int duplicates = int(Number(*db, "SELECT COUNT(*) - COUNT(DISTINCT bill_no) FROM purchase_orders"));
    const QStringList broken = Inconsistencies(*db);
    const int unmatched = int(std::count_if(broken.cbegin(), broken.cend(), [](const QString& b) {
        return b.contains(QLatin1String("sources do not add up"));
    }));
    const double stored = Number(*db, "SELECT SUM(ordered_qty) FROM plan_entries");

    const QString store = StoreName(*db), name = QStringLiteral("load");
    Figure(store, name, "processes x pushes", QString("%1 x %2").arg(kProcesses).arg(pushes));
    Figure(store, name, "pushes accepted", accepted);
    Figure(store, name, "pushes refused", refusedTotal);
    for (auto it = refused.cbegin(); it != refused.cend(); ++it)
        Figure(store, name, "refused: " + it.key().section(QStringLiteral("，"), 0, 0), it.value());
    Figure(store, name, "pushes failed by the store", errors.size());
    Figure(store, name, "over-ordered entries", overOrdered);
    Figure(store, name, "duplicate bill numbers", duplicates);
    Figure(store, name, "entries or lines whose sources do not add up", unmatched);
    Figure(store, name, "ordered quantity not from an accepted push", stored - ordered);
    Figure(store, name, "total time (ms)", ms);

    EXPECT_EQ(errors.join("\n"), "");
    EXPECT_EQ(accepted + refusedTotal + errors.size(), kProcesses * pushes);
    EXPECT_GT(accepted, 0);
    EXPECT_EQ(overOrdered, 0);
    EXPECT_EQ(duplicates, 0);
    EXPECT_EQ(broken.join("\n"), "");
    EXPECT_NEAR(stored, ordered, 1e-6);
    // Only the quantity check may refuse these pushes: every entry is open and has its supplier.
    for (auto it = refused.cbegin(); it != refused.cend(); ++it)
        EXPECT_TRUE(it.key().contains(QStringLiteral("超过未下达采购订单数量"))) << it.key().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Stores, Load, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
