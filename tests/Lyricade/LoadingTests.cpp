// Loading and saving the library, the debounced save, the parse cache and the
// notification rules of the model's fields.

#include "Fakes.h"

#include "TunequillKit/Layout/Fonts.h"
#include "tests/FileSizeLimit.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

namespace LyricadeTest {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> sampleTitles(const Library& library)
{
    std::vector<std::string> titles;
    for (const auto& song : library.songs) titles.push_back(song.song().title);
    return titles;
}

TEST_F(ModelTest, FirstStartWritesTheSamplesSortedAndPreviewsTheFirstSong)
{
    AppModel& m = make();
    ASSERT_TRUE(fs::exists(libraryPath()));
    EXPECT_EQ(sampleTitles(m.library()), sampleTitles(Samples::library()));

    const std::string json = readFile(libraryPath());
    EXPECT_NE(json.find("\n  "), std::string::npos) << "pretty-printed";
    const auto parsed = nlohmann::ordered_json::parse(json);
    std::vector<std::string> keys;
    for (const auto& item : parsed.items()) keys.push_back(item.key());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_EQ(Library::decode(json).songs, m.library().songs);

    ASSERT_TRUE(m.selectedSongID());
    EXPECT_EQ(*m.selectedSongID(), m.library().songs.front().id);
    EXPECT_EQ(m.selection(), SidebarItem::allSongs());
    EXPECT_TRUE(m.previewPending());
    EXPECT_FALSE(m.previewPDF());
    clock->runDue();
    EXPECT_TRUE(m.previewPDF());
    EXPECT_GT(m.previewPages(), 0);
}

TEST_F(ModelTest, AStoredLibraryIsLoadedAndNotRewritten)
{
    Library stored;
    stored.songs.push_back(storedSong("Only Song"));
    writeFile(libraryPath(), stored.encode());
    const auto before = fs::last_write_time(libraryPath());

    AppModel& m = make();
    EXPECT_EQ(m.library().songs, stored.songs);
    EXPECT_EQ(m.selectedSongID(), stored.songs.front().id);
    EXPECT_EQ(fs::last_write_time(libraryPath()), before);
    EXPECT_FALSE(m.savePending());
}

TEST_F(ModelTest, ADamagedLibraryShowsTheSamplesAndIsMovedAsideBeforeTheFirstSave)
{
    const std::string damaged = "{\"songs\": [ {\"id\": \"not closed";
    writeFile(libraryPath(), damaged);

    AppModel& m = make();
    EXPECT_EQ(sampleTitles(m.library()), sampleTitles(Samples::library()));
    EXPECT_EQ(readFile(libraryPath()), damaged) << "loading leaves the file alone";
    EXPECT_FALSE(m.error());

    m.changeLibrary([](Library& library) { library.songs.pop_back(); });
    clock->advance(AppModel::saveDelay);

    std::vector<fs::path> aside;
    for (const auto& item : fs::directory_iterator(libraryPath().parent_path()))
        if (item.path().filename().string().starts_with("library.unreadable-")) aside.push_back(item.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(aside.front().extension(), ".json");
    EXPECT_EQ(readFile(aside.front()), damaged);
    EXPECT_EQ(Library::decode(readFile(libraryPath())).songs, m.library().songs);

    // Once the new library is on disk, later saves simply replace it.
    m.changeLibrary([](Library&) {});
    clock->advance(AppModel::saveDelay);
    int kept = 0;
    for (const auto& item : fs::directory_iterator(libraryPath().parent_path()))
        kept += item.path().filename().string().starts_with("library.unreadable-");
    EXPECT_EQ(kept, 1);
}

// The library kept in a synced folder: Songbooks/library.json is a link to
// ../../cloud/library.json, relative, as the user made it.
std::filesystem::path linkIntoCloud(const std::filesystem::path& libraryPath)
{
    const auto cloud = libraryPath.parent_path().parent_path().parent_path() / "cloud";
    std::filesystem::create_directories(cloud);
    std::filesystem::create_directories(libraryPath.parent_path());
    std::filesystem::create_symlink("../../cloud/library.json", libraryPath);
    return cloud / "library.json";
}

std::vector<std::string> setAsideIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder))
        if (item.path().filename().string().starts_with("library.unreadable-")) names.push_back(item.path().string());
    return names;
}

TEST_F(ModelTest, ALinkToALibraryNotThereYetIsWrittenThroughAndKept)
{
    const fs::path linked = linkIntoCloud(libraryPath());
    ASSERT_FALSE(fs::exists(linked));

    // No library yet: the samples, written at once into the file the link names.
    AppModel& m = make();
    EXPECT_EQ(sampleTitles(m.library()), sampleTitles(Samples::library()));
    EXPECT_FALSE(m.error());
    ASSERT_TRUE(fs::is_symlink(libraryPath()));
    EXPECT_EQ(fs::read_symlink(libraryPath()), "../../cloud/library.json");
    ASSERT_TRUE(fs::is_regular_file(linked));
    EXPECT_EQ(Library::decode(readFile(linked)).songs, m.library().songs);

    // A new song goes there too, and nothing is set aside.
    m.changeLibrary([](Library& library) { library.songs.push_back(storedSong("Made Here")); });
    clock->advance(AppModel::saveDelay);
    EXPECT_FALSE(m.error());
    EXPECT_TRUE(fs::is_symlink(libraryPath()));
    EXPECT_EQ(Library::decode(readFile(linked)).songs, m.library().songs);
    EXPECT_TRUE(setAsideIn(libraryPath().parent_path()).empty());
    EXPECT_TRUE(setAsideIn(linked.parent_path()).empty());

    // The next start reads it through the link.
    const auto songs = m.library().songs;
    EXPECT_EQ(make().library().songs, songs);
}

TEST_F(ModelTest, ADamagedLibraryBehindALinkIsSetAsideBesideItAndTheLinkStays)
{
    const fs::path linked = linkIntoCloud(libraryPath());
    const std::string damaged = "{\"songs\": [";
    writeFile(linked, damaged);

    AppModel& m = make();
    EXPECT_EQ(sampleTitles(m.library()), sampleTitles(Samples::library()));
    EXPECT_EQ(readFile(linked), damaged);
    m.changeLibrary([](Library& library) { library.songs.pop_back(); });
    clock->advance(AppModel::saveDelay);

    EXPECT_FALSE(m.error());
    EXPECT_TRUE(fs::is_symlink(libraryPath()));
    const auto aside = setAsideIn(linked.parent_path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(aside.front()), damaged);
    EXPECT_EQ(Library::decode(readFile(linked)).songs, m.library().songs);
    EXPECT_TRUE(setAsideIn(libraryPath().parent_path()).empty());
}

// library.json made by hand as a link to the user's music folder, or to a
// named pipe, or as either itself: never read, renamed or written over.
TEST_F(ModelTest, ALibraryThatIsNoFileIsRefusedAndLeftAsItIs)
{
    struct Case {
        const char* name;
        bool link, folder;
        const char* says;
    };
    const Case cases[] = {
        {"link to folder", true, true, "is a link to a folder, not to a file."},
        {"link to pipe", true, false, "is a link to a named pipe, not to a file."},
        {"folder", false, true, "is a folder, not a file."},
        {"pipe", false, false, "is a named pipe, not a file."},
    };
    for (const Case& c : cases) {
        fs::remove_all(dataFolder());
        fs::create_directories(libraryPath().parent_path());
        const fs::path target = c.link ? dataFolder() / "Music" : libraryPath();
        if (c.folder) writeFile(target / "Song.cho", "{title: Mine}");
        else ASSERT_EQ(mkfifo(target.c_str(), 0600), 0) << c.name;
        if (c.link) fs::create_symlink(target, libraryPath());

        AppModel& m = make();
        EXPECT_EQ(sampleTitles(m.library()), sampleTitles(Samples::library())) << c.name;
        ASSERT_TRUE(m.error()) << c.name;
        EXPECT_TRUE(m.error()->contains(QString::fromStdString(libraryPath().string()) + "” " + c.says))
            << m.error()->toStdString();
        m.setError(std::nullopt);
        m.changeLibrary([](Library& library) { library.songs.pop_back(); });
        clock->advance(AppModel::saveDelay);
        EXPECT_FALSE(m.saveLibrary()) << c.name;
        EXPECT_FALSE(m.error()) << "said once: " << c.name;

        EXPECT_EQ(fs::is_symlink(libraryPath()), c.link) << c.name;
        if (c.folder) {
            EXPECT_EQ(readFile(target / "Song.cho"), "{title: Mine}") << c.name;
        }
        EXPECT_EQ(fs::status(target).type(), c.folder ? fs::file_type::directory : fs::file_type::fifo) << c.name;
        EXPECT_TRUE(setAsideIn(libraryPath().parent_path()).empty()) << c.name;
        EXPECT_TRUE(setAsideIn(dataFolder()).empty()) << c.name;
    }
}

// Only a file is moved aside, even when a folder took the damaged file's place since the start.
TEST_F(ModelTest, AFolderThatTookADamagedLibrarysPlaceIsNotSetAside)
{
    writeFile(libraryPath(), "{\"songs\": [");
    AppModel& m = make();
    fs::remove(libraryPath());
    writeFile(libraryPath() / "Song.cho", "{title: Mine}");
    m.changeLibrary([](Library& library) { library.songs.pop_back(); });
    clock->advance(AppModel::saveDelay);

    ASSERT_TRUE(m.error());
    EXPECT_TRUE(m.error()->contains("is a folder, not a file.")) << m.error()->toStdString();
    EXPECT_EQ(readFile(libraryPath() / "Song.cho"), "{title: Mine}");
    EXPECT_TRUE(setAsideIn(libraryPath().parent_path()).empty());
}

TEST_F(ModelTest, WithoutPersistNothingIsReadOrWritten)
{
    Library stored;
    stored.songs.push_back(storedSong("On Disk"));
    writeFile(libraryPath(), stored.encode());
    const std::string before = readFile(libraryPath());

    AppModel& m = make(false);
    EXPECT_EQ(sampleTitles(m.library()), sampleTitles(Samples::library()));
    m.changeLibrary([](Library& library) { library.songs.clear(); });
    EXPECT_FALSE(m.savePending());
    clock->advance(Milliseconds(5000));
    EXPECT_TRUE(m.saveLibrary());
    EXPECT_EQ(readFile(libraryPath()), before);
    EXPECT_FALSE(m.error());

    fs::remove_all(dataFolder());
    make(false);
    EXPECT_FALSE(fs::exists(dataFolder())) << "no file is created either";
}

TEST_F(ModelTest, ChangesCloserThanTheDelayAreWrittenOnce)
{
    AppModel& m = make();
    fs::remove(libraryPath());
    m.changeLibrary([](Library& library) { library.songs.pop_back(); });
    clock->advance(Milliseconds(300));
    m.changeLibrary([](Library& library) { library.songs.pop_back(); });
    clock->advance(Milliseconds(599));
    EXPECT_FALSE(fs::exists(libraryPath()));
    clock->advance(Milliseconds(1));
    ASSERT_TRUE(fs::exists(libraryPath()));
    EXPECT_EQ(Library::decode(readFile(libraryPath())).songs.size(), Samples::library().songs.size() - 2);
    fs::remove(libraryPath());
    clock->advance(Milliseconds(5000));
    EXPECT_FALSE(fs::exists(libraryPath())) << "one write only";
}

TEST_F(ModelTest, AFailedSaveSaysWhyAndWhereAndKeepsTheLibrary)
{
    const fs::path missing = dataFolder() / "gone" / "library.json";
    const QString library = QString::fromStdString(libraryPath().string());
    struct Case {
        const char* what;
        std::function<void()> setUp;
        QString reason; // empty: the system's own, whatever it is
        QString where;
    };
    const Case cases[] = {
        {"a file where the Songbooks folder should be",
         [&] { writeFile(dataFolder() / "Songbooks", "in the way"); }, {}, " (“" + library + "”)"},
        {"a link into a missing folder",
         [&] {
             fs::create_directories(libraryPath().parent_path());
             fs::create_symlink(missing, libraryPath());
         },
         "No such file or directory",
         " (“" + QString::fromStdString(missing.string()) + "”, where the link “" + library + "” leads)"},
    };
    const QString prefix = QStringLiteral("Couldn’t save your song library: ");
    for (const Case& c : cases) {
        fs::remove_all(dataFolder());
        c.setUp();
        AppModel& m = make();
        ASSERT_TRUE(m.error()) << c.what;
        const QString error = *m.error();
        EXPECT_TRUE(error.startsWith(prefix + c.reason)) << c.what << ": " << error.toStdString();
        EXPECT_TRUE(error.endsWith(c.where)) << c.what << ": " << error.toStdString();
        EXPECT_GT(error.size(), (prefix + c.where).size()) << c.what << ": a reason too";
        EXPECT_FALSE(m.library().songs.empty()) << c.what;
        EXPECT_FALSE(m.saveLibrary()) << c.what;
    }
}

TEST_F(ModelTest, ASaveThatFailsPartWayKeepsTheOldFileAndGivesTheReason)
{
    AppModel& m = make();
    const std::string before = readFile(libraryPath());
    m.changeLibrary([](Library& library) { library.songs.push_back(storedSong("Long", std::string(200000, 'x'))); });
    {
        FileSizeLimit limit(100000);
        clock->advance(AppModel::saveDelay);
    }
    EXPECT_EQ(readFile(libraryPath()), before);
    EXPECT_EQ(m.error(), QStringLiteral("Couldn’t save your song library: File too large (“%1”)")
                             .arg(QString::fromStdString(libraryPath().string())));
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(libraryPath().parent_path()))
        names.push_back(item.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"library.json"}) << "no temporary file left behind";
}

TEST_F(ModelTest, RepeatedIdsAreRenewedOnLoadAndWrittenByTheNextSave)
{
    Library stored;
    stored.songs = {storedSong("First"), storedSong("Second")};
    stored.songs[1].id = stored.songs[0].id;
    const SongEntry entry = entryFor(stored.songs[0]);
    stored.books = {Songbook(Uuid::random(), "One", BookKind::book, {entry, entry}),
                    Songbook(Uuid::random(), "Two", BookKind::setList, {entryFor(stored.songs[0])})};
    stored.books[1].id = stored.books[0].id;
    writeFile(libraryPath(), stored.encode());

    AppModel& m = make();
    const Library& library = m.library();
    ASSERT_EQ(library.songs.size(), 2u);
    EXPECT_EQ(library.songs[0].id, stored.songs[0].id) << "the first keeps its id";
    EXPECT_NE(library.songs[1].id, library.songs[0].id);
    EXPECT_EQ(m.song(library.songs[0].id)->title, "First");
    EXPECT_EQ(m.song(library.songs[1].id)->title, "Second");
    EXPECT_NE(library.books[1].id, library.books[0].id);
    EXPECT_NE(library.books[0].entries[1].id, library.books[0].entries[0].id);
    for (const Songbook& book : library.books)
        for (const SongEntry& e : book.entries) EXPECT_EQ(e.songID, library.songs[0].id) << "entries keep the first";
    m.setSelection(SidebarItem::book(library.books[1].id));
    EXPECT_EQ(m.selectedBook()->name, "Two");

    m.updateSource(library.songs[1].id, "{title: Second, edited}\n");
    EXPECT_EQ(m.song(library.songs[0].id)->title, "First");
    m.deleteSong(library.songs[1].id);
    ASSERT_EQ(library.songs.size(), 1u);
    EXPECT_EQ(library.songs[0].id, stored.songs[0].id);
    EXPECT_EQ(library.books[0].entries.size(), 2u);

    clock->advance(AppModel::saveDelay);
    const Library saved = Library::decode(readFile(libraryPath()));
    EXPECT_EQ(saved.songs, library.songs);
    EXPECT_EQ(saved.books, library.books);
}

TEST_F(ModelTest, EveryWriteOfTheLibraryNotifiesAndSchedulesEvenWhenEqual)
{
    AppModel& m = make();
    clock->runDue();
    QSignalSpy changed(&m, &AppModel::libraryChanged);
    m.setLibrary(m.library());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(m.savePending());
    EXPECT_TRUE(m.previewPending());
    m.changeLibrary([](Library&) {});
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(ModelTest, FieldsNotifyOnlyOnARealChange)
{
    AppModel& m = make(false);
    clock->runDue();
    struct Case {
        const char* name;
        void (AppModel::*signal)();
        std::function<void()> write;
        int expected;
    };
    const Uuid id = m.library().songs.back().id;
    const std::vector<Case> cases = {
        {"selection same", &AppModel::selectionChanged, [&] { m.setSelection(SidebarItem::allSongs()); }, 0},
        {"selection none", &AppModel::selectionChanged, [&] { m.setSelection(std::nullopt); }, 1},
        {"song same", &AppModel::selectedSongIDChanged, [&] { m.setSelectedSongID(m.selectedSongID()); }, 0},
        {"song other", &AppModel::selectedSongIDChanged, [&] { m.setSelectedSongID(id); }, 1},
        {"entries", &AppModel::selectedEntryIDsChanged, [&] { m.setSelectedEntryIDs({id}); m.setSelectedEntryIDs({id}); }, 1},
        {"search", &AppModel::searchChanged, [&] { m.setSearch("a"); m.setSearch("a"); }, 1},
        {"mode same", &AppModel::previewModeChanged, [&] { m.setPreviewMode(PreviewMode::pages); }, 0},
        {"sheet", &AppModel::bookletSheetChanged, [&] { m.setBookletSheet(AppModel::Sheet::a4); m.setBookletSheet(AppModel::Sheet::a4); }, 1},
        {"transpose", &AppModel::editorTransposeChanged, [&] { m.setEditorTranspose(2); m.setEditorTranspose(2); }, 1},
        {"inspector same", &AppModel::showInspectorChanged, [&] { m.setShowInspector(true); }, 0},
        {"error", &AppModel::errorChanged, [&] { m.setError(QStringLiteral("x")); m.setError(QStringLiteral("x")); }, 1},
        {"page request", &AppModel::previewPageRequestChanged, [&] { m.setPreviewPageRequest(1); m.setPreviewPageRequest(1); }, 1},
        {"sheets", &AppModel::addSongsShownChanged, [&] { m.setAddSongsShown(true); m.setAddSongsShown(true); }, 1},
        {"licensing", &AppModel::licensingShownChanged, [&] { m.setLicensingShown(false); }, 0},
        {"pending", &AppModel::pendingDeleteChanged, [&] { m.setPendingDelete(m.library().songs[0]); m.setPendingDelete(m.library().songs[0]); }, 1},
        {"style same", &AppModel::styleChanged, [&] { m.applyStyle(m.style()); }, 0},
    };
    for (const Case& c : cases) {
        QSignalSpy spy(&m, c.signal);
        c.write();
        EXPECT_EQ(spy.count(), c.expected) << c.name;
    }
}

TEST_F(ModelTest, PreviewRequestsFollowTheFieldRules)
{
    AppModel& m = make(false);
    clock->runDue();
    struct Case {
        const char* name;
        std::function<void()> write;
        bool pending;
        bool immediate;
    };
    const std::vector<Case> cases = {
        {"unchanged selection", [&] { m.setSelection(m.selection()); }, false, false},
        {"unchanged mode", [&] { m.setPreviewMode(m.previewMode()); }, true, true},
        {"unchanged sheet", [&] { m.setBookletSheet(m.bookletSheet()); }, true, true},
        {"unchanged transpose", [&] { m.setEditorTranspose(m.editorTranspose()); }, true, false},
        {"search", [&] { m.setSearch("hymn"); }, false, false},
        {"new style", [&] { m.applyStyle(SongStyle{std::nullopt, "Verdana", true, PageSize::a4}); }, true, true},
        {"library", [&] { m.changeLibrary([](Library&) {}); }, true, false},
    };
    for (const Case& c : cases) {
        clock->advance(Milliseconds(10000));
        c.write();
        EXPECT_EQ(m.previewPending(), c.pending) << c.name;
        if (!c.pending) continue;
        clock->runDue();
        EXPECT_EQ(!m.previewPending(), c.immediate) << c.name;
    }
}

TEST_F(ModelTest, ANewStyleSetsTheEngineFaces)
{
    AppModel& m = make(false);
    const std::vector<std::string> faces = {"A-Regular", "A-Bold", "A-Italic", "A-BoldItalic"};
    m.applyStyle(SongStyle{faces, "A", false, PageSize::letter});
    ASSERT_TRUE(Fonts::sansFaces);
    EXPECT_EQ(*Fonts::sansFaces, faces);
    m.applyStyle(SongStyle{});
    EXPECT_FALSE(Fonts::sansFaces);
}

TEST_F(ModelTest, TheParseCacheFollowsTheSource)
{
    AppModel& m = make(false);
    EXPECT_EQ(m.song(Uuid::random()), nullptr);
    EXPECT_TRUE(m.parsed().empty());

    const Uuid id = m.library().songs.front().id;
    auto first = m.song(id);
    ASSERT_TRUE(first);
    EXPECT_EQ(m.song(id), first) << "same source, same parse";
    m.changeLibrary([&](Library& library) { library.songs.front().source = "{title: Renamed}\n"; });
    auto second = m.song(id);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->title, "Renamed");
    EXPECT_EQ(m.parsed().at(id).source, "{title: Renamed}\n");
}

TEST_F(ModelTest, AnEmptyLibrarySelectsNoSongAndClearsThePreview)
{
    AppModel& m = make(false, Library{});
    EXPECT_FALSE(m.selectedSongID());
    clock->runDue();
    EXPECT_FALSE(m.previewPDF());
    EXPECT_EQ(m.previewPages(), 0);
}

} // namespace
} // namespace LyricadeTest
