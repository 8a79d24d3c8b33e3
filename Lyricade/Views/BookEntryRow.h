#pragma once

// One entry of a songbook or set list: its place, the song's title and first
// artist, and two pop-up menus that set the key it is printed in and the capo
// its chord shapes assume, for this entry only. Choices go straight into the
// model's library; the book view then shows them in this row. The menus are
// Tab stops on the current row only (Space or Return opens them), so Tab
// leaves a long book in two steps.

#include <QWidget>

#include "Lyricade/Views/EntryAccessible.h"
#include "TunequillKit/Library/Library.h"

#include <memory>
#include <optional>

class QHBoxLayout;
class QLabel;
class QMenu;
class QToolButton;
class QVBoxLayout;

namespace Lyricade {

class AppModel;

class EntryRow : public QWidget {
    Q_OBJECT

public:
    // `number` is the entry's place in the book, counted from 1.
    EntryRow(AppModel& model, int number, const TunequillKit::SongEntry& entry, QWidget* parent = nullptr);

    const TunequillKit::SongEntry& entry() const { return entry_; }
    // Shows the entry's new key and capo, in place: the same entry of the same song.
    void setEntry(const TunequillKit::SongEntry& entry);
    // Shows `entry`, of any song, at place `number`, in this row's widgets:
    // only the texts that differ change, so a reader hears of those alone.
    void showEntry(int number, const TunequillKit::SongEntry& entry);
    QLabel* numberLabel() const { return number_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* detailLabel() const { return detail_; }  // null when the song names no artist or subtitle
    ChoiceButton* keyButton() const { return key_; } // null without a song key
    ChoiceButton* capoButton() const { return capo_; }
    QMenu* keyMenu() const;                          // null without a song key
    QMenu* capoMenu() const;

    // The row as a screen reader names it: "1, Amazing Grace, Key B flat, No capo",
    // the key in words.
    QString spokenText() const;
    // Whether Tab stops at the key and capo menus: on for the list's current
    // row, which also shows the list's focus ring while the list has the focus.
    void setTabStops(bool on);
    // Draws the row's texts in the selection's colours, or back in their own.
    void setSelected(bool selected);
    bool selected() const { return selected_; }

    // "Edit Song", then "Remove from Book".
    std::unique_ptr<QMenu> contextMenu();

    // Offsets of the key menu's items from the written key: −5 … +6.
    static constexpr int lowestShift = -5;
    static constexpr int highestShift = 6;
    static constexpr int highestCapo = 9;

    // Whether the key and capo menus stand under the texts, as they do where
    // the row is too narrow for them beside (a small screen at large fonts).
    bool choicesUnder() const { return choicesUnder_; }
    // The least width the row does with: its menus under its texts.
    int leastWidth() const;

signals:
    // The row's height changed with the place of its menus.
    void heightChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A new palette (the list's, once the row stands on it, or a new theme)
    // colours the parts again: their colours are worked out from it.
    void changeEvent(QEvent* event) override;

private:
    // Shows `entry_` at place `number`, the menus where they stand.
    void fill(int number);
    void buildKeyMenu();
    void buildCapoMenu();
    // The detail line, made, worded or taken away.
    void showDetail(const std::optional<QString>& named);
    // The key menu for `song` (which has a key), or none without one.
    void showKeyMenu(const TunequillKit::Song* song, TunequillKit::Accidentals accidentals);
    // The capo menu's first item, naming the song's own capo.
    void nameCapos(const TunequillKit::Song* song);
    // The parts' colours: the selection's, or their own.
    void paintParts();
    // The key and capo of the entry on the buttons, checked in their menus.
    void showChoices();
    // Writes one field of this entry in the selected book, in one library change.
    void change(const std::function<void(TunequillKit::SongEntry&)>& edit);
    void placeChoices();
    // The row's least width with the menus beside the texts, for the menus' present texts.
    int besideWidth() const;

    AppModel& model_;
    TunequillKit::SongEntry entry_;
    bool selected_ = false;
    bool current_ = false;
    QLabel* number_;
    QLabel* title_;
    QLabel* detail_ = nullptr;
    EntryPopUp* key_ = nullptr;
    EntryPopUp* capo_;
    QHBoxLayout* row_;
    QVBoxLayout* texts_;
    QHBoxLayout* choices_;
    int restWidth_ = 0; // the row's least width with the menus beside the texts, less the menus'
    bool choicesUnder_ = false;
};

// "No capo" for 0, else "Capo N".
QString capoText(std::int64_t capo);

} // namespace Lyricade
