#include "Platform/PdfHelper/PdfWorkerPool.h"

#include "Platform/PdfHelper/PdfWorkerProcess.h"

#include <unistd.h>

#include <chrono>
#include <string>

namespace Platform {

namespace {

std::mutex poolsMutex;

struct PoolInUse {
    const PdfWorkerInput* input;
    PdfWorkerLimits limits;
    std::string program; // its workers' program: none is shared once another is named
    std::weak_ptr<PdfWorkerPool> pool;
};

std::vector<PoolInUse>& poolsInUse()
{
    static auto* pools = new std::vector<PoolInUse>;
    return *pools;
}

constexpr auto waitStep = std::chrono::milliseconds(10);
// The most workers a document runs at once: the reader's threads, one a core up to four.
constexpr int mostWorkers = 4;

} // namespace

std::shared_ptr<PdfWorkerPool> PdfWorkerPool::of(std::shared_ptr<const PdfWorkerInput> input, PdfWorkerLimits limits)
{
    std::lock_guard lock(poolsMutex);
    // A process forked from this one (a test's) never speaks to this one's workers.
    static const pid_t owner = getpid();
    if (getpid() != owner) return std::make_shared<PdfWorkerPool>(input, limits);
    auto& pools = poolsInUse();
    std::erase_if(pools, [](const PoolInUse& p) { return p.pool.expired(); });
    const std::string program = PdfWorker::location().string();
    for (const PoolInUse& p : pools)
        if (p.input == input.get() && p.limits == limits && p.program == program)
            if (auto pool = p.pool.lock()) return pool;
    auto pool = std::make_shared<PdfWorkerPool>(input, limits);
    pools.push_back({input.get(), limits, program, pool});
    return pool;
}

PdfWorkerPool::PdfWorkerPool(std::shared_ptr<const PdfWorkerInput> input, PdfWorkerLimits limits)
    : input_(std::move(input)), limits_(limits), opener_(std::make_unique<PdfWorker>(input_, limits_)),
      stillBound_(std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::duration<double>(opener_->longestRequestSeconds())))
{
    opener_->start();
}

PdfWorkerPool::~PdfWorkerPool() = default; // each worker is ended and reaped with its object

PdfWorkerPool::Lease PdfWorkerPool::take(const CancelFlag* cancel)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = nextTicket_++;
    queue_.push_back(ticket);
    ++waiting_;
    Lease lease;
    std::uint64_t seen = changes_;
    auto quietSince = std::chrono::steady_clock::now();
    while (!cancel || !cancel->cancelled()) {
        if (queue_.front() == ticket) {
            if (!idle_.empty()) {
                lease.worker_ = std::move(idle_.back());
                idle_.pop_back();
            } else if (opener_ && !opener_->opened()) {
                lease.worker_ = std::move(opener_);
                lease.opener_ = true;
            } else if (opener_ && made_ < fittingLocked(mostWorkers)) {
                lease.worker_ = copyOfOpener(lock, cancel);
            }
            if (lease.worker_) break;
        }
        // Every holder gives its worker back within one request's bound,
        // besides its wait for the memory budget, which other requests hold
        // within theirs: nothing given back for longer than that while none
        // waits for the budget, none will be.
        const auto now = std::chrono::steady_clock::now();
        if (PdfWorkerProcess::MemoryBudget::waiting() > 0) {
            quietSince = now;
        } else if (changes_ != seen) {
            seen = changes_;
            quietSince = now;
        } else if (now - quietSince > stillBound_) {
            break;
        }
        changed_.wait_for(lock, waitStep);
    }
    std::erase(queue_, ticket);
    --waiting_;
    changed_.notify_all();
    if (lease.worker_) lease.pool_ = shared_from_this();
    return lease;
}

std::unique_ptr<PdfWorker> PdfWorkerPool::copyOfOpener(std::unique_lock<std::mutex>& lock, const CancelFlag* cancel)
{
    ++made_;
    std::unique_ptr<PdfWorker> opener = std::move(opener_);
    lock.unlock();
    std::unique_ptr<PdfWorker> copy = opener->copy(cancel);
    lock.lock();
    opened_ = opener->openedBytes(); // nothing once a failed copy ended it
    opener_ = std::move(opener);
    ++changes_;
    changed_.notify_all();
    return copy ? std::move(copy) : std::make_unique<PdfWorker>(input_, limits_);
}

int PdfWorkerPool::fitting(int wanted)
{
    std::lock_guard lock(mutex_);
    return fittingLocked(wanted);
}

int PdfWorkerPool::fittingLocked(int wanted) const
{
    return PdfWorkerProcess::MemoryBudget::workersFitting(wanted, opened_);
}

void PdfWorkerPool::giveBack(std::unique_ptr<PdfWorker> worker, bool opener)
{
    std::lock_guard lock(mutex_);
    if (opener) {
        opened_ = worker->openedBytes();
        opener_ = std::move(worker);
    } else if (worker->pid() != 0) {
        idle_.push_back(std::move(worker));
    } else {
        --made_; // ended: not kept, and another may be made in its place
    }
    ++changes_;
    changed_.notify_all();
}

PdfWorkerPool::Lease& PdfWorkerPool::Lease::operator=(Lease&& other) noexcept
{
    if (this != &other) {
        giveBack();
        pool_ = std::move(other.pool_);
        worker_ = std::move(other.worker_);
        opener_ = other.opener_;
    }
    return *this;
}

PdfWorkerPool::Lease::~Lease() { giveBack(); }

void PdfWorkerPool::Lease::giveBack()
{
    if (pool_ && worker_) pool_->giveBack(std::move(worker_), opener_);
    pool_.reset();
}

PdfWorker& PdfWorkerPool::Lease::worker()
{
    if (worker_->pid() == 0 && !opener_ && pool_) {
        std::unique_lock lock(pool_->mutex_);
        // A first worker that is not opened (it ended), or not given back
        // within its bound: this one opens the document itself.
        if (pool_->changed_.wait_for(lock, pool_->stillBound_, [&] { return pool_->opener_ != nullptr; }) &&
            pool_->opener_->opened()) {
            --pool_->made_;
            // Bounded by the copy's own seconds, and cut short by the reading's cancel.
            worker_ = pool_->copyOfOpener(lock, currentCancelFlag());
        }
    }
    return *worker_;
}

} // namespace Platform
