#include "QtPlatform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

struct MainQueueFixture : ::testing::Test {
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "main_queue_test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    QTemporaryDir dir;
    tavrin::QtPlatform platform{dir.filePath(QStringLiteral("tavrin.conf")),
                                QStringLiteral("/bin/true")};

    // Spins the event loop until the condition holds; generous, never a fixed wait.
    template <typename Condition> bool runUntil(Condition condition) {
        QElapsedTimer limit;
        limit.start();
        while (!condition() && limit.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return condition();
    }
};

} // namespace

TEST_F(MainQueueFixture, PostedTasksRunLaterAndInOrder) {
    std::vector<int> ran;
    platform.post([&] { ran.push_back(1); });
    platform.post([&] { ran.push_back(2); });
    EXPECT_TRUE(ran.empty()) << "a posted task must not run inside post()";
    ASSERT_TRUE(runUntil([&] { return ran.size() == 2; }));
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST_F(MainQueueFixture, DelayedTasksNeverRunEarly) {
    constexpr int tasks = 20;
    std::vector<qint64> elapsedNs;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < tasks; ++i)
        platform.postAfter(120ms, [&] { elapsedNs.push_back(clock.nsecsElapsed()); });
    ASSERT_TRUE(runUntil([&] { return elapsedNs.size() == tasks; }));
    for (qint64 ns : elapsedNs)
        EXPECT_GE(ns, 120'000'000);
}

TEST_F(MainQueueFixture, ARepeatingTimerTicksUntilItIsGone) {
    int ticks = 0;
    auto timer = platform.startRepeatingTimer(10ms, [&] { ++ticks; });
    ASSERT_TRUE(runUntil([&] { return ticks >= 3; }));
    timer.reset();
    const int stopped = ticks;
    bool later = false;
    platform.postAfter(60ms, [&] { later = true; });
    ASSERT_TRUE(runUntil([&] { return later; }));
    EXPECT_EQ(ticks, stopped);
}
