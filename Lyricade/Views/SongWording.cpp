#include "Lyricade/Views/SongWording.h"

#include <QRegularExpression>

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

QString spokenKeys(const QString& shown)
{
    // A note letter standing alone, with its sign and minor "m" if any.
    static const QRegularExpression key(QStringLiteral("\\b([A-G])([♯♭]?)(m?)(?=[\\s(),]|$)"));
    QString spoken;
    qsizetype from = 0;
    for (auto match = key.globalMatch(shown); match.hasNext();) {
        const auto found = match.next();
        spoken += shown.mid(from, found.capturedStart() - from) + found.captured(1);
        if (!found.captured(2).isEmpty())
            spoken += found.captured(2) == QStringLiteral("♯") ? QStringLiteral(" sharp") : QStringLiteral(" flat");
        if (!found.captured(3).isEmpty()) spoken += QStringLiteral(" minor");
        from = found.capturedEnd();
    }
    return spoken + shown.mid(from);
}

std::optional<TunequillKit::Key> soundingKey(const TunequillKit::Song& song, std::int64_t transpose)
{
    auto key = song.effectiveKey();
    if (!key) return std::nullopt;
    return key->transposed(song.capo).transposed(transpose);
}

} // namespace Lyricade
