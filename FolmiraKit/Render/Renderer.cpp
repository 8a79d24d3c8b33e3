#include "FolmiraKit/Render/Renderer.h"

#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Render/Pictures.h"
#include "Platform/PdfWriter.h"

#include <cmath>

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
                for (int k = 0; k < value.lineCount; ++k)
                    writer.drawTextLine(*value.layout, value.firstLine + k, value.origins[static_cast<std::size_t>(k)]);
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
        for (const Op& op : page) drawOp(writer_, op, pictures_);
        if (layout_.settings.pageNumbers) {
            Platform::AttributedText label;
            label.append("Page " + std::to_string(number) + " of " + std::to_string(total), numberFont_);
            Platform::TextLayout line(label, layout_.page.width, {});
            double w = line.lines().front().width;
            writer_.drawTextLine(line, 0, {(layout_.page.width - w) / 2, 0.75 * layout_.margin});
        }
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
// count is known for the page numbers; a longer document is laid out twice,
// once to count its pages and once to write them as they are made, so that
// its render holds a few pages at a time instead of all of them.
constexpr int heldPages = 64;

// Lays out `blocks` in `layout`, each page going to `sink`.
void layOut(Layout& layout, const std::vector<const Block*>& blocks, Layout::PageSink sink)
{
    layout.setPageSink(std::move(sink));
    layout.shapeAhead(blocks);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        checkCancelled();
        layout.add(*blocks[i], i + 1 < blocks.size() ? blocks[i + 1] : nullptr);
    }
    layout.finish();
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
        auto [index, isNew] = distinct.add(image->picture.data);
        if (isNew) sizes.push_back(Platform::imageInfo(image->picture.data));
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
    const auto& blocks = choice.blocks;

    // The page count first, when the pages are numbered and there are too many to hold.
    int total = 0;
    std::vector<Page> held;
    if (clamped.pageNumbers) {
        Layout counting(clamped);
        bool tooMany = false;
        layOut(counting, blocks, [&](Page&& page) {
            if (tooMany) return;
            if (held.size() < static_cast<std::size_t>(heldPages)) held.push_back(std::move(page));
            else tooMany = true, held.clear();
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
    layOut(layout, blocks, [&](Page&& page) { writer.write(page, ++number, total); });
    return result(layout, writer, pictures, choice.leftOut, layout.pageCount());
}

} // namespace Renderer

RenderResult Folmira::render(const BigDocument& document, const LargePrintSettings& settings, const CancelFlag* cancel)
{
    Platform::CancelScope scope(cancel);
    RenderResult result = Renderer::render(document, settings);
    std::vector<ConversionNote> notes = document.notes;
    notes.insert(notes.end(), result.notes.begin(), result.notes.end());
    result.notes = std::move(notes);
    return result;
}

} // namespace FolmiraKit
