#include "Lyricade/Views/SongRootView.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/AddSongsSheet.h"
#include "Lyricade/Views/BookEntryList.h"
#include "Lyricade/Views/BookView.h"
#include "Lyricade/Views/ColumnFit.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/InspectorView.h"
#include "Lyricade/Views/LicensingSheet.h"
#include "Lyricade/Views/PreviewArea.h"
#include "Lyricade/Views/TabOrder.h"
#include "Lyricade/Views/SidebarList.h"
#include "Lyricade/Views/SidebarView.h"
#include "Lyricade/Views/SongEditorView.h"
#include "Lyricade/Views/SongListRows.h"
#include "Lyricade/Views/SongListView.h"
#include "Lyricade/Views/SymbolIcons.h"
#include "Lyricade/Views/TitleLines.h"
#include "Lyricade/Views/ToolBarLabels.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QAbstractButton>
#include <QComboBox>
#include "Lyricade/Views/SegmentedChoice.h"
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <utility>

namespace Lyricade {

namespace {

// Column widths: minimum, ideal, maximum.
struct ColumnWidth {
    int minimum, ideal, maximum;
};
constexpr ColumnWidth sidebarWidth{200, 230, 320};
constexpr ColumnWidth contentWidth{300, 360, 520};
constexpr ColumnWidth inspectorWidth{260, 290, 360};
constexpr int previewMinimum = 340;

// Runs `then` each time `watched` is resized or its font changes.
class OnResize : public QObject {
public:
    OnResize(QWidget* watched, std::function<void()> then) : QObject(watched), then_(std::move(then))
    {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange) then_();
        return false;
    }

private:
    std::function<void()> then_;
};

} // namespace

SongRootView::SongRootView(AppModel& model, std::shared_ptr<QSettings> defaults, QWidget* parent)
    : QWidget(parent), model_(model), defaults_(std::move(defaults))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildToolBar();
    column->addWidget(toolBar_);

    split_ = new QSplitter(Qt::Horizontal, this);
    split_->setChildrenCollapsible(false);
    fit_ = new ColumnFit(split_);
    sidebar_ = new SidebarView(model_, split_);
    sidebar_->setMaximumWidth(sidebarWidth.maximum);
    content_ = new QStackedWidget(split_);
    content_->setMaximumWidth(contentWidth.maximum);
    songList_ = new SongListView(model_, content_);
    bookView_ = new BookView(model_, content_);
    content_->addWidget(songList_);
    content_->addWidget(bookView_);
    detailHolder_ = new QStackedWidget(split_);
    inspector_ = new InspectorView(model_, split_);
    split_->addWidget(sidebar_);
    split_->addWidget(content_);
    split_->addWidget(detailHolder_);
    split_->addWidget(inspector_);
    fitSidebar();
    // Measured once the sidebar and its list have both taken their new width.
    new OnResize(sidebar_->list()->viewport(), [this] {
        if (std::exchange(sidebarFitPending_, true)) return;
        QTimer::singleShot(0, this, [this] {
            sidebarFitPending_ = false;
            fitSidebar();
        });
    });
    fit_->setMinimum(content_, contentWidth.minimum);
    fit_->setMinimum(detailHolder_, previewMinimum);
    fitInspector();
    connect(inspector_, &InspectorView::neededWidthChanged, this, &SongRootView::fitInspector);
    new OnResize(split_, [this] { fitPreview(); });
    split_->setStretchFactor(2, 1);
    split_->setSizes({sidebarWidth.ideal, contentWidth.ideal, 600, inspectorWidth.ideal});
    column->addWidget(split_, 1);

    connect(&model_, &AppModel::selectionChanged, this, [this] {
        refreshColumns();
        refreshTitle();
        refreshToolBar();
        refreshInspector();
    });
    connect(&model_, &AppModel::libraryChanged, this, [this] {
        refreshColumns();
        refreshTitle();
        refreshToolBar();
        refreshInspector();
    });
    connect(&model_, &AppModel::libraryChanged, this, &SongRootView::noticeWhatWasMade);
    connect(&model_, &AppModel::libraryChanged, this, &SongRootView::fitSidebar);
    connect(&model_, &AppModel::selectedSongIDChanged, this, &SongRootView::refreshColumns);
    connect(&model_, &AppModel::previewPDFChanged, this, &SongRootView::refreshToolBar);
    connect(&model_, &AppModel::showInspectorChanged, this, &SongRootView::refreshInspector);
    connect(&model_, &AppModel::errorChanged, this, &SongRootView::presentError);
    connect(&model_, &AppModel::pendingDeleteChanged, this, &SongRootView::presentDelete);
    connect(&model_, &AppModel::addSongsShownChanged, this, &SongRootView::presentAddSongs);
    connect(&model_, &AppModel::licensingShownChanged, this, &SongRootView::presentLicensing);
    for (const auto& book : model_.library().books) knownBooks_.insert(book.id);
    knownSongs_ = model_.library().songs.size();
    refreshColumns();
    refreshTitle();
    refreshToolBar();
    refreshInspector();
    presentError();
    presentDelete();
    presentAddSongs();
    presentLicensing();
}

SongRootView::~SongRootView() = default;

void SongRootView::buildToolBar()
{
    toolBar_ = new QToolBar(QStringLiteral("Songbook"), this);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar_->setMovable(false);
    fitLabelsToWidth(*toolBar_);
    auto* spacer = new QWidget(toolBar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar_->addWidget(spacer);
    // The shortcuts named in the tips belong to the application's menus.
    auto add = [this](const char* icon, QStyle::StandardPixmap fallback, const QString& title, const QString& tip) {
        QAction* action = toolBar_->addAction(DetailParts::themeIcon(icon, fallback), title);
        action->setToolTip(tip);
        return action;
    };
    import_ = add("document-import", QStyle::SP_DialogOpenButton, QStringLiteral("Import Songs"),
                  QStringLiteral("Import song files or a folder (Ctrl+O)"));
    print_ = add("document-print", QStyle::SP_FileDialogListView, QStringLiteral("Print"), QStringLiteral("Print (Ctrl+P)"));
    export_ = add("document-export", QStyle::SP_DialogSaveButton, QStringLiteral("Export PDF"),
                  QStringLiteral("Export a PDF (Ctrl+E)"));
    printSettings_ = add("view-right-sidebar", QStyle::SP_FileDialogDetailedView, QStringLiteral("Print Settings"),
                         QStringLiteral("Show or hide the print settings (Ctrl+Alt+I)"));
    connect(import_, &QAction::triggered, this, [this] { model_.chooseSongFiles(); });
    connect(print_, &QAction::triggered, this, [this] { model_.printBook(); });
    // Always pages: booklet export is the application's menu command.
    connect(export_, &QAction::triggered, this, [this] { model_.exportBook(false); });
    connect(printSettings_, &QAction::triggered, this, [this] { model_.setShowInspector(!model_.showInspector()); });
}

void SongRootView::noticeWhatWasMade()
{
    const auto& library = model_.library();
    std::optional<TunequillKit::Uuid> newBook;
    std::set<TunequillKit::Uuid> books;
    for (const auto& book : library.books) {
        books.insert(book.id);
        if (!knownBooks_.count(book.id)) newBook = book.id;
    }
    const bool newSongs = library.songs.size() > knownSongs_;
    knownBooks_ = std::move(books);
    knownSongs_ = library.songs.size();
    if (!newBook && !newSongs) return;
    // The model selects what it made right after this change.
    QMetaObject::invokeMethod(this, [this, newBook] { focusWhatWasMade(newBook); }, Qt::QueuedConnection);
}

void SongRootView::focusWhatWasMade(std::optional<TunequillKit::Uuid> newBook)
{
    if (!isVisible() || QApplication::activeModalWidget()) return;
    const auto book = model_.selectedBook();
    if (newBook && book && book->id == *newBook) {
        bookView_->nameField()->setFocus(Qt::OtherFocusReason);
        bookView_->nameField()->selectAll();
        return;
    }
    focusList();
}

void SongRootView::focusList()
{
    if (model_.selectedBook())
        bookView_->list()->setFocus(Qt::OtherFocusReason);
    else
        songList_->list()->setFocus(Qt::OtherFocusReason);
}

QWidget* SongRootView::content() const
{
    return content_->currentWidget();
}

void SongRootView::refreshTitle()
{
    const auto book = model_.selectedBook();
    setWindowTitle(book ? QString::fromStdString(book->name) : brandName());
}

void SongRootView::refreshToolBar()
{
    const bool output = model_.previewPDF() != nullptr;
    print_->setEnabled(output);
    export_->setEnabled(output);
    printSettings_->setVisible(model_.selectedBook().has_value());
}

void SongRootView::refreshColumns()
{
    const bool book = model_.selectedBook().has_value();
    QWidget* focus = window()->focusWidget();
    const bool focusInContent = focus && content_->isAncestorOf(focus);
    const bool focusInDetail = focus && detail_ && detail_->isAncestorOf(focus);
    QWidget* page = book ? static_cast<QWidget*>(bookView_) : songList_;
    // A focus left on a page that goes away comes to the new page's list,
    // shown for it first: else Qt hands it on to the next control (the
    // editor's, about to go) as the old page hides, and a reader hears of
    // that one on the way.
    if (focusInContent && !page->isAncestorOf(focus)) {
        page->show();
        focusList();
    }
    content_->setCurrentWidget(page);
    const Detail kind = book ? Detail::book : model_.selectedSong() ? Detail::song : Detail::none;
    if (detailMade_ && kind == detailKind_) return;
    // A new detail view for each kind, as if it appeared anew: the editor
    // loads the selected song, the preview reads the model.
    if (detail_) {
        detailHolder_->removeWidget(detail_);
        detail_->deleteLater();
        if (focusInDetail) focusList();
    }
    detailKind_ = kind;
    detailMade_ = true;
    switch (kind) {
    case Detail::book: detail_ = new PreviewArea(model_, defaults_, detailHolder_); break;
    case Detail::song: detail_ = new SongEditorView(model_, detailHolder_); break;
    case Detail::none:
        detail_ = new NoContentView(symbolIcon(Symbol::musicNote, this, 48), QStringLiteral("No song selected"),
                                    QStringLiteral("Choose a song, or import song files with File › Import Songs "
                                                   "(Ctrl+O)."),
                                    detailHolder_);
        break;
    }
    detailHolder_->addWidget(detail_);
    detailHolder_->setCurrentWidget(detail_);
    // Made after the inspector, the detail view is still read before it, as it stands.
    orderTabs({content_, detailHolder_, inspector_});
    // The editor's two columns stand in the detail column side by side.
    fit_->setMinimum(detailHolder_, kind == Detail::song ? SongEditorView::minimumWidth() : previewMinimum);
    // The settings beside a book are not widened at its rows' expense.
    fit_->setFloor(content_, book ? bookView_->leastWidth() : 0);
    fitPreview();
}

void SongRootView::fitSidebar()
{
    // In a narrow window the other columns give way before a book's name is
    // broken in the middle of a word ("Sun- day"): the sidebar keeps the
    // width its longest word needs. A word that would need more than the
    // sidebar's widest is broken with a hyphen instead, and asks for nothing:
    // else the other columns would all give way to it, the settings to
    // scrolling across.
    const SidebarList* list = sidebar_->list();
    const auto* names = static_cast<const TitleDelegate*>(list->itemDelegate());
    // As if its scroll bar showed, which comes and goes as the names wrap:
    // else the width asked for would come and go with it.
    const QScrollBar* bar = list->verticalScrollBar();
    const int barRoom = bar->isVisibleTo(list) ? 0 : bar->sizeHint().width();
    const int needed = std::min(sidebarWidth.maximum, sidebar_->width() +
                                                               names->shortOfWholeWords(sidebarWidth.maximum - barRoom) +
                                                               barRoom);
    fit_->setMinimum(sidebar_, std::max(sidebarWidth.minimum, needed), needed, needed);
    fitPreview();
}

void SongRootView::fitInspector()
{
    // In a narrow window the other columns give way before the settings'
    // own width, and in a narrower one the settings wrap their rows, so no
    // caption or value is cut at the column's edge or reached only by
    // scrolling across.
    const int needed = inspector_->neededWidth();
    inspector_->setMaximumWidth(std::max(inspectorWidth.maximum, needed));
    fit_->setMinimum(inspector_, std::max(inspectorWidth.minimum, needed), needed, inspector_->leastWidth());
    fitPreview();
}

void SongRootView::fitPreview()
{
    // Four columns do not fit a window 512 pixels wide (a 1024-pixel screen
    // at twice the desktop's font): squeezed together, the settings scroll
    // across and a book's menus are cut. So where the columns, the preview
    // among them, would all give way alike, the settings the user asked for
    // take the preview's place, and closing them brings it back. Measured as
    // if the preview showed, so the choice does not flip once it hides.
    const bool settings = !inspector_->isHidden() && detailKind_ == Detail::book && detail_;
    // Below its bar's least width the preview's Pages and Booklet are cut
    // (where that is more than the column asks for, its bar stacks).
    int previewLeast = 0;
    if (settings) {
        int inset = QWIDGETSIZE_MAX;
        // Its bar stacks its parts in a narrow column: it needs its widest control.
        // A segmented choice's buttons stand side by side.
        for (const QWidget* part : detail_->findChildren<QWidget*>()) {
            if (!part->isVisibleTo(detail_)) continue;
            int least = 0;
            if (qobject_cast<const SegmentedChoice*>(part)) {
                for (const QAbstractButton* segment : part->findChildren<QAbstractButton*>())
                    least += segment->minimumSizeHint().width();
            } else if (qobject_cast<const QAbstractButton*>(part) || qobject_cast<const QComboBox*>(part)) {
                if (!qobject_cast<const SegmentedChoice*>(part->parentWidget())) least = part->minimumSizeHint().width();
            }
            if (least <= 0) continue;
            previewLeast = std::max(previewLeast, least);
            inset = std::min(inset, part->mapTo(detail_, QPoint(0, 0)).x());
        }
        // With the bar's inset on both sides (that of its first control).
        if (previewLeast > 0) previewLeast += 2 * std::max(0, inset);
        previewLeast = std::min(previewMinimum, previewLeast);
    }
    const bool givesWay = settings && fit_->squeezedWith(detailHolder_, previewLeast);
    if (givesWay == previewGivesWay_) return;
    previewGivesWay_ = givesWay;
    // A focus in the preview goes to the settings that take its place, not
    // wherever Qt would hand it as the preview hides.
    QWidget* focus = window()->focusWidget();
    if (givesWay && focus && detailHolder_->isAncestorOf(focus)) {
        for (QWidget* next = inspector_->form()->nextInFocusChain(); inspector_->form()->isAncestorOf(next);
             next = next->nextInFocusChain())
            if (next->isVisibleTo(inspector_) && next->isEnabled() && (next->focusPolicy() & Qt::TabFocus)) {
                next->setFocus(Qt::OtherFocusReason);
                break;
            }
    }
    detailHolder_->setVisible(!givesWay);
}

void SongRootView::refreshInspector()
{
    inspector_->setVisible(model_.showInspector() && model_.selectedBook().has_value());
    fitPreview();
    printSettings_->setCheckable(true);
    printSettings_->setChecked(inspector_->isVisibleTo(this));
}

} // namespace Lyricade
