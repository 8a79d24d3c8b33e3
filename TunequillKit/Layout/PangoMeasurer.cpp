#include "Platform/TextLayout.h"
#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Layout/TextMeasurer.h"

namespace TunequillKit {

double PangoMeasurer::width(std::string_view text, const FontSpec& font) const
{
    if (text.empty()) return 0;
    Platform::AttributedText attributed;
    attributed.append(text, Fonts::face(font));
    return Platform::TextLayout::lineWidth(attributed);
}

std::shared_ptr<const TextMeasurer> systemMeasurer()
{
    static const std::shared_ptr<const TextMeasurer> measurer = std::make_shared<PangoMeasurer>();
    return measurer;
}

} // namespace TunequillKit
