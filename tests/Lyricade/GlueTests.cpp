// The earlier application's library merged into this one, and the style
// conversions the application uses.

#include "Fakes.h"

#include "Lyricade/SongGlue.h"

namespace LyricadeTest {
namespace {

using SongGlue::ImportError;

Songbook bookWith(const std::string& name, std::vector<SongEntry> entries)
{
    return Songbook(Uuid::random(), name, BookKind::book, std::move(entries));
}

TEST(SongGlueTest, MergingTheLibraryIntoItselfAddsNothing)
{
    const Library current = Samples::library();
    const SongGlue::Merged merged = SongGlue::merge(current, current);
    EXPECT_EQ(merged.songsAdded, 0);
    EXPECT_EQ(merged.booksAdded, 0);
    EXPECT_EQ(merged.library.songs, current.songs);
    EXPECT_EQ(merged.library.books, current.books);
}

TEST(SongGlueTest, SongsAreMatchedByIdThenByText)
{
    Library current;
    current.songs = {storedSong("Kept"), storedSong("Other")};

    StoredSong sameId = current.songs[0];
    sameId.source = "{title: Rewritten}\n";
    StoredSong sameText = current.songs[1];
    sameText.id = Uuid::random();
    StoredSong composed = storedSong("Caf\u00e9");
    StoredSong decomposed = composed;
    decomposed.id = Uuid::random();
    decomposed.source = "{title: Cafe\u0301}\n[G]Hello [C]world\n";
    StoredSong twin = composed;
    twin.id = Uuid::random();
    StoredSong missing = storedSong("Not in the file");

    Library incoming;
    incoming.songs = {sameId, sameText, composed, decomposed, twin};
    incoming.books = {bookWith("Mixed", {entryFor(sameId, 2), entryFor(sameText), entryFor(decomposed), entryFor(twin),
                                         entryFor(missing)})};
    const SongGlue::Merged merged = SongGlue::merge(incoming, current);

    EXPECT_EQ(merged.songsAdded, 1) << "only the new text comes in, once";
    ASSERT_EQ(merged.library.songs.size(), 3u);
    EXPECT_EQ(merged.library.songs[0].source, current.songs[0].source) << "an id already there keeps its text";
    EXPECT_EQ(merged.library.songs[2], composed);
    EXPECT_EQ(merged.booksAdded, 1);
    const Songbook& book = merged.library.books.back();
    ASSERT_EQ(book.entries.size(), 4u) << "the entry of a song the file lacks is dropped";
    EXPECT_EQ(book.entries[0].songID, current.songs[0].id);
    EXPECT_EQ(book.entries[0].transpose, 2);
    EXPECT_EQ(book.entries[0].id, incoming.books[0].entries[0].id);
    EXPECT_EQ(book.entries[1].songID, current.songs[1].id);
    EXPECT_EQ(book.entries[2].songID, composed.id) << "canonically equal texts are one song";
    EXPECT_EQ(book.entries[3].songID, composed.id);
}

TEST(SongGlueTest, OneIdUsedTwiceInTheFileAddsOneSongAndOneBook)
{
    StoredSong first = storedSong("First");
    StoredSong clash = storedSong("Second");
    clash.id = first.id;
    Songbook book = bookWith("Twice", {entryFor(first)});
    Library incoming{{first, clash}, {book, book}};
    const SongGlue::Merged merged = SongGlue::merge(incoming, Library{});
    EXPECT_EQ(merged.songsAdded, 1);
    ASSERT_EQ(merged.library.songs.size(), 1u);
    EXPECT_EQ(merged.library.songs[0].source, first.source);
    EXPECT_EQ(merged.booksAdded, 1);
}

TEST(SongGlueTest, BooksAlreadyThereAreSkippedEvenWhenTheyDiffer)
{
    Library current;
    current.songs = {storedSong("A")};
    current.books = {bookWith("Mine", {entryFor(current.songs[0])})};
    Library incoming = current;
    incoming.books[0].name = "Renamed";
    incoming.books[0].entries.clear();
    incoming.books.push_back(bookWith("Orphans", {entryFor(storedSong("Gone"))}));
    const SongGlue::Merged merged = SongGlue::merge(incoming, current);
    EXPECT_EQ(merged.booksAdded, 1);
    ASSERT_EQ(merged.library.books.size(), 2u);
    EXPECT_EQ(merged.library.books[0], current.books[0]);
    EXPECT_EQ(merged.library.books[1].name, "Orphans");
    EXPECT_TRUE(merged.library.books[1].entries.empty());
}

TEST(SongGlueTest, DecodingRefusesWhatIsNoLibrary)
{
    const Library library = Samples::library();
    const std::string json = library.encode();
    EXPECT_EQ(SongGlue::decodeLibrary(Platform::Bytes(json.begin(), json.end())).songs, library.songs);
    for (const std::string bad : {"", "[1, 2]", "{\"songs\": 3}", "{\"songs\": [], \"books\": [{\"kind\": \"poem\"}]}"}) {
        try {
            SongGlue::decodeLibrary(Platform::Bytes(bad.begin(), bad.end()));
            ADD_FAILURE() << bad;
        } catch (const ImportError& error) {
            EXPECT_EQ(error.kind(), ImportError::Kind::notALibrary);
            EXPECT_STREQ(error.what(), "That file isn’t a Tunequill library (library.json).");
        }
    }
    EXPECT_STREQ(ImportError(ImportError::Kind::unreadable).what(), "That file couldn’t be read.");
}

TEST(SongGlueTest, StyleConversions)
{
    const std::vector<std::string> four = {"R", "B", "I", "BI"};
    EXPECT_FALSE(SongGlue::faces({"R", "B", "I"}, false));
    EXPECT_EQ(SongGlue::faces(four, false), four);
    EXPECT_EQ(SongGlue::faces(four, true), (std::vector<std::string>{"B", "B", "BI", "BI"}));

    const std::pair<double, double> sizes[] = {{12, 16}, {22.5, 23}, {22.49, 22}, {21.4, 21}, {40, 28}, {-3, 16}};
    for (auto [preset, size] : sizes) EXPECT_EQ(SongGlue::lyricSize(preset), size) << preset;

    EXPECT_EQ(SongGlue::pageSize("a4"), PageSize::a4);
    EXPECT_EQ(SongGlue::pageSize("halfLetter"), PageSize::halfLetter);
    EXPECT_EQ(SongGlue::pageSize("legal"), PageSize::letter);
    EXPECT_EQ(SongGlue::pageSize("A4"), PageSize::letter);

    BookSettings settings;
    settings.boldChorus = false;
    EXPECT_EQ(SongGlue::effective(settings, false), settings);
    const BookSettings strong = SongGlue::effective(settings, true);
    EXPECT_TRUE(strong.boldChorus);
    EXPECT_FALSE(strong.chordsInColor);
}

TEST(SongGlueTest, TheEarlierLibraryLivesInTheDataHome)
{
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/data/home");
    EXPECT_EQ(SongGlue::tunequillLibraryFolder(), std::filesystem::path("/data/home/Tunequill"));
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(SongGlue::tunequillLibraryFolder().parent_path().filename(), "share");
    if (!old.isNull()) qputenv("XDG_DATA_HOME", old);
}

TEST_F(ModelTest, ImportingALibrarySelectsTheFirstAddedBook)
{
    AppModel& m = make(false);
    const Library own = m.library();
    const auto counts = m.importLibrary(own);
    EXPECT_EQ(counts.songsAdded, 0);
    EXPECT_EQ(counts.booksAdded, 0);
    EXPECT_EQ(m.selection(), SidebarItem::allSongs());

    Library incoming;
    incoming.songs = {storedSong("New")};
    incoming.books = {bookWith("First", {entryFor(incoming.songs[0])}), bookWith("Second", {})};
    QSignalSpy changes(&m, &AppModel::libraryChanged);
    const auto added = m.importLibrary(incoming);
    EXPECT_EQ(added.songsAdded, 1);
    EXPECT_EQ(added.booksAdded, 2);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(m.selection(), SidebarItem::book(incoming.books[0].id));
}

} // namespace
} // namespace LyricadeTest
