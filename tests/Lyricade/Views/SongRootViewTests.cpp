// The songbook root view: columns by selection, the inspector rule, window
// title, toolbar, the error alert, the delete confirmation and the sheets;
// and the pane the main window hosts.

#include "DetailFixtures.h"

#include "Lyricade/SongController.h"
#include "Lyricade/Views/AddSongsSheet.h"
#include "Lyricade/Views/BookEntryRow.h"
#include "Lyricade/Views/BookView.h"
#include "Lyricade/Views/ColumnFit.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/InspectorView.h"
#include "Lyricade/Views/LicensingSheet.h"
#include "Lyricade/Views/PreviewArea.h"
#include "Lyricade/Views/SidebarList.h"
#include "Lyricade/Views/SidebarView.h"
#include "Lyricade/Views/SongEditorView.h"
#include "Lyricade/Views/SongListRows.h"
#include "Lyricade/Views/SongListView.h"
#include "Lyricade/Views/SongRootView.h"
#include "Lyricade/Views/SongbookPane.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>

#include <tuple>

namespace LyricadeTest {
namespace {

class SongRootTest : public DetailViewTest {
protected:
    SongRootView& root()
    {
        if (!root_) {
            root_ = std::make_unique<SongRootView>(*model, defaults());
            root_->resize(1360, 860);
            root_->show();
        }
        return *root_;
    }
    void TearDown() override
    {
        root_.reset();
        DetailViewTest::TearDown();
    }
    QPushButton* button(QMessageBox* box, const QString& text)
    {
        for (auto* b : box->buttons())
            if (b->text().remove('&') == text) return static_cast<QPushButton*>(b);
        return nullptr;
    }
    std::unique_ptr<SongRootView> root_;
};

TEST_F(SongRootTest, TheLibraryWithoutASongShowsTheListAndNoSongSelected)
{
    make(false, bookLibrary(2));
    model->setSelectedSongID(std::nullopt);
    model->setShowInspector(true);
    auto& r = root();
    EXPECT_TRUE(qobject_cast<SongListView*>(r.content()));
    EXPECT_EQ(r.detailKind(), SongRootView::Detail::none);
    auto* empty = qobject_cast<NoContentView*>(r.detail());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->title(), "No song selected");
    EXPECT_EQ(empty->description(), "Choose a song, or import song files with File › Import Songs (Ctrl+O).");
    EXPECT_FALSE(r.printSettingsAction()->isVisible());
    EXPECT_FALSE(r.inspector()->isVisible()) << "wanted, but there is no book";
    EXPECT_EQ(r.windowTitle(), brandName());

    model->setSelectedSongID(model->library().songs.front().id);
    EXPECT_TRUE(qobject_cast<SongEditorView*>(r.detail()));
}

TEST_F(SongRootTest, TheFocusGoesToWhatWasJustMade)
{
    make(false, bookLibrary(2));
    auto& r = root();
    r.activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(&r));
    r.sidebar()->setFocus(); // where the Add menu is

    model->newBook(BookKind::setList);
    ASSERT_TRUE(HangGuard::waitFor([&] { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }));
    auto* name = static_cast<QLineEdit*>(QApplication::focusWidget());
    EXPECT_EQ(name->text(), "New Set List");
    EXPECT_EQ(name->selectedText(), "New Set List") << "typing renames it";

    model->newSong();
    ASSERT_TRUE(HangGuard::waitFor([&] { return qobject_cast<QListWidget*>(QApplication::focusWidget()); }));
    auto* list = static_cast<QListWidget*>(QApplication::focusWidget());
    EXPECT_EQ(static_cast<QListWidget*>(qobject_cast<SongListView*>(r.content())->list()), list)
        << "the song list, not the text of the song";
    EXPECT_EQ(list->currentItem()->text(), list->selectedItems().value(0)->text()) << "at the new song's row";

    // Typing in a song changes the library but makes nothing: the focus stays.
    auto* editor = r.detail()->findChild<QPlainTextEdit*>();
    ASSERT_NE(editor, nullptr);
    QCoreApplication::processEvents();
    editor->setFocus();
    QTest::keyClicks(editor, "la");
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), editor);
}

TEST_F(SongRootTest, TabbingIntoTheSongListOrTheSidebarWithNothingSelectedSelectsTheFocusedRow)
{
    make(false, bookLibrary(3));
    model->setSelection(SidebarItem::allSongs());
    model->setSelectedSongID(std::nullopt);
    auto& r = root();
    r.activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(&r));
    auto* songs = qobject_cast<SongListView*>(r.content());
    ASSERT_TRUE(songs);

    // Put there by the application, the focus selects nothing.
    songs->list()->setFocus(Qt::OtherFocusReason);
    EXPECT_TRUE(songs->list()->selectedItems().isEmpty());
    EXPECT_EQ(model->selectedSongID(), std::nullopt);

    songs->searchField()->setFocus();
    QTest::keyClick(songs->searchField(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), songs->list());
    const QString first = songs->list()->item(0)->data(SongListWidget::idRole).toString();
    EXPECT_EQ(songs->list()->selectedItems().value(0), songs->list()->currentItem());
    ASSERT_TRUE(model->selectedSongID());
    EXPECT_EQ(QString::fromStdString(model->selectedSongID()->toString()), first);
    EXPECT_TRUE(qobject_cast<SongEditorView*>(r.detail())) << "the row's song opens";

    // Shift+Tab back into the sidebar, where no row is selected: the first
    // row under the headers is.
    model->setSelection(std::nullopt);
    SidebarList* sidebar = r.sidebar()->list();
    ASSERT_TRUE(sidebar->selectedItems().isEmpty());
    sidebar->setCurrentItem(nullptr);
    sidebar->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(sidebar, Qt::Key_Tab);
    QWidget* after = QApplication::focusWidget();
    ASSERT_NE(after, sidebar);
    ASSERT_TRUE(sidebar->selectedItems().isEmpty());
    QTest::keyClick(after, Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), sidebar);
    EXPECT_EQ(sidebar->selectedItems().value(0), sidebar->currentItem());
    EXPECT_EQ(model->selection(), SidebarItem::allSongs());
}

TEST_F(SongRootTest, ABookShowsItsViewPreviewTitleAndInspectorWhenWanted)
{
    bookModel(bookLibrary(2));
    model->setShowInspector(false);
    auto& r = root();
    EXPECT_TRUE(qobject_cast<BookView*>(r.content()));
    EXPECT_TRUE(qobject_cast<PreviewArea*>(r.detail()));
    EXPECT_EQ(r.windowTitle(), "Camp");
    EXPECT_TRUE(r.printSettingsAction()->isVisible());
    EXPECT_FALSE(r.inspector()->isVisible());
    r.printSettingsAction()->trigger();
    EXPECT_TRUE(model->showInspector());
    EXPECT_TRUE(r.inspector()->isVisible());

    // Kept while the library is selected, and back with the next book.
    model->setSelection(SidebarItem::allSongs());
    EXPECT_FALSE(r.inspector()->isVisible());
    EXPECT_TRUE(model->showInspector());
    model->setSelection(SidebarItem::book(book().id));
    EXPECT_TRUE(r.inspector()->isVisible());

    model->changeLibrary([](Library& l) { l.books.front().name = ""; });
    EXPECT_EQ(r.windowTitle(), "") << "the name as it stands, even empty";
    model->changeLibrary([](Library& l) { l.books.clear(); });
    EXPECT_EQ(r.windowTitle(), brandName()) << "a selection naming no book counts as none";
    EXPECT_TRUE(qobject_cast<SongListView*>(r.content()));
}

TEST_F(SongRootTest, ThePrintSettingsKeepTheirWidthWhileTheOtherColumnsCanGiveWay)
{
    bookModel(bookLibrary(2));
    model->setShowInspector(true);
    // A window with room for the settings beside three quarters of the other
    // columns (150 % fonts on a 1366-pixel screen, and wider): the settings
    // whole. Narrower (200 % on 1366- and 1280-pixel screens: windows of 683
    // and 640 pixels at the desktop's font) they wrap and stack their rows
    // while the other columns keep half of theirs, the book's own pop-ups
    // unsqueezed; where the preview would leave the book less than its rows'
    // least width (150 % in a 720-pixel window, 200 % on a 1024-pixel
    // screen) the settings take the preview's place, wrapped, rather than
    // all giving way alike. (At 500 pixels and 150 % the book's menus are
    // still squeezed: this bare view's sidebar keeps its 200 pixels.)
    enum class Settings { whole, wrapped, insteadOfPreview };
    const struct {
        double fonts;
        int width;
        Settings settings;
    } cases[] = {{1.5, 1360, Settings::whole},  {1.5, 1100, Settings::whole},   {1, 683, Settings::wrapped},
                 {1, 640, Settings::wrapped},   {1.5, 720, Settings::insteadOfPreview},  {1.5, 640, Settings::insteadOfPreview},
                 {1.5, 500, Settings::insteadOfPreview}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " at fonts ×" << c.fonts);
        const LargeFonts fonts(c.fonts);
        root_.reset(); // made at these fonts, as the window is
        auto& r = root();
        auto* inspector = static_cast<InspectorView*>(r.inspector());
        r.setMinimumSize(1, 1); // as in the main window, which the screen bounds
        r.resize(c.width, 700);
        ASSERT_TRUE(HangGuard::settled(&r));
        const int width = inspector->width();
        EXPECT_FALSE(inspector->horizontalScrollBar()->isVisible());
        EXPECT_EQ(r.previewGivesWay(), c.settings == Settings::insteadOfPreview);
        EXPECT_EQ(r.detail()->isVisible(), c.settings != Settings::insteadOfPreview);
        switch (c.settings) {
        case Settings::whole: EXPECT_GE(width, inspector->neededWidth()); break;
        case Settings::wrapped:
        case Settings::insteadOfPreview:
            EXPECT_LT(width, inspector->neededWidth());
            EXPECT_GE(width, inspector->leastWidth());
            EXPECT_LE(inspector->form()->width(), inspector->viewport()->width());
            break;
        }
        if (c.width == 500) continue;
        int menus = 0;
        for (auto* row : r.content()->findChildren<EntryRow*>())
            for (QWidget* menu : {static_cast<QWidget*>(row->keyButton()), static_cast<QWidget*>(row->capoButton())})
                if (menu && menu->isVisibleTo(&r)) {
                    ++menus;
                    EXPECT_GE(menu->width(), menu->minimumSizeHint().width()) << menu->accessibleName().toStdString();
                }
        EXPECT_GT(menus, 0);
    }
}

TEST_F(SongRootTest, ToolbarTextsTipsAndOutput)
{
    bookModel(bookLibrary(0));
    auto& r = root();
    const struct {
        QAction* action;
        const char* text;
        const char* tip;
    } items[] = {{r.importAction(), "Import Songs", "Import song files or a folder (Ctrl+O)"},
                 {r.printAction(), "Print", "Print (Ctrl+P)"},
                 {r.exportAction(), "Export PDF", "Export a PDF (Ctrl+E)"},
                 {r.printSettingsAction(), "Print Settings", "Show or hide the print settings (Ctrl+Alt+I)"}};
    for (const auto& item : items) {
        EXPECT_EQ(item.action->text(), item.text);
        EXPECT_EQ(item.action->toolTip(), item.tip);
        EXPECT_TRUE(item.action->shortcut().isEmpty()) << "the menus own the keys";
    }
    EXPECT_FALSE(r.printAction()->isEnabled()) << "an empty book has no preview";
    EXPECT_FALSE(r.exportAction()->isEnabled());
    EXPECT_TRUE(r.importAction()->isEnabled());

    // Export from the booklet preview still exports pages.
    model->changeLibrary([](Library& l) {
        l.songs.push_back(storedSong("One"));
        l.books.front().entries = {entryFor(l.songs.back())};
    });
    model->setPreviewMode(PreviewMode::booklet);
    settle();
    ASSERT_TRUE(r.exportAction()->isEnabled());
    r.exportAction()->trigger();
    ASSERT_EQ(recorder.saved.size(), 1u);
    EXPECT_EQ(recorder.saved[0].name, "Camp");
    EXPECT_EQ(recorder.saved[0].message, "A PDF of the whole book, ready to print or share.");
    r.printAction()->trigger();
    ASSERT_EQ(recorder.printed.size(), 1u);
    EXPECT_TRUE(recorder.printed[0].booklet) << "print follows the preview";
}

TEST_F(SongRootTest, TheErrorAlertShowsTheModelsTextAndOkClearsIt)
{
    make(false, bookLibrary(1));
    auto& r = root();
    EXPECT_FALSE(r.errorAlert());
    model->setError(QStringLiteral("Couldn’t save your song library: disk full"));
    ASSERT_TRUE(r.errorAlert());
    EXPECT_EQ(r.errorAlert()->windowTitle(), "Something went wrong");
    EXPECT_EQ(r.errorAlert()->informativeText(), "Couldn’t save your song library: disk full");
    model->setError(QStringLiteral("Another"));
    EXPECT_EQ(r.errorAlert()->informativeText(), "Another") << "always the current error";
    button(r.errorAlert(), "OK")->click();
    EXPECT_FALSE(model->error());
    EXPECT_FALSE(r.errorAlert());
    model->setError(QStringLiteral("Again"));
    EXPECT_TRUE(r.errorAlert());
}

TEST_F(SongRootTest, TheDeleteDialogNamesTheSongAndItsBooks)
{
    Library library;
    for (const char* title : {"Alone", "Once", "Thrice", ""}) library.songs.push_back(storedSong(title));
    auto bookWith = [&](const char* name, std::vector<int> songs) {
        Songbook book(Uuid::random(), name, BookKind::book);
        for (int s : songs) book.entries.push_back(entryFor(library.songs[std::size_t(s)]));
        library.books.push_back(book);
    };
    bookWith("A", {1, 2, 2});
    bookWith("B", {2});
    bookWith("C", {2});
    make(false, library);
    auto& r = root();
    const struct {
        int song;
        const char* title;
        const char* message;
    } cases[] = {
        {0, "Delete “Alone”?", "It’s removed from your library. The file you imported it from isn’t touched."},
        {1, "Delete “Once”?", "It’s also taken out of A. The file you imported it from isn’t touched."},
        {2, "Delete “Thrice”?", "It’s also taken out of A, B, C. The file you imported it from isn’t touched."},
        {3, "Delete “Untitled song”?",
         "It’s removed from your library. The file you imported it from isn’t touched."},
    };
    for (const auto& c : cases) {
        model->setPendingDelete(model->library().songs[std::size_t(c.song)]);
        ASSERT_TRUE(r.deleteDialog());
        EXPECT_EQ(r.deleteDialog()->text(), c.title);
        EXPECT_EQ(r.deleteDialog()->informativeText(), c.message);
        button(r.deleteDialog(), "Cancel")->click();
        EXPECT_FALSE(model->pendingDelete());
        EXPECT_EQ(model->library().songs.size(), 4u) << "Cancel deletes nothing";
    }

    const StoredSong gone = model->library().songs[2];
    model->changeLibrary([&](Library& l) { l.songs.erase(l.songs.begin() + 2); });
    model->setPendingDelete(gone);
    EXPECT_EQ(r.deleteDialog()->text(), "Delete “this song”?");
    button(r.deleteDialog(), "Delete Song")->click();
    EXPECT_EQ(model->library().songs.size(), 3u);
    EXPECT_FALSE(model->pendingDelete());

    model->setPendingDelete(model->library().songs[1]);
    button(r.deleteDialog(), "Delete Song")->click();
    EXPECT_EQ(model->library().songs.size(), 2u);
    EXPECT_TRUE(model->library().books[0].entries.empty()) << "its entries leave every book";
}

// What a box's labels show, as a screen reader reads them: text taken for
// markup loses its tags there as on the screen.
QString shownTexts(QWidget* box)
{
    QStringList texts;
    for (auto* label : box->findChildren<QLabel*>())
        if (auto* read = QAccessible::queryAccessibleInterface(label)) texts << read->text(QAccessible::Name);
    return texts.join('\n').remove(QChar(0x200B));
}

TEST_F(SongRootTest, NamesInTheAlertAndTheDeleteDialogAreShownAsWritten)
{
    Library library;
    library.songs.push_back(storedSong("<b>x</b>"));
    Songbook book(Uuid::random(), "<i>Tour</i> & more", BookKind::book);
    book.entries.push_back(entryFor(library.songs[0]));
    library.books.push_back(book);
    make(false, library);
    auto& r = root();

    model->setPendingDelete(model->library().songs[0]);
    ASSERT_TRUE(r.deleteDialog());
    const QString dialog = shownTexts(r.deleteDialog());
    EXPECT_TRUE(dialog.contains("Delete “<b>x</b>”?")) << dialog.toStdString();
    EXPECT_TRUE(dialog.contains("taken out of <i>Tour</i> & more.")) << dialog.toStdString();
    button(r.deleteDialog(), "Cancel")->click();

    // A file the import can't read is named in the alert as it is named on disk.
    const auto file = std::filesystem::path(folder.path().toStdString()) / "<b>a<i>.cho";
    writeFile(file, "\x81\x81");
    model->importFiles({file});
    ASSERT_TRUE(r.errorAlert());
    const QString alert = shownTexts(r.errorAlert());
    EXPECT_TRUE(alert.contains("Couldn’t read <b>a<i>.cho.")) << alert.toStdString();
}

TEST_F(SongRootTest, SheetsComeAndGoWithTheirFlags)
{
    bookModel(bookLibrary(2));
    auto& r = root();
    model->setAddSongsShown(true);
    ASSERT_TRUE(r.addSongsSheet());
    EXPECT_TRUE(r.addSongsSheet()->isVisible());
    r.addSongsSheet()->reject();
    EXPECT_FALSE(model->addSongsShown());
    EXPECT_FALSE(r.addSongsSheet());

    model->setLicensingShown(true);
    ASSERT_TRUE(r.licensingSheet());
    r.licensingSheet()->okButton()->click();
    EXPECT_FALSE(model->licensingShown());
    EXPECT_FALSE(r.licensingSheet());
    model->setLicensingShown(true);
    EXPECT_TRUE(r.licensingSheet()) << "the next command opens it again";
    model->setLicensingShown(false);
    EXPECT_FALSE(r.licensingSheet());
}

TEST(SongbookPaneHost, ShowsTheControllersModelAndItsTitle)
{
    QTemporaryDir folder;
    ModelServices services;
    services.scheduler = std::make_shared<ManualScheduler>();
    services.dataFolder = std::filesystem::path(folder.path().toStdString());
    SongController controller(SongHost::silent(), false, bookLibrary(1), services);
    SongbookPane pane(controller, std::make_shared<QSettings>(folder.filePath("d.ini"), QSettings::IniFormat));
    EXPECT_EQ(&pane.controller(), &controller);
    EXPECT_EQ(pane.windowTitle(), brandName());
    controller.model().setSelection(SidebarItem::book(controller.model().library().books.front().id));
    EXPECT_EQ(pane.windowTitle(), "Camp");
    EXPECT_TRUE(qobject_cast<PreviewArea*>(pane.root()->detail()));
}

// Three columns as the songbook screen states them: a list (200), a book
// (300) whose rows need 180 (its floor), and settings that want 260, need 240
// side by side (firm) and do with 160 wrapped (least).
TEST(ColumnFitTest, TheSettingsWrapWhereTheOthersCanGiveWayAndNeverBelowAFloor)
{
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(0, 0, 0, 0);
    auto* split = new QSplitter(Qt::Horizontal, &window);
    column->addWidget(split);
    split->setChildrenCollapsible(false);
    split->setHandleWidth(0);
    auto* list = new QWidget(split);
    auto* book = new QWidget(split);
    auto* settings = new QWidget(split);
    auto* fit = new ColumnFit(split);
    fit->setMinimum(list, 200);
    fit->setMinimum(book, 300);
    fit->setFloor(book, 180);
    fit->setMinimum(settings, 260, 240, 160);
    window.setMinimumSize(1, 1); // bounded by the screen, not by its columns
    window.show();
    enum class Way { stated, firm, least, alike };
    const struct {
        int room;
        Way way;
    } cases[] = {{800, Way::stated}, {640, Way::firm}, {560, Way::least}, {460, Way::least},
                 {440, Way::alike},  {300, Way::alike}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.room);
        window.resize(c.room, 100);
        QApplication::processEvents();
        const int l = list->minimumWidth(), b = book->minimumWidth(), s = settings->minimumWidth();
        EXPECT_LE(l + b + s, c.room);
        switch (c.way) {
        case Way::stated: EXPECT_EQ(std::tuple(l, b, s), std::tuple(200, 300, 260)); break;
        case Way::firm:
            EXPECT_GE(s, 240);
            EXPECT_GE(l, 150) << "three quarters";
            EXPECT_GE(b, 225);
            break;
        case Way::least:
            EXPECT_EQ(s, 160);
            EXPECT_GE(l, 100) << "half";
            EXPECT_GE(b, 180);
            break;
        case Way::alike:
            // Keeping the wrapped settings would leave the book less than its floor.
            EXPECT_NEAR(l / 200.0, s / 260.0, 0.01);
            EXPECT_NEAR(b / 300.0, s / 260.0, 0.01);
            EXPECT_LT(s, 160);
            break;
        }
    }
    // A hidden column takes no room: the others keep what they state.
    settings->hide();
    window.resize(500, 100);
    QApplication::processEvents();
    EXPECT_EQ(std::tuple(list->minimumWidth(), book->minimumWidth()), std::tuple(200, 300));
}

} // namespace
} // namespace LyricadeTest
