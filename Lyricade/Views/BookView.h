#pragma once

// The songbook window's second column while a songbook or set list is
// selected: the book's name and subtitle as editable fields, its entries in
// order, an empty state while it has none, and a footer that opens the
// add-songs sheet and counts songs and preview pages. Shows nothing while no
// book is selected.

#include <QWidget>

#include "TunequillKit/Library/Library.h"

#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace Lyricade {

class AppModel;
class BookEntryList;
class EmptyStateOverlay;
class EntryRow;

class BookView : public QWidget {
    Q_OBJECT

public:
    explicit BookView(AppModel& model, QWidget* parent = nullptr);

    QWidget* content() const { return content_; } // hidden while no book is selected
    QLineEdit* nameField() const { return name_; }
    QLineEdit* subtitleField() const { return subtitle_; }
    BookEntryList* list() const { return list_; }
    EntryRow* row(int index) const;
    // The least width the book does with: its rows' menus under their
    // texts and not squeezed, beside the list's scroll bar.
    int leastWidth() const;
    EmptyStateOverlay* emptyState() const { return empty_; }
    QPushButton* addSongsButton() const { return addSongs_; }
    QLabel* footerLabel() const { return footer_; }

    // "N songs", then " · " and the preview's pages or printed sides when it has any.
    static QString footerText(int entries, int previewPages, bool booklet);

private:
    void refresh();
    void refreshRows(const TunequillKit::Songbook& book);
    void refreshFooter();
    void showSelection();
    // Tab reaches the key and capo menus of the current row only.
    void followCurrentRow();
    void selectedByUser();
    void openAddSongs();
    void edit(bool name, const QString& text);

    // What the rows were last built from; equal means the rows still stand.
    struct RowsState {
        std::vector<TunequillKit::SongEntry> entries;
        std::vector<std::string> sources;
        TunequillKit::Accidentals accidentals{};
        bool operator==(const RowsState&) const = default;
    };
    // Brings the rows to `entries` in place (see the .cpp).
    void placeRows(const std::vector<TunequillKit::SongEntry>& entries);
    // A new row for `entry` at `at`.
    void addRow(int at, const TunequillKit::SongEntry& entry);
    TunequillKit::Uuid entryAt(int index) const;

    AppModel& model_;
    QWidget* content_;
    QLineEdit* name_;
    QLineEdit* subtitle_;
    BookEntryList* list_;
    EmptyStateOverlay* empty_;
    QPushButton* addSongs_;
    QLabel* footer_;
    std::optional<RowsState> rows_;
    bool rebuilding_ = false;
};

} // namespace Lyricade
