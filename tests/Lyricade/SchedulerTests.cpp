// The product's timers: posted work never runs inside the call, a dropped
// handle cancels, and work may replace its own task while it runs.

#include "Lyricade/Scheduler.h"
#include "tests/HangGuardQt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <vector>

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
    EXPECT_TRUE(HangGuard::waitFor([&] { return runs == 1; }, 1000));
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
    EXPECT_TRUE(HangGuard::waitFor([&] { return runs == 3; }, 1000));
    QTest::qWait(20);
    EXPECT_EQ(runs, 3);
}

} // namespace
} // namespace LyricadeTest

namespace LyricadeTest {
namespace {

// The product's worker: jobs run in order on a thread other than the main
// one, their results come back on the main thread, and a wait rethrows.
TEST(ThreadWorkerTest, RunsJobsInOrderOffTheMainThreadAndFinishesOnIt)
{
    auto worker = threadWorker();
    QThread* const main = QThread::currentThread();
    std::vector<int> order;       // touched by the worker only, one job at a time
    std::vector<int> finished;    // touched on the main thread only
    std::atomic<bool> offMain{true};
    QEventLoop loop;
    for (int i = 0; i < 3; ++i)
        worker->post([&, i]() -> Worker::Finish {
            if (QThread::currentThread() == main) offMain = false;
            order.push_back(i);
            return [&, i] {
                EXPECT_EQ(QThread::currentThread(), main);
                finished.push_back(i);
                if (finished.size() == 3) loop.quit();
            };
        });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit); // a guard, not a wait: the jobs end the loop
    loop.exec();
    EXPECT_TRUE(offMain);
    EXPECT_EQ(finished, (std::vector<int>{0, 1, 2}));

    int value = 0;
    worker->wait([&] { value = static_cast<int>(order.size()); });
    EXPECT_EQ(value, 3) << "a wait runs after the jobs posted before it";
    EXPECT_THROW(worker->wait([] { throw std::runtime_error("no"); }), std::runtime_error);
}

// A job that throws all the same is said on standard error, not dropped
// without a word, and the jobs after it run and finish.
TEST(ThreadWorkerTest, AJobThatThrowsIsSaidAndTheNextOneRuns)
{
    auto worker = threadWorker();
    std::ostringstream said;
    std::streambuf* const stderrBuffer = std::cerr.rdbuf(said.rdbuf());
    worker->post([]() -> Worker::Finish { throw std::runtime_error("The cache is damaged."); });
    bool finished = false;
    QEventLoop loop;
    worker->post([&]() -> Worker::Finish {
        return [&] {
            finished = true;
            loop.quit();
        };
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit); // a guard, not a wait
    loop.exec();
    std::cerr.rdbuf(stderrBuffer);
    EXPECT_TRUE(finished);
    EXPECT_NE(said.str().find("The cache is damaged."), std::string::npos) << said.str();
}

} // namespace
} // namespace LyricadeTest
