#include "TunequillKit/Render/ShapedTexts.h"

#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Layout/TextMeasurer.h"

namespace TunequillKit::Renderer {

const Platform::TextLayout* ShapedTexts::line(std::string_view text, const FontSpec& font)
{
    if (text.empty()) return nullptr;
    std::string key = shapingKey(text, font);
    if (auto found = layouts_.find(key); found != layouts_.end()) return found->second.get();
    Platform::AttributedText attributed;
    attributed.append(text, Fonts::face(font));
    // Wide enough never to wrap: a run is one line.
    auto layout = std::make_unique<Platform::TextLayout>(attributed, 1e6, Platform::ParagraphFormat{});
    return layouts_.emplace(std::move(key), std::move(layout)).first->second.get();
}

void ShapedTexts::trim()
{
    if (layouts_.size() > limit_) layouts_.clear();
}

} // namespace TunequillKit::Renderer
