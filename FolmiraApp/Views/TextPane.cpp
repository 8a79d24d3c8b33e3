#include "FolmiraApp/Views/TextPane.h"

#include <QFontDatabase>

namespace FolmiraApp {

TextPane::TextPane(QWidget* parent) : QTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    document()->setDocumentMargin(18);
    setAccessibleName(QStringLiteral("Original document"));
}

void TextPane::setText(const StyledText& text)
{
    if (shown_ == text) return;
    shown_ = text;
    if (text.format == StyledText::Format::plain) {
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(12);
        mono.setWeight(QFont::Normal);
        document()->setDefaultFont(mono);
        setPlainText(text.content);
    } else {
        document()->setDefaultFont(font());
        setHtml(text.content);
    }
    document()->setDocumentMargin(18);
}

} // namespace FolmiraApp
