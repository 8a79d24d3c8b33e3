// The document model's bridge to the songbook side: the controller made on
// first use, the look it is handed, the hooks it calls back on, the
// mode-dependent questions and the import of the earlier library.

#include "../Fakes.h"

#include "Lyricade/SongGlue.h"
#include "TunequillKit/Library/Library.h"
#include "tests/HangGuardQt.h"

namespace FolmiraAppTest {
namespace {

using FolmiraKit::LargePrintFont;
using FolmiraKit::LargePrintPreset;
using Paper = LargePrintSettings::Paper;
using TunequillKit::PageSize;

class SongBridgeTest : public ModelTest {
protected:
    LargePrintSettings look(LargePrintFont font, bool highContrast, Paper paper)
    {
        auto settings = model->settings();
        settings.font = font;
        settings.highContrast = highContrast;
        settings.paper = paper;
        return settings;
    }

    // The songbook side with its songbook selected and its preview made.
    Lyricade::SongController& songsWithBook()
    {
        auto& songs = model->songs();
        songs.selectBookKind(false);
        EXPECT_TRUE(HangGuard::waitFor([&] { return songs.hasOutput(); }, 10000));
        return songs;
    }

    std::filesystem::path writeLibrary(const TunequillKit::Library& library, const QString& name = "library.json")
    {
        return file(name, library.encode());
    }
};

TEST_F(SongBridgeTest, TheDocumentLookBecomesTheSongbookLook)
{
    make(false);
    struct Case {
        LargePrintFont font;
        bool highContrast;
        Paper paper;
        std::vector<std::string> faces;
        std::string fontName;
        PageSize page;
    };
    const std::vector<Case> cases{
        {LargePrintFont::verdana, true, Paper::letter,
         {"Verdana-Bold", "Verdana-Bold", "Verdana-BoldItalic", "Verdana-BoldItalic"}, "Verdana", PageSize::letter},
        {LargePrintFont::atkinson, false, Paper::a4,
         {"AtkinsonHyperlegible-Regular", "AtkinsonHyperlegible-Bold", "AtkinsonHyperlegible-Italic",
          "AtkinsonHyperlegible-BoldItalic"},
         "Atkinson Hyperlegible", PageSize::a4},
        {LargePrintFont::helvetica, false, Paper::halfLetter,
         {"Helvetica", "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique"}, "Helvetica",
         PageSize::halfLetter},
        // The songbook has no legal page: Letter, not A4 and not a failure.
        {LargePrintFont::arial, false, Paper::legal, {"ArialMT", "Arial-BoldMT", "Arial-ItalicMT", "Arial-BoldItalicMT"},
         "Arial", PageSize::letter},
    };
    for (const auto& c : cases) {
        model->setSettings(look(c.font, c.highContrast, c.paper));
        const auto style = model->syncSongStyle();
        EXPECT_EQ(style.faces, c.faces) << c.fontName;
        EXPECT_EQ(style.fontName, c.fontName);
        EXPECT_EQ(style.highContrast, c.highContrast) << c.fontName;
        EXPECT_EQ(style.page, c.page) << c.fontName;
    }
}

TEST_F(SongBridgeTest, TheSongbookSideStartsOnFirstReadWithTheLookOfThatMoment)
{
    make(false);
    model->setSettings(look(LargePrintFont::verdana, true, Paper::a4));
    EXPECT_FALSE(model->songsStarted()) << "a settings change alone starts nothing";

    auto& songs = model->songs();
    EXPECT_TRUE(model->songsStarted());
    EXPECT_EQ(&songs, &model->songs()) << "the same controller on every read";
    EXPECT_EQ(songs.style(), model->syncSongStyle());
    EXPECT_EQ(songs.style().page, PageSize::a4);
    EXPECT_FALSE(songs.model().persist());

    // From now on every settings change reaches it.
    model->setSettings(look(LargePrintFont::arial, false, Paper::halfLetter));
    EXPECT_EQ(songs.style().fontName, "Arial");
    EXPECT_EQ(songs.style().page, PageSize::halfLetter);
    EXPECT_FALSE(songs.style().highContrast);
}

TEST_F(SongBridgeTest, APersistentModelGivesThePersistenceOnToTheSongbookSide)
{
    make(true);
    EXPECT_TRUE(model->songs().model().persist());
    EXPECT_TRUE(std::filesystem::exists(path("data") / "Songbooks" / "library.json"));
}

TEST_F(SongBridgeTest, TheHooksReachTheApplicationsSaveAndPrint)
{
    make(false);
    auto host = model->makeSongHost();
    const auto pdf = letterPdf(1);

    host.save(pdf, "Campfire", "Save the songbook as a PDF.");
    EXPECT_EQ(panels->saveNames, QStringList{"Campfire.pdf"});
    EXPECT_EQ(panels->saveMessages, QStringList{"Save the songbook as a PDF."});

    // Printed to a file, booklet sheets and pages alike are the job's own PDF.
    const auto pages = makePdf({{612, 792}, {306, 396}});
    for (const bool booklet : {true, false}) {
        panels->printTo = path(booklet ? "booklet.pdf" : "pages.pdf");
        host.print({pages, booklet ? "Campfire booklet" : "Campfire", booklet});
        EXPECT_EQ(panels->printedTitle, booklet ? "Campfire booklet" : "Campfire");
        EXPECT_EQ(readFile(*panels->printTo), std::string(pages.begin(), pages.end()));
    }
    ASSERT_EQ(panels->printPanels, 2);

    host.print({{'n', 'o', 'p', 'e'}, "Not a PDF", false});
    EXPECT_EQ(panels->printPanels, 2) << "bytes that are no PDF are dropped";
    EXPECT_TRUE(panels->alerts.isEmpty());

    host.setHighContrast(true);
    EXPECT_TRUE(model->settings().highContrast);
    host.setHighContrast(false);
    EXPECT_FALSE(model->settings().highContrast);
}

TEST_F(SongBridgeTest, BooksAreOfferedUnderPlainFileNames)
{
    // Book names are the user's and arrive in imported libraries too.
    make(false);
    model->setKind(DocKind::songbook);
    for (const bool setList : {false, true}) {
        auto& songs = model->songs();
        songs.selectBookKind(setList);
        ASSERT_TRUE(HangGuard::waitFor([&] { return songs.hasOutput(); }, 10000));
        const auto id = songs.selectedBook()->id;
        const std::pair<std::string, QString> cases[] = {
            {"Songs for \"Grace\" 2024", "Songs for 'Grace' 2024"},
            {"../../escape", "escape"},
            {".hidden", "hidden"},
            {"", "Untitled"},
            {"  ", "Untitled"},
        };
        for (const auto& [name, plain] : cases) {
            songs.model().changeLibrary([&](TunequillKit::Library& library) {
                for (auto& book : library.books)
                    if (book.id == id) book.name = name;
            });
            panels->saveNames.clear();
            songs.exportBook(false);
            songs.exportBook(true);
            EXPECT_EQ(panels->saveNames, QStringList({plain + ".pdf", plain + " \u2013 booklet.pdf"}))
                << name << (setList ? " (set list)" : "");
        }
    }
}

TEST_F(SongBridgeTest, HooksOfAModelThatIsGoneDoNothing)
{
    make(false);
    auto host = model->makeSongHost();
    model.reset();
    host.save(letterPdf(1), "Gone", "Message");
    host.print({letterPdf(1), "Gone", true});
    host.setHighContrast(true);
    EXPECT_TRUE(panels->saveNames.isEmpty());
    EXPECT_EQ(panels->printPanels, 0);
    EXPECT_EQ(host.presets().size(), 4u) << "the presets need no model";
}

TEST_F(SongBridgeTest, ThePresetsAreTheFourDocumentPresetsWithTheirSizes)
{
    const auto sizes = AppModel::presetSizes();
    const auto& presets = LargePrintPreset::all();
    ASSERT_EQ(sizes.size(), presets.size());
    const std::vector<std::pair<QString, double>> expected{
        {"Large print 18 pt", 18}, {"Extra large 24 pt", 24}, {"Recipe card", 20}, {"Hymn sheet / lyrics", 22}};
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(sizes[i].name, expected[i].first);
        EXPECT_EQ(sizes[i].size, expected[i].second);
    }
}

TEST_F(SongBridgeTest, OutputIsAskedOfTheModeShown)
{
    make(false);
    EXPECT_FALSE(model->hasOutput());
    EXPECT_FALSE(model->hasPrintableOutput());

    // A render whose bytes do not open as a PDF can be exported, not printed.
    engine->notPdf = true;
    model->open(file("Letter.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->result() != nullptr; }));
    EXPECT_TRUE(model->hasOutput());
    EXPECT_FALSE(model->hasPrintableOutput());

    model->setKind(DocKind::songbook);
    auto& songs = model->songs();
    songs.model().setSelection(std::nullopt);
    ASSERT_TRUE(HangGuard::waitFor([&] { return !songs.hasOutput(); }));
    EXPECT_FALSE(model->hasOutput()) << "the document's result does not count in Songbook mode";
    EXPECT_FALSE(model->hasPrintableOutput());
    songsWithBook();
    EXPECT_TRUE(model->hasOutput());
    EXPECT_TRUE(model->hasPrintableOutput());
}

TEST_F(SongBridgeTest, TheCurrentPresetAgainRendersNothing)
{
    make(false);
    openAndSettle(file("Letter.txt"));
    model->applyPreset(LargePrintPreset::largePrint());
    EXPECT_EQ(model->settings(), LargePrintPreset::largePrint().settings);
    EXPECT_FALSE(model->renderPending()) << "the defaults are the first preset's settings";
    model->applyPreset(LargePrintPreset::recipeCard());
    EXPECT_TRUE(model->renderPending());
}

TEST_F(SongBridgeTest, ACancelledImportChangesNothing)
{
    make(false);
    model->importTunequillLibrary();
    ASSERT_EQ(panels->openFolders.size(), 1u);
    EXPECT_EQ(panels->openFolders.front(), Lyricade::SongGlue::tunequillLibraryFolder());
    EXPECT_EQ(panels->openMessages, QStringList{"Choose Tunequill’s library.json to bring its songs, songbooks and "
                                                "set lists into Songbook mode."});
    EXPECT_EQ(panels->openFilters, QStringList{"JSON (*.json)"});
    EXPECT_EQ(model->kind(), DocKind::document);
    EXPECT_TRUE(panels->alerts.isEmpty());
    EXPECT_TRUE(panels->informs.isEmpty());
}

TEST_F(SongBridgeTest, AFailedImportIsAnAlertAndKeepsTheMode)
{
    make(false);
    const std::vector<std::pair<std::filesystem::path, QString>> cases{
        {path("missing.json"), "That file couldn’t be read. | "},
        {file("other.json", R"({"name": "something else"})"), "That file isn’t a Tunequill library (library.json). | "},
    };
    for (const auto& [url, alert] : cases) {
        panels->alerts.clear();
        panels->openAnswer = url;
        const auto songsBefore = model->songs().songCount();
        model->importTunequillLibrary();
        EXPECT_EQ(panels->alerts, QStringList{alert});
        EXPECT_TRUE(panels->informs.isEmpty());
        EXPECT_EQ(model->kind(), DocKind::document);
        EXPECT_EQ(model->songs().songCount(), songsBefore);
    }
}

TEST_F(SongBridgeTest, AnImportSwitchesToSongbookModeBeforeItsAlert)
{
    make(false);
    TunequillKit::Library incoming;
    incoming.songs.push_back({TunequillKit::Uuid::random(), "{title: Brand New}\n[G]Hi\n", std::nullopt,
                              TunequillKit::Date{0}});
    incoming.books.emplace_back(TunequillKit::Uuid::random(), "Brought Over", TunequillKit::BookKind::book,
                                std::vector<TunequillKit::SongEntry>{{TunequillKit::Uuid::random(),
                                                                      incoming.songs.front().id, 0, std::nullopt}});
    panels->openAnswer = writeLibrary(incoming);

    DocKind kindWhenAlerted = DocKind::document;
    panels->whenInformed = [&] { kindWhenAlerted = model->kind(); };
    model->importTunequillLibrary();
    EXPECT_EQ(kindWhenAlerted, DocKind::songbook);
    EXPECT_EQ(panels->informs,
              QStringList{"Tunequill’s library imported | Songs added: 1. Songbooks and set lists added: 1. Songs you "
                          "already had weren’t added twice."});
    EXPECT_EQ(model->songs().title(), "Brought Over") << "the book that came in is selected";

    // The same library again adds nothing, in the same words.
    model->setKind(DocKind::document);
    panels->informs.clear();
    model->importTunequillLibrary();
    EXPECT_EQ(model->kind(), DocKind::songbook);
    EXPECT_EQ(panels->informs,
              QStringList{"Tunequill’s library imported | Songs added: 0. Songbooks and set lists added: 0. Songs you "
                          "already had weren’t added twice."});
}

} // namespace
} // namespace FolmiraAppTest
