// Numbering: abstract definitions and their instances, and the running
// counters that give each numbered paragraph its marker ("1.", "2.1.", "iv)").
// Counters belong to the numbering instance; an item clears the counters of
// the levels below it, so a deeper level starts afresh after each of its
// parents. Counters saturate, list levels are clamped to 0–8 and numbers too
// large to spell out are written as digits, so hostile starts cost nothing.

#include "FolmiraKit/Word/DocxLimits.h"
#include "FolmiraKit/Word/DocxReader.h"

#include "Platform/Text.h"

#include <algorithm>
#include <limits>

namespace FolmiraKit::DocxReader {
namespace {

const Level defaultLevel{};

std::string plusOne(std::int64_t n)
{
    return n < std::numeric_limits<std::int64_t>::max() ? std::to_string(n + 1) : "9223372036854775808";
}

std::string numberText(std::int64_t n, std::string_view format)
{
    if (format == "upperLetter") return letters(n);
    if (format == "lowerLetter") return Platform::Text::lowercased(letters(n));
    if (format == "upperRoman") return roman(n);
    if (format == "lowerRoman") return Platform::Text::lowercased(roman(n));
    return std::to_string(n);
}

const Level* levelOf(const std::map<std::int64_t, Level>& levels, std::int64_t ilvl)
{
    auto found = levels.find(ilvl);
    return found == levels.end() ? nullptr : &found->second;
}

std::optional<std::int64_t> startOverride(const Num& num, std::int64_t ilvl)
{
    auto found = num.starts.find(ilvl);
    if (found == num.starts.end()) return std::nullopt;
    return found->second;
}

} // namespace

std::string letters(std::int64_t n)
{
    if (n < 1) return "";
    if (n > Limits::largestWordedNumber) return std::to_string(n);
    return std::string(static_cast<std::size_t>((n - 1) / 26 + 1), static_cast<char>('A' + (n - 1) % 26));
}

std::string roman(std::int64_t n)
{
    if (n < 1) return "";
    if (n > Limits::largestWordedNumber) return std::to_string(n);
    static const std::pair<std::int64_t, const char*> numerals[] = {
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
        {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
    std::string out;
    for (auto [value, text] : numerals) {
        for (; n >= value; n -= value) out += text;
    }
    return out;
}

void loadNumbering(Context& context)
{
    auto doc = part(typedPart("numbering", "numbering.xml", context), context);
    if (!doc) return;
    Element root = doc->root();
    for (Element e : root.children()) {
        if (e.localName() != "abstractNum") continue;
        auto id = attribute(e, "abstractNumId");
        if (!id) continue;
        std::map<std::int64_t, Level> levels;
        for (Element lvl : elements(e, "lvl")) {
            auto number = integerValue(attribute(lvl, "ilvl"));
            if (!number) continue;
            Level level;
            level.format = attribute(element(lvl, "numFmt"), "val").value_or("decimal");
            level.text = attribute(element(lvl, "lvlText"), "val").value_or("%" + plusOne(*number) + ".");
            level.start = integerValue(attribute(element(lvl, "start"), "val")).value_or(1);
            levels[*number] = std::move(level);
        }
        context.abstract[*id] = std::move(levels);
    }
    for (Element e : root.children()) {
        if (e.localName() != "num") continue;
        auto id = attribute(e, "numId");
        auto abstractId = attribute(element(e, "abstractNumId"), "val");
        if (!id || !abstractId) continue;
        Num num{*abstractId, {}};
        for (Element override : elements(e, "lvlOverride")) {
            auto ilvl = integerValue(attribute(override, "ilvl"));
            auto start = integerValue(attribute(element(override, "startOverride"), "val"));
            if (ilvl && start) num.starts[*ilvl] = *start;
        }
        context.nums[*id] = std::move(num);
    }
}

std::optional<StyledParagraph::ListLabel> listMarker(Element pPr, const Style& style, Context& context)
{
    Element numPr = element(pPr, "numPr");
    std::optional<std::string> id = attribute(element(numPr, "numId"), "val");
    if (!id) id = style.numId;
    if (!id || *id == "0") return std::nullopt;
    auto num = context.nums.find(*id);
    if (num == context.nums.end()) return std::nullopt;
    auto definition = context.abstract.find(num->second.abstract);
    if (definition == context.abstract.end()) return std::nullopt;
    const auto& levels = definition->second;

    std::int64_t ilvl = integerValue(attribute(element(numPr, "ilvl"), "val")).value_or(style.ilvl.value_or(0));
    ilvl = std::clamp<std::int64_t>(ilvl, 0, Limits::listLevels - 1);
    const int shownLevel = static_cast<int>(std::min<std::int64_t>(ilvl, 3));

    const Level* found = levelOf(levels, ilvl);
    const Level& level = found ? *found : defaultLevel;
    if (level.format == "bullet") return StyledParagraph::ListLabel{"\u2022", shownLevel};
    if (level.format == "none") return std::nullopt;

    auto& counters = context.counters[*id];
    std::int64_t n;
    if (auto& counter = counters[ilvl]) {
        n = *counter == std::numeric_limits<std::int64_t>::max() ? *counter : *counter + 1;
    } else {
        n = startOverride(num->second, ilvl).value_or(level.start);
    }
    counters[ilvl] = n;
    for (std::int64_t deeper = ilvl + 1; deeper < Limits::listLevels; ++deeper) counters[deeper].reset();

    // One pass over the level text: numbers hold no "%", so this is the same
    // as replacing "%1", "%2"… in turn. It stops once the marker is longer
    // than any list shows, so a long level text costs each paragraph no more.
    std::string marker;
    const std::string& pattern = level.text;
    for (std::size_t at = 0; at < pattern.size() && marker.size() <= Limits::markerBytes; ++at) {
        const std::int64_t i = at + 1 < pattern.size() ? pattern[at + 1] - '1' : -1;
        if (pattern[at] != '%' || i < 0 || i > ilvl) {
            marker += pattern[at];
            continue;
        }
        const Level* li = levelOf(levels, i);
        std::int64_t number = counters[i] ? *counters[i] : startOverride(num->second, i).value_or(li ? li->start : 1);
        marker += numberText(number, li ? li->format : "decimal");
        ++at;
    }
    if (marker.size() > Limits::markerBytes) {
        std::size_t cut = Limits::markerBytes;
        while (cut > 0 && (static_cast<unsigned char>(marker[cut]) & 0xC0) == 0x80) --cut; // whole characters only
        marker.resize(cut);
    }
    marker = std::string(Platform::Text::trimWhitespace(marker));
    if (marker.empty()) marker = "\u2022";
    return StyledParagraph::ListLabel{std::move(marker), shownLevel};
}

} // namespace FolmiraKit::DocxReader
