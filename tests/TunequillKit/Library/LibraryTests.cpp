#include "TunequillKit/Library/Library.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unordered_set>

using namespace TunequillKit;
using Json = nlohmann::json;

namespace {

constexpr const char* songId = "0F8FAD5B-D9CB-469F-A165-70867728950E";
constexpr const char* entryId = "7C9E6679-7425-40DE-944B-E07FC1F90AE7";
constexpr const char* bookId = "A3BB189E-8BF9-4888-9912-ACE4E6543002";

Json song() { return {{"id", songId}, {"source", "{title: A}"}, {"added", 12.5}}; }
Json entry() { return {{"id", entryId}, {"songID", songId}, {"transpose", -2}}; }
Json book(Json settings = Json::object())
{
    return {{"id", bookId},        {"name", "B"},      {"kind", "setList"},
            {"entries", Json::array({entry()})}, {"subtitle", ""}, {"settings", std::move(settings)}};
}
// A braced single JSON value is an array to gcc and a copy to clang: arrays are spelled out.
Json file(Json books) { return {{"songs", Json::array({song()})}, {"books", std::move(books)}}; }

BookSettings settingsRead(Json settings) { return Library::decode(file(Json::array({book(std::move(settings))})).dump()).books[0].settings; }

Library sampleLibrary()
{
    BookSettings odd;
    odd.pageSize = PageSize::a5;
    odd.fontSize = 27.5;
    odd.typeface = Typeface::serif;
    odd.flow = Flow::flowing;
    odd.columns = 2;
    odd.accidentals = Accidentals::flats;
    odd.nashville = true;
    odd.margin = -3.25;
    Library lib;
    lib.songs.push_back(StoredSong{Uuid::random(), "{title: Ça}\n[G]“quoted” / \\ \u0001", "Ça.cho", Date{-86400.125}});
    lib.songs.push_back(StoredSong{Uuid::random(), "", std::nullopt, Date::now()});
    lib.books.emplace_back(Uuid::random(), "Book", BookKind::book,
                           std::vector{SongEntry{Uuid::random(), lib.songs[0].id, 7, 3},
                                       SongEntry{Uuid::random(), lib.songs[1].id, -9000000000, std::nullopt}},
                           "sub", odd);
    lib.books.emplace_back(Uuid::random(), "Set", BookKind::setList);
    return lib;
}

} // namespace

TEST(Library, RoundTripKeepsEveryValue)
{
    Library lib = sampleLibrary();
    Library back = Library::decode(lib.encode());
    EXPECT_EQ(back.songs, lib.songs);
    EXPECT_EQ(back.books, lib.books);
    EXPECT_EQ(back.books[1].settings, BookSettings::forKind(BookKind::setList));
    EXPECT_EQ(Library::decode(back.encode()).encode(), lib.encode());
}

TEST(Library, WritesTheStoredFormat)
{
    Library lib = sampleLibrary();
    std::string text = lib.encode();
    Json j = Json::parse(text);
    const Json& s0 = j["songs"][0];
    EXPECT_EQ(s0["id"], lib.songs[0].id.toString());
    EXPECT_EQ(s0["id"].get<std::string>().find_first_of("abcdef"), std::string::npos);
    EXPECT_EQ(s0["added"].get<double>(), -86400.125);
    EXPECT_FALSE(j["songs"][1].contains("fileName"));
    EXPECT_FALSE(j["books"][0]["entries"][1].contains("capo"));
    EXPECT_EQ(j["books"][0]["entries"][0]["capo"], 3);
    EXPECT_EQ(j["books"][1]["kind"], "setList");
    EXPECT_EQ(j["books"][0]["settings"].size(), 17u);
    EXPECT_EQ(j["books"][0]["settings"]["accidentals"], "flats");
    EXPECT_EQ(j["books"][0]["settings"]["pageSize"], "a5");
    // Pretty-printed with sorted keys: "books" before "songs", "added" first in a song.
    EXPECT_LT(text.find("\"books\""), text.find("\"songs\""));
    EXPECT_LT(text.find("\"added\""), text.find("\"source\""));
    EXPECT_NE(text.find("\n  "), std::string::npos);
}

TEST(Library, ReadsDatesIdentifiersAndOptionalKeys)
{
    Json f = file(Json::array({book()}));
    f["songs"][0]["id"] = "0f8fad5b-d9cb-469f-a165-70867728950e";
    f["songs"][0]["added"] = 0;
    f["songs"][0]["fileName"] = nullptr;
    f["books"][0]["entries"][0]["capo"] = nullptr;
    f["books"][0]["entries"][0]["transpose"] = 5.0;
    f["ignored"] = {1, 2};
    Library lib = Library::decode(f.dump());
    EXPECT_EQ(lib.songs[0].id, Uuid::fromString(songId));
    EXPECT_EQ(lib.songs[0].added.unixTime(), 978307200.0); // 2001-01-01 00:00:00 UTC
    EXPECT_FALSE(lib.songs[0].fileName);
    EXPECT_FALSE(lib.books[0].entries[0].capo);
    EXPECT_EQ(lib.books[0].entries[0].transpose, 5);
    EXPECT_EQ(Library::decode(R"({"songs": [], "books": []})").songs.size(), 0u);
}

TEST(Library, StrictPartsFailTheWholeFile)
{
    auto with = [](auto change) {
        Json f = file(Json::array({book()}));
        change(f);
        return f.dump();
    };
    const std::string damaged[] = {
        with([](Json& f) { f.erase("books"); }),
        with([](Json& f) { f.erase("songs"); }),
        with([](Json& f) { f["books"][0]["kind"] = "album"; }),
        with([](Json& f) { f["books"][0]["settings"] = "big"; }),
        with([](Json& f) { f["books"][0].erase("subtitle"); }),
        with([](Json& f) { f["songs"][0]["id"] = "not-a-uuid"; }),
        with([](Json& f) { f["songs"][0]["id"] = "0F8FAD5BD9CB469FA16570867728950E0000"; }),
        with([](Json& f) { f["songs"][0]["added"] = "2020-01-01"; }),
        with([](Json& f) { f["songs"][0]["source"] = nullptr; }),
        with([](Json& f) { f["songs"][0]["fileName"] = 3; }),
        with([](Json& f) { f["books"][0]["entries"][0]["transpose"] = 1.5; }),
        with([](Json& f) { f["books"][0]["entries"][0]["transpose"] = "2"; }),
        with([](Json& f) { f["books"][0]["entries"][0]["transpose"] = 1e19; }),
        with([](Json& f) { f["books"][0]["entries"][0]["transpose"] = 9223372036854775808ull; }),
        with([](Json& f) { f["books"][0]["entries"][0]["capo"] = true; }),
        with([](Json& f) { f["books"][0]["entries"] = Json::object(); }),
        "[]",
        "{\"songs\": [], \"books\": [",
        "",
        "{\"songs\": [], \"books\": [], \"x\": 1.2.3}",
        "{\"songs\": [], \"books\": [], \"x\": 1e400e5}", // damaged, not merely huge
        "{\"songs\": [], \"books\": [], \"x\": 01e400}",
        with([](Json& f) { f["songs"][0]["added"] = "@"; }),
        with([](Json& f) { f["books"][0]["entries"][0]["transpose"] = "@"; }),
    };
    auto hugeNumbers = [](std::string text) {
        // Numbers beyond a double's range cannot be built as JSON values.
        for (std::size_t at; (at = text.find("\"@\"")) != std::string::npos;) text.replace(at, 3, "-1e400");
        return text;
    };
    for (const auto& text : damaged) EXPECT_THROW(Library::decode(hugeNumbers(text)), LibraryFormatError) << text;
    // A huge number where no one reads it is ignored like its key; in text it stays text.
    Json ignored = file(Json::array({book()}));
    ignored["x"] = "@";
    ignored["songs"][0]["source"] = "1e400";
    EXPECT_EQ(Library::decode(hugeNumbers(ignored.dump())).songs[0].source, "1e400");
    // Whole numbers at the edges of the range still read.
    Json f = file(Json::array({book()}));
    f["books"][0]["entries"][0]["transpose"] = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(Library::decode(f.dump()).books[0].entries[0].transpose, std::numeric_limits<std::int64_t>::min());
}

TEST(Library, NestingBeyondSixtyFourLevelsIsRefused)
{
    std::string deep = "{\"songs\": [], \"books\": [], \"x\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
    EXPECT_THROW(Library::decode(deep), LibraryFormatError);
    // Brackets inside strings do not count.
    std::string quoted = "{\"songs\": [], \"books\": [], \"x\": \"" + std::string(100, '[') + "\\\"\"}";
    EXPECT_NO_THROW(Library::decode(quoted));
}

TEST(Library, SettingsFallBackKeyByKey)
{
    EXPECT_EQ(settingsRead(Json::object()), BookSettings{}); // even for a set list
    struct Case {
        Json settings;
        double fontSize;
        int columns;
    };
    const Case cases[] = {
        {{{"fontSize", 40}}, 28, 1},      {{{"fontSize", 12}}, 16, 1},        {{{"fontSize", "18"}}, 18, 1},
        {{{"fontSize", 21.5}}, 21.5, 1},  {{{"columns", 3}}, 18, 2},          {{{"columns", 0}}, 18, 1},
        {{{"columns", -5}}, 18, 1},       {{{"columns", 1.5}}, 18, 1},        {{{"columns", 2.0}}, 18, 2},
        {{{"columns", 1e30}}, 18, 1},     {{{"fontSize", nullptr}}, 18, 1},   {{{"columns", "2"}}, 18, 1},
    };
    for (const auto& c : cases) {
        BookSettings s = settingsRead(c.settings);
        EXPECT_EQ(s.fontSize, c.fontSize) << c.settings.dump();
        EXPECT_EQ(s.columns, c.columns) << c.settings.dump();
    }
    BookSettings s = settingsRead({{"pageSize", "tabloid"},
                                   {"typeface", "serif"},
                                   {"boldChorus", 0},
                                   {"spreads", false},
                                   {"accidentals", "Flats"},
                                   {"flow", "flowing"},
                                   {"index", "false"},
                                   {"setListPage", true},
                                   {"margin", -12.5}});
    EXPECT_EQ(s.pageSize, PageSize::letter);
    EXPECT_EQ(s.typeface, Typeface::serif);
    EXPECT_TRUE(s.boldChorus); // booleans only from JSON booleans
    EXPECT_FALSE(s.spreads);
    EXPECT_EQ(s.accidentals, Accidentals::automatic);
    EXPECT_EQ(s.flow, Flow::flowing);
    EXPECT_TRUE(s.index);
    EXPECT_TRUE(s.setListPage);
    EXPECT_EQ(s.margin, -12.5);

    // Numbers beyond a double's range take the defaults too.
    std::string huge = file(Json::array({book({{"fontSize", "@"}, {"columns", "@"}, {"margin", "#"}})})).dump();
    for (std::size_t at; (at = huge.find("\"@\"")) != std::string::npos;) huge.replace(at, 3, "1E+400");
    huge.replace(huge.find("\"#\""), 3, "-1" + std::string(400, '0'));
    EXPECT_EQ(Library::decode(huge).books[0].settings, BookSettings{});
}

TEST(Library, BookDefaultsAndTables)
{
    BookSettings set = BookSettings::forKind(BookKind::setList);
    EXPECT_EQ(BookSettings::forKind(BookKind::book), BookSettings{});
    EXPECT_EQ(set.fontSize, 20);
    EXPECT_FALSE(set.tableOfContents);
    EXPECT_FALSE(set.index);
    EXPECT_TRUE(set.setListPage);
    EXPECT_EQ((Songbook{Uuid{}, "S", BookKind::setList}.settings), set);

    EXPECT_EQ(size(PageSize::a4), (Platform::Size{595.28, 841.89}));
    EXPECT_EQ(bookletSheet(PageSize::a4), (Platform::Size{1190.55, 841.89}));
    EXPECT_EQ(bookletSheet(PageSize::a5), (Platform::Size{841.89, 595.28}));
    EXPECT_EQ(bookletSheet(PageSize::halfLetter), (Platform::Size{792, 612}));
    EXPECT_EQ(title(PageSize::letter), "Letter (8.5 × 11 in)");
    EXPECT_EQ(title(PageSize::halfLetter), "Half Letter (5.5 × 8.5 in)");
    EXPECT_EQ(title(Flow::songPerPage), "One song per page");
    EXPECT_EQ(title(Typeface::sans), "Sans serif");
    for (PageSize p : allCases<PageSize>) EXPECT_EQ(fromString<PageSize>(toString(p)), p);
    for (BookKind k : allCases<BookKind>) EXPECT_EQ(fromString<BookKind>(toString(k)), k);
    EXPECT_EQ(toString(PageSize::halfLetter), "halfLetter");
    EXPECT_EQ(toString(BookKind::setList), "setList");
}

TEST(Uuid, RandomVersionFourAndCanonicalText)
{
    std::unordered_set<Uuid> seen;
    for (int i = 0; i < 1000; ++i) {
        Uuid id = Uuid::random();
        std::string text = id.toString();
        ASSERT_EQ(text.size(), 36u);
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
        EXPECT_EQ(Uuid::fromString(text), id);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
    for (const char* bad : {"", "0F8FAD5B-D9CB-469F-A165-70867728950", "0F8FAD5B-D9CB-469F-A165_70867728950E",
                            "0F8FAD5G-D9CB-469F-A165-70867728950E", " 0F8FAD5B-D9CB-469F-A165-7086772895E"})
        EXPECT_FALSE(Uuid::fromString(bad)) << bad;
}
