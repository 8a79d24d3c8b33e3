// The window at its smallest: the songbook screen in the smallest main window,
// with the desktop's font and with one half again as large, and both modes on
// common screens at the desktop's font scales. The columns stand side by side
// without covering each other, and every control is on the window or inside
// a scroll area that can scroll to it.

#include "../Fakes.h"

#include "FolmiraApp/Views/Application.h"
#include "FolmiraApp/Views/DocumentView.h"
#include "FolmiraApp/Views/EmptyStateView.h"
#include "FolmiraApp/Views/HelpWindow.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/MenuBar.h"
#include "FolmiraApp/Views/PaneParts.h"
#include "FolmiraApp/Views/Panes.h"
#include "FolmiraApp/Views/QtPanels.h"
#include "FolmiraApp/Views/SettingsPanel.h"
#include "FolmiraApp/Views/SettingsWindow.h"
#include "FolmiraApp/Views/WelcomeView.h"
#include "Lyricade/AppModel.h"
#include "Lyricade/SongController.h"
#include "Lyricade/Views/AddSongsSheet.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/InspectorView.h"
#include "Lyricade/Views/LicensingSheet.h"
#include "Lyricade/Views/QuickReference.h"
#include "Lyricade/Views/SongEditorView.h"
#include "Lyricade/Views/SongRootView.h"
#include "Lyricade/Views/SidebarList.h"
#include "Lyricade/Views/SidebarView.h"
#include "Lyricade/Views/SongbookPane.h"
#include "Lyricade/Views/TitleLines.h"
#include "PdfView/Widgets/PdfPagesView.h"
#include "tests/HangGuardQt.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <optional>
#include <QToolBar>
#include <QTreeWidgetItemIterator>
#include <QHelpEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>

#include <limits>

namespace FolmiraAppTest {
namespace {

using TunequillKit::Library;
using TunequillKit::SongEntry;
using TunequillKit::Songbook;
using TunequillKit::StoredSong;
using TunequillKit::Uuid;

// What a user can act on, as a screen reader lists controls.
bool isControl(const QWidget* w)
{
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QPlainTextEdit*>(w);
}

// Why `control` cannot be seen or reached, or empty when it can: each
// ancestor must hold it, except a scroll area's viewport, whose scroll
// bar must reach it instead.
QString unreachable(const QWidget* control, const QWidget* window)
{
    QRect box(QPoint(0, 0), control->size());
    const QWidget* inner = control;
    for (const QWidget* outer = control->parentWidget(); outer; outer = outer->parentWidget()) {
        box.translate(inner->pos());
        auto* scroller = qobject_cast<const QAbstractScrollArea*>(outer->parentWidget());
        if (scroller && scroller->viewport() == outer) {
            const QScrollBar* across = scroller->horizontalScrollBar();
            const QScrollBar* down = scroller->verticalScrollBar();
            // In content coordinates: where the viewport shows at scroll 0 plus
            // what a scroll bar on the screen reaches.
            const auto range = [scroller](const QScrollBar* bar) {
                return bar->isVisibleTo(scroller) ? bar->maximum() : 0;
            };
            QRect reach(-across->value(), -down->value(), outer->width() + range(across),
                        outer->height() + range(down));
            // A list that scrolls by rows counts its range in rows: it scrolls to any of them.
            auto* rows = qobject_cast<const QAbstractItemView*>(scroller);
            if (rows && rows->verticalScrollMode() == QAbstractItemView::ScrollPerItem && range(down) > 0)
                reach.setBottom(std::numeric_limits<int>::max() / 2);
            if (!reach.contains(box)) return QStringLiteral("beyond the scroll range of ") + scroller->metaObject()->className();
            // Scrolled into view, it lies where the viewport is.
            box = QRect(QPoint(0, 0), box.size().boundedTo(outer->size()));
        } else if (!QRect(QPoint(0, 0), outer->size()).contains(box)) {
            return QStringLiteral("cut by ") + outer->metaObject()->className() + " " + outer->objectName();
        }
        inner = outer;
        if (outer == window) break;
    }
    return {};
}

// Long titles and artists, odd directives (warnings), one book with all of them.
void fillLibrary(Lyricade::AppModel& songs)
{
    Library library;
    Songbook book(Uuid::random(), "A songbook for the Saturday evening campfire by the lake", TunequillKit::BookKind::book);
    for (int i = 1; i <= 8; ++i) {
        library.songs.push_back(StoredSong{Uuid::random(),
                                           "{title: The very long title of song number " + std::to_string(i) +
                                               " that goes on}\n{artist: The Long Named Band of Players " +
                                               std::to_string(i) + "}\n{key: G}\n{nonsense: x}\n[G]Words [C]here\n",
                                           std::nullopt, TunequillKit::Date{0}});
        book.entries.push_back(SongEntry{Uuid::random(), library.songs.back().id, 0, std::nullopt});
    }
    library.books.push_back(book);
    songs.setLibrary(library);
}

// Every failure of the two rules, one line each.
std::string misfits(QWidget& window)
{
    QStringList found;
    for (auto* splitter : window.findChildren<QSplitter*>()) {
        if (!splitter->isVisibleTo(&window)) continue;
        QList<QWidget*> columns;
        for (int i = 0; i < splitter->count(); ++i)
            if (splitter->widget(i)->isVisibleTo(&window)) columns << splitter->widget(i);
        for (int i = 0; i + 1 < columns.size(); ++i)
            if (columns[i]->geometry().intersects(columns[i + 1]->geometry()) ||
                columns[i + 1]->geometry().right() >= splitter->width() + 1)
                found << QStringLiteral("columns %1 and %2 overlap").arg(columns[i]->metaObject()->className(),
                                                                        columns[i + 1]->metaObject()->className());
    }
    for (auto* w : window.findChildren<QWidget*>()) {
        if (!isControl(w) || !w->isVisibleTo(&window) || w->window() != &window) continue;
        // A scroll bar belongs to its area, which is checked itself.
        if (qobject_cast<QScrollBar*>(w)) continue;
        QString why = unreachable(w, &window);
        // Squeezed below its smallest size, its text or frame is cut (a fixed size is chosen).
        const QSize least = w->minimumSizeHint();
        // One whose text wraps needs the height of its lines at its width.
        const int tall = w->hasHeightForWidth() ? w->heightForWidth(w->width()) : least.height();
        if (why.isEmpty() && w->minimumSize() != w->maximumSize() &&
            (w->width() < least.width() || w->height() < std::max(least.height(), tall)))
            why = QStringLiteral("squeezed to %1x%2").arg(w->width()).arg(w->height());
        if (!why.isEmpty())
            found << QStringLiteral("%1 \"%2\" %3").arg(w->metaObject()->className(),
                                                      w->accessibleName().isEmpty() ? w->property("text").toString()
                                                                                    : w->accessibleName(),
                                                      why);
    }
    return found.join('\n').toStdString();
}

class SongbookFitTest : public ModelTest, public testing::WithParamInterface<double> {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        desktopFont = QApplication::font();
        QFont larger = desktopFont;
        larger.setPointSizeF(desktopFont.pointSizeF() * GetParam());
        QApplication::setFont(larger);
        defaults->setValue("welcomeSeen", true);
        defaults->setValue("docKind", "songbook");
        app = std::make_unique<Application>(services());
        app->start({});
        window().resize(MainWindow::minimumWindowSize);
        ASSERT_EQ(window().size(), MainWindow::minimumWindowSize);
    }
    void TearDown() override
    {
        engine->releaseAll();
        app.reset();
        QApplication::setFont(desktopFont);
        ModelTest::TearDown();
    }

    MainWindow& window() { return app->window(); }
    Lyricade::AppModel& songs() { return app->model().songs().model(); }
    Lyricade::SongRootView& root()
    {
        return *static_cast<Lyricade::SongbookPane*>(window().songbookPane())->root();
    }

    void fillLibrary() { FolmiraAppTest::fillLibrary(songs()); }

    // Lists lay their rows out again after a resize.
    void settle() { ASSERT_TRUE(HangGuard::settled(&window())); }

    std::string misfits() { return FolmiraAppTest::misfits(window()); }

    QFont desktopFont;
    std::unique_ptr<Application> app;
};

TEST_P(SongbookFitTest, ABookWithItsPrintSettingsFits)
{
    fillLibrary();
    songs().setSelection(Lyricade::SidebarItem::book(songs().library().books.front().id));
    songs().setShowInspector(true);
    ASSERT_TRUE(HangGuard::waitFor([&] { return songs().previewPDF() != nullptr; }));
    settle();
    EXPECT_EQ(misfits(), "");

    // The sheet that shrinks pages adds a warning under the folding instruction.
    songs().setPreviewMode(Lyricade::PreviewMode::booklet);
    songs().setBookletSheet(Lyricade::AppModel::Sheet::letter);
    ASSERT_TRUE(HangGuard::waitFor([&] { return !songs().previewWarnings().isEmpty(); }));
    settle();
    EXPECT_EQ(misfits(), "") << "booklet";
}

TEST_P(SongbookFitTest, ASongInTheEditorFits)
{
    fillLibrary();
    songs().setSelection(Lyricade::SidebarItem::allSongs());
    songs().setSelectedSongID(songs().library().songs.front().id);
    ASSERT_TRUE(HangGuard::waitFor([&] { return songs().previewPDF() != nullptr; }));
    settle();
    EXPECT_EQ(root().detailKind(), Lyricade::SongRootView::Detail::song);
    EXPECT_EQ(misfits(), "");
}

INSTANTIATE_TEST_SUITE_P(Fonts, SongbookFitTest, testing::Values(1.0, 1.5),
                         [](const testing::TestParamInfo<double>& info) {
                             return info.param == 1.0 ? std::string("DesktopFont") : std::string("LargerFont");
                         });

// A desktop's font scale (its font resolution, QT_FONT_DPI) scales the whole
// window, so a 1366 × 768 screen at 150 % holds 911 × 512 of the window's
// pixels. A process has one screen and one scale: each pair is checked in a
// child process of these tests, started with its own screen.
struct ScreenCase {
    int width;
    int height;
    double scale;
    // Only the welcome sheet, the toolbars and the empty window are checked.
    bool sheetOnly = false;
};

// Named in test reports by its size and scale.
void PrintTo(const ScreenCase& c, std::ostream* out)
{
    *out << c.width << "x" << c.height << " at " << c.scale;
}

constexpr char fitChild[] = "FOLMIRA_FIT_CHILD";

// Why `part` is not wholly inside `holder`, or empty when it is.
QString outside(const QWidget* part, const QWidget* holder, const char* what)
{
    const QRect box(part->mapTo(holder, QPoint(0, 0)), part->size());
    if (QRect(QPoint(0, 0), holder->size()).contains(box)) return {};
    return QStringLiteral("%1 at %2,%3 %4x%5 outside its %6x%7")
        .arg(what)
        .arg(box.x())
        .arg(box.y())
        .arg(box.width())
        .arg(box.height())
        .arg(holder->width())
        .arg(holder->height());
}

// The tooltip `widget` shows when the pointer rests on it (at `at`, else its centre).
QString tooltipShown(QWidget* widget, std::optional<QPoint> at = {})
{
    const QPoint point = at.value_or(widget->rect().center());
    QHelpEvent rest(QEvent::ToolTip, point, widget->mapToGlobal(point));
    QApplication::sendEvent(widget, &rest);
    const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return shown;
}

// Every label on `window` whose words are cut: a one-line label narrower than
// its text, or one drawn shortened (an eliding label, a pane header's
// detail) without its whole text both in its tooltip and on the
// accessibility bus.
std::string cutLabels(QWidget& window)
{
    QStringList found;
    for (auto* label : window.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&window) || label->text().isEmpty() || label->textFormat() == Qt::RichText) continue;
        QString shown = label->text(), whole = shown;
        if (auto* eliding = qobject_cast<Lyricade::ElidingLabel*>(label)) shown = eliding->shownText();
        if (auto* elided = dynamic_cast<ElidedLabel*>(label)) whole = elided->fullText();
        if (shown != whole) {
            const QString spoken = QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
            if (tooltipShown(label) != whole || spoken != whole)
                found << QStringLiteral("“%1” shows as “%2” in %3, its tooltip and name not whole")
                             .arg(whole, shown)
                             .arg(label->width());
        } else if (!label->wordWrap() && label->pixmap().isNull() &&
                   !(qobject_cast<Lyricade::ElidingLabel*>(label) && static_cast<Lyricade::ElidingLabel*>(label)->wraps()) &&
                   label->fontMetrics().horizontalAdvance(shown) > label->contentsRect().width()) {
            found << QStringLiteral("“%1” cut at %2").arg(whole).arg(label->width());
        }
    }
    return found.join('\n').toStdString();
}

// Why a settings column scrolls across or cuts a choice or its arrow at its
// edge, or empty when it does neither (down, the column scrolls to them).
std::string cutAcross(QScrollArea& column, QWidget& form)
{
    QStringList found;
    if (column.horizontalScrollBar()->isVisibleTo(&column)) found << QStringLiteral("scrolls across");
    if (form.width() > column.viewport()->width())
        found << QStringLiteral("form %1 wide in %2").arg(form.width()).arg(column.viewport()->width());
    for (auto* combo : form.findChildren<QComboBox*>()) {
        if (!combo->isVisibleTo(&form)) continue;
        const int left = combo->mapTo(column.viewport(), QPoint(0, 0)).x();
        if (left < 0 || left + combo->width() > column.viewport()->width() ||
            combo->width() < combo->minimumSizeHint().width())
            found << QStringLiteral("%1 at %2 width %3 of %4")
                         .arg(combo->accessibleName())
                         .arg(left)
                         .arg(combo->width())
                         .arg(combo->minimumSizeHint().width());
    }
    return found.join('\n').toStdString();
}

class ScreenFitChild : public ModelTest {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty(fitChild)) GTEST_SKIP() << "run by ScreenFitTest on a screen of its own";
        ModelTest::SetUp();
        defaults->setValue("welcomeSeen", true);
        app = std::make_unique<Application>(services());
        app->start({});
    }
    void TearDown() override
    {
        engine->releaseAll();
        app.reset();
        ModelTest::TearDown();
    }

    // The window's minimum fits the screen, and at that size the content
    // needs no more room than the window has.
    std::string atTheMinimum()
    {
        MainWindow& w = app->window();
        const QRect area = w.screen()->availableGeometry();
        const QSize outer = w.minimumSize() + w.frameGeometry().size() - w.size();
        QStringList found;
        if (outer.width() > area.width() || outer.height() > area.height())
            found << QStringLiteral("minimum %1x%2 on %3x%4")
                         .arg(w.minimumWidth())
                         .arg(w.minimumHeight())
                         .arg(area.width())
                         .arg(area.height());
        w.resize(w.minimumSize());
        // Lists lay their rows out again after a resize.
        if (!HangGuard::settled(&w)) found << QStringLiteral("never settled");
        const QSize needed = w.layout()->totalMinimumSize();
        if (needed.width() > w.width() || needed.height() > w.height())
            found << QStringLiteral("content needs %1x%2 in %3x%4")
                         .arg(needed.width())
                         .arg(needed.height())
                         .arg(w.width())
                         .arg(w.height());
        const std::string rest = misfits(w);
        if (!rest.empty()) found << QString::fromStdString(rest);
        return found.join('\n').toStdString();
    }

    std::unique_ptr<Application> app;
};

TEST_F(ScreenFitChild, BothModesAtTheWindowsMinimum)
{
    MainWindow& w = app->window();
    engine->setPdf(letterPdf(3));
    app->model().open(file("A recipe with a long name for the header to shorten.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return app->model().preview() && !app->model().rendering(); }));
    EXPECT_EQ(atTheMinimum(), "") << "Document mode";
    EXPECT_EQ(cutLabels(w), "") << "Document mode";
    DocumentView* document = w.documentView();
    EXPECT_EQ(outside(document->largePrintPane()->preview(), document->largePrintPane(), "preview"), "");
    EXPECT_EQ(outside(document->largePrintPane(), document->panes(), "large-print pane"), "");
    EXPECT_EQ(outside(document->inspector()->viewport(), document->inspector(), "settings"), "");
    // Its pickers and buttons wrap too: nothing to scroll across for.
    EXPECT_FALSE(document->inspector()->horizontalScrollBar()->isVisibleTo(document->inspector()));

    app->model().setKind(DocKind::songbook);
    auto& songs = app->model().songs().model();
    fillLibrary(songs);
    songs.setSelection(Lyricade::SidebarItem::book(songs.library().books.front().id));
    songs.setShowInspector(true);
    ASSERT_TRUE(HangGuard::waitFor([&] { return songs.previewPDF() != nullptr; }));
    EXPECT_EQ(atTheMinimum(), "") << "Songbook mode";
    EXPECT_EQ(cutLabels(w), "") << "Songbook mode";
    auto& root = *static_cast<Lyricade::SongbookPane*>(w.songbookPane())->root();
    // Where the window is too narrow for both, the settings stand in the preview's place.
    if (!root.previewGivesWay()) EXPECT_EQ(outside(root.detail(), root.splitter(), "preview"), "");
    EXPECT_EQ(root.detail()->isVisible(), !root.previewGivesWay());
    EXPECT_EQ(outside(root.inspector(), root.splitter(), "print settings"), "");
    EXPECT_TRUE(root.inspector()->isVisible());
    // Narrow, the settings wrap and stack their rows rather than scroll across.
    EXPECT_FALSE(root.inspector()->horizontalScrollBar()->isVisibleTo(root.inspector()));
    EXPECT_LE(root.inspector()->form()->width(), root.inspector()->viewport()->width());
    // The preview gives way to the settings only, never to a narrow window alone.
    songs.setShowInspector(false);
    ASSERT_TRUE(HangGuard::settled(&w));
    EXPECT_TRUE(root.detail()->isVisible());
}

TEST_F(ScreenFitChild, TheWelcomeSheetFitsTheScreenAndScrollsToItsButtons)
{
    app->model().setShowWelcome(true);
    WelcomeView* sheet = app->window().welcomeSheet();
    ASSERT_NE(sheet, nullptr);
    const QRect area = sheet->screen()->availableGeometry();
    // Its own least size too: a window manager keeps to it, past the screen's edge.
    EXPECT_LE(sheet->minimumHeight(), area.height());
    EXPECT_LE(sheet->minimumWidth(), area.width());
    EXPECT_LE(sheet->height(), area.height());
    EXPECT_LE(sheet->width(), area.width());
    EXPECT_TRUE(area.contains(sheet->geometry()));
    EXPECT_EQ(misfits(*sheet), "");
    // Its buttons stay in view however far its texts scroll.
    EXPECT_EQ(outside(sheet->closeButton(), sheet, "Close"), "");
    EXPECT_EQ(outside(sheet->importButton(), sheet, "Import"), "");
}

// Every action of a toolbar shows on screens 1280 pixels wide and wider,
// none behind the "»" menu; the empty window, the first one seen, shows its
// words and both start buttons without scrolling across.
TEST_F(ScreenFitChild, TheToolbarsAndTheEmptyWindowShowTheirActions)
{
    MainWindow& w = app->window();
    const QRect area = w.screen()->availableGeometry();
    w.resize(area.size() - (w.frameGeometry().size() - w.size()));
    const auto hidden = [&] {
        QStringList found;
        if (area.width() < 1280) return std::string();
        for (auto* bar : w.findChildren<QToolBar*>()) {
            if (!bar->isVisible()) continue;
            for (QAction* action : bar->actions()) {
                QWidget* shown = bar->widgetForAction(action);
                if (action->isVisible() && shown && !shown->isVisible())
                    found << bar->objectName() + ": " + (action->text().isEmpty() ? shown->accessibleName() : action->text());
            }
        }
        return found.join('\n').toStdString();
    };
    ASSERT_TRUE(HangGuard::settled(&w));
    EXPECT_EQ(hidden(), "") << "Document mode";
    EmptyStateView* empty = w.documentView()->emptyState();
    ASSERT_TRUE(empty->isVisible());
    EXPECT_FALSE(empty->scroller()->horizontalScrollBar()->isVisible());
    EXPECT_LE(empty->scroller()->widget()->width(), empty->scroller()->viewport()->width());
    for (QAbstractButton* button : empty->findChildren<QAbstractButton*>()) {
        if (button->text() == "Choose a Document…" || button->text() == "Try a Sample") {
            EXPECT_EQ(outside(button, empty->scroller()->viewport(), qPrintable(button->text())), "");
        }
    }
    EXPECT_EQ(cutLabels(w), "");

    app->model().setKind(DocKind::songbook);
    auto& songs = app->model().songs().model();
    fillLibrary(songs);
    songs.setSelection(Lyricade::SidebarItem::book(songs.library().books.front().id));
    ASSERT_TRUE(HangGuard::settled(&w));
    EXPECT_EQ(hidden(), "") << "Songbook mode";

    // The labels shrink only where the bar is too narrow for them: at the
    // window's full width on a wide screen at the desktop's size they are
    // the window's own size; on a small screen at twice the size, in the
    // window at its narrowest, they are smaller, and every action shows.
    // (The screen's size in its own pixels: Qt scales the window's with the font.)
    const int dpi = qEnvironmentVariableIntValue("QT_FONT_DPI");
    const double across = w.screen()->geometry().width() * w.screen()->devicePixelRatio();
    const bool wide = across >= 1920 && dpi <= 96, narrow = across <= 1024 && dpi >= 192;
    for (DocKind kind : {DocKind::songbook, DocKind::document}) {
        app->model().setKind(kind);
        if (narrow) w.resize(w.minimumSize());
        ASSERT_TRUE(HangGuard::settled(&w));
        for (auto* bar : w.findChildren<QToolBar*>()) {
            if (!bar->isVisible()) continue;
            SCOPED_TRACE(bar->objectName().toStdString());
            const double whole = w.font().pointSizeF(), drawn = bar->font().pointSizeF();
            if (wide) {
                EXPECT_EQ(drawn, whole) << "a wide window's labels keep their size";
            }
            if (narrow) {
                EXPECT_LT(drawn, whole) << "a narrow window's labels shrink";
                for (QAction* action : bar->actions())
                    if (action->isVisible() && bar->widgetForAction(action)) {
                        EXPECT_TRUE(bar->widgetForAction(action)->isVisible()) << action->text().toStdString();
                    }
            }
        }
    }
}

// At large fonts on a small screen nothing in either mode is cut where a
// reader would lose words: the document's settings whole, no book name cut
// inside a word, the song list's
// buttons whole, the editor's hint whole, songs of one title told apart in
// Add Songs, and a long folder shortened at its start in the file panels.
TEST_F(ScreenFitChild, NothingIsCutWhereWordsWouldBeLost)
{
    MainWindow& w = app->window();
    w.resize(w.minimumSize());
    // The document's settings keep their form's width: its choices and their
    // arrows whole, nothing to scroll across for; with no document open too,
    // where the invitation beside them still shows its start buttons.
    ASSERT_TRUE(HangGuard::settled(&w));
    SettingsPanel* settings = w.documentView()->inspector();
    ASSERT_TRUE(settings->isVisible());
    EXPECT_EQ(cutAcross(*settings, *settings->widget()), "") << "no document";
    EmptyStateView* empty = w.documentView()->emptyState();
    for (QWidget* start : {static_cast<QWidget*>(empty->chooseButton()), empty->samplesMenu()->parentWidget()})
        EXPECT_EQ(outside(start, empty->scroller()->viewport(), "start button"), "");
    EXPECT_EQ(cutLabels(w), "") << "no document";
    engine->setPdf(letterPdf(2));
    app->model().open(file("Letter.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return app->model().preview() && !app->model().rendering(); }));
    ASSERT_TRUE(HangGuard::settled(&w));
    EXPECT_EQ(cutAcross(*settings, *settings->widget()), "") << "a document open";
    EXPECT_EQ(misfits(w), "");

    app->model().setKind(DocKind::songbook);
    auto& songs = app->model().songs().model();
    Library library;
    for (const char* song : {"{title: Amazing Grace}\n{artist: John Newton}\n[G]Amazing grace\n",
                             "{title: Amazing Grace}\n{artist: Chris Tomlin}\n[G]My chains are gone\n",
                             "{title: Down in the Valley}\n[C]Down in the valley\n"})
        library.songs.push_back(StoredSong{Uuid::random(), song, std::nullopt, TunequillKit::Date{0}});
    library.books.push_back(Songbook(Uuid::random(), "Thanksgiving Hymns", TunequillKit::BookKind::book));
    library.books.push_back(Songbook(Uuid::random(), "Campfire Night", TunequillKit::BookKind::setList));
    songs.setLibrary(library);
    songs.setSelection(Lyricade::SidebarItem::allSongs());
    songs.setSelectedSongID(songs.library().songs.front().id);
    ASSERT_TRUE(HangGuard::settled(&w));
    auto& root = *static_cast<Lyricade::SongbookPane*>(w.songbookPane())->root();
    Lyricade::SidebarList* sidebar = root.sidebar()->list();
    const auto* names = static_cast<const Lyricade::TitleDelegate*>(sidebar->itemDelegate());
    EXPECT_LE(names->shortOfWholeWords(), 0) << "the sidebar at " << root.sidebar()->width();
    // A second new book is told from the first by its number; a word no
    // sidebar could hold is broken, and shown whole where the pointer rests,
    // without taking the other columns' room (the print settings below).
    library.books.push_back(Songbook(Uuid::random(), "New Songbook 2", TunequillKit::BookKind::book));
    library.books.push_back(
        Songbook(Uuid::random(), QStringLiteral("Evensong").repeated(20).toStdString(), TunequillKit::BookKind::setList));
    songs.setLibrary(library);
    ASSERT_TRUE(HangGuard::settled(&w));
    for (QTreeWidgetItemIterator row(sidebar); *row; ++row) {
        const QString name = (*row)->text(0);
        const QModelIndex index = sidebar->indexFromItem(*row);
        if (!index.data(Lyricade::SidebarList::itemRole).isValid()) continue;
        EXPECT_EQ(names->titleCut(index), name.size() > 100) << name.toStdString() << " at " << sidebar->width();
        if (name.size() > 100)
            EXPECT_EQ(tooltipShown(sidebar->viewport(), sidebar->visualRect(index).center()), name);
    }
    for (auto* button : root.findChildren<QPushButton*>()) {
        if (!button->isVisible()) continue;
        EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()))
            << button->text().toStdString();
    }
    EXPECT_EQ(cutLabels(w), "");
    // The editor's hint keeps its instruction whole (a shortened label passes
    // above when its tooltip is whole: this one is read, not pointed at).
    int hints = 0;
    for (auto* label : root.findChildren<Lyricade::ElidingLabel*>())
        if (label->isVisible() && label->text().startsWith("Chords go in")) {
            ++hints;
            EXPECT_EQ(label->shownText(), label->text());
        }
    EXPECT_EQ(hints, 1);

    songs.setSelection(Lyricade::SidebarItem::book(songs.library().books.front().id));
    // The book's print settings: no scrolling across, each choice whole with
    // its arrow, no caption or value cut; the preview only gives way where the
    // window cannot hold both, and comes back when they close.
    songs.setShowInspector(true);
    ASSERT_TRUE(HangGuard::settled(&w));
    Lyricade::InspectorView* inspector = root.inspector();
    ASSERT_TRUE(inspector->isVisible());
    EXPECT_EQ(cutAcross(*inspector, *inspector->form()), "");
    EXPECT_EQ(cutLabels(w), "") << "print settings";
    EXPECT_EQ(misfits(w), "") << "print settings";
    EXPECT_EQ(root.previewGivesWay(), !root.detail()->isVisible());
    // A window a thousand pixels wide holds all four columns.
    const QSize minimum = w.size();
    w.resize(w.screen()->availableGeometry().size() - (w.frameGeometry().size() - w.size()));
    ASSERT_TRUE(HangGuard::settled(&w));
    if (w.width() >= 1000) {
        EXPECT_FALSE(root.previewGivesWay()) << "at " << w.width();
        EXPECT_TRUE(root.detail()->isVisible());
    }
    w.resize(minimum);
    ASSERT_TRUE(HangGuard::settled(&w));
    songs.setShowInspector(false);
    ASSERT_TRUE(HangGuard::settled(&w));
    EXPECT_FALSE(root.previewGivesWay());
    EXPECT_TRUE(root.detail()->isVisible()) << "the preview is back once the settings close";

    songs.setAddSongsShown(true);
    ASSERT_TRUE(HangGuard::waitFor([&] { return root.addSongsSheet() && root.addSongsSheet()->isVisible(); }));
    QListWidget* offered = root.addSongsSheet()->list();
    QStringList told;
    for (int i = 0; i < offered->count(); ++i)
        told << offered->item(i)->text() + " / " + offered->item(i)->data(Lyricade::AddSongsSheet::apartRole).toString();
    EXPECT_EQ(told.join(" | ").toStdString(),
              "Amazing Grace / John Newton | Amazing Grace / Chris Tomlin | Down in the Valley / ");
    songs.setAddSongsShown(false);

    // A folder deep enough to be shortened.
    QTemporaryDir deep;
    const QString folder = deep.path() + "/Letters to the parish council/2026/Large print copies";
    ASSERT_TRUE(QDir().mkpath(folder));
    QString shown, whole;
    QTimer::singleShot(50, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            HangGuard::settled(dialog);
            if (auto* picker = dialog->findChild<QComboBox*>("lookInCombo")) {
                picker->grab(); // painted as it shows
                shown = picker->property("shownText").toString();
                whole = picker->currentText();
            }
            dialog->close();
        }
    });
    QtPanels(&w).chooseFileToOpenIn("Choose a file to make large.", {"Text (*.txt)"}, folder.toStdString());
    ASSERT_FALSE(whole.isEmpty());
    EXPECT_TRUE(shown == whole || (shown.startsWith(QChar(0x2026)) && whole.endsWith(shown.mid(1))))
        << shown.toStdString() << " of " << whole.toStdString();
}

// Why `window` does not lie within the screen's free area with every control
// on it or scrollable to, or empty when it does.
std::string offTheScreen(QWidget& window, const char* what)
{
    QApplication::processEvents();
    const QRect area = window.screen()->availableGeometry();
    QStringList found;
    if (!window.isVisible()) found << QStringLiteral("not shown");
    if (!area.contains(window.frameGeometry()))
        found << QStringLiteral("at %1,%2 %3x%4 beyond %5x%6")
                     .arg(window.frameGeometry().x())
                     .arg(window.frameGeometry().y())
                     .arg(window.frameGeometry().width())
                     .arg(window.frameGeometry().height())
                     .arg(area.width())
                     .arg(area.height());
    const std::string rest = misfits(window);
    if (!rest.empty()) found << QString::fromStdString(rest);
    return found.isEmpty() ? std::string() : what + (": " + found.join('\n').toStdString());
}

TEST_F(ScreenFitChild, EveryWindowAndSheetLiesOnTheScreen)
{
    MainWindow& w = app->window();
    for (HelpTopic topic : {HelpTopic::start, HelpTopic::keys}) {
        app->model().setHelpPage(topic);
        app->helpWindow().present();
        EXPECT_EQ(offTheScreen(app->helpWindow(), "Help"), "") << int(topic);
    }
    app->helpWindow().close();

    app->settingsWindow().present(&w);
    EXPECT_EQ(offTheScreen(app->settingsWindow(), "Settings"), "");
    app->settingsWindow().close();

    // About, the updater's alerts and the panels are modal: looked at once shown.
    const auto modal = [](const char* what, const std::function<void()>& open) {
        std::string found = std::string(what) + ": not shown";
        QTimer::singleShot(50, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                // A file panel fills its pickers as its folder loads: looked at once laid out.
                HangGuard::settled(dialog);
                found = offTheScreen(*dialog, what);
                dialog->close();
            }
        });
        open();
        return found;
    };
    EXPECT_EQ(modal("About",
                    [&] {
                        for (QAction* item : app->menuBar().findChildren<QAction*>())
                            if (item->text().startsWith("About")) item->trigger();
                    }),
              "");
    QtPanels panels(&w);
    // Qt's own file panels cut their folder picker on screens narrower than
    // 1280 pixels once it is filled (the README says so).
    if (w.screen()->availableGeometry().width() >= 1280) {
        EXPECT_EQ(modal("Export", [&] { panels.chooseFileToSave("Minutes (large print).pdf", "Save the large-print copy as a PDF."); }), "");
        EXPECT_EQ(modal("Open", [&] { panels.chooseFileToOpen("Choose a file to make large.", {"Text (*.txt)"}); }), "");
    }
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    EXPECT_EQ(modal("Print", [&] { panels.confirmPrint(printer); }), "");
    EXPECT_EQ(modal("an alert", [&] { panels.alert("The document couldn’t be saved.", "The disk is full."); }), "");

    app->model().setKind(DocKind::songbook);
    auto& songs = app->model().songs().model();
    fillLibrary(songs);
    songs.setSelection(Lyricade::SidebarItem::book(songs.library().books.front().id));
    auto& root = *static_cast<Lyricade::SongbookPane*>(w.songbookPane())->root();
    songs.setAddSongsShown(true);
    ASSERT_TRUE(HangGuard::waitFor([&] { return root.addSongsSheet() && root.addSongsSheet()->isVisible(); }));
    EXPECT_EQ(offTheScreen(*root.addSongsSheet(), "Add Songs"), "");
    songs.setAddSongsShown(false);
    songs.setLicensingShown(true);
    ASSERT_TRUE(HangGuard::waitFor([&] { return root.licensingSheet() && root.licensingSheet()->isVisible(); }));
    EXPECT_EQ(offTheScreen(*root.licensingSheet(), "Song licensing"), "");
    songs.setLicensingShown(false);

    songs.setSelection(Lyricade::SidebarItem::allSongs());
    songs.setSelectedSongID(songs.library().songs.front().id);
    Lyricade::SongEditorView* editor = nullptr;
    ASSERT_TRUE(HangGuard::waitFor([&] {
        for (auto* shown : w.findChildren<Lyricade::SongEditorView*>())
            if (shown->isVisible()) editor = shown;
        return editor != nullptr;
    }));
    QAbstractButton* opener = nullptr;
    for (auto* button : editor->findChildren<QAbstractButton*>())
        if (button->accessibleName() == "ChordPro quick reference") opener = button;
    ASSERT_NE(opener, nullptr);
    opener->click();
    ASSERT_TRUE(HangGuard::waitFor([&] { return editor->quickReference() && editor->quickReference()->isVisible(); }));
    EXPECT_EQ(offTheScreen(*editor->quickReference(), "quick reference"), "");
}

class ScreenFitTest : public testing::TestWithParam<ScreenCase> {};

TEST_P(ScreenFitTest, BothModesAtTheWindowsMinimumAndTheWelcomeSheetFit)
{
    const ScreenCase screen = GetParam();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile config(folder.filePath("screen.json"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral(R"({"screens":[{"name":"fit","x":0,"y":0,"width":%1,"height":%2,)"
                                R"("logicalDpi":96,"logicalBaseDpi":96}]})")
                     .arg(screen.width)
                     .arg(screen.height)
                     .toUtf8());
    config.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName());
    environment.insert("QT_FONT_DPI", QString::number(qRound(96 * screen.scale)));
    environment.insert(fitChild, "1");
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {screen.sheetOnly ? "--gtest_filter=ScreenFitChild.TheWelcomeSheet*:ScreenFitChild.TheToolbars*:"
                                    "ScreenFitChild.NothingIsCut*"
                                  : "--gtest_filter=ScreenFitChild.*"});
    ASSERT_TRUE(child.waitForFinished(120'000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    // Ran, not skipped.
    EXPECT_TRUE(output.contains(screen.sheetOnly ? "[  PASSED  ] 3 tests." : "[  PASSED  ] 5 tests.")) << output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Screens, ScreenFitTest,
                         testing::Values(ScreenCase{1024, 768, 1}, ScreenCase{1024, 768, 1.5},
                                         ScreenCase{1024, 768, 2}, ScreenCase{1280, 800, 1}, ScreenCase{1280, 800, 1.25},
                                         ScreenCase{1280, 800, 1.5}, ScreenCase{1280, 800, 2},
                                         ScreenCase{1366, 768, 1}, ScreenCase{1366, 768, 1.25},
                                         ScreenCase{1366, 768, 1.5}, ScreenCase{1366, 768, 2},
                                         ScreenCase{1920, 1080, 1}, ScreenCase{1920, 1080, 1.25},
                                         ScreenCase{1920, 1080, 1.5}, ScreenCase{1920, 1080, 2}),
                         [](const testing::TestParamInfo<ScreenCase>& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) +
                                    "at" + std::to_string(qRound(info.param.scale * 100));
                         });

} // namespace
} // namespace FolmiraAppTest
