#include "FolmiraKit/Render/Renderer.h"

#include "FolmiraKit/Model/Folmira.h"
#include "Platform/PdfWriter.h"

#include <cmath>

namespace FolmiraKit {
namespace Renderer {
namespace {

std::vector<ConversionNote> notesOf(const Layout& layout)
{
    std::vector<ConversionNote> notes;
    auto count = [](int n) { return std::to_string(n); };
    if (int n = layout.droppedImages(); n >= 1)
        notes.emplace_back(ConversionNote::Kind::info,
                           count(n) + " picture" + (n == 1 ? " was" : "s were") + " left out (Pictures is off).");
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

void drawOp(Platform::PdfWriter& writer, const Op& op)
{
    std::visit(
        [&](const auto& value) {
            using Case = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Case, Op::Text>) {
                for (int k = 0; k < value.lineCount; ++k)
                    writer.drawTextLine(*value.layout, value.firstLine + k, value.origins[static_cast<std::size_t>(k)]);
            } else if constexpr (std::is_same_v<Case, Op::Image>) {
                // Decoded only now; the writer lets go of the pixels once the page is written.
                if (auto image = Platform::Image::decode(*value.data)) writer.drawImage(*image, value.rect);
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

} // namespace

std::vector<std::uint8_t> drawPDF(const std::vector<Page>& pages, const Layout& layout, const std::string& title)
{
    Platform::PdfWriter writer(title + " (large print)", std::string(Brand::name));
    if (!writer.ok()) return {};
    const auto& settings = layout.settings;
    Platform::Font numberFont = settings.font.font(settings.fontSize, settings.highContrast, false);
    const std::size_t total = pages.size();
    for (std::size_t n = 1; n <= total; ++n) {
        writer.beginPage(layout.page);
        for (const Op& op : pages[n - 1]) drawOp(writer, op);
        if (settings.pageNumbers) {
            Platform::AttributedText label;
            label.append("Page " + std::to_string(n) + " of " + std::to_string(total), numberFont);
            Platform::TextLayout line(label, layout.page.width, {});
            double w = line.lines().front().width;
            writer.drawTextLine(line, 0, {(layout.page.width - w) / 2, 0.75 * layout.margin});
        }
        writer.endPage();
    }
    return writer.finish();
}

RenderResult render(const BigDocument& document, const LargePrintSettings& settings)
{
    Layout layout(settings.clamped());
    const auto& blocks = document.blocks;
    layout.shapeAhead(blocks);
    for (std::size_t i = 0; i < blocks.size(); ++i) layout.add(blocks[i], i + 1 < blocks.size() ? &blocks[i + 1] : nullptr);
    std::vector<Page> pages = layout.finish();

    RenderResult result;
    result.pdf = drawPDF(pages, layout, document.title);
    result.pageCount = static_cast<int>(pages.size());
    result.notes = notesOf(layout);
    return result;
}

} // namespace Renderer

RenderResult Folmira::render(const BigDocument& document, const LargePrintSettings& settings)
{
    RenderResult result = Renderer::render(document, settings);
    std::vector<ConversionNote> notes = document.notes;
    notes.insert(notes.end(), result.notes.begin(), result.notes.end());
    result.notes = std::move(notes);
    return result;
}

} // namespace FolmiraKit
