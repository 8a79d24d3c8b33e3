#include "Lyricade/Views/SongDrops.h"

#include "Lyricade/AppModel.h"

#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

namespace Lyricade {

QMimeData* songDragData(const TunequillKit::Uuid& song)
{
    auto* data = new QMimeData;
    data->setText(QString::fromStdString(song.toString()));
    return data;
}

std::vector<TunequillKit::Uuid> droppedSongIDs(const QMimeData& data)
{
    std::vector<TunequillKit::Uuid> ids;
    if (!data.hasText()) return ids;
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
    for (const QString& line : data.text().split(lineBreaks, Qt::SkipEmptyParts))
        if (auto id = TunequillKit::Uuid::fromString(line.toStdString())) ids.push_back(*id);
    return ids;
}

std::vector<std::filesystem::path> droppedFiles(const QMimeData& data)
{
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile()) files.emplace_back(url.toLocalFile().toStdString());
    return files;
}

bool dropSongs(AppModel& model, const QMimeData& data, const TunequillKit::Uuid& book)
{
    const auto ids = droppedSongIDs(data);
    if (ids.empty()) return false;
    model.addSongs(ids, book);
    return true;
}

bool dropFiles(AppModel& model, const QMimeData& data)
{
    const auto files = droppedFiles(data);
    return !files.empty() && model.importFiles(files) > 0;
}

bool mayDropSongs(const QMimeData& data) { return data.hasText() && !data.hasUrls(); }

bool mayDropFiles(const QMimeData& data) { return data.hasUrls(); }

} // namespace Lyricade
