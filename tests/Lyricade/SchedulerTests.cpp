// The product's timers: posted work never runs inside the call, a dropped
// handle cancels, and work may replace its own task while it runs.

#include "Lyricade/Scheduler.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace LyricadeTest {
namespace {

using namespace Lyricade;

TEST(QtSchedulerTest, ImmediateWorkWaitsForTheEventLoop)
{
    auto scheduler = qtScheduler();
    int runs = 0;
    TaskHandle task = scheduler->after(Milliseconds(0), [&] { ++runs; });
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(task->pending());
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs == 1; }, 1000));
    EXPECT_FALSE(task->pending());
}

TEST(QtSchedulerTest, ADroppedOrCancelledTaskNeverRuns)
{
    auto scheduler = qtScheduler();
    int runs = 0;
    TaskHandle dropped = scheduler->after(Milliseconds(5), [&] { ++runs; });
    dropped.reset();
    TaskHandle cancelled = scheduler->after(Milliseconds(5), [&] { ++runs; });
    cancelled->cancel();
    EXPECT_FALSE(cancelled->pending());
    QTest::qWait(50);
    EXPECT_EQ(runs, 0);
}

TEST(QtSchedulerTest, WorkMayReplaceItsOwnTask)
{
    auto scheduler = qtScheduler();
    TaskHandle slot;
    int runs = 0;
    std::function<void()> again = [&] {
        if (++runs < 3) slot = scheduler->after(Milliseconds(1), again);
    };
    slot = scheduler->after(Milliseconds(1), again);
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs == 3; }, 1000));
    QTest::qWait(20);
    EXPECT_EQ(runs, 3);
}

} // namespace
} // namespace LyricadeTest
