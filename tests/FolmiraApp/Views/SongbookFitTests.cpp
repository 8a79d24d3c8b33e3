// The songbook screen in the smallest main window, with the desktop's font
// and with one half again as large: the columns stand side by side without
// covering each other, and every control is on the window or inside a
// scroll area that can scroll to it.

#include "../Fakes.h"

#include "FolmiraApp/Views/Application.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "Lyricade/AppModel.h"
#include "Lyricade/SongController.h"
#include "Lyricade/Views/SongRootView.h"
#include "Lyricade/Views/SongbookPane.h"
#include "tests/HangGuardQt.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>

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
            const QRect reach(-across->value(), -down->value(), outer->width() + range(across),
                              outer->height() + range(down));
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

    // Long titles and artists, odd directives (warnings), one book with all of them.
    void fillLibrary()
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
        songs().setLibrary(library);
    }

    // Lists lay their rows out again a moment after a resize.
    void settle()
    {
        QTest::qWait(250);
        QApplication::processEvents();
    }

    // Every failure of the two rules, one line each.
    std::string misfits()
    {
        QStringList found;
        for (auto* splitter : window().findChildren<QSplitter*>()) {
            if (!splitter->isVisibleTo(&window())) continue;
            QList<QWidget*> columns;
            for (int i = 0; i < splitter->count(); ++i)
                if (splitter->widget(i)->isVisibleTo(&window())) columns << splitter->widget(i);
            for (int i = 0; i + 1 < columns.size(); ++i)
                if (columns[i]->geometry().intersects(columns[i + 1]->geometry()) ||
                    columns[i + 1]->geometry().right() >= splitter->width() + 1)
                    found << QStringLiteral("columns %1 and %2 overlap").arg(columns[i]->metaObject()->className(),
                                                                            columns[i + 1]->metaObject()->className());
        }
        for (auto* w : window().findChildren<QWidget*>()) {
            if (!isControl(w) || !w->isVisibleTo(&window()) || w->window() != &window()) continue;
            // A scroll bar belongs to its area, which is checked itself.
            if (qobject_cast<QScrollBar*>(w)) continue;
            QString why = unreachable(w, &window());
            // Squeezed below its smallest size, its text or frame is cut (a fixed size is chosen).
            const QSize least = w->minimumSizeHint();
            if (why.isEmpty() && w->minimumSize() != w->maximumSize() &&
                (w->width() < least.width() || w->height() < least.height()))
                why = QStringLiteral("squeezed to %1x%2").arg(w->width()).arg(w->height());
            if (!why.isEmpty())
                found << QStringLiteral("%1 \"%2\" %3").arg(w->metaObject()->className(),
                                                          w->accessibleName().isEmpty() ? w->property("text").toString()
                                                                                        : w->accessibleName(),
                                                          why);
        }
        return found.join('\n').toStdString();
    }

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

} // namespace
} // namespace FolmiraAppTest
