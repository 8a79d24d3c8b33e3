#pragma once

// The songbook side's own two menus, "Song" and "Book", for a host's menu
// bar. Their items act on the controller's model. The host's switch greys out
// every item but "About Song Licensing…"; the items that need a book (Move
// Up and Down in Book among them) are enabled only while a songbook or set
// list is selected, and the transpose items always. Labels, enabled states
// and check marks follow the model as it changes.
//
// A host can hand over the controller as a function that starts the songbook
// side: the menus call it only once they must show or act on its state (while
// the host's switch enables them, when one of them opens, or when an item is
// chosen), so a host that stays in another mode never pays for that start.

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;

namespace Lyricade {

class SongController;

class SongMenus : public QObject {
    Q_OBJECT

public:
    // Appends "Song" and "Book" to `bar`; the menus belong to the bar, and
    // this object too.
    SongMenus(SongController& controller, bool enabled, QMenuBar& bar);
    SongMenus(std::function<SongController&()> startController, bool enabled, QMenuBar& bar);

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);

    // Run by "About Song Licensing…" before it asks for the sheet, so a host
    // in another mode can bring up the songbook view that shows it.
    void setShowSongbook(std::function<void()> show) { showSongbook_ = std::move(show); }

    QMenu* songMenu() const { return song_; }
    QMenu* bookMenu() const { return book_; }

    // Reads the controller again: enabled states, check marks, the preview
    // label. Disabled and not yet started, the menus show every item of the
    // book off, without starting it.
    void refresh();

private:
    SongController& controller();
    void buildSongMenu();
    void buildBookMenu();

    std::function<SongController&()> startController_;
    std::function<void()> showSongbook_;
    SongController* controller_ = nullptr;
    bool enabled_;
    QMenu* song_;
    QMenu* book_;
    QAction* transposeUp_ = nullptr;
    QAction* transposeDown_ = nullptr;
    QAction* moveUp_ = nullptr;
    QAction* moveDown_ = nullptr;
    QAction* addSongs_ = nullptr;
    QAction* twoColumns_ = nullptr;
    QAction* onePerPage_ = nullptr;
    QAction* nashville_ = nullptr;
    QAction* booklet_ = nullptr;
};

} // namespace Lyricade
