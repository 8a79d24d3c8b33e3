#pragma once

// The stored text of the song in the editor, kept to the character. The
// editor's document makes one paragraph break of every line end (CR LF, CR,
// LF, U+2029), its plain text turns no-break spaces into spaces, and a
// leading byte-order mark has no place in it, so the song is never read back
// from the editor whole: each edit is found by comparing the document's raw
// text before and after it, and only the range that changed is put into the
// stored text. Songs from other systems keep their line ends, in any mix,
// their no-break and other spaces, their tabs and their byte-order mark.
//
// An undo puts back breaks whose line ends the document doesn't know, so the
// edits are kept as a history that follows the document's own: one step per
// undo command, and an undo takes the stored text back through its steps, a
// redo forward again through the same steps.

#include <QString>

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

class QTextDocument;

namespace Lyricade {

class SongEditorText {
public:
    static constexpr qsizetype anywhere = std::numeric_limits<qsizetype>::max();

    // `stored` is the song's text as the library keeps it (UTF-8).
    explicit SongEditorText(const std::string& stored = {});

    // The song's text with the edits so far; a leading byte-order mark stays
    // as U+FEFF.
    const QString& source() const { return source_; }
    // What the editor is to be given to show (see shownText).
    const QString& shown() const { return shown_; }
    // What the editor's document holds for `source`, as its raw text: one
    // U+2029 for each line end, no leading byte-order mark, every other
    // character as stored.
    static QString shownText(const QString& source);

    // The stored text the document shows as [shownStart, shownEnd).
    QString sourceText(qsizetype shownStart, qsizetype shownEnd) const;

    // What the document said of a change besides its text.
    struct Edit {
        qsizetype from = anywhere; // nothing before it changed; picks which of two equal line breaks was meant
        bool newCommand = false;   // the document added an undo command: an edit, no redo
        QString carried;           // the stored form of text the edit moved within the song
    };

    // Takes the document after an edit, an undo or a redo. A line break
    // typed in becomes the line end beside it, else the one that ends its
    // line, else the nearest before; LF in a song of one line. An edit that
    // puts in what `carried` shows puts in `carried` itself, line ends and
    // all. A redo makes its steps again byte for byte. True when the stored
    // text changed.
    bool edited(const QTextDocument& document, const Edit& edit);

private:
    // One undo command's edit of the stored text: at `at`, `removed` became
    // `inserted`; `padding` is what padding_ was after it.
    struct Step {
        qsizetype at;
        QString removed;
        QString inserted;
        std::vector<qsizetype> padding;
    };
    // What an edit did to the source: [start, end) gave way to `typed`, the
    // document's raw text (a break as U+2029).
    struct Change {
        qsizetype start;
        qsizetype end;
        QString typed;
    };

    // Where the character at `shownIndex` of the shown text starts in the source.
    qsizetype sourceIndex(qsizetype shownIndex) const;
    Change changeTo(const QString& raw, qsizetype from) const;
    // What a change puts into the source: `carried` when it is what the
    // change shows, else the typed text with each break a line end.
    QString typedSource(const Change& change, const QString& carried) const;
    // Makes `change` in the source and keeps its padding in step.
    void make(const Change& change, const QString& carried);
    // Puts a padding CR at `at`, between a lone CR and a lone LF.
    void pad(qsizetype at, std::vector<qsizetype>& padding);
    // The line end a break typed in place of [start, end) of the source becomes.
    QString typedLineEnd(qsizetype start, qsizetype end) const;
    // Takes the source back to the document's undo command `count`.
    void undoTo(std::size_t count);
    // Makes the steps undone last again up to the document's undo command
    // `commands`, when its `raw` text is theirs (a redo); false otherwise.
    bool redone(std::size_t commands, const QString& raw);
    // Records the edit from `before` to source_, as a command of its own or
    // as part of the last one.
    void record(const QString& before, bool ownCommand);

    QString source_;
    QString shown_;                   // shownText(source_)
    std::vector<qsizetype> padding_;  // CRs put in to keep a lone CR and a lone LF apart (see make), ascending
    std::vector<Step> steps_;         // one per undo command of the document's, oldest first
    std::vector<Step> undone_;        // one per redo command of the document's, the next redo last
};

} // namespace Lyricade
