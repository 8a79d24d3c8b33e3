#pragma once

// The songbook model's open panel on Qt Widgets: several files and folders
// may be chosen in one panel.

#include "Lyricade/Panels.h"

#include <QPointer>
#include <QWidget>

namespace Lyricade {

class QtSongPanels final : public SongPanels {
public:
    explicit QtSongPanels(QWidget* parent = nullptr) : parent_(parent) {}

    std::optional<std::vector<std::filesystem::path>> chooseSongFiles(const QString& message, const QString& prompt,
                                                                      const QStringList& nameFilters) override;

private:
    QPointer<QWidget> parent_; // the dialogs' parent, while it lives
};

} // namespace Lyricade
