// The main window walked with Tab alone, as a keyboard and screen-reader user
// meets it: in both modes every enabled control is reached, each with a name
// to read out, and a Tab never lands as text in a song.

#include "../Fakes.h"
#include "AccessibleEvents.h"

#include "FolmiraApp/Model/Engine.h"
#include "FolmiraApp/Views/Application.h"
#include "FolmiraApp/Views/DocumentView.h"
#include "FolmiraApp/Views/EmptyStateView.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/ModePicker.h"
#include "FolmiraApp/Views/PaneParts.h"
#include "FolmiraApp/Views/Panes.h"
#include "FolmiraApp/Views/TextPane.h"
#include "PdfView/Widgets/PdfPagesView.h"
#include "FolmiraApp/Views/SettingsPanel.h"
#include "Lyricade/SongController.h"
#include "Lyricade/Views/BookEntryList.h"
#include "Lyricade/Views/BookView.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/EntryAccessible.h"
#include "Lyricade/Views/InspectorView.h"
#include "Lyricade/Views/AddSongsSheet.h"
#include "Lyricade/Views/SidebarView.h"
#include "Lyricade/Views/SongListRows.h"
#include "Lyricade/Views/SongListView.h"
#include "Lyricade/Views/SongRootView.h"
#include "tests/HangGuardQt.h"
#include "tests/PlainPdf.h"
#include "tests/Lyricade/Views/PixelMeasures.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace FolmiraAppTest {
namespace {

class KeyboardWalkTest : public ModelTest {
protected:
    void TearDown() override
    {
        engine->releaseAll();
        app.reset();
        ModelTest::TearDown();
    }

    void launch(std::shared_ptr<Engine> realEngine = nullptr)
    {
        // As the program does before its first window.
        Lyricade::installDesktopAccessible();
        defaults->setValue("welcomeSeen", true);
        AppServices given = services();
        if (realEngine) given.engine = std::move(realEngine);
        app = std::make_unique<Application>(given);
        app->start({});
        ASSERT_TRUE(HangGuard::windowActive(&app->window()));
        ASSERT_TRUE(HangGuard::waitFor([&] { return app->model().songsStarted(); }));
    }

    static bool shown(const QWidget* widget)
    {
        return widget->isVisible() && widget->isEnabled() && !widget->visibleRegion().isEmpty();
    }

    // What Tab ought to reach: every shown, enabled control that takes focus from Tab.
    std::set<QWidget*> tabStops() const
    {
        std::set<QWidget*> stops;
        for (QWidget* widget : app->window().findChildren<QWidget*>())
            if ((widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy() && shown(widget)) stops.insert(widget);
        return stops;
    }

    static QString nameOf(QWidget* widget)
    {
        QAccessibleInterface* reads = QAccessible::queryAccessibleInterface(widget);
        return reads ? reads->text(QAccessible::Name).trimmed() : QString();
    }

    // Every object on the accessibility bus that reads as focused, from the
    // application down: its windows and the menus popped up on their own.
    static std::vector<QAccessibleInterface*> focusedObjects()
    {
        std::vector<QAccessibleInterface*> found;
        std::function<void(QAccessibleInterface*, int)> visit = [&](QAccessibleInterface* at, int depth) {
            if (!at || depth > 60) return;
            if (at->state().focused) found.push_back(at);
            for (int i = 0; i < at->childCount(); ++i) visit(at->child(i), depth + 1);
        };
        visit(QAccessible::queryAccessibleInterface(qApp), 0);
        return found;
    }

    // Exactly one object reads as focused: `focus` itself, or a child of it
    // (a view's current row, an open menu's current item).
    static void expectOneFocused(QObject* focus)
    {
        const auto focused = focusedObjects();
        QStringList names;
        for (QAccessibleInterface* each : focused) names << each->text(QAccessible::Name);
        ASSERT_EQ(focused.size(), 1u) << names.join(" | ").toStdString();
        QAccessibleInterface* one = focused.front();
        const bool isFocus = one->object() == focus || (one->parent() && one->parent()->object() == focus);
        EXPECT_TRUE(isFocus) << names.join(" | ").toStdString();
    }

    // Why `control` is not seen whole, or empty when it is: every scroll area
    // around it shows all of it (as much as its view holds), and so does the window.
    static QString hidden(QWidget* control)
    {
        constexpr int margin = 8;
        for (QWidget* holder = control->parentWidget(); holder; holder = holder->parentWidget()) {
            auto* area = qobject_cast<QAbstractScrollArea*>(holder->parentWidget());
            const bool view = area && area->viewport() == holder;
            if (!view && !holder->isWindow()) continue;
            const QRect box(control->mapTo(holder, QPoint(0, 0)), control->size());
            // One larger than the view fills it, short of the margin kept beside it.
            const QSize room = box.size().boundedTo(holder->size() - QSize(margin, margin));
            const QSize shows = (box & holder->rect()).size();
            if (shows.width() < room.width() || shows.height() < room.height())
                return QStringLiteral("cut by ") + (view ? area->metaObject()->className() : "the window");
            if (holder->isWindow()) break;
        }
        return {};
    }

    static std::string describe(QWidget* widget)
    {
        return QStringLiteral("%1 %2 \"%3\"")
            .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName(), nameOf(widget))
            .toStdString();
    }

    // Tab from the window's first control until the focus comes round again.
    void walk(const char* where)
    {
        SCOPED_TRACE(where);
        QWidget& window = app->window();
        QWidget* start = window.focusWidget();
        ASSERT_NE(start, nullptr) << "the focus is on a control";
        std::set<QWidget*>& reached = reached_;
        reached.clear();
        order_.clear();
        auto* editor = window.findChild<QPlainTextEdit*>();
        const QString text = editor ? editor->toPlainText() : QString();
        QWidget* at = start;
        for (int step = 0; step < 200; ++step) {
            reached.insert(at);
            if (atEachStop_) atEachStop_(at);
            order_.push_back(at);
            EXPECT_FALSE(nameOf(at).isEmpty()) << "no name: " << describe(at);
            // In a song Tab is typed, as in any text editor; Ctrl+Tab goes on.
            const bool inSong = at == editor;
            QTest::keyClick(at, Qt::Key_Tab, inSong ? Qt::ControlModifier : Qt::NoModifier);
            at = QApplication::focusWidget();
            ASSERT_NE(at, nullptr) << "the focus went nowhere";
            ASSERT_TRUE(window.isAncestorOf(at)) << "left the window for " << describe(at);
            EXPECT_EQ(hidden(at).toStdString(), "") << describe(at);
            if (at == start) break;
        }
        EXPECT_EQ(at, start) << "the walk comes round";
        for (QWidget* stop : tabStops()) EXPECT_TRUE(reached.count(stop)) << "not reached: " << describe(stop);
        if (editor) {
            EXPECT_EQ(editor->toPlainText(), text) << "nothing typed into the song";
        }
    }

    // What the last walk reached, read out in Tab order.
    QStringList namesReached() const
    {
        QStringList names;
        for (QWidget* widget : order_) names << nameOf(widget);
        return names;
    }

    // The share of the outer two pixels the focus on `control` changes at
    // 3 : 1, where no holder cuts the control off: around a list's current
    // row, a view's pages, else the whole control. The default button keeps
    // its dark outline, which no ring colour stands out from on a light
    // window: its ring is the two pixels inside that.
    double ringShare(QWidget* control)
    {
        QWidget& window = app->window();
        QApplication::processEvents();
        const QPoint at = control->mapTo(&window, QPoint());
        QRect box = control->rect(), seen(at, control->size());
        if (auto* area = qobject_cast<QAbstractScrollArea*>(control); area && !qobject_cast<QPlainTextEdit*>(control)) {
            box = QRect(area->viewport()->mapTo(control, QPoint()), area->viewport()->size());
            auto* list = qobject_cast<QAbstractItemView*>(control);
            if (list && list->currentIndex().isValid()) box &= list->visualRect(list->currentIndex()).translated(box.topLeft());
        }
        if (auto* button = qobject_cast<QPushButton*>(control); button && button->isDefault()) box.adjust(1, 1, -1, -1);
        for (QWidget* holder = control->parentWidget(); holder != &window; holder = holder->parentWidget())
            seen &= QRect(holder->mapTo(&window, QPoint()), holder->size());
        const QImage focused = window.grab().toImage();
        control->clearFocus();
        QApplication::processEvents();
        const QImage plain = window.grab().toImage();
        control->setFocus(Qt::TabFocusReason);
        return PixelMeasures::ringShare(plain, focused, box.translated(at), QRegion(seen), Lyricade::FocusRing::width);
    }

    // Tab reads the last walk's stops inside `regions` region after region,
    // from where the first is entered, and those in the settings `panel` from
    // top to bottom, as they stand.
    void expectReadingOrder(const std::vector<QWidget*>& regions, const QScrollArea* panel) const
    {
        std::vector<std::pair<std::size_t, int>> keys; // region, and height in the panel
        for (QWidget* stop : order_)
            for (std::size_t r = 0; r < regions.size(); ++r)
                if (regions[r]->isAncestorOf(stop))
                    keys.emplace_back(r, panel->isAncestorOf(stop) ? stop->mapTo(panel->widget(), QPoint()).y() : 0);
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i].first == 0 && keys[(i + keys.size() - 1) % keys.size()].first != 0) {
                std::rotate(keys.begin(), keys.begin() + long(i), keys.end());
                break;
            }
        EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << namesReached().join(" | ").toStdString();
        EXPECT_EQ(keys.back().first, regions.size() - 1) << "each part reached";
    }

    std::unique_ptr<Application> app;
    std::set<QWidget*> reached_;
    std::function<void(QWidget*)> atEachStop_;
    std::vector<QWidget*> order_; // the last walk's stops, in Tab order
};

TEST_F(KeyboardWalkTest, TabReachesEveryNamedControlInBothModes)
{
    // One focus on the bus at each stop: no view's current row beside it.
    atEachStop_ = [](QWidget* at) { expectOneFocused(at); };
    launch();
    walk("Document mode");

    QTest::keyClick(app->window().focusWidget(), Qt::Key_2, Qt::AltModifier);
    ASSERT_EQ(app->model().kind(), DocKind::songbook);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(nameOf(focus), "Songs") << "Songbook mode starts at the song list: " << describe(focus);
    walk("Songbook mode, no song chosen");

    auto& songs = app->model().songs();
    songs.model().setSelectedSongID(songs.library().songs.front().id);
    walk("Songbook mode, a song open");

    songs.selectBookKind(false);
    ASSERT_TRUE(HangGuard::waitFor([&] { return songs.hasOutput(); }, 10000));
    walk("Songbook mode, a songbook open");
    // The book, its preview, then the print settings.
    auto* root = app->window().findChild<Lyricade::SongRootView*>();
    ASSERT_NE(root, nullptr);
    expectReadingOrder({root->findChild<Lyricade::BookView*>(), root->detail(), root->inspector()}, root->inspector());

    // An open menu's current item holds the focus, and the button it drops from lets go of it.
    Lyricade::EntryPopUp* key = nullptr;
    for (auto* popUp : root->findChildren<Lyricade::EntryPopUp*>())
        if (popUp->accessibleName() == "Key" && popUp->focusPolicy() != Qt::NoFocus) key = popUp;
    ASSERT_NE(key, nullptr) << "the current entry's Key";
    key->setFocus(Qt::TabFocusReason);
    QMenu* menu = key->menu();
    QStringList chosen;
    QTimer::singleShot(0, menu, [&] {
        for (Qt::Key step : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down}) {
            QTest::keyClick(menu, step);
            ASSERT_NE(menu->activeAction(), nullptr);
            expectOneFocused(menu);
            chosen << focusedObjects().front()->text(QAccessible::Name);
        }
        menu->close();
    });
    key->showMenu();
    EXPECT_EQ(chosen.size(), 3);
    EXPECT_NE(chosen.value(0), chosen.value(1)) << "the focus follows the arrows";
    EXPECT_EQ(chosen.value(0), chosen.value(2));
}

TEST_F(KeyboardWalkTest, AnOpenMenuLeavesTheFocusToItsCurrentItemAlone)
{
    QDir().mkpath(QString::fromStdString(path("Samples").string()));
    file("Samples/Letter.txt");
    launch();
    MainWindow& window = app->window();
    QTest::keyClick(window.focusWidget(), Qt::Key_2, Qt::AltModifier);
    ASSERT_EQ(app->model().kind(), DocKind::songbook);
    const auto menuTitled = [&](const QString& title) {
        for (QAction* top : window.menuBar()->actions())
            if (top->text().remove('&') == title) return top->menu();
        return static_cast<QMenu*>(nullptr);
    };
    // The one focused object, which must be the open menu's current item.
    const auto focusedItem = [&](QMenu* open) {
        const auto focused = focusedObjects();
        QStringList names;
        for (QAccessibleInterface* each : focused) names << each->text(QAccessible::Name);
        EXPECT_EQ(focused.size(), 1u) << names.join(" | ").toStdString();
        EXPECT_NE(open->activeAction(), nullptr);
        if (focused.size() != 1 || !open->activeAction()) return QString();
        EXPECT_EQ(focused.front()->parent()->object(), open) << names.join(" | ").toStdString();
        return focused.front()->text(QAccessible::Name);
    };

    // A menu of the menu bar, opened with Alt and its letter, then moved in with Down.
    QMenu* file = menuTitled("File");
    ASSERT_NE(file, nullptr);
    QTest::keyClick(window.focusWidget(), Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(HangGuard::waitFor([&] { return file->isVisible() && file->activeAction(); }));
    const QString first = focusedItem(file);
    EXPECT_EQ(first, file->activeAction()->text().remove('&'));
    QTest::keyClick(file, Qt::Key_Down);
    EXPECT_NE(focusedItem(file), first);
    QTest::keyClick(file, Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);

    // A submenu opened with Right.
    QMenu* help = menuTitled("Help");
    ASSERT_NE(help, nullptr);
    QTest::keyClick(window.focusWidget(), Qt::Key_H, Qt::AltModifier);
    ASSERT_TRUE(HangGuard::waitFor([&] { return help->isVisible(); }));
    QMenu* samples = nullptr;
    for (QAction* item : help->actions())
        if (item->menu()) {
            help->setActiveAction(item);
            samples = item->menu();
        }
    ASSERT_NE(samples, nullptr);
    QTest::keyClick(help, Qt::Key_Right);
    ASSERT_TRUE(HangGuard::waitFor([&] { return samples->isVisible() && samples->activeAction(); }));
    EXPECT_EQ(focusedItem(samples), "Letter");
    samples->close();
    help->close();

    // The sidebar's Add menu, opened from its button with Space.
    auto* root = window.findChild<Lyricade::SongRootView*>();
    ASSERT_NE(root, nullptr);
    QToolButton* add = root->sidebar()->addButton();
    add->setFocus(Qt::TabFocusReason);
    QString firstAdd;
    QTimer::singleShot(0, add->menu(), [&] {
        firstAdd = focusedItem(add->menu());
        add->menu()->close();
    });
    QTest::keyClick(add, Qt::Key_Space);
    EXPECT_EQ(firstAdd, "New Song");
}

TEST_F(KeyboardWalkTest, AContextMenuOpensOnItsFirstItemAndEscapeTellsOfTheRowAgain)
{
    launch();
    QTest::keyClick(app->window().focusWidget(), Qt::Key_2, Qt::AltModifier);
    ASSERT_EQ(app->model().kind(), DocKind::songbook);
    // A row's context menu, from the keyboard: its first item is current and
    // the one focused object, and Escape tells of the row the keyboard is back on.
    // (Offscreen, a menu without a parent leaves no window active once closed: the book's is not heard after.)
    const auto menuOf = [&](QListWidget* list, const QString& first, bool heardAfter) {
        app->window().activateWindow();
        ASSERT_TRUE(HangGuard::windowActive(&app->window()));
        list->setFocus(Qt::TabFocusReason);
        list->setCurrentRow(0);
        const QString row = QAccessible::queryAccessibleInterface(list)->focusChild()->text(QAccessible::Name);
        AccessibleEvents heard;
        QStringList focusedInMenu; // the menu's focused items, and whatever else reads as focused
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            for (QAccessibleInterface* each : focusedObjects())
                focusedInMenu << (each->parent()->object() == menu ? "" : "outside: ") + each->text(QAccessible::Name);
            heard.clear();
            if (menu) QTest::keyClick(menu, Qt::Key_Escape);
        });
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        EXPECT_EQ(focusedInMenu, QStringList{first});
        if (heardAfter) {
            EXPECT_TRUE(HangGuard::waitFor([&] { return heard.count(QAccessible::Focus, row) > 0; })) << row.toStdString();
        }
    };
    menuOf(app->window().findChild<Lyricade::SongListView*>()->list(), "Add to", true);
    app->model().songs().selectBookKind(false);
    auto* entries = app->window().findChild<Lyricade::BookEntryList*>();
    ASSERT_TRUE(HangGuard::waitFor([&] { return entries && entries->isVisible() && entries->count() > 0; }));
    menuOf(entries, "Edit Song", false);
}

// A window manager may activate nothing once a sheet has closed (xfwm4 as
// a rule; here a stand-in takes the activation away once the sheet's closing
// has been handled): the window the sheet was over has the keyboard again
// all the same, its focus where it was.
TEST_F(KeyboardWalkTest, ASheetClosedLeavesItsWindowActiveWithItsFocusWhereItWas)
{
    launch();
    MainWindow& window = app->window();
    const std::pair<const char*, std::function<void()>> sheets[] = {
        {"welcome", [&] { app->model().setShowWelcome(true); }},
        {"licensing",
         [&] {
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_2, Qt::AltModifier);
             app->model().songs().model().setLicensingShown(true);
         }},
    };
    for (const auto& [what, open] : sheets) {
        SCOPED_TRACE(what);
        open();
        QDialog* sheet = nullptr;
        ASSERT_TRUE(HangGuard::waitFor([&] { return (sheet = qobject_cast<QDialog*>(QApplication::activeModalWidget())); }));
        QWidget* focus = window.focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(sheet, Qt::Key_Escape);
        ASSERT_FALSE(QApplication::activeModalWidget());
        QApplication::processEvents();
        QApplication::setActiveWindow(nullptr);
        EXPECT_TRUE(HangGuard::waitFor([&] { return QApplication::activeWindow() == &window; }));
        EXPECT_EQ(QApplication::focusWidget(), focus) << describe(QApplication::focusWidget());
    }
}

// A book's rows are widgets standing on its list: each move to a row, by the
// arrows, by moving its song or by deleting the one before, is heard once, as
// a focus event on that row, never on the list around it.
TEST_F(KeyboardWalkTest, EachMoveInABookIsHeardOnceOnTheRow)
{
    launch();
    QTest::keyClick(app->window().focusWidget(), Qt::Key_2, Qt::AltModifier);
    app->model().songs().selectBookKind(false);
    auto* list = app->window().findChild<Lyricade::BookEntryList*>();
    ASSERT_TRUE(HangGuard::waitFor([&] { return list && list->isVisible() && list->count() >= 3; }));
    list->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_EQ(list->currentRow(), 0);
    const struct {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int row; // where the focus is then
    } steps[] = {
        {"down", Qt::Key_Down, {}, 1},
        {"down again", Qt::Key_Down, {}, 2},
        {"up", Qt::Key_Up, {}, 1},
        {"moved up", Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier, 0},
        {"deleted", Qt::Key_Delete, {}, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        AccessibleEvents heard;
        QTest::keyClick(list, step.key, step.modifiers);
        QTest::qWait(50); // the focus settles
        ASSERT_EQ(list->currentRow(), step.row);
        QStringList said;
        for (const auto& event : heard.events())
            if (event.type == QAccessible::Focus) said << event.text;
        EXPECT_EQ(said.join(" | ").toStdString(), nameOf(list->itemWidget(list->currentItem())).toStdString());
    }
}

TEST_F(KeyboardWalkTest, AViewsTableReadsItsCurrentRowFocusedOnlyWhileTheViewHasTheFocus)
{
    // The desktop bridge reads a list's cells and selection through its table.
    launch();
    QTest::keyClick(app->window().focusWidget(), Qt::Key_2, Qt::AltModifier);
    auto& songs = app->model().songs();
    ASSERT_GE(songs.library().songs.size(), 2u);
    auto* list = app->window().findChild<Lyricade::SongListView*>();
    ASSERT_NE(list, nullptr);
    list->list()->setFocus(Qt::TabFocusReason);
    list->list()->setCurrentRow(1);
    QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(list->list())->tableInterface();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->selectedCellCount(), 1);
    const struct {
        QWidget* focus;
        bool rowFocused;
    } cases[] = {{list->searchField(), false}, {list->list(), true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(describe(c.focus));
        c.focus->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(HangGuard::waitFor([&] { return c.focus->hasFocus(); }));
        EXPECT_EQ(table->cellAt(1, 0)->state().focused, c.rowFocused);
        const auto selected = table->selectedCells();
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(selected.front()->state().focused, c.rowFocused);
        EXPECT_EQ(selected.front(), table->cellAt(1, 0)) << "one object for the row, however it is reached";
        expectOneFocused(c.focus);
    }
}

TEST_F(KeyboardWalkTest, WithADocumentOpenTabReachesItsNotesAndReadsThem)
{
    atEachStop_ = [](QWidget* at) { expectOneFocused(at); };
    launch();
    app->model().open(file("Letter.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return app->model().preview() && !app->model().rendering(); }));
    ASSERT_EQ(app->model().notes().size(), 1u);
    ASSERT_TRUE(HangGuard::waitFor([&] {
        auto* note = app->window().findChild<QWidget*>(QStringLiteral("note"));
        return note && note->isVisible();
    }));
    walk("Document mode, a document open");
    // The document, the settings with the note after those it follows, then the status bar.
    DocumentView* document = app->window().documentView();
    expectReadingOrder({document->panes(), document->inspector(), document->statusBar()}, document->inspector());
    const QStringList names = namesReached();
    EXPECT_TRUE(names.contains("Read by the fake.")) << "the note under What changed";
    EXPECT_TRUE(names.contains("1 note in Settings")) << "the count in the status bar";

    // The focus shows on them, as on every control.
    for (QWidget* widget : reached_) {
        if (nameOf(widget) != "Read by the fake." && nameOf(widget) != "1 note in Settings") continue;
        app->window().setFocus();
        const QImage plain = widget->grab().toImage();
        widget->setFocus();
        ASSERT_TRUE(widget->hasFocus());
        EXPECT_NE(widget->grab().toImage(), plain) << describe(widget);
    }
}

// With a screen reader listening, a document chosen in the open panel (its
// path typed, as a keyboard user does) leaves the window with the keyboard:
// the focus is on a control that shows, and each Tab moves it, heard.
TEST_F(KeyboardWalkTest, AfterTheOpenPanelTheWindowHasTheKeyboardAndTabMovesTheFocus)
{
    const auto recipe = file("Recipe.md", "# Pancakes\n\nFlour, eggs and milk.\n");
    panels.reset(); // Qt's own open panel
    AccessibleEvents heard;
    launch();
    MainWindow& window = app->window();
    bool chosen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(QString::fromStdString(recipe.parent_path().string()));
        dialog->selectFile("Recipe.md");
        QMetaObject::invokeMethod(dialog, "accept");
        chosen = true;
    });
    app->model().chooseDocument();
    ASSERT_TRUE(chosen);
    ASSERT_TRUE(HangGuard::waitFor([&] { return app->model().preview() && !app->model().rendering(); }));
    ASSERT_TRUE(HangGuard::waitFor([&] { return QApplication::activeWindow() == &window; }));
    QApplication::processEvents();
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus->isVisible()) << describe(focus);
    expectOneFocused(focus);
    std::set<QWidget*> visited{focus};
    for (int tab = 0; tab < 3; ++tab) {
        heard.clear();
        QTest::keyClick(window.windowHandle(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        ASSERT_NE(now, nullptr);
        EXPECT_TRUE(visited.insert(now).second) << "Tab moved the focus on: " << describe(now);
        EXPECT_EQ(heard.count(QAccessible::Focus, nameOf(now)), 1) << describe(now);
    }
}

// Settings read with one focused object at every Tab stop, whichever page is
// shown, and leave none behind once closed: a hidden page's tab is not focused.
TEST_F(KeyboardWalkTest, SettingsHoldOneFocusedObjectAndLeaveNoneBehindWhenClosed)
{
    launch();
    QAction* open = nullptr;
    for (QAction* action : app->window().menuBar()->findChildren<QAction*>())
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_Comma)) open = action;
    ASSERT_NE(open, nullptr);
    for (const QString& page : QStringList{"General", "Privacy", "Font License"}) {
        SCOPED_TRACE(page.toStdString());
        open->trigger();
        QWidget* settings = nullptr;
        ASSERT_TRUE(HangGuard::waitFor([&] {
            settings = QApplication::activeWindow();
            return settings && settings->objectName() == "settings";
        }));
        auto* tabs = settings->findChild<QTabBar*>();
        ASSERT_NE(tabs, nullptr);
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == page) tabs->setCurrentIndex(i);
        tabs->setFocus(Qt::TabFocusReason);
        for (int stop = 0; stop < 4; ++stop) {
            expectOneFocused(QApplication::focusWidget());
            EXPECT_FALSE(nameOf(QApplication::focusWidget()).isEmpty()) << describe(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        ASSERT_TRUE(HangGuard::waitFor([&] { return !settings->isVisible(); }));
        for (QAccessibleInterface* focused : focusedObjects())
            EXPECT_FALSE(settings->isAncestorOf(qobject_cast<QWidget*>(focused->object())) ||
                         (focused->parent() && focused->parent()->object() == tabs))
                << "focused after closing: " << focused->text(QAccessible::Name).toStdString();
    }
}

TEST_F(KeyboardWalkTest, EachTabBringsTheFocusedControlWholeIntoViewAtBothFontSizes)
{
    // A document with notes (pictures left out), at the desktop's font size and
    // half again as large (as at 144 dpi), in both modes.
    const auto document = file("Notes.md", "# Notes\n\nSome words.\n\n![Map](missing.png)\n\n"
                                           "![Sky](https://example.org/sky.png)\n\nMore words.\n");
    const QFont desktopFont = QApplication::font();
    const std::shared_ptr<void> fontBack(nullptr, [desktopFont](void*) { QApplication::setFont(desktopFont); });
    for (double scale : {1.0, 1.5}) {
        SCOPED_TRACE(scale);
        QFont font = desktopFont;
        font.setPointSizeF(desktopFont.pointSizeF() * scale);
        QApplication::setFont(font);
        defaults->setValue("docKind", "document");
        launch(makeFolmiraEngine());
        // The window on a 1600 by 1000 screen, less the desktop's panel.
        app->window().resize(QSize(1360, 860).boundedTo(QSize(1600, 940) / scale));
        app->model().open(document);
        ASSERT_TRUE(HangGuard::waitFor([&] { return app->model().preview() && !app->model().rendering(); }, 20000));
        ASSERT_FALSE(app->model().notes().empty());
        ASSERT_TRUE(HangGuard::waitFor([&] {
            auto* note = app->window().findChild<QWidget*>(QStringLiteral("note"));
            return note && note->isVisible();
        }));
        walk("Document mode, a document with notes open");
        QTest::keyClick(app->window().focusWidget(), Qt::Key_2, Qt::AltModifier);
        ASSERT_EQ(app->model().kind(), DocKind::songbook);
        walk("Songbook mode");
        app.reset();
    }
}

TEST_F(KeyboardWalkTest, EveryTabStopShowsAWholeRingAtBothFontSizes)
{
    // At the desktop's font size and half again as large, and on dark and
    // high-contrast palettes, in both modes, with a document, a song and a
    // songbook open (its print settings shown, the small pop-ups of a book's
    // current entry reached).
    std::map<QString, double> least; // the least share each stop showed in a look
    atEachStop_ = [&](QWidget* at) {
        // The rings reach 0.977 of their two pixels or more: a ring cut
        // short at a corner or a side falls below.
        const double share = ringShare(at);
        EXPECT_GE(share, 0.97) << describe(at) << " " << at->width() << "x" << at->height();
        const auto [kept, first] = least.emplace(nameOf(at), share);
        if (!first) kept->second = std::min(kept->second, share);
    };
    // The smallest controls, where a ring drawn inside leaves least: each one reached and ringed.
    const QString smallControls[] = {"Key", "Capo", "Add", "About song licensing", "One", "Pages", "Songbook"};
    const QFont desktopFont = QApplication::font();
    const QPalette desktopPalette = QApplication::palette();
    const std::shared_ptr<void> lookBack(nullptr, [=, style = QApplication::style()->name()](void*) {
        QApplication::setStyle(style);
        QApplication::setFont(desktopFont);
        QApplication::setPalette(desktopPalette);
    });
    Application::applyLook(); // the style that draws the rings, as the program starts with
    const struct {
        double scale;
        QPalette palette;
    } looks[] = {{1.0, QApplication::palette()},
                 {1.5, QApplication::palette()},
                 {1.0, Lyricade::FontRole::readablePalette(PixelMeasures::highContrast())},
                 {1.0, PixelMeasures::dark()},
                 {1.5, PixelMeasures::dark()}};
    for (const auto& look : looks) {
        SCOPED_TRACE(look.palette.color(QPalette::Window).name().toStdString() + " at " + std::to_string(look.scale));
        least.clear();
        QFont font = desktopFont;
        font.setPointSizeF(desktopFont.pointSizeF() * look.scale);
        QApplication::setFont(font);
        QApplication::setPalette(look.palette);
        defaults->setValue("docKind", "document");
        launch();
        // Its opening size: at 144 dpi the fonts grow, the window and the screen stay.
        app->window().resize(1360, 860);
        app->model().open(file("Letter.txt"));
        ASSERT_TRUE(HangGuard::waitFor([&] { return app->model().preview() && !app->model().rendering(); }));
        walk("Document mode, a document open");
        QTest::keyClick(app->window().focusWidget(), Qt::Key_2, Qt::AltModifier);
        auto& songs = app->model().songs();
        songs.model().setSelectedSongID(songs.library().songs.front().id);
        walk("Songbook mode, a song open");
        songs.setShowInspector(true);
        songs.selectBookKind(false);
        ASSERT_TRUE(HangGuard::waitFor([&] { return songs.hasOutput(); }, 10000));
        walk("Songbook mode, a songbook open");
        for (const QString& name : smallControls) {
            ASSERT_TRUE(least.count(name)) << "not reached: " << name.toStdString();
            EXPECT_GE(least[name], 0.97) << name.toStdString();
        }
        engine->releaseAll();
        app.reset();
    }
}

// The delete confirmation reads with one focused object, the button Tab is on.
TEST_F(KeyboardWalkTest, TheDeleteConfirmationHoldsOneFocusedObject)
{
    launch();
    QTest::keyClick(app->window().focusWidget(), Qt::Key_2, Qt::AltModifier);
    auto& songs = app->model().songs().model();
    songs.setPendingDelete(songs.library().songs.front());
    QWidget* box = nullptr;
    ASSERT_TRUE(HangGuard::waitFor([&] {
        box = QApplication::activeModalWidget();
        return box && box->isAncestorOf(QApplication::focusWidget());
    }));
    QStringList stops;
    for (int stop = 0; stop < 3; ++stop) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus && box->isAncestorOf(focus)) << stop;
        stops << nameOf(focus);
        expectOneFocused(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_TRUE(stops.contains("Delete Song")) << stops.join(" | ").toStdString();
    box->close();
}

// Deleting a song from the keyboard: once confirmed, the focus is back on the
// song list's row of the song now selected, heard once, never on the list
// around it or on another song on the way.
TEST_F(KeyboardWalkTest, ADeletedSongLeavesTheFocusOnTheSelectedRow)
{
    launch();
    QTest::keyClick(app->window().focusWidget(), Qt::Key_2, Qt::AltModifier);
    auto& songs = app->model().songs().model();
    QListWidget* list = app->window().findChild<Lyricade::SongListView*>()->list();
    list->setFocus();
    songs.setSelectedSongID(songs.filteredSongs().at(1).id);
    ASSERT_TRUE(HangGuard::waitFor([&] { return list->hasFocus() && list->currentRow() == 1; }));
    songs.setPendingDelete(songs.filteredSongs().at(1));
    QMessageBox* box = nullptr;
    ASSERT_TRUE(HangGuard::waitFor([&] { return (box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())); }));
    AccessibleEvents heard;
    QAbstractButton* remove = nullptr;
    for (QAbstractButton* button : box->buttons())
        if (button->text() == "Delete Song") remove = button;
    ASSERT_NE(remove, nullptr);
    QTest::keyClick(remove, Qt::Key_Space);
    ASSERT_TRUE(HangGuard::waitFor([&] { return list->hasFocus(); }));
    QApplication::processEvents();
    QStringList focused;
    for (const auto& event : heard.events())
        if (event.type == QAccessible::Focus) focused << event.text;
    ASSERT_TRUE(list->currentItem());
    EXPECT_EQ(focused.join(" | ").toStdString(), list->currentItem()->data(Qt::AccessibleTextRole).toString().toStdString());
}

// Each switch of what the window shows tells a screen reader of one focus
// move, to the named control the focus lands on: nothing of the view going
// away, hidden as it goes, nor of the controls Qt hands the focus through.
// Where it lands on a list with a current row, that row is heard, the one
// the keys act on, not the list around it.
TEST_F(KeyboardWalkTest, EachSwitchTellsOfOneFocusMoveToWhereTheFocusLands)
{
    launch();
    MainWindow& window = app->window();
    const auto segment = [&](DocKind kind) -> QWidget* { return window.modePicker()->segment(kind); };
    const auto chooseButton = [&]() -> QWidget* { return window.documentView()->emptyState()->chooseButton(); };
    const auto key = [](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        return [=] { QTest::keyClick(QApplication::focusWidget(), key, modifiers); };
    };
    auto& songs = app->model().songs();
    const auto bookList = [&]() -> QWidget* { return window.findChild<Lyricade::BookEntryList*>(); };
    // The control Tab leaves for `to`.
    const auto tabStopBefore = [](QWidget* to) {
        QWidget* before = to->previousInFocusChain();
        while (before != to && !((before->focusPolicy() & Qt::TabFocus) && before->isVisible() && before->isEnabled()))
            before = before->previousInFocusChain();
        return before;
    };
    const auto currentKey = [&]() -> QWidget* {
        for (auto* popUp : window.findChildren<Lyricade::EntryPopUp*>())
            if (popUp->accessibleName() == "Key" && popUp->focusPolicy() != Qt::NoFocus && popUp->isVisible()) return popUp;
        return nullptr;
    };
    const auto openBook = [&] {
        songs.selectBookKind(false);
        ASSERT_TRUE(HangGuard::waitFor([&] {
            auto* list = window.findChild<Lyricade::BookEntryList*>();
            return list && list->isVisible() && list->count() > 0 && currentKey();
        }));
    };
    const struct {
        const char* what;
        std::function<QWidget*()> from; // where the focus starts
        std::function<void()> act;
        QString said; // none: the name of where the focus lands, or of its current row
        bool row = false; // it lands on a list's current row
        bool heard = true; // false: the focus stays where it was told, and nothing is heard
    } cases[] = {
        {"Alt+2", chooseButton, key(Qt::Key_2, Qt::AltModifier), {}, true},
        {"Alt+1", [&] { return QApplication::focusWidget(); }, key(Qt::Key_1, Qt::AltModifier), "Choose a Document…"},
        {"right arrow", [&] { return segment(DocKind::document); }, key(Qt::Key_Right), "Songbook"},
        {"left arrow", [&] { return segment(DocKind::songbook); }, key(Qt::Key_Left), "Document"},
        {"Alt+2 again", chooseButton, key(Qt::Key_2, Qt::AltModifier), {}, true},
        {"Tab into a book",
         [&] {
             openBook();
             return tabStopBefore(bookList());
         },
         key(Qt::Key_Tab), {}, true},
        {"Shift+Tab from Key", currentKey, key(Qt::Key_Tab, Qt::ShiftModifier), {}, true},
        {"a folder imported",
         [&]() -> QWidget* {
             songs.model().setSelection(Lyricade::SidebarItem::allSongs());
             return window.findChild<Lyricade::SongListView*>()->searchField();
         },
         [&] {
             QDir().mkpath(QString::fromStdString(path("Imported").string()));
             file("Imported/Zebra.cho", "{title: Zebra Crossing}\n[G]Hi\n");
             file("Imported/Aardvark.cho", "{title: Aardvark Blues}\n[C]Lo\n");
             ASSERT_EQ(songs.model().importFiles({path("Imported")}), 2);
         },
         {}, true},
        // As the desktop hands the window the keyboard once a panel over it
        // has closed, Qt seats its focus again where it already was.
        {"the same focus seated again", [&] { return QApplication::focusWidget(); },
         [&] {
             QAccessibleEvent again(QApplication::focusWidget(), QAccessible::Focus);
             QAccessible::updateAccessibility(&again);
         },
         {}, true, false},
        // Taken away and handed back, the keyboard is heard where it lands.
        {"the keyboard handed back", [&] { return QApplication::focusWidget(); },
         [&] {
             emit qApp->focusWindowChanged(nullptr);
             emit qApp->focusWindowChanged(window.windowHandle());
             QAccessibleEvent back(QApplication::focusWidget(), QAccessible::Focus);
             QAccessible::updateAccessibility(&back);
         },
         {}, true},
        {"Alt+1 back", [&] { return QApplication::focusWidget(); }, key(Qt::Key_1, Qt::AltModifier), "Choose a Document…"},
        {"a document opened", chooseButton, [&] { app->model().open(file("Letter.txt")); }, "Large-print preview"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QWidget* from = c.from();
        ASSERT_NE(from, nullptr);
        from->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        AccessibleEvents heard;
        c.act();
        ASSERT_TRUE(HangGuard::waitFor([&] { return !app->model().makingCopy(); }));
        QTest::qWait(50); // the focus settles
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus && focus->isVisible());
        QString landed = nameOf(focus);
        if (c.row) {
            QAccessibleInterface* row = QAccessible::queryAccessibleInterface(focus)->focusChild();
            ASSERT_TRUE(qobject_cast<QAbstractItemView*>(focus) && row) << describe(focus);
            EXPECT_NE(row->text(QAccessible::Name), landed) << "a row, not the list";
            landed = row->text(QAccessible::Name);
        }
        EXPECT_FALSE(landed.isEmpty());
        if (!c.said.isEmpty()) {
            EXPECT_EQ(landed, c.said);
        }
        QStringList said;
        for (const auto& event : heard.events())
            if (event.type == QAccessible::Focus) said << event.text;
        EXPECT_EQ(said.join(" | ").toStdString(), c.heard ? landed.toStdString() : std::string());
    }
}

// In the add-songs sheet, Tab from the search field is heard as the row it
// lands on, and each Space on it as the row's tick coming and going, the
// row told of as checked or not.
TEST_F(KeyboardWalkTest, TheAddSongsSheetTellsTheRowTabLandsOnAndEachTick)
{
    launch();
    QTest::keyClick(app->window().focusWidget(), Qt::Key_2, Qt::AltModifier);
    auto& songs = app->model().songs();
    songs.selectBookKind(false);
    songs.model().setAddSongsShown(true);
    auto* root = app->window().findChild<Lyricade::SongRootView*>();
    ASSERT_TRUE(HangGuard::waitFor([&] { return root->addSongsSheet() && root->addSongsSheet()->isVisible(); }));
    QListWidget* list = root->addSongsSheet()->list();
    ASSERT_TRUE(HangGuard::waitFor([&] { return root->addSongsSheet()->searchField()->hasFocus(); }));
    AccessibleEvents heard;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::qWait(50); // the focus settles
    ASSERT_TRUE(list->hasFocus());
    ASSERT_NE(list->currentItem(), nullptr);
    const QString row = list->currentItem()->data(Qt::AccessibleTextRole).toString();
    QStringList said;
    for (const auto& event : heard.events())
        if (event.type == QAccessible::Focus) said << event.text;
    EXPECT_EQ(said.join(" | ").toStdString(), row.toStdString());
    expectOneFocused(list);

    for (const bool ticked : {true, false}) {
        SCOPED_TRACE(ticked);
        heard.clear();
        QTest::keyClick(list, Qt::Key_Space);
        ASSERT_EQ(list->currentItem()->checkState() == Qt::Checked, ticked);
        QStringList told;
        for (const auto& event : heard.events())
            if (event.type == QAccessible::StateChanged && event.changed.checked)
                told << event.text + (event.state.checked ? ": checked" : ": not checked");
        // Its name with its place in the order when ticked, as it now reads.
        const QString now = list->currentItem()->data(Qt::AccessibleTextRole).toString();
        EXPECT_EQ(now.startsWith(row + ", "), ticked);
        EXPECT_EQ(told.join(" | ").toStdString(), (now + (ticked ? ": checked" : ": not checked")).toStdString());
    }
    root->addSongsSheet()->reject();
}

// Bigger, Smaller and a preset leave the focus on the copy: each is heard
// there, once the new copy is in, as the copy's new description, its pages
// and size, and only then (not with the last copy's pages as it is made).
TEST_F(KeyboardWalkTest, ATextSizeChangeIsHeardOnTheCopyWithItsPagesAndSize)
{
    launch();
    app->model().open(file("Letter.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return app->model().preview() && !app->model().rendering(); }));
    auto* preview = app->window().documentView()->largePrintPane()->preview();
    preview->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(HangGuard::waitFor([&] { return preview->hasFocus(); }));
    const struct {
        const char* what;
        QKeyCombination keys;
        QString size;
    } cases[] = {{"Bigger", Qt::CTRL | Qt::Key_Equal, "20 pt"},
                 {"Smaller", Qt::CTRL | Qt::Key_Minus, "18 pt"},
                 {"a preset", Qt::CTRL | Qt::Key_2, "24 pt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AccessibleEvents heard;
        QTest::keyClick(QApplication::focusWidget(), c.keys.key(), c.keys.keyboardModifiers());
        ASSERT_TRUE(HangGuard::waitFor([&] { return !app->model().makingCopy() && !app->model().rendering(); }));
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), preview);
        const int pages = app->model().result()->pageCount;
        QStringList told;
        for (const auto& event : heard.events())
            if (event.type == QAccessible::DescriptionChanged && event.about == QAccessible::uniqueId(QAccessible::queryAccessibleInterface(preview)))
                told << event.text;
        ASSERT_EQ(told.size(), 1) << told.join(" | ").toStdString();
        EXPECT_TRUE(told.front().startsWith(QString::number(pages) + (pages == 1 ? " page · " : " pages · ") + c.size))
            << told.front().toStdString();
    }
}

// A screen reader reads the panes as documents: each page view offers the
// text of the page in view, the copy's as laid out, a PDF original's as its
// reader reads it (in the file's workers); a text original offers its text.
TEST_F(KeyboardWalkTest, BothPanesOfferTheTextOfThePageInView)
{
    engine->setPdf(longLetterPdf(3)); // the copy: "Page 1" to "Page 3"
    launch();
    const std::string original = PlainPdf::oneLinePages(2, [](int p) { return "Minutes page " + std::to_string(p + 1); });
    app->model().open(file("Minutes.pdf", original));
    ASSERT_TRUE(HangGuard::waitFor([&] {
        return app->model().preview() && !app->model().rendering() && app->model().originalPDF();
    }, 20000));
    DocumentView* document = app->window().documentView();
    const auto textOf = [](QWidget* pane) {
        QAccessibleInterface* reads = QAccessible::queryAccessibleInterface(pane);
        EXPECT_TRUE(reads && reads->textInterface()) << describe(pane);
        QAccessibleTextInterface* text = reads ? reads->textInterface() : nullptr;
        return text ? text->text(0, text->characterCount()).trimmed() : QString();
    };
    const struct {
        const char* what;
        PdfView::PdfPagesView* view;
        QString first, second;
    } panes[] = {{"the copy", document->largePrintPane()->preview(), "Page 1", "Page 2"},
                 {"a PDF original", document->originalPane()->pdfView(), "Minutes page 1", "Minutes page 2"}};
    for (const auto& pane : panes) {
        SCOPED_TRACE(pane.what);
        ASSERT_TRUE(pane.view->isVisible());
        EXPECT_EQ(QAccessible::queryAccessibleInterface(pane.view)->role(), QAccessible::Document);
        EXPECT_EQ(nameOf(pane.view).isEmpty(), false);
        // An original's page is read in a worker: it comes a moment later.
        EXPECT_TRUE(HangGuard::waitFor([&] { return textOf(pane.view) == pane.first; }, 10000)) << textOf(pane.view).toStdString();
        QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(pane.view)->textInterface();
        EXPECT_EQ(text->text(0, -1), text->text(0, text->characterCount())) << "to the end";
        EXPECT_EQ(text->text(0, 4), pane.first.left(4));
        pane.view->goToPage(1);
        EXPECT_TRUE(HangGuard::waitFor([&] { return textOf(pane.view) == pane.second; }, 10000)) << textOf(pane.view).toStdString();
        // A page left out shows no text, and so reads none.
        const std::set<int> leftOut = pane.view->leftOutPages();
        pane.view->setLeftOutPages({1});
        EXPECT_EQ(textOf(pane.view), "");
        pane.view->setLeftOutPages(leftOut);
    }
    // A new copy (Bigger) reads as itself, on the page the reader was on.
    const std::string bigger = PlainPdf::oneLinePages(3, [](int p) { return "Bigger page " + std::to_string(p + 1); });
    engine->setPdf({bigger.begin(), bigger.end()});
    app->model().biggerText();
    ASSERT_TRUE(HangGuard::waitFor([&] { return !app->model().makingCopy() && !app->model().rendering(); }));
    EXPECT_EQ(textOf(panes[0].view), "Bigger page 2");

    app->model().open(file("Letter.txt", "Dear friends,\nthe picnic is on Sunday.\n"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return app->model().originalText() && !app->model().originalPDF(); }, 20000));
    QWidget* shown = document->originalPane()->shown();
    ASSERT_EQ(shown, static_cast<QWidget*>(document->originalPane()->textPane()));
    EXPECT_TRUE(HangGuard::waitFor([&] { return textOf(shown).contains("the picnic is on Sunday."); }))
        << textOf(shown).toStdString();
}

// A screen reader hears nothing of a hidden object, and of a view switched
// in or out only the view, not each control in it as it shows or hides.
TEST_F(KeyboardWalkTest, HiddenObjectsAreNotHeardAndASwitchIsHeardThroughItsView)
{
    launch();
    auto* hidden = new QLabel(app->window().centralWidget());
    hidden->hide();
    const auto key = [](Qt::Key key) {
        return [=] { QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier); };
    };
    const struct {
        const char* what;
        std::function<void()> act;
        std::size_t most; // events told at most
    } cases[] = {
        {"a hidden label's text", [&] { hidden->setText("Now and then"); }, 0},
        {"a hidden label's name", [&] { hidden->setAccessibleName("Now"); }, 0},
        {"a hidden label's description", [&] { hidden->setAccessibleDescription("Then"); }, 0},
        {"Alt+2", key(Qt::Key_2), 30},
        {"Alt+1", key(Qt::Key_1), 30},
        {"a document opened", [&] { app->model().open(file("Letter.txt")); }, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AccessibleEvents heard;
        c.act();
        ASSERT_TRUE(HangGuard::waitFor([&] { return !app->model().makingCopy(); }));
        QTest::qWait(50); // the focus settles
        QStringList unseen;
        for (const auto& event : heard.events())
            if (event.hidden && event.type != QAccessible::ObjectHide) unseen << event.text;
        EXPECT_EQ(unseen.join(" | ").toStdString(), "");
        EXPECT_LE(heard.events().size(), c.most);
    }
}

} // namespace
} // namespace FolmiraAppTest
