// Start-up of the real program, as a buyer meets it: from launch to the filter dialog on
// screen, and from its OK to the first rows of the list painted, over a store of 100,000 plan
// entries. The program runs as a child on the offscreen platform with ZPP_TIMING=exit, so it
// prints its own "TIMING <label> <ms since process start>" lines, confirms the filter dialog
// for the whole period by itself and leaves after the first rows are painted. Wall times are
// taken here as each line arrives; the phases after main come from the child's own clock.
//
// Usage: bench_startup [entries [runs]]; the store is built once into the temporary
// directory and kept.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

namespace {

struct Mark {
    double child; // ms since the child's process start, by its own clock
    double wall;  // ms from QProcess::start to the line's arrival here
};

// One run's marks. The grid's fill marks also come from setting up the empty list, so only
// those after the list window opened belong to the load.
struct Run {
    QMap<QByteArray, Mark> first;
    std::optional<Mark> fill, filled;
};

struct Phases {
    double toMain, execToMain, mainToStore, storeToFilter, toFilter; // launch to the filter dialog
    double window, query, gridFill, toPaint, okToRows;               // OK to the first rows painted
    double total;
};

constexpr double kNone = std::numeric_limits<double>::infinity();

const char* kApp = ZPP_APP_PATH;

int RunQuietly(const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QString::fromLocal8Bit(kApp), args);
    if (!p.waitForFinished(-1))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

std::optional<Run> LaunchOnce(const QString& store, const QProcessEnvironment& base) {
    // Fresh configuration and root per run, so nothing of the user's is read or written.
    QTemporaryDir home;
    if (!home.isValid())
        return std::nullopt;
    const QString cfg = home.filePath(QStringLiteral("config")), root = home.filePath(QStringLiteral("root"));
    QDir().mkpath(cfg);
    QDir().mkpath(root);
    // The run saves its filter as the default scheme and leaves without closing the store: a
    // copy keeps every run starting from the same store.
    const QString copy = home.filePath(QStringLiteral("plan.db"));
    if (!QFile::copy(store, copy))
        return std::nullopt;
    QProcessEnvironment env = base;
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("xdg-config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("xdg-data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("xdg-cache")));

    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setReadChannel(QProcess::StandardError); // what waitForReadyRead waits on
    Run run;
    QByteArray pending, other;
    QElapsedTimer wall;
    wall.start();
    p.start(QString::fromLocal8Bit(kApp), {QStringLiteral("--store"), copy, QStringLiteral("--config-dir"),
                                           cfg, QStringLiteral("--root"), root});
    const auto take = [&] {
        const double now = wall.nsecsElapsed() / 1e6;
        pending += p.readAllStandardError();
        for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0;) {
            const QByteArray line = pending.left(nl).trimmed();
            pending.remove(0, nl + 1);
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 3 || parts[0] != "TIMING") {
                other += line + '\n';
                continue;
            }
            const Mark m{parts[2].toDouble(), now};
            if (!run.first.contains(parts[1]))
                run.first.insert(parts[1], m);
            if (!run.first.contains("list-window"))
                continue;
            if (parts[1] == "grid-fill" && !run.fill)
                run.fill = m;
            else if (parts[1] == "grid-filled" && run.fill && !run.filled)
                run.filled = m;
        }
    };
    QElapsedTimer limit;
    limit.start();
    while (p.state() != QProcess::NotRunning && limit.elapsed() < 120000) {
        if (p.waitForReadyRead(200))
            take();
    }
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        std::fprintf(stderr, "the program did not leave within 2 minutes\n");
    }
    take();
    for (const char* label :
         {"main", "store-open", "filter-shown", "filter-ok", "list-window", "rows-painted"})
        if (!run.first.contains(label)) {
            std::fprintf(stderr, "no \"%s\" mark (exit code %d); the program said:\n%s", label, p.exitCode(),
                         other.constData());
            return std::nullopt;
        }
    if (!run.fill || !run.filled) {
        std::fprintf(stderr, "the list was not filled; the program said:\n%s", other.constData());
        return std::nullopt;
    }
    return run;
}

Phases Split(const Run& r) {
    const auto at = [&](const char* label) { return r.first.value(label); };
    Phases f{};
    f.toMain = at("main").wall;
    f.execToMain = at("main").child;
    f.mainToStore = at("store-open").child - at("main").child;
    f.storeToFilter = at("filter-shown").child - at("store-open").child;
    f.toFilter = at("filter-shown").wall;
    f.window = at("list-window").child - at("filter-ok").child;
    f.query = r.fill->child - at("list-window").child;
    f.gridFill = r.filled->child - r.fill->child;
    f.toPaint = at("rows-painted").child - r.filled->child;
    f.okToRows = at("rows-painted").child - at("filter-ok").child;
    f.total = at("rows-painted").wall;
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long long entries = argc > 1 ? std::atoll(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("ZPP_TIMING"), QStringLiteral("exit"));

    const QString dir = QDir::temp().filePath(QStringLiteral("zpp-bench-startup"));
    QDir().mkpath(dir);
    const QString store = dir + QStringLiteral("/plan-%1.db").arg(entries);
    if (!QFileInfo::exists(store)) {
        QProcessEnvironment quiet = env;
        quiet.remove(QStringLiteral("ZPP_TIMING"));
        QElapsedTimer t;
        t.start();
        if (RunQuietly(
                {QStringLiteral("--store"), store, QStringLiteral("--generate"), QString::number(entries)},
                quiet) != 0) {
            std::fprintf(stderr, "could not build the store %s\n", qPrintable(store));
            return 1;
        }
        std::printf("store of %lld entries built in %.1f s: %s\n", entries, t.elapsed() / 1e3,
                    qPrintable(store));
    }

    std::printf("start-up of %s, offscreen, %lld entries, best of %d\n", kApp, entries, runs);
    Phases best{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    for (int i = 0; i < runs; ++i) {
        const auto run = LaunchOnce(store, env);
        if (!run)
            return 1;
        const Phases f = Split(*run);
        std::printf("  run %d: filter dialog at %.1f ms, first rows at %.1f ms\n", i + 1, f.toFilter,
                    f.total);
        double* b = &best.toMain;
        const double* v = &f.toMain;
        for (std::size_t k = 0; k < sizeof(Phases) / sizeof(double); ++k)
            b[k] = std::min(b[k], v[k]);
    }

    std::printf("launch -> filter dialog shown: %.1f ms\n", best.toFilter);
    std::printf("  process start -> main      %7.1f ms (the child's own clock: %.0f ms, to 10 ms)\n",
                best.toMain, best.execToMain);
    std::printf("  main -> store open         %7.1f ms\n", best.mainToStore);
    std::printf("  store open -> filter shown %7.1f ms\n", best.storeToFilter);
    std::printf("OK -> first rows painted: %.1f ms\n", best.okToRows);
    std::printf("  list window opened         %7.1f ms\n", best.window);
    std::printf("  query (planning service)   %7.1f ms\n", best.query);
    std::printf("  grid fill                  %7.1f ms\n", best.gridFill);
    std::printf("  bind and first paint       %7.1f ms\n", best.toPaint);
    std::printf("launch -> first rows painted (total): %.1f ms\n", best.total);
    const double ok = best.window + best.query + best.gridFill + best.toPaint;
    std::printf(
        "where the time goes: before the dialog, loading the program %.0f%%, Qt and store %.0f%%, "
        "building the dialog %.0f%%; after OK, query %.0f%%, grid fill %.0f%%, window, bind and paint "
        "%.0f%%\n",
        100 * best.toMain / best.toFilter, 100 * best.mainToStore / best.toFilter,
        100 * best.storeToFilter / best.toFilter, 100 * best.query / ok, 100 * best.gridFill / ok,
        100 * (best.window + best.toPaint) / ok);
    return 0;
}
