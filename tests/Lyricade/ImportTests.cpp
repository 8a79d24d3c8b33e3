// Importing song files and folders: what is read, in which order, where the
// songs go, and the sentences for what could not be read.

#include "Fakes.h"

#include <sys/stat.h>

namespace LyricadeTest {
namespace {

namespace fs = std::filesystem;

const std::string chordPro = "{title: Imported}\n[G]Hello\n";
const std::string undecodable = "\x81\x8d\x8f"; // bytes Windows-1252 leaves undefined, and no UTF-8

class ImportTest : public ModelTest {
protected:
    fs::path root() const { return fs::path(folder.path().toStdString()) / "songs"; }

    fs::path file(const std::string& name, const std::string& text = chordPro)
    {
        writeFile(root() / name, text);
        return root() / name;
    }

    std::vector<std::string> importedNames() const
    {
        std::vector<std::string> names;
        for (const auto& song : model->library().songs) names.push_back(song.fileName.value_or("-"));
        return names;
    }
};

TEST_F(ImportTest, FailuresAreNamedFiveAtMost)
{
    struct Case {
        int failures;
        QString expected;
    };
    const Case cases[] = {
        {7, "Couldn’t read a.cho, b.cho, c.cho, d.cho, e.cho +2. Folmira reads text song files."},
        {5, "Couldn’t read a.cho, b.cho, c.cho, d.cho, e.cho. Folmira reads text song files."},
        {1, "Couldn’t read a.cho. Folmira reads text song files."},
    };
    for (const Case& c : cases) {
        fs::remove_all(root());
        for (int i = 0; i < c.failures; ++i) file(std::string(1, char('a' + i)) + ".cho", undecodable);
        file("z.cho");
        AppModel& m = make(false, Library{});
        EXPECT_EQ(m.importFiles({root()}), 1);
        EXPECT_EQ(m.error(), c.expected);
        EXPECT_EQ(m.library().songs.size(), 1u) << "the readable file still comes in";
    }
}

TEST_F(ImportTest, FilesOfTwoMillionBytesOrMoreAreRefusedAsTooLarge)
{
    std::string body = "{title: Big}\n";
    const fs::path fits = file("fits.cho", body + std::string(1'999'999 - body.size(), 'x'));
    const fs::path over = file("over.cho", body + std::string(2'000'000 - body.size(), 'x'));
    // A text song of 8 MB, sparse so the test writes no 8 MB.
    const fs::path big = file("big8.txt", "Words\n");
    fs::resize_file(big, 8'000'000);
    const fs::path odd = file("odd.cho", undecodable);
    ASSERT_EQ(fs::file_size(fits), 1'999'999u);
    const QString tooLarge = " Folmira imports song files smaller than 2 MB.";
    struct Case {
        std::vector<fs::path> files;
        QString error;
    };
    const Case cases[] = {
        {{fits, over}, "Too large to import: over.cho." + tooLarge},
        {{fits, big}, "Too large to import: big8.txt." + tooLarge},
        {{fits, over, big, odd},
         "Couldn’t read odd.cho. Folmira reads text song files. Too large to import: over.cho, big8.txt." + tooLarge},
    };
    for (const Case& c : cases) {
        AppModel& m = make(false, Library{});
        EXPECT_EQ(m.importFiles(c.files), 1);
        EXPECT_EQ(importedNames(), std::vector<std::string>{"fits.cho"});
        EXPECT_EQ(m.error(), c.error);
    }
}

TEST_F(ImportTest, FoldersAreWalkedInNameOrderSkippingHiddenAndForeignFiles)
{
    file("b/Song 10.cho");
    file("a/Song 2.TXT", "Just words\n");
    file("Song 1.crd");
    file("notes.pdf", "%PDF-1.4");
    file(".hidden.cho");
    file(".secret/inside.cho");
    file("deep/er/Song 3.chopro", "[G]Words with [C]chords\n");
    AppModel& m = make(false, Library{});
    EXPECT_EQ(m.importFiles({root()}), 4);
    EXPECT_EQ(importedNames(), (std::vector<std::string>{"Song 1.crd", "Song 2.TXT", "Song 3.chopro", "Song 10.cho"}));
    EXPECT_FALSE(m.error());
    EXPECT_EQ(m.song(m.library().songs[2].id)->title, "Song 3") << "the file name is the fallback title";
    EXPECT_EQ(m.selectedSongID(), m.library().songs[0].id);
    EXPECT_EQ(announcer->said, QStringList{"Imported 4 songs"});
}

TEST_F(ImportTest, NothingToImportSaysWhatIsRead)
{
    const QString nothing = "No song files there. Folmira reads ChordPro files (.cho, .chopro, .chordpro, .crd, "
                            ".pro) and text files (.txt).";
    fs::create_directories(root() / "empty");
    const fs::path pdf = file("only.pdf", "%PDF-1.4");
    for (const auto& urls : {std::vector<fs::path>{root() / "empty"}, std::vector<fs::path>{pdf},
                             std::vector<fs::path>{root() / "missing.cho"}}) {
        AppModel& m = make(false, Library{});
        EXPECT_EQ(m.importFiles(urls), 0);
        EXPECT_EQ(m.error(), nothing);
        EXPECT_TRUE(announcer->said.isEmpty());
    }
}

TEST_F(ImportTest, ImportingIntoASelectedBookAppendsEntries)
{
    Library library;
    library.songs.push_back(storedSong("Old"));
    library.books.push_back(Songbook(Uuid::random(), "Camp", BookKind::book, {entryFor(library.songs[0])}));
    AppModel& m = make(false, library);
    m.setSelection(SidebarItem::book(library.books[0].id));
    const auto openSong = m.selectedSongID();
    QSignalSpy changes(&m, &AppModel::libraryChanged);

    EXPECT_EQ(m.importFiles({file("one.cho")}), 1);
    EXPECT_EQ(changes.count(), 2);
    const Songbook& book = m.library().books[0];
    ASSERT_EQ(book.entries.size(), 2u);
    EXPECT_EQ(book.entries[1].songID, m.library().songs.back().id);
    EXPECT_EQ(m.selection(), SidebarItem::book(book.id));
    EXPECT_EQ(m.selectedSongID(), openSong);
    EXPECT_EQ(announcer->said, QStringList{"Imported 1 song"});
}

TEST_F(ImportTest, OnlyRegularFilesAreRead)
{
    const fs::path fifo = root() / "pipe.txt";
    fs::create_directories(root());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(root() / "loop");
    fs::create_symlink(root(), root() / "loop" / "back");
    file("real.cho");
    AppModel& m = make(false, Library{});
    EXPECT_EQ(m.importFiles({root()}), 1) << "no hang on the FIFO, no loop through the link";
    EXPECT_EQ(m.error(), QStringLiteral("Couldn’t read pipe.txt. Folmira reads text song files."));
}

TEST_F(ImportTest, OnlySongFilesCountTowardTheFolderLimit)
{
    // Twice the limit of other files, sorting before the songs by name: a walk
    // that counted them would miss songs in almost any listing order. Hard
    // links to one file keep twenty thousand of them cheap.
    for (int i = 1; i <= 3; ++i) file("z" + std::to_string(i) + ".cho");
    const fs::path audio = file("a.mp3", "ID3");
    for (int i = 0; i < 2 * AppModel::folderFileLimit; ++i) fs::create_hard_link(audio, root() / ("a" + std::to_string(i) + ".mp3"));
    AppModel& m = make(false, Library{});
    EXPECT_EQ(m.importFiles({root()}), 3);
    EXPECT_EQ(importedNames(), (std::vector<std::string>{"z1.cho", "z2.cho", "z3.cho"}));
    EXPECT_FALSE(m.error());
}

TEST_F(ImportTest, AFolderWalkStopsAfterItsFileLimitAndSaysSo)
{
    // Links to one FIFO are song files to the walk but fail at once when read
    // (only regular files are), which keeps ten thousand of them cheap.
    fs::create_directories(root());
    const fs::path fifo = root() / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (int i = 0; i < AppModel::folderFileLimit + 5; ++i)
        fs::create_hard_link(fifo, root() / ("f" + std::to_string(i) + ".cho"));
    bool stopped = false;
    EXPECT_EQ(AppModel::importFolder(root(), &stopped).size(), static_cast<std::size_t>(AppModel::folderFileLimit));
    EXPECT_TRUE(stopped);

    AppModel& m = make(false, Library{});
    EXPECT_EQ(m.importFiles({root()}), 0);
    ASSERT_TRUE(m.error());
    EXPECT_TRUE(m.error()->endsWith(
        "Folmira reads text song files. The folder was too large to import whole: Folmira looks at no more than "
        "1,000,000 items and imports no more than 10,000 song files from one folder, so some were left out."))
        << m.error()->toStdString();

    fs::remove_all(root());
    file("one.cho");
    EXPECT_EQ(m.importFiles({root()}), 1);
    EXPECT_FALSE(AppModel::importFolder(root(), &stopped).empty());
    EXPECT_FALSE(stopped);
}

TEST_F(ImportTest, TheOpenPanelImportsWhatWasChosen)
{
    AppModel& m = make(false, Library{});
    m.chooseSongFiles();
    ASSERT_EQ(panels->asked.size(), 1u);
    EXPECT_EQ(panels->asked[0].message,
              "Choose song files (ChordPro .cho, .chopro, .crd, .pro, or chords-over-lyrics .txt) or a folder of them.");
    EXPECT_EQ(panels->asked[0].prompt, "Import");
    EXPECT_TRUE(panels->asked[0].filters.front().contains("*.chordpro"));
    EXPECT_TRUE(m.library().songs.empty()) << "cancelled";

    panels->answer = std::vector<fs::path>{file("x.pro")};
    m.chooseSongFiles();
    EXPECT_EQ(importedNames(), std::vector<std::string>{"x.pro"});
}

} // namespace
} // namespace LyricadeTest
