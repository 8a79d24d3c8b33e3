// The one memory budget that the requests of every PDF worker of a process
// take their address space from.

#include "Platform/PdfWorker.h"
#include "Platform/PdfWorkerProcess.h"

#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace Platform::PdfWorkerProcess;

TEST(PdfWorkerBudget, SharesStopAtTheWholeAndARequestAloneWaitsForAllOfThem)
{
    ASSERT_EQ(MemoryBudget::held(), 0);
    Platform::CancelFlag cancelled;
    cancelled.cancel();
    // Four shares fill the budget; a fifth would pass it and waits, here until its cancel.
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(MemoryBudget::take(MemoryBudget::shareBytes, false, nullptr));
    EXPECT_EQ(MemoryBudget::held(), MemoryBudget::wholeBytes);
    EXPECT_FALSE(MemoryBudget::take(MemoryBudget::shareBytes, false, &cancelled));
    MemoryBudget::give(MemoryBudget::shareBytes);
    EXPECT_TRUE(MemoryBudget::take(MemoryBudget::shareBytes, false, &cancelled)) << "room again";

    // A request alone gets the budget only once every share is back, and
    // shares asked for meanwhile wait for it. Each is seen waiting in the
    // budget before the next step, so that none passes by not having run yet.
    const auto seenWaiting = [](int count) {
        const auto deadline = std::chrono::steady_clock::now() + HangGuard::limit(std::chrono::milliseconds(100));
        while (MemoryBudget::waiting() != count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return MemoryBudget::waiting() == count;
    };
    std::atomic<bool> alone{false}, share{false};
    std::thread waiting([&] { alone = MemoryBudget::take(MemoryBudget::wholeBytes, true, nullptr); });
    ASSERT_TRUE(seenWaiting(1)) << "the request alone waits for the four shares held";
    for (int i = 0; i < 3; ++i) MemoryBudget::give(MemoryBudget::shareBytes);
    std::thread behind([&] { share = MemoryBudget::take(MemoryBudget::shareBytes, false, nullptr); });
    ASSERT_TRUE(seenWaiting(2)) << "a share waits behind the request alone, though there is room for it";
    EXPECT_FALSE(alone.load());
    EXPECT_EQ(MemoryBudget::held(), MemoryBudget::shareBytes);
    MemoryBudget::give(MemoryBudget::shareBytes);
    waiting.join();
    EXPECT_TRUE(alone.load());
    EXPECT_EQ(MemoryBudget::held(), MemoryBudget::wholeBytes);
    EXPECT_TRUE(seenWaiting(1)) << "the share waits while the request alone runs";
    EXPECT_FALSE(share.load());
    MemoryBudget::give(MemoryBudget::wholeBytes);
    behind.join();
    EXPECT_TRUE(share.load());
    MemoryBudget::give(MemoryBudget::shareBytes);
    EXPECT_EQ(MemoryBudget::held(), 0);
}

TEST(PdfWorkerBudget, ADocumentsBytesAreInOneInputForAllWhoReadIt)
{
    const Platform::Bytes bytes(100'000, 'a');
    Platform::Bytes other = bytes;
    other.back() = 'b'; // same size, one byte apart
    auto first = Platform::PdfWorkerInput::of(bytes);
    auto again = Platform::PdfWorkerInput::of(bytes);
    EXPECT_EQ(first, again) << "the reader and the original pane share one memory file";
    EXPECT_EQ(first->size(), bytes.size());
    EXPECT_NE(Platform::PdfWorkerInput::of(other), first);
    first.reset();
    again.reset();
    // None in use: a new file.
    auto fresh = Platform::PdfWorkerInput::of(bytes);
    EXPECT_EQ(fresh->size(), bytes.size());
    EXPECT_EQ(Platform::PdfWorkerInput::of(bytes), fresh);
}

TEST(PdfWorkerBudget, ALongDocumentIsReadByAsManyWorkersAsTheBudgetHoldsBesideItsOpening)
{
    // A document's workers are copies of the one that opened it, so what
    // opening keeps counts once, whatever the number of workers.
    constexpr std::int64_t megabyte = std::int64_t{1} << 20;
    const struct {
        std::int64_t openElsewhere; // what other documents keep open
        std::int64_t opened;        // what this document keeps open
        int wanted, fitting;
    } rows[] = {
        {0, 3 * megabyte, 4, 4},     // an ordinary document: every worker
        {0, 0, 2, 2},                // never more than asked for
        {0, 190 * megabyte, 4, 2},   // sixty thousand pages: opened once, read by two
        {0, 100 * megabyte, 4, 3},
        {4 * 5 * megabyte, 3 * megabyte, 4, 4}, // small documents open beside it
        {190 * megabyte, 3 * megabyte, 4, 2},   // a long one open beside it
        {190 * megabyte, 190 * megabyte, 4, 1},
        {2000 * megabyte, 190 * megabyte, 4, 1}, // never none
    };
    for (const auto& row : rows) {
        MemoryBudget::holdOpened(row.openElsewhere);
        MemoryBudget::holdOpened(row.opened);
        EXPECT_EQ(MemoryBudget::workersFitting(row.wanted), row.fitting)
            << row.openElsewhere / megabyte << " MB elsewhere, " << row.opened / megabyte << " MB this one";
        MemoryBudget::releaseOpened(row.opened);
        MemoryBudget::releaseOpened(row.openElsewhere);
    }
}
