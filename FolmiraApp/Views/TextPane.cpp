#include "FolmiraApp/Views/TextPane.h"

#include <QFontDatabase>

#include <cstdio>

namespace FolmiraApp {

namespace {

QtMessageHandler passedOn = nullptr;

void dropShapingNotes(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // Qt notes each font it falls back through that lacks a script's shaping
    // tables: a file that is no text, read as text, touches every script and
    // fills standard error with a note per font and script, none of them a fault.
    if (type == QtWarningMsg && message.trimmed().startsWith(QStringLiteral("OpenType support missing for"))) return;
    if (passedOn) passedOn(type, context, message);
    else fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

void quietShapingNotes()
{
    // Once only: installed again above a handler that passes messages on to
    // ours, each would hand every message to the other without end.
    static const bool installed = [] {
        passedOn = qInstallMessageHandler(dropShapingNotes);
        return true;
    }();
    (void)installed;
}

TextPane::TextPane(QWidget* parent) : QTextEdit(parent)
{
    quietShapingNotes();
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
