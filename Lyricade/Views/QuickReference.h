#pragma once

// The card of ChordPro markup the song editor accepts: a title, eleven
// examples with what each does, and a footer. Text only; it does nothing.

#include <QFrame>
#include <QString>

#include <array>

class QScrollArea;

namespace Lyricade {

struct QuickReferenceRow {
    const char* example; // as typed
    const char* caption; // what it does
};

// In the order the card shows them.
extern const std::array<QuickReferenceRow, 11> quickReferenceRows;

class CheatSheet : public QWidget {
    Q_OBJECT

public:
    static constexpr int cardWidth = 440; // whatever the window's size

    explicit CheatSheet(QWidget* parent = nullptr);

    // Every text of the card, top to bottom.
    QStringList texts() const;
};

// The card in a small window of its own over the editor's: it takes the
// focus when shown, so a screen reader reads it, and closes on Escape.
class QuickReferencePopup : public QFrame {
    Q_OBJECT

public:
    explicit QuickReferencePopup(QWidget* parent);
    CheatSheet* sheet() const { return sheet_; }

    // Shows the card under `anchor`, kept on its screen.
    void showBelow(QWidget* anchor);

signals:
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QScrollArea* scroll_;
    CheatSheet* sheet_;
};

} // namespace Lyricade
