#pragma once

// Measuring text for the typesetter. The layout asks only for advance widths,
// so it can run without fonts in tests (see the fake measurer there).

#include "TunequillKit/Layout/Typeset.h"

#include <memory>
#include <string>
#include <string_view>

namespace TunequillKit {

class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // The advance width, in points, of `text` set on one line in `font`.
    virtual double width(std::string_view text, const FontSpec& font) const = 0;
};

// Measures with the faces Fonts::name gives, set by Pango; an empty text is 0.
// Missing faces fall back to the system font, as when drawing.
class PangoMeasurer : public TextMeasurer {
public:
    double width(std::string_view text, const FontSpec& font) const override;
};

// The key under which a text shaped in a font is remembered: everything its
// glyphs depend on (the face Fonts::name gives, the size, the traits, the text).
std::string shapingKey(std::string_view text, const FontSpec& font);

// The measurer layouts use unless told otherwise.
std::shared_ptr<const TextMeasurer> systemMeasurer();

} // namespace TunequillKit
