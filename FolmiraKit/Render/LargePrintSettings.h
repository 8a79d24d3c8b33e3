#pragma once

// The choices that shape a large-print PDF, their allowed ranges, their JSON
// form, and the four ready-made presets.

#include "FolmiraKit/Model/Enums.h"
#include "FolmiraKit/Render/LargePrintFont.h"
#include "Platform/Geometry.h"

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit {

struct LargePrintSettings {
    enum class Paper { letter, a4, legal, halfLetter };
    static constexpr std::array<Paper, 4> allPapers{Paper::letter, Paper::a4, Paper::legal, Paper::halfLetter};

    // String forms "auto" and "list"; the first case cannot carry its string
    // form as its name in C++.
    enum class TableMode { automatic, list };
    static constexpr std::array<TableMode, 2> allTableModes{TableMode::automatic, TableMode::list};

    struct Range {
        double lower;
        double upper;
    };
    static constexpr Range sizeRange{14, 32};       // fontSize, points
    static constexpr Range spacingRange{1.15, 2.0}; // lineSpacing
    static constexpr Range marginRange{0.4, 1.5};   // margin, inches
    static constexpr Range listSpacingRange{0, 1.5}; // listSpacing, multiples of fontSize

    double fontSize = 18;     // body type size, points
    double lineSpacing = 1.4; // multiple of single spacing
    double margin = 0.75;     // inches, on all four sides
    Paper paper = Paper::letter;
    LargePrintFont font = LargePrintFont::atkinson;
    bool pageNumbers = true;
    bool highContrast = false; // bolder text, heavier lines
    bool keepImages = true;
    TableMode tables = TableMode::automatic;
    bool keepLineBreaks = false; // read text and Markdown with their line breaks kept
    double listSpacing = 0.35;   // between two list items, multiple of fontSize

    // A copy with fontSize, lineSpacing, margin and listSpacing brought into
    // their ranges (a NaN becomes the lower bound); other fields unchanged.
    LargePrintSettings clamped() const;

    // Floats compare numerically, so a NaN is never equal.
    bool operator==(const LargePrintSettings&) const = default;

    // The JSON object with all eleven keys, named as the fields.
    std::string encodeJSON() const;

    class DecodingError : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };
    // Reads the JSON form strictly: every one of the eleven keys is required,
    // numbers must be numbers, Booleans JSON Booleans, and paper, font and tables
    // exact string forms. Other keys are ignored; values are not clamped.
    // Throws DecodingError naming what was wrong.
    static LargePrintSettings decodeJSON(std::string_view json);
};

std::string_view toString(LargePrintSettings::Paper paper);
template <>
std::optional<LargePrintSettings::Paper> fromString<LargePrintSettings::Paper>(std::string_view text);
// "US Letter (8.5 × 11 in)" and so on, for the picker.
std::string_view name(LargePrintSettings::Paper paper);
// Width × height in points.
Platform::Size size(LargePrintSettings::Paper paper);

std::string_view toString(LargePrintSettings::TableMode mode);
template <>
std::optional<LargePrintSettings::TableMode> fromString<LargePrintSettings::TableMode>(std::string_view text);
std::string_view name(LargePrintSettings::TableMode mode);

// A named set of settings offered as one choice.
struct LargePrintPreset {
    std::string id; // short and stable; a preset's identity
    std::string name;
    std::string detail; // one sentence
    LargePrintSettings settings;

    bool operator==(const LargePrintPreset&) const = default;

    // The four presets in order: large print, extra large, recipe card, hymn sheet.
    // Built once, on first use, and never changed.
    static const std::vector<LargePrintPreset>& all();
    static const LargePrintPreset& largePrint();
    static const LargePrintPreset& extraLarge();
    static const LargePrintPreset& recipeCard();
    static const LargePrintPreset& hymnSheet();
};

} // namespace FolmiraKit

template <>
struct std::hash<FolmiraKit::LargePrintSettings> {
    std::size_t operator()(const FolmiraKit::LargePrintSettings& settings) const noexcept;
};
