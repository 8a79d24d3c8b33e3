#pragma once

#include <QAccessible>
#include <QString>

namespace PdfView {

// The text a control shows, read-only, with no caret or selection of its
// own: what a reader asks a combo box for its shown text, or a page view for
// its page's.
class ShownTextAccessible : public QAccessibleTextInterface {
public:
    QString text(int startOffset, int endOffset) const override
    {
        return shownText().mid(startOffset, endOffset < 0 ? -1 : endOffset - startOffset);
    }
    int characterCount() const override { return int(shownText().size()); }
    void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return QString();
    }

protected:
    virtual QString shownText() const = 0;
};

} // namespace PdfView
