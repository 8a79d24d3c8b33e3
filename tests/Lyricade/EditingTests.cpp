// Editing the library: entries of the selected book, transposition, new,
// copied and deleted books and songs, and the search list.

#include "Fakes.h"

namespace LyricadeTest {
namespace {

class EditingTest : public ModelTest {
protected:
    // Five songs "Song 1"… and one book holding them in order.
    AppModel& withBook(int songs = 5)
    {
        Library library;
        Songbook book(Uuid::random(), "Camp", BookKind::book);
        for (int i = 1; i <= songs; ++i) {
            library.songs.push_back(storedSong("Song " + std::to_string(i)));
            book.entries.push_back(entryFor(library.songs.back()));
        }
        library.books.push_back(book);
        AppModel& m = make(false, library);
        m.setSelection(SidebarItem::book(book.id));
        return m;
    }

    const Songbook& book() const { return model->library().books.front(); }

    std::vector<std::string> order() const
    {
        std::vector<std::string> titles;
        for (const SongEntry& entry : book().entries) titles.push_back(model->song(entry.songID)->title);
        return titles;
    }
};

TEST_F(EditingTest, EditorTranspositionWrapsIntoTheOctave)
{
    struct Case {
        int start, delta, expected;
    };
    AppModel& m = make(false);
    for (const Case& c : {Case{6, 1, -5}, Case{-5, -1, 6}, Case{2, 12, 2}, Case{0, 7, -5}, Case{0, -6, 6}, Case{3, 3, 6}}) {
        m.setEditorTranspose(c.start);
        clock->advance(Milliseconds(1000));
        QSignalSpy spy(&m, &AppModel::editorTransposeChanged);
        m.transpose(c.delta);
        EXPECT_EQ(m.editorTranspose(), c.expected) << c.start << " + " << c.delta;
        EXPECT_EQ(spy.count(), c.start == c.expected ? 0 : 1);
        EXPECT_TRUE(m.previewPending()) << "a refresh is asked for even when nothing moves";
    }
}

TEST_F(EditingTest, BookTranspositionMovesOnlySelectedEntries)
{
    AppModel& m = withBook(3);
    const Uuid first = book().entries[0].id;
    QSignalSpy changes(&m, &AppModel::libraryChanged);
    m.transpose(1);
    EXPECT_EQ(changes.count(), 0) << "no entry selected";

    m.setSelectedEntryIDs({first});
    m.transpose(6);
    m.transpose(1);
    EXPECT_EQ(book().entries[0].transpose, -5);
    EXPECT_EQ(book().entries[1].transpose, 0);
    m.transpose(12);
    EXPECT_EQ(book().entries[0].transpose, -5);
    EXPECT_EQ(changes.count(), 3);

    m.setSelection(std::nullopt);
    m.transpose(1);
    EXPECT_EQ(m.editorTranspose(), 0) << "the editor moves only under All Songs";
    EXPECT_EQ(changes.count(), 3);
}

TEST_F(EditingTest, ListMovesFollowTheOffsets)
{
    struct Case {
        std::set<std::size_t> from;
        std::size_t to;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {{0}, 2, {"Song 2", "Song 1", "Song 3", "Song 4", "Song 5"}},
        {{4}, 0, {"Song 5", "Song 1", "Song 2", "Song 3", "Song 4"}},
        {{0, 2}, 5, {"Song 2", "Song 4", "Song 5", "Song 1", "Song 3"}},
        {{1, 3}, 1, {"Song 1", "Song 2", "Song 4", "Song 3", "Song 5"}},
        {{3}, 3, {"Song 1", "Song 2", "Song 3", "Song 4", "Song 5"}},
    };
    for (const Case& c : cases) {
        withBook();
        model->moveEntries(c.from, c.to);
        EXPECT_EQ(order(), c.expected) << "to " << c.to;
    }
}

TEST_F(EditingTest, MovesByOneSwapWithANeighbourInsideTheBook)
{
    AppModel& m = withBook(3);
    m.setSelectedEntryIDs({book().entries[0].id});
    QSignalSpy changes(&m, &AppModel::libraryChanged);
    m.moveEntries(-1);
    EXPECT_EQ(changes.count(), 0);
    m.moveEntries(1);
    EXPECT_EQ(order(), (std::vector<std::string>{"Song 2", "Song 1", "Song 3"}));
    m.moveEntries(1);
    m.moveEntries(1);
    EXPECT_EQ(order(), (std::vector<std::string>{"Song 2", "Song 3", "Song 1"}));
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(EditingTest, RemovingEntriesClearsThemFromTheSelection)
{
    AppModel& m = withBook(3);
    const Uuid a = book().entries[0].id, c = book().entries[2].id;
    m.setSelectedEntryIDs({a, c});
    m.removeEntries({a});
    EXPECT_EQ(order(), (std::vector<std::string>{"Song 2", "Song 3"}));
    EXPECT_EQ(m.selectedEntryIDs(), std::set<Uuid>{c});
    m.setSelection(SidebarItem::allSongs());
    m.removeEntries({c});
    EXPECT_TRUE(m.selectedEntryIDs().empty()) << "even without a book";
    EXPECT_EQ(book().entries.size(), 2u);
}

TEST_F(EditingTest, AddingSongsKeepsRepeatsDropsUnknownIdsAndAnnounces)
{
    AppModel& m = withBook(2);
    const Uuid song = m.library().songs[0].id, bookID = book().id;
    QSignalSpy changes(&m, &AppModel::libraryChanged);
    m.addSongs({Uuid::random()}, Uuid::random());
    EXPECT_EQ(changes.count(), 0) << "no such book: nothing at all";
    m.addSongs({Uuid::random()}, bookID);
    EXPECT_EQ(changes.count(), 1) << "the library changes even when nothing was kept";
    EXPECT_TRUE(announcer->said.isEmpty());

    m.addSongs({song}, bookID);
    m.addSongs({song, Uuid::random(), song}, bookID);
    ASSERT_EQ(book().entries.size(), 5u);
    EXPECT_EQ(book().entries[2].songID, song);
    EXPECT_NE(book().entries[2].id, book().entries[0].id) << "a repeat is an entry of its own";
    EXPECT_EQ(book().entries[4].transpose, 0);
    EXPECT_FALSE(book().entries[4].capo);
    EXPECT_EQ(announcer->said, (QStringList{"Added 1 song to Camp", "Added 2 songs to Camp"}));
    EXPECT_EQ(m.statusText(), "Added 2 songs to Camp");
}

TEST_F(EditingTest, NewBooksAreNumberedByKindAndTakeTheStylePage)
{
    AppModel& m = make(false, Library{});
    m.applyStyle(SongStyle{std::nullopt, "Verdana", false, PageSize::a4});
    m.newBook(BookKind::setList);
    m.newBook(BookKind::setList);
    m.newBook(BookKind::book);
    m.newBook(BookKind::setList);
    std::vector<std::string> names;
    for (const auto& b : m.library().books) names.push_back(b.name);
    EXPECT_EQ(names, (std::vector<std::string>{"New Set List", "New Set List 2", "New Songbook", "New Set List 3"}));
    const Songbook& last = m.library().books.back();
    EXPECT_EQ(m.selection(), SidebarItem::book(last.id));
    EXPECT_EQ(last.settings.pageSize, PageSize::a4);
    BookSettings expected = BookSettings::forKind(BookKind::setList);
    expected.pageSize = PageSize::a4;
    EXPECT_EQ(last.settings, expected);
    EXPECT_TRUE(last.entries.empty());
}

TEST_F(EditingTest, DuplicatesCopyEntriesUnderNewIds)
{
    AppModel& m = withBook(2);
    m.changeLibrary([](Library& library) {
        library.books[0].entries[1].transpose = 3;
        library.books[0].entries[1].capo = 2;
        library.books[0].subtitle = "Lake";
    });
    const Songbook original = book();
    m.duplicateBook(original.id);
    m.duplicateBook(Uuid::random());
    ASSERT_EQ(m.library().books.size(), 2u);
    const Songbook& copy = m.library().books[1];
    EXPECT_EQ(copy.name, "Camp copy");
    EXPECT_NE(copy.id, original.id);
    EXPECT_EQ(copy.subtitle, "Lake");
    EXPECT_EQ(copy.settings, original.settings);
    ASSERT_EQ(copy.entries.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NE(copy.entries[i].id, original.entries[i].id);
        EXPECT_EQ(copy.entries[i].songID, original.entries[i].songID);
        EXPECT_EQ(copy.entries[i].transpose, original.entries[i].transpose);
        EXPECT_EQ(copy.entries[i].capo, original.entries[i].capo);
    }
    EXPECT_EQ(m.selection(), SidebarItem::book(copy.id));
}

TEST_F(EditingTest, DeletingTheSelectedBookSelectsAllSongs)
{
    AppModel& m = withBook(1);
    m.newBook(BookKind::book);
    const Uuid other = m.library().books.back().id, camp = book().id;
    m.setSelection(SidebarItem::book(camp));
    m.deleteBook(other);
    EXPECT_EQ(m.selection(), SidebarItem::book(camp));
    m.deleteBook(camp);
    EXPECT_EQ(m.selection(), SidebarItem::allSongs());
    EXPECT_TRUE(m.library().books.empty());
    EXPECT_EQ(m.library().songs.size(), 1u) << "the songs stay";
}

TEST_F(EditingTest, NewSongOpensTheTemplate)
{
    AppModel& m = withBook(1);
    m.setSearch("zzz");
    m.newSong();
    const StoredSong& song = m.library().songs.back();
    EXPECT_EQ(m.selection(), SidebarItem::allSongs());
    EXPECT_TRUE(m.search().isEmpty());
    EXPECT_EQ(m.selectedSongID(), song.id);
    EXPECT_FALSE(song.fileName);
    EXPECT_TRUE(song.source.starts_with("{title: New Song}\n{artist: }\n{key: G}\n\n{start_of_verse: Verse 1}\n"));
    EXPECT_TRUE(song.source.ends_with("{end_of_chorus}"));
    EXPECT_EQ(m.song(song.id)->title, "New Song");
}

TEST_F(EditingTest, UpdatingASourceToTheSameTextChangesNothing)
{
    AppModel& m = withBook(1);
    const StoredSong song = m.library().songs[0];
    QSignalSpy changes(&m, &AppModel::libraryChanged);
    m.updateSource(song.id, song.source);
    m.updateSource(Uuid::random(), "x");
    EXPECT_EQ(changes.count(), 0);
    m.updateSource(song.id, "{title: Changed}");
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(m.song(song.id)->title, "Changed");
}

TEST_F(EditingTest, TheSearchListMatchesTitleArtistsAndFirstLineInTitleOrder)
{
    Library library;
    library.songs = {
        storedSong("Song 10"),
        storedSong("Song 2", "{artist: Ada Lovelace}\n{artist: Bo}\n[G]Rolling river\n"),
        storedSong("", "[C]Quiet morning\n"),
        storedSong("alpha", "{subtitle: hidden words}\n[G]x\n"),
    };
    AppModel& m = make(false, library);
    auto titles = [&](const QString& search) {
        m.setSearch(search);
        std::vector<std::string> out;
        for (const auto& s : m.filteredSongs()) out.push_back(m.song(s.id)->displayTitle());
        return out;
    };
    EXPECT_EQ(titles(""), (std::vector<std::string>{"alpha", "Song 2", "Song 10", "Untitled song"}));
    EXPECT_EQ(titles(" \tSONG "), (std::vector<std::string>{"Song 2", "Song 10"}));
    EXPECT_EQ(titles("lovelace bo"), (std::vector<std::string>{"Song 2"}));
    EXPECT_EQ(titles("river"), (std::vector<std::string>{"Song 2"}));
    EXPECT_EQ(titles("quiet"), (std::vector<std::string>{"Untitled song"}));
    EXPECT_TRUE(titles("hidden").empty()) << "subtitles are not searched";
    EXPECT_TRUE(titles("song\n").empty()) << "line ends are not trimmed";
}

TEST_F(EditingTest, DeletingASongTakesItOutOfEveryBook)
{
    AppModel& m = withBook(3);
    m.duplicateBook(book().id);
    const Uuid doomed = m.library().songs[1].id;
    m.setSelectedSongID(doomed);
    m.setSearch("Song 3");
    ASSERT_EQ(m.booksContaining(doomed).size(), 2u);

    m.deleteSong(doomed);
    EXPECT_EQ(m.library().songs.size(), 2u);
    for (const Songbook& b : m.library().books) {
        EXPECT_EQ(b.entries.size(), 2u);
        for (const SongEntry& e : b.entries) EXPECT_NE(e.songID, doomed);
    }
    EXPECT_TRUE(m.booksContaining(doomed).empty());
    EXPECT_EQ(m.selectedSongID(), m.library().songs[1].id) << "the first song the search still lists";

    m.setSearch("nothing like it");
    m.deleteSong(*m.selectedSongID());
    EXPECT_FALSE(m.selectedSongID());
}

// The parse cache holds the songs of the library and no others, however
// many come and go, and the songs that stay are not parsed again.
TEST_F(EditingTest, SongsThatLeaveTheLibraryLeaveTheParseCache)
{
    AppModel& m = withBook(5);
    std::vector<std::shared_ptr<const Song>> kept;
    for (const StoredSong& stored : m.library().songs) kept.push_back(m.song(stored.id));
    ASSERT_EQ(m.parsed().size(), 5u);

    for (int i = 0; i < 300; ++i) {
        StoredSong added = storedSong("Passing " + std::to_string(i));
        m.changeLibrary([&](Library& library) { library.songs.push_back(added); });
        ASSERT_TRUE(m.song(added.id));
        m.deleteSong(added.id);
    }
    EXPECT_EQ(m.parsed().size(), 5u);
    for (std::size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(m.song(m.library().songs[i].id), kept[i]) << "song " << i + 1 << " still parsed once";

    // A library set whole drops the entries of the songs it no longer holds.
    Library fewer = m.library();
    const Uuid gone = fewer.songs.front().id;
    fewer.songs.erase(fewer.songs.begin());
    m.setLibrary(fewer);
    EXPECT_EQ(m.parsed().size(), 4u);
    EXPECT_FALSE(m.parsed().count(gone));
}

} // namespace
} // namespace LyricadeTest
