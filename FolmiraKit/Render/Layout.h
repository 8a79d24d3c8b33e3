#pragma once

// The large-print layout: blocks in, pages of drawing operations out, for one
// column of text in large type. One Layout belongs to one render on one thread:
// it is made from the already clamped settings, fed every block in document
// order (each with the block after it as a look-ahead), finished once, then
// read for its geometry and counts.
//
// Each block goes through two steps, a table a piece of rows at a time.
// Shaping builds its text and breaks it into lines (a table's plan made once,
// for all its pieces); it depends only on the settings and the block, never
// on where the block lands, so it may run ahead on other threads
// (shapeAhead). Placing deals the shaped lines out to pages, in order, on the
// layout's own thread.

#include "FolmiraKit/Model/Block.h"
#include "FolmiraKit/Render/LargePrintSettings.h"
#include "FolmiraKit/Render/RenderOp.h"
#include "Platform/TextLayout.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <optional>
#include <vector>

namespace FolmiraKit::Renderer {

// The threads a render shapes its text on: min(cores, 4), fewer for a short
// text (a thread costs a Pango of its own to start), unless set to a number of
// its own (at least 1), which is then used as it is; setting 0 goes back to
// the default. One, whatever is set, where layout may not use threads
// (Platform::layoutMayUseThreads).
int shapingThreads();
void setShapingThreads(int threads);

class Layout {
public:
    explicit Layout(const LargePrintSettings& settings);
    ~Layout();
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    // Lets up to `threads` threads (this one included; 0: as shapingThreads
    // says) shape `blocks` ahead of add(), which is then given those very
    // blocks, in order (any other block is shaped when it is added). The pages
    // come out the same whatever the thread count. `blocks` must outlive
    // finish().
    void shapeAhead(const Blocks& blocks, int threads = 0);
    // The same for a chosen few of a document's blocks (the pointers are kept;
    // the blocks must outlive finish()).
    void shapeAhead(const std::vector<const Block*>& blocks, int threads = 0);
    // Lays out one block; `next` is the block after it, or null for the last.
    void add(const Block& block, const Block* next);
    // Closes the current page and gives every page, in order (at least one),
    // or none when the pages went to a sink.
    std::vector<Page> finish();

    // Hands every finished page to `sink`, in order, instead of keeping it, so
    // that a render holds a few pages at a time. Pages are handed over on this
    // thread between chunks of text shaped ahead (they hold the helpers' text;
    // see LayoutAhead.cpp), so they may come a little after they are
    // finished; the last ones during finish().
    // Set before the first add.
    using PageSink = std::function<void(Page&&)>;
    void setPageSink(PageSink sink) { sink_ = std::move(sink); }
    // The pages finished so far, handed over or not.
    int pageCount() const { return pageCount_; }
    // From now on the pages are only counted, never drawn: the cells of a
    // table's grid are left unshaped (its rows keep their planned heights),
    // and the lines of a listed table are taken from the same lines met
    // before wherever they are sure to come out alike, so the pages come out
    // as many, without that text. Any thread may call it.
    void onlyCount() { counting_ = true; }

    // Paragraph blocks that go on from the block before them, pieces of one
    // paragraph too long to lay out at once (see Renderer::render): no space
    // between them, and no page break before one while a line fits. The
    // pointers are kept; set before the first add.
    void setContinuations(std::unordered_set<const Block*> continuations) { continuations_ = std::move(continuations); }

    // The size a picture of `pixels` is drawn at, wherever it lands.
    Platform::Size pictureSize(const Picture& picture, Platform::ImageInfo pixels) const;

    // Geometry, in points, fixed by the settings.
    const LargePrintSettings settings; // clamped
    const Platform::Size page;        // the paper
    const double margin;              // on all four sides
    const double size;                // body type size
    const double left;                // the text column's left edge
    const double width;               // the text column's width
    const double top;                 // the top of the text area
    const double bottom;              // the bottom of the text area (above the page number)

    int droppedImages() const { return droppedImages_; } // left out: pictures are off
    int listedTables() const { return listedTables_; }   // laid out row by row

    // The state of the page being filled (the layout fills downwards).
    double cursor() const { return cursor_; }
    bool fresh() const { return fresh_; }
    const std::vector<Op>& ops() const { return ops_; }

    // Text about to be flowed: styled text, how its lines sit, and their pitch.
    struct Paragraph {
        Platform::AttributedText text;
        Platform::ParagraphFormat format;
        double lineHeight = 0; // fixed distance between baselines
    };

    // A paragraph broken into lines, ready to be dealt out to frames.
    struct Flow {
        std::shared_ptr<const Platform::TextLayout> layout; // null when there is no text
        double lineHeight = 0;                              // fixed distance between baselines
        double indent = 0;                                  // from the column's left edge
        double measure = 0;                                 // the width its lines were broken at
        bool separated = false; // a listed table row with rows after it: a short rule follows
        // Parts of one listed row: a part goes on from the part before it, as
        // its next line would, and is continued by the part after it.
        bool continuing = false;
        bool continued = false;
    };
    // How a whole table is laid out, decided once before any of it is placed:
    // listed row by row, or a grid with these column widths and row heights.
    struct TablePlan {
        bool listed = false;
        bool header = false;         // a grid's row 0 is a header, repeated on every page the table reaches
        bool rightToLeft = false;    // its first column at the right
        std::vector<double> columns; // none: a table without cells, drawn as nothing
        std::vector<double> heights; // per row
    };
    // Plans made once per table and shared by every thread shaping its pieces,
    // and by the layouts of one render (a render may lay out twice). Thread-safe.
    class TablePlans;
    // Hands the layout plans to share (set before shapeAhead and the first add).
    void setTablePlans(std::shared_ptr<TablePlans> plans);

    // A table is shaped and placed in pieces of rows, each shaped on any
    // thread and let go once placed, so that a table costs what its text does;
    // any other block is one piece.
    struct Piece {
        const Block* block = nullptr;
        std::size_t first = 0; // rows [first, end) of a table
        std::size_t end = 0;
        // Cells [from, to) of each row: a row of much text comes in parts
        // (which only a listed table lays out apart).
        std::size_t from = 0;
        std::size_t to = static_cast<std::size_t>(-1);
        bool operator==(const Piece&) const = default;
    };

    // Rows [first, ...) of a table planned as a grid: the cells' lines (null for
    // a cell without text), and the header row's for repeating it at the top
    // of a page.
    struct Grid {
        using Cells = std::vector<std::shared_ptr<const Platform::TextLayout>>;
        std::shared_ptr<const TablePlan> plan;
        std::size_t first = 0;
        std::vector<Cells> rows;
        Cells header; // the header row's cells (a grid with a header only)
    };
    // All a block needs of text, shaped.
    struct Shaped {
        std::vector<Flow> flows;   // heading, paragraph, list item: one; listed table: one per row with text
        std::optional<Grid> grid;  // rows of a table that fits as a grid
        bool listed = false;       // rows of a table listed row by row
        int helper = -1;           // the helper thread that shaped it (-1: the layout's own)
    };

    class Shaper; // shapes blocks on one thread (LayoutShaper.h)

private:
    // The pieces `block` is shaped in, in order.
    static std::vector<Piece> piecesOf(const Block& block);
    // The bytes of text of a piece.
    static std::size_t textBytes(const Piece& piece);

    class Ahead; // blocks being shaped on helper threads (LayoutAhead.cpp)
    struct EndAhead {
        void operator()(Ahead* ahead) const; // stops and joins the helpers
    };

    // The piece shaped ahead, or shaped now when it was not.
    Shaped shaped(const Piece& piece);
    // Lets go of a placed block's text (later when helpers may still be shaping).
    void spend(Shaped&& shaped);

    // Page handling.
    void newPage();
    // Hands the finished page on (to the sink, the pages held for it, or pages_).
    void deliver(Page&& page);
    // Hands the first `count` pages held for the sink over. A page whose
    // text only Pango draws (see TextLayout::needsPango) only while no helper
    // shapes: the others are drawn from their glyphs alone.
    void handOver(std::size_t count);
    // How many of the pages held for the sink come up to the last one whose
    // text only Pango draws (0: none).
    std::size_t upToPangoDrawn() const;
    int handedPages() const { return pageCount_ - static_cast<int>(pending_.size()); }
    // Deals the lines of `flow` out to frames, as many pages as they need,
    // keeping `keep` points of room below them on the same page.
    // `continuing` text goes on from the text above it: it breaks a page only
    // where no line fits.
    void flowText(double keep, const Flow& flow, bool continuing = false);

    // Blocks.
    void heading(const Block::Heading& heading, const Shaped& shaped, const Block* next);
    void paragraph(const Shaped& shaped, bool continuing, bool continued);
    void listItem(const Shaped& shaped, const Block* next);
    void table(const Block& block);
    void picture(const Picture& picture);
    void rule();

    // Tables (LayoutTable.cpp).
    void tableGrid(const Grid& grid);
    void tableAsList(const std::vector<Flow>& rows);

    std::vector<Page> pages_;
    std::unordered_set<const Block*> continuations_;
    PageSink sink_;
    std::vector<Page> pending_; // finished, not yet handed to the sink
    int pageCount_ = 0;
    std::vector<Op> ops_;
    // Each distinct picture's bytes once, with its pixel size (none: undecodable).
    struct KnownPicture {
        PictureData data;
        std::optional<Platform::ImageInfo> pixels;
    };
    std::unordered_multimap<std::size_t, KnownPicture> pictures_; // by hash of the bytes
    double cursor_;
    bool fresh_ = true;
    int droppedImages_ = 0;
    int listedTables_ = 0;
    std::shared_ptr<TablePlans> plans_;
    std::atomic<bool> counting_{false};
    std::unique_ptr<Shaper> shaper_; // this thread's
    std::unique_ptr<Ahead, EndAhead> ahead_;
};

// Each table's plan, made by the first thread that asks for it while any
// other asking waits.
class Layout::TablePlans {
public:
    using Make = std::function<TablePlan()>;
    std::shared_ptr<const TablePlan> get(const Block::Table& table, const Make& make);

private:
    std::mutex mutex_;
    std::condition_variable made_;
    std::unordered_map<const Block::Table*, std::shared_ptr<const TablePlan>> plans_; // null while being made
};

} // namespace FolmiraKit::Renderer
