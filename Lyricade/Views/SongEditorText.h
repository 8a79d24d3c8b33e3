#pragma once

// The stored text of the song in the editor, kept to the character. The
// editor's document makes one paragraph break of every line end (CR LF, CR,
// LF, U+2029) and its plain text turns no-break spaces into spaces, so the
// song is never read back from the editor whole: each edit is found by
// comparing the document's raw text before and after it, and only the range
// that changed is put into the stored text. Songs from other systems keep
// their line ends, their no-break and other spaces and their tabs.

#include <QString>

#include <limits>

namespace Lyricade {

class SongEditorText {
public:
    static constexpr qsizetype anywhere = std::numeric_limits<qsizetype>::max();

    explicit SongEditorText(QString source = {});

    // The song's text with the edits so far.
    const QString& source() const { return source_; }
    // What the editor's document holds for `source`, as its raw text: one
    // U+2029 for each line end, every other character as stored.
    static QString shownText(const QString& source);

    // Takes the document's raw text after an edit that changed nothing
    // before `from` (the document's own report; it picks which of two equal
    // line breaks was meant). Line breaks typed in become the song's own line
    // end. True when the stored text changed.
    bool edited(const QString& raw, qsizetype from = anywhere);

private:
    // Where the character at `shownIndex` of the shown text starts in the source.
    qsizetype sourceIndex(qsizetype shownIndex) const;

    QString source_;
    QString shown_;   // shownText(source_)
    QString lineEnd_; // the song's first line end; LF for a song of one line
};

} // namespace Lyricade
