#include "FolmiraKit/Render/Renderer.h"

#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Render/Pictures.h"
#include "Platform/PdfWriter.h"
#include "Platform/Text.h"

#include <malloc.h>

#include <cmath>
#include <deque>
#include <optional>
#include <unordered_set>

namespace FolmiraKit {
namespace Renderer {
namespace {

// `overBudget`: pictures left out because together they were too large to
// draw. With pictures off there are none of those, so one note says either.
std::vector<ConversionNote> notesOf(const Layout& layout, int overBudget)
{
    std::vector<ConversionNote> notes;
    auto count = [](int n) { return std::to_string(n); };
    if (int n = layout.droppedImages(); n >= 1)
        notes.emplace_back(ConversionNote::Kind::info,
                           count(n) + " picture" + (n == 1 ? " was" : "s were") + " left out (Pictures is off).");
    else if (int n = overBudget; n >= 1)
        notes.emplace_back(ConversionNote::Kind::info,
                           count(n) + " picture" + (n == 1 ? " was" : "s were") +
                               " left out: the document’s pictures are too large to draw all at once.");
    if (int n = layout.listedTables(); n >= 1) {
        if (layout.settings.tables == LargePrintSettings::TableMode::automatic) {
            long long points = static_cast<long long>(std::trunc(layout.settings.fontSize));
            notes.emplace_back(ConversionNote::Kind::info,
                               count(n) + " table" + (n == 1 ? " was" : "s were") + " too wide for "
                                   + std::to_string(points) + " pt, so " + (n == 1 ? "its" : "their")
                                   + " rows are listed one under another.");
        } else {
            notes.emplace_back(ConversionNote::Kind::info,
                               count(n) + " table" + (n == 1 ? " is" : "s are") + " listed row by row.");
        }
    }
    return notes;
}

// What the user reads when no PDF came out of a render.
ConversionNote failureNote(const std::string& reason)
{
    return ConversionNote(ConversionNote::Kind::warning,
                          "The large-print PDF could not be written (" + (reason.empty() ? "unknown error" : reason) +
                              "), so there is nothing to show, save or print.");
}

void drawOp(Platform::PdfWriter& writer, const Op& op, PictureCache& pictures)
{
    std::visit(
        [&](const auto& value) {
            using Case = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Case, Op::Text>) {
                // drawn with the page's other lines (PageWriter::write)
            } else if constexpr (std::is_same_v<Case, Op::Image>) {
                if (auto image = pictures.image(value)) writer.drawImage(*image, value.rect);
            } else if constexpr (std::is_same_v<Case, Op::Line>) {
                writer.strokeLine(value.from, value.to, value.width);
            } else if constexpr (std::is_same_v<Case, Op::Box>) {
                writer.strokeRect(value.rect, value.width);
            } else {
                writer.fillRect(value.rect, Platform::Color::grey(value.grey));
            }
        },
        op.value());
}

// Writes pages into one PDF as they come: each page's drawing goes out as
// soon as it is done, so only the PDF's bytes grow with the document.
class PageWriter {
public:
    PageWriter(const Layout& layout, const std::string& title, PictureCache& pictures)
        : writer_(title + " (large print)", std::string(Brand::name)), layout_(layout), pictures_(pictures),
          numberFont_(layout.settings.font.font(layout.settings.fontSize, layout.settings.highContrast, false))
    {
    }

    // Page `number` of `total` (the number line is drawn only when page
    // numbers are on).
    void write(const Page& page, int number, int total)
    {
        checkCancelled();
        writer_.beginPage(layout_.page);
        // The page's text goes out in one text operation per face, after its
        // rules, boxes, fills and pictures, which no text lies under.
        std::vector<Platform::PdfWriter::PlacedLine> lines;
        for (const Op& op : page) {
            const auto* text = op.as<Op::Text>();
            if (!text) {
                drawOp(writer_, op, pictures_);
                continue;
            }
            for (int k = 0; k < text->lineCount; ++k)
                lines.push_back({text->layout.get(), text->firstLine + k, text->origins[static_cast<std::size_t>(k)]});
        }
        std::optional<Platform::TextLayout> label;
        if (layout_.settings.pageNumbers) {
            Platform::AttributedText words;
            words.append("Page " + std::to_string(number) + " of " + std::to_string(total), numberFont_);
            label.emplace(words, layout_.page.width, Platform::ParagraphFormat{});
            double w = label->lines().front().width;
            lines.push_back({&*label, 0, {(layout_.page.width - w) / 2, 0.75 * layout_.margin}});
        }
        writer_.drawTextLines(lines, Platform::Color{});
        writer_.endPage();
        pictures_.pageDone(writer_);
    }

    // The PDF's bytes; empty, with `failure` saying why, when it could not be written.
    std::vector<std::uint8_t> finish(std::string& failure)
    {
        auto bytes = writer_.finish();
        if (bytes.empty()) failure = writer_.failure();
        return bytes;
    }

private:
    Platform::PdfWriter writer_;
    const Layout& layout_;
    PictureCache& pictures_;
    Platform::Font numberFont_;
};

// The outcome of a render whose pages are all written.
RenderResult result(const Layout& layout, PageWriter& writer, const PictureCache& pictures, int leftOut, int pages)
{
    RenderResult out;
    std::string failure;
    out.pdf = writer.finish(failure);
    out.pageCount = pages;
    out.notes = notesOf(layout, leftOut + pictures.leftOut());
    if (out.pdf.empty()) out.notes.push_back(failureNote(failure));
    return out;
}

// A document's pages up to this many are laid out once and held until their
// count is known for the page numbers (their drawing is some 70 KB a page, so
// at most about 30 MB); a longer document is laid out twice, once to count its
// pages and once to write them as they are made, so that its render holds a
// few pages at a time instead of all of them. Most documents stay under it,
// and a second layout would cost them half as much time again.
constexpr int heldPages = 400;

// Lays out `blocks` in `layout`, each page going to `sink`; `plans` are the
// render's table plans, made once for both its layouts.
void layOut(Layout& layout, const std::vector<const Block*>& blocks, const std::unordered_set<const Block*>& continuations,
            const std::shared_ptr<Layout::TablePlans>& plans, Layout::PageSink sink)
{
    layout.setContinuations(continuations);
    layout.setTablePlans(plans);
    layout.setPageSink(std::move(sink));
    layout.shapeAhead(blocks);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        checkCancelled();
        layout.add(*blocks[i], i + 1 < blocks.size() ? blocks[i + 1] : nullptr);
    }
    layout.finish();
}

// A paragraph is broken into lines whole, and its lines are held until its
// last page is written: one of many megabytes (a text file without a blank
// line) is laid out in pieces of about this many bytes instead, cut after a
// space (or, in a run without one, at a grapheme boundary), each piece going
// on from the one before. Only the line at each cut ends early.
constexpr std::size_t paragraphPiece = 64 * 1024;

// Where to cut `text` near `at`: after the first space in the next 4 KB, else
// at the last grapheme boundary before `at`.
std::size_t cutNear(const std::string& text, std::size_t at)
{
    std::size_t space = text.find(' ', at);
    if (space != std::string::npos && space - at < 4096) return space + 1;
    std::size_t window = at > 64 ? at - 64 : 0;
    while (window > 0 && (static_cast<unsigned char>(text[window]) & 0xC0) == 0x80) --window;
    std::size_t cut = at, offset = 0;
    bool first = true;
    for (std::string_view character : Platform::Text::characters(std::string_view(text).substr(window, at - window))) {
        if (!first) cut = window + offset;
        first = false;
        offset += character.size();
    }
    return cut > 0 ? cut : at;
}

// `blocks` with every paragraph longer than paragraphPiece cut into pieces,
// made in `pieces`; `continuations` gets every piece but the first.
std::vector<const Block*> cutLongParagraphs(const std::vector<const Block*>& blocks, std::deque<Block>& pieces,
                                            std::unordered_set<const Block*>& continuations)
{
    std::vector<const Block*> out;
    out.reserve(blocks.size());
    for (const Block* block : blocks) {
        const auto* paragraph = block->as<Block::Paragraph>();
        std::size_t bytes = 0;
        if (paragraph)
            for (const Run& run : paragraph->runs) bytes += run.text.size();
        if (bytes <= paragraphPiece) {
            out.push_back(block);
            continue;
        }
        Runs piece;
        std::size_t filled = 0;
        bool first = true;
        auto close = [&] {
            pieces.push_back(Block::paragraph(std::move(piece), paragraph->lineBreaks));
            if (!first) continuations.insert(&pieces.back());
            out.push_back(&pieces.back());
            piece = Runs();
            filled = 0;
            first = false;
        };
        for (const Run& run : paragraph->runs) {
            if (filled >= paragraphPiece) close();
            std::size_t from = 0;
            while (run.text.size() - from > paragraphPiece - filled) {
                std::size_t cut = cutNear(run.text, from + (paragraphPiece - filled));
                if (cut <= from || cut >= run.text.size()) break;
                piece.emplace_back(run.text.substr(from, cut - from), run.bold, run.italic);
                close();
                from = cut;
            }
            if (from < run.text.size()) {
                piece.emplace_back(run.text.substr(from), run.bold, run.italic);
                filled += run.text.size() - from;
            }
        }
        if (!piece.empty()) close();
    }
    return out;
}

// Every use of a picture that the layout of `blocks` will draw.
void planPictures(const Layout& layout, const std::vector<const Block*>& blocks, PictureCache& pictures)
{
    if (!layout.settings.keepImages) return;
    DistinctBytes distinct;
    std::vector<std::optional<Platform::ImageInfo>> sizes;
    for (const Block* block : blocks) {
        const auto* image = block->as<Block::Image>();
        if (!image) continue;
        auto [index, isNew] = distinct.add(image->picture.data.view());
        if (isNew) sizes.push_back(Platform::imageInfo(*image->picture.data.bytes()));
        if (const auto& pixels = sizes[index]) pictures.plan(image->picture.data, layout.pictureSize(image->picture, *pixels));
    }
}

} // namespace

std::vector<std::uint8_t> drawPDF(const std::vector<Page>& pages, const Layout& layout, const std::string& title)
{
    PictureCache pictures(pages);
    PageWriter writer(layout, title, pictures);
    const int total = static_cast<int>(pages.size());
    for (int n = 1; n <= total; ++n) writer.write(pages[static_cast<std::size_t>(n - 1)], n, total);
    std::string failure;
    return writer.finish(failure);
}

RenderResult render(const BigDocument& document, const LargePrintSettings& settings)
{
    const LargePrintSettings clamped = settings.clamped();
    // With pictures off the layout drops and counts them all itself.
    PictureChoice choice = clamped.keepImages ? affordablePictures(document.blocks) : PictureChoice{};
    if (!clamped.keepImages)
        for (const Block& block : document.blocks) choice.blocks.push_back(&block);
    std::deque<Block> pieces;
    std::unordered_set<const Block*> continuations;
    const auto blocks = cutLongParagraphs(choice.blocks, pieces, continuations);
    auto plans = std::make_shared<Layout::TablePlans>();

    // The page count first, when the pages are numbered and there are too many to hold.
    int total = 0;
    std::vector<Page> held;
    if (clamped.pageNumbers) {
        Layout counting(clamped);
        bool tooMany = false;
        layOut(counting, blocks, continuations, plans, [&](Page&& page) {
            if (tooMany) return;
            if (held.size() < static_cast<std::size_t>(heldPages)) held.push_back(std::move(page));
            else tooMany = true, held.clear(), counting.onlyCount();
        });
        total = counting.pageCount();
        if (!tooMany) {
            PictureCache pictures(held);
            PageWriter writer(counting, document.title, pictures);
            for (int n = 1; n <= total; ++n) writer.write(held[static_cast<std::size_t>(n - 1)], n, total);
            held.clear();
            return result(counting, writer, pictures, choice.leftOut, total);
        }
    }

    Layout layout(clamped);
    PictureCache pictures;
    planPictures(layout, blocks, pictures);
    PageWriter writer(layout, document.title, pictures);
    int number = 0;
    layOut(layout, blocks, continuations, plans, [&](Page&& page) { writer.write(page, ++number, total); });
    return result(layout, writer, pictures, choice.leftOut, layout.pageCount());
}

} // namespace Renderer

RenderResult Folmira::render(const BigDocument& document, const LargePrintSettings& settings, const CancelFlag* cancel)
{
    Platform::CancelScope scope(cancel);
    RenderResult result = Renderer::render(document, settings);
    // The layout's pages and its shaping threads' heaps are freed: given back,
    // they are not held beside the document and its copy while both are shown.
    malloc_trim(0);
    std::vector<ConversionNote> notes = document.notes;
    notes.insert(notes.end(), result.notes.begin(), result.notes.end());
    result.notes = std::move(notes);
    return result;
}

} // namespace FolmiraKit
