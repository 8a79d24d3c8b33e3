// The song list: search, row texts, counts, empty states, the drag payload
// and the row menu.

#include "ViewFixture.h"

#include "tests/HangGuardQt.h"

#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/EmptyStateOverlay.h"
#include "Lyricade/Views/SongListRows.h"
#include "Lyricade/Views/SongListView.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace LyricadeTest {
namespace {

class SongListTest : public ViewTest {
protected:
    void build(const Library& library)
    {
        make(false, library);
        view = std::make_unique<SongListView>(*model);
        view->resize(360, 500);
        view->show();
    }

    QStringList rows(int role = Qt::DisplayRole) const
    {
        QStringList out;
        for (int i = 0; i < view->list()->count(); ++i) out << view->list()->item(i)->data(role).toString();
        return out;
    }

    void type(const QString& text) { view->searchField()->setText(text); }

    std::unique_ptr<SongListView> view;
};

TEST_F(SongListTest, SearchMatchesTitleArtistsAndFirstLine)
{
    StoredSong river = storedSong("River Song", "{artist: Ann Lee}\n{artist: Bo Diaz}\n[G]Flowing slowly\n");
    StoredSong cafe = storedSong("Café Blues", "[A]Morning coffee\n");
    StoredSong valley = storedSong("valley", "{key: F#m}\n[D]Down in the glen\n");
    build(libraryOf({river, cafe, valley}));
    EXPECT_EQ(rows(), (QStringList{"Café Blues", "River Song", "valley"})) << "title order, case ignored";

    struct Case {
        QString query;
        QStringList titles;
    };
    const Case cases[] = {
        {"RIVER", {"River Song"}},
        {"ann lee bo", {"River Song"}},       // artists joined by one space
        {"  glen\t", {"valley"}},             // first line; spaces and tabs trimmed
        {"cafe", {}},                         // accents are not folded
        {"in the", {"valley"}},
        {"   ", {"Café Blues", "River Song", "valley"}},
    };
    for (const Case& c : cases) {
        type(c.query);
        EXPECT_EQ(model->search(), c.query);
        EXPECT_EQ(rows(), c.titles) << c.query.toStdString();
        EXPECT_EQ(view->emptyState()->isVisible(), c.titles.isEmpty());
    }
    type("zzz");
    // The field's clear button, shown once there is text, reads as what it does.
    QToolButton* clear = nullptr;
    for (QToolButton* button : view->searchField()->findChildren<QToolButton*>())
        if (button->isVisibleTo(view->searchField())) clear = button;
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(clear)->text(QAccessible::Name), "Clear");
    EXPECT_EQ(view->emptyState()->title(), "No matches");
    EXPECT_EQ(view->emptyState()->description(), "Try another word.");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(view->list())->text(QAccessible::Description),
              "No matches. Try another word.")
        << "read with the list";
    EXPECT_EQ(view->countLabel()->text(), "3 songs") << "the bar counts the whole library";
    model->newSong();
    EXPECT_EQ(view->searchField()->text(), "") << "a new song clears the search";
    EXPECT_EQ(view->list()->selectedItems().front()->text(), "New Song");
}

TEST_F(SongListTest, RowsShowTitleKeyAndOneDetail)
{
    StoredSong artist = storedSong("A", "{artist: Ann}\n{subtitle: Sub}\n[F#m]First words\n");
    StoredSong subtitle = storedSong("B", "{subtitle: Sub}\n[Bb]First words\n");
    StoredSong line = storedSong("C", "Only words here\n");
    StoredSong file{Uuid::random(), "{title: D}\n", std::string("d.cho"), Date{0}};
    StoredSong untitled{Uuid::random(), "[E]\n", std::nullopt, Date{0}};
    build(libraryOf({artist, subtitle, line, file, untitled}));
    EXPECT_EQ(rows(), (QStringList{"A", "B", "C", "D", "Untitled song"}));
    EXPECT_EQ(rows(SongListWidget::detailRole), (QStringList{"Ann", "Sub", "Only words here", "d.cho", ""}));
    EXPECT_EQ(rows(SongListWidget::keyRole), (QStringList{"F♯m", "B♭", "", "", "E"}));
    EXPECT_EQ(view->list()->item(0)->data(Qt::AccessibleTextRole).toString(), "A, F sharp minor, Ann")
        << "the key in words, as speech should say it";
    EXPECT_EQ(view->countLabel()->text(), "5 songs");
}

// In a narrow list a long title takes a second line, its row growing,
// rather than losing its middle; the key keeps its place.
TEST_F(SongListTest, LongTitlesWrapInANarrowList)
{
    build(libraryOf({storedSong("Down in the Valley where the river runs", "{key: C}\n[C]Words\n"),
                     storedSong("Joy", "{key: G}\n[G]Words\n")}));
    QListWidget* list = view->list();
    for (int width : {900, 200, 900}) {
        SCOPED_TRACE(width);
        view->resize(width, 500);
        ASSERT_TRUE(HangGuard::settled(view.get()));
        const int longRow = list->visualItemRect(list->item(0)).height();
        const int shortRow = list->visualItemRect(list->item(1)).height();
        EXPECT_EQ(longRow >= shortRow + list->fontMetrics().lineSpacing(), width < 900) << longRow << " " << shortRow;
    }
}

TEST_F(SongListTest, EmptyLibraryInvitesImports)
{
    build(Library{});
    EXPECT_TRUE(view->emptyState()->isVisible());
    EXPECT_EQ(view->emptyState()->title(), "No songs yet");
    EXPECT_EQ(view->emptyState()->description(), "Import ChordPro or text song files, or drop them here.");
    EXPECT_EQ(view->countLabel()->text(), "0 songs");
    type(" ");
    EXPECT_EQ(view->emptyState()->title(), "No matches") << "the untrimmed text decides";

    view->newSongButton()->click();
    EXPECT_EQ(view->countLabel()->text(), "1 song");
    EXPECT_FALSE(view->emptyState()->isVisible());
    panels->answer = std::nullopt;
    view->importButton()->click();
    EXPECT_EQ(panels->asked.size(), 1u);
}

TEST_F(SongListTest, SelectionDragAndDropsFollowTheModel)
{
    StoredSong one = storedSong("One"), two = storedSong("Two");
    build(libraryOf({one, two}));
    view->list()->setCurrentRow(1);
    EXPECT_EQ(model->selectedSongID(), two.id);
    model->setSelectedSongID(one.id);
    EXPECT_EQ(view->list()->currentRow(), 0);

    std::unique_ptr<QMimeData> dragged(view->list()->mimeData({view->list()->item(1)}));
    const QString payload = dragged->text();
    EXPECT_EQ(payload, QString::fromStdString(two.id.toString()));
    EXPECT_EQ(payload, payload.toUpper());
    EXPECT_EQ(payload.size(), 36);

    auto data = files({songFile("three.cho", "Three")});
    EXPECT_TRUE(drop(view->list(), {20, 20}, *data));
    EXPECT_EQ(rows(), (QStringList{"One", "Three", "Two"}));
}

TEST_F(SongListTest, RowMenuAddsToBooksAndAsksBeforeDeleting)
{
    StoredSong one = storedSong("One");
    build(libraryOf({one}));
    auto menu = view->songMenu(one);
    EXPECT_EQ(texts(*menu), (QStringList{"Add to", "-", "Delete Song…"}));
    EXPECT_EQ(menu->accessibleName(), "One") << "read by the song's title as it opens";
    EXPECT_FALSE(menu->actions().front()->isEnabled()) << "no books to add to";

    model->newBook(BookKind::book);
    model->newBook(BookKind::setList);
    menu = view->songMenu(one);
    QMenu* addTo = menu->actions().front()->menu();
    ASSERT_TRUE(menu->actions().front()->isEnabled());
    EXPECT_EQ(texts(*addTo), (QStringList{"New Songbook", "New Set List"}));
    action(*addTo, "New Set List")->trigger();
    action(*addTo, "New Set List")->trigger();
    EXPECT_EQ(model->library().books[1].entries.size(), 2u) << "a song may stand twice";
    model->changeLibrary([](Library& library) { library.books[0].name = "Rock & Roll"; });
    menu = view->songMenu(one);
    EXPECT_EQ(menu->actions().front()->menu()->actions().front()->iconText(), "Rock & Roll")
        << "an ampersand is shown, not taken for a shortcut key";

    action(*menu, "Delete Song…")->trigger();
    ASSERT_TRUE(model->pendingDelete().has_value());
    EXPECT_EQ(model->pendingDelete()->id, one.id);
    EXPECT_EQ(model->library().songs.size(), 1u) << "only the confirmation deletes";
}

// Qt's warnings while a test runs, one of which is a row asked for that is not there.
struct Warnings {
    Warnings()
    {
        heard = this;
        before = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg) heard->texts << text;
        });
    }
    ~Warnings()
    {
        qInstallMessageHandler(before);
        heard = nullptr;
    }

    static inline Warnings* heard = nullptr;
    QtMessageHandler before;
    QStringList texts;
};

TEST_F(SongListTest, DeletingFromALongLibraryTakesOutOneRowForReadersHoldingTheRows)
{
    installDesktopAccessible();
    constexpr int count = 1510;
    std::vector<StoredSong> songs;
    for (int i = 0; i < count; ++i) songs.push_back(storedSong("Song " + std::to_string(10000 + i)));
    const struct {
        int deleted;
        int selected;
    } rows[] = {{700, count - 1}, {count - 2, count - 2}, {0, 5}, {count - 1, count - 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.deleted);
        build(libraryOf(songs));
        Warnings warnings;
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view->list());
        ASSERT_EQ(list->childCount(), count);
        // A reader holds the rows it has read: the deleted one and those around it.
        const int after = std::min(row.deleted + 1, count - 1);
        QAccessibleInterface* held = list->child(after);
        const QString heldName = held->text(QAccessible::Name);
        model->setSelectedSongID(songs[std::size_t(row.selected)].id);
        model->deleteSong(songs[std::size_t(row.deleted)].id);
        QApplication::processEvents();
        EXPECT_EQ(list->childCount(), count - 1);
        // The rows after it stay the same rows, one place up.
        if (after != row.deleted) {
            EXPECT_TRUE(held->isValid());
            EXPECT_EQ(held->text(QAccessible::Name), heldName);
            EXPECT_EQ(list->indexOfChild(held), after - 1);
        }
        for (int i = 0; i < list->childCount(); ++i) ASSERT_NE(list->child(i), nullptr) << i;
        EXPECT_TRUE(warnings.texts.filter("Invalid index").isEmpty()) << warnings.texts.join("\n").toStdString();
    }
}

TEST_F(SongListTest, ShiftF10OpensTheCurrentSongsMenuAsTheMenuKeyDoes)
{
    StoredSong one = storedSong("One"), two = storedSong("Two");
    build(libraryOf({one, two}));
    view->list()->setFocus();
    view->list()->setCurrentRow(1);
    QStringList opened;
    QPoint where;
    QTimer::singleShot(0, view.get(), [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            opened = texts(*menu);
            where = menu->pos();
            menu->close();
        }
    });
    QTest::keyClick(view->list(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(opened, (QStringList{"Add to", "-", "Delete Song…"}));
    const QRect current = view->list()->visualItemRect(view->list()->item(1));
    EXPECT_EQ(where, view->list()->viewport()->mapToGlobal(current.center())) << "at the current song";

    opened.clear();
    QTest::keyClick(view->list(), Qt::Key_F10); // F10 alone is the desktop's, not a menu here
    EXPECT_TRUE(opened.isEmpty());
}

} // namespace
} // namespace LyricadeTest
