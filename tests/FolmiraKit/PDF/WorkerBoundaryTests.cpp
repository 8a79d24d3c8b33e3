// The reader's side of the PDF worker boundary: a worker's replies are
// untrusted, the document it is handed can't be changed, it inherits nothing
// of the app, and a limit leaves out only what went past it.

#include "FolmiraKit/PDF/Limits.h"
#include "FolmiraKit/PDF/PDFReader.h"
#include "FolmiraKit/PDF/PageSource.h"
#include "Platform/PdfContentCost.h"
#include "Platform/PdfHelper/PdfWorkerProcess.h"
#include "Platform/PdfHelper/ProcStat.h"
#include "Platform/PdfHelper/WorkerConfine.h"
#include "tests/FolmiraKit/HostileFiles.h"
#include "tests/ChildProcesses.h"
#include "tests/HangGuard.h"
#include "tests/Platform/PdfFixtures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

using namespace FolmiraKit;
using HostileFiles::Cost;
using HostileFiles::probe;
using PdfFixtures::Builder;
using Platform::Rect;
using Reason = ConversionError::Reason;

namespace {

// Names the worker program for a test, and the default back after it.
struct WorkerProgram {
    explicit WorkerProgram(const std::string& program) { setenv("FOLMIRA_PDF_WORKER", program.c_str(), 1); }
    ~WorkerProgram() { unsetenv("FOLMIRA_PDF_WORKER"); }
};

// The fake worker misbehaving in `mode`: a link of that name to it, in a
// folder that goes with the test program.
std::string fake(const std::string& mode)
{
    static const struct Folder {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("folmira-fake-workers-" + std::to_string(getpid()));
        ~Folder()
        {
            std::error_code error;
            std::filesystem::remove_all(path, error);
        }
    } folder;
    std::filesystem::create_directories(folder.path);
    const auto link = folder.path / mode;
    std::error_code error;
    std::filesystem::create_symlink(FOLMIRA_FAKE_PDF_WORKER, link, error);
    return link.string();
}

struct PageLimits {
    PageLimits(double cpuSeconds, std::int64_t memoryBytes) { PDFReader::setPageLimits(cpuSeconds, memoryBytes); }
    ~PageLimits() { PDFReader::setPageLimits(0, 0); }
};

QPDFObjectHandle fonts()
{
    return QPDFObjectHandle::parse("<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>");
}

std::string caption(const std::string& words, int y = 700)
{
    return "BT /F1 12 Tf 72 " + std::to_string(y) + " Td (" + words + ") Tj ET\n";
}

std::string timesOver(const std::string& piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

Platform::Bytes onePage(const std::string& content)
{
    Builder builder;
    builder.page(content, fonts());
    return builder.write();
}

std::string refusal(const Platform::Bytes& pdf)
{
    try {
        PDFReader::read(pdf, "Sample", 1);
    } catch (const ConversionError& error) {
        return error.what();
    }
    return "read";
}

const std::string damaged = "This PDF couldn’t be opened. It may be damaged.";
const std::string pageTooLarge =
    "Folmira can’t read the text of “Sample”: its page is too large to read. Try the original Word or text file "
    "instead.";

const std::string noHelper = "Folmira can’t read PDFs: its PDF helper program (folmira-pdf-worker) is missing or "
                             "couldn’t be started. Reinstalling Folmira should bring it back.";
const std::string helperSilent = "Folmira can’t read this PDF: its PDF helper program (folmira-pdf-worker) stopped "
                                 "answering. Try again; if it stops again, reinstalling Folmira should mend it.";
const std::string helperBroken = "Folmira can’t read this PDF: its PDF helper program (folmira-pdf-worker) sent "
                                 "answers that make no sense. Reinstalling Folmira should mend it.";

// Waits for `done` within a hang guard's limit; whether it came. Once seen
// it counts, though it may pass again (a worker ended meanwhile is a zombie
// until its own thread reaps it).
template <class Done> bool within(std::chrono::milliseconds measured, Done&& done)
{
    const auto deadline = std::chrono::steady_clock::now() + HangGuard::limit(measured);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// A lease of `pool` taken within `wait`, or none.
Platform::PdfWorkerPool::Lease takeWithin(Platform::PdfWorkerPool& pool, std::chrono::milliseconds wait)
{
    Platform::CancelFlag stop;
    std::atomic<bool> taken{false};
    auto timer = std::async(std::launch::async, [&] {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (!taken && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        stop.cancel();
    });
    auto lease = pool.take(&stop);
    taken = true;
    return lease;
}

// The share of a core a busy thread of this process gets now.
double shareOfACore()
{
    const auto cpu = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    };
    const auto start = std::chrono::steady_clock::now();
    const double before = cpu();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(200)) {
    }
    return (cpu() - before) / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The children of this process left unreaped.
int zombies()
{
    int count = 0;
    for (const ChildProcesses::Child& child : ChildProcesses::ofThisProcess()) count += child.state == 'Z';
    return count;
}

// The targets of the descriptors process `pid` holds.
std::vector<std::string> descriptors(pid_t pid)
{
    std::vector<std::string> targets;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        std::error_code error;
        targets.push_back(std::filesystem::read_symlink(entry.path(), error).string());
    }
    return targets;
}

// The soft and hard limits of process `pid`'s address space, as the system lists them.
std::pair<std::string, std::string> addressSpaceLimits(pid_t pid)
{
    std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
    for (std::string line; std::getline(limits, line);)
        if (line.rfind("Max address space", 0) == 0) {
            std::istringstream values(line.substr(std::strlen("Max address space")));
            std::string soft, hard;
            values >> soft >> hard;
            return {soft, hard};
        }
    return {};
}

} // namespace

// The reader's bounds of one page's text, as its content counter applies them.
constexpr Platform::PdfContent::TextCost readerBounds{PDFLimits::textContentBytes, PDFLimits::textOperators,
                                                      PDFLimits::shownTextBytes, PDFLimits::textFormUses,
                                                      PDFLimits::graphicsStates, PDFLimits::textTokens};

TEST(PdfWorkerBoundary, AMisbehavingWorkerCostsItsPageOrTheFileNeverTheApp)
{
    const Platform::Bytes pdf = onePage(caption("Apples grow on page one."));
    const std::string tooLarge =
        "Folmira can’t read the text of “Sample”: it is too large to read. Try the original Word or text file instead.";
    struct Case {
        std::string mode;
        std::string refusal;
    };
    PageLimits limits(0.1 * HangGuard::scale(), 128 << 20);
    // A reply that breaks the protocol, or decodes to nothing, at the opening
    // or on a page, is the helper's fault: no worker of this build sends it,
    // whatever the file.
    for (const Case& c : {Case{"oversized", helperBroken}, Case{"garbage", helperBroken}, Case{"cut", helperBroken},
                          Case{"count", helperBroken}, Case{"nan", helperBroken}, Case{"infinite", helperBroken},
                          Case{"sleep", tooLarge},
                          // A reply is refused unless it answers the request asked, and only after it was
                          // asked: a worker that sent bytes unasked is asked nothing more.
                          Case{"wrong-id", helperBroken}, Case{"early", helperBroken}, Case{"page-id", helperBroken},
                          // Nor are lines without words, which no page has.
                          Case{"fitting", helperBroken},
                          // A copy that is no child of the app's is refused (ending it would end
                          // another process: here the app itself), and a worker of its own reads.
                          Case{"copy-app", "read"}, Case{"copy-child", "read"},
                          // One that can make no copy is no fault: a worker of its own reads.
                          Case{"no-copy", "read"}}) {
        WorkerProgram program(fake(c.mode));
        std::mutex mutex;
        std::map<pid_t, int> asked;
        Platform::PdfWorker::setBeforeSend([&](pid_t pid, std::uint8_t) {
            std::lock_guard lock(mutex);
            ++asked[pid];
        });
        EXPECT_EQ(refusal(pdf), c.refusal) << c.mode;
        Platform::PdfWorker::setBeforeSend({});
        if (c.mode == "early") {
            for (const auto& [pid, requests] : asked) EXPECT_EQ(requests, 1) << "worker " << pid;
        }
    }
}

TEST(PdfWorkerBoundary, ACopyThatComesLateOrWithMoreThanItsSocketCostsNothing)
{
    auto input = std::make_shared<const Platform::PdfWorkerInput>(onePage(caption("Apples.")));
    struct Case {
        std::string mode;
        int copies;
        bool made;
        bool openerKept;  // a late copy is no fault of the worker copied
        bool cancelled = false; // the reading cancelled while the copy is silent
    };
    const auto openTag = static_cast<std::uint8_t>(PDFReader::WorkerRequest::open);
    // Another document's worker: a copy naming it is refused, and it reads on.
    std::unique_ptr<Platform::PdfWorker> other;
    {
        WorkerProgram program(fake("pool"));
        other = std::make_unique<Platform::PdfWorker>(input, Platform::PdfWorkerLimits{1, 64 << 20});
        ASSERT_EQ(other->request(openTag, {}, 1 << 20, nullptr).status, Platform::PdfWorker::Status::ok);
    }
    setenv("FOLMIRA_FAKE_OTHER_CHILD", std::to_string(other->pid()).c_str(), 1);
    // A copy that sends half its hello is proven by what came and ended, the reading on within seconds; one
    // naming the worker itself is refused. One late on a loaded machine is waited for a moment more, on the
    // reading's thread; one silent past that, or whose reading is cancelled, is left alone, unproven.
    for (const Case& c :
         {Case{"late-copy", 1, true, true}, Case{"silent-copy", 1, false, true},
          Case{"silent-copy", 1, false, true, true}, Case{"two-fds", 10, false, false}, Case{"pool", 1, true, true},
          Case{"copy-other", 1, false, false}, Case{"half-hello", 1, false, false},
          Case{"copy-self", 1, false, false}}) {
        WorkerProgram program(fake(c.mode));
        const auto before = descriptors(getpid()).size();
        for (int i = 0; i < c.copies; ++i) {
            Platform::PdfWorker opener(input, {1, 64 << 20});
            ASSERT_EQ(opener.request(openTag, {}, 1 << 20, nullptr).status, Platform::PdfWorker::Status::ok)
                << c.mode;
            Platform::CancelFlag cancel;
            const auto asked = std::chrono::steady_clock::now();
            auto made = std::async(std::launch::async, [&] { return opener.copy(&cancel); });
            if (c.cancelled) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                cancel.cancel();
            }
            // Cancelled, it ends at once; else within the copy's seconds and the late hello's.
            const auto bound = c.cancelled ? std::chrono::milliseconds(1000) : std::chrono::milliseconds(5000);
            if (made.wait_until(asked + HangGuard::limit(bound)) != std::future_status::ready) {
                ADD_FAILURE() << c.mode << ": the copy's hello kept the reading past its bound";
                for (const ChildProcesses::Child& child : ChildProcesses::ofThisProcess()) kill(child.pid, SIGKILL);
            }
            const auto copy = made.get();
            EXPECT_EQ(copy != nullptr, c.made) << c.mode;
            EXPECT_EQ(opener.pid() != 0, c.openerKept) << c.mode;
            if (c.mode == "silent-copy") {
                // Nothing proved the number it was named by: it runs on, never signalled, till the test ends it.
                std::vector<pid_t> running;
                for (const ChildProcesses::Child& child : ChildProcesses::ofThisProcess()) {
                    std::string name;
                    std::ifstream("/proc/" + std::to_string(child.pid) + "/comm") >> name;
                    if (child.state != 'Z' && name == "unproven-copy") running.push_back(child.pid);
                }
                EXPECT_EQ(running.size(), 1u) << c.mode;
                for (pid_t pid : running) {
                    kill(pid, SIGKILL);
                    waitpid(pid, nullptr, 0);
                }
            }
        }
        // Workers ended are reaped on threads of their own: soon, not at once.
        EXPECT_TRUE(within(std::chrono::milliseconds(200), [] { return zombies() == 0; })) << c.mode;
        // An idle worker or two started meanwhile hold a socket each; a descriptor left a copy, one more each.
        EXPECT_TRUE(within(std::chrono::seconds(2), [&] { return descriptors(getpid()).size() <= before + 2; }))
            << c.mode << ": " << descriptors(getpid()).size() << " descriptors, " << before << " before";
        EXPECT_EQ(other->request(openTag, {}, 1 << 20, nullptr).status, Platform::PdfWorker::Status::ok) << c.mode;
    }
    unsetenv("FOLMIRA_FAKE_OTHER_CHILD");
}

TEST(PdfWorkerBoundary, AWorkerThatStallsOnPageAfterPageIsNamedAfterAFew)
{
    // Twenty pages opened, none answered: a few stalls in a row, not every
    // page's bound in turn, and the helper is named. Under a page's own
    // bounds (6.5 s of wall-clock time, 12.5 s for a worker that opens the
    // document first) a worker asleep is told in a second and one spinning
    // itself once past its opening's CPU time, where three bounds in a row
    // took 37 s on one thread.
    const Platform::Bytes pdf = onePage(caption("Apples grow on page one."));
    // A spinning worker is told by the CPU time it gets, which a loaded
    // machine hands out slowly: its bound is looser, still short of the 37 s,
    // and holds only where a busy thread gets most of a core.
    struct Case {
        std::string mode;
        int threads;
        double cpuSeconds; // a page's; its bound is three times that and half a second
        int measuredMs = 1000;
    };
    const double page = PDFLimits::pageCpuSeconds;
    // A reply begun is whole within a second or so, however slowly its bytes come.
    for (const Case& c : {Case{"stall", 4, 0.1 * HangGuard::scale()}, Case{"spin", 4, 0.1 * HangGuard::scale()},
                          Case{"stall", 1, page}, Case{"spin", 1, page, 3000}, Case{"stall", 4, page},
                          Case{"spin", 4, page, 3000}, Case{"half", 1, page}, Case{"trickle", 1, page}}) {
        SCOPED_TRACE(c.mode + " on " + std::to_string(c.threads) + " with " + std::to_string(c.cpuSeconds) + " s");
        PageLimits limits(c.cpuSeconds, 128 << 20);
        WorkerProgram program(fake(c.mode));
        std::atomic<int> pages{0};
        Platform::PdfWorker::setBeforeSend([&](pid_t, std::uint8_t tag) {
            pages += tag == static_cast<std::uint8_t>(PDFReader::WorkerRequest::readPage);
        });
        std::string refused = "read";
        const auto start = std::chrono::steady_clock::now();
        try {
            PDFReader::read(pdf, "Sample", c.threads);
        } catch (const ConversionError& error) {
            refused = error.what();
        }
        const auto took = std::chrono::steady_clock::now() - start;
        Platform::PdfWorker::setBeforeSend({});
        EXPECT_EQ(refused, helperSilent);
        EXPECT_LE(pages.load(), 3 + 4) << "three in a row, and those under way on the other threads";
        if (c.mode == "spin" && c.cpuSeconds == page && shareOfACore() < 0.6) continue;
        EXPECT_LT(took, HangGuard::limit(std::chrono::milliseconds(c.measuredMs)));
    }
}

TEST(PdfWorkerBoundary, WithNoHelperAPdfIsRefusedAndNeverReadInTheApp)
{
    const Platform::Bytes pdf = onePage(caption("Apples grow on page one."));
    const std::string noHelper = "Folmira can’t read PDFs: its PDF helper program (folmira-pdf-worker) is missing or "
                                 "couldn’t be started. Reinstalling Folmira should bring it back.";
    // A helper that fails before it has said it started, or that speaks
    // another build's protocol, is named whatever the document: asked once,
    // never tried again with more memory.
    for (const std::string& program : {std::string("/nonexistent/folmira-pdf-worker"), std::string("/bin/false"),
                                       std::string("/bin/true"), fake("segv"), fake("abort"), fake("killed"),
                                       fake("other-version"), fake("unknown-request")}) {
        WorkerProgram missing(program);
        std::atomic<int> asked{0};
        Platform::PdfWorker::setBeforeSend([&](pid_t, std::uint8_t) { ++asked; });
        EXPECT_EQ(refusal(pdf), noHelper) << program;
        Platform::PdfWorker::setBeforeSend({});
        EXPECT_LE(asked.load(), 1) << program;
    }
    EXPECT_EQ(refusal(pdf), "read") << "the helper back";
}

TEST(PdfWorkerBoundary, AWorkerThatNeverAnswersIsEndedByTheWallClockWithinSeconds)
{
    // A worker asleep spends no CPU time: only the wall-clock bound ends it.
    WorkerProgram program(fake("sleep"));
    auto input = std::make_shared<const Platform::PdfWorkerInput>(onePage(caption("Apples.")));
    Platform::PdfWorker worker(input, {0.1, 64 << 20});
    std::atomic<pid_t> asked{0};
    Platform::PdfWorker::setBeforeSend([&](pid_t pid, std::uint8_t) { asked = pid; });
    auto reply = std::async(std::launch::async, [&] { return worker.request(1, {}, 16, nullptr); });
    // Its bound is about a second; a hang guard's past that fails here, not at ctest's timeout.
    const bool ended = reply.wait_for(HangGuard::limit(std::chrono::milliseconds(300))) == std::future_status::ready;
    if (!ended && asked != 0) kill(-asked, SIGKILL);
    Platform::PdfWorker::setBeforeSend({});
    const auto answer = reply.get();
    EXPECT_TRUE(ended) << "the wall-clock bound did not end the worker";
    EXPECT_EQ(answer.status, Platform::PdfWorker::Status::ended);
    EXPECT_TRUE(answer.pastLimit);
}

TEST(PdfWorkerBoundary, ALongDocumentIsOpenedOnceAndItsPagesReadByAChildOrTwo)
{
    // The page tree is loaded once, in the opened worker, and every child
    // shares it: no child grows by loading it again and is replaced, so the
    // children forked (and the openings) do not grow with the pages.
    const Platform::PdfWorkerLimits limits{2, std::int64_t{500} << 20};
    for (int pages : {10, 3'000}) {
        Builder builder;
        for (int i = 0; i < pages; ++i) builder.page(caption("Line " + std::to_string(i + 1) + " of a long document."), fonts());
        Platform::PdfWorker worker(std::make_shared<const Platform::PdfWorkerInput>(builder.write()), limits);
        std::set<pid_t> workers;
        Platform::PdfWorker::setBeforeSend([&](pid_t pid, std::uint8_t) { workers.insert(pid); });
        auto opening = worker.request(static_cast<std::uint8_t>(PDFReader::WorkerRequest::open), {}, 1 << 30, nullptr);
        ASSERT_EQ(opening.status, Platform::PdfWorker::Status::ok) << pages;
        // Its address space was capped hard as it opened the document: nothing the document ran there can
        // lift the cap, which its children and copies hold too. (AddressSanitizer's runtime maps terabytes.)
        if (!HangGuard::sanitized) {
            const auto [soft, hard] = addressSpaceLimits(worker.pid());
            EXPECT_NE(hard, "unlimited") << pages;
            EXPECT_EQ(soft, hard) << pages;
        }
        std::uint32_t children = opening.child;
        int read = 0;
        for (int i = 0; i < pages; ++i) {
            Platform::WireWriter index;
            index.i32(i);
            auto reply = worker.request(static_cast<std::uint8_t>(PDFReader::WorkerRequest::readPage), index.data(),
                                        32 << 20, nullptr);
            if (reply.status != Platform::PdfWorker::Status::ok) continue;
            read += PDFReader::decodePageReading(reply.payload).text.words.words.size() == 6;
            children = std::max(children, reply.child);
        }
        Platform::PdfWorker::setBeforeSend({});
        EXPECT_EQ(read, pages);
        EXPECT_EQ(workers.size(), 1u) << pages << " pages: one opening";
        // The sanitizer's allocator holds on to what Poppler frees, so its
        // children grow past the replacement mark on their own.
        if (!HangGuard::sanitized && !HangGuard::threadSanitized) {
            EXPECT_LE(children, 2u) << pages << " pages";
        }
    }
}

TEST(PdfWorkerBoundary, NoWorkerCanChangeTheDocumentAnotherReads)
{
    const Platform::Bytes pdf = onePage(caption("Apples grow on page one."));
    auto input = std::make_shared<const Platform::PdfWorkerInput>(pdf);
    {
        WorkerProgram program(fake("write"));
        Platform::PdfWorker worker(input, {1, 64 << 20});
        auto reply = worker.request(1, {}, 16, nullptr);
        ASSERT_EQ(reply.status, Platform::PdfWorker::Status::ok);
        EXPECT_EQ(reply.payload, Platform::Bytes(4, 0)) << "write, shrink, grow, map for writing: all refused";
    }
    WorkerProgram program(fake("echo"));
    Platform::PdfWorker worker(input, {1, 64 << 20});
    auto reply = worker.request(1, {}, 64, nullptr);
    ASSERT_EQ(reply.status, Platform::PdfWorker::Status::ok);
    EXPECT_EQ(reply.payload, Platform::Bytes(pdf.begin(), pdf.begin() + 64));
}

TEST(PdfWorkerBoundary, AWorkerHoldsNoDescriptorOfTheApp)
{
    const auto file = std::filesystem::temp_directory_path() / ("folmira-fd-" + std::to_string(getpid()));
    int fd = open(file.c_str(), O_CREAT | O_RDWR, 0600); // no O_CLOEXEC
    ASSERT_GE(fd, 0);
    auto input = std::make_shared<const Platform::PdfWorkerInput>(onePage(caption("Apples.")));
    // A link of its own: no idle worker started before the file was opened stands in.
    for (const std::string& program : {fake("descriptors"), Platform::PdfWorker::location().string()}) {
        // The real worker's descriptors are hidden from the user's other processes: root lists them.
        if (geteuid() != 0 && program == Platform::PdfWorker::location().string()) continue;
        WorkerProgram chosen(program);
        Platform::PdfWorker worker(input, {1, 64 << 20});
        ASSERT_EQ(worker.request(1, {}, 1 << 20, nullptr).status, Platform::PdfWorker::Status::ok) << program;
        const auto held = descriptors(worker.pid());
        EXPECT_EQ(std::count(held.begin(), held.end(), file.string()), 0) << program;
        EXPECT_LE(held.size(), 5u) << program; // the standard streams, the socket, the document
    }
    close(fd);
    std::filesystem::remove(file);
}

TEST(PdfWorkerBoundary, AWorkerStartedFromATerminalHoldsNone)
{
    auto input = std::make_shared<const Platform::PdfWorkerInput>(onePage(caption("Apples.")));
    // An app started from a shell: a terminal of its own, controlling, on its standard streams.
    const pid_t app = fork();
    if (app == 0) {
        int master = -1, terminal = -1;
        if (setsid() < 0 || openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0 ||
            ioctl(terminal, TIOCSCTTY, 0) != 0)
            _exit(2);
        for (int stream : {0, 1, 2}) dup2(terminal, stream);
        Platform::PdfWorker worker(input, {1, 64 << 20});
        if (worker.request(static_cast<std::uint8_t>(PDFReader::WorkerRequest::open), {}, 1 << 20, nullptr).status !=
            Platform::PdfWorker::Status::ok)
            _exit(3);
        const auto stat = Platform::ProcStat::of(worker.pid());
        if (!stat || stat->terminal != 0) _exit(4);
        for (const std::string& target : descriptors(worker.pid()))
            if (target.rfind("/dev/pts/", 0) == 0) _exit(5);
        // A helper taken over tries to type into the terminal, with no Landlock to refuse the terminal's file:
        // its streams are no terminal, it controls none, and the filter refuses the call itself.
        setenv("FOLMIRA_TEST_LANDLOCK_ABI", "0", 1);
        setenv("FOLMIRA_PDF_WORKER", fake("confine-terminal").c_str(), 1);
        Platform::PdfWorker typing(input, {1, 64 << 20});
        const auto tried = typing.request(1, {}, 256, nullptr);
        if (tried.status != Platform::PdfWorker::Status::ok || tried.payload.size() != 4) _exit(6);
        if (std::count(tried.payload.begin(), tried.payload.end(), 0) != 0) _exit(7);
        fcntl(master, F_SETFL, O_NONBLOCK);
        char typed = 0;
        if (read(master, &typed, 1) == 1) _exit(8);
        _exit(0);
    }
    ASSERT_GT(app, 0);
    int status = 0;
    ASSERT_TRUE(within(std::chrono::milliseconds(3000), [&] { return waitpid(app, &status, WNOHANG) == app; }));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: no terminal made, 3: no worker, 4: it kept the terminal as its own, "
                                         "5: it holds the terminal open, 6: no typing helper, 7: it typed, "
                                         "8: the terminal got what it typed";
}

TEST(PdfWorkerBoundary, TheLogSaysWhichLayersTheKernelLacks)
{
    struct Case {
        const char* landlock; // as the test switch tells the confinement
        std::string said;     // part of the sentence
    };
    unsetenv("FOLMIRA_TEST_LANDLOCK_ABI");
    const int kernel = Platform::WorkerConfine::landlockVersion();
    for (const Case& c : {Case{"0", "lacks Landlock, so its seccomp filter alone keeps"},
                          Case{"2", "truncate right and signal scoping (Landlock 2)"},
                          Case{"5", "signal scoping (Landlock 5), so"}, Case{"7", ""}}) {
        if (std::atoi(c.landlock) > kernel) continue;
        setenv("FOLMIRA_TEST_LANDLOCK_ABI", c.landlock, 1);
        const std::string said = Platform::WorkerConfine::missingLayers();
        EXPECT_EQ(Platform::WorkerConfine::landlockVersion(), std::atoi(c.landlock));
        if (c.said.empty()) {
            EXPECT_EQ(said, "") << c.landlock;
        } else {
            EXPECT_NE(said.find(c.said), std::string::npos) << c.landlock << ": " << said;
        }
    }
    unsetenv("FOLMIRA_TEST_LANDLOCK_ABI");
}

TEST(PdfWorkerBoundary, AConfinedWorkerOpensConnectsTracesAndRunsNothing)
{
    auto input = std::make_shared<const Platform::PdfWorkerInput>(onePage(caption("Apples.")));
    // Another process of the user's, and a file of the user's, that the worker must leave as they are. It
    // holds no capability, as an ordinary user's: the kernel's own check that a process changing another holds
    // all the other's capabilities then passes, and only the worker's filter refuses.
    const pid_t other = fork();
    if (other == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
        syscall(SYS_capset, &header, none);
        pause();
        _exit(0);
    }
    ASSERT_GT(other, 0);
    const auto userFile = std::filesystem::temp_directory_path() / ("folmira-user-file-" + std::to_string(getpid()));
    std::ofstream(userFile) << "the user's own words";
    std::filesystem::permissions(userFile, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    setenv("FOLMIRA_FAKE_OTHER_PROCESS", std::to_string(other).c_str(), 1);
    setenv("FOLMIRA_FAKE_USER_FILE", userFile.c_str(), 1);
    // AddressSanitizer's leak check traces the worker's own threads: the filter leaves tracing open
    // there, and only the kernel's file rules, where it has them, refuse tracing the app.
    const int traced = HangGuard::sanitized ? -1 : EPERM;
    // Nor, there, are root's capabilities dropped, with which a hard cap may be lifted.
    const int capable = HangGuard::sanitized || HangGuard::threadSanitized ? -1 : EPERM;
    // What each try gets: 0 when it worked, else its errno. The filter answers EPERM (ENOSYS for clone3),
    // before Landlock's EACCES; a row of EPERM fails when only Landlock refuses.
    const std::vector<std::pair<const char*, int>> tries{
        {"read the system's shared data", 0}, {"read /etc/passwd", EACCES}, {"create a file", EPERM},
        {"write its own /proc entry", EPERM}, {"make an Internet socket", EPERM}, {"connect a socket", EPERM},
        {"trace the app", traced}, {"open the app's memory", -1}, {"read the app's memory", EPERM},
        {"run a program", EPERM}, {"start a session", EPERM}, {"start a process group", EPERM},
        {"make itself readable", EPERM}, {"outlive its parent (PR_SET_PDEATHSIG 0)", EPERM},
        {"aim SIGIO at another (F_SETOWN)", EPERM}, {"another's limits (prlimit)", EPERM},
        {"trace another", traced}, {"read another's memory", EPERM},
        {"another's priority (setpriority)", EPERM}, {"another's CPUs (sched_setaffinity)", EPERM},
        {"signal another (kill)", EPERM}, {"signal another's thread (tgkill)", EPERM},
        {"a file's mode (chmod)", EPERM}, {"a file's times (utimensat)", EPERM},
        {"a file's attributes (setxattr)", EPERM}, {"a file's length (truncate)", EPERM},
        {"the user's keys (keyctl)", EPERM}, {"a key (add_key)", EPERM},
        {"a user namespace (clone3)", ENOSYS}, {"a child of the app's (clone3)", ENOSYS},
        {"namespaces (unshare)", EPERM}, {"a user namespace (clone)", EPERM},
        {"a child of the app's from a request's child (clone)", EPERM}, {"lift its own hard cap", capable},
        {"type into a terminal (TIOCSTI)", EPERM}, {"queue a signal to another (sigqueue)", EPERM},
        {"a copy signals its worker (kill)", EPERM}, {"a copy signals its worker's group (kill)", EPERM},
        {"a copy signals its worker's thread (tgkill)", EPERM}, {"a copy signals its own group", 0},
        {"hold a capability", capable},
        {"readable (PR_GET_DUMPABLE)", 0}};
    // An older kernel's Landlock has no truncate right and no signal scoping, and a kernel may have none
    // (which refuses tracing as well): the filter alone keeps them in. Without Landlock, only what Landlock
    // alone refuses (EACCES) is let through.
    for (const char* landlock : {"", "2", "0"}) {
        SCOPED_TRACE(std::string("Landlock ") + (*landlock ? landlock : "as the kernel has it"));
        setenv("FOLMIRA_TEST_LANDLOCK_ABI", landlock, 1);
        WorkerProgram program(fake(std::string("confine") + landlock));
        Platform::PdfWorker worker(input, {1, 64 << 20});
        auto reply = worker.request(1, {}, 256, nullptr);
        unsetenv("FOLMIRA_TEST_LANDLOCK_ABI");
        ASSERT_EQ(reply.status, Platform::PdfWorker::Status::ok);
        ASSERT_EQ(reply.payload.size(), tries.size());
        for (std::size_t i = 0; i < tries.size(); ++i)
            if (tries[i].second >= 0 && !(*landlock == '0' && tries[i].second == EACCES)) {
                EXPECT_EQ(reply.payload[i], tries[i].second) << tries[i].first;
            }
    }
    unsetenv("FOLMIRA_FAKE_OTHER_PROCESS");
    unsetenv("FOLMIRA_FAKE_USER_FILE");
    EXPECT_EQ(waitpid(other, nullptr, WNOHANG), 0) << "the other process lives on";
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    std::ifstream kept(userFile);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the user's own words");
    EXPECT_EQ(std::filesystem::status(userFile).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::remove(userFile);
    WorkerProgram program(fake("confine"));
    Platform::PdfWorker worker(input, {1, 64 << 20});
    ASSERT_EQ(worker.request(1, {}, 256, nullptr).status, Platform::PdfWorker::Status::ok);
    if (geteuid() != 0) { // root may read any process's memory, readable or not
        EXPECT_LT(open(("/proc/" + std::to_string(worker.pid()) + "/mem").c_str(), O_RDONLY), 0);
    }
    // A process that runs a second thread is not confined at all: the filter would not reach a thread started
    // before, nor its locks a child.
    const pid_t threaded = fork();
    if (threaded == 0) {
        std::atomic<bool> done{false};
        std::thread second([&done] {
            while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        const bool confined = Platform::WorkerConfine::confine();
        done = true;
        second.join();
        std::ifstream own("/proc/self/status");
        std::string line, seccomp;
        while (std::getline(own, line))
            if (line.rfind("Seccomp:", 0) == 0) seccomp = line.substr(8);
        _exit(confined ? 2 : seccomp.find('0') == std::string::npos ? 3 : 0);
    }
    int threadedStatus = 0;
    ASSERT_EQ(waitpid(threaded, &threadedStatus, 0), threaded);
    if (!HangGuard::sanitized && !HangGuard::threadSanitized) {
        EXPECT_EQ(WIFEXITED(threadedStatus) ? WEXITSTATUS(threadedStatus) : -1, 0) << "2: confined, 3: filtered";
    }
    // The real worker is confined so before it reads a document.
    WorkerProgram real(Platform::PdfWorker::location().string());
    Platform::PdfWorker confined(input, {1, 64 << 20});
    ASSERT_EQ(confined.request(1, {}, 1 << 20, nullptr).status, Platform::PdfWorker::Status::ok);
    std::ifstream status("/proc/" + std::to_string(confined.pid()) + "/status");
    std::map<std::string, std::string> fields;
    for (std::string name, value; status >> name && std::getline(status, value);)
        fields[name] = std::istringstream(value) >> value ? value : "";
    EXPECT_EQ(fields["NoNewPrivs:"], "1");
    EXPECT_EQ(fields["Seccomp:"], "2"); // a filter
}

TEST(PdfWorkerBoundary, AtQuitEveryWorkerEndsThoughItSetNoDeathSignalAndNoneStartsAfter)
{
    WorkerProgram program(fake("sleep")); // never ties itself to the app
    // Whether `pid`, a child of this process, was killed within a moment (and is reaped).
    const auto killedSoon = [](pid_t pid) {
        int status = 0;
        return within(std::chrono::milliseconds(1000), [&] { return waitpid(pid, &status, WNOHANG) == pid; }) &&
               WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    };
    enum class Race { none, startDuringSweep, groupAfterListing };
    for (const Race race : {Race::none, Race::startDuringSweep, Race::groupAfterListing}) {
        // In a child of its own: the quit stays there.
        const pid_t app = fork();
        if (app == 0) {
            auto worker = Platform::PdfWorkerProcess::spawn();
            if (!worker) _exit(2);
            pid_t late = 0;
            Platform::PdfWorkerProcess::TestHooks hooks;
            if (race == Race::startDuringSweep) {
                // A start that passed its check as the quit began: ended, never left running.
                hooks.beforeStart = [] { Platform::PdfWorkerProcess::endAll(); };
                Platform::PdfWorkerProcess::setTestHooks(hooks);
                if (Platform::PdfWorkerProcess::spawn()) _exit(5);
                if (!killedSoon(worker->pid)) _exit(3);
                _exit(ChildProcesses::ofThisProcess().empty() ? 0 : 6);
            }
            if (race == Race::groupAfterListing) {
                // A copy given its group after the sweep listed the groups: the next round ends it.
                hooks.afterSweepRound = [&late](int round) {
                    if (round != 0) return;
                    late = fork();
                    if (late == 0) {
                        setpgid(0, 0);
                        pause();
                        _exit(0);
                    }
                    setpgid(late, late);
                };
                Platform::PdfWorkerProcess::setTestHooks(hooks);
            }
            // A process a helper left in its group (a grandchild, forked twice): ended with the group. A child
            // of the app's in a session of its own (no helper can leave the app's): not the sweep's to end.
            pid_t member = 0, ownSession = 0;
            if (race == Race::none) {
                member = fork();
                if (member == 0) {
                    prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the test's app, whatever it found
                    pause();
                    _exit(0);
                }
                setpgid(member, worker->pid);
                ownSession = fork();
                if (ownSession == 0) {
                    prctl(PR_SET_PDEATHSIG, SIGKILL);
                    setsid();
                    pause();
                    _exit(0);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50)); // its session made
            }
            Platform::PdfWorkerProcess::endAll();
            if (!killedSoon(worker->pid)) _exit(3);
            if (late > 0 && !killedSoon(late)) {
                kill(late, SIGKILL);
                _exit(7);
            }
            if (member > 0 && !killedSoon(member)) {
                kill(member, SIGKILL);
                _exit(9);
            }
            if (ownSession > 0) {
                const bool alive = waitpid(ownSession, nullptr, WNOHANG) == 0;
                kill(ownSession, SIGKILL);
                waitpid(ownSession, nullptr, 0);
                if (!alive) _exit(10);
            }
            // After the quit no start is even begun.
            bool begun = false;
            hooks.beforeStart = [&begun] { begun = true; };
            Platform::PdfWorkerProcess::setTestHooks(hooks);
            if (Platform::PdfWorkerProcess::spawn()) _exit(4);
            _exit(begun ? 8 : 0);
        }
        ASSERT_GT(app, 0);
        int status = 0;
        ASSERT_TRUE(within(std::chrono::milliseconds(3000), [&] { return waitpid(app, &status, WNOHANG) == app; }));
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << static_cast<int>(race)
            << ": 2: none started, 3: the worker lived on, 4: one started after the quit, 5: one started during it, "
               "6: one left running, 7: a group made during the sweep lived on, 8: a start begun after the quit, "
               "9: a process left in a worker's group lived on, 10: a child in a session of its own was ended";
    }
}

TEST(PdfWorkerBoundary, APagesPicturesHaveWhatItsReadingLeftOfItsCpuTime)
{
    const Platform::Bytes pdf = onePage(caption("Apples grow on page one."));
    PageLimits limits(2, 0);
    for (const auto& [mode, renders] : {std::pair{"spent", 0}, std::pair{"fresh", 1}}) {
        WorkerProgram program(fake(mode));
        std::atomic<int> asked{0};
        Platform::PdfWorker::setBeforeSend([&](pid_t, std::uint8_t tag) {
            if (tag == static_cast<std::uint8_t>(PDFReader::WorkerRequest::renderRegions)) ++asked;
        });
        BigDocument document = PDFReader::read(pdf, "Sample", 1);
        Platform::PdfWorker::setBeforeSend({});
        EXPECT_EQ(asked.load(), renders) << mode;
        EXPECT_EQ(document.plainText(), "A page with a picture below.") << mode;
    }
}

TEST(PdfWorkerBoundary, APageThatPassesOnlyItsMemoryLimitIsLeftOut)
{
    if (HangGuard::sanitized || HangGuard::threadSanitized)
        GTEST_SKIP() << "a sanitized worker caps no address space and keeps the sanitizer's allocator";
    // A path of 320,000 short pieces never painted: Poppler keeps each in
    // hand, some 120 megabytes, in a fraction of a second.
    std::string path;
    for (int i = 0; i < 320'000; ++i)
        path += std::to_string(i % 600) + " " + std::to_string(i % 700) + " m " + std::to_string(i % 500) + " " +
                std::to_string(i % 300) + " l\n";
    Builder builder;
    builder.page(caption("Apples grow on page one."), fonts());
    builder.page(caption("Pears grow on page two.") + path + "n\n", fonts());
    const Platform::Bytes pdf = builder.write();
    // The counter finds the page within its bounds: only the memory limit leaves it out.
    auto opened = Platform::PdfDocument::open(pdf);
    ASSERT_TRUE(opened.document);
    EXPECT_TRUE(Platform::PdfContent::measureText(*opened.document->page(1), readerBounds).within(readerBounds));

    struct Case {
        std::int64_t memoryBytes;
        std::string text;
        std::vector<int> leftOut;
    };
    // Its share of the workers' budget is too little for it; the whole of its default limit is enough.
    for (const Case& c : {Case{48 << 20, "Apples grow on page one.", {2}},
                          Case{0, "Apples grow on page one.\nPears grow on page two.", {}}}) {
        PageLimits limits(60, c.memoryBytes);
        BigDocument document = PDFReader::read(pdf, "Sample", 1);
        EXPECT_EQ(document.plainText(), c.text) << c.memoryBytes;
        EXPECT_EQ(document.leftOutPages, c.leftOut) << c.memoryBytes;
    }
}

TEST(PdfWorkerBoundary, APicturePastItsLimitLeavesItsPagesTextRead)
{
    if (HangGuard::sanitized || HangGuard::threadSanitized)
        GTEST_SKIP() << "a sanitized worker caps no address space and keeps the sanitizer's allocator";
    struct Case {
        std::string name;
        int side;
        Platform::Bytes data; // flate-compressed unless `packed`
        bool packed;
        int draws;
    };
    std::mt19937 random(3);
    Platform::Bytes junk(200'000);
    for (auto& b : junk) b = static_cast<std::uint8_t>(random());
    const std::vector<Case> cases{
        // Cheap to find, some 160 million pixels to decode when its region is cut out.
        {"2,000 × 2,000 grey drawn forty times", 2'000, Platform::Bytes(2'000 * 2'000, 0), false, 40},
        // Its drawing asks for more memory than a share of the workers' budget,
        // which Poppler would pass over and draw blank.
        {"20,000 × 20,000 of junk data", 20'000, junk, true, 1},
    };
    PageLimits limits(0.05 * HangGuard::scale(), 0);
    for (const Case& c : cases) {
        std::string packed(reinterpret_cast<const char*>(c.data.data()), c.data.size());
        if (!c.packed) {
            uLongf size = compressBound(c.data.size());
            packed.assign(size, '\0');
            ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &size, c.data.data(), c.data.size(), 1), Z_OK);
            packed.resize(size);
        }
        Builder builder;
        QPDFObjectHandle image = builder.image(1, 1);
        image.replaceStreamData(packed, QPDFObjectHandle::newName("/FlateDecode"), QPDFObjectHandle::newNull());
        for (const char* key : {"/Width", "/Height"}) image.getDict().replaceKey(key, QPDFObjectHandle::newInteger(c.side));
        if (!c.packed) image.getDict().replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceGray"));
        QPDFObjectHandle resources = Builder::xobjects({{"Im", image}});
        resources.replaceKey("/Font", fonts().getKey("/Font"));
        builder.page(caption("A caption above the picture.", 720) + timesOver("q 300 0 0 300 72 380 cm /Im Do Q\n", c.draws),
                     resources);
        BigDocument document = PDFReader::read(builder.write(), "Sample", 1);
        EXPECT_EQ(document.plainText(), "A caption above the picture.") << c.name;
        EXPECT_EQ(document.notes, (std::vector<ConversionNote>{{ConversionNote::Kind::warning,
                                                                 "1 picture was left out: cutting it out of the PDF’s "
                                                                 "pages would take too much time and memory."}}))
            << c.name;
        EXPECT_TRUE(document.leftOutPages.empty()) << c.name;
    }
}

TEST(PdfWorkerBoundary, APageWhoseCostTheCounterCantTellIsReadWhole)
{
    // As ghostscript writes small pictures: filtered inline images, here one
    // whose ASCII85 data holds the letters EI before its end.
    const std::string picture = "q 40 0 0 40 72 600 cm BI /W 2 /H 2 /CS /G /BPC 8 /F /A85 ID !!\"EI~> EI Q\n";
    Builder builder;
    builder.page(caption("Apples grow on page one.") + picture + caption("Pears grow below them.", 560), fonts());
    const Platform::Bytes pdf = builder.write();
    auto opened = Platform::PdfDocument::open(pdf);
    ASSERT_TRUE(opened.document);
    auto cost = Platform::PdfContent::measureText(*opened.document->page(0), readerBounds);
    EXPECT_FALSE(cost.unknown.empty()) << "the counter can't tell where the picture ends";
    EXPECT_FALSE(cost.past(readerBounds));

    BigDocument document = PDFReader::read(pdf, "Sample", 1);
    EXPECT_EQ(document.plainText(), "Apples grow on page one. Pears grow below them.");
    EXPECT_TRUE(document.notes.empty());
    EXPECT_TRUE(document.leftOutPages.empty());
}

TEST(PdfWorkerBoundary, AReplyWithANumberNoPageHasIsDamaged)
{
    const PDFReader::Word word{"Pear", {72, 700, 30, 12}, 12, false, false};
    struct Case {
        std::string name;
        std::function<void(PDFReader::PageReading&)> spoil;
    };
    const double nan = std::nan(""), infinite = HUGE_VAL;
    const std::vector<Case> cases{
        {"sound", [](PDFReader::PageReading&) {}},
        {"a NaN wide word", [&](auto& r) { r.text.words.words[0].rect.width = nan; }},
        {"an infinite font size", [&](auto& r) { r.text.words.words[0].size = infinite; }},
        {"a negative font size", [&](auto& r) { r.text.words.words[0].size = -1; }},
        {"a word far past any page", [&](auto& r) { r.text.words.words[0].rect.x = 1e300; }},
        {"a line of negative height", [&](auto& r) { r.text.lines[0].rect.height = -5; }},
        {"a word not in UTF-8", [&](auto& r) { r.text.words.words[0].text = "\xFF\xFE"; }},
        {"an empty word", [&](auto& r) { r.text.words.words[0].text.clear(); }},
        {"a picture region of NaN", [&](auto& r) { r.pictures = {{nan, 0, 10, 10}}; }},
        {"more picture regions than a page renders",
         [&](auto& r) { r.pictures.assign(PDFLimits::renders + 1, Rect{0, 0, 30, 30}); }},
        // What no worker sends, whatever the page.
        {"a line without words", [&](auto& r) { r.text.lines.push_back(PDFReader::Line{{}, {72, 600, 10, 10}, std::nullopt, false}); }},
        {"a line with a picture", [&](auto& r) { r.text.lines[0].picture = Picture{}; }},
        {"a trusted page's lines holding a word it doesn't list", [&](auto& r) { r.text.words.words.clear(); }},
        {"a page not fetched that holds words", [&](auto& r) { r.fetched = false; }},
        {"a page too large to read that holds words", [&](auto& r) { r.text.tooLarge = true; }},
        {"picture regions without the rectangles drawn", [&](auto& r) { r.pictures = {{72, 300, 200, 200}}; }},
        {"text turned five quarter turns", [&](auto& r) { r.quarterTurns = 5; }},
    };
    for (const Case& c : cases) {
        PDFReader::PageReading reading;
        reading.fetched = true;
        reading.text.words.words = {word};
        reading.text.lines = {PDFReader::makeLine({word})};
        c.spoil(reading);
        const Platform::Bytes encoded = PDFReader::encode(reading);
        if (c.name == "sound") {
            EXPECT_EQ(PDFReader::decodePageReading(encoded).text.words.words, reading.text.words.words);
            reading.quarterTurns = 3; // text that reads up the page
            EXPECT_EQ(PDFReader::decodePageReading(PDFReader::encode(reading)).quarterTurns, 3);
            Platform::Bytes longer = encoded;
            longer.push_back(0);
            EXPECT_THROW(PDFReader::decodePageReading(longer), Platform::WireReader::Short) << "a byte too many";
            continue;
        }
        EXPECT_THROW(PDFReader::decodePageReading(encoded), Platform::WireReader::Short) << c.name;
    }
    // An opening's page whose box is no box is not read; the others are.
    PDFReader::DocumentOpening opening{PDFReader::DocumentOpening::State::opened, true,
                                       {Rect{0, 0, 612, 792}, Rect{0, 0, nan, 792}, Rect{0, 0, 612, -1}}};
    const auto back = PDFReader::decodeOpening(PDFReader::encode(opening));
    EXPECT_EQ(back.cropBoxes, (std::vector<std::optional<Rect>>{Rect{0, 0, 612, 792}, std::nullopt, std::nullopt}));
    // Only an opened document has pages.
    opening.state = PDFReader::DocumentOpening::State::damaged;
    EXPECT_THROW(PDFReader::decodeOpening(PDFReader::encode(opening)), Platform::WireReader::Short);
}

TEST(PdfWorkerBoundary, ACrashOnAShareOfMemoryIsTriedAgainAloneAPassedLimitIsNot)
{
    Builder builder;
    for (const char* words : {"Apples grow on page one.", "Pears grow on page two.", "Plums grow on page three."})
        builder.page(caption(words), fonts());
    const Platform::Bytes pdf = builder.write();
    struct Case {
        int signal;
        std::string text;
        std::vector<int> leftOut;
        int pageRequests;
    };
    // The default limit is more than a request's share: a crash may have been a failed allocation.
    PageLimits limits(0, 0);
    const std::string whole = "Apples grow on page one.\nPears grow on page two.\nPlums grow on page three.";
    // SIGKILL is no limit's own signal (the kernel's memory killer sends it too): tried again, as a crash.
    for (const Case& c : {Case{SIGSEGV, whole, {}, 4}, Case{SIGKILL, whole, {}, 4},
                          Case{SIGPROF, "Apples grow on page one.\nPlums grow on page three.", {2}, 3}}) {
        int asked = 0;
        Platform::PdfWorker::setBeforeSend([&](pid_t pid, std::uint8_t tag) {
            if (tag == static_cast<std::uint8_t>(PDFReader::WorkerRequest::readPage) && ++asked == 2) kill(-pid, c.signal);
        });
        BigDocument document = PDFReader::read(pdf, "Sample", 1);
        Platform::PdfWorker::setBeforeSend({});
        EXPECT_EQ(document.plainText(), c.text) << c.signal;
        EXPECT_EQ(document.leftOutPages, c.leftOut) << c.signal;
        EXPECT_EQ(asked, c.pageRequests) << c.signal;
    }
}

TEST(PdfWorkerBoundary, TextBesideADrawingOfMillionsOfTokensIsKept)
{
    // A dense plot: one stroked line of 700,000 pieces, 2.1 million tokens,
    // past the bound on what reading a page's text may cost when counted whole.
    std::string plot = "q 0.1 w 72 100 m\n";
    for (int i = 0; i < 700'000; ++i)
        plot += std::to_string(72 + (i * 7) % 460) + " " + std::to_string(100 + (i * 13) % 560) + " l\n";
    plot += "S Q\n";
    struct Case {
        const char* name;
        bool inForm; // a drawing in a form is read with the page's text, and counted whole
        std::string text;
        std::vector<int> leftOut;
    };
    const Case cases[] = {
        {"drawn on the pages", false,
         "Section 1 plot Measured on the coast.\nSection 2 plot Measured on the coast.\nSection 3 plot Measured on "
         "the coast.\nAn ordinary last page.",
         {}},
        {"drawn in a form", true, "An ordinary last page.", {1, 2, 3}},
    };
    // The default CPU time of a page, on a machine as slow as a sanitized build.
    PageLimits limits(PDFLimits::pageCpuSeconds * HangGuard::scale(), 0);
    for (const Case& c : cases) {
        Builder builder;
        QPDFObjectHandle resources = fonts();
        QPDFObjectHandle drawing = builder.qpdf().newStream(plot);
        if (c.inForm) {
            resources.replaceKey("/XObject", Builder::xobjects({{"Plot", builder.form(plot, QPDFObjectHandle::newNull())}})
                                                 .getKey("/XObject"));
            drawing = builder.qpdf().newStream("/Plot Do\n");
        }
        // Three pages share the drawing: each its own heading and footer around it.
        for (int p = 1; p <= 3; ++p) {
            builder.page("", resources);
            QPDFObjectHandle page = QPDFPageDocumentHelper(builder.qpdf()).getAllPages().back().getObjectHandle();
            QPDFObjectHandle contents = QPDFObjectHandle::newArray();
            contents.appendItem(builder.qpdf().newStream(caption("Section " + std::to_string(p) + " plot", 740)));
            contents.appendItem(drawing);
            contents.appendItem(builder.qpdf().newStream(caption("Measured on the coast.", 60)));
            page.replaceKey("/Contents", contents);
        }
        builder.page(caption("An ordinary last page."), fonts());
        BigDocument document = PDFReader::read(builder.write(), "Sample", 2);
        EXPECT_EQ(document.plainText(), c.text) << c.name;
        EXPECT_EQ(document.leftOutPages, c.leftOut) << c.name;
    }
}

TEST(PdfWorkerBoundary, AReplyIsBoundedByWhatItDecodesTo)
{
    using PDFReader::Line;
    using PDFReader::PageReading;
    using PDFReader::Word;
    const Word word{"Pear", {72, 700, 30, 12}, 12, false, false};
    // A line of one word, on a page whose words are untrusted (so it needs not list them).
    const Line line = PDFReader::makeLine({word});
    const std::size_t lineBytes = sizeof(Line) + sizeof(Word) + word.text.size();
    const std::size_t lines = PDFLimits::readingBytes / lineBytes;
    struct Case {
        std::string name;
        std::function<void(PageReading&)> fill;
        bool damaged;
    };
    const std::vector<Case> cases{
        {"as many lines as a reading may hold", [&](PageReading& r) { r.text.lines.assign(lines, line); }, false},
        {"one line more", [&](PageReading& r) { r.text.lines.assign(lines + 1, line); }, true},
        {"words that fit",
         [&](PageReading& r) {
             r.text.words.words.assign(1000, word);
             r.text.lines = {PDFReader::makeLine(r.text.words.words)};
         },
         false},
        {"as many words as a line more",
         [&](PageReading& r) {
             r.text.lines.assign(lines / 2, line);
             r.text.words.words.assign((lines - lines / 2 + 1) * lineBytes / (sizeof(Word) + word.text.size()) + 1,
                                      word);
         },
         true},
        {"words of long text",
         [&](PageReading& r) {
             r.text.words.words.assign(8, word);
             for (Word& w : r.text.words.words) w.text.assign(PDFLimits::readingBytes / 8, 'a');
         },
         true},
    };
    for (const Case& c : cases) {
        PageReading reading;
        reading.fetched = true;
        c.fill(reading);
        reading.text.words.untrusted = c.name != "words that fit";
        const Platform::Bytes encoded = PDFReader::encode(reading);
        // Within the bytes a reply may carry, whatever it decodes to.
        EXPECT_LT(encoded.size(), std::size_t{32} << 20) << c.name;
        if (c.damaged) {
            EXPECT_THROW(PDFReader::decodePageReading(encoded), Platform::WireReader::Short) << c.name;
            continue;
        }
        EXPECT_EQ(PDFReader::decodePageReading(encoded).text.lines.size(), reading.text.lines.size()) << c.name;
        // What the document may hold: the first fits, the second is past it and leaves its page out.
        PDFReader::HeldReadings held(PDFLimits::readingBytes + PDFLimits::readingBytes / 2);
        EXPECT_FALSE(PDFReader::decodePageReading(encoded, &held).text.tooLarge) << c.name;
        const PageReading second = PDFReader::decodePageReading(encoded, &held);
        EXPECT_EQ(second.text.tooLarge, c.name != "words that fit") << c.name;
        EXPECT_TRUE(second.fetched) << c.name;
    }

    // An opening of more pages than any document read is too large, told
    // from its count before anything is held for its pages.
    for (std::size_t pages : {std::size_t{3}, PDFLimits::documentPages + 1}) {
        PDFReader::DocumentOpening opening{PDFReader::DocumentOpening::State::opened, true, {}};
        opening.cropBoxes.assign(pages, Rect{0, 0, 612, 792});
        const auto back = PDFReader::decodeOpening(PDFReader::encode(opening));
        EXPECT_EQ(back.state, pages > 3 ? PDFReader::DocumentOpening::State::tooLarge
                                        : PDFReader::DocumentOpening::State::opened);
        EXPECT_EQ(back.cropBoxes.size(), pages > 3 ? 0u : 3u);
    }
}

TEST(PdfWorkerBoundary, AWorkersLawfulRepliesCostTheAppNoMoreThanTheyMayDecodeTo)
{
    if (HangGuard::sanitized || HangGuard::threadSanitized)
        GTEST_SKIP() << "the sanitizer's allocator keeps what is freed";
    const auto file = std::filesystem::temp_directory_path() / ("amplified-" + std::to_string(getpid()) + ".pdf");
    const Platform::Bytes pdf = onePage(caption("Apples grow on page one."));
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(pdf.data()),
                                                static_cast<std::streamsize>(pdf.size()));
    struct Case {
        std::string mode;
        int threads;
        std::string output; // the probe's first line
        int megabytes;      // the app's peak below this
    };
    // Twenty pages of 32 MB replies, each of empty lines: as many as fit the
    // reply (3.4 times its size decoded), or as many as fit a reading decoded.
    // No worker sends a line without words: either is the helper's fault,
    // found at the first line or once a reading's worth is decoded.
    // On four threads the worker makes no copy (its answer to the request
    // for one is a page's): the reading still ends, its first worker shared,
    // a reply being received on each other thread.
    for (const Case& c : {Case{"amplify", 1, "refused unsupported", 300}, Case{"fitting", 1, "refused unsupported", 80},
                          Case{"amplify", 4, "refused unsupported", 396}}) {
        WorkerProgram program(fake(c.mode));
        setenv("FOLMIRA_PROBE_THREADS", std::to_string(c.threads).c_str(), 1);
        const Cost cost = probe(file);
        unsetenv("FOLMIRA_PROBE_THREADS");
        EXPECT_EQ(cost.output.substr(0, cost.output.find('\n')), c.output) << c.mode << ": " << cost.output;
        EXPECT_LT(cost.peakMegabytes, c.megabytes) << c.mode << " on " << c.threads;
    }
    std::filesystem::remove(file);
}

TEST(PdfWorkerBoundary, PagesAWorkerClaimsAreHeldWithinAGigabyteAndRealPagesAllKept)
{
    // What the lines kept of a document may hold, taken page by page as a
    // reading does: a worker claiming the most pages a document may have,
    // each as full as a page may be kept, makes the app hold no more than a
    // gigabyte; every page of 30,000 and of 140,000 pages of manual pages
    // (7 KB each, packed) is kept.
    struct Case {
        std::size_t pages;
        std::size_t pageBytes;
        bool allKept;
    };
    for (const Case& c : {Case{PDFLimits::documentPages, PDFLimits::heldReadingPerPage, false},
                          Case{30'000, 7 << 10, true}, Case{140'000, 7 << 10, true}}) {
        PDFReader::HeldReadings held(PDFLimits::heldReadingsFor(c.pages));
        std::size_t kept = 0;
        for (std::size_t page = 0; page < c.pages; ++page) kept += held.take(c.pageBytes);
        EXPECT_EQ(kept == c.pages, c.allKept) << c.pages << " pages";
        EXPECT_LE(kept * c.pageBytes, std::size_t{1} << 30) << c.pages << " pages";
    }
}

namespace {

// How many pages a reading hands over.
int pagesRead(PDFReader::PageSource& source, int pageCount)
{
    std::atomic<int> taken{0};
    source.readPages(pageCount, [&](int, PDFReader::PageReading) { ++taken; });
    return taken;
}

} // namespace

TEST(PdfWorkerPool, ServesInTurnWithinItsCopiesAndHasEachWorkerBackBetweenPages)
{
    using Platform::PdfWorkerPool;
    WorkerProgram program(fake("pool")); // twenty pages, each answered; copies made as the worker makes them
    PageLimits limits(1, 64 << 20);
    const auto openTag = static_cast<std::uint8_t>(PDFReader::WorkerRequest::open);
    const auto pageTag = static_cast<std::uint8_t>(PDFReader::WorkerRequest::readPage);
    const auto aMoment = std::chrono::milliseconds(300);
    Platform::WireWriter firstPage;
    firstPage.i32(0);
    struct Case {
        std::string rule;
        std::function<void(const Platform::Bytes& pdf, PdfWorkerPool& pool, std::vector<PdfWorkerPool::Lease>& held)> check;
        bool holdAll; // every copy the budget holds taken by the test first, but one when false
    };
    const std::vector<Case> cases{
        {"a bounded number of copies",
         [&](const Platform::Bytes&, PdfWorkerPool& pool, std::vector<PdfWorkerPool::Lease>& held) {
             std::set<pid_t> pids;
             for (auto& lease : held) {
                 EXPECT_EQ(lease.worker().request(pageTag, firstPage.data(), 1 << 20, nullptr).status,
                           Platform::PdfWorker::Status::ok);
                 pids.insert(lease.worker().pid());
             }
             EXPECT_EQ(pids.size(), held.size());
             EXPECT_FALSE(takeWithin(pool, aMoment)) << "a copy past the budget";
         },
         true},
        {"a wait for a worker none gives back ends",
         [&](const Platform::Bytes&, PdfWorkerPool&, std::vector<PdfWorkerPool::Lease>&) {
             // A pool of short requests, every worker of it held: a wait ends within their bound.
             auto own = PdfWorkerPool::of(Platform::PdfWorkerInput::of(onePage(caption("Held whole"))), {0.05, 64 << 20});
             std::vector<PdfWorkerPool::Lease> all;
             all.push_back(own->take(nullptr));
             ASSERT_EQ(all.back().worker().request(openTag, {}, 1 << 20, nullptr).status, Platform::PdfWorker::Status::ok);
             all.clear();
             for (int i = 0; i < own->fitting(4); ++i) all.push_back(own->take(nullptr));
             auto waited = std::async(std::launch::async, [&] { return static_cast<bool>(own->take(nullptr)); });
             const bool ended = waited.wait_for(HangGuard::limit(std::chrono::milliseconds(1000))) ==
                                std::future_status::ready;
             all.clear(); // one given back ends a wait that had no bound
             EXPECT_TRUE(ended);
             EXPECT_FALSE(waited.get());
         },
         true},
        {"an ended copy frees its place",
         [&](const Platform::Bytes&, PdfWorkerPool& pool, std::vector<PdfWorkerPool::Lease>& held) {
             const pid_t ended = held.front().worker().pid();
             held.front().worker().end();
             held.front() = {};
             auto another = takeWithin(pool, HangGuard::limit(aMoment));
             ASSERT_TRUE(another);
             EXPECT_EQ(another.worker().request(pageTag, firstPage.data(), 1 << 20, nullptr).status,
                       Platform::PdfWorker::Status::ok);
             EXPECT_NE(another.worker().pid(), ended);
         },
         true},
        {"first come first served",
         [&](const Platform::Bytes&, PdfWorkerPool& pool, std::vector<PdfWorkerPool::Lease>& held) {
             std::mutex mutex;
             std::string order;
             auto taker = [&](char name) {
                 return std::async(std::launch::async, [&, name] {
                     auto lease = pool.take(nullptr);
                     std::lock_guard lock(mutex);
                     order += lease ? name : '-';
                 });
             };
             auto first = taker('A');
             ASSERT_TRUE(within(aMoment, [&] { return pool.waiting() == 1; }));
             auto second = taker('B');
             ASSERT_TRUE(within(aMoment, [&] { return pool.waiting() == 2; }));
             held.front() = {};
             first.get();
             second.get();
             EXPECT_EQ(order, "AB");
         },
         true},
        {"a reading's worker is had between its pages",
         [&](const Platform::Bytes& pdf, PdfWorkerPool& pool, std::vector<PdfWorkerPool::Lease>&) {
             // The one copy left is the reading's; another asks for a worker at its second page.
             PDFReader::PageSource source(pdf, 1);
             ASSERT_EQ(source.open().state, PDFReader::DocumentOpening::State::opened);
             std::atomic<int> pages{0}, pagesWhenHad{-1};
             std::future<void> view;
             Platform::PdfWorker::setBeforeSend([&](pid_t, std::uint8_t tag) {
                 if (tag != pageTag || ++pages != 2) return;
                 view = std::async(std::launch::async, [&] {
                     auto lease = pool.take(nullptr);
                     if (lease) pagesWhenHad = pages.load();
                 });
                 (void)within(aMoment, [&] { return pool.wanted(); });
             });
             EXPECT_EQ(pagesRead(source, 20), 20);
             Platform::PdfWorker::setBeforeSend({});
             view.get();
             EXPECT_EQ(pagesWhenHad.load(), 2) << "had only once the reading's pages were read";
         },
         false},
        {"a reading's workers are back once its pages are read",
         [&](const Platform::Bytes& pdf, PdfWorkerPool& pool, std::vector<PdfWorkerPool::Lease>& held) {
             held.clear();
             PDFReader::PageSource source(pdf, 4);
             ASSERT_EQ(source.open().state, PDFReader::DocumentOpening::State::opened);
             EXPECT_EQ(pagesRead(source, 20), 20);
             // The source still lives (its pictures are rendered next), its threads' workers given back.
             for (int i = 0; i < pool.fitting(4); ++i) {
                 held.push_back(takeWithin(pool, HangGuard::limit(aMoment)));
                 EXPECT_TRUE(held.back()) << "worker " << i;
             }
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        // A document of its own for each: a pool of its own.
        const Platform::Bytes pdf = onePage(caption(c.rule));
        auto pool = PdfWorkerPool::of(Platform::PdfWorkerInput::of(pdf), PDFReader::pageLimits());
        {
            auto opener = pool->take(nullptr);
            ASSERT_TRUE(opener);
            ASSERT_EQ(opener.worker().request(openTag, {}, 1 << 20, nullptr).status, Platform::PdfWorker::Status::ok);
        }
        std::vector<PdfWorkerPool::Lease> held;
        const int copies = pool->fitting(4) - (c.holdAll ? 0 : 1);
        for (int i = 0; i < copies; ++i) {
            held.push_back(pool->take(nullptr));
            ASSERT_TRUE(held.back());
        }
        c.check(pdf, *pool, held);
    }
}

TEST(PdfWorkerPool, ALongDocumentsOwnOpeningLeavesItEveryWorkerAnothersTakesItsShare)
{
    // Opening keeps 100 MB in the fake's first worker, shared by its copies:
    // reading with four costs no more of it than reading with one. Another
    // document's opening is memory beside it, and takes workers from it.
    using Platform::PdfWorkerPool;
    WorkerProgram program(fake("long-pool"));
    PageLimits limits(1, 64 << 20);
    auto opened = [](const std::string& words) {
        const Platform::Bytes pdf = onePage(caption(words));
        auto pool = PdfWorkerPool::of(Platform::PdfWorkerInput::of(pdf), PDFReader::pageLimits());
        auto opener = pool->take(nullptr);
        const auto openTag = static_cast<std::uint8_t>(PDFReader::WorkerRequest::open);
        EXPECT_TRUE(opener && opener.worker().request(openTag, {}, 1 << 20, nullptr).status ==
                                  Platform::PdfWorker::Status::ok);
        return pool;
    };
    auto first = opened("The first long document");
    EXPECT_EQ(first->fitting(4), 4) << "its own opening counted against it";
    auto second = opened("The second long document");
    EXPECT_EQ(second->fitting(4), 3) << "the first one's opening not counted beside it";
    EXPECT_EQ(first->fitting(4), 3);
    second.reset();
    EXPECT_EQ(first->fitting(4), 4) << "a closed document's opening still counted";
}
