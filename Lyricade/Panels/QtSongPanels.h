#pragma once

// The songbook model's open panel on Qt Widgets: several files and folders
// may be chosen in one panel.

#include "Lyricade/Panels.h"

class QWidget;

namespace Lyricade {

class QtSongPanels final : public SongPanels {
public:
    explicit QtSongPanels(QWidget* parent = nullptr) : parent_(parent) {}

    std::optional<std::vector<std::filesystem::path>> chooseSongFiles(const QString& message, const QString& prompt,
                                                                      const QStringList& nameFilters) override;

private:
    QWidget* parent_;
};

} // namespace Lyricade
