// The main window's menu bar in both modes: every menu's items, separators
// and shortcuts, the enabling rules, check marks and labels that follow the
// model, and the commands reached by their keys with the focus in a pane.

#include "../Fakes.h"

#include "FolmiraApp/Views/DocumentView.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/MenuBar.h"
#include "Lyricade/Views/BookView.h"
#include "Lyricade/Views/LicensingSheet.h"
#include "Lyricade/Views/SongListView.h"
#include "Lyricade/Views/SongRootView.h"
#include "Lyricade/Views/SongbookPane.h"
#include "tests/HangGuardQt.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QToolBar>
#include <QAccessible>

#include <set>

namespace FolmiraAppTest {
namespace {

struct Item {
    QString text; // "-" for a separator
    QKeySequence shortcut;
    bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Item& item)
{
    return out << item.text.toStdString() << " [" << item.shortcut.toString().toStdString() << "]";
}

QKeySequence keys(QKeyCombination combination) { return QKeySequence(combination); }

std::vector<Item> itemsOf(const QMenu& menu)
{
    std::vector<Item> items;
    for (const QAction* action : menu.actions())
        items.push_back(action->isSeparator() ? Item{"-", {}} : Item{action->text(), action->shortcut()});
    return items;
}

const Item separatorItem{"-", {}};

// A text field that claims every key for itself, as X11's line edits claim
// Ctrl+E, Ctrl+A and their kin for Emacs-style editing.
class ClaimingField : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    QList<int> claimed;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride) return QLineEdit::event(event);
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key >= Qt::Key_A && key <= Qt::Key_Z) claimed << key; // not the modifier presses
        event->accept();
        return true;
    }
};

class MenuBarTest : public ModelTest {
protected:
    void TearDown() override
    {
        window.reset();
        ModelTest::TearDown();
    }

    MenuBar& build(bool persist = false, MainWindow::SongbookFactory songbook = {})
    {
        make(persist);
        window = std::make_unique<MainWindow>(*model, std::move(songbook));
        WindowCommands commands;
        commands.about = [this] { ++calls["about"]; };
        commands.checkForUpdates = [this] { ++calls["updates"]; };
        commands.settings = [this] { ++calls["settings"]; };
        commands.quit = [this] { ++calls["quit"]; };
        bar = new MenuBar(*model, commands, window.get());
        window->setMenuBar(bar);
        return *bar;
    }

    QMenu& menu(const QString& title)
    {
        QMenu* found = bar->menuTitled(title);
        EXPECT_NE(found, nullptr) << title.toStdString();
        return *found;
    }

    QAction* item(const QString& menuTitle, const QString& text)
    {
        for (QAction* action : menu(menuTitle).actions())
            if (action->text() == text) return action;
        ADD_FAILURE() << "no item " << text.toStdString() << " in " << menuTitle.toStdString();
        static QAction none;
        return &none;
    }

    // The window shown and active, the focus in one of the settings panel's controls.
    QWidget* focusInAPane()
    {
        window->show();
        window->activateWindow();
        EXPECT_TRUE(HangGuard::windowActive(window.get()));
        auto* pane = window->findChild<QComboBox*>();
        EXPECT_NE(pane, nullptr);
        pane->setFocus();
        return pane;
    }

    // The songbook side in Songbook mode with its songbook selected and previewed.
    Lyricade::SongController& songbookWithBook()
    {
        model->setKind(DocKind::songbook);
        auto& songs = model->songs();
        songs.selectBookKind(false);
        EXPECT_TRUE(HangGuard::waitFor([&] { return songs.hasOutput(); }, 10000));
        return songs;
    }

    std::unique_ptr<MainWindow> window;
    MenuBar* bar = nullptr;
    std::map<std::string, int> calls;
};

TEST_F(MenuBarTest, EveryMenuHasItsItemsSeparatorsAndShortcutsInBothModes)
{
    build();
    std::vector<QString> titles;
    for (QAction* action : bar->actions()) titles.push_back(action->text().remove(u'&'));
    EXPECT_EQ(titles, (std::vector<QString>{"Folmira", "File", "View", "Format", "Song", "Book", "Help"}));

    const std::map<QString, std::vector<Item>> shared{
        {"Folmira",
         {{"About Folmira", {}},
          {"Check for Updates…", {}},
          separatorItem,
          {"Settings…", keys(Qt::CTRL | Qt::Key_Comma)},
          separatorItem,
          {"Quit Folmira", keys(Qt::CTRL | Qt::Key_Q)}}},
        {"View",
         {{"Document", keys(Qt::ALT | Qt::Key_1)},
          {"Songbook", keys(Qt::ALT | Qt::Key_2)},
          separatorItem,
          {"Hide Settings", keys(Qt::CTRL | Qt::ALT | Qt::Key_I)}}},
        {"Format",
         {{"Bigger Text", keys(Qt::CTRL | Qt::Key_Equal)},
          {"Smaller Text", keys(Qt::CTRL | Qt::Key_Minus)},
          separatorItem,
          {"Large print 18 pt", keys(Qt::CTRL | Qt::Key_1)},
          {"Extra large 24 pt", keys(Qt::CTRL | Qt::Key_2)},
          {"Recipe card", keys(Qt::CTRL | Qt::Key_3)},
          {"Hymn sheet / lyrics", keys(Qt::CTRL | Qt::Key_4)},
          separatorItem,
          {"High Contrast", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_H)},
          {"Page Numbers", {}},
          {"Pictures", {}}}},
        {"Song",
         {{"Transpose Up a Half Step", keys(Qt::ALT | Qt::Key_Up)},
          {"Transpose Down a Half Step", keys(Qt::ALT | Qt::Key_Down)},
          separatorItem,
          {"Move Up in Book", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Up)},
          {"Move Down in Book", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Down)},
          {"Add Songs to Book…", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
          separatorItem,
          {"About Song Licensing…", {}}}},
        {"Book",
         {{"Two Columns", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_2)},
          {"One Song per Page", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_1)},
          {"Nashville Numbers", keys(Qt::CTRL | Qt::ALT | Qt::Key_N)},
          separatorItem,
          {"Show Booklet", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_B)}}},
        {"Help",
         {{"Folmira Help", keys(Qt::CTRL | Qt::Key_Question)},
          {"Songbooks and Set Lists", {}},
          {"Keyboard Shortcuts", {}},
          separatorItem,
          {"Try a Sample", {}},
          {"About Song Licensing…", {}},
          {"Show the Welcome Screen", {}}}},
    };
    const auto file = [](const QString& open, const QString& exportPdf, const QString& print) {
        return std::vector<Item>{{open, keys(Qt::CTRL | Qt::Key_O)},
                                 {"Close Document", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_W)},
                                 separatorItem,
                                 {"New Song", keys(Qt::CTRL | Qt::Key_N)},
                                 {"New Songbook", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_N)},
                                 {"New Set List", keys(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_N)},
                                 separatorItem,
                                 {"Import Tunequill Library…", {}},
                                 {"Close Window", keys(Qt::CTRL | Qt::Key_W)},
                                 separatorItem,
                                 {exportPdf, keys(Qt::CTRL | Qt::Key_E)},
                                 {"Export Booklet…", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_E)},
                                 {print, keys(Qt::CTRL | Qt::Key_P)}};
    };
    for (DocKind kind : allDocKinds) {
        model->setKind(kind);
        SCOPED_TRACE(toString(kind));
        for (const auto& [title, items] : shared) EXPECT_EQ(itemsOf(menu(title)), items) << title.toStdString();
        EXPECT_EQ(itemsOf(menu("File")), kind == DocKind::document
                                             ? file("Open…", "Export Large-Print PDF…", "Print Large-Print Copy…")
                                             : file("Import Songs…", "Export PDF…", "Print…"));
    }
}

TEST_F(MenuBarTest, NoTwoItemsShareAShortcut)
{
    // Qt fires neither of two actions that answer to the same keys.
    build();
    QSet<QKeySequence> seen;
    for (QAction* top : bar->actions())
        for (QAction* action : top->menu()->actions()) {
            if (action->shortcut().isEmpty()) continue;
            EXPECT_FALSE(seen.contains(action->shortcut())) << action->shortcut().toString().toStdString();
            seen.insert(action->shortcut());
        }
    EXPECT_GE(seen.size(), 30);
}

// Keys the common window managers keep for themselves in their default
// setups never reach an application: no item answers to one of them.
TEST_F(MenuBarTest, NoItemAnswersToKeysTheWindowManagersKeep)
{
    build();
    const auto arrows = [](QKeyCombination mods) -> std::vector<QKeySequence> {
        return {mods.keyboardModifiers() | Qt::Key_Up, mods.keyboardModifiers() | Qt::Key_Down,
                mods.keyboardModifiers() | Qt::Key_Left, mods.keyboardModifiers() | Qt::Key_Right};
    };
    const std::pair<const char*, std::vector<QKeySequence>> kept[] = {
        {"openbox", arrows(Qt::CTRL | Qt::ALT | Qt::Key_unknown)},
        {"openbox", arrows(Qt::SHIFT | Qt::ALT | Qt::Key_unknown)},
        {"xfwm4", arrows(Qt::CTRL | Qt::SHIFT | Qt::ALT | Qt::Key_unknown)},
        {"xfwm4", {Qt::ALT | Qt::Key_Insert, Qt::ALT | Qt::Key_Delete, Qt::SHIFT | Qt::ALT | Qt::Key_PageUp}},
        {"mutter", {Qt::CTRL | Qt::SHIFT | Qt::ALT | Qt::Key_Up, Qt::ALT | Qt::Key_F5, Qt::ALT | Qt::Key_F7}},
        {"every one", {Qt::ALT | Qt::Key_Tab, Qt::ALT | Qt::Key_F4, Qt::ALT | Qt::Key_Space}},
    };
    for (QAction* top : bar->actions())
        for (QAction* action : top->menu()->actions())
            for (const auto& [manager, sequences] : kept)
                for (const QKeySequence& sequence : sequences)
                    EXPECT_NE(action->shortcut(), sequence) << action->text().toStdString() << " is " << manager << "'s";
}

TEST_F(MenuBarTest, ItemsAreEnabledByTheModeAndWhatThereIsToActOn)
{
    build();
    using Rule = std::map<QString, bool>;
    const auto expectEnabled = [&](const QString& menuTitle, const Rule& rule) {
        for (const auto& [text, enabled] : rule)
            EXPECT_EQ(item(menuTitle, text)->isEnabled(), enabled) << menuTitle.toStdString() << " › "
                                                                   << text.toStdString();
    };

    // Document mode with no file.
    expectEnabled("File", {{"Open…", true},
                           {"Close Document", false},
                           {"New Song", true},
                           {"Import Tunequill Library…", true},
                           {"Close Window", true},
                           {"Export Large-Print PDF…", false},
                           {"Export Booklet…", false},
                           {"Print Large-Print Copy…", false}});
    expectEnabled("Format", {{"Bigger Text", true},
                             {"Large print 18 pt", true},
                             {"Page Numbers", true},
                             {"Pictures", true},
                             {"High Contrast", true}});
    expectEnabled("Song", {{"Transpose Up a Half Step", false},
                           {"Transpose Down a Half Step", false},
                           {"Move Up in Book", false},
                           {"Add Songs to Book…", false},
                           {"About Song Licensing…", true}});
    expectEnabled("Book", {{"Two Columns", false}, {"Nashville Numbers", false}, {"Show Booklet", false}});

    // A file read and rendered: everything but the booklet.
    openAndSettle(file("Minutes.txt"));
    expectEnabled("File", {{"Close Document", true},
                           {"Export Large-Print PDF…", true},
                           {"Export Booklet…", false},
                           {"Print Large-Print Copy…", true}});

    // Songbook mode: the document's file and output do not count.
    model->setKind(DocKind::songbook);
    auto& songs = model->songs();
    songs.model().setSelection(std::nullopt);
    ASSERT_TRUE(HangGuard::waitFor([&] { return !songs.hasOutput(); }));
    expectEnabled("File", {{"Import Songs…", true},
                           {"Close Document", false},
                           {"Export PDF…", false},
                           {"Export Booklet…", false},
                           {"Print…", false}});
    // Nothing selected: the text sizes, the presets and transposing stay
    // offered (with no book or song they change nothing); what needs a book does not.
    Rule format{{"Bigger Text", true}, {"Smaller Text", true}, {"Page Numbers", false}, {"Pictures", false},
                {"High Contrast", true}};
    for (const auto& preset : FolmiraKit::LargePrintPreset::all()) format[QString::fromStdString(preset.name)] = true;
    expectEnabled("Format", format);
    expectEnabled("Song", {{"Transpose Up a Half Step", true},
                           {"Transpose Down a Half Step", true},
                           {"Move Up in Book", false},
                           {"Move Down in Book", false},
                           {"Add Songs to Book…", false}});
    expectEnabled("Book", {{"Two Columns", false}, {"Show Booklet", false}});

    auto& book = songbookWithBook();
    expectEnabled("File", {{"Export PDF…", true}, {"Export Booklet…", true}, {"Print…", true}});
    // In a book the moves are offered with no entry selected and at either end too.
    const auto entries = book.selectedBook()->entries;
    using TunequillKit::Uuid;
    for (const std::set<Uuid>& selected : {std::set<Uuid>{}, std::set<Uuid>{entries.front().id},
                                           std::set<Uuid>{entries.back().id}}) {
        book.model().setSelectedEntryIDs(selected);
        expectEnabled("Song", {{"Move Up in Book", true},
                               {"Move Down in Book", true},
                               {"Add Songs to Book…", true},
                               {"Transpose Up a Half Step", true}});
    }
    expectEnabled("Book", {{"Two Columns", true}, {"One Song per Page", true}, {"Show Booklet", true}});
    expectEnabled("Format", format);
}

TEST_F(MenuBarTest, EveryControlForTheCopyActsOnlyOnTheCopyOfTheFileNamed)
{
    build();
    // The menu's items, the toolbar's buttons and the settings panel's buttons.
    std::vector<QAction*> actions{item("File", "Export Large-Print PDF…"), item("File", "Print Large-Print Copy…")};
    std::vector<QPushButton*> buttons;
    for (QAction* action : window->findChildren<QAction*>())
        if (action->text() == "Export PDF" || action->text() == "Print") actions.push_back(action);
    for (QPushButton* button : window->findChildren<QPushButton*>())
        if (button->text() == "Export Large-Print PDF…" || button->text() == "Print…") buttons.push_back(button);
    ASSERT_EQ(actions.size(), 4u);
    ASSERT_EQ(buttons.size(), 2u);
    const auto expectEnabled = [&](bool enabled, const char* when) {
        for (QAction* action : actions) EXPECT_EQ(action->isEnabled(), enabled) << when << ": " << action->text().toStdString();
        for (QPushButton* button : buttons) EXPECT_EQ(button->isEnabled(), enabled) << when << ": " << button->text().toStdString();
    };

    openAndSettle(file("First.txt"));
    expectEnabled(true, "a copy made");
    auto read = engine->holdRead("Second.txt", false);
    model->open(file("Second.txt"));
    expectEnabled(false, "another file being read");
    auto render = engine->holdRenders();
    read->release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return !model->reading(); }));
    expectEnabled(false, "its copy being made");
    render->release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return !model->makingCopy(); }));
    expectEnabled(true, "its copy made");

    // New settings for the same file leave them on, without a flicker on each
    // change; an export asked for meanwhile waits for the bigger copy.
    const auto before = model->result();
    auto bigger = engine->holdRenders();
    item("Format", "Bigger Text")->trigger();
    expectEnabled(true, "right after Bigger");
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->rendering(); }));
    expectEnabled(true, "the bigger copy being made");
    std::shared_ptr<const FolmiraKit::RenderResult> offered;
    panels->whileSaving = [&] { offered = model->result(); };
    item("File", "Export Large-Print PDF…")->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(panels->saveNames.isEmpty()) << "no copy offered before the bigger one is made";
    bigger->release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return !panels->saveNames.isEmpty(); }));
    ASSERT_NE(offered, nullptr);
    EXPECT_NE(offered, before);
    EXPECT_EQ(offered->pageCount, static_cast<int>(model->settings().fontSize)) << "the bigger copy";
    expectEnabled(true, "the bigger copy made");

    // A failed read of another file drops what waited for its copy.
    panels->saveNames.clear();
    auto failing = engine->holdRead("Broken.doc", false);
    model->open(file("Broken.doc"));
    item("File", "Export Large-Print PDF…")->trigger();
    failing->release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return !model->reading(); }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(panels->saveNames.isEmpty());
    expectEnabled(false, "no copy of the file named");
}

TEST_F(MenuBarTest, NewSongFromDocumentModeSwitchesModeButOpenStaysTheDocumentPanel)
{
    build();
    QWidget* pane = focusInAPane();
    QTest::keyClick(pane, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(panels->openMessages.size(), 1) << "the document panel";
    EXPECT_TRUE(songPanels->asked.isEmpty());

    const int songsBefore = model->songs().songCount();
    QTest::keyClick(pane, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(model->kind(), DocKind::songbook);
    EXPECT_EQ(model->songs().songCount(), songsBefore + 1);

    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(songPanels->asked.size(), 1) << "now the song-file panel";
    EXPECT_EQ(panels->openMessages.size(), 1);
}

TEST_F(MenuBarTest, TheSecondPresetAndBiggerTextActOnTheModeShown)
{
    build();
    QWidget* pane = focusInAPane();
    QTest::keyClick(pane, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(model->settings(), FolmiraKit::LargePrintPreset::extraLarge().settings);
    for (int press = 0; press < 6; ++press) QTest::keyClick(pane, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(model->settings().fontSize, 32);

    auto& songs = songbookWithBook();
    songs.applyPresetSize(16);
    QTest::keyClick(window.get(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(songs.lyricSize(), 24);
    for (int press = 0; press < 4; ++press) QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(songs.lyricSize(), 28);
    QTest::keyClick(window.get(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(songs.lyricSize(), 26);
    EXPECT_EQ(model->settings().fontSize, 32) << "the document's size stays";
}

TEST_F(MenuBarTest, BiggerTextAnswersToEveryPlusAndShortcutsBeatATextFieldsOwnKeys)
{
    build();
    QWidget* pane = focusInAPane();
    model->setSettings(FolmiraKit::LargePrintPreset::all().front().settings); // 18 pt
    const double start = model->settings().fontSize;
    QTest::keyClick(pane, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyClick(pane, Qt::Key_Plus, Qt::ControlModifier); // X11's reading of Ctrl+Shift+=
    EXPECT_EQ(model->settings().fontSize, start + 4);

    songbookWithBook();
    auto* field = new ClaimingField(window.get());
    field->show();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(panels->saveNames.size(), 1) << "Export, not the field's end of line";
    EXPECT_TRUE(field->claimed.isEmpty());
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(field->claimed, QList<int>{Qt::Key_K}) << "a key no item answers to stays the field's";
}

TEST_F(MenuBarTest, ExportAnswersFromTheSongbooksOwnTextFields)
{
    build(false, [&](QWidget* parent, QToolBar*) { return new Lyricade::SongbookPane(model->songs(), defaults, parent); });
    focusInAPane();
    auto& songs = songbookWithBook();
    auto* book = window->findChild<Lyricade::BookView*>();
    ASSERT_NE(book, nullptr);
    // As after any use of Alt (the mode switch, Alt+2): QMenuBar's own Alt
    // handling ends by taking the bar off the application's event filters.
    qApp->removeEventFilter(bar);
    const auto exportFrom = [&](QLineEdit* field, const char* what) {
        ASSERT_NE(field, nullptr) << what;
        ASSERT_TRUE(HangGuard::waitFor([&] { return field->isVisible(); })) << what;
        field->setFocus();
        ASSERT_TRUE(HangGuard::waitFor([&] { return field->hasFocus(); })) << what;
        const auto before = panels->saveNames.size();
        QTest::keyClick(field, Qt::Key_E, Qt::ControlModifier);
        EXPECT_EQ(panels->saveNames.size(), before + 1) << what;
    };
    // A field that claims Ctrl+E for itself, as X11's line edits do.
    auto* claiming = new ClaimingField(book);
    claiming->show();
    exportFrom(claiming, "a field claiming the key");
    EXPECT_TRUE(claiming->claimed.isEmpty());
    exportFrom(book->nameField(), "the book's title");
    exportFrom(book->subtitleField(), "the book's subtitle");
    songs.model().setSelection(Lyricade::SidebarItem::allSongs());
    songs.model().setSelectedSongID(songs.model().library().songs.front().id);
    auto* list = window->findChild<Lyricade::SongListView*>();
    ASSERT_NE(list, nullptr);
    exportFrom(list->searchField(), "the search field");
}

TEST_F(MenuBarTest, HighContrastFlipsInBothModesAndTheCheckMarkFollows)
{
    build();
    QWidget* pane = focusInAPane();
    QAction* contrast = item("Format", "High Contrast");
    ASSERT_TRUE(contrast->isCheckable());
    EXPECT_FALSE(contrast->isChecked());
    QTest::keyClick(pane, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(model->settings().highContrast);
    EXPECT_TRUE(contrast->isChecked());

    model->setKind(DocKind::songbook);
    QTest::keyClick(window.get(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(model->settings().highContrast);
    EXPECT_FALSE(contrast->isChecked());
    EXPECT_FALSE(model->songs().style().highContrast);

    // A change from elsewhere moves the mark too, and so do the other toggles.
    auto settings = model->settings();
    settings.highContrast = true;
    settings.pageNumbers = false;
    model->setSettings(settings);
    EXPECT_TRUE(contrast->isChecked());
    EXPECT_FALSE(item("Format", "Page Numbers")->isChecked());
    model->setKind(DocKind::document);
    item("Format", "Pictures")->trigger();
    EXPECT_FALSE(model->settings().keepImages);
}

TEST_F(MenuBarTest, CloseWindowClosesTheWindowAndCloseDocumentOnlyTheDocument)
{
    build();
    openAndSettle(file("Minutes.txt"));
    QWidget* pane = focusInAPane();
    QTest::keyClick(pane, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(model->fileURL());
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(pane, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MenuBarTest, TheViewItemsSwitchModeAndToggleTheShownInspector)
{
    build();
    QWidget* pane = focusInAPane();
    QTest::keyClick(pane, Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(model->kind(), DocKind::songbook);
    QAction* settings = item("View", "Hide Settings");
    QTest::keyClick(window.get(), Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(model->songs().showInspector());
    EXPECT_TRUE(model->showInspector()) << "the document's inspector stays";
    EXPECT_EQ(settings->text(), "Show Settings");
    QTest::keyClick(window.get(), Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(model->kind(), DocKind::document);
    EXPECT_EQ(settings->text(), "Hide Settings");
    // The toolbar's Settings button is a toggle, read with its state.
    QAction* button = window->documentView()->settingsAction();
    EXPECT_TRUE(button->isChecked());
    QTest::keyClick(window.get(), Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(model->showInspector());
    EXPECT_EQ(settings->text(), "Show Settings");
    EXPECT_FALSE(button->isChecked());
    button->trigger();
    EXPECT_TRUE(model->showInspector());
    auto* reads = QAccessible::queryAccessibleInterface(window->findChild<QToolBar*>()->widgetForAction(button));
    ASSERT_NE(reads, nullptr);
    EXPECT_TRUE(reads->state().checkable);
    EXPECT_TRUE(reads->state().checked);
}

TEST_F(MenuBarTest, TheHelpMenuAsksForPagesTheWelcomeAndTheSongbooksSheet)
{
    std::filesystem::create_directories(path("Samples"));
    file("Samples/Recipe.card.txt", "Flour");
    Lyricade::SongbookPane* songbook = nullptr;
    build(false, [&](QWidget* parent, QToolBar*) {
        return songbook = new Lyricade::SongbookPane(model->songs(), defaults, parent);
    });
    QWidget* pane = focusInAPane();
    QTest::keyClick(pane, Qt::Key_Question, Qt::ControlModifier);
    EXPECT_EQ(model->helpRequest(), 1);
    EXPECT_EQ(model->helpPage(), HelpTopic::start);
    item("Help", "Keyboard Shortcuts")->trigger();
    EXPECT_EQ(model->helpPage(), HelpTopic::keys);
    item("Help", "Songbooks and Set Lists")->trigger();
    EXPECT_EQ(model->helpPage(), HelpTopic::songs);
    EXPECT_EQ(model->helpRequest(), 3);

    item("Help", "Show the Welcome Screen")->trigger();
    EXPECT_TRUE(model->showWelcome());

    // Both items bring Songbook mode up first and show the sheet at once.
    for (const char* menu : {"Song", "Help"}) {
        model->setKind(DocKind::document);
        item(menu, "About Song Licensing…")->trigger();
        EXPECT_EQ(model->kind(), DocKind::songbook) << menu;
        ASSERT_TRUE(songbook) << menu;
        auto* sheet = songbook->root()->licensingSheet();
        ASSERT_TRUE(sheet) << menu;
        EXPECT_TRUE(sheet->isVisible()) << menu;
        sheet->okButton()->click();
        EXPECT_FALSE(model->songs().model().licensingShown()) << menu;
    }

    QMenu* samples = item("Help", "Try a Sample")->menu();
    ASSERT_NE(samples, nullptr);
    ASSERT_EQ(samples->actions().size(), 1);
    EXPECT_EQ(samples->actions().front()->text(), "Recipe.card");
    samples->actions().front()->trigger();
    EXPECT_EQ(model->kind(), DocKind::document);
    EXPECT_EQ(model->fileURL(), path("Samples/Recipe.card.txt"));
}

TEST_F(MenuBarTest, F1OpensHelpBesideCtrlQuestionMarkInEveryWindow)
{
    build();
    QAction* help = item("Help", "Folmira Help");
    EXPECT_EQ(help->shortcuts(), (QList<QKeySequence>{keys(Qt::CTRL | Qt::Key_Question), keys(Qt::Key_F1)}));
    QTest::keyClick(focusInAPane(), Qt::Key_F1);
    EXPECT_EQ(model->helpRequest(), 1);
    EXPECT_EQ(model->helpPage(), HelpTopic::start);

    model->setHelpPage(HelpTopic::keys);
    QWidget other; // another of Folmira's windows, as Help or Settings
    other.show();
    other.activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(&other));
    QTest::keyClick(&other, Qt::Key_F1);
    EXPECT_EQ(model->helpRequest(), 2);
    EXPECT_EQ(model->helpPage(), HelpTopic::start);
}

TEST_F(MenuBarTest, TheApplicationMenuReachesTheWindowsCommands)
{
    build();
    QWidget* pane = focusInAPane();
    QTest::keyClick(pane, Qt::Key_Comma, Qt::ControlModifier);
    QTest::keyClick(pane, Qt::Key_Q, Qt::ControlModifier);
    item("Folmira", "About Folmira")->trigger();
    item("Folmira", "Check for Updates…")->trigger();
    EXPECT_EQ(calls, (std::map<std::string, int>{{"about", 1}, {"quit", 1}, {"settings", 1}, {"updates", 1}}));
}

TEST_F(MenuBarTest, AltAndTheUnderlinedLetterOpensAMenu)
{
    build();
    focusInAPane();
    QTest::keyClick(window.get(), Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(HangGuard::waitFor([&] { return menu("File").isVisible(); }));
    menu("File").close();
    QTest::keyClick(window.get(), Qt::Key_O, Qt::AltModifier);
    EXPECT_TRUE(HangGuard::waitFor([&] { return menu("Format").isVisible(); }));
    menu("Format").close();
}

TEST_F(MenuBarTest, TheSongbookSideStartsOnlyWhenItsMenusNeedIt)
{
    build();
    ASSERT_EQ(model->kind(), DocKind::document);
    EXPECT_FALSE(model->songsStarted());
    EXPECT_FALSE(item("Book", "Two Columns")->isChecked());

    // An open Book menu shows the selected book's own check marks, greyed out.
    emit menu("Book").aboutToShow();
    ASSERT_TRUE(model->songsStarted());
    model->songs().selectBookKind(false);
    model->songs().setTwoColumns(true);
    EXPECT_TRUE(item("Book", "Two Columns")->isChecked());
    EXPECT_FALSE(item("Book", "Two Columns")->isEnabled());

    // In Songbook mode the same items act on the book.
    model->setKind(DocKind::songbook);
    EXPECT_TRUE(item("Book", "Two Columns")->isEnabled());
}

TEST_F(MenuBarTest, MenusBuiltInSongbookModeStartTheSongbookSide)
{
    make(false);
    model->setKind(DocKind::songbook);
    MainWindow main(*model);
    main.setMenuBar(new MenuBar(*model, {}, &main));
    EXPECT_TRUE(model->songsStarted());
}

} // namespace
} // namespace FolmiraAppTest
