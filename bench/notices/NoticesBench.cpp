// What an open list of a million rows spends marking another user's burst: 100,000 changed entries
// in one transaction (a big push) arrive as one batch. The first batch after a read also makes the
// list's entry-to-row map; a second batch finds it made. The grid holds a million rows of keys, as
// a refresh leaves them (the marks read nothing else).
//
// Usage: bench_notices [rows] [changed]
#include "app/Wiring.h"
#include "component/grid/PlanGrid.h"
#include "component/host/ComponentState.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/list/ListNotices.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"
#include "services/demo/DemoData.h"
#include "services/store/Session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>

using namespace zpp;

namespace {
template <class F> double Ms(F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    ini::SetConfigDir(dir.path());
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int changed = argc > 2 ? std::atoi(argv[2]) : 100000;
    // The list's texts and services, over a small store the marks never read.
    app::Wire(std::make_shared<store::Session>(store::LogIn(
        store::GenerateStore(dir.filePath(QStringLiteral("s.db")), 1), QStringLiteral("admin"))));
    BuildPlanColumnSet(26000 / 113.4);

    QWidget window;
    controls::SpreadGrid grid(&window);
    ApplyPlanColumns(grid, QString());
    grid.SetRedraw(false);
    grid.SetMaxRows(rows);
    grid.BeginFill();
    for (int r = 1; r <= rows; ++r) {
        grid.SetText(col::InterID, r, QString::number(r / 100 + 1));
        grid.SetText(col::EntryID, r, QString::number(r % 100 + 1));
    }
    grid.EndFill();
    grid.SetRedraw(true);
    ClsPurchasePlanUI list;
    list.SetSpread(&grid);
    ListNotices notices(
        grid, list, [] {}, &window);

    // Every tenth row's entry, and as many entries the list does not show (another plan's).
    auto burst = [&](const QString& change) {
        QVector<WatchedChange> c;
        c.reserve(changed);
        const QDateTime at = QDateTime::currentDateTimeUtc();
        for (int i = 0; i < changed; ++i) {
            const int r = 1 + qint64(i) * 10 % rows;
            WatchedChange w;
            w.PlanId = i % 2 ? r / 100 + 1 : -1 - i;
            w.EntryId = r % 100 + 1;
            w.Change = change;
            w.User = QStringLiteral("buyer");
            w.At = at;
            c << w;
        }
        return c;
    };
    const QVector<WatchedChange> first = burst(QStringLiteral("ordered")),
                                 second = burst(QStringLiteral("closed"));
    // At once after the read, the map is made for the burst; a list open a moment has made it while
    // idle.
    const double atOnceMs = Ms([&] { notices.Take(first); });
    notices.Reset();
    notices.Start();
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 1500)
        QCoreApplication::processEvents();
    const double firstMs = Ms([&] { notices.Take(first); });
    const int marked = notices.MarkedRows().size();
    const double secondMs = Ms([&] { notices.Take(second); });
    const double nextMs = Ms([&] { notices.ShowNext(); });
    std::printf("%d rows listed, a burst of %d changed entries (%d of them shown): marked in %.0f ms by a "
                "list open a moment, %.0f ms by one more burst (target 200 ms), %.0f ms at once after the "
                "read (its entry-to-row map made for it); %d rows marked; 逐个查看 %.1f ms\n",
                rows, changed, changed / 2, firstMs, secondMs, atOnceMs, marked, nextMs);
    return 0;
}
