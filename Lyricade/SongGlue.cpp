#include "Lyricade/SongGlue.h"

#include <cmath>

namespace Lyricade::SongGlue {

using namespace TunequillKit;

std::optional<std::vector<std::string>> faces(const std::vector<std::string>& names, bool highContrast)
{
    if (names.size() != 4) return std::nullopt;
    if (!highContrast) return names;
    return std::vector<std::string>{names[1], names[1], names[3], names[3]};
}

double lyricSize(double forPreset)
{
    return BookSettings::fontSizes.clamped(std::round(forPreset));
}

BookSettings effective(BookSettings settings, bool highContrast)
{
    if (highContrast) {
        settings.boldChorus = true;
        settings.chordsInColor = false;
    }
    return settings;
}

PageSize pageSize(std::string_view forPaper)
{
    if (forPaper == "a4") return PageSize::a4;
    if (forPaper == "halfLetter") return PageSize::halfLetter;
    return PageSize::letter;
}

} // namespace Lyricade::SongGlue
