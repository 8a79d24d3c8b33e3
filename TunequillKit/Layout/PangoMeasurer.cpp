#include "Platform/TextLayout.h"
#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Layout/TextMeasurer.h"

#include <cstring>
#include <unordered_map>

namespace TunequillKit {

namespace {

// Songs repeat their words and chords endlessly, and shaping a text with Pango
// costs microseconds, so widths are remembered per thread under the shaping
// key. Bounded: only short texts (words, chords, lines) are kept, and the
// whole cache is dropped when it grows large.
struct WidthCache {
    std::unordered_map<std::string, double> widths;
    static constexpr std::size_t limit = 50000;    // entries
    static constexpr std::size_t longestText = 256; // bytes
};

double shaped(std::string_view text, const FontSpec& font)
{
    Platform::AttributedText attributed;
    attributed.append(text, Fonts::face(font));
    return Platform::TextLayout::lineWidth(attributed);
}

} // namespace

std::string shapingKey(std::string_view text, const FontSpec& font)
{
    // The face's name (which the traits and Fonts::sansFaces decide), then the
    // exact size and the traits, then the text.
    const std::string_view name = Fonts::nameView(font);
    std::string k;
    k.reserve(name.size() + 2 + sizeof(double) + text.size());
    k.append(name);
    k += '\0';
    char size[sizeof(double)];
    std::memcpy(size, &font.size, sizeof size);
    k.append(size, sizeof size);
    k += static_cast<char>((font.bold ? 1 : 0) | (font.italic ? 2 : 0) | (font.mono ? 4 : 0) | (font.serif ? 8 : 0));
    k.append(text);
    return k;
}

double PangoMeasurer::width(std::string_view text, const FontSpec& font) const
{
    if (text.empty()) return 0;
    // A face made thousands of points tall leaves Cairo's shared font state
    // broken for the whole process. Unhinted widths grow in proportion to the
    // size, so a larger size is measured at this one and scaled.
    constexpr double largestMeasured = 1000; // points
    if (!(font.size <= largestMeasured)) {
        FontSpec measured = font;
        measured.size = largestMeasured;
        return width(text, measured) / largestMeasured * font.size;
    }
    if (text.size() > WidthCache::longestText) return shaped(text, font);
    thread_local WidthCache cache;
    std::string key = shapingKey(text, font);
    if (auto it = cache.widths.find(key); it != cache.widths.end()) return it->second;
    double width = shaped(text, font);
    if (cache.widths.size() >= WidthCache::limit) cache.widths.clear();
    cache.widths.emplace(std::move(key), width);
    return width;
}

std::shared_ptr<const TextMeasurer> systemMeasurer()
{
    static const std::shared_ptr<const TextMeasurer> measurer = std::make_shared<PangoMeasurer>();
    return measurer;
}

} // namespace TunequillKit
