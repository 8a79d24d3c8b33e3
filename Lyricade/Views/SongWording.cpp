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

QString spokenKeyName(const std::string& name)
{
    if (name.empty()) return QString();
    QString spoken(QChar::fromLatin1(name.front()));
    std::string_view rest = std::string_view(name).substr(1);
    if (rest.starts_with('b') || rest.starts_with('#')) {
        spoken += rest.front() == 'b' ? QStringLiteral(" flat") : QStringLiteral(" sharp");
        rest.remove_prefix(1);
    }
    if (rest == "m") return spoken + QStringLiteral(" minor");
    return rest.empty() ? spoken : spoken + QString::fromStdString(std::string(rest));
}

std::optional<TunequillKit::Key> soundingKey(const TunequillKit::Song& song, std::int64_t transpose)
{
    auto key = song.effectiveKey();
    if (!key) return std::nullopt;
    return key->transposed(song.capo).transposed(transpose);
}

} // namespace Lyricade
