// Styles: the document's default size, paragraph and character styles with
// the heading level their names or outline levels give, and the merge of a
// style with the chain of styles it is based on.

#include "FolmiraKit/Word/DocxLimits.h"
#include "FolmiraKit/Word/DocxReader.h"

#include "Platform/Regex.h"
#include "Platform/Text.h"

#include <unordered_set>

namespace FolmiraKit::DocxReader {
namespace {

std::optional<int> headingFromName(const std::string& name)
{
    static const Platform::Regex pattern("^heading ?([1-9])$");
    std::string lower = Platform::Text::lowercased(name);
    if (auto match = pattern.firstMatch(lower)) return match->text(1).front() - '0';
    if (lower == "title") return 1;
    if (lower == "subtitle") return 2;
    return std::nullopt;
}

std::optional<double> halfPoints(Element sz)
{
    if (auto value = sizeValue(attribute(sz, "val"))) return *value * 0.5;
    return std::nullopt;
}

Style readStyle(Element e, const std::string& id)
{
    Style style;
    style.name = attribute(element(e, "name"), "val").value_or(id);
    style.basedOn = attribute(element(e, "basedOn"), "val");
    style.heading = headingFromName(style.name);
    if (Element pPr = element(e, "pPr")) {
        if (!style.heading) style.heading = outlineHeading(pPr);
        if (Element numPr = element(pPr, "numPr")) {
            style.numId = attribute(element(numPr, "numId"), "val");
            style.ilvl = integerValue(attribute(element(numPr, "ilvl"), "val"));
        }
    }
    if (Element rPr = element(e, "rPr")) {
        if (Element b = element(rPr, "b")) style.bold = isOn(b);
        if (Element sz = element(rPr, "sz")) style.size = halfPoints(sz);
    }
    return style;
}

} // namespace

void loadStyles(Context& context)
{
    auto doc = part(typedPart("styles", "styles.xml", context), context);
    if (!doc) return;
    Element root = doc->root();
    Element sz = element(element(element(element(root, "docDefaults"), "rPrDefault"), "rPr"), "sz");
    if (auto size = halfPoints(sz)) context.defaultSize = *size;

    for (Element e : root.children()) {
        if (e.localName() != "style") continue;
        auto type = attribute(e, "type");
        if (type != "paragraph" && type != "character") continue;
        auto id = attribute(e, "styleId");
        if (!id) continue;
        context.styles[*id] = readStyle(e, *id);
    }
}

Style effectiveStyle(const std::optional<std::string>& styleId, const Context& context)
{
    Style result;
    if (!styleId) return result;
    std::unordered_set<std::string_view> visited;
    const std::string* id = &*styleId;
    // Every paragraph and run merges its chain afresh: the chain's length is
    // capped so that thousands of styles based on one another can't make that
    // quadratic.
    for (int depth = 0; depth < Limits::styleChain; ++depth) {
        if (visited.contains(*id)) break;
        auto found = context.styles.find(*id);
        if (found == context.styles.end()) break;
        visited.insert(found->first);
        const Style& style = found->second;
        if (!result.heading) result.heading = style.heading;
        if (!result.bold) result.bold = style.bold;
        if (!result.size) result.size = style.size;
        if (!result.numId) {
            result.numId = style.numId;
            result.ilvl = style.ilvl;
        }
        if (!style.basedOn) break;
        id = &*style.basedOn;
    }
    return result;
}

} // namespace FolmiraKit::DocxReader
