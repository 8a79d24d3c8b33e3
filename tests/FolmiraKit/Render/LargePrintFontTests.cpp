#include "FolmiraKit/Render/LargePrintFont.h"
#include "Platform/TextLayout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace FolmiraKit;
namespace fs = std::filesystem;

namespace {

// Points FOLMIRA_RESOURCES at an empty folder for one scope.
struct NoResources {
    fs::path folder;
    std::string saved;
    NoResources()
    {
        std::string pattern = (fs::temp_directory_path() / "folmira-none-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        if (const char* old = std::getenv("FOLMIRA_RESOURCES")) saved = old;
        setenv("FOLMIRA_RESOURCES", folder.c_str(), 1);
    }
    ~NoResources()
    {
        setenv("FOLMIRA_RESOURCES", saved.c_str(), 1);
        fs::remove_all(folder);
    }
};

} // namespace

TEST(LargePrintFont, ListsTheFourTypefacesWithTheirFaces)
{
    struct Case {
        LargePrintFont font;
        const char* id;
        const char* name;
        std::array<std::string_view, 4> faces;
    } cases[] = {
        {LargePrintFont::atkinson, "atkinson", "Atkinson Hyperlegible",
         {"AtkinsonHyperlegible-Regular", "AtkinsonHyperlegible-Bold", "AtkinsonHyperlegible-Italic",
          "AtkinsonHyperlegible-BoldItalic"}},
        {LargePrintFont::verdana, "verdana", "Verdana", {"Verdana", "Verdana-Bold", "Verdana-Italic", "Verdana-BoldItalic"}},
        {LargePrintFont::arial, "arial", "Arial", {"ArialMT", "Arial-BoldMT", "Arial-ItalicMT", "Arial-BoldItalicMT"}},
        {LargePrintFont::helvetica, "helvetica", "Helvetica",
         {"Helvetica", "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique"}},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.id);
        EXPECT_EQ(LargePrintFont::allCases[i], c.font);
        EXPECT_EQ(c.font.id(), c.id);
        EXPECT_EQ(toString(c.font), c.id);
        EXPECT_EQ(fromString<LargePrintFont>(c.id), c.font);
        EXPECT_EQ(c.font.name(), c.name);
        EXPECT_EQ(c.font.faces(), c.faces);
    }
    EXPECT_FALSE(fromString<LargePrintFont>("Arial"));
    EXPECT_FALSE(fromString<LargePrintFont>("comic"));
}

TEST(LargePrintFont, PicksTheFaceByStyle)
{
    for (bool bold : {false, true}) {
        for (bool italic : {false, true}) {
            Platform::Font font = LargePrintFont(LargePrintFont::atkinson).font(18, bold, italic);
            std::size_t index = (bold ? 1 : 0) + (italic ? 2 : 0);
            EXPECT_EQ(font.requested, LargePrintFont(LargePrintFont::atkinson).faces()[index]);
            EXPECT_EQ(font.postScriptName, font.requested); // the shipped face serves
            EXPECT_FALSE(font.fallback);
        }
    }
    Platform::Font helvetica = LargePrintFont(LargePrintFont::helvetica).font(18, true, true);
    EXPECT_EQ(helvetica.requested, "Helvetica-BoldOblique");
    EXPECT_EQ(helvetica.size, 18);
    EXPECT_EQ(helvetica.weight, 700);
    EXPECT_TRUE(helvetica.italic);
    if (!helvetica.fallback) {
        EXPECT_EQ(helvetica.postScriptName, "Helvetica-BoldOblique");
    }
}

TEST(LargePrintFont, FallsBackToTheSystemFontWithoutTheFontsFolder)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // registration is once per process
    NoResources none;
    EXPECT_EXIT(
        {
            Platform::Font font = LargePrintFont(LargePrintFont::atkinson).font(20, false, true);
            bool good = font.fallback && font.requested == "AtkinsonHyperlegible-Italic" && font.size == 20
                && font.weight == 400 && font.italic;
            fs::remove_all(none.folder); // the child made its own: exit runs no destructor
            std::exit(good ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(LargePrintFont, ReadsTheLicenceAfreshEachTime)
{
    EXPECT_NE(LargePrintFont::atkinsonLicense().find("SIL OPEN FONT LICENSE"), std::string::npos);
    {
        NoResources none;
        EXPECT_EQ(LargePrintFont::atkinsonLicense(), "");
    }
    EXPECT_FALSE(LargePrintFont::atkinsonLicense().empty());
}

// Names and words in scripts the typefaces lack are drawn from the system's
// fallback faces, not as boxes of hex digits, whichever typeface and style.
TEST(LargePrintFont, OtherScriptsAndEmojiFindAFace)
{
    const std::string line = "മലയാളം 中文名字 עברית 😀";
    for (const LargePrintFont& font : LargePrintFont::allCases)
        for (int style = 0; style < 4; ++style) {
            Platform::AttributedText text;
            text.append(line, font.font(24, (style & 1) != 0, (style & 2) != 0));
            EXPECT_EQ(Platform::TextLayout(text, 500, {}).unknownGlyphs(), 0) << toString(font) << " " << style;
        }
}
