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

std::vector<std::uint8_t> drawPages(const std::vector<Page>& pages, const Layout& layout, const std::string& title,
                                    PictureCache& pictures, std::string* failure = nullptr)
{
    Platform::PdfWriter writer(title + " (large print)", std::string(Brand::name));
    if (!writer.ok()) {
        if (failure) *failure = writer.failure();
        return {};
    }
    const auto& settings = layout.settings;
    Platform::Font numberFont = settings.font.font(settings.fontSize, settings.highContrast, false);
    const std::size_t total = pages.size();
    for (std::size_t n = 1; n <= total; ++n) {
        checkCancelled();
        writer.beginPage(layout.page);
        for (const Op& op : pages[n - 1]) drawOp(writer, op, pictures);
        if (settings.pageNumbers) {
            Platform::AttributedText label;
            label.append("Page " + std::to_string(n) + " of " + std::to_string(total), numberFont);
            Platform::TextLayout line(label, layout.page.width, {});
            double w = line.lines().front().width;
            writer.drawTextLine(line, 0, {(layout.page.width - w) / 2, 0.75 * layout.margin});
        }
        writer.endPage();
        pictures.pageDone(n - 1, writer);
    }
    auto bytes = writer.finish();
    if (failure && bytes.empty()) *failure = writer.failure();
    return bytes;
}

} // namespace

std::vector<std::uint8_t> drawPDF(const std::vector<Page>& pages, const Layout& layout, const std::string& title)
{
    PictureCache pictures(pages);
    return drawPages(pages, layout, title, pictures);
}

RenderResult render(const BigDocument& document, const LargePrintSettings& settings)
{
    Layout layout(settings.clamped());
    // With pictures off the layout drops and counts them all itself.
    PictureChoice choice = layout.settings.keepImages ? affordablePictures(document.blocks) : PictureChoice{};
    if (!layout.settings.keepImages)
        for (const Block& block : document.blocks) choice.blocks.push_back(&block);
    const auto& blocks = choice.blocks;
    layout.shapeAhead(blocks);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        checkCancelled();
        layout.add(*blocks[i], i + 1 < blocks.size() ? blocks[i + 1] : nullptr);
    }
    std::vector<Page> pages = layout.finish();

    PictureCache pictures(pages);
    RenderResult result;
    std::string failure;
    result.pdf = drawPages(pages, layout, document.title, pictures, &failure);
    result.pageCount = static_cast<int>(pages.size());
    result.notes = notesOf(layout, choice.leftOut + pictures.leftOut());
    if (result.pdf.empty()) result.notes.push_back(failureNote(failure));
    return result;
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
