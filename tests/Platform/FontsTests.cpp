#include "Platform/Fonts.h"
#include "Platform/Resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

using namespace Platform;
namespace fs = std::filesystem;

namespace {

// A fresh folder under the system's temporary folder, removed at the end.
struct TempFolder {
    fs::path path;
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "folmira-fonts-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path); }
};

void touch(const fs::path& p) { std::ofstream(p) << "x"; }

fs::path shippedFace(const char* file) { return *Resources::path("Fonts") / file; }

} // namespace

TEST(Fonts, FindsTheShippedFacesByExactPostScriptName)
{
    struct Case {
        const char* name;
        int weight;
        bool italic;
    } cases[] = {
        {"AtkinsonHyperlegible-Regular", 400, false},
        {"AtkinsonHyperlegible-Bold", 700, false},
        {"AtkinsonHyperlegible-Italic", 400, true},
        {"AtkinsonHyperlegible-BoldItalic", 700, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto font = Fonts::named(c.name, 18);
        ASSERT_TRUE(font);
        EXPECT_EQ(font->requested, c.name);
        EXPECT_EQ(font->postScriptName, c.name);
        EXPECT_EQ(font->family, "Atkinson Hyperlegible");
        EXPECT_EQ(font->weight, c.weight);
        EXPECT_EQ(font->italic, c.italic);
        EXPECT_EQ(font->size, 18);
        EXPECT_FALSE(font->fallback);
        EXPECT_EQ(font->file.parent_path(), *Resources::path("Fonts"));
    }
}

TEST(Fonts, LooksUpNoAliasAndNoOtherSpelling)
{
    EXPECT_FALSE(Fonts::named("atkinsonhyperlegible-bold", 18));
    EXPECT_FALSE(Fonts::named("AtkinsonHyperlegible", 18));
    EXPECT_FALSE(Fonts::named("", 18));
    // fontconfig aliases Helvetica and Arial to look-alikes; a PostScript lookup
    // must not hand those out under the asked-for name.
    for (const char* name : {"Helvetica-BoldOblique", "ArialMT", "Verdana"}) {
        if (auto font = Fonts::named(name, 12)) {
            EXPECT_EQ(font->postScriptName, name);
        }
    }
}

TEST(Fonts, FallsBackToTheSystemSansSerif)
{
    for (bool bold : {false, true}) {
        for (bool italic : {false, true}) {
            Font font = Fonts::system(20, bold, italic);
            EXPECT_TRUE(font.fallback);
            EXPECT_EQ(font.requested, "");
            EXPECT_EQ(font.weight, bold ? 700 : 400);
            EXPECT_EQ(font.italic, italic);
            EXPECT_EQ(font.size, 20);
            EXPECT_FALSE(font.family.empty());
            EXPECT_FALSE(font.file.empty());
        }
    }
    Font stand = Fonts::namedOrStandIn("NoSuchFace-Bold", 14, true, false);
    EXPECT_TRUE(stand.fallback);
    EXPECT_EQ(stand.requested, "NoSuchFace-Bold");
    EXPECT_EQ(stand.weight, 700);
    EXPECT_FALSE(Fonts::namedOrStandIn("AtkinsonHyperlegible-Bold", 14, true, false).fallback);
}

TEST(Fonts, MissingFacesGetAStandInOfTheirKind)
{
    using Kind = Fonts::Generic;
    const std::string serif = Fonts::generic(Kind::serif, 12, false, false).family;
    const std::string sans = Fonts::generic(Kind::sansSerif, 12, false, false).family;
    const std::string mono = Fonts::generic(Kind::monospace, 12, false, false).family;
    ASSERT_NE(serif, sans);
    ASSERT_NE(mono, sans);
    struct Case {
        const char* name;
        bool bold, italic;
        Kind kind;
        std::string family;
    };
    const Case cases[] = {
        // fontconfig's metric-compatible faces, which the setup installs.
        {"ArialMT", false, false, Kind::sansSerif, "Liberation Sans"},
        {"Arial-BoldItalicMT", true, true, Kind::sansSerif, "Liberation Sans"},
        {"Helvetica-Bold", true, false, Kind::sansSerif, "Nimbus Sans"},
        {"Times-Roman", false, false, Kind::serif, "Nimbus Roman"},
        {"TimesNewRomanPSMT", false, false, Kind::serif, "Liberation Serif"},
        // No twin: the closest wide sans, or the generic family of the kind.
        {"Verdana-Bold", true, false, Kind::sansSerif, "DejaVu Sans"},
        {"Charter-Roman", false, false, Kind::serif, serif},
        {"Charter-BoldItalic", true, true, Kind::serif, serif},
        {"Menlo-Regular", false, false, Kind::monospace, mono},
        {"HelveticaNeue-Italic", false, true, Kind::sansSerif, sans},
    };
    for (const Case& c : cases) {
        Font font = Fonts::namedOrStandIn(c.name, 16, c.bold, c.italic, c.kind);
        EXPECT_TRUE(font.fallback) << c.name;
        EXPECT_EQ(font.requested, c.name);
        EXPECT_EQ(font.family, c.family) << c.name;
        EXPECT_EQ(font.weight, c.bold ? 700 : 400) << c.name;
        EXPECT_EQ(font.italic, c.italic) << c.name;
        EXPECT_EQ(font.size, 16) << c.name;
        EXPECT_FALSE(font.file.empty()) << c.name;
    }
    // The bold face of the stand-in's family serves a bold request.
    EXPECT_EQ(Fonts::namedOrStandIn("Helvetica-Bold", 16, true, false).postScriptName, "NimbusSans-Bold");
    EXPECT_EQ(Fonts::namedOrStandIn("ArialMT", 16, false, false).postScriptName, "LiberationSans");
}

TEST(Fonts, RegistersTtfFilesOfAnyCaseOnly)
{
    TempFolder folder;
    for (const char* name : {"b.ttf", "a.TTF", "c.otf", "d.Ttf", "OFL.txt", "ttf"}) touch(folder.path / name);
    fs::create_directory(folder.path / "sub.ttf.d");
    auto files = Fonts::fontFilesIn(folder.path);
    std::vector<fs::path> expected = {folder.path / "a.TTF", folder.path / "b.ttf", folder.path / "d.Ttf"};
    EXPECT_EQ(files, expected);
    EXPECT_TRUE(Fonts::fontFilesIn(folder.path / "missing").empty());
}

// Registration happens once per process, so these run in a child process of
// their own with FOLMIRA_RESOURCES pointing at a prepared folder.
TEST(FontsRegistration, UsesOnlyTheResourceFolderGiven)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder resources;
    fs::create_directory(resources.path / "Fonts");
    fs::copy_file(shippedFace("AtkinsonHyperlegible_400Regular.ttf"), resources.path / "Fonts" / "Regular.TTF");
    fs::copy_file(shippedFace("AtkinsonHyperlegible_700Bold.ttf"), resources.path / "Fonts" / "Bold.otf");
    EXPECT_EXIT(
        {
            setenv("FOLMIRA_RESOURCES", resources.path.c_str(), 1);
            auto regular = Fonts::named("AtkinsonHyperlegible-Regular", 18);
            bool good = regular && regular->file == resources.path / "Fonts" / "Regular.TTF"
                && !Fonts::named("AtkinsonHyperlegible-Bold", 18);
            fs::remove_all(resources.path); // the child made its own: exit runs no destructor
            std::exit(good ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");

    TempFolder empty;
    EXPECT_EXIT(
        {
            setenv("FOLMIRA_RESOURCES", empty.path.c_str(), 1);
            Font font = Fonts::namedOrStandIn("AtkinsonHyperlegible-Italic", 20, false, true);
            fs::remove_all(resources.path);
            fs::remove_all(empty.path);
            std::exit(font.fallback && font.italic && font.weight == 400 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
