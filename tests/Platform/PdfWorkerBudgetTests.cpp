// The one memory budget that the requests of every PDF worker of a process
// take their address space from.

#include "Platform/PdfHelper/PdfWorker.h"
#include "Platform/PdfHelper/PdfWorkerProcess.h"

#include "tests/HangGuard.h"
#include "tests/Platform/PdfFixtures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

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
    // A file's bytes go straight to the memory file, and find the same one.
    const auto file = std::filesystem::temp_directory_path() / ("folmira-input-" + std::to_string(getpid()));
    using Row = std::pair<const Platform::Bytes*, bool>; // the file's bytes; whether they are the first input's
    for (const auto& [content, shared] : {Row{&bytes, true}, Row{&other, false}}) {
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(content->data()), 100'000);
        auto read = Platform::PdfWorkerInput::ofFile(file);
        EXPECT_EQ(read == first, shared);
        Platform::Bytes held(read->size());
        EXPECT_EQ(pread(read->fd(), held.data(), held.size(), 0), 100'000);
        EXPECT_EQ(held, *content);
    }
    std::filesystem::remove(file);
    EXPECT_THROW(Platform::PdfWorkerInput::ofFile(file), std::system_error);
    first.reset();
    again.reset();
    // None in use: a new file.
    auto fresh = Platform::PdfWorkerInput::of(bytes);
    EXPECT_EQ(fresh->size(), bytes.size());
    EXPECT_EQ(Platform::PdfWorkerInput::of(bytes), fresh);
}

TEST(PdfWorkerBudget, ALongDocumentIsReadByAsManyWorkersAsTheBudgetHoldsBesideOtherOpenings)
{
    // A document's workers are copies of the one that opened it, so what its
    // opening keeps costs the same however many read; what other documents
    // keep open is memory beside them.
    constexpr std::int64_t megabyte = std::int64_t{1} << 20;
    const struct {
        std::int64_t openElsewhere; // what other documents keep open
        std::int64_t opened;        // what this document keeps open
        int wanted, fitting;
    } rows[] = {
        {0, 3 * megabyte, 4, 4},   // an ordinary document: every worker
        {0, 0, 2, 2},              // never more than asked for
        {0, 420 * megabyte, 4, 4}, // two hundred thousand pages: opened once, read by four
        {4 * 5 * megabyte, 3 * megabyte, 4, 4}, // small documents open beside it
        {190 * megabyte, 3 * megabyte, 4, 2},   // a long one open beside it
        {190 * megabyte, 190 * megabyte, 4, 2},
        {2000 * megabyte, 190 * megabyte, 4, 1}, // never none
    };
    for (const auto& row : rows) {
        MemoryBudget::holdOpened(row.openElsewhere);
        MemoryBudget::holdOpened(row.opened);
        EXPECT_EQ(MemoryBudget::workersFitting(row.wanted, row.opened), row.fitting)
            << row.openElsewhere / megabyte << " MB elsewhere, " << row.opened / megabyte << " MB this one";
        MemoryBudget::releaseOpened(row.opened);
        MemoryBudget::releaseOpened(row.openElsewhere);
    }
}

namespace {

// `pdf` with the number of objects its trailer claims (its /Size) replaced by
// `claim` under `key`, or taken out when it is empty.
Platform::Bytes claiming(const Platform::Bytes& pdf, const std::string& claim, const std::string& key = "/Size ")
{
    const std::string text(pdf.begin(), pdf.end());
    const std::string changed = std::regex_replace(text, std::regex("/Size \\d+"), claim.empty() ? "" : key + claim);
    return {changed.begin(), changed.end()};
}

// A file of `bytes` whose trailer claims `claim` objects.
Platform::Bytes longClaiming(std::size_t bytes, const std::string& claim)
{
    std::string text = "%PDF-1.4\n%" + std::string(bytes, 'x') + "\n";
    const std::size_t xref = text.size();
    text += "xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size " + claim + " >>\nstartxref\n" + std::to_string(xref) +
            "\n%%EOF\n";
    return {text.begin(), text.end()};
}

} // namespace

TEST(PdfWorkerBudget, AnOpeningIsBudgetedByTheObjectsItParsesNotTheBytesTheyArePackedIn)
{
    // Opening parses every object of the page tree however the objects are
    // stored; packed in object streams they take half their bytes or less.
    PdfFixtures::Builder builder;
    const auto fonts = QPDFObjectHandle::parse("<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>");
    for (int i = 0; i < 2'000; ++i) builder.page("BT /F1 12 Tf 72 700 Td (Line " + std::to_string(i + 1) + ") Tj ET", fonts);
    const Platform::Bytes loose = builder.write();
    const Platform::Bytes tight = PdfFixtures::packed(loose);
    PdfFixtures::Builder single;
    single.page("BT /F1 12 Tf 72 700 Td (Line) Tj ET", fonts);
    const Platform::Bytes one = single.write();

    const Platform::PdfWorkerLimits limits{2, std::int64_t{500} << 20};
    // What opening `pdf` may take beyond a request's limits.
    auto beyond = [&](const Platform::Bytes& pdf) {
        const Platform::PdfWorker worker(std::make_shared<const Platform::PdfWorkerInput>(pdf), limits);
        const Platform::PdfWorkerLimits open = worker.openingLimits();
        return std::pair{open.cpuSeconds - limits.cpuSeconds, open.memoryBytes - MemoryBudget::shareBytes};
    };
    const auto [looseCpu, looseMemory] = beyond(loose);
    ASSERT_GT(looseCpu, 0);
    ASSERT_GT(looseMemory, 0);
    ASSERT_LT(tight.size() * 2, loose.size()) << "packing halves the bytes at least";
    const struct {
        const char* name;
        Platform::Bytes pdf;
        double least, most; // of what opening the loose document may take
    } rows[] = {
        {"packed", tight, 0.9, 1.2},
        // By their bytes.
        {"packed, a cross-reference stream that claims no number", claiming(tight, ""), 0.05, 0.3},
        {"loose, a trailer that claims no number", claiming(loose, ""), 0.3, 0.8},
        // A claim past what the bytes can hold buys nothing.
        {"one page claiming a billion objects", claiming(one, "1000000000"), 0, 0.02},
        {"one page packed, claiming a billion", claiming(PdfFixtures::packed(one), "1000000000"), 0, 0.02},
        {"packed, claiming a billion", claiming(tight, "1000000000"), 0.9, 5},
    };
    // The claim believed: only /Size's own, of a number that fits, up to a million objects.
    const std::int64_t billion = Platform::PdfWorkerInput(claiming(loose, "1000000000")).objects();
    ASSERT_GT(billion, 0);
    const struct {
        const char* name;
        Platform::Bytes pdf;
        std::int64_t objects;
    } claims[] = {
        {"a billion after another key", claiming(loose, "1000000000", "/SizeX 7 /Size "), billion},
        {"a number of 25 digits", claiming(loose, "1000000000000000000000001"), 0},
        {"a billion in a file that could hold more", longClaiming(std::size_t{20} << 20, "1000000000"), 1'000'000},
    };
    for (const auto& row : claims) EXPECT_EQ(Platform::PdfWorkerInput(row.pdf).objects(), row.objects) << row.name;
    for (const auto& row : rows) {
        const auto [cpu, memory] = beyond(row.pdf);
        EXPECT_GE(cpu, row.least * looseCpu) << row.name;
        EXPECT_LE(cpu, row.most * looseCpu) << row.name;
        EXPECT_GE(static_cast<double>(memory), row.least * static_cast<double>(looseMemory)) << row.name;
        EXPECT_LE(static_cast<double>(memory), row.most * static_cast<double>(looseMemory)) << row.name;
    }
}

TEST(PdfWorkerBudget, AWorkerStartsWithItsMallocSettingsTheUsersOwnAndItsParent)
{
    const std::string ours = std::string("GLIBC_TUNABLES=") + workerTunables;
    struct Row {
        std::vector<std::string> from;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {{"HOME=/h", "PATH=/bin"}, {"HOME=/h", "PATH=/bin", ours, "FOLMIRA_PDF_WORKER_PARENT=42"}},
        // The user's tunables kept, after the worker's, so that theirs hold where both set one.
        {{"GLIBC_TUNABLES=glibc.malloc.check=3", "HOME=/h"},
         {"HOME=/h", ours + ":glibc.malloc.check=3", "FOLMIRA_PDF_WORKER_PARENT=42"}},
        {{"GLIBC_TUNABLES="}, {ours, "FOLMIRA_PDF_WORKER_PARENT=42"}},
        // A worker's parent is this process, not one this process inherited from its own.
        {{"FOLMIRA_PDF_WORKER_PARENT=7", "HOME=/h"}, {"HOME=/h", ours, "FOLMIRA_PDF_WORKER_PARENT=42"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> from = row.from;
        std::vector<char*> pointers;
        for (std::string& setting : from) pointers.push_back(setting.data());
        pointers.push_back(nullptr);
        EXPECT_EQ(workerEnvironment(pointers.data(), 42), row.expected) << row.from.front();
    }
}
