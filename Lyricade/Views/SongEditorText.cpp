#include "Lyricade/Views/SongEditorText.h"

#include <algorithm>
#include <utility>

namespace Lyricade {

namespace {

constexpr QChar paragraphBreak = QChar::ParagraphSeparator;

// The characters a QTextDocument starts a new block at; CR LF is one.
bool breaksLine(QChar c)
{
    return c == u'\n' || c == u'\r' || c == paragraphBreak || c == QChar(0xfdd0) || c == QChar(0xfdd1);
}

// The length of the line end at `i`: 2 for CR LF, else 1.
qsizetype unitLength(const QString& text, qsizetype i)
{
    return text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
}

QString firstLineEnd(const QString& source)
{
    for (qsizetype i = 0; i < source.size(); ++i) {
        if (source[i] == u'\r') return unitLength(source, i) == 2 ? QStringLiteral("\r\n") : QStringLiteral("\r");
        if (source[i] == u'\n') break;
    }
    return QStringLiteral("\n");
}

} // namespace

SongEditorText::SongEditorText(QString source)
    : source_(std::move(source)), shown_(shownText(source_)), lineEnd_(firstLineEnd(source_))
{
}

QString SongEditorText::shownText(const QString& source)
{
    QString shown;
    shown.reserve(source.size());
    for (qsizetype i = 0; i < source.size(); i += unitLength(source, i))
        shown += breaksLine(source[i]) ? paragraphBreak : source[i];
    return shown;
}

qsizetype SongEditorText::sourceIndex(qsizetype shownIndex) const
{
    qsizetype i = 0;
    for (qsizetype j = 0; j < shownIndex && i < source_.size(); ++j) i += unitLength(source_, i);
    return i;
}

bool SongEditorText::edited(const QString& raw, qsizetype from)
{
    // The changed range: what lies between the longest common prefix (no
    // further than the document says) and the longest common suffix after it.
    const qsizetype before = shown_.size(), after = raw.size();
    const qsizetype shorter = std::min(before, after);
    qsizetype prefix = 0;
    while (prefix < std::min(shorter, from) && shown_[prefix] == raw[prefix]) ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && shown_[before - 1 - suffix] == raw[after - 1 - suffix]) ++suffix;

    QString typed;
    typed.reserve(after - suffix - prefix);
    for (qsizetype i = prefix; i < after - suffix; ++i) {
        if (raw[i] == paragraphBreak)
            typed += lineEnd_;
        else
            typed += raw[i];
    }
    const qsizetype start = sourceIndex(prefix);
    const qsizetype end = sourceIndex(before - suffix);
    if (source_.mid(start, end - start) == typed) return false;
    source_.replace(start, end - start, typed);
    // From the stored text, not the document: a CR that came to stand before
    // an LF is one line end from now on, and the next edit's comparison
    // takes the document's extra break as typed.
    shown_ = shownText(source_);
    return true;
}

} // namespace Lyricade
