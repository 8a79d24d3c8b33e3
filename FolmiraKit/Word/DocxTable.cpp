// Tables: rows of cells, each cell the text of its paragraphs run together.
// Spans are capped and rows padded to one width; a one-column table becomes
// paragraphs, as its layout carries nothing a paragraph doesn't.

#include "FolmiraKit/Word/DocxLimits.h"
#include "FolmiraKit/Word/DocxReader.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace FolmiraKit::DocxReader {
namespace {

// The runs of a cell's paragraphs, one space between paragraphs. Paragraphs
// of text boxes come through their anchor's paragraph, so they are not
// gathered again here, nor are the copies Word keeps under mc:Fallback.
// A cell holds text only: the pictures its paragraphs place are counted as
// left out of the table (those that can't be drawn were counted as such).
Block::Cell cellRuns(Element tc, Context& context)
{
    Runs collected;
    for (Element p : descendants(tc, "p", {"txbxContent", "Fallback"})) {
        auto saved = std::exchange(context.pieces, {});
        paragraph(p, context);
        auto made = std::exchange(context.pieces, std::move(saved));
        for (auto& piece : made) {
            auto* styled = std::get_if<StyledParagraph>(&piece.value);
            if (!styled) {
                const auto* block = std::get_if<Block>(&piece.value);
                if (const auto* image = block ? block->as<Block::Image>() : nullptr) {
                    ++context.cellPictures;
                    context.pictureBytes -= image->picture.data.size(); // not handed to the document
                }
                continue;
            }
            if (!collected.empty()) collected.emplace_back(" ", false, false);
            std::move(styled->runs.begin(), styled->runs.end(), std::back_inserter(collected));
        }
    }
    return tidied(std::move(collected));
}

std::int64_t span(Element tcPr)
{
    auto value = integerValue(attribute(element(tcPr, "gridSpan"), "val")).value_or(1);
    return std::min(value, Limits::tableColumns);
}

bool allBold(const Block::Row& row)
{
    return std::all_of(row.begin(), row.end(), [](const Block::Cell& cell) {
        return std::all_of(cell.begin(), cell.end(), [](const Run& run) { return run.bold; });
    });
}

} // namespace

void table(Element tbl, Context& context)
{
    auto trs = elements(tbl, "tr");
    if (trs.empty()) return;
    const bool markedHeader = bool(element(element(trs.front(), "trPr"), "tblHeader"));

    std::vector<Block::Row> rows;
    for (Element tr : trs) {
        Block::Row row;
        for (Element tc : elements(tr, "tc")) {
            Element tcPr = element(tc, "tcPr");
            Element vMerge = element(tcPr, "vMerge");
            auto merge = attribute(vMerge, "val");
            bool continuation = vMerge && (!merge || *merge == "continue");
            row.push_back(continuation ? Block::Cell{} : cellRuns(tc, context));
            for (std::int64_t extra = span(tcPr) - 1; extra > 0; --extra) row.emplace_back();
        }
        bool empty = std::all_of(row.begin(), row.end(), [](const Block::Cell& cell) { return cell.empty(); });
        if (!empty) rows.push_back(std::move(row));
    }
    if (rows.empty()) return;

    const bool header = markedHeader || (rows.size() > 1 && allBold(rows.front()));
    std::size_t width = 0;
    for (const auto& row : rows) width = std::max(width, row.size());
    if (width <= Limits::paddedCells / rows.size())
        for (auto& row : rows) row.resize(width);

    if (width == 1) {
        for (auto& row : rows) {
            StyledParagraph styled;
            styled.runs = std::move(row.front());
            styled.size = context.defaultSize;
            context.pieces.push_back(Inference::Piece::paragraph(std::move(styled)));
        }
        return;
    }
    context.pieces.push_back(Inference::Piece::block(Block::table(std::move(rows), header)));
}

} // namespace FolmiraKit::DocxReader
