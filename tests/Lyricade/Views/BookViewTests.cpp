// The book view: its header fields, rows, empty state, footer, and what
// drops, moves and Delete do to the book.

#include "ViewFixture.h"

#include "Lyricade/Views/BookEntryList.h"
#include "Lyricade/Views/BookEntryRow.h"
#include "Lyricade/Views/BookView.h"
#include "Lyricade/Views/Decoration.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/EmptyStateOverlay.h"
#include "Lyricade/Views/FontRoles.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace LyricadeTest {
namespace {

class BookViewTest : public ViewTest {
protected:
    void build(BookKind kind = BookKind::book, int entries = 3)
    {
        songs = {storedSong("One"), storedSong("Two"), storedSong("Three")};
        Songbook book(Uuid::random(), "Camp", kind);
        for (int i = 0; i < entries; ++i) book.entries.push_back(entryFor(songs[static_cast<std::size_t>(i % 3)]));
        make(false, libraryOf(songs, {book}));
        model->setSelection(SidebarItem::book(book.id));
        view = std::make_unique<BookView>(*model);
        view->resize(380, 520);
        view->show();
    }

    const Songbook& book() const { return model->library().books.front(); }

    QStringList titles() const
    {
        QStringList out;
        for (int i = 0; view->row(i); ++i) out << view->row(i)->numberLabel()->text() + " " + view->row(i)->titleLabel()->text();
        return out;
    }

    std::vector<StoredSong> songs;
    std::unique_ptr<BookView> view;
};

TEST_F(BookViewTest, HeaderFieldsFollowTheKindAndRenameTheBook)
{
    struct Case {
        BookKind kind;
        QString nameLabel, placeholder, subtitleLabel;
    };
    for (const Case& c : {Case{BookKind::book, "Songbook name", "Subtitle (optional)", "Subtitle"},
                          Case{BookKind::setList, "Set list name", "Date or occasion (optional)", "Date or occasion"}}) {
        build(c.kind);
        EXPECT_EQ(view->nameField()->placeholderText(), "Name");
        EXPECT_EQ(view->nameField()->text(), "Camp");
        EXPECT_EQ(view->nameField()->accessibleName(), c.nameLabel);
        EXPECT_EQ(view->subtitleField()->placeholderText(), c.placeholder);
        EXPECT_EQ(view->subtitleField()->accessibleName(), c.subtitleLabel);
        // Dimmer than the name, yet read as small text is on the window it stands on.
        const QColor window = view->palette().color(QPalette::Window);
        EXPECT_GE(FontRole::contrast(view->subtitleField()->palette().color(QPalette::Text), window), 4.5);
    }
    QSignalSpy changes(model.get(), &AppModel::libraryChanged);
    view->nameField()->setFocus();
    view->nameField()->selectAll();
    QTest::keyClicks(view->nameField(), "Gig");
    EXPECT_EQ(book().name, "Gig");
    EXPECT_EQ(changes.count(), 3) << "one change per keystroke";
    QTest::keyClick(view->nameField(), Qt::Key_Backspace);
    QTest::keyClick(view->nameField(), Qt::Key_Backspace);
    QTest::keyClick(view->nameField(), Qt::Key_Backspace);
    EXPECT_EQ(book().name, "") << "an empty name is kept as empty";
    QTest::keyClicks(view->subtitleField(), "May 4");
    EXPECT_EQ(book().subtitle, "May 4");

    model->setSelection(SidebarItem::allSongs());
    EXPECT_FALSE(view->content()->isVisibleTo(view.get())) << "nothing while no book is selected";
}

TEST_F(BookViewTest, EmptyBookShowsTheEmptyStateAndBothButtonsOpenTheSheet)
{
    build(BookKind::book, 0);
    EXPECT_TRUE(view->emptyState()->isVisible());
    EXPECT_EQ(view->emptyState()->title(), "No songs yet");
    EXPECT_EQ(view->emptyState()->description(),
              "Add songs from your library, drag them here from All Songs, or drop song files here.");
    EXPECT_EQ(view->emptyState()->button()->text(), "Add Songs…");
    // Read out with the list; its symbol is passed by.
    QAccessibleInterface* listReads = QAccessible::queryAccessibleInterface(view->list());
    EXPECT_EQ(listReads->text(QAccessible::Description),
              "No songs yet. Add songs from your library, drag them here from All Songs, or drop song files here.");
    const auto pictures = view->emptyState()->findChildren<Decoration*>();
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(pictures.front())->state().invisible);
    EXPECT_EQ(view->footerLabel()->text(), "0 songs");
    view->emptyState()->button()->click();
    EXPECT_TRUE(model->addSongsShown());
    model->setAddSongsShown(false);
    view->addSongsButton()->click();
    EXPECT_TRUE(model->addSongsShown());

    model->addSongs({songs[0].id}, book().id);
    EXPECT_FALSE(view->emptyState()->isVisible());
    EXPECT_EQ(listReads->text(QAccessible::Description), "");
}

TEST_F(BookViewTest, FooterCountsEntriesAndPreviewSides)
{
    struct Case {
        int entries, pages;
        bool booklet;
        QString text;
    };
    for (const Case& c : {Case{1, 1, false, "1 song · 1 page"}, Case{3, 4, true, "3 songs · 4 printed sides"},
                          Case{3, 0, false, "3 songs"}, Case{0, 2, false, "0 songs · 2 pages"},
                          Case{2, 1, true, "2 songs · 1 printed side"}})
        EXPECT_EQ(BookView::footerText(c.entries, c.pages, c.booklet), c.text);

    build(BookKind::book, 1);
    clock->advance(Milliseconds(1000));
    ASSERT_GT(model->previewPages(), 1);
    EXPECT_EQ(view->footerLabel()->text(), QString("1 song · %1 pages").arg(model->previewPages()))
        << "the rendered preview counts";
    model->setPreviewMode(PreviewMode::booklet);
    clock->advance(Milliseconds(1000));
    EXPECT_EQ(view->footerLabel()->text(), QString("1 song · %1 printed sides").arg(model->previewPages()));
}

TEST_F(BookViewTest, RowsStandPerEntryAndShareTheSelection)
{
    build(BookKind::setList, 4);
    EXPECT_EQ(titles(), (QStringList{"1 One", "2 Two", "3 Three", "4 One"})) << "a song may stand twice";
    view->list()->setCurrentRow(3);
    EXPECT_EQ(model->selectedEntryIDs(), std::set<Uuid>{book().entries[3].id}) << "entries, not songs, are selected";

    view->list()->setFocus();
    QTest::keyClick(view->list(), Qt::Key_Delete);
    EXPECT_EQ(titles(), (QStringList{"1 One", "2 Two", "3 Three"}));
    EXPECT_TRUE(model->selectedEntryIDs().empty());
    QTest::keyClick(view->list(), Qt::Key_Delete);
    EXPECT_EQ(book().entries.size(), 3u) << "nothing selected, nothing removed";

    model->setSelectedEntryIDs({book().entries[0].id});
    EXPECT_TRUE(view->list()->item(0)->isSelected());
    view->list()->moveSelectedTo(3);
    EXPECT_EQ(titles(), (QStringList{"1 Two", "2 Three", "3 One"})) << "moved and numbered anew";
    const QRect first = view->list()->visualItemRect(view->list()->item(0));
    EXPECT_EQ(view->list()->destination(first.topLeft() + QPoint(5, 2)), 0);
    EXPECT_EQ(view->list()->destination(first.bottomLeft() + QPoint(5, -2)), 1);
    EXPECT_EQ(view->list()->destination({5, view->list()->viewport()->height() - 2}), 3);
}

TEST_F(BookViewTest, TabbingIntoTheListSelectsTheRowShownFocusedSoMovesActOnIt)
{
    build(BookKind::book, 3);
    view->activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(view.get()));
    const Uuid first = book().entries[0].id;
    ASSERT_TRUE(model->selectedEntryIDs().empty());
    view->subtitleField()->setFocus();
    QTest::keyClick(view->subtitleField(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), view->list());
    ASSERT_EQ(view->list()->currentRow(), 0);
    EXPECT_TRUE(view->list()->item(0)->isSelected());
    EXPECT_EQ(model->selectedEntryIDs(), std::set<Uuid>{first});
    model->moveEntries(1); // Move Down in Book
    EXPECT_EQ(book().entries[1].id, first);

    // Coming back to a list that has a selection leaves it as it is.
    model->setSelectedEntryIDs({book().entries[2].id});
    view->subtitleField()->setFocus();
    QTest::keyClick(view->subtitleField(), Qt::Key_Tab);
    EXPECT_EQ(model->selectedEntryIDs(), std::set<Uuid>{book().entries[2].id});
}

TEST_F(BookViewTest, TheCurrentRowsKeyAndCapoMenusAreTabStopsThatReadTheirValues)
{
    songs = {storedSong("Grace", "{key: Bb}\n{capo: 2}\n[Bb]Words\n"), storedSong("Plain", "Words\n")};
    Songbook book(Uuid::random(), "Camp", BookKind::book, {entryFor(songs[0]), entryFor(songs[1])});
    make(false, libraryOf(songs, {book}));
    model->setSelection(SidebarItem::book(book.id));
    view = std::make_unique<BookView>(*model);
    view->show();
    view->activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(view.get()));
    BookEntryList* list = view->list();

    QAccessibleInterface* listReads = QAccessible::queryAccessibleInterface(list);
    ASSERT_EQ(listReads->childCount(), 2);
    QAccessibleInterface* first = listReads->child(0);
    EXPECT_EQ(first->role(), QAccessible::ListItem);
    EXPECT_EQ(first->text(QAccessible::Name), "1, Grace, Key C, Capo 2") << "the key that sounds, capo included";
    EXPECT_EQ(listReads->child(1)->text(QAccessible::Name), "2, Plain, No capo");
    EXPECT_EQ(list->item(0)->data(Qt::AccessibleTextRole).toString(), "1, Grace, Key C, Capo 2");

    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Up); // the first row becomes current
    ASSERT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(first->state().focused);
    EXPECT_TRUE(first->state().selected);
    QTest::keyClick(list, Qt::Key_Tab);
    QWidget* key = QApplication::focusWidget();
    ASSERT_EQ(key, view->row(0)->keyButton()) << key->metaObject()->className() << " " << key->parentWidget()->metaObject()->className();
    QAccessibleInterface* keyReads = QAccessible::queryAccessibleInterface(key);
    EXPECT_EQ(keyReads->text(QAccessible::Name), "Key");
    EXPECT_EQ(keyReads->text(QAccessible::Value), "C");
    ASSERT_NE(keyReads->textInterface(), nullptr);
    EXPECT_EQ(keyReads->textInterface()->text(0, -1), "C") << "what AT-SPI carries of a combo box's choice";
    EXPECT_EQ(keyReads->text(QAccessible::Description), "") << "the tip only repeats the name";
    EXPECT_GE(first->indexOfChild(keyReads), 0) << "in the tree, under its row";
    QTest::keyClick(key, Qt::Key_Tab);
    QWidget* capo = QApplication::focusWidget();
    ASSERT_EQ(capo, view->row(0)->capoButton());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(capo)->text(QAccessible::Name), "Capo");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(capo)->text(QAccessible::Value), "Capo 2");
    QTest::keyClick(capo, Qt::Key_Tab);
    EXPECT_FALSE(view->row(1)->isAncestorOf(QApplication::focusWidget())) << "other rows' menus are no Tab stops";

    // Down opens the key menu on the current key, checked and focused, as a combo box's list opens;
    // Down again goes to the key after it.
    key->setFocus();
    QStringList focusedItems;
    const auto readFocused = [&](QMenu* open) {
        for (int i = 0; i < QAccessible::queryAccessibleInterface(open)->childCount(); ++i) {
            QAccessibleInterface* item = QAccessible::queryAccessibleInterface(open)->child(i);
            if (item->state().focused)
                focusedItems << item->text(QAccessible::Name) + (item->state().checked ? " checked" : "");
        }
    };
    QMenu* keys = view->row(0)->keyMenu();
    QTimer::singleShot(0, keys, [&] {
        readFocused(keys);
        QTest::keyClick(keys, Qt::Key_Down);
        readFocused(keys);
        keys->close();
    });
    QTest::keyClick(key, Qt::Key_Down);
    EXPECT_EQ(focusedItems, QStringList({"C (as written) checked", "D flat (+1)"}));

    // Return opens the capo menu; a choice shows in the row and the focus stays on its capo menu.
    capo->setFocus();
    QMenu* menu = view->row(0)->capoMenu();
    bool opened = false;
    QTimer::singleShot(0, menu, [&] {
        opened = menu->isVisible();
        focusedItems.clear();
        readFocused(menu);
        EXPECT_EQ(focusedItems, QStringList{"As written (capo 2) checked"});
        menu->close();
        menu->actions().at(2 + 4)->trigger(); // "Capo 4"
    });
    QTest::keyClick(capo, Qt::Key_Return);
    EXPECT_TRUE(opened);
    EXPECT_EQ(model->library().books[0].entries[0].capo, 4);
    EXPECT_EQ(view->focusWidget(), view->row(0)->capoButton()) << "the window's focus, whether or not it is active";
    EXPECT_EQ(QAccessible::queryAccessibleInterface(view->row(0)->capoButton())->text(QAccessible::Value), "Capo 4");
}

TEST_F(BookViewTest, DropsAppendSongsAndImportFiles)
{
    build(BookKind::book, 1);
    const QString one = QString::fromStdString(songs[0].id.toString());
    const QString three = QString::fromStdString(songs[2].id.toString());
    const QString gone = QString::fromStdString(Uuid::random().toString());
    const QPoint top(10, 5);
    struct Case {
        QString dropped;
        bool accepted;
        std::size_t entries;
    };
    for (const Case& c : {Case{"not an id", false, 1}, Case{gone, true, 1}, Case{three + "\n" + one + "\n" + three, true, 4}}) {
        auto data = text(c.dropped);
        EXPECT_EQ(drop(view->list(), top, *data), c.accepted) << c.dropped.toStdString();
        EXPECT_EQ(book().entries.size(), c.entries);
    }
    EXPECT_EQ(titles(), (QStringList{"1 One", "2 Three", "3 One", "4 Three"})) << "at the end, in the drop's order";
    EXPECT_TRUE(announcer->said.size() == 1);

    auto data = files({songFile("new.cho", "Fresh")});
    EXPECT_TRUE(drop(view->list(), top, *data));
    EXPECT_EQ(titles().back(), "5 Fresh") << "imported into the library and this book";
    auto nothing = files({std::filesystem::path(folder.path().toStdString()) / "none.cho"});
    EXPECT_FALSE(drop(view->list(), top, *nothing));
}

TEST_F(BookViewTest, SelectedRowsDrawAllTheirTextInTheSelectionsTextColour)
{
    songs = {storedSong("Amazing Grace", "{artist: John Newton}\n{key: G}\n[G]Amazing\n"), storedSong("Two")};
    Songbook book(Uuid::random(), "Camp", BookKind::book);
    for (const auto& song : songs) book.entries.push_back(entryFor(song));
    make(false, libraryOf(songs, {book}));
    model->setSelection(SidebarItem::book(book.id));
    view = std::make_unique<BookView>(*model);
    view->resize(380, 520);
    view->show();

    const QPalette list = view->list()->palette();
    EXPECT_GE(FontRole::contrast(list.color(QPalette::HighlightedText), list.color(QPalette::Highlight)), 4.5);
    EntryRow* row = view->row(0);
    ASSERT_TRUE(row && row->detailLabel() && row->keyButton());
    const QColor dim = row->numberLabel()->palette().color(QPalette::WindowText);
    EXPECT_NE(dim, list.color(QPalette::HighlightedText));

    model->setSelectedEntryIDs({book.entries[0].id});
    row = view->row(0);
    for (QWidget* part : std::initializer_list<QWidget*>{row->numberLabel(), row->titleLabel(), row->detailLabel()})
        EXPECT_EQ(part->palette().color(QPalette::WindowText), list.color(QPalette::HighlightedText));
    EXPECT_EQ(row->keyButton()->palette().color(QPalette::ButtonText), list.color(QPalette::HighlightedText));
    EXPECT_NE(view->row(1)->numberLabel()->palette().color(QPalette::WindowText), list.color(QPalette::HighlightedText));

    model->setSelectedEntryIDs({});
    EXPECT_EQ(view->row(0)->numberLabel()->palette().color(QPalette::WindowText), dim);
}

TEST_F(BookViewTest, ANarrowListWrapsAndShortensLongTextsButKeepsThemWholeForScreenReaders)
{
    const std::string title = "A very long title that cannot fit in a narrow column of the window at all";
    songs = {storedSong(title, "{artist: A band whose name is also much too long for the row}\n{key: G}\n[G]La\n")};
    Songbook book(Uuid::random(), "Camp", BookKind::book);
    book.entries.push_back(entryFor(songs[0]));
    make(false, libraryOf(songs, {book}));
    model->setSelection(SidebarItem::book(book.id));
    view = std::make_unique<BookView>(*model);
    view->resize(260, 400);
    view->show();
    view->resize(230, 400); // narrower after the first layout, as a column giving way
    ASSERT_TRUE(HangGuard::settled(view.get()));

    EntryRow* row = view->row(0);
    const QRect viewport = view->list()->viewport()->rect();
    EXPECT_TRUE(viewport.contains(QRect(row->capoButton()->mapTo(view->list()->viewport(), QPoint()),
                                        row->capoButton()->size())));
    EXPECT_EQ(row->titleLabel()->text().toStdString(), title);
    auto* spoken = QAccessible::queryAccessibleInterface(row->titleLabel());
    ASSERT_TRUE(spoken);
    EXPECT_EQ(spoken->text(QAccessible::Name).toStdString(), title);
    EXPECT_LT(row->titleLabel()->width(), row->titleLabel()->fontMetrics().horizontalAdvance(row->titleLabel()->text()));
    // The title takes a second line, the row growing for it, and only then is cut, at its end.
    auto* label = static_cast<ElidingLabel*>(row->titleLabel());
    const QString shown = label->shownText();
    EXPECT_TRUE(shown.startsWith("A very long title")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_GT(shown.size(), label->fontMetrics().elidedText(label->text(), Qt::ElideRight, label->width()).size());
    EXPECT_GE(label->height(), 2 * label->fontMetrics().lineSpacing());
    EXPECT_TRUE(row->rect().contains(label->geometry()));
    EXPECT_GE(view->list()->visualItemRect(view->list()->item(0)).height(), row->minimumSizeHint().height());
}

TEST_F(BookViewTest, ANarrowColumnShortensTheNameUntilEditedAndStandsTheMenusUnderTheTitle)
{
    const QString name = "A songbook for the Saturday evening campfire by the lake";
    songs = {storedSong("Amazing Grace", "{key: G}\n[G]La\n")};
    Songbook book(Uuid::random(), name.toStdString(), BookKind::book);
    book.entries.push_back(entryFor(songs[0]));
    make(false, libraryOf(songs, {book}));
    model->setSelection(SidebarItem::book(book.id));
    view = std::make_unique<BookView>(*model);
    view->show();
    auto* field = static_cast<ElidingField*>(view->nameField());
    view->list()->setFocus(); // the name is not being edited
    const struct {
        int width;
        bool nameWhole;
        bool menusUnder;
    } cases[] = {{900, true, false}, {260, false, false}, {130, false, true}, {900, true, false}};
    for (const auto& c : cases) {
        view->resize(c.width, 400);
        ASSERT_TRUE(HangGuard::settled(view.get())) << "the list lays its rows out after the resize";
        EntryRow* row = view->row(0);
        EXPECT_EQ(field->shownText() == name, c.nameWhole) << c.width;
        EXPECT_EQ(field->text(), name);
        EXPECT_EQ(row->choicesUnder(), c.menusUnder) << c.width;
        // Beside or under, the menus lie inside the row, whose item is tall enough for it.
        for (QToolButton* menu : {row->keyButton(), row->capoButton()})
            EXPECT_TRUE(row->rect().contains(QRect(menu->mapTo(row, QPoint()), menu->size()))) << c.width;
        EXPECT_GE(view->list()->visualItemRect(view->list()->item(0)).height(), row->minimumSizeHint().height())
            << c.width;
    }
    // Edited, the name is shown whole, at any width.
    view->resize(130, 400);
    view->activateWindow();
    field->setFocus();
    ASSERT_TRUE(HangGuard::waitFor([&] { return field->hasFocus(); }));
    EXPECT_EQ(field->shownText(), name);
}

TEST_F(BookViewTest, TheFocusedListsCurrentRowShowsARingAroundTheRow)
{
    build(BookKind::setList, 4);
    view->activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(view.get()));
    view->list()->setCurrentRow(1);
    const QRect row = view->list()->visualItemRect(view->list()->item(1));
    const auto shot = [&] {
        QApplication::processEvents();
        return view->list()->viewport()->grab(row).toImage();
    };
    view->setFocus();
    const QImage before = shot();
    view->list()->setFocus(Qt::TabFocusReason);
    const QImage after = shot();
    // Two pixels deep at the middle of each long edge, clear of the selection it lies on.
    const int x = row.width() / 2;
    for (int y : {0, 1, row.height() - 2, row.height() - 1})
        EXPECT_GE(FontRole::contrast(before.pixelColor(x, y), after.pixelColor(x, y)), 3.0) << y;
    for (int d : {0, 1})
        EXPECT_GE(FontRole::contrast(after.pixelColor(x, d), view->list()->palette().color(QPalette::Base)), 3.0);
}

} // namespace
} // namespace LyricadeTest
