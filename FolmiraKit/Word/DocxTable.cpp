// Tables: rows of cells, each cell the text of its paragraphs, one line each.
// Spans are capped and rows padded to one width. A one-column table (a box
// around text, or a column of rows) carries nothing its content doesn't: it
// is read as the paragraphs, pictures and tables it holds.

#include "FolmiraKit/Word/DocxLimits.h"
#include "FolmiraKit/Word/DocxReader.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace FolmiraKit::DocxReader {
namespace {

// The runs of a cell's paragraphs, a line break between paragraphs. Paragraphs
// of text boxes come through their anchor's paragraph, so they are not
// gathered again here, nor are the copies Word keeps under mc:Fallback.
// A cell holds text only: the pictures its paragraphs place are counted as
// left out of the table (those that can't be drawn were counted as such).
Block::Cell cellRuns(Element tc, Context& context)
{
    Runs collected;
    for (Element p : descendants(tc, "p", {"txbxContent", "Fallback", "moveFrom", "del"})) {
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
            if (!collected.empty()) collected.emplace_back("\n", false, false);
            std::move(styled->runs.begin(), styled->runs.end(), std::back_inserter(collected));
        }
    }
    return tidied(std::move(collected));
}

// The rows of a table or the cells of a row: `name`d children, and those that
// a content control, custom XML or a tracked insertion or move wraps.
void gather(Element parent, std::string_view name, std::vector<Element>& out)
{
    // Recursion as deep as the XML, which the parser bounds.
    for (Element e : parent.children()) {
        std::string_view local = e.localName();
        if (local == name)
            out.push_back(e);
        else if (local == "sdt")
            gather(element(e, "sdtContent"), name, out);
        else if (local == "customXml" || local == "ins" || local == "moveTo")
            gather(e, name, out);
    }
}

std::vector<Element> contained(Element parent, std::string_view name)
{
    std::vector<Element> out;
    gather(parent, name, out);
    return out;
}

std::int64_t span(Element tcPr)
{
    auto value = integerValue(attribute(element(tcPr, "gridSpan"), "val")).value_or(1);
    return std::min(value, Limits::tableColumns);
}

// The cells a row takes, spans counted.
std::int64_t rowWidth(Element tr)
{
    std::int64_t width = 0;
    for (Element tc : contained(tr, "tc")) width += std::max<std::int64_t>(span(element(tc, "tcPr")), 1);
    return width;
}

bool isContinuation(Element tcPr)
{
    Element vMerge = element(tcPr, "vMerge");
    auto merge = attribute(vMerge, "val");
    return vMerge && (!merge || *merge == "continue");
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
    auto trs = contained(tbl, "tr");
    if (trs.empty()) return;
    const bool markedHeader = bool(element(element(trs.front(), "trPr"), "tblHeader"));
    if (std::all_of(trs.begin(), trs.end(), [](Element tr) { return rowWidth(tr) <= 1; })) {
        for (Element tr : trs)
            for (Element tc : contained(tr, "tc"))
                if (!isContinuation(element(tc, "tcPr"))) walkBody(tc, context);
        return;
    }

    std::vector<Block::Row> rows;
    for (Element tr : trs) {
        Block::Row row;
        for (Element tc : contained(tr, "tc")) {
            Element tcPr = element(tc, "tcPr");
            row.push_back(isContinuation(tcPr) ? Block::Cell{} : cellRuns(tc, context));
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

    context.pieces.push_back(Inference::Piece::block(Block::table(std::move(rows), header)));
}

} // namespace FolmiraKit::DocxReader
