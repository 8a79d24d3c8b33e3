#pragma once

// The sheet in which songs of the library are ticked, in the order they are
// to stand, and appended to the selected songbook or set list. Window-modal
// over its parent; 460 × 460. Closing it, either way, sets the model's
// `addSongsShown` back to false.

#include <QDialog>

#include "TunequillKit/Library/Identity.h"

#include <vector>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace Lyricade {

class AppModel;

class AddSongsSheet : public QDialog {
    Q_OBJECT

public:
    static constexpr int idRole = Qt::UserRole + 1;    // the song's id, as text
    static constexpr int placeRole = Qt::UserRole + 2; // its place in the tick order (1…), 0 when not ticked
    static constexpr int inBookRole = Qt::UserRole + 3; // true when the book already holds it
    // What tells it from another song of the same title (its artist, else its
    // file); empty where its title is its own.
    static constexpr int apartRole = Qt::UserRole + 4;

    explicit AddSongsSheet(AppModel& model, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return title_; }
    QLineEdit* searchField() const { return search_; }
    QListWidget* list() const { return list_; }
    QLabel* hintLabel() const { return hint_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* cancelButton() const { return cancel_; }
    const std::vector<TunequillKit::Uuid>& picked() const { return picked_; }

    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    void rebuild();
    void toggled(QListWidgetItem* item);
    void add();

    AppModel& model_;
    QLabel* title_;
    QLineEdit* search_;
    QListWidget* list_;
    QLabel* hint_;
    QPushButton* cancel_;
    QPushButton* add_;
    std::vector<TunequillKit::Uuid> picked_;
    bool rebuilding_ = false;
};

} // namespace Lyricade
