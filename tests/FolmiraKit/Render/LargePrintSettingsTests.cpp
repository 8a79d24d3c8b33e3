#include "FolmiraKit/Render/LargePrintSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

using namespace FolmiraKit;
using Settings = LargePrintSettings;

TEST(LargePrintSettings, ClampsTheFourRangedFieldsOnly)
{
    struct Case {
        const char* name;
        double Settings::*field;
        double in;
        double out;
    } cases[] = {
        {"size above", &Settings::fontSize, 40, 32},   {"size below", &Settings::fontSize, 10, 14},
        {"size inside", &Settings::fontSize, 20, 20},  {"spacing below", &Settings::lineSpacing, 1.0, 1.15},
        {"spacing above", &Settings::lineSpacing, 3, 2}, {"margin below", &Settings::margin, 0.1, 0.4},
        {"margin above", &Settings::margin, 3, 1.5},   {"list spacing below", &Settings::listSpacing, -1, 0},
        {"list spacing above", &Settings::listSpacing, 2, 1.5}, {"list spacing inside", &Settings::listSpacing, 0.7, 0.7},
        {"a NaN size", &Settings::fontSize, std::nan(""), 14},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Settings s;
        s.paper = Settings::Paper::legal;
        s.font = LargePrintFont::verdana;
        s.highContrast = true;
        s.*c.field = c.in;
        Settings clamped = s.clamped();
        EXPECT_EQ(clamped.*c.field, c.out);
        clamped.*c.field = s.*c.field;
        if (!std::isnan(c.in)) {
            EXPECT_EQ(clamped, s); // nothing else moved
        }
    }
}

TEST(LargePrintSettingsJSON, RoundTripsEveryField)
{
    Settings s;
    s.fontSize = 21.5;
    s.lineSpacing = 1.6;
    s.margin = 1.25;
    s.paper = Settings::Paper::a4;
    s.font = LargePrintFont::helvetica;
    s.pageNumbers = false;
    s.highContrast = true;
    s.keepImages = false;
    s.tables = Settings::TableMode::list;
    s.keepLineBreaks = true;
    s.listSpacing = 0.9;
    std::string json = s.encodeJSON();
    EXPECT_EQ(Settings::decodeJSON(json), s);
    auto object = nlohmann::json::parse(json);
    EXPECT_EQ(object.size(), 11u);
    EXPECT_EQ(object["paper"], "a4");
    EXPECT_EQ(object["tables"], "list");
    EXPECT_EQ(object["font"], "helvetica");
    EXPECT_EQ(nlohmann::json::parse(Settings().encodeJSON())["tables"], "auto");
}

TEST(LargePrintSettingsJSON, ReadsStrictlyButDoesNotClamp)
{
    auto with = [](const char* key, nlohmann::json value) {
        auto object = nlohmann::json::parse(Settings().encodeJSON());
        if (value.is_null()) object.erase(key);
        else object[key] = value;
        return object.dump();
    };
    struct Case {
        const char* name;
        std::string json;
    } failures[] = {
        {"missing listSpacing", with("listSpacing", nullptr)},
        {"size as a string", with("fontSize", "18")},
        {"unknown font", with("font", "comic")},
        {"paper in capitals", with("paper", "A4")},
        {"table mode in capitals", with("tables", "Auto")},
        {"Boolean as a number", with("pageNumbers", 1)},
        {"Boolean as a string", with("highContrast", "false")},
        {"not an object", "[1, 2]"},
        {"not JSON", "{\"fontSize\": "},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(Settings::decodeJSON(c.json), Settings::DecodingError);
    }
    EXPECT_EQ(Settings::decodeJSON(with("fontSize", 50)).fontSize, 50);
    EXPECT_EQ(Settings::decodeJSON(with("margin", 0)).margin, 0);
    EXPECT_EQ(Settings::decodeJSON(with("comment", "ignored")), Settings());
}

TEST(LargePrintSettings, ChoicesReadOnlyTheirExactStringForms)
{
    for (auto paper : Settings::allPapers) EXPECT_EQ(fromString<Settings::Paper>(toString(paper)), paper);
    EXPECT_EQ(toString(Settings::Paper::halfLetter), "halfLetter");
    EXPECT_EQ(name(Settings::Paper::a4), "A4 (210 × 297 mm)");
    EXPECT_FALSE(fromString<Settings::Paper>("A4"));
    EXPECT_FALSE(fromString<Settings::Paper>("half letter"));
    EXPECT_EQ(fromString<Settings::TableMode>("auto"), Settings::TableMode::automatic);
    EXPECT_EQ(fromString<Settings::TableMode>("list"), Settings::TableMode::list);
    EXPECT_FALSE(fromString<Settings::TableMode>("automatic"));
}

TEST(LargePrintPreset, OffersTheFourPresetsInOrder)
{
    struct Case {
        const char* id;
        const char* name;
        const char* detail;
        double size, spacing, margin;
        bool images;
        Settings::TableMode tables;
        bool breaks;
        double listSpacing;
    } expected[] = {
        {"large", "Large print 18 pt", "The usual large-print size: 18 pt, 1.4 spacing, Letter.", 18, 1.4, 0.75, true,
         Settings::TableMode::automatic, false, 0.35},
        {"extra", "Extra large 24 pt", "24 pt with narrower margins for very low vision.", 24, 1.35, 0.6, true,
         Settings::TableMode::automatic, false, 0.35},
        {"recipe", "Recipe card", "20 pt with extra room between ingredients and steps, no pictures, tables as lists.",
         20, 1.45, 0.75, false, Settings::TableMode::list, false, 0.7},
        {"hymn", "Hymn sheet / lyrics", "22 pt with every line break kept, for verses and lyrics.", 22, 1.3, 0.75, true,
         Settings::TableMode::automatic, true, 0.3},
    };
    const auto& all = LargePrintPreset::all();
    ASSERT_EQ(all.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& p = all[i];
        const auto& e = expected[i];
        SCOPED_TRACE(e.id);
        EXPECT_EQ(p.id, e.id);
        EXPECT_EQ(p.name, e.name);
        EXPECT_EQ(p.detail, e.detail);
        Settings s;
        s.fontSize = e.size;
        s.lineSpacing = e.spacing;
        s.margin = e.margin;
        s.keepImages = e.images;
        s.tables = e.tables;
        s.keepLineBreaks = e.breaks;
        s.listSpacing = e.listSpacing;
        EXPECT_EQ(p.settings, s);
    }
    EXPECT_EQ(LargePrintPreset::largePrint().settings, Settings());
    EXPECT_EQ(&LargePrintPreset::hymnSheet(), &all[3]);
    EXPECT_EQ(LargePrintPreset::extraLarge().id, "extra");
    EXPECT_EQ(LargePrintPreset::recipeCard().id, "recipe");
}
