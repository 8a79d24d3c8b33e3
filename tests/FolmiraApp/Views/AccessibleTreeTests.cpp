// What a screen reader is told of the application's windows and pickers:
// Help, Settings and the quick reference are windows named by their titles,
// and a combo box is named by its label with its choice as its value, each
// of its choices by its text.

#include "../Fakes.h"
#include "AccessibleEvents.h"

#include "FolmiraApp/Views/HelpWindow.h"
#include "FolmiraApp/Views/SettingsPanel.h"
#include "FolmiraApp/Views/SettingsWindow.h"
#include "Lyricade/SongController.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/InspectorView.h"
#include "Lyricade/Views/BookEntryList.h"
#include "Lyricade/Views/BookEntryRow.h"
#include "Lyricade/Views/BookView.h"
#include "Lyricade/Views/QuickReference.h"
#include "Lyricade/Views/SongEditorKey.h"
#include "Lyricade/Views/SongListRows.h"
#include "Lyricade/Views/SongListView.h"
#include "Lyricade/Views/SongRootView.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QAbstractItemView>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>
#include <map>
#include <set>

namespace FolmiraAppTest {
namespace {

class AccessibleTreeTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        Lyricade::installDesktopAccessible();
    }

    static QAccessibleInterface* read(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

    // The names of the items a combo box's list reads as selected.
    static QStringList selectedItems(QComboBox* combo)
    {
        QStringList names;
        QAccessibleInterface* list = read(combo)->child(0);
        for (int i = 0; i < list->childCount(); ++i)
            if (list->child(i)->state().selected) names << list->child(i)->text(QAccessible::Name);
        return names;
    }

    // `window` shown at a size that holds a book's rows, and active.
    static bool shownActive(QWidget& window)
    {
        window.resize(1200, 700);
        window.show();
        window.activateWindow();
        return HangGuard::windowActive(&window);
    }

    // A book of five songs ("Amazing Grace" to "Every Day", `chords` after
    // each title), open in the songbook window's model.
    static TunequillKit::Songbook openBookOfFive(Lyricade::AppModel& songs, const std::string& chords)
    {
        TunequillKit::Library library;
        TunequillKit::Songbook book(TunequillKit::Uuid::random(), "Sunday Hymns", TunequillKit::BookKind::book);
        for (const char* title : {"Amazing Grace", "Be Thou", "Come Thou", "Day by Day", "Every Day"}) {
            library.songs.push_back(TunequillKit::StoredSong{TunequillKit::Uuid::random(),
                                                             std::string("{title: ") + title + "}\n" + chords,
                                                             std::nullopt, TunequillKit::Date{0}});
            book.entries.push_back(
                TunequillKit::SongEntry{TunequillKit::Uuid::random(), library.songs.back().id, 0, std::nullopt});
        }
        library.books.push_back(book);
        songs.setLibrary(library);
        songs.setSelection(Lyricade::SidebarItem::book(book.id));
        return book;
    }
};

TEST_F(AccessibleTreeTest, HelpSettingsAndTheQuickReferenceAreWindowsNamedByTheirTitles)
{
    make(false);
    HelpWindow help(*model);
    SettingsWindow settings(*model, defaults);
    QWidget editor;
    Lyricade::QuickReferencePopup reference(&editor);
    for (QWidget* window : std::initializer_list<QWidget*>{&help, &settings, &reference}) {
        SCOPED_TRACE(window->windowTitle().toStdString());
        window->show();
        EXPECT_EQ(read(window)->role(), QAccessible::Window);
        EXPECT_EQ(read(window)->text(QAccessible::Name), window->windowTitle());
        EXPECT_GE(read(qApp)->indexOfChild(read(window)), 0) << "reached from the application";
    }
    EXPECT_EQ(read(&help)->text(QAccessible::Name), "Folmira Help");
    EXPECT_EQ(read(&settings)->text(QAccessible::Name), "Folmira Settings");
    EXPECT_EQ(read(&reference)->text(QAccessible::Name), "ChordPro quick reference");

    // A plain widget inside a window is no window.
    EXPECT_NE(read(help.pageColumn())->role(), QAccessible::Window);
}

TEST_F(AccessibleTreeTest, ComboBoxesAreNamedByTheirLabelsAndValuedByTheirChoice)
{
    SettingsPanel panel(make(false));
    struct Case {
        QComboBox* combo;
        const char* name;
    };
    for (const Case& c : {Case{panel.presetPicker(), "Preset"}, Case{panel.fontPicker(), "Font"},
                          Case{panel.paperPicker(), "Paper"}, Case{panel.tablesPicker(), "Tables"}}) {
        SCOPED_TRACE(c.name);
        ASSERT_GT(c.combo->count(), 1);
        c.combo->setCurrentIndex(1);
        EXPECT_EQ(read(c.combo)->role(), QAccessible::ComboBox);
        EXPECT_EQ(read(c.combo)->text(QAccessible::Name), c.name);
        EXPECT_EQ(read(c.combo)->text(QAccessible::Value), c.combo->itemText(1));
        EXPECT_EQ(read(c.combo)->child(0)->object(), static_cast<QObject*>(c.combo->view())) << "its list of choices";
    }
    // The choice is the box's text too, and the one selected item of its list,
    // popped up or not: what a screen reader says after the label.
    QComboBox* paper = panel.paperPicker();
    QAccessibleTextInterface* shown = read(paper)->textInterface();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(0, shown->characterCount()), paper->currentText());
    EXPECT_EQ(selectedItems(paper), QStringList{paper->currentText()});
    // A new choice selects its item in the list, which the list announces to readers
    // (with the value change the box announces itself).
    QSignalSpy selections(paper->view()->selectionModel(), &QItemSelectionModel::selectionChanged);
    paper->setCurrentIndex(0);
    ASSERT_EQ(selections.count(), 1);
    EXPECT_EQ(selections.at(0).at(0).value<QItemSelection>().indexes().value(0).row(), 0);
    EXPECT_EQ(shown->text(0, shown->characterCount()), paper->itemText(0));
    EXPECT_EQ(selectedItems(paper), QStringList{paper->itemText(0)});
    // Settings changed elsewhere (a preset from the toolbar) set the boxes with
    // their signals blocked, and the preset list is filled anew: the lists still
    // select what the boxes show.
    auto settings = model->settings();
    settings.paper = FolmiraKit::LargePrintSettings::Paper::a4;
    settings.fontSize += 2;
    model->setSettings(settings);
    ASSERT_NE(paper->currentIndex(), 0);
    EXPECT_EQ(selectedItems(paper), QStringList{paper->currentText()});
    EXPECT_EQ(selectedItems(panel.presetPicker()), QStringList{panel.presetPicker()->currentText()});

    // The songbook's first typeface, the documents' font, reads its name before any book is shown.
    model->songs().model().setSelection(Lyricade::SidebarItem::allSongs());
    Lyricade::InspectorView inspector(model->songs().model());
    const QString font = QString::fromStdString(model->songs().style().fontName);
    ASSERT_FALSE(font.isEmpty());
    EXPECT_EQ(read(inspector.typefacePicker()->view())->child(0)->text(QAccessible::Name), font);

    // Labelled only by a label beside it, or by nothing at all.
    QWidget form;
    auto* column = new QVBoxLayout(&form);
    auto* label = new QLabel(QStringLiteral("Margins"), &form);
    auto* labelled = new QComboBox(&form);
    auto* bare = new QComboBox(&form);
    for (QComboBox* combo : {labelled, bare}) {
        combo->addItems({QStringLiteral("Narrow"), QStringLiteral("Wide")});
        column->addWidget(combo);
    }
    label->setBuddy(labelled);
    EXPECT_EQ(read(labelled)->text(QAccessible::Name), "Margins");
    EXPECT_EQ(read(bare)->text(QAccessible::Name), "Narrow");

    labelled->setEditable(true);
    labelled->lineEdit()->setText(QStringLiteral("Very wide"));
    EXPECT_EQ(read(labelled)->text(QAccessible::Value), "Very wide");
    EXPECT_EQ(read(labelled)->childCount(), 2);
    EXPECT_EQ(read(labelled)->indexOfChild(read(labelled->lineEdit())), 1);
}

TEST_F(AccessibleTreeTest, AChangeOfSettingsMovesThePresetChoiceOnceOrNotAtAll)
{
    // Qt announces every move of a box's choice to screen readers, as it
    // signals it: a font change moves the preset box once (to "Custom" or
    // back) or not at all, never once per refill.
    SettingsPanel panel(make(false));
    QComboBox* presets = panel.presetPicker();
    const auto preset = FolmiraKit::LargePrintPreset::all().front().settings;
    const auto& fonts = FolmiraKit::LargePrintFont::allCases;
    ASSERT_EQ(preset.font, fonts.at(0));
    model->setSettings(preset);
    for (const auto& [font, moves] : {std::pair{1, 1}, {2, 0}, {0, 1}}) {
        SCOPED_TRACE(font);
        QSignalSpy moved(presets, &QComboBox::currentIndexChanged);
        QSignalSpy removed(presets->model(), &QAbstractItemModel::rowsRemoved);
        auto settings = model->settings();
        settings.font = fonts.at(font);
        model->setSettings(settings);
        EXPECT_EQ(moved.count(), moves);
        EXPECT_LE(removed.count(), 1) << "only Custom comes and goes";
        EXPECT_EQ(selectedItems(presets), QStringList{presets->currentText()});
    }
}

TEST_F(AccessibleTreeTest, AKeyOrCapoPickedFromTheKeyboardIsTheOnlyThingSaid)
{
    // A book of five songs in the songbook window; the first row's key menu has the focus.
    make(false);
    Lyricade::AppModel& songs = model->songs().model();
    const TunequillKit::Songbook book = openBookOfFive(songs, "{key: G}\n[G]Words\n");
    songs.setShowInspector(true);
    Lyricade::SongRootView root(songs, defaults);
    ASSERT_TRUE(shownActive(root));
    Lyricade::BookView* bookView = root.findChild<Lyricade::BookView*>();
    ASSERT_NE(bookView, nullptr);
    bookView->list()->setFocus();
    bookView->list()->setCurrentRow(0);
    Lyricade::EntryRow* row = bookView->row(0);

    struct Case {
        QToolButton* button;
        int item;
        QString value, rowName;
    };
    const Case cases[] = {
        {row->keyButton(), 7, "A", "1, Amazing Grace, Key A, No capo"},
        {row->capoButton(), 2 + 3, "Capo 3", "1, Amazing Grace, Key A, Capo 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button->accessibleName().toStdString());
        c.button->setFocus();
        ASSERT_TRUE(HangGuard::waitFor([&] { return c.button->hasFocus(); }));
        // The names of everything before the choice, by object.
        std::map<QAccessible::Id, QString> before;
        for (QWidget* each : root.findChildren<QWidget*>()) {
            QAccessibleInterface* reads = read(each);
            if (reads) before[QAccessible::uniqueId(reads)] = reads->text(QAccessible::Name);
        }
        QWidget* focused = QApplication::focusWidget();
        AccessibleEvents heard;
        c.button->menu()->actions().at(c.item)->trigger();
        QApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), focused) << "the focus stays on the menu's button";
        EXPECT_EQ(bookView->row(0), row) << "the row changed in place";
        int focusMoves = 0, sameNames = 0, values = 0;
        for (const auto& event : heard.events()) {
            if (event.type == QAccessible::Focus) {
                ++focusMoves;
                ADD_FAILURE() << "focus: " << event.text.toStdString();
            }
            if (event.type == QAccessible::NameChanged && before.count(event.about) && before[event.about] == event.text) {
                ++sameNames;
                ADD_FAILURE() << "same name again: " << event.text.toStdString();
            }
            if (event.type == QAccessible::ValueChanged && event.about == QAccessible::uniqueId(read(focused))) ++values;
            else if (event.type == QAccessible::ValueChanged)
                ADD_FAILURE() << "a value that did not change, announced: " << event.text.toStdString();
        }
        EXPECT_EQ(focusMoves, 0);
        EXPECT_EQ(sameNames, 0);
        EXPECT_EQ(values, 1) << "the new choice, once";
        EXPECT_EQ(read(focused)->text(QAccessible::Value), c.value);
        EXPECT_EQ(heard.count(QAccessible::NameChanged, c.rowName), 1) << "the row's new name";
    }

    // A song chosen under All Songs: the book's footer and empty state, hidden, say nothing of it.
    songs.setSelection(Lyricade::SidebarItem::allSongs());
    QApplication::processEvents();
    AccessibleEvents heard;
    songs.setSelectedSongID(songs.library().songs.back().id);
    ASSERT_TRUE(HangGuard::waitFor([&] { return songs.previewPages() > 0; }));
    QApplication::processEvents();
    for (const auto& event : heard.events()) {
        QAccessibleInterface* about = QAccessible::accessibleInterface(event.about);
        QObject* object = about ? about->object() : nullptr;
        const bool says = event.type == QAccessible::NameChanged || event.type == QAccessible::DescriptionChanged ||
                          event.type == QAccessible::ValueChanged;
        if (object && object->isWidgetType() && says) {
            EXPECT_TRUE(static_cast<QWidget*>(object)->isVisible())
                << "hidden, yet heard: " << std::hex << event.type << " " << event.text.toStdString();
        }
    }

    // A song added to the book from the song list: the sidebar's count changes where it stands, and the
    // focus, in the song list, is not announced anywhere else.
    heard.clear();
    songs.addSongs({songs.library().songs.front().id}, book.id);
    QApplication::processEvents();
    EXPECT_EQ(heard.count(QAccessible::Focus, "All Songs"), 0);
    for (const auto& event : heard.events()) EXPECT_NE(event.type, QAccessible::Focus) << event.text.toStdString();
}

// A row moved up or taken out of a book, another book chosen, or a book
// opened again from All Songs changes the list in place: the rows keep their
// widgets, and a reader hears of the new numbers and titles alone (a label's
// and a row's name for each row that changed), never of anything hidden,
// with the focus, after a removal, on the row that took the removed one's place.
TEST_F(AccessibleTreeTest, ARowMovedOrRemovedChangesTheBookInPlace)
{
    make(false);
    Lyricade::AppModel& songs = model->songs().model();
    const TunequillKit::Songbook book = openBookOfFive(songs, "[G]Words\n");
    TunequillKit::Songbook other(TunequillKit::Uuid::random(), "Campfire", TunequillKit::BookKind::setList);
    for (int song : {4, 0, 3})
        other.entries.push_back(
            TunequillKit::SongEntry{TunequillKit::Uuid::random(), songs.library().songs[song].id, 0, std::nullopt});
    songs.changeLibrary([&](TunequillKit::Library& library) { library.books.push_back(other); });
    Lyricade::SongRootView root(songs, defaults);
    ASSERT_TRUE(shownActive(root));
    Lyricade::BookView* bookView = root.findChild<Lyricade::BookView*>();
    Lyricade::BookEntryList* list = bookView->list();
    list->setFocus();
    list->setCurrentRow(2);

    struct Case {
        const char* what;
        std::function<void()> prepare, change;
        QStringList titles;
        int names, focuses, current; // current: -1 where the focus is elsewhere
        int made = 0;                // rows made anew
    };
    const auto select = [&](const Lyricade::SidebarItem& item) { return [&songs, item] { songs.setSelection(item); }; };
    const Case cases[] = {
        {"moved up", [] {}, [&] { songs.moveEntries(-1); },
         {"Amazing Grace", "Come Thou", "Be Thou", "Day by Day", "Every Day"}, 2 * 2, 1, 1},
        // The row moved up, now second; the three under it and the count change.
        {"removed", [] {}, [&] { QTest::keyClick(list, Qt::Key_Delete); },
         {"Amazing Grace", "Be Thou", "Day by Day", "Every Day"}, 3 * 2 + 1, 1, 1},
        // The current row's own menu: the row under it takes its place and the focus.
        {"removed from its menu", [] {},
         [&] {
             const auto menu = bookView->row(list->currentRow())->contextMenu();
             for (QAction* item : menu->actions())
                 if (item->text() == "Remove from Book") item->trigger();
         },
         {"Amazing Grace", "Day by Day", "Every Day"}, 2 * 2 + 1, 1, 1},
        // Three titles, and the kind of book the fields are named by.
        {"switched books", [] {}, select(Lyricade::SidebarItem::book(other.id)),
         {"Every Day", "Amazing Grace", "Day by Day"}, 3 * 2 + 2, 1, -1},
        // From a song under All Songs, whose editor the book's preview replaces: the
        // sidebar's new row, then the book's list, which takes the song list's focus.
        {"opened again",
         [&] {
             songs.setSelection(Lyricade::SidebarItem::allSongs());
             songs.setSelectedSongID(songs.library().songs.front().id);
         },
         select(Lyricade::SidebarItem::book(other.id)), {"Every Day", "Amazing Grace", "Day by Day"}, 0, 2, -1},
        // A new row: its number, title, name and two buttons, and the count; its
        // menus are named silently, hidden until opened.
        {"added", [] {}, [&] { songs.addSongs({songs.library().songs[1].id}, other.id); },
         {"Every Day", "Amazing Grace", "Day by Day", "Be Thou"}, 5 + 1, 0, -1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        QApplication::processEvents();
        std::set<Lyricade::EntryRow*> before;
        for (int i = 0; i < list->count(); ++i) before.insert(bookView->row(i));
        AccessibleEvents heard;
        c.change();
        QApplication::processEvents();
        QStringList titles;
        int made = 0;
        for (int i = 0; i < list->count(); ++i) {
            titles << bookView->row(i)->titleLabel()->text();
            made += !before.count(bookView->row(i));
            EXPECT_EQ(bookView->row(i)->numberLabel()->text(), QString::number(i + 1));
            EXPECT_TRUE(read(bookView->row(i))->text(QAccessible::Name).startsWith(QString::number(i + 1) + ", "));
        }
        EXPECT_EQ(titles, c.titles);
        EXPECT_EQ(made, c.made);
        // By kind; names only the book's own (the sidebar's count and the settings change too).
        std::map<QAccessible::Event, int> kinds;
        for (const auto& event : heard.events()) {
            QAccessibleInterface* about = QAccessible::accessibleInterface(event.about);
            auto* widget = about ? qobject_cast<QWidget*>(about->object()) : nullptr;
            if (event.type != QAccessible::NameChanged || (widget && bookView->isAncestorOf(widget))) ++kinds[event.type];
            const bool says = event.type == QAccessible::NameChanged || event.type == QAccessible::DescriptionChanged ||
                              event.type == QAccessible::ValueChanged || event.type == QAccessible::Focus;
            if (widget && says) {
                EXPECT_TRUE(widget->isVisible()) << "hidden, yet heard: " << std::hex << event.type << " "
                                                 << event.text.toStdString();
            }
        }
        EXPECT_EQ(kinds[QAccessible::ObjectCreated], 0);
        EXPECT_LE(kinds[QAccessible::NameChanged], c.names);
        EXPECT_LE(kinds[QAccessible::Focus], c.focuses);
        if (c.current < 0) continue;
        EXPECT_TRUE(list->hasFocus());
        EXPECT_EQ(list->currentRow(), c.current);
        EXPECT_TRUE(list->currentItem() && list->currentItem()->isSelected());
    }

    // The All Songs list, hidden behind the book, shows none of its rows to a reader.
    QListWidget* allSongs = root.findChild<Lyricade::SongListView*>()->list();
    ASSERT_FALSE(allSongs->isVisible());
    QAccessibleInterface* hiddenList = read(allSongs);
    ASSERT_GT(hiddenList->childCount(), 0);
    for (int i = 0; i < hiddenList->childCount(); ++i) EXPECT_TRUE(hiddenList->child(i)->state().invisible) << i;
}

// Each press of a Transpose arrow reads out the new key on the arrow pressed.
TEST_F(AccessibleTreeTest, ATransposeArrowSaysTheNewKey)
{
    make(false);
    Lyricade::AppModel& songs = model->songs().model();
    TunequillKit::Library library;
    library.songs.push_back(TunequillKit::StoredSong{TunequillKit::Uuid::random(), "{title: Hymn}\n{key: G}\n[G]Words\n",
                                                     std::nullopt, TunequillKit::Date{0}});
    songs.setLibrary(library);
    songs.setSelectedSongID(library.songs.front().id);
    Lyricade::KeyStepper stepper(songs);
    stepper.show();
    for (QToolButton* arrow : {stepper.upButton(), stepper.downButton()}) {
        SCOPED_TRACE(arrow->accessibleName().toStdString());
        arrow->setFocus();
        const QString before = read(arrow)->text(QAccessible::Description);
        AccessibleEvents heard;
        arrow->click();
        const QString now = read(arrow)->text(QAccessible::Description);
        EXPECT_NE(now, before);
        EXPECT_TRUE(now.startsWith("Key ")) << now.toStdString();
        EXPECT_EQ(heard.count(QAccessible::DescriptionChanged, now), 3) << "the stepper and both arrows";
    }
}

} // namespace
} // namespace FolmiraAppTest
