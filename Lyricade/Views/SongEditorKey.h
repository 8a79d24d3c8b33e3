#pragma once

// The transpose control of the song editor's preview: the key the preview is
// in and a stepper that moves the preview's transposition a half step at a
// time. It never changes the song's text.

#include "TunequillKit/Song/Chord.h"

#include <QWidget>

#include <optional>

class QLabel;
class QToolButton;

namespace Lyricade {

class AppModel;

// "as written", "Key A (+2)", "Key E♭ (-2)": the key moved by `transpose`
// half steps, spelled as its key prefers; the suffix alone without a key.
QString keyText(const std::optional<TunequillKit::Key>& key, int transpose);

class KeyStepper : public QWidget {
    Q_OBJECT

public:
    explicit KeyStepper(AppModel& model, QWidget* parent = nullptr);

    QString text() const;
    // The width it takes with its text on one line.
    int widthOnOneLine() const;
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

private:
    void refresh();

    AppModel& model_;
    QLabel* key_;
    QWidget* stepper_;
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace Lyricade
