// Paragraphs, runs and pictures. A paragraph collects its runs, the sizes its
// visible text is set in, the pictures met in its runs (before or after its
// text) and its text boxes, whose content follows the paragraph.

#include "FolmiraKit/Word/DocxLimits.h"
#include "FolmiraKit/Word/DocxReader.h"

#include "Platform/Images.h"
#include "Platform/Text.h"

#include <algorithm>
#include <iterator>

namespace FolmiraKit::DocxReader {
namespace {

namespace Text = Platform::Text;

double paragraphSize(const ParagraphWork& work, const Style& style, const Context& context)
{
    const std::pair<double, std::int64_t>* best = nullptr;
    for (const auto& entry : work.sizeTally)
        if (!best || entry.second > best->second) best = &entry; // ties: the first size met
    if (best) return best->first;
    return style.size.value_or(context.defaultSize);
}

void tally(ParagraphWork& work, double size, std::int64_t characters)
{
    auto [it, inserted] = work.tallyIndex.try_emplace(size, work.sizeTally.size());
    if (inserted) work.sizeTally.emplace_back(size, 0);
    work.sizeTally[it->second].second += characters;
}

// A picture part read once per read, however many drawings show it.
std::shared_ptr<const PicturePart> picturePart(const std::string& path, Context& context)
{
    auto [it, inserted] = context.pictureParts.try_emplace(path);
    if (!inserted) return it->second;
    try {
        if (auto bytes = readEntry(path, context)) {
            // The budget only shrinks: a part too big for it now never fits,
            // so its bytes aren't kept.
            auto info = Platform::imageInfo(*bytes);
            if (info && bytes->size() <= Limits::pictureBytes - context.pictureBytes)
                it->second = std::make_shared<const PicturePart>(PicturePart{std::move(*bytes), info->width, info->height});
        }
    } catch (const ZipReader::Failure&) {
    }
    return it->second;
}

void drawing(Element e, bool before, Context& context, ParagraphWork& work)
{
    if (auto found = picture(e, context)) work.pictures.emplace_back(std::move(*found), before);
    // A text box inside a text box is read with its outer box, not again.
    for (Element box : descendants(e, "txbxContent", {"txbxContent"})) work.textBoxes.push_back(box);
}

// Appends a run of text read from the paragraph, tallying the size of its
// visible characters.
void addRun(ParagraphWork& work, std::string text, bool bold, bool italic, double size)
{
    if (text.empty()) return;
    if (!Text::trimSpacesTabs(text).empty()) work.hasText = true;
    if (!Text::trimWhitespaceAndNewlines(text).empty()) tally(work, size, Text::characterCount(text));
    work.runs.emplace_back(std::move(text), bold, italic);
}

// An equation in the text, or a display equation (several, one to a line):
// one run of its linear text, set apart from the words around it.
void math(Element e, const Style& paragraphStyle, Context& context, ParagraphWork& work)
{
    std::string text;
    std::optional<double> size;
    const bool display = e.localName() == "oMathPara";
    for (Element oMath : display ? descendants(e, "oMath", {"oMath"}) : std::vector<Element>{e}) {
        std::string one = mathText(oMath);
        if (one.empty()) continue;
        if (!size) size = mathSize(oMath);
        if (!text.empty()) text += '\n';
        text += one;
    }
    if (text.empty()) return;
    // A space from the words before it, unless they end in one or in an opening bracket.
    const std::string before = work.runs.empty() ? std::string() : std::string(Text::lastCharacter(work.runs.back().text));
    if (!before.empty() && before != " " && before != "\n" && before != "(" && before != "\u201C") text.insert(0, " ");
    addRun(work, std::move(text), paragraphStyle.bold.value_or(false), false,
           size.value_or(paragraphStyle.size.value_or(context.defaultSize)));
    work.spaceAfterMath = true;
}

} // namespace

void paragraph(Element p, Context& context)
{
    Element pPr = element(p, "pPr");
    Style style = effectiveStyle(attribute(element(pPr, "pStyle"), "val"), context);
    std::optional<int> headingLevel = style.heading;
    if (auto outline = outlineHeading(pPr)) headingLevel = outline;

    ParagraphWork work;
    walkInline(p, context, style, work);

    for (auto& [pic, before] : work.pictures)
        if (before) context.pieces.push_back(Inference::Piece::block(Block::image(std::move(pic))));

    StyledParagraph styled;
    styled.size = paragraphSize(work, style, context);
    std::string text = plain(work.runs);
    std::string_view trimmed = Text::trimWhitespaceAndNewlines(text);
    styled.lineBreaks = trimmed.find('\n') != std::string_view::npos;
    // Asked before the emptiness test: an empty numbered paragraph still counts.
    if (!headingLevel) styled.list = listMarker(pPr, style, context);
    if (!trimmed.empty()) {
        styled.runs = std::move(work.runs);
        styled.headingLevel = headingLevel;
        context.pieces.push_back(Inference::Piece::paragraph(std::move(styled)));
    }

    for (auto& [pic, before] : work.pictures)
        if (!before) context.pieces.push_back(Inference::Piece::block(Block::image(std::move(pic))));

    context.textBoxes += static_cast<int>(work.textBoxes.size());
    for (Element box : work.textBoxes) walkBody(box, context);
}

void walkInline(Element parent, Context& context, const Style& paragraphStyle, ParagraphWork& work)
{
    for (Element e : parent.children()) {
        std::string_view name = e.localName();
        if (name == "r") {
            runContent(e, context, paragraphStyle, work);
        } else if (name == "oMath" || name == "oMathPara") {
            math(e, paragraphStyle, context, work);
        } else if (name == "hyperlink" || name == "ins" || name == "moveTo" || name == "smartTag" ||
                   name == "customXml" || name == "fldSimple" || name == "sdt" || name == "sdtContent") {
            // Text moved with tracked changes reads where it went to (moveTo),
            // as the accepted document does; where it came from (moveFrom) is
            // skipped like a deletion.
            walkInline(e, context, paragraphStyle, work);
        }
    }
}

void runContent(Element r, Context& context, const Style& paragraphStyle, ParagraphWork& work)
{
    bool bold = paragraphStyle.bold.value_or(false);
    bool italic = false;
    double size = paragraphStyle.size.value_or(context.defaultSize);
    if (Element rPr = element(r, "rPr")) {
        if (Element vanish = element(rPr, "vanish"); vanish && isOn(vanish)) return;
        Style runStyle = effectiveStyle(attribute(element(rPr, "rStyle"), "val"), context);
        if (Element b = element(rPr, "b"))
            bold = isOn(b);
        else
            bold = runStyle.bold.value_or(paragraphStyle.bold.value_or(false));
        if (Element i = element(rPr, "i")) italic = isOn(i);
        if (auto sz = sizeValue(attribute(element(rPr, "sz"), "val")))
            size = *sz * 0.5;
        else
            size = runStyle.size.value_or(paragraphStyle.size.value_or(context.defaultSize));
    }

    std::string text;
    for (Element c : r.children()) {
        std::string_view name = c.localName();
        if (name == "t") {
            text += c.text();
        } else if (name == "tab" || name == "ptab" || name == "sym") {
            text += ' ';
        } else if (name == "br" || name == "cr") {
            auto type = attribute(c, "type");
            if (type != "page" && type != "column") text += '\n';
        } else if (name == "noBreakHyphen") {
            text += '-';
        } else if (name == "footnoteReference") {
            ++context.footnotes;
        } else if (name == "endnoteReference") {
            ++context.endnotes;
        } else if (name == "drawing" || name == "pict" || name == "object") {
            drawing(c, !work.hasText && text.empty(), context, work);
        } else if (name == "AlternateContent") {
            Element branch = element(c, "Choice");
            if (!branch) branch = element(c, "Fallback");
            for (Element d : branch.children()) {
                if (d.localName() == "drawing" || d.localName() == "pict") drawing(d, work.runs.empty(), context, work);
            }
        }
    }
    if (text.empty()) return;
    // Words right after an equation are set apart from it, unless they begin
    // with a space or with punctuation that closes on it.
    if (std::exchange(work.spaceAfterMath, false)) {
        static constexpr std::string_view closing[] = {" ", "\n", ".", ",", ";", ":", "!", "?", ")", "]", "}", "\u2019", "\u201D"};
        std::string_view first = Text::firstCharacter(text);
        if (std::find(std::begin(closing), std::end(closing), first) == std::end(closing)) text.insert(0, " ");
    }
    addRun(work, std::move(text), bold, italic, size);
}

std::optional<Picture> picture(Element e, Context& context)
{
    std::optional<std::string> id;
    auto blips = descendants(e, "blip");
    if (!blips.empty()) id = blips.front().attribute("embed", relationshipsNamespace);
    if (!id) {
        auto data = descendants(e, "imagedata");
        if (!data.empty()) id = data.front().attribute("id", relationshipsNamespace);
    }
    if (!id) return std::nullopt;
    auto rel = context.rels.find(*id);
    if (rel == context.rels.end()) return std::nullopt;
    std::string path = packagePath(rel->second, context);

    auto part = picturePart(path, context);
    if (!part || part->data.size() > Limits::pictureBytes - context.pictureBytes) {
        ++context.droppedPictures;
        return std::nullopt;
    }
    context.pictureBytes += part->data.size();
    Picture result{part->data, part->width, part->height, ""};
    if (auto extents = descendants(e, "extent"); !extents.empty()) {
        auto cx = sizeValue(extents.front().plainAttribute("cx"));
        auto cy = sizeValue(extents.front().plainAttribute("cy"));
        if (cx && cy && *cx > 0 && *cy > 0) {
            result.width = *cx / 12700;
            result.height = *cy / 12700;
        }
    }
    if (auto docPr = descendants(e, "docPr"); !docPr.empty()) result.alt = docPr.front().plainAttribute("descr").value_or("");
    return result;
}

} // namespace FolmiraKit::DocxReader
