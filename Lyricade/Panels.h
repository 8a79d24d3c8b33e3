#pragma once

// What the songbook model asks of the desktop: an open panel for song files
// and folders, and an announcement for screen readers. The application hands
// the model Qt's own (QtSongPanels from LyricadePanels); tests hand it fakes.

#include <QString>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace Lyricade {

class SongPanels {
public:
    virtual ~SongPanels() = default;
    // A modal panel in which several files and folders may be chosen; none
    // when the user cancels.
    virtual std::optional<std::vector<std::filesystem::path>> chooseSongFiles(const QString& message,
                                                                              const QString& prompt,
                                                                              const QStringList& nameFilters) = 0;
};

class Announcer {
public:
    virtual ~Announcer() = default;
    virtual void announce(const QString& text) = 0;
};

// Posts Qt's accessibility announcement on the focused (else the first)
// window where Qt has the event (6.8 and later); elsewhere it does nothing and
// the model's status text carries the announcement.
std::shared_ptr<Announcer> qtAnnouncer();

} // namespace Lyricade
