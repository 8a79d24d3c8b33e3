#include "Lyricade/Views/SongEditorView.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/ColumnFit.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/PreviewPages.h"
#include "Lyricade/Views/QuickReference.h"
#include "Lyricade/Views/SongEditorKey.h"
#include "Lyricade/Views/SymbolIcons.h"

#include <QDropEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QApplication>
#include <QToolButton>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace Lyricade {

namespace {

// An editor whose text stops short of its focus ring: a line scrolled to the
// edge would otherwise run beneath the ring and cut it.
class RingedTextEdit : public QPlainTextEdit {
public:
    explicit RingedTextEdit(QWidget* parent) : QPlainTextEdit(parent)
    {
        const int ring = FocusRing::width;
        setViewportMargins(ring, ring, ring, ring);
        setBackgroundRole(QPalette::Base); // the margin looks like the page it surrounds
        setAutoFillBackground(true);
    }
};

QHBoxLayout* headerRow()
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(10, 10, 10, 10);
    return row;
}

} // namespace

SongEditorView::SongEditorView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    auto* whole = new QVBoxLayout(this);
    whole->setContentsMargins(0, 0, 0, 0);
    split_ = new QSplitter(Qt::Horizontal, this);
    split_->setChildrenCollapsible(false);
    auto* fit = new ColumnFit(split_);
    QWidget* editing = editorColumn();
    QWidget* previewing = previewColumn();
    split_->addWidget(editing);
    split_->addWidget(previewing);
    fit->setMinimum(editing, editorMinimum);
    fit->setMinimum(previewing, previewMinimum);
    split_->setStretchFactor(1, 1);
    split_->setSizes({420, 480});
    whole->addWidget(split_);

    connect(editor_->document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int) { pending_.from = std::min<qsizetype>(pending_.from, position); });
    // Comes before the change's text, and never for an undo or a redo.
    connect(editor_->document(), &QTextDocument::undoCommandAdded, this, [this] { pending_.newCommand = true; });
    connect(editor_, &QPlainTextEdit::textChanged, this, &SongEditorView::textEdited);
    connect(&model_, &AppModel::selectedSongIDChanged, this, &SongEditorView::loadSelected);
    connect(&model_, &AppModel::selectedSongIDChanged, this, &SongEditorView::refreshSourceLine);
    connect(&model_, &AppModel::libraryChanged, this, &SongEditorView::refreshSourceLine);
    connect(&model_, &AppModel::previewWarningsChanged, this, &SongEditorView::refreshWarnings);
    connect(&model_, &AppModel::previewPDFChanged, this, &SongEditorView::refreshPreview);
    loadSelected();
    refreshSourceLine();
    refreshWarnings();
    refreshPreview();
}

int SongEditorView::minimumWidth()
{
    return editorMinimum + previewMinimum + QApplication::style()->pixelMetric(QStyle::PM_SplitterWidth);
}

QWidget* SongEditorView::editorColumn()
{
    auto* column = new QWidget(this);
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    auto* header = headerRow();
    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);
    titles->addWidget(DetailParts::headline(QStringLiteral("ChordPro"), column));
    // The hint's instruction and the file's name wrap rather than lose their
    // middle, or their end in a narrow column at large fonts.
    source_ = new ElidingLabel(QString(), column, 4);
    source_->setFont(FontRole::font(column, FontRole::caption));
    FontRole::makeSecondary(source_);
    titles->addWidget(source_);
    header->addLayout(titles, 1);
    helpButton_ = new QToolButton(column);
    // Drawn in the palette's text colour: themes' help icons may vanish on their own dark or high-contrast palettes.
    showSymbol(*helpButton_, Symbol::question);
    helpButton_->setAutoRaise(true);
    helpButton_->setAccessibleName(QStringLiteral("ChordPro quick reference"));
    helpButton_->setToolTip(QStringLiteral("ChordPro quick reference"));
    connect(helpButton_, &QToolButton::clicked, this, &SongEditorView::toggleHelp);
    header->addWidget(helpButton_);
    stack->addLayout(header);
    stack->addWidget(DetailParts::divider(column));

    editor_ = new RingedTextEdit(column);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(14);
    editor_->setFont(mono);
    editor_->setFrameShape(QFrame::NoFrame);
    editor_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    editor_->document()->setDocumentMargin(6);
    editor_->setAccessibleName(QStringLiteral("Song text"));
    editor_->setAccessibleDescription(
        QStringLiteral("Tab types a tab. Ctrl+Tab moves to the next control, Ctrl+Shift+Tab to the previous one."));
    editor_->installEventFilter(this);
    editor_->viewport()->installEventFilter(this);
    stack->addWidget(editor_, 1);

    warningsDivider_ = DetailParts::divider(column);
    stack->addWidget(warningsDivider_);
    // Four lines at most, so the text keeps its room; the rest scrolls.
    warningsBox_ = new QWidget(column);
    auto* box = new QVBoxLayout(warningsBox_);
    box->setContentsMargins(10, 10, 10, 10);
    warnings_ = new LineList(maxWarnings, warningsBox_);
    box->addWidget(warnings_);
    stack->addWidget(warningsBox_);
    return column;
}

QWidget* SongEditorView::previewColumn()
{
    auto* column = new QWidget(this);
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    auto* header = headerRow();
    header->setSpacing(12); // "Preview" and the key never run together
    previewHeadline_ = DetailParts::headline(QStringLiteral("Preview"), column);
    header->addWidget(previewHeadline_);
    header->addStretch(1);
    keys_ = new KeyStepper(model_, column);
    header->addWidget(keys_);
    stack->addLayout(header);
    previewing_ = column;
    previewHeader_ = header;
    column->installEventFilter(this);
    connect(&model_, &AppModel::editorTransposeChanged, this, &SongEditorView::placeKey, Qt::QueuedConnection);
    connect(&model_, &AppModel::selectedSongIDChanged, this, &SongEditorView::placeKey, Qt::QueuedConnection);
    stack->addWidget(DetailParts::divider(column));
    pages_ = new PreviewPages(QStringLiteral("Printed page preview"), column);
    stack->addWidget(pages_, 1);
    return column;
}

// The key stands beside "Preview" while its words fit there on one line;
// else under it, where its words wrap whole rather than being cut at the left.
void SongEditorView::placeKey()
{
    const QMargins margins = previewHeader_->contentsMargins();
    const int beside = margins.left() + previewHeadline_->sizeHint().width() + previewHeader_->spacing() +
                       keys_->widthOnOneLine() + margins.right();
    previewHeader_->setDirection(previewing_->width() >= beside ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
}

bool SongEditorView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == previewing_) {
        if (event->type() == QEvent::Resize) placeKey();
        return QWidget::eventFilter(watched, event);
    }
    if (watched == editor_->viewport() && event->type() == QEvent::Drop)
        return dropped(*static_cast<QDropEvent*>(event));
    if (watched != editor_ || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::InsertLineSeparator)) {
        // The document would keep a line separator, which no song reads as a line end.
        editor_->insertPlainText(QStringLiteral("\n"));
        return true;
    }
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (!tab || !(key->modifiers() & Qt::ControlModifier)) return false;
    const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
    QWidget* next = editor_;
    do {
        next = forward ? next->nextInFocusChain() : next->previousInFocusChain();
    } while (next != editor_ && !(next->window() == window() && next->isVisible() && next->isEnabled() &&
                                  (next->focusPolicy() & Qt::TabFocus) && !next->focusProxy()));
    next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool SongEditorView::dropped(QDropEvent& drop)
{
    // Qt moves a selection by taking out the text and putting its plain form
    // back, every line end retyped; a drop from elsewhere is Qt's to paste.
    if (drop.source() != editor_->viewport() || drop.dropAction() != Qt::MoveAction || editor_->isReadOnly())
        return false;
    const int to = editor_->cursorForPosition(drop.position().toPoint()).position();
    // The drag's insertion mark goes, as after any drop.
    QDragLeaveEvent leave;
    QApplication::sendEvent(editor_->viewport(), &leave);
    moveSelection(to);
    drop.setDropAction(Qt::MoveAction);
    drop.accept();
    return true;
}

void SongEditorView::moveSelection(int to)
{
    QTextCursor cursor = editor_->textCursor();
    const int start = cursor.selectionStart(), end = cursor.selectionEnd();
    if (!cursor.hasSelection() || (to >= start && to <= end)) return;
    const QTextDocumentFragment moved = cursor.selection();
    // Two edits in one undo command: each is told to the stored text apart,
    // so the text put back is the text taken out.
    const QString carried = text_.sourceText(start, end);
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    cursor.endEditBlock();
    cursor.setPosition(to > end ? to - (end - start) : to);
    pending_.carried = carried;
    cursor.joinPreviousEditBlock();
    cursor.insertFragment(moved);
    cursor.endEditBlock();
    pending_.carried.clear();
    editor_->setTextCursor(cursor);
}

void SongEditorView::loadSelected()
{
    // Showing a song is no edit of it: the library is written only when the
    // user changes the text, and then only where it was changed.
    loadedID_ = model_.selectedSongID();
    const auto song = model_.selectedSong();
    text_ = SongEditorText(song ? song->source : std::string());
    loading_ = true;
    editor_->setPlainText(text_.shown());
    loading_ = false;
    pending_ = {};
    if (model_.editorTranspose() != 0)
        model_.setEditorTranspose(0);
    else
        model_.schedulePreview(false);
}

void SongEditorView::textEdited()
{
    if (loading_) return;
    const SongEditorText::Edit edit = std::exchange(pending_, {});
    if (text_.edited(*editor_->document(), edit) && loadedID_)
        model_.updateSource(*loadedID_, text_.source().toStdString());
}

void SongEditorView::toggleHelp()
{
    if (help_) {
        help_->close();
        return;
    }
    help_ = new QuickReferencePopup(this);
    help_->setAttribute(Qt::WA_DeleteOnClose);
    connect(help_, &QuickReferencePopup::closed, this, [this] { help_ = nullptr; });
    help_->showBelow(helpButton_);
}

void SongEditorView::refreshSourceLine()
{
    const auto song = model_.selectedSong();
    source_->setText(song && song->fileName ? QStringLiteral("Imported from ") + QString::fromStdString(*song->fileName)
                                            : QStringLiteral("Chords go in [brackets] before the syllable"));
}

void SongEditorView::refreshWarnings()
{
    const QStringList& all = model_.previewWarnings();
    warnings_->setLines(DetailParts::themeIcon("dialog-warning", QStyle::SP_MessageBoxWarning), all.mid(0, maxWarnings),
                        FontRole::font(this, FontRole::callout), FontRole::warning(this));
    warningsDivider_->setVisible(!all.isEmpty());
    warningsBox_->setVisible(!all.isEmpty());
}

QStringList SongEditorView::shownWarnings() const
{
    return warnings_->texts();
}

void SongEditorView::refreshPreview()
{
    pages_->present(model_.previewPDF(), false, std::nullopt);
}

} // namespace Lyricade
