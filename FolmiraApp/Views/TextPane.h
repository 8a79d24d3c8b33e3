#pragma once

// A text original, read-only but selectable, inset 18 points. The text is
// replaced only when it differs, so the scroll position and the selection
// survive the panes' frequent refreshes.

#include "FolmiraApp/Model/StyledText.h"

#include <QTextEdit>

#include <optional>

namespace FolmiraApp {

// Keeps Qt's notes on fonts without a script's shaping tables off standard
// error, passing every other message on to the handler installed before.
// Installed once, by the first pane.
void quietShapingNotes();

class TextPane : public QTextEdit {
    Q_OBJECT

public:
    explicit TextPane(QWidget* parent = nullptr);

    void setText(const StyledText& text);
    const std::optional<StyledText>& shown() const { return shown_; }

private:
    std::optional<StyledText> shown_;
};

} // namespace FolmiraApp
