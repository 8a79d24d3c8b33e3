// Walks the importer's paragraphs in order. Ordinary paragraphs become styled
// paragraphs for inference; table cells are gathered into a pending table that
// the first paragraph outside it (or the end) turns into one table block;
// pictures become image blocks beside the paragraph that held them.

#include "FolmiraKit/Readers/RichTextReader.h"

#include "FolmiraKit/Readers/Inference.h"
#include "FolmiraKit/Readers/ReaderNotes.h"
#include "Platform/Images.h"
#include "Platform/Regex.h"
#include "Platform/Text.h"

#include <array>
#include <map>
#include <optional>

namespace FolmiraKit {

namespace RT = Platform::RichText;
namespace Text = Platform::Text;
using Piece = Inference::Piece;

namespace {

constexpr std::string_view objectReplacement = "\uFFFC";

struct RangeRuns {
    Runs runs;
    double size = 0;  // the point size carrying the most visible characters; 0 when none
    std::vector<Picture> leading;
    std::vector<Picture> trailing;
};

std::optional<Picture> attachmentPicture(const RT::Attachment& attachment)
{
    auto info = Platform::imageInfo(attachment.data);
    if (!info) return std::nullopt;
    double width = attachment.width > 0 ? attachment.width : info->width;
    double height = attachment.height > 0 ? attachment.height : info->height;
    return Picture{attachment.data, width, height, ""};
}

RangeRuns richTextRuns(const RT::Paragraph& paragraph)
{
    RangeRuns out;
    std::map<double, long long> totals;
    bool sawText = false;  // whether the runs so far hold more than spaces and tabs
    for (const RT::Span& span : paragraph.spans) {
        std::string text = span.text;
        if (span.attachment) {
            if (auto picture = attachmentPicture(*span.attachment))
                (sawText ? out.trailing : out.leading).push_back(std::move(*picture));
            Text::replaceAll(text, objectReplacement, "");
            if (text.empty()) continue;
        }
        bool bold = false, italic = false;
        if (span.font) {
            std::string name = Text::lowercased(span.font->name);
            bold = span.font->bold || Text::contains(name, "bold") || Text::contains(name, "black") ||
                   Text::contains(name, "heavy");
            italic = span.font->italic || Text::contains(name, "italic") || Text::contains(name, "oblique");
        }
        Text::replaceAll(text, objectReplacement, "");
        const bool visible = !Text::trimSpacesTabs(text).empty();
        if (span.font && visible) totals[span.font->pointSize] += Text::characterCount(text);
        sawText = sawText || visible;
        out.runs.emplace_back(std::move(text), bold, italic);
    }
    long long best = 0;
    for (auto [size, count] : totals)
        if (count > best) best = count, out.size = size;
    return out;
}

// Removes the marker the importer left at the front of a list item's text,
// such as "\t•\t" or "1.\t".
void stripTypedListMarker(Runs& runs)
{
    static const Platform::Regex typedMarker("^\\t?[^\\t\\n]{1,8}\\t");
    std::string text = plain(runs);
    auto match = typedMarker.firstMatch(text);
    if (!match) return;
    int remaining = Text::characterCount(match->text(0));
    for (Run& run : runs) {
        if (remaining <= 0) break;
        int length = Text::characterCount(run.text);
        int cut = std::min(remaining, length);
        run.text = std::string(Text::dropFirst(run.text, cut));
        remaining -= cut;
    }
}

std::string listMarker(const RT::Paragraph& paragraph)
{
    const RT::TextList& list = paragraph.textLists.back();
    std::string text = list.marker(paragraph.itemNumber);
    if (!text.empty()) {
        std::string_view last = Text::lastCharacter(text);
        if (Text::isLetter(last) || Text::isNumber(last)) text += ".";
    }
    static constexpr std::array<std::string_view, 7> bullets = {"{disc}", "{circle}", "{square}", "{hyphen}",
                                                                 "{diamond}", "{box}", "{check}"};
    for (std::string_view bullet : bullets)
        if (Text::contains(list.markerFormat, bullet)) return "•";
    return text;
}

class Walker {
public:
    std::vector<Piece> walk(const RT::Document& document)
    {
        for (const RT::Paragraph& paragraph : document.paragraphs) {
            // An empty cell still belongs to its table: only an empty paragraph
            // outside a table separates two tables.
            if (paragraph.cell) {
                tableCell(paragraph, *paragraph.cell);
                continue;
            }
            flushTable();
            if (paragraph.spans.empty() || paragraph.text().empty()) continue;
            textParagraph(paragraph);
        }
        flushTable();
        return std::move(pieces_);
    }

private:
    void textParagraph(const RT::Paragraph& paragraph)
    {
        RangeRuns range = richTextRuns(paragraph);
        for (Picture& picture : range.leading) pieces_.push_back(Piece::block(Block::image(std::move(picture))));

        StyledParagraph styled;
        styled.runs = std::move(range.runs);
        styled.size = range.size;
        if (!paragraph.textLists.empty()) {
            std::string marker = listMarker(paragraph);
            stripTypedListMarker(styled.runs);
            styled.list = StyledParagraph::ListLabel{std::move(marker),
                                                     static_cast<int>(paragraph.textLists.size()) - 1};
        }
        std::string text = plain(styled.runs);
        if (Text::contains(text, "\n") || Text::contains(text, "\u2028")) {
            for (Run& run : styled.runs) Text::replaceAll(run.text, "\u2028", "\n");
            styled.lineBreaks = true;
        }
        if (!Text::trimWhitespaceAndNewlines(text).empty()) pieces_.push_back(Piece::paragraph(std::move(styled)));

        for (Picture& picture : range.trailing) pieces_.push_back(Piece::block(Block::image(std::move(picture))));
    }

    void tableCell(const RT::Paragraph& paragraph, const RT::TableCell& position)
    {
        if (!table_ || *table_ != position.table) {
            flushTable();
            table_ = position.table;
        }
        RangeRuns range = richTextRuns(paragraph);  // a cell holds text only: its pictures are left out
        picturesLeftOut += static_cast<int>(range.leading.size() + range.trailing.size());
        Runs runs = std::move(range.runs);
        Runs& cell = cells_[position.startingRow][position.startingColumn];
        if (!cell.empty()) {
            cell.emplace_back(" ");
            cell.insert(cell.end(), std::make_move_iterator(runs.begin()), std::make_move_iterator(runs.end()));
        } else {
            cell = std::move(runs);
        }
        if (position.startingRow == 0)
            for (const Run& run : cell)
                if (run.bold && !Text::trimSpacesTabs(run.text).empty()) header_ = true;
    }

    void flushTable()
    {
        if (!cells_.empty()) {
            std::vector<Block::Row> rows;
            for (auto& [row, columns] : cells_) {
                Block::Row cells(static_cast<std::size_t>(columns.rbegin()->first) + 1);
                for (auto& [column, runs] : columns) cells[static_cast<std::size_t>(column)] = tidied(std::move(runs));
                rows.push_back(std::move(cells));
            }
            pieces_.push_back(Piece::block(Block::table(std::move(rows), header_)));
        }
        table_.reset();
        cells_.clear();
        header_ = false;
    }

public:
    int picturesLeftOut = 0;  // all of them inside table cells

private:
    std::vector<Piece> pieces_;
    std::optional<int> table_;
    std::map<int, std::map<int, Runs>> cells_;  // row → column → runs
    bool header_ = false;
};

} // namespace

BigDocument readRichText(const std::vector<std::uint8_t>& data, const std::string& title,
                         std::string_view documentType)
{
    RT::Document document;
    try {
        document = RT::parse(data);
    } catch (const RT::ImportError&) {
        std::string kind = documentType == RT::rtfdDocumentType ? "RTFD" : "RTF";
        throw ConversionError(ConversionError::Reason::damaged,
                              "This file couldn’t be read as " + kind + ". It may be damaged.");
    }
    Walker walker;
    std::vector<Piece> pieces = walker.walk(document);
    const int footnotes = document.footnotes, endnotes = document.endnotes;
    document = RT::Document(); // its text now lives in the pieces; the blocks are made from those
    Blocks blocks = Inference::blocks(std::move(pieces));
    if (blocks.empty()) throw ConversionError(ConversionError::Reason::empty, emptyFileMessage);
    std::vector<ConversionNote> notes;
    if (walker.picturesLeftOut > 0) notes.push_back(cellPicturesLeftOutNote(walker.picturesLeftOut));
    for (ConversionNote& note : notesLeftOutNotes(footnotes, endnotes)) notes.push_back(std::move(note));
    return BigDocument{title, BigDocument::Source::rtf, std::move(blocks), std::move(notes)};
}

} // namespace FolmiraKit
