// MergePlanRows and its grouping beside a bare hash grouping of the same rows, in one run.
// Prices come from the planning service over an SQLite demo store, as in the running program.
#include "component/grid/PlanGrid.h"
#include "component/host/ProgIds.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/operations/MergeRows.h"
#include "services/demo/DemoData.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/store/Session.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <QElapsedTimer>
#include <QHash>
#include <algorithm>
#include <cstdio>
#include <random>
#include <unordered_map>
#include <vector>

using namespace zpp;

namespace {

// Rows as the grid gives them: every field as text over one key set. About one row in five
// joins a group opened by an earlier row.
RecordListPtr MakeRows(int n, unsigned seed) {
    std::mt19937 rng(seed);
    auto keys = std::make_shared<KeySet>();
    for (const QString& f : PlanFieldNames())
        keys->Append(f);
    const auto shared = std::shared_ptr<const KeySet>(keys);
    auto field = [&](const char* name) { return keys->IndexOf(QString::fromLatin1(name)); };
    const int iInter = field("FInterID"), iEntry = field("FEntryID"), iKey = field("FKey"),
              iItem = field("FItemID"), iAux = field("FAuxPropID"), iSupply = field("FSupplyID"),
              iQty = field("FQty"), iUn = field("FPurchaseUnFinishQty"), iPush = field("FPushQty"),
              iPrice = field("FPrice"), iBill = field("FBillNo"), iSource = field("FSourceNo"),
              iDate = field("FFinishDate"), iTax = field("FTaxRate"), iMerge = field("FIsMerge");

    struct Group {
        int item, supply;
    };
    std::vector<Group> groups;
    auto rows = RecordList::Create();
    rows->Reserve(n);
    for (int i = 0; i < n; ++i) {
        Group g;
        if (!groups.empty() && rng() % 5 == 0) {
            g = groups[rng() % groups.size()];
        } else {
            g = {int(groups.size()) + 1, int(rng() % 400) + 1};
            groups.push_back(g);
        }
        const int inter = 1 + i / 20, entry = 1 + i % 20;
        QVector<QVariant> cells(keys->Count(), QVariant(QString()));
        cells[iInter] = QString::number(inter);
        cells[iEntry] = QString::number(entry);
        cells[iKey] = QStringLiteral("%1_%2").arg(inter).arg(entry);
        cells[iItem] = QString::number(g.item);
        cells[iAux] = QStringLiteral("0");
        cells[iSupply] = QString::number(g.supply);
        cells[iQty] = QString::number(int(rng() % 500) + 1);
        cells[iUn] = cells[iQty];
        cells[iPush] = cells[iQty];
        cells[iPrice] = QString::number((rng() % 1000) / 100.0, 'f', 4);
        cells[iBill] = QStringLiteral("CGJH%1").arg(inter, 6, 10, QLatin1Char('0'));
        cells[iSource] = QStringLiteral("SO%1").arg(rng() % 3000);
        cells[iDate] = QStringLiteral("2024-%1-%2")
                           .arg(1 + rng() % 12, 2, 10, QLatin1Char('0'))
                           .arg(1 + rng() % 28, 2, 10, QLatin1Char('0'));
        cells[iTax] = QStringLiteral("13");
        cells[iMerge] = QStringLiteral("0");
        rows->Add(std::make_shared<KeyedRecord>(shared, std::move(cells)));
    }
    return rows;
}

// The least work that finds the same groups: four texts per row and one hash probe.
int BareGrouping(const RecordListPtr& rows) {
    struct Key {
        QString a, b, c, d;
        bool operator==(const Key&) const = default;
    };
    struct Hasher {
        size_t operator()(const Key& k) const { return qHashMulti(0, k.a, k.b, k.c, k.d); }
    };
    std::unordered_map<Key, int, Hasher> groups;
    groups.reserve(rows->Count());
    std::vector<int> groupOf;
    groupOf.reserve(rows->Count());
    for (const auto& r : *rows) {
        Key k{r->Text(QStringLiteral("FClose")), r->Text(QStringLiteral("FItemID")),
              r->Text(QStringLiteral("FAuxPropID")), r->Text(QStringLiteral("FSupplyID"))};
        auto [it, added] = groups.try_emplace(std::move(k), int(groups.size()));
        groupOf.push_back(it->second);
    }
    return int(groups.size());
}

double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

// The merge's grouping of 100,000 rows may take at most this many times the bare pass.
constexpr double kTargetRatio = 1.5;

void Run(int n, int reps) {
    const RecordListPtr rows = MakeRows(n, 20240501u + n);
    double bare = 1e300, grouping = 1e300, total = 1e300, prices = 1e300;
    int groups = 0, merged = 0, joined = 0;
    for (int rep = 0; rep < reps; ++rep) {
        QElapsedTimer t;
        t.start();
        groups = BareGrouping(rows);
        bare = std::min(bare, Ms(t));

        // The merge changes its input, so each run gets a clone, as the merge command's.
        RecordListPtr copy = rows->Clone();
        // The grouping is timed on its own, not as the total less the prices: the price pass asks
        // the store and varies by more than the whole grouping takes.
        t.start();
        RecordListPtr result = GroupPlanRows(copy);
        grouping = std::min(grouping, Ms(t));
        t.start();
        FetchMergedPrices(result);
        prices = std::min(prices, Ms(t));

        RecordListPtr copy2 = rows->Clone();
        t.start();
        RecordListPtr result2 = MergePlanRows(copy2);
        total = std::min(total, Ms(t));

        merged = result2->Count();
        joined = 0;
        for (const auto& m : *result2)
            joined += m->Text(QStringLiteral("FIsMerge")) == QLatin1String("1") ? 1 : 0;
    }
    std::printf("%7d rows  %6d groups (%d merged, bare pass found %d)\n", n, merged, joined, groups);
    std::printf("        bare hash grouping   %9.2f ms   (finds the groups only; builds no merged rows)\n",
                bare);
    std::printf("        MergePlanRows total  %9.2f ms   (target for 5,000 rows: 100 ms)\n", total);
    std::printf("          prices             %9.2f ms\n", prices);
    std::printf("          grouping           %9.2f ms   ratio to bare pass %.2f (target %.1f)\n", grouping,
                grouping / bare, kTargetRatio);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString path = QStringLiteral("/tmp/zpp_bench_merge_prices.db");
    store::StorePtr db =
        QFileInfo::exists(path) ? store::Store::Open(path) : store::GenerateStore(path, 2000);
    auto session = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")));
    RegisterService<services::PurchasePlanInfoService>(QString::fromLatin1(progid::PurchasePlanInfo),
                                                       session);
    std::printf("MergePlanRows, best of several runs, prices from the SQLite store %s\n", qPrintable(path));
    Run(5000, 9);
    Run(100000, 5);
    return 0;
}
