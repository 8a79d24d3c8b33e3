#pragma once

// A text original, read-only but selectable, inset 18 points. The text is
// replaced only when it differs, so the scroll position and the selection
// survive the panes' frequent refreshes.

#include "FolmiraApp/Model/StyledText.h"

#include <QTextEdit>

#include <optional>

namespace FolmiraApp {

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
