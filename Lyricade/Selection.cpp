#include "Lyricade/Selection.h"

namespace Lyricade {

std::string_view toString(PreviewMode mode)
{
    return mode == PreviewMode::booklet ? "booklet" : "pages";
}

QString title(PreviewMode mode)
{
    return mode == PreviewMode::booklet ? QStringLiteral("Booklet") : QStringLiteral("Pages");
}

} // namespace Lyricade

namespace TunequillKit {
template <>
std::optional<Lyricade::PreviewMode> fromString<Lyricade::PreviewMode>(std::string_view text)
{
    return detail::caseNamed(allCases<Lyricade::PreviewMode>, text,
                             [](Lyricade::PreviewMode mode) { return Lyricade::toString(mode); });
}
} // namespace TunequillKit
