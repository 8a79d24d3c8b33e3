#include "TunequillKit/Layout/Fonts.h"

#include <map>
#include <tuple>

namespace TunequillKit::Fonts {

std::string sansFace(int place, const std::string& fallback)
{
    if (sansFaces && sansFaces->size() == 4) return (*sansFaces)[static_cast<std::size_t>(place)];
    return fallback;
}

std::string_view nameView(const FontSpec& spec)
{
    if (spec.mono) return spec.bold ? "Menlo-Bold" : "Menlo-Regular";
    if (spec.serif) {
        if (spec.bold) return spec.italic ? "Charter-BoldItalic" : "Charter-Bold";
        return spec.italic ? "Charter-Italic" : "Charter-Roman";
    }
    static constexpr std::string_view helvetica[4] = {"HelveticaNeue", "HelveticaNeue-Bold", "HelveticaNeue-Italic",
                                                      "HelveticaNeue-BoldItalic"};
    const std::size_t place = (spec.bold ? 1 : 0) + (spec.italic ? 2 : 0);
    if (sansFaces && sansFaces->size() == 4) return (*sansFaces)[place];
    return helvetica[place];
}

std::string name(const FontSpec& spec) { return std::string(nameView(spec)); }

namespace {

// The named face, else a stand-in of its kind: tablature lines up only in a
// monospaced face, and a serif book stays serif.
Platform::Font resolve(const std::string& postScript, const FontSpec& spec)
{
    using Platform::Fonts::Generic;
    const Generic kind = spec.mono ? Generic::monospace : spec.serif ? Generic::serif : Generic::sansSerif;
    return Platform::Fonts::namedOrStandIn(postScript, spec.size, spec.bold, spec.italic, kind);
}

} // namespace

Platform::Font face(const FontSpec& spec)
{
    // A fontconfig listing per measurement would dominate the layout's time.
    thread_local std::map<std::tuple<std::string, bool, bool>, Platform::Font> faces;
    std::string postScript = name(spec);
    auto key = std::make_tuple(postScript, spec.bold, spec.italic);
    auto it = faces.find(key);
    if (it == faces.end())
        it = faces.emplace(key, resolve(postScript, spec)).first;
    Platform::Font font = it->second;
    font.size = spec.size;
    return font;
}

} // namespace TunequillKit::Fonts
