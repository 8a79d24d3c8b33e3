#pragma once

// The typeface of a large-print document: one that ships with the application
// (Atkinson Hyperlegible) and three looked up among the system's fonts.

#include "FolmiraKit/Model/Enums.h"
#include "Platform/Fonts.h"

#include <array>
#include <string>
#include <string_view>

namespace FolmiraKit {

class LargePrintFont {
public:
    enum Value { atkinson, verdana, arial, helvetica };
    static const std::array<LargePrintFont, 4> allCases; // in the picker's order

    constexpr LargePrintFont(Value value = atkinson) : value_(value) {}
    constexpr operator Value() const { return value_; }

    std::string_view id() const;   // the string form: "atkinson", "verdana", "arial", "helvetica"
    std::string_view name() const; // for the picker: "Atkinson Hyperlegible", "Verdana", …
    // PostScript names of the regular, bold, italic and bold italic faces.
    const std::array<std::string_view, 4>& faces() const;

    // The face for the style (bold adds 1 to the index into faces(), italic 2) at
    // `size` points, looked up by its exact PostScript name after the shipped fonts
    // are registered; when it is missing, the system font of that size, bold or
    // regular, made italic when asked.
    Platform::Font font(double size, bool bold, bool italic) const;

    // Registers the shipped faces with fontconfig for this process, once.
    static void registerBundledFonts();
    // The shipped typeface's licence (Fonts/OFL-AtkinsonHyperlegible.txt), read
    // afresh on each call; "" when the file is missing or unreadable.
    static std::string atkinsonLicense();

private:
    Value value_;
};

std::string_view toString(LargePrintFont font);
template <>
std::optional<LargePrintFont> fromString<LargePrintFont>(std::string_view text);

} // namespace FolmiraKit
