#pragma once

// The songbook window's second column while All Songs is selected: the
// library's songs that match the search, in title order, with a bar that
// counts them and makes or imports songs. Selecting a row selects the song
// in the model; rows drag into books; files dropped on the list are imported.

#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidgetItem;
class QMenu;
class QPushButton;

namespace TunequillKit {
struct StoredSong;
}

namespace Lyricade {

class AppModel;
class EmptyStateOverlay;
class SongListWidget;

class SongListView : public QWidget {
    Q_OBJECT

public:
    explicit SongListView(AppModel& model, QWidget* parent = nullptr);

    QLineEdit* searchField() const { return search_; }
    SongListWidget* list() const { return list_; }
    EmptyStateOverlay* emptyState() const { return empty_; }
    QLabel* countLabel() const { return count_; }
    QPushButton* newSongButton() const { return newSong_; }
    QPushButton* importButton() const { return import_; }

    // A row's context menu: "Add to" (one item per book), then "Delete Song…".
    std::unique_ptr<QMenu> songMenu(const TunequillKit::StoredSong& song);

private:
    void rebuild();
    void fill(QListWidgetItem& item, const TunequillKit::StoredSong& stored) const;
    void showSelection();
    void selectedByUser();
    void openMenu(const QPoint& pos);

    AppModel& model_;
    QLineEdit* search_;
    SongListWidget* list_;
    EmptyStateOverlay* empty_;
    QLabel* count_;
    QPushButton* newSong_;
    QPushButton* import_;
    bool rebuilding_ = false;
};

} // namespace Lyricade
