// The controller the application drives: its state reads, book-setting
// commands, the library import, selection helpers and writing at quit.

#include "Fakes.h"

#include "Lyricade/SongController.h"
#include "Lyricade/SongGlue.h"
#include "TunequillKit/Render/Renderer.h"

namespace LyricadeTest {
namespace {

using SongGlue::ImportError;

class ControllerTest : public ModelTest {
protected:
    SongController& makeController(bool persist = false, std::optional<Library> library = std::nullopt)
    {
        controller = std::make_unique<SongController>(recorder.host(), persist, std::move(library), services());
        return *controller;
    }

    // The sample library with its songbook selected.
    SongController& withBook()
    {
        SongController& c = makeController();
        c.selectBookKind(false);
        return c;
    }

    std::unique_ptr<SongController> controller;
};

TEST_F(ControllerTest, LyricSizeStepsStayWithinTheBookRange)
{
    SongController& c = withBook();
    struct Case {
        double start;
        void (SongController::*step)();
        double expected;
    };
    for (const Case& k : {Case{27, &SongController::bigger, 28}, Case{28, &SongController::bigger, 28},
                          Case{17, &SongController::smaller, 16}, Case{16, &SongController::smaller, 16}}) {
        c.updateSelectedBook([&](Songbook& b) { b.settings.fontSize = k.start; });
        (c.*k.step)();
        EXPECT_EQ(c.lyricSize(), k.expected) << k.start;
    }
    for (auto [preset, size] : std::vector<std::pair<double, double>>{{22.5, 23}, {22.49, 22}, {-3, 16}, {40, 28}}) {
        c.applyPresetSize(preset);
        EXPECT_EQ(c.lyricSize(), size) << preset;
    }
}

TEST_F(ControllerTest, BookSettingsNeedASelectedBook)
{
    SongController& c = makeController();
    c.model().setSelection(SidebarItem::allSongs());
    clock->advance(Milliseconds(1000));
    const Library before = c.library();
    QSignalSpy changes(&c.model(), &AppModel::libraryChanged);
    c.bigger();
    c.smaller();
    c.setTwoColumns(true);
    c.setNashville(true);
    c.applyPresetSize(20);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(c.library().books, before.books);
    EXPECT_FALSE(c.lyricSize());
    EXPECT_FALSE(c.twoColumns() || c.onePerPage() || c.nashville() || c.hasBook());
}

TEST_F(ControllerTest, BookTogglesWriteTheSelectedBook)
{
    SongController& c = withBook();
    c.updateSelectedBook([](Songbook& b) { b.settings.columns = 3; });
    EXPECT_FALSE(c.twoColumns()) << "two columns means exactly two";
    c.setTwoColumns(false);
    EXPECT_EQ(c.selectedBook()->settings.columns, 1);
    c.setTwoColumns(true);
    EXPECT_TRUE(c.twoColumns());
    c.setOnePerPage(false);
    EXPECT_EQ(c.selectedBook()->settings.flow, Flow::flowing);
    c.setOnePerPage(true);
    EXPECT_TRUE(c.onePerPage());
    c.setNashville(true);
    EXPECT_TRUE(c.nashville());
    EXPECT_TRUE(c.model().savePending() || !c.model().persist());
    EXPECT_TRUE(c.model().previewPending());
}

TEST_F(ControllerTest, TheTitleNamesTheBookElseTheSong)
{
    Library library;
    library.songs = {storedSong("", "[G]untitled\n"), storedSong("Named")};
    library.books = {Songbook(Uuid::random(), "Camp", BookKind::setList)};
    SongController& c = makeController(false, library);
    EXPECT_EQ(c.title(), "Untitled song");
    c.model().setSelectedSongID(library.songs[1].id);
    EXPECT_EQ(c.title(), "Named");
    c.model().setSelection(SidebarItem::book(library.books[0].id));
    EXPECT_EQ(c.title(), "Camp");
    c.model().setSelection(std::nullopt);
    c.model().setSelectedSongID(Uuid::random());
    EXPECT_EQ(c.title(), "");
    EXPECT_EQ(c.songCount(), 2);
    EXPECT_EQ(c.bookCount(), 1);
}

TEST_F(ControllerTest, StateFollowsTheModel)
{
    SongController& c = withBook();
    QSignalSpy changed(&c, &SongController::changed);
    EXPECT_FALSE(c.hasOutput());
    clock->runDue();
    EXPECT_TRUE(c.hasOutput());
    EXPECT_GT(c.previewPages(), 0);
    EXPECT_GT(changed.count(), 0);

    c.toggleBooklet();
    EXPECT_TRUE(c.showsBooklet());
    c.toggleBooklet();
    EXPECT_FALSE(c.showsBooklet());

    const int before = changed.count();
    c.setShowInspector(true);
    EXPECT_EQ(changed.count(), before) << "an unchanged value notifies nobody";
    c.setShowInspector(false);
    EXPECT_FALSE(c.showInspector());
    EXPECT_EQ(changed.count(), before + 1);

    c.addSongs();
    c.showLicensing();
    EXPECT_TRUE(c.model().addSongsShown());
    EXPECT_TRUE(c.model().licensingShown());
}

TEST_F(ControllerTest, BooksAreSelectedByNameAndKind)
{
    Library library = Samples::library();
    Songbook twin = library.books[0];
    twin.id = Uuid::random();
    library.books.push_back(twin);
    SongController& c = makeController(false, library);
    c.selectBookNamed(twin.name);
    EXPECT_EQ(c.selectedBook()->id, library.books[0].id) << "the first of two with one name";
    EXPECT_EQ(c.model().selectedEntryIDs(), std::set<Uuid>{library.books[0].entries[0].id});
    c.selectBookNamed("No such book");
    EXPECT_EQ(c.selectedBook()->id, library.books[0].id);
    c.selectBookKind(true);
    EXPECT_EQ(c.selectedBook()->kind, BookKind::setList);
}

TEST_F(ControllerTest, TheEarlierLibraryIsReadFromItsFile)
{
    SongController& c = makeController();
    const Library own = c.library();
    const auto path = std::filesystem::path(folder.path().toStdString()) / "library.json";

    auto kindOf = [&](const std::filesystem::path& at) -> std::optional<ImportError::Kind> {
        try {
            c.importTunequillLibrary(at);
        } catch (const ImportError& error) {
            return error.kind();
        }
        return std::nullopt;
    };
    EXPECT_EQ(kindOf(path), ImportError::Kind::unreadable);
    writeFile(path, "{\"name\": \"something else\"}");
    EXPECT_EQ(kindOf(path), ImportError::Kind::notALibrary);
    EXPECT_EQ(c.library().songs, own.songs) << "unchanged after a failure";

    writeFile(path, own.encode());
    const auto counts = c.importTunequillLibrary(path);
    EXPECT_EQ(counts.songs, 0);
    EXPECT_EQ(counts.books, 0);
    EXPECT_EQ(c.model().selection(), SidebarItem::allSongs());

    Library other;
    other.songs = {storedSong("Brand New")};
    const std::string json = other.encode();
    EXPECT_EQ(c.importTunequillLibrary(Platform::Bytes(json.begin(), json.end())).songs, 1);
}

TEST_F(ControllerTest, ConfigureNamesTheProductInMessagesAndPdfs)
{
    SongController::configure("Brandy");
    EXPECT_EQ(brandName(), "Brandy");
    EXPECT_EQ(KitBrand::name, "Brandy");
    AppModel& m = make(false, Library{});
    m.importFiles({std::filesystem::path(folder.path().toStdString()) / "nothing.cho"});
    EXPECT_TRUE(m.error()->contains("Brandy reads ChordPro files"));
    SongController::configure("Folmira");
}

TEST_F(ControllerTest, AFailedWriteAtQuitGoesToStandardErrorToo)
{
    writeFile(dataFolder() / "Songbooks", "in the way");
    SongController& c = makeController(true);
    c.model().setError(std::nullopt);
    testing::internal::CaptureStderr();
    c.writeLibrary();
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(c.model().error());
    EXPECT_NE(err.find(c.model().error()->toStdString()), std::string::npos) << err;
}

TEST_F(ControllerTest, ShowcaseScenesStageTheSamples)
{
    SongController& c = makeController();
    c.showcase("song");
    EXPECT_EQ(c.model().selection(), SidebarItem::allSongs());
    EXPECT_EQ(c.title(), "Shall We Gather at the River");
    c.showcase("booklet");
    EXPECT_EQ(c.selectedBook()->kind, BookKind::book);
    EXPECT_TRUE(c.showsBooklet());
    EXPECT_EQ(c.model().previewPageRequest(), 1);
    c.showcase("bigprint");
    EXPECT_EQ(c.selectedBook()->kind, BookKind::setList);
    EXPECT_EQ(c.lyricSize(), 28);
    c.showcase("twocolumn");
    EXPECT_TRUE(c.twoColumns() && c.nashville() && !c.onePerPage());
    EXPECT_EQ(c.lyricSize(), 16);
    c.showcase("setlist");
    EXPECT_EQ(c.model().previewPageRequest(), 0);
}

} // namespace
} // namespace LyricadeTest
