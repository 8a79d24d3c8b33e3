#include "TunequillKit/Layout/Fonts.h"

namespace TunequillKit::Fonts {

std::string sansFace(int place, const std::string& fallback)
{
    if (sansFaces && sansFaces->size() == 4) return (*sansFaces)[static_cast<std::size_t>(place)];
    return fallback;
}

std::string name(const FontSpec& spec)
{
    if (spec.mono) return spec.bold ? "Menlo-Bold" : "Menlo-Regular";
    if (spec.serif) {
        if (spec.bold) return spec.italic ? "Charter-BoldItalic" : "Charter-Bold";
        return spec.italic ? "Charter-Italic" : "Charter-Roman";
    }
    static const std::string helvetica[4] = {"HelveticaNeue", "HelveticaNeue-Bold", "HelveticaNeue-Italic",
                                             "HelveticaNeue-BoldItalic"};
    int place = (spec.bold ? 1 : 0) + (spec.italic ? 2 : 0);
    return sansFace(place, helvetica[place]);
}

} // namespace TunequillKit::Fonts
