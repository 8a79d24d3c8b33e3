#pragma once

// Our RTF importer and the small attributed-text model it produces: the
// paragraphs of the document in order, each made of attribute runs (text in
// one font, or one embedded picture), with the text lists and the table cell
// the paragraph belongs to. Readers walk this model; nothing here knows about
// the document model of the engines.

#include "Platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace Platform::RichText {

// The document types a caller may name: plain RTF, and RTFD (whose flattened
// bytes are read the same way). Only the wording of refusals differs.
inline constexpr std::string_view rtfDocumentType = "rtf";
inline constexpr std::string_view rtfdDocumentType = "rtfd";

struct Font {
    std::string name;       // as the font table names it, e.g. "Helvetica-Black"; empty when unknown
    bool bold = false;      // the bold trait (\b)
    bool italic = false;    // the italic trait (\i)
    double pointSize = 12;  // points (\fs counts half points)
    bool operator==(const Font&) const = default;
};

// An embedded picture (\pict with PNG or JPEG data).
struct Attachment {
    Bytes data;         // the encoded image as stored in the file
    double width = 0;   // display bounds in points; 0 when the file gives none
    double height = 0;
};

// One attribute run. A picture run holds the object-replacement character
// U+FFFC as its text and carries the attachment.
struct Span {
    std::string text;  // UTF-8
    std::optional<Font> font;
    std::optional<Attachment> attachment;
};

// A list's numbering for one nesting level. The format holds one placeholder
// in braces, as in "{decimal}.", "({lower-alpha})" or "{disc}".
struct TextList {
    std::string markerFormat;
    // The label of item `itemNumber`, e.g. "3." for "{decimal}." and 3.
    std::string marker(int itemNumber) const;
    bool operator==(const TextList&) const = default;
};

// Where a table-cell paragraph sits. Cells of one table share `table`; a cell
// that spans rows or columns sits only at its starting row and column.
struct TableCell {
    int table = 0;
    int startingRow = 0;
    int startingColumn = 0;
    bool operator==(const TableCell&) const = default;
};

struct Paragraph {
    std::vector<Span> spans;          // the text without the paragraph's terminator
    std::vector<TextList> textLists;  // outermost first; empty when not a list item
    int itemNumber = 0;               // the item's number in the last (innermost) list
    std::optional<TableCell> cell;    // set for a paragraph inside a table cell

    // The spans' texts concatenated.
    std::string text() const;
};

struct Document {
    std::vector<Paragraph> paragraphs;
    // Footnotes and endnotes of the text (\footnote groups), whose own text
    // is not read.
    int footnotes = 0;
    int endnotes = 0;
};

// Raised for bytes that are not RTF or that break one of the importer's
// limits (RichText/Limits.h). what() is a short developer's description.
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses RTF bytes into the model. Iterative (no recursion per group), linear
// in the input; throws ImportError, never crashes on hostile input.
Document parse(const std::uint8_t* data, std::size_t size);
Document parse(const Bytes& data);

} // namespace Platform::RichText
