#pragma once

// The Word (.docx) reader: WordprocessingML parts in a ZIP package to a
// BigDocument. The entry opens the package and loads styles, numbering and
// relationships into a Context; the body walk collects styled paragraphs and
// ready blocks, which inference turns into the document's blocks.

#include "FolmiraKit/Model/BigDocument.h"
#include "FolmiraKit/Readers/Inference.h"
#include "FolmiraKit/Word/ZipReader.h"
#include "Platform/Xml.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace FolmiraKit::DocxReader {

using Element = Platform::Xml::Element;
using Bytes = std::vector<std::uint8_t>;

inline constexpr std::string_view wordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
inline constexpr std::string_view relationshipsNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A style as the styles part gives it, or merged with its based-on chain
// (then `name` is empty). Absent fields say nothing.
struct Style {
    std::string name;
    std::optional<std::string> basedOn;
    std::optional<int> heading; // 1–9 from the name, or an outline level + 1
    std::optional<bool> bold;
    std::optional<double> size; // points
    std::optional<std::string> numId;
    std::optional<std::int64_t> ilvl;
    bool operator==(const Style&) const = default;
};

// One level of an abstract numbering definition.
struct Level {
    std::string format = "decimal"; // as numFmt writes it
    std::string text = "%1.";       // "%1"…"%9" stand for the numbers of levels 0–8
    std::int64_t start = 1;
    bool operator==(const Level&) const = default;
};

// A numbering instance: its abstract definition and start overrides by level.
struct Num {
    std::string abstract;
    std::map<std::int64_t, std::int64_t> starts;
};

// A picture part, extracted and sized once per read however often it is used.
struct PicturePart {
    Bytes data;
    double width = 0;  // pixels
    double height = 0;
};

// The state of one read, shared by every step and dropped when it returns.
class Context {
public:
    std::unordered_map<std::string, Style> styles;
    double defaultSize = 11;
    std::unordered_map<std::string, std::map<std::int64_t, Level>> abstract;
    std::unordered_map<std::string, Num> nums;
    // Running counters by numbering id, one slot per list level.
    std::unordered_map<std::string, std::array<std::optional<std::int64_t>, 9>> counters;
    std::unordered_map<std::string, std::string> rels;
    // The folder of the main document part, which its relationships' targets
    // are relative to, with its final "/"; "word/" in nearly every package.
    std::string folder = "word/";
    // Parts the main part's relationships name by type ("styles",
    // "numbering", "footnotes", "endnotes"), as package paths.
    std::unordered_map<std::string, std::string> typedParts;
    ZipReader::ByteView zip; // the caller's bytes, which outlive the read
    std::vector<ZipReader::Entry> entries;
    // `entries` by path and by lower-cased path (the first of each), built on
    // the first lookup that needs them.
    std::unordered_map<std::string, std::size_t> entryIndex;
    std::unordered_map<std::string, std::size_t> foldedEntryIndex;
    std::vector<Inference::Piece> pieces;
    int droppedPictures = 0; // pictures that can't be drawn
    int cellPictures = 0;    // drawable pictures inside table cells, which keep only text
    int textBoxes = 0;
    int footnotes = 0;
    int endnotes = 0;
    // The notes parts read in place of a body without text: "footnotes",
    // "endnotes" or both joined with " and "; empty when none was.
    std::string notesRead;
    bool headerFooter = false;
    // Picture parts by path; none for a part that is absent, damaged or no image.
    std::unordered_map<std::string, std::shared_ptr<const PicturePart>> pictureParts;
    std::uint64_t pictureBytes = 0; // bytes of the pictures handed out so far, each use counted
};

// --- Entry ---

// Reads a .docx file's bytes. Throws ConversionError (unsupported for an older
// Word file, damaged for no ZIP or a missing or damaged main part, empty for
// no text).
BigDocument read(const Bytes& data, const std::string& title);

// --- XML access (elements by local name; attributes in the WordprocessingML
// namespace first, then in any namespace or none) ---

std::vector<Element> childElements(Element node);
Element element(Element node, std::string_view localName);
std::vector<Element> elements(Element node, std::string_view localName);
std::optional<std::string> attribute(Element element, std::string_view localName);
// Every element below `element` with that local name, in document order.
std::vector<Element> descendants(Element element, std::string_view localName);
// The same, without looking inside elements named in `fenced` (a fenced match
// is kept but not looked inside).
std::vector<Element> descendants(Element element, std::string_view localName,
                                 std::initializer_list<std::string_view> fenced);

// An optional sign and ASCII digits, within 64 bits; nothing else.
std::optional<std::int64_t> integerValue(const std::optional<std::string>& text);
// A whole strtod number in the C locale that is finite; nothing else.
std::optional<double> sizeValue(const std::optional<std::string>& text);
// An on/off property: on unless its "val" is "0", "false", "off" or "none".
bool isOn(Element property);
// The heading level a paragraph-properties element's outline level gives:
// levels 0–8 give 1–9 (a negative level gives 0); 9 and above, none.
std::optional<int> outlineHeading(Element pPr);

// The content of the entry at `path` (exact path first, then ignoring case),
// or none when there is no such entry. Throws ZipReader::Failure.
std::optional<Bytes> readEntry(std::string_view path, Context& context);
// A part of the package parsed, or none when it is missing, damaged or not XML.
std::optional<Platform::Xml::Document> part(std::string_view path, Context& context);

// --- Package ---

// The main document part's path: the one the package's own relationships
// name, else "word/document.xml".
std::string mainPartPath(Context& context);
// A relationship target of the main part as a package path.
std::string packagePath(std::string_view target, const Context& context);
// The path of the part the main part's relationships give `type`, else the
// customary name in the main part's folder.
std::string typedPart(std::string_view type, std::string_view customaryName, const Context& context);

void loadStyles(Context& context);
void loadNumbering(Context& context);
// Reads the relationships of the main part at `mainPath`.
void loadRelationships(Context& context, std::string_view mainPath = "word/document.xml");
// Walks block-level content: paragraphs, tables, content controls, insertions.
void walkBody(Element container, Context& context);
// The style merged with its based-on chain; the nearest style wins each field.
Style effectiveStyle(const std::optional<std::string>& styleId, const Context& context);
// The list label of a paragraph, advancing the counters; none for no list item.
std::optional<StyledParagraph::ListLabel> listMarker(Element pPr, const Style& style, Context& context);
// "A" for 1, "Z" for 26, "AA" for 27; empty below 1.
std::string letters(std::int64_t n);
// Greedy roman numeral; empty below 1.
std::string roman(std::int64_t n);

// --- Body ---

// The working values of one paragraph.
struct ParagraphWork {
    Runs runs;
    std::vector<std::pair<double, std::int64_t>> sizeTally; // in order of first use
    std::unordered_map<double, std::size_t> tallyIndex;
    std::vector<std::pair<Picture, bool>> pictures;         // with `before`
    std::vector<Element> textBoxes;
    bool hasText = false; // some run so far holds more than spaces and tabs
    bool spaceAfterMath = false; // an equation was the last thing read
};

void paragraph(Element p, Context& context);
void table(Element tbl, Context& context);
void walkInline(Element parent, Context& context, const Style& paragraphStyle, ParagraphWork& work);
void runContent(Element r, Context& context, const Style& paragraphStyle, ParagraphWork& work);
std::optional<Picture> picture(Element element, Context& context);

// An equation (m:oMath) as one line of text in reading order, with Unicode
// super- and subscripts where they exist and a plain linear form otherwise.
std::string mathText(Element oMath);
// The size an equation's runs give, in points; none when they give none.
std::optional<double> mathSize(Element oMath);

} // namespace FolmiraKit::DocxReader
