// The worker processes of the reliability cases: real processes, each with its own connection.
//   load LOCATION SEED PUSHES PLAN ENTRIES   waits for "GO" on stdin, then pushes random ticked
//                                             sets of the plan's entries; one PUSH| line each
//   crash LOCATION LINES N                    runs the crash push, killing itself with
//                                             SIGKILL before its Nth statement (N = -1: after the
//                                             push returned; N = 0: never, printing the count)
#include "Reliability.h"

#include <QCoreApplication>
#include <QMap>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <numeric>
#include <random>
#include <string>
#include <unistd.h>

using namespace zpp;
using namespace zpp::reliability;

namespace {

int Load(const QStringList& args) {
    const int seed = args.value(1).toInt(), pushes = args.value(2).toInt(), plan = args.value(3).toInt(),
              entries = args.value(4).toInt();
    services::PurchasePlanUpdateService service(AdminSession(args.value(0)));
    std::mt19937 rng(seed);
    std::printf("READY\n");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    std::vector<int> all(entries);
    for (int n = 0; n < pushes; ++n) {
        // A ticked set of 2 to 10 entries, 1 to 5 each; entries of one supplier sometimes folded.
        std::iota(all.begin(), all.end(), 1);
        std::shuffle(all.begin(), all.end(), rng);
        QMap<int, QVector<QVector<Take>>> bySupplier;
        double ordered = 0;
        for (int k = 0, ticked = 2 + int(rng() % 9); k < ticked; ++k) {
            const Take t{plan, all[k], double(1 + rng() % 5)};
            ordered += t.Qty;
            auto& lines = bySupplier[SupplierOf(t.Entry, 2)];
            if (!lines.isEmpty() && rng() % 2)
                lines.back().push_back(t);
            else
                lines.push_back({t});
        }
        auto list = RecordList::Create();
        for (auto it = bySupplier.cbegin(); it != bySupplier.cend(); ++it)
            for (const auto& takes : *it)
                list->Add(PushLine(it.key(), takes));
        // Only the quantity left may refuse these pushes: every entry is open and has its supplier.
        const QString error = Push(service, list);
        if (error.isEmpty())
            std::printf("PUSH|ok|%g\n", ordered);
        else if (error.contains(QStringLiteral("超过未下达采购订单数量")))
            std::printf("PUSH|refused\n");
        else
            std::printf("PUSH|error|%s\n", qPrintable(QString(error).replace(u'\n', u' ')));
        std::fflush(stdout);
    }
    return 0;
}

int Crash(const QStringList& args) {
    const int lines = args.value(1).toInt(), killAt = args.value(2).toInt();
    services::PurchasePlanUpdateService service(AdminSession(args.value(0)));
    int statements = 0;
    service.SetPushStatementHook([&] {
        if (++statements == killAt)
            ::kill(::getpid(), SIGKILL);
    });
    const QString error = Push(service, CrashPush(lines));
    if (killAt < 0)
        ::kill(::getpid(), SIGKILL);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "push failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("STATEMENTS|%d\n", statements);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(2);
    try {
        if (app.arguments().value(1) == QLatin1String("load"))
            return Load(args);
        if (app.arguments().value(1) == QLatin1String("crash"))
            return Crash(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "worker: %s\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "usage: reliability_worker load|crash ...\n");
    return 2;
}
