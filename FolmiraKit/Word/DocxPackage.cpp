// The Word reader's frame: refusals, the package's parts, the XML access
// rules every step shares, the block-level walk and the notes.

#include "FolmiraKit/Word/DocxReader.h"
#include "FolmiraKit/Readers/ReaderNotes.h"

#include "Platform/Text.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace FolmiraKit::DocxReader {
namespace {

using Reason = ConversionError::Reason;

// strtod in the C locale whatever the process's locale is.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

std::vector<ConversionNote> notes(const Context& context)
{
    std::vector<ConversionNote> out;
    using Kind = ConversionNote::Kind;
    if (context.droppedPictures > 0) out.push_back(picturesLeftOutNote(context.droppedPictures));
    if (context.cellPictures > 0) out.push_back(cellPicturesLeftOutNote(context.cellPictures));
    if (context.textBoxes > 0)
        out.emplace_back(Kind::info, "Text in text boxes was placed after the paragraph it was anchored to.");
    for (ConversionNote& note : notesLeftOutNotes(context.footnotes, context.endnotes)) out.push_back(std::move(note));
    if (!context.notesRead.empty())
        out.emplace_back(Kind::info, "All of this document\u2019s text is in its " + context.notesRead +
                                         ", so Folmira read them in its place.");
    if (context.headerFooter)
        out.emplace_back(Kind::info, "The page headers and footers were left out; Folmira adds its own page numbers.");
    return out;
}

} // namespace

std::vector<Element> childElements(Element node)
{
    std::vector<Element> out;
    for (Element e : node.children()) out.push_back(e);
    return out;
}

Element element(Element node, std::string_view localName)
{
    return node.child(localName);
}

std::vector<Element> elements(Element node, std::string_view localName)
{
    std::vector<Element> out;
    for (Element e : node.children())
        if (e.localName() == localName) out.push_back(e);
    return out;
}

std::optional<std::string> attribute(Element element, std::string_view localName)
{
    if (auto value = element.attribute(localName, wordNamespace)) return value;
    return element.attributeAnyNamespace(localName);
}

std::vector<Element> descendants(Element element, std::string_view localName)
{
    return descendants(element, localName, {});
}

std::vector<Element> descendants(Element element, std::string_view localName,
                                 std::initializer_list<std::string_view> fenced)
{
    std::vector<Element> out;
    // Depth-first, an element before its descendants; an explicit stack keeps
    // deep trees off the call stack.
    std::vector<Platform::Xml::Element::Iterator> stack{element.children().begin()};
    while (!stack.empty()) {
        auto& it = stack.back();
        if (it == Platform::Xml::Element::Iterator()) {
            stack.pop_back();
            continue;
        }
        Element e = *it++;
        if (e.localName() == localName) out.push_back(e);
        if (std::find(fenced.begin(), fenced.end(), e.localName()) != fenced.end()) continue;
        stack.push_back(e.children().begin());
    }
    return out;
}

std::optional<std::int64_t> integerValue(const std::optional<std::string>& text)
{
    if (!text || text->empty()) return std::nullopt;
    std::string_view s = *text;
    bool negative = s.front() == '-';
    if (s.front() == '+' || s.front() == '-') s.remove_prefix(1);
    if (s.empty() || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    // Parse the magnitude with its sign so that the most negative value fits.
    std::string digits = (negative ? "-" : "") + std::string(s);
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::optional<double> sizeValue(const std::optional<std::string>& text)
{
    if (!text || text->empty()) return std::nullopt;
    if (Platform::Text::isWhitespaceScalar(static_cast<unsigned char>(text->front()))) return std::nullopt;
    char* end = nullptr;
    double value = strtod_l(text->c_str(), &end, cLocale());
    if (end != text->c_str() + text->size()) return std::nullopt;
    // "inf", "nan" and overflowing numbers are no size.
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

bool isOn(Element property)
{
    auto value = attribute(property, "val");
    return !value || !(*value == "0" || *value == "false" || *value == "off" || *value == "none");
}

std::optional<int> outlineHeading(Element pPr)
{
    auto level = integerValue(attribute(element(pPr, "outlineLvl"), "val"));
    if (!level || *level >= 9) return std::nullopt;
    // Any negative level is "0 or less", which inference makes level 1.
    return static_cast<int>(std::max<std::int64_t>(*level, -1) + 1);
}

namespace {

const ZipReader::Entry* findEntry(std::string_view path, Context& context)
{
    // The same choice as ZipReader::read (the first exact path, else the first
    // equal ignoring case), through maps built once: a package of many entries
    // and many picture references must not scan the directory for each one.
    if (context.entryIndex.empty())
        for (std::size_t i = 0; i < context.entries.size(); ++i) context.entryIndex.try_emplace(context.entries[i].path, i);
    auto found = context.entryIndex.find(std::string(path));
    if (found == context.entryIndex.end()) {
        if (context.foldedEntryIndex.empty())
            for (std::size_t i = 0; i < context.entries.size(); ++i)
                context.foldedEntryIndex.try_emplace(Platform::Text::lowercased(context.entries[i].path), i);
        found = context.foldedEntryIndex.find(Platform::Text::lowercased(path));
        if (found == context.foldedEntryIndex.end()) return nullptr;
    }
    return &context.entries[found->second];
}

} // namespace

std::optional<Bytes> readEntry(std::string_view path, Context& context)
{
    const ZipReader::Entry* entry = findEntry(path, context);
    if (!entry) return std::nullopt;
    return ZipReader::extract(*entry, context.zip);
}

std::optional<Platform::Xml::Document> part(std::string_view path, Context& context)
{
    const ZipReader::Entry* entry = findEntry(path, context);
    if (!entry) return std::nullopt;
    std::optional<Bytes> bytes;
    try {
        bytes = ZipReader::extract(*entry, context.zip);
    } catch (const ZipReader::Failure&) {
        return std::nullopt;
    }
    return Platform::Xml::Document::parse(*bytes);
}

std::string packagePath(std::string_view target, const Context& context)
{
    if (target.starts_with('/')) return std::string(target.substr(1));
    return context.folder + std::string(target);
}

std::string typedPart(std::string_view type, std::string_view customaryName, const Context& context)
{
    auto found = context.typedParts.find(std::string(type));
    return found != context.typedParts.end() ? found->second : context.folder + std::string(customaryName);
}

std::string mainPartPath(Context& context)
{
    // A package names its main part by a relationship of this type (the
    // transitional and the strict namespace end alike); Word calls it
    // word/document.xml, other writers don't always.
    if (auto doc = part("_rels/.rels", context)) {
        for (Element e : doc->root().children()) {
            auto type = e.plainAttribute("Type");
            auto target = e.plainAttribute("Target");
            if (e.localName() != "Relationship" || !type || !target || !type->ends_with("/officeDocument")) continue;
            std::string_view path = *target;
            while (path.starts_with('/')) path.remove_prefix(1);
            if (!path.empty() && !path.ends_with('/')) return std::string(path);
        }
    }
    return "word/document.xml";
}

void loadRelationships(Context& context, std::string_view mainPath)
{
    const std::size_t slash = mainPath.rfind('/');
    context.folder = slash == std::string_view::npos ? "" : std::string(mainPath.substr(0, slash + 1));
    const std::string_view name = slash == std::string_view::npos ? mainPath : mainPath.substr(slash + 1);
    auto doc = part(context.folder + "_rels/" + std::string(name) + ".rels", context);
    if (!doc) return;
    for (Element e : doc->root().children()) {
        if (e.localName() != "Relationship") continue;
        auto id = e.plainAttribute("Id");
        auto target = e.plainAttribute("Target");
        if (id && target) context.rels[*id] = *target;
        // The first part of each type the reader looks for, wherever it is kept.
        auto type = e.plainAttribute("Type");
        if (!type || !target || e.plainAttribute("TargetMode") == "External") continue;
        for (std::string_view known : {"styles", "numbering", "footnotes", "endnotes"})
            if (type->ends_with("/" + std::string(known))) context.typedParts.try_emplace(std::string(known), packagePath(*target, context));
    }
}

// A body without text: its footnotes' and endnotes' own text is read in its
// place (the separators Word keeps among them are not notes), and they are no
// longer left out.
void readNotesInstead(Context& context)
{
    const struct {
        const char* type; // of the relationship, and the customary part name
        const char* element;
        const char* name;
        int& count;
    } kinds[] = {{"footnotes", "footnote", "footnotes", context.footnotes},
                 {"endnotes", "endnote", "endnotes", context.endnotes}};
    for (const auto& kind : kinds) {
        auto doc = part(typedPart(kind.type, std::string(kind.type) + ".xml", context), context);
        if (!doc) continue;
        const std::size_t before = context.pieces.size();
        for (Element note : elements(doc->root(), kind.element)) {
            auto type = attribute(note, "type");
            if (!type || *type == "normal") walkBody(note, context);
        }
        if (context.pieces.size() == before) continue;
        kind.count = 0;
        context.notesRead += (context.notesRead.empty() ? "" : " and ") + std::string(kind.name);
    }
}

void walkBody(Element container, Context& context)
{
    for (Element e : container.children()) {
        std::string_view name = e.localName();
        if (name == "p") {
            paragraph(e, context);
        } else if (name == "tbl") {
            table(e, context);
        } else if (name == "sdt") {
            if (Element content = element(e, "sdtContent")) walkBody(content, context);
        } else if (name == "customXml" || name == "ins" || name == "moveTo" || name == "smartTag") {
            walkBody(e, context);
        }
    }
}

BigDocument read(const Bytes& data, const std::string& title)
{
    if (Platform::Text::startsWithBytes(data, {0xD0, 0xCF, 0x11, 0xE0}))
        throw ConversionError(Reason::unsupported, "This is an older Word file (.doc). Open it in Word or LibreOffice "
                                                   "Writer and save it as .docx, then drop that in.");
    Context context;
    context.zip = data;
    try {
        context.entries = ZipReader::entries(context.zip);
    } catch (const ZipReader::Failure&) {
        throw ConversionError(Reason::damaged, "This isn\u2019t a Word document Folmira can open (.docx files are zip "
                                               "archives, and this one isn\u2019t).");
    }
    // Missing, damaged or not XML alike: the user is never shown a part's name.
    // A main part that its relationship names but the package lacks: Word's
    // own path is tried before the file is called damaged.
    std::string mainPath = mainPartPath(context);
    auto document = part(mainPath, context);
    if (!document && mainPath != "word/document.xml") document = part(mainPath = "word/document.xml", context);
    if (!document) throw ConversionError(Reason::damaged, "This Word file has no document inside it. It may be damaged.");

    // The relationships first: they say where the styles and numbering are.
    loadRelationships(context, mainPath);
    loadStyles(context);
    loadNumbering(context);
    for (const auto& entry : context.entries) {
        if (entry.path.starts_with(context.folder + "header") || entry.path.starts_with(context.folder + "footer")) {
            context.headerFooter = true;
            break;
        }
    }
    if (Element body = element(document->root(), "body")) walkBody(body, context);
    if (context.pieces.empty()) readNotesInstead(context);

    auto documentNotes = notes(context);
    context.pictureParts.clear(); // the pieces hold their own copies
    Blocks blocks = Inference::blocks(std::move(context.pieces));
    if (blocks.empty()) throw ConversionError(Reason::empty, "This Word file is empty: there\u2019s no text to make large.");
    return BigDocument{title, BigDocument::Source::word, std::move(blocks), std::move(documentNotes)};
}

} // namespace FolmiraKit::DocxReader
