#include "Lyricade/Views/SongWording.h"

namespace Lyricade {

QString songCountText(int count)
{
    return count == 1 ? QStringLiteral("1 song") : QStringLiteral("%1 songs").arg(count);
}

QString songTitle(const TunequillKit::Song* song)
{
    if (!song || song->title.empty()) return QStringLiteral("Untitled song");
    return QString::fromStdString(song->title);
}

std::optional<QString> artistOrSubtitle(const TunequillKit::Song& song)
{
    if (!song.artists.empty()) return QString::fromStdString(song.artists.front());
    if (!song.subtitles.empty()) return QString::fromStdString(song.subtitles.front());
    return std::nullopt;
}

QString prettyName(const std::string& name)
{
    return QString::fromStdString(TunequillKit::Accidental::pretty(name));
}

std::optional<TunequillKit::Key> soundingKey(const TunequillKit::Song& song, std::int64_t transpose)
{
    auto key = song.effectiveKey();
    if (!key) return std::nullopt;
    return key->transposed(song.capo).transposed(transpose);
}

} // namespace Lyricade
