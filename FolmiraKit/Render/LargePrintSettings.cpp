#include "FolmiraKit/Render/LargePrintSettings.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <functional>

namespace FolmiraKit {
namespace {

using Settings = LargePrintSettings;

double clampedTo(double value, Settings::Range range)
{
    if (std::isnan(value)) return range.lower;
    return std::clamp(value, range.lower, range.upper);
}

const nlohmann::json& required(const nlohmann::json& object, const char* key)
{
    auto it = object.find(key);
    if (it == object.end()) throw Settings::DecodingError(std::string("The settings lack “") + key + "”.");
    return *it;
}

double number(const nlohmann::json& object, const char* key)
{
    const auto& value = required(object, key);
    if (!value.is_number()) throw Settings::DecodingError(std::string("“") + key + "” is not a number.");
    return value.get<double>();
}

bool boolean(const nlohmann::json& object, const char* key)
{
    const auto& value = required(object, key);
    if (!value.is_boolean()) throw Settings::DecodingError(std::string("“") + key + "” is not true or false.");
    return value.get<bool>();
}

template <typename Choice>
Choice choice(const nlohmann::json& object, const char* key)
{
    const auto& value = required(object, key);
    std::optional<Choice> chosen;
    if (value.is_string()) chosen = fromString<Choice>(value.get_ref<const std::string&>());
    if (!chosen) throw Settings::DecodingError(std::string("“") + key + "” is not one of its choices.");
    return *chosen;
}

} // namespace

LargePrintSettings LargePrintSettings::clamped() const
{
    LargePrintSettings out = *this;
    out.fontSize = clampedTo(fontSize, sizeRange);
    out.lineSpacing = clampedTo(lineSpacing, spacingRange);
    out.margin = clampedTo(margin, marginRange);
    out.listSpacing = clampedTo(listSpacing, listSpacingRange);
    return out;
}

std::string LargePrintSettings::encodeJSON() const
{
    nlohmann::json json = {
        {"fontSize", fontSize},
        {"lineSpacing", lineSpacing},
        {"margin", margin},
        {"paper", toString(paper)},
        {"font", toString(font)},
        {"pageNumbers", pageNumbers},
        {"highContrast", highContrast},
        {"keepImages", keepImages},
        {"tables", toString(tables)},
        {"keepLineBreaks", keepLineBreaks},
        {"listSpacing", listSpacing},
    };
    return json.dump();
}

LargePrintSettings LargePrintSettings::decodeJSON(std::string_view text)
{
    nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded()) throw DecodingError("The settings are not valid JSON.");
    if (!json.is_object()) throw DecodingError("The settings are not a JSON object.");
    LargePrintSettings settings;
    settings.fontSize = number(json, "fontSize");
    settings.lineSpacing = number(json, "lineSpacing");
    settings.margin = number(json, "margin");
    settings.paper = choice<Paper>(json, "paper");
    settings.font = choice<LargePrintFont>(json, "font");
    settings.pageNumbers = boolean(json, "pageNumbers");
    settings.highContrast = boolean(json, "highContrast");
    settings.keepImages = boolean(json, "keepImages");
    settings.tables = choice<TableMode>(json, "tables");
    settings.keepLineBreaks = boolean(json, "keepLineBreaks");
    settings.listSpacing = number(json, "listSpacing");
    return settings;
}

std::string_view toString(LargePrintSettings::Paper paper)
{
    switch (paper) {
    case Settings::Paper::letter: return "letter";
    case Settings::Paper::a4: return "a4";
    case Settings::Paper::legal: return "legal";
    case Settings::Paper::halfLetter: return "halfLetter";
    }
    return "letter";
}

template <>
std::optional<LargePrintSettings::Paper> fromString<LargePrintSettings::Paper>(std::string_view text)
{
    return fromStringIn<Settings::Paper>(Settings::allPapers, text);
}

std::string_view name(LargePrintSettings::Paper paper)
{
    switch (paper) {
    case Settings::Paper::letter: return "US Letter (8.5 × 11 in)";
    case Settings::Paper::a4: return "A4 (210 × 297 mm)";
    case Settings::Paper::legal: return "US Legal (8.5 × 14 in)";
    case Settings::Paper::halfLetter: return "Half Letter (5.5 × 8.5 in)";
    }
    return "";
}

Platform::Size size(LargePrintSettings::Paper paper)
{
    switch (paper) {
    case Settings::Paper::letter: return {612, 792};
    case Settings::Paper::a4: return {595.28, 841.89};
    case Settings::Paper::legal: return {612, 1008};
    case Settings::Paper::halfLetter: return {396, 612};
    }
    return {612, 792};
}

std::string_view toString(LargePrintSettings::TableMode mode)
{
    return mode == Settings::TableMode::list ? "list" : "auto";
}

template <>
std::optional<LargePrintSettings::TableMode> fromString<LargePrintSettings::TableMode>(std::string_view text)
{
    return fromStringIn<Settings::TableMode>(Settings::allTableModes, text);
}

std::string_view name(LargePrintSettings::TableMode mode)
{
    return mode == Settings::TableMode::list ? "List each row" : "Keep as tables when they fit";
}

const std::vector<LargePrintPreset>& LargePrintPreset::all()
{
    static const std::vector<LargePrintPreset> presets = [] {
        auto with = [](double size, double spacing, double margin, bool images, Settings::TableMode tables,
                       bool lineBreaks, double listSpacing) {
            Settings s;
            s.fontSize = size;
            s.lineSpacing = spacing;
            s.margin = margin;
            s.keepImages = images;
            s.tables = tables;
            s.keepLineBreaks = lineBreaks;
            s.listSpacing = listSpacing;
            return s;
        };
        using Mode = Settings::TableMode;
        return std::vector<LargePrintPreset>{
            {"large", "Large print 18 pt", "The usual large-print size: 18 pt, 1.4 spacing, Letter.",
             with(18, 1.4, 0.75, true, Mode::automatic, false, 0.35)},
            {"extra", "Extra large 24 pt", "24 pt with narrower margins for very low vision.",
             with(24, 1.35, 0.6, true, Mode::automatic, false, 0.35)},
            {"recipe", "Recipe card",
             "20 pt with extra room between ingredients and steps, no pictures, tables as lists.",
             with(20, 1.45, 0.75, false, Mode::list, false, 0.7)},
            {"hymn", "Hymn sheet / lyrics", "22 pt with every line break kept, for verses and lyrics.",
             with(22, 1.3, 0.75, true, Mode::automatic, true, 0.3)},
        };
    }();
    return presets;
}

const LargePrintPreset& LargePrintPreset::largePrint() { return all()[0]; }
const LargePrintPreset& LargePrintPreset::extraLarge() { return all()[1]; }
const LargePrintPreset& LargePrintPreset::recipeCard() { return all()[2]; }
const LargePrintPreset& LargePrintPreset::hymnSheet() { return all()[3]; }

} // namespace FolmiraKit

std::size_t std::hash<FolmiraKit::LargePrintSettings>::operator()(const FolmiraKit::LargePrintSettings& s) const noexcept
{
    std::size_t seed = 0;
    auto mix = [&seed](std::size_t h) { seed ^= h + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    std::hash<double> d;
    std::hash<bool> b;
    std::hash<std::string_view> sv;
    mix(d(s.fontSize));
    mix(d(s.lineSpacing));
    mix(d(s.margin));
    mix(sv(FolmiraKit::toString(s.paper)));
    mix(sv(FolmiraKit::toString(s.font)));
    mix(b(s.pageNumbers));
    mix(b(s.highContrast));
    mix(b(s.keepImages));
    mix(sv(FolmiraKit::toString(s.tables)));
    mix(b(s.keepLineBreaks));
    mix(d(s.listSpacing));
    return seed;
}
