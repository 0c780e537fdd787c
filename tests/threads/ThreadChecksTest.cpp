#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// What the thread sanitizer run (preset tsan) relies on: a race in our code is reported however
// it is reached, from a slot of Qt's event loop too, with the suppressions it runs with; and
// starting a program leaves the sanitizer's view of this process's locks whole.

namespace {

#if defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

int g_unordered = 0;

// A race by construction: one write from a std::thread, one from a slot, nothing ordering them
// (a relaxed flag only says when the first is done). Run as the child of the case below.
TEST(ThreadChecksChild, UnorderedWritesFromAThreadAndASlot) {
    if (qEnvironmentVariableIsEmpty("ZPP_RACE_CHILD"))
        GTEST_SKIP() << "run by ThreadChecks.ARaceInOurCodeIsReportedFromASlotToo";
    std::atomic<bool> written{false};
    std::thread writer([&] {
        g_unordered = 1;
        written.store(true, std::memory_order_relaxed);
    });
    while (!written.load(std::memory_order_relaxed))
        std::this_thread::yield();
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        g_unordered = 2;
        loop.quit();
    });
    loop.exec();
    writer.join();
    EXPECT_EQ(g_unordered, 2);
}

TEST(ThreadChecks, ARaceInOurCodeIsReportedFromASlotToo) {
    if (!kSanitized)
        GTEST_SKIP() << "only a thread sanitizer build reports races";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZPP_RACE_CHILD"), QStringLiteral("1"));
    // The caller's options (scripts/test.sh: the suppressions, halt on error) stay; the report
    // comes here whatever log file they name.
    const QString options = env.value(QStringLiteral("TSAN_OPTIONS"));
    env.insert(QStringLiteral("TSAN_OPTIONS"),
               (options.isEmpty() ? QString() : options + u':') + QStringLiteral("log_path=stderr"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=ThreadChecksChild.*")});
    ASSERT_TRUE(child.waitForFinished(300000)) << child.errorString().toStdString();
    const QString said = QString::fromLocal8Bit(child.readAllStandardError() + child.readAllStandardOutput());
    EXPECT_NE(child.exitCode(), 0) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("WARNING: ThreadSanitizer: data race")) &&
                said.contains(QStringLiteral("UnorderedWritesFromAThreadAndASlot")))
        << said.toStdString();
}

// QProcess starts a program in vfork's shared memory. Were the sanitizer's bookkeeping for the
// fork done in that memory, it would unbalance this thread's, which would then take no part in
// lock ordering: the locked hand-overs below would be reported as races, failing this program.
TEST(ThreadChecks, LockedHandOversAfterStartingAProgramAreNoRaces) {
    if (!kSanitized)
        GTEST_SKIP() << "only a thread sanitizer build reports races";
    QProcess program;
    program.start(QStringLiteral("true"), {});
    ASSERT_TRUE(program.waitForFinished(60000)) << program.errorString().toStdString();

    std::mutex mutex;
    std::condition_variable changed;
    int turn = 0; // even: this thread writes; odd: the other one
    int value = 0;
    const auto take = [&](int parity, int add) {
        for (int i = 0; i < 3; ++i) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return turn % 2 == parity; });
            value += add;
            ++turn;
            changed.notify_all();
        }
    };
    std::thread other(take, 1, 10);
    take(0, 1);
    other.join();
    EXPECT_EQ(value, 33);
}

} // namespace
