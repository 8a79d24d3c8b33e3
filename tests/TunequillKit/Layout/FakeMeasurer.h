#pragma once

// A measurer that needs no fonts: every character is half the font size wide.

#include "Platform/Text.h"
#include "TunequillKit/Layout/TextMeasurer.h"

#include <memory>

namespace TunequillKit::Testing {

class FakeMeasurer : public TextMeasurer {
public:
    double width(std::string_view text, const FontSpec& font) const override
    {
        return 0.5 * font.size * Platform::Text::characterCount(text);
    }
};

inline std::shared_ptr<const TextMeasurer> fakeMeasurer() { return std::make_shared<FakeMeasurer>(); }

} // namespace TunequillKit::Testing
