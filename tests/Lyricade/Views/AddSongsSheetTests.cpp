// The add-songs sheet: what it offers, the tick order, and what Add, Cancel,
// Return and Escape do.

#include "ViewFixture.h"

#include "Lyricade/Views/AddSongsSheet.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QLayout>
#include <QScrollBar>
#include <QTest>

namespace LyricadeTest {
namespace {

class AddSongsTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        songs = {storedSong("Cedar"), storedSong("Aspen"), storedSong("Birch"), storedSong("Song 10"),
                 storedSong("Song 2"), storedSong("River Song"), storedSong("Down by the riverside"),
                 storedSong("Plain", "{artist: River Band}\nRiver in the first line\n")};
        Songbook book(Uuid::random(), "Camp", BookKind::setList, {entryFor(songs[0])});
        make(false, libraryOf(songs, {book}));
        model->setSelection(SidebarItem::book(book.id));
        model->setAddSongsShown(true);
        sheet = std::make_unique<AddSongsSheet>(*model);
        sheet->show();
    }

    QListWidgetItem* item(const QString& title) const
    {
        const auto found = sheet->list()->findItems(title, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.front();
    }

    void tick(const QString& title, bool on = true) { item(title)->setCheckState(on ? Qt::Checked : Qt::Unchecked); }
    int place(const QString& title) const { return item(title)->data(AddSongsSheet::placeRole).toInt(); }

    QStringList shown() const
    {
        QStringList out;
        for (int i = 0; i < sheet->list()->count(); ++i) out << sheet->list()->item(i)->text();
        return out;
    }

    std::vector<Uuid> bookSongs() const
    {
        std::vector<Uuid> out;
        for (const SongEntry& e : model->library().books[0].entries) out.push_back(e.songID);
        return out;
    }

    std::vector<StoredSong> songs;
    std::unique_ptr<AddSongsSheet> sheet;
};

TEST_F(AddSongsTest, OffersTheLibraryByTitleAndMarksSongsInTheBook)
{
    EXPECT_EQ(sheet->size(), QSize(460, 460));
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->titleLabel()->text(), "Add songs to “Camp”");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(sheet.get())->text(QAccessible::Name), "Add songs to “Camp”");
    EXPECT_EQ(sheet->searchField()->placeholderText(), "Search");
    EXPECT_EQ(shown(), (QStringList{"Aspen", "Birch", "Cedar", "Down by the riverside", "Plain", "River Song",
                                    "Song 2", "Song 10"}));
    EXPECT_TRUE(item("Cedar")->data(AddSongsSheet::inBookRole).toBool());
    EXPECT_EQ(item("Cedar")->data(Qt::AccessibleTextRole).toString(), "Cedar, already in this book");
    EXPECT_FALSE(item("Aspen")->data(AddSongsSheet::inBookRole).toBool());

    sheet->searchField()->setText("RIVER");
    EXPECT_EQ(shown(), (QStringList{"Down by the riverside", "River Song"})) << "titles only";
    sheet->searchField()->setText(" ");
    EXPECT_EQ(shown(), (QStringList{"Down by the riverside", "River Song", "Song 2", "Song 10"}))
        << "a space is searched for as it stands";
}

TEST_F(AddSongsTest, TickOrderIsTheOrderAdded)
{
    EXPECT_EQ(sheet->hintLabel()->text(), "Tick songs in the order you want them.");
    EXPECT_FALSE(sheet->addButton()->isEnabled());
    tick("Cedar");
    tick("Aspen");
    tick("Birch");
    EXPECT_EQ((std::vector<int>{place("Cedar"), place("Aspen"), place("Birch")}), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(sheet->hintLabel()->text(), "3 to add");
    tick("Aspen", false);
    EXPECT_EQ((std::vector<int>{place("Cedar"), place("Aspen"), place("Birch")}), (std::vector<int>{1, 0, 2}));

    sheet->searchField()->setText("song");
    tick("Song 2");
    sheet->searchField()->clear();
    EXPECT_EQ(place("Song 2"), 3) << "ticks survive the search";
    EXPECT_EQ(sheet->hintLabel()->text(), "3 to add");

    sheet->addButton()->click();
    EXPECT_EQ(bookSongs(), (std::vector<Uuid>{songs[0].id, songs[0].id, songs[2].id, songs[4].id}))
        << "Cedar, already in the book, is added again";
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(model->addSongsShown());
}

TEST_F(AddSongsTest, KeysTickAddAndCancel)
{
    sheet->list()->setFocus();
    sheet->list()->setCurrentRow(0);
    QTest::keyClick(sheet->list(), Qt::Key_Space);
    EXPECT_EQ(sheet->hintLabel()->text(), "1 to add");
    QTest::keyClick(sheet->list(), Qt::Key_Down);
    QTest::keyClick(sheet->list(), Qt::Key_Space);
    QTest::keyClick(sheet->list(), Qt::Key_Return);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(bookSongs(), (std::vector<Uuid>{songs[0].id, songs[1].id, songs[2].id}));

    model->setAddSongsShown(true);
    AddSongsSheet second(*model);
    second.show();
    EXPECT_TRUE(second.picked().empty()) << "every sheet starts afresh";
    second.list()->item(0)->setCheckState(Qt::Checked);
    QTest::keyClick(second.searchField(), Qt::Key_Escape);
    EXPECT_FALSE(second.isVisible());
    EXPECT_FALSE(model->addSongsShown());
    EXPECT_EQ(bookSongs().size(), 3u) << "Escape adds nothing";
}

TEST_F(AddSongsTest, LongTitlesWrapAndNothingScrollsAcross)
{
    const QString longTitle = "Down in the Valley to Pray (As I Went Down in the River to Pray)";
    const StoredSong long_ = storedSong(longTitle.toStdString());
    Songbook book(Uuid::random(), "The Wednesday Evening Choir of the Whole Valley", BookKind::setList, {});
    make(false, libraryOf({long_, songs[0]}, {book}));
    model->setSelection(SidebarItem::book(book.id));
    model->setAddSongsShown(true);
    AddSongsSheet wide(*model);
    wide.show();
    ASSERT_TRUE(HangGuard::settled(&wide));
    QListWidget* list = wide.list();
    const auto found = list->findItems(longTitle, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    // The long title takes more lines than a short one, whole, at its end too.
    EXPECT_GT(list->visualItemRect(found.front()).height(), list->visualItemRect(list->item(0) == found.front() ? list->item(1) : list->item(0)).height());
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
    EXPECT_LE(wide.layout()->minimumSize().width(), wide.width()) << "the heading wraps";
}

TEST_F(AddSongsTest, WithoutABookAddOnlyCloses)
{
    tick("Aspen");
    model->setSelection(SidebarItem::allSongs());
    EXPECT_EQ(sheet->titleLabel()->text(), "Add songs to “”");
    EXPECT_FALSE(item("Cedar")->data(AddSongsSheet::inBookRole).toBool());
    sheet->addButton()->click();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(bookSongs().size(), 1u);
}

} // namespace
} // namespace LyricadeTest
