#pragma once

// The detail column while a song of the library is selected: its ChordPro
// text on the left, the printed preview of that song on the right with a
// transpose stepper. Every change of the text goes to the model at once (it
// stores the text and debounces the file write and the preview); edits always
// go to the song that was loaded, whatever is selected by then.

// moc's own preprocessor cannot read <compare> in C++20 mode; it needs none of this.
#ifndef Q_MOC_RUN
#include "TunequillKit/Library/Identity.h"
#endif
#include "Lyricade/Views/SongEditorText.h"

#include <QWidget>

#include <optional>

class QDropEvent;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QToolButton;
class QVBoxLayout;

class QBoxLayout;

namespace Lyricade {

class AppModel;
class ColumnFit;
class KeyStepper;
class LineList;
class PreviewPages;
class QuickReferencePopup;

class SongEditorView : public QWidget {
    Q_OBJECT

public:
    static constexpr int maxWarnings = 4; // the rest are not shown
    static constexpr int editorMinimum = 320;
    static constexpr int previewMinimum = 340;
    // Both columns at their minimums with the handle between them.
    static int minimumWidth();

    explicit SongEditorView(AppModel& model, QWidget* parent = nullptr);

    const std::optional<TunequillKit::Uuid>& loadedID() const { return loadedID_; }
    QPlainTextEdit* editor() const { return editor_; }
    QLabel* sourceLine() const { return source_; }
    QToolButton* helpButton() const { return helpButton_; }
    // The quick reference while it is shown; null otherwise.
    QuickReferencePopup* quickReference() const { return help_; }
    QStringList shownWarnings() const;
    KeyStepper* keyStepper() const { return keys_; }
    PreviewPages* pages() const { return pages_; }
    QSplitter* splitter() const { return split_; }

    // Moves the editor's selection to `to` (a place in the text before the
    // move), as dragging it there does: one undo step, the moved text as the
    // song stores it. A place within the selection moves nothing.
    void moveSelection(int to);

protected:
    // Tab types a tab in the song; Ctrl+Tab and Ctrl+Shift+Tab leave it.
    // Shift+Return types a line break like Return. A drag of the editor's
    // own selection moves it (moveSelection).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool dropped(QDropEvent& drop);
    QWidget* editorColumn();
    QWidget* previewColumn();
    void loadSelected();
    void textEdited();
    void toggleHelp();
    void refreshSourceLine();
    void refreshWarnings();
    void refreshPreview();
    void placeKey();

    AppModel& model_;
    std::optional<TunequillKit::Uuid> loadedID_;
    SongEditorText text_;   // the loaded song's text with the edits made here
    bool loading_ = false;  // the editor is being given a song's text: no edit
    SongEditorText::Edit pending_; // what the document said of its change on the way
    QSplitter* split_;
    QLabel* source_ = nullptr;
    QToolButton* helpButton_ = nullptr;
    QuickReferencePopup* help_ = nullptr;
    QPlainTextEdit* editor_ = nullptr;
    QWidget* warningsDivider_ = nullptr;
    QWidget* warningsBox_ = nullptr;
    LineList* warnings_ = nullptr;
    KeyStepper* keys_ = nullptr;
    QWidget* previewing_ = nullptr;
    QBoxLayout* previewHeader_ = nullptr;
    QWidget* previewHeadline_ = nullptr;
    PreviewPages* pages_ = nullptr;
};

} // namespace Lyricade
