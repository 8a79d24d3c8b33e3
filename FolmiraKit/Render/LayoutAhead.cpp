// Shaping blocks ahead of placing them, on helper threads.
//
// Blocks are shaped in pieces (a table a few rows at a time, any other block
// whole). Helpers take pieces in document order from a shared counter and put
// each result in the piece's own slot; the layout's thread places the slots in
// order, shaping pieces itself while the one it needs is not ready. Shaping a
// piece gives the same lines on any thread, so the pages are the same
// whatever the thread count.
//
// Pieces are shaped a chunk at a time (about chunkText of text): helpers
// claim pieces of the open chunk only, and the next chunk opens once the
// layout's thread has placed the last piece of this one.
//
// Each helper is a thread of its own for this layout, so its Pango (one font
// map and context per thread) serves this layout alone. Pango objects are
// changed by one thread at a time: while a chunk is being shaped, the
// layout's thread only reads the helpers' line metrics and glyphs, and
// releases none of their layouts. Between chunks every helper waits, its work handed over
// under the lock, and the layout's thread draws the finished pages whose
// text only Pango draws (a glyph no face has, right-to-left text); then the
// next chunk opens and the other pages are drawn from their glyphs alone
// (see TextLayout::needsPango) while the helpers shape it. A piece's text is
// released once the last page showing it is drawn, each helper's on its own
// thread. After the helpers have ended, their layouts belong to the layout's
// thread alone.

#include "FolmiraKit/Render/Layout.h"

#include "FolmiraKit/Model/Cancel.h"
#include "FolmiraKit/Render/LayoutShaper.h"
#include "Platform/TextLayout.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
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
// Helpers shape about this much text ahead of the page being filled: the
// pages it fills are handed on once it is placed, so that a render holds a
// bounded amount of laid-out text (two chunks' worth: one being shaped while
// the pages of the one before are drawn), whatever the document's length.
// A chunk has a piece for every thread, though, however long its pieces.
constexpr std::size_t chunkText = 128 * 1024;

} // namespace

int shapingThreads()
{
    // Without fonts of their own, threads shaping at once could share a face cairo frees.
    if (!Platform::layoutMayUseThreads()) return 1;
    if (int chosen = chosenThreads.load(); chosen > 0) return chosen;
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

void setShapingThreads(int threads) { chosenThreads.store(std::max(0, threads)); }

class Layout::Ahead {
public:
    Ahead(const Layout& layout, std::vector<Piece> pieces, int helpers)
        : pieces_(std::move(pieces)), threads_(static_cast<std::size_t>(helpers) + 1)
    {
        openChunk();
        try {
            spentBy_.resize(static_cast<std::size_t>(helpers));
            // Helpers give up with the layout's thread: a cancel reaches a
            // table's plan while it is being made.
            const CancelFlag* cancel = Platform::currentCancelFlag();
            for (int i = 0; i < helpers; ++i)
                helpers_.emplace_back([this, &layout, i, cancel] {
                    Platform::CancelScope scope(cancel);
                    help(layout, i);
                });
        } catch (const std::system_error&) {
            // No more threads to be had: the ones running and this one do all the work.
        }
    }

    ~Ahead()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        open_.notify_all();
        for (std::thread& helper : helpers_) helper.join();
    }

    Ahead(const Ahead&) = delete;
    Ahead& operator=(const Ahead&) = delete;

    // The shaped piece when `piece` is the next of the pieces, else nothing.
    // Before the first piece of a new chunk, the pages made so far go to
    // `layout`'s sink (see nextChunk).
    std::optional<Shaped> take(const Piece& piece, Shaper& own, Layout& layout)
    {
        if (placed_ >= pieces_.size() || !(piece == pieces_[placed_])) return std::nullopt;
        if (placed_ == chunkEnd_) nextChunk(layout);
        const std::size_t at = placed_++;
        std::unique_lock lock(mutex_);
        while (!slot(at).done) {
            if (next_ < chunkEnd_) {
                const std::size_t claimed = next_++;
                lock.unlock();
                shapeInto(claimed, own);
                lock.lock();
                continue;
            }
            ready_.wait(lock, [&] { return slot(at).done; });
        }
        Slot taken = std::move(slot(at));
        lock.unlock();
        if (taken.failure) std::rethrow_exception(taken.failure);
        return std::move(taken.shaped);
    }

    // Holds a placed piece's text until the sink has had `until` pages, the
    // last that shows it included (see above).
    void keep(Shaped&& shaped, int until) { held_.push_back({until, std::move(shaped)}); }

private:
    struct Held {
        int until = 0; // pages the sink has had before the text goes
        Shaped text;
    };

    // Every helper has finished with the chunk just placed and waits for the
    // next (each piece of it was taken): first the pages that only Pango
    // draws go, then the next chunk opens, and the other pages are drawn from
    // their glyphs while the helpers shape it; last, the text of pages drawn
    // is released.
    void nextChunk(Layout& layout)
    {
        {
            std::unique_lock lock(mutex_);
            released_.wait(lock, [&] { return releasing_ == 0; });
        }
        layout.handOver(layout.upToPangoDrawn());
        {
            std::lock_guard lock(mutex_);
            openChunk();
        }
        open_.notify_all();
        layout.handOver(static_cast<std::size_t>(layout.pageCount() - layout.handedPages()));
        release(layout.handedPages());
    }

    // Releases the text held for no more than `handed` pages: each helper's
    // on its own thread, this thread's here.
    void release(int handed)
    {
        std::vector<Shaped> own;
        {
            std::lock_guard lock(mutex_);
            for (; !held_.empty() && held_.front().until <= handed; held_.pop_front()) {
                Shaped& shaped = held_.front().text;
                if (shaped.helper < 0) {
                    own.push_back(std::move(shaped));
                    continue;
                }
                auto& theirs = spentBy_[static_cast<std::size_t>(shaped.helper)];
                if (theirs.empty()) ++releasing_;
                theirs.push_back(std::move(shaped));
            }
        }
        open_.notify_all();
    }

    struct Slot {
        bool done = false;
        Shaped shaped;
        std::exception_ptr failure;
    };

    // The slots of the next pieces, about chunkText bytes of text (under mutex_).
    void openChunk()
    {
        chunkStart_ = chunkEnd_;
        std::size_t bytes = 0;
        while (chunkEnd_ < pieces_.size() && (chunkEnd_ - chunkStart_ < threads_ || bytes < chunkText))
            bytes += textBytes(pieces_[chunkEnd_++]);
        slots_.clear();
        slots_.resize(chunkEnd_ - chunkStart_);
        next_ = chunkStart_;
    }

    Slot& slot(std::size_t at) { return slots_[at - chunkStart_]; }

    void help(const Layout& layout, int index)
    {
        Shaper shaper(layout);
        auto& spent = spentBy_[static_cast<std::size_t>(index)];
        std::unique_lock lock(mutex_);
        while (true) {
            open_.wait(lock, [&] { return stop_ || next_ < chunkEnd_ || !spent.empty(); });
            if (!spent.empty()) {
                // Its own text of the chunk before, released on its own thread.
                std::vector<Shaped> releasing = std::move(spent);
                spent.clear();
                lock.unlock();
                releasing.clear();
                lock.lock();
                --releasing_;
                released_.notify_all();
                continue;
            }
            if (stop_) break;
            const std::size_t claimed = next_++;
            lock.unlock();
            shapeInto(claimed, shaper, index);
            lock.lock();
        }
    }

    void shapeInto(std::size_t at, Shaper& shaper, int helper = -1)
    {
        Slot made;
        try {
            made.shaped = shaper.shape(pieces_[at]);
            made.shaped.helper = helper;
        } catch (...) {
            made.failure = std::current_exception();
        }
        made.done = true;
        {
            std::lock_guard lock(mutex_);
            slot(at) = std::move(made);
        }
        ready_.notify_all();
    }

    const std::vector<Piece> pieces_;
    const std::size_t threads_;   // the helpers and the layout's thread
    std::vector<Slot> slots_;     // the chunk's pieces; guarded by mutex_
    std::size_t chunkStart_ = 0;  // guarded by mutex_
    std::size_t chunkEnd_ = 0;    // guarded by mutex_; the layout's thread reads it unlocked (only it writes)
    std::size_t next_ = 0;        // the next piece to shape; guarded by mutex_
    std::size_t placed_ = 0;      // the next piece to place (the layout's thread only)
    bool stop_ = false;           // guarded by mutex_
    std::mutex mutex_;
    std::condition_variable ready_; // a slot is done
    std::condition_variable open_;  // a chunk opened, text to release, or the helpers are to stop
    std::condition_variable released_; // a helper released its text
    std::deque<Held> held_;         // placed, in order (the layout's thread only)
    std::vector<std::vector<Shaped>> spentBy_; // per helper, its text to release; guarded by mutex_
    int releasing_ = 0;             // helpers with text to release; guarded by mutex_
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

void Layout::shapeAhead(const std::vector<const Block*>& blocks, int threads)
{
    ahead_.reset();
    std::vector<Piece> pieces;
    std::size_t bytes = 0;
    for (const Block* block : blocks)
        for (const Piece& piece : piecesOf(*block)) {
            pieces.push_back(piece);
            bytes += textBytes(piece);
        }
    // Unless a count was chosen, no more helpers than the text is worth.
    const bool chosen = threads > 0 || chosenThreads.load() > 0;
    if (threads <= 0 || !Platform::layoutMayUseThreads()) threads = shapingThreads();
    std::size_t helpers = static_cast<std::size_t>(std::max(0, threads - 1));
    helpers = std::min(helpers, pieces.size() - std::min<std::size_t>(pieces.size(), 1)); // one piece: no helper
    if (!chosen) helpers = std::min(helpers, bytes / textPerHelper);
    if (helpers > 0) ahead_.reset(new Ahead(*this, std::move(pieces), static_cast<int>(helpers)));
}

void Layout::spend(Shaped&& shaped)
{
    // Its last lines are on the page being filled.
    if (ahead_) ahead_->keep(std::move(shaped), pageCount_ + 1);
}

Layout::Shaped Layout::shaped(const Piece& piece)
{
    if (ahead_) {
        if (auto shaped = ahead_->take(piece, *shaper_, *this)) return std::move(*shaped);
    }
    return shaper_->shape(piece);
}

} // namespace FolmiraKit::Renderer
