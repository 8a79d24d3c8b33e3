#include "Lyricade/Views/SongEditorText.h"

#include <QByteArrayView>
#include <QStringDecoder>
#include <QTextDocument>

#include <algorithm>
#include <utility>

namespace Lyricade {

namespace {

constexpr QChar paragraphBreak = QChar::ParagraphSeparator;
constexpr QChar byteOrderMark(0xfeff);

// The characters a QTextDocument starts a new block at; CR LF is one.
bool breaksLine(QChar c)
{
    return c == u'\n' || c == u'\r' || c == paragraphBreak || c == QChar(0xfdd0) || c == QChar(0xfdd1);
}

bool endsLine(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// The length of the line end at `i`: 2 for CR LF, else 1.
qsizetype unitLength(const QString& text, qsizetype i)
{
    return text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
}

// The byte-order mark the editor doesn't show: 1 when the text starts with one.
qsizetype markLength(const QString& text)
{
    return text.startsWith(byteOrderMark) ? 1 : 0;
}

// The whole line end (CR, LF or CR LF) that the CR or LF at `i` is part of.
QString lineEndAround(const QString& text, qsizetype i)
{
    const bool pair = (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ||
                      (text[i] == u'\n' && i > 0 && text[i - 1] == u'\r');
    return pair ? QStringLiteral("\r\n") : QString(text[i]);
}

} // namespace

SongEditorText::SongEditorText(const std::string& stored)
{
    // QString::fromUtf8 drops a leading byte-order mark; the song keeps it.
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    source_ = decode(QByteArrayView(stored.data(), static_cast<qsizetype>(stored.size())));
    shown_ = shownText(source_);
}

QString SongEditorText::shownText(const QString& source)
{
    QString shown;
    shown.reserve(source.size());
    for (qsizetype i = markLength(source); i < source.size(); i += unitLength(source, i))
        shown += breaksLine(source[i]) ? paragraphBreak : source[i];
    return shown;
}

qsizetype SongEditorText::sourceIndex(qsizetype shownIndex) const
{
    qsizetype i = markLength(source_);
    for (qsizetype j = 0; j < shownIndex && i < source_.size(); ++j) i += unitLength(source_, i);
    return i;
}

SongEditorText::Change SongEditorText::changeTo(const QString& raw, qsizetype from) const
{
    // The changed range: what lies between the longest common prefix (no
    // further than the document says) and the longest common suffix after it.
    const qsizetype before = shown_.size(), after = raw.size();
    const qsizetype shorter = std::min(before, after);
    qsizetype prefix = 0;
    while (prefix < std::min(shorter, from) && shown_[prefix] == raw[prefix]) ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && shown_[before - 1 - suffix] == raw[after - 1 - suffix]) ++suffix;
    return {sourceIndex(prefix), sourceIndex(before - suffix), raw.mid(prefix, after - suffix - prefix)};
}

QString SongEditorText::typedLineEnd(qsizetype start, qsizetype end) const
{
    // The line end beside the edit, else the one that ends the edited line,
    // else the nearest before it. Taken from beside the edit, a typed line
    // end never joins a stored one into one CR LF.
    qsizetype next = end;
    while (next < source_.size() && !endsLine(source_[next])) ++next;
    qsizetype previous = start - 1;
    while (previous >= 0 && !endsLine(source_[previous])) --previous;
    if (next == end && next < source_.size()) return lineEndAround(source_, next);
    if (previous == start - 1 && previous >= 0) return lineEndAround(source_, previous);
    if (next < source_.size()) return lineEndAround(source_, next);
    if (previous >= 0) return lineEndAround(source_, previous);
    return QStringLiteral("\n");
}

QString SongEditorText::sourceText(qsizetype shownStart, qsizetype shownEnd) const
{
    const qsizetype start = sourceIndex(shownStart);
    return source_.mid(start, sourceIndex(shownEnd) - start);
}

QString SongEditorText::typedSource(const Change& change, const QString& carried) const
{
    if (!carried.isEmpty() && shownText(carried) == change.typed) return carried;
    QString typed;
    typed.reserve(change.typed.size());
    QString lineEnd;
    for (QChar c : change.typed) {
        if (c != paragraphBreak) {
            typed += c;
            continue;
        }
        if (lineEnd.isEmpty()) lineEnd = typedLineEnd(change.start, change.end);
        typed += lineEnd;
    }
    return typed;
}

void SongEditorText::pad(qsizetype at, std::vector<qsizetype>& padding)
{
    source_.insert(at, u'\r');
    auto later = std::upper_bound(padding.begin(), padding.end(), at - 1);
    for (auto it = later; it != padding.end(); ++it) ++*it;
    padding.insert(later, at);
}

void SongEditorText::make(const Change& change, const QString& carried)
{
    const QString typed = typedSource(change, carried);
    source_.replace(change.start, change.end - change.start, typed);

    // Padding CRs move with the text; one without a lone CR before it goes.
    const qsizetype shift = typed.size() - (change.end - change.start);
    std::vector<qsizetype> padding;
    qsizetype removed = 0;
    for (qsizetype at : padding_) {
        if (at >= change.start && at < change.end) continue;
        at += (at >= change.end ? shift : 0) - removed;
        if (at > 0 && source_[at - 1] == u'\r') {
            padding.push_back(at);
        } else {
            source_.remove(at, 1);
            ++removed;
        }
    }
    // A deletion between a lone CR and a lone LF, or moved text that ends in
    // one beside the other, would leave them one line end, a line fewer than
    // the editor shows: while they touch, a CR before the LF keeps them two.
    // The later seam first, so the earlier one's place holds.
    const auto joins = [this](qsizetype seam) {
        return seam > 0 && seam < source_.size() && source_[seam - 1] == u'\r' && source_[seam] == u'\n';
    };
    if (joins(change.start + typed.size())) pad(change.start + typed.size(), padding);
    if (!typed.isEmpty() && joins(change.start)) pad(change.start, padding);
    padding_ = std::move(padding);
}

void SongEditorText::undoTo(std::size_t count)
{
    for (; steps_.size() > count; steps_.pop_back()) {
        const Step& step = steps_.back();
        source_.replace(step.at, step.inserted.size(), step.removed);
        undone_.push_back(step);
    }
    padding_ = steps_.empty() ? std::vector<qsizetype>() : steps_.back().padding;
    shown_ = shownText(source_);
}

bool SongEditorText::redone(std::size_t commands, const QString& raw)
{
    // Made again from the steps rather than from the document, whose redo
    // would retype the line ends of text it took out and put back (a move).
    if (commands <= steps_.size() || commands - steps_.size() > undone_.size()) return false;
    const auto count = static_cast<std::ptrdiff_t>(commands - steps_.size());
    QString again = source_;
    for (auto step = undone_.rbegin(); step != undone_.rbegin() + count; ++step)
        again.replace(step->at, step->removed.size(), step->inserted);
    if (shownText(again) != raw) return false;
    source_ = std::move(again);
    shown_ = raw;
    steps_.insert(steps_.end(), undone_.rbegin(), undone_.rbegin() + count);
    undone_.erase(undone_.end() - count, undone_.end());
    padding_ = steps_.back().padding;
    return true;
}

void SongEditorText::record(const QString& before, bool ownCommand)
{
    qsizetype at = 0;
    const qsizetype shorter = std::min(before.size(), source_.size());
    while (at < shorter && before[at] == source_[at]) ++at;
    qsizetype same = 0;
    while (same < shorter - at && before[before.size() - 1 - same] == source_[source_.size() - 1 - same]) ++same;
    const QString removed = before.mid(at, before.size() - same - at);
    const QString inserted = source_.mid(at, source_.size() - same - at);
    if (ownCommand) {
        steps_.push_back({at, removed, inserted, padding_});
        return;
    }
    if (steps_.empty()) return; // the document keeps no undo for it
    // One step for the command: the span both edits touch, in `before`.
    Step& last = steps_.back();
    const qsizetype from = std::min(last.at, at);
    const qsizetype lastEnd = last.at + last.inserted.size();
    const qsizetype to = std::max(lastEnd, at + removed.size());
    last.removed = before.mid(from, last.at - from) + last.removed + before.mid(lastEnd, to - lastEnd);
    last.inserted = before.mid(from, at - from) + inserted + before.mid(at + removed.size(), to - at - removed.size());
    last.at = from;
    last.padding = padding_;
}

bool SongEditorText::edited(const QTextDocument& document, const Edit& edit)
{
    const QString start = source_;
    const auto commands = static_cast<std::size_t>(document.availableUndoSteps());
    // An undo: the steps give back what the document can't tell, the line ends it took out.
    if (commands < steps_.size()) undoTo(commands);
    const QString raw = document.toRawText();
    const bool redo = !edit.newCommand && redone(commands, raw);
    if (!redo && raw != shown_) {
        // A new edit, or a keystroke the document added to its last command:
        // nothing undone can be redone after it.
        undone_.clear();
        const QString before = source_;
        make(changeTo(raw, edit.from), edit.carried);
        // From the stored text, so the next comparison is with what the song holds.
        shown_ = shownText(source_);
        record(before, commands > steps_.size());
    }
    while (steps_.size() < commands) steps_.push_back({0, {}, {}, padding_});
    return source_ != start;
}

} // namespace Lyricade
