#include "Lyricade/Host.h"

namespace Lyricade {

namespace {
QString& brand()
{
    static QString name = QStringLiteral("Folmira");
    return name;
}
} // namespace

const QString& brandName()
{
    return brand();
}

void setBrandName(const QString& name)
{
    brand() = name;
}

SongHost SongHost::silent()
{
    return SongHost{
        [](const Platform::Bytes&, const QString&, const QString&) {},
        [](const SongPrintJob&) {},
        [] { return std::vector<Preset>{}; },
        [](bool) {},
    };
}

} // namespace Lyricade
