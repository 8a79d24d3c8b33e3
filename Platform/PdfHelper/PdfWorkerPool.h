#pragma once

// The workers of one document, shared by all that read or draw it (the
// reader, the window's original). The document is opened once, by the pool's
// first worker, and every other worker is a copy of that one made after it
// opened (PdfWorker::copy), sharing what opening loaded: a long document's
// page tree is in memory once, however many workers read it. The first
// worker only opens and makes copies, so that a copy ended past a limit is
// ended alone. How many workers run at once is sized from the one memory
// budget beside what the other opened documents keep; this one's opening,
// shared by its copies, costs the same however many read.

#include "Platform/Cancel.h"
#include "Platform/PdfHelper/PdfWorker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace Platform {

class PdfWorkerPool : public std::enable_shared_from_this<PdfWorkerPool> {
public:
    // The pool of `input` under `limits` with the worker program named now:
    // the one in use, else a new one, whose first worker is started at once.
    static std::shared_ptr<PdfWorkerPool> of(std::shared_ptr<const PdfWorkerInput> input, PdfWorkerLimits limits);

    PdfWorkerPool(std::shared_ptr<const PdfWorkerInput> input, PdfWorkerLimits limits);
    ~PdfWorkerPool(); // ends every worker
    PdfWorkerPool(const PdfWorkerPool&) = delete;
    PdfWorkerPool& operator=(const PdfWorkerPool&) = delete;

    // A worker for one thread at a time, given back to the pool as the lease ends.
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&& other) noexcept;
        ~Lease();
        explicit operator bool() const { return worker_ != nullptr; }
        // The worker; a new copy in place of one that ended (past a limit, or
        // crashed), else (no opened first worker within a request's bound)
        // one that opens the document itself.
        PdfWorker& worker();

    private:
        friend class PdfWorkerPool;
        void giveBack();
        std::shared_ptr<PdfWorkerPool> pool_;
        std::unique_ptr<PdfWorker> worker_;
        bool opener_ = false;
    };

    // While the document is not opened: the first worker, for the request
    // that opens it (the others wait for that one). Then an idle worker, else
    // a new copy while the budget holds another, else the next given back,
    // in the order asked. An empty lease once `cancel` (may be null) is set,
    // or when no worker was given back for longer than a request may take
    // (the pool's workers held and not given back: no worker will come).
    Lease take(const CancelFlag* cancel);
    // Whether someone waits for a worker: one who holds a worker for long
    // (a reading) gives it back between its requests, so that a view's
    // drawing is not held up until the reading ends.
    bool wanted() const { return waiting() > 0; }
    int waiting() const { return waiting_.load(); }
    // How many workers of this document the budget holds at once: 1 to `wanted`.
    int fitting(int wanted);

private:
    // A copy of the opened first worker, waiting while it is in use; a
    // worker that opens the document on its own when no copy can be made.
    std::unique_ptr<PdfWorker> copyOfOpener(std::unique_lock<std::mutex>& lock, const CancelFlag* cancel);
    void giveBack(std::unique_ptr<PdfWorker> worker, bool opener);
    int fittingLocked(int wanted) const;

    std::shared_ptr<const PdfWorkerInput> input_;
    PdfWorkerLimits limits_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::unique_ptr<PdfWorker> opener_; // null while in use
    std::int64_t opened_ = 0;           // what the opener keeps open, once it opened
    std::vector<std::unique_ptr<PdfWorker>> idle_;
    int made_ = 0; // copies made and not ended, idle or at work
    std::deque<std::uint64_t> queue_; // the tickets of those waiting, first asked first
    std::uint64_t nextTicket_ = 0;
    std::atomic<int> waiting_{0};
    std::uint64_t changes_ = 0; // workers given back, ended or made so far
    std::chrono::milliseconds stillBound_; // the longest a wait sees no change
};

} // namespace Platform
