// Shaping blocks ahead of placing them, on helper threads.
//
// Helpers take blocks in document order from a shared counter and put each
// result in the block's own slot; the layout's thread places the slots in
// order, shaping blocks itself while the one it needs is not ready. Shaping a
// block gives the same lines on any thread, so the pages are the same
// whatever the thread count.
//
// Each helper is a thread of its own for this layout, so its Pango (one font
// map and context per thread) serves this layout alone. Once the helpers have
// ended, their layouts are only ever used on the layout's thread, one thread
// at a time as Pango requires; until then the layout's thread reads only their
// line metrics and releases none of them (spent results are kept until the
// helpers are joined).

#include "FolmiraKit/Render/Layout.h"

#include "FolmiraKit/Render/LayoutShaper.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace FolmiraKit::Renderer {
namespace {

std::atomic<int> chosenThreads{0};

// A helper starts with a Pango of its own, which costs about as much as
// shaping a few thousand characters: each is given at least this much text.
constexpr std::size_t textPerHelper = 16 * 1024;

std::size_t textSize(const std::vector<const Block*>& blocks)
{
    std::size_t bytes = 0;
    for (const Block* block : blocks) bytes += block->plainText().size();
    return bytes;
}

} // namespace

int shapingThreads()
{
    if (int chosen = chosenThreads.load(); chosen > 0) return chosen;
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

void setShapingThreads(int threads) { chosenThreads.store(std::max(0, threads)); }

class Layout::Ahead {
public:
    Ahead(const Layout& layout, std::vector<const Block*> blocks, int helpers)
        : blocks_(std::move(blocks)), slots_(blocks_.size())
    {
        try {
            for (int i = 0; i < helpers; ++i) helpers_.emplace_back([this, &layout] { help(layout); });
        } catch (const std::system_error&) {
            // No more threads to be had: the ones running and this one do all the work.
        }
    }

    ~Ahead()
    {
        stop_.store(true);
        for (std::thread& helper : helpers_) helper.join();
    }

    Ahead(const Ahead&) = delete;
    Ahead& operator=(const Ahead&) = delete;

    // The shaped block when `block` is the next of the blocks, else nothing.
    std::optional<Shaped> take(const Block& block, Shaper& own)
    {
        if (placed_ >= blocks_.size() || &block != blocks_[placed_]) return std::nullopt;
        const std::size_t at = placed_++;
        std::unique_lock lock(mutex_);
        while (!slots_[at].done) {
            lock.unlock();
            const std::size_t claimed = next_.fetch_add(1);
            if (claimed < blocks_.size()) {
                shapeInto(claimed, own);
                lock.lock();
                continue;
            }
            lock.lock();
            ready_.wait(lock, [&] { return slots_[at].done; });
        }
        Slot slot = std::move(slots_[at]);
        lock.unlock();
        if (slot.failure) std::rethrow_exception(slot.failure);
        return std::move(slot.shaped);
    }

    // Holds a placed block's text until the helpers are gone (see above).
    void keep(Shaped&& shaped) { spent_.push_back(std::move(shaped)); }

private:
    struct Slot {
        bool done = false;
        Shaped shaped;
        std::exception_ptr failure;
    };

    void help(const Layout& layout)
    {
        Shaper shaper(layout);
        while (!stop_.load()) {
            const std::size_t claimed = next_.fetch_add(1);
            if (claimed >= blocks_.size()) break;
            shapeInto(claimed, shaper);
        }
    }

    void shapeInto(std::size_t at, Shaper& shaper)
    {
        Slot slot;
        try {
            slot.shaped = shaper.shape(*blocks_[at]);
        } catch (...) {
            slot.failure = std::current_exception();
        }
        slot.done = true;
        {
            std::lock_guard lock(mutex_);
            slots_[at] = std::move(slot);
        }
        ready_.notify_all();
    }

    const std::vector<const Block*> blocks_;
    std::vector<Slot> slots_;       // guarded by mutex_
    std::atomic<std::size_t> next_{0}; // the next block to shape
    std::size_t placed_ = 0;        // the next block to place (the layout's thread only)
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<Shaped> spent_;
    std::vector<std::thread> helpers_; // last: joined before anything above goes
};

Layout::~Layout() = default;

void Layout::EndAhead::operator()(Ahead* ahead) const { delete ahead; }

void Layout::shapeAhead(const Blocks& blocks, int threads)
{
    std::vector<const Block*> chosen;
    chosen.reserve(blocks.size());
    for (const Block& block : blocks) chosen.push_back(&block);
    shapeAhead(std::move(chosen), threads);
}

void Layout::shapeAhead(std::vector<const Block*> blocks, int threads)
{
    ahead_.reset();
    // Unless a count was chosen, no more helpers than the text is worth.
    const bool chosen = threads > 0 || chosenThreads.load() > 0;
    if (threads <= 0) threads = shapingThreads();
    std::size_t helpers = static_cast<std::size_t>(std::max(0, threads - 1));
    helpers = std::min(helpers, blocks.size() - std::min<std::size_t>(blocks.size(), 1)); // one block: no helper
    if (!chosen) helpers = std::min(helpers, textSize(blocks) / textPerHelper);
    if (helpers > 0) ahead_.reset(new Ahead(*this, std::move(blocks), static_cast<int>(helpers)));
}

void Layout::spend(Shaped&& shaped)
{
    if (ahead_) ahead_->keep(std::move(shaped));
}

Layout::Shaped Layout::shaped(const Block& block)
{
    if (ahead_) {
        if (auto shaped = ahead_->take(block, *shaper_)) return std::move(*shaped);
    }
    return shaper_->shape(block);
}

} // namespace FolmiraKit::Renderer
