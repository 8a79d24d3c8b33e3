// The one memory budget that the requests of every PDF worker of a process
// take their address space from.

#include "Platform/PdfWorker.h"
#include "Platform/PdfWorkerProcess.h"

#include <gtest/gtest.h>

#include <atomic>
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
    // shares asked for meanwhile wait for it.
    std::atomic<bool> alone{false};
    std::thread waiting([&] {
        alone = MemoryBudget::take(MemoryBudget::wholeBytes, true, nullptr);
    });
    for (int i = 0; i < 3; ++i) MemoryBudget::give(MemoryBudget::shareBytes);
    EXPECT_FALSE(alone.load());
    MemoryBudget::give(MemoryBudget::shareBytes);
    waiting.join();
    EXPECT_TRUE(alone.load());
    EXPECT_EQ(MemoryBudget::held(), MemoryBudget::wholeBytes);
    MemoryBudget::give(MemoryBudget::wholeBytes);
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
