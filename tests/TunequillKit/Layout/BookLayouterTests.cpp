#include "FakeMeasurer.h"
#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <gtest/gtest.h>

using namespace TunequillKit;
using TunequillKit::Testing::fakeMeasurer;

namespace {

PreparedSong prepare(const std::string& source)
{
    return PreparedSong(ChordProParser::parse(source), 0, std::nullopt, Accidentals::automatic, false);
}

// A song of `lines` plain lyric lines in one verse (22 points a line at 18 pt).
PreparedSong song(const std::string& title, int lines, const std::string& body = "")
{
    std::string source = "{title: " + title + "}\n" + body;
    for (int i = 0; i < lines; ++i) source += "line " + std::to_string(i) + "\n";
    return prepare(source);
}

BookSettings bare()
{
    BookSettings s;
    s.tableOfContents = false;
    s.index = false;
    s.spreads = false;
    return s;
}

BookLayout lay(const BookSettings& settings, const std::vector<PreparedSong>& songs, std::string title = "",
               std::string subtitle = "")
{
    return BookLayouter(settings, fakeMeasurer(), std::move(title), std::move(subtitle)).layout(songs);
}

std::vector<PageKind> kinds(const BookLayout& layout)
{
    std::vector<PageKind> out;
    for (const LaidPage& p : layout.pages) out.push_back(p.kind);
    return out;
}

} // namespace

TEST(BookLayouter, GeometryAndFooterBand)
{
    BookSettings s = bare();
    s.columns = 2;
    BookLayouter::Geometry g = BookLayouter(s, fakeMeasurer(), "", "").geometry();
    EXPECT_EQ(g.frame, (Platform::Rect{40, 40, 532, 686}));
    EXPECT_EQ(g.gap, 23);
    EXPECT_EQ(g.columnWidth, (532 - 23) / 2.0);
    EXPECT_EQ(g.columnLeft(1), 40 + g.columnWidth + 23);
    s.pageNumbers = false;
    s.columns = 0; // stored as given; laid out as one column
    BookLayouter::Geometry open = BookLayouter(s, fakeMeasurer(), "", "").geometry();
    EXPECT_EQ(open.frame.height, 712);
    EXPECT_EQ(open.columns, 1);

    // Header (45) and 30 lines (660) need two pages with the footer band, one without it.
    PreparedSong longSong = song("Long", 30);
    EXPECT_EQ(lay(bare(), {longSong}).pages.size(), 2u);
    EXPECT_EQ(lay(s, {longSong}).pages.size(), 1u);
}

TEST(BookLayouter, ListPagesComeFirstAndFixTheSongNumbers)
{
    BookSettings s = bare();
    s.setListPage = true;
    s.tableOfContents = true;
    std::vector<PreparedSong> songs;
    for (int i = 0; i < 20; ++i) songs.push_back(song("Song " + std::to_string(i), 2));
    BookLayout layout = lay(s, songs);
    ASSERT_GE(layout.pages.size(), 4u);
    EXPECT_EQ(layout.pages[0].kind, PageKind::setList);
    EXPECT_EQ(layout.pages[1].kind, PageKind::setList);
    EXPECT_EQ(layout.pages[2].kind, PageKind::contents);
    EXPECT_FALSE(layout.pages[0].showNumber);
    EXPECT_FALSE(layout.pages[1].showNumber);
    EXPECT_TRUE(layout.pages[2].showNumber);
    EXPECT_EQ(layout.songStartPages.front(), 4);
    for (std::size_t i = 0; i < layout.pages.size(); ++i) EXPECT_EQ(layout.pages[i].number, static_cast<int>(i) + 1);
    // The real start pages replace the placeholders.
    EXPECT_NE(layout.pages[0].text().find("1. Song 0 4"), std::string::npos) << layout.pages[0].text();
    EXPECT_EQ(layout.contentsEntries.at(19), (ContentsEntry{"Song 19", 23}));
}

TEST(BookLayouter, SpreadsOpenLongSongsOnALeftHandPage)
{
    BookSettings s = bare();
    s.spreads = true;
    s.setListPage = true;
    s.tableOfContents = true;
    BookLayout twoPages = lay(s, {song("Long", 40)});
    EXPECT_EQ(kinds(twoPages), (std::vector<PageKind>{PageKind::setList, PageKind::contents, PageKind::blank,
                                                       PageKind::song, PageKind::song}));
    EXPECT_FALSE(twoPages.pages[2].showNumber);
    EXPECT_EQ(twoPages.songStartPages, std::vector<int>{4});

    BookLayout onePage = lay(s, {song("Short", 3)});
    EXPECT_EQ(onePage.songStartPages, std::vector<int>{3});
    EXPECT_EQ(onePage.pages.size(), 3u);
}

TEST(BookLayouter, ContinuationLineOnlyWithinASong)
{
    BookSettings s = bare();
    BookLayout layout = lay(s, {song("Long", 40), song("Next", 2)});
    ASSERT_EQ(layout.pages.size(), 3u);
    const PlacedRow& first = layout.pages[1].rows.at(0);
    EXPECT_EQ(first.row.text(), "Long (continued)");
    EXPECT_FALSE(first.song);
    EXPECT_EQ(first.row.height, 13);
    EXPECT_EQ(first.origin, (Platform::Point{40, 40 - 13 - 6}));
    EXPECT_EQ(layout.pages[1].songs, std::vector<int>{0});
    // The next song's own first page carries no "(continued)" line.
    EXPECT_EQ(layout.pages[2].rows.at(0).row.text(), "Next");
    EXPECT_EQ(layout.pages[2].songs, std::vector<int>{1});
}

TEST(BookLayouter, FlowingMovesASongThatFitsOnAPageOfItsOwn)
{
    BookSettings s = bare();
    s.flow = Flow::flowing;
    // 20 lines take 440 + the header; a second such song does not fit below it.
    BookLayout moved = lay(s, {song("One", 20), song("Two", 20)});
    EXPECT_EQ(moved.songStartPages, (std::vector<int>{1, 2}));
    EXPECT_EQ(moved.pages[1].rows.at(0).origin.y, 40);

    // A song longer than a page continues in place after the gap.
    BookLayout inPlace = lay(s, {song("One", 5), song("Two", 40)});
    EXPECT_EQ(inPlace.songStartPages, (std::vector<int>{1, 1}));
    const LaidPage& page = inPlace.pages[0];
    double lastOfOne = 0, firstOfTwo = 0;
    for (const PlacedRow& r : page.rows) {
        if (r.song == 0) lastOfOne = r.origin.y + r.row.height;
        if (r.song == 1 && firstOfTwo == 0) firstOfTwo = r.origin.y;
    }
    // The verse's space after (14) and the gap between songs (25).
    EXPECT_EQ(firstOfTwo - lastOfOne, 14 + 25);
    EXPECT_EQ(page.songs, (std::vector<int>{0, 1}));
}

TEST(BookLayouter, ChorusSplitAcrossColumnsGetsTwoBars)
{
    BookSettings s = bare();
    s.columns = 2;
    std::string body = "{soc}\n";
    for (int i = 0; i < 30; ++i) body += "sing " + std::to_string(i) + "\n";
    body += "{eoc}\n";
    BookLayout layout = lay(s, {song("Bars", 0, body)});
    ASSERT_EQ(layout.pages.size(), 1u);
    const LaidPage& page = layout.pages[0];
    ASSERT_EQ(page.bars.size(), 2u);
    BookLayouter::Geometry g = BookLayouter(s, fakeMeasurer(), "", "").geometry();
    double lastBottom = 0, firstTop = 0;
    for (const PlacedRow& r : page.rows) {
        if (r.origin.x < g.columnLeft(1)) lastBottom = std::max(lastBottom, r.origin.y + r.row.height);
        if (r.block == 1 && firstTop == 0) firstTop = r.origin.y;
    }
    EXPECT_EQ(page.bars[0].x, g.frame.x + 5);
    EXPECT_EQ(page.bars[0].y, firstTop + 2);
    EXPECT_EQ(page.bars[0].y + page.bars[0].height, lastBottom - 2);
    EXPECT_EQ(page.bars[0].width, 0);
    EXPECT_EQ(page.bars[1].x, g.columnLeft(1) + 5);
    EXPECT_EQ(page.bars[1].y, g.top() + 2);
    EXPECT_TRUE(layout.warnings.empty());
}

TEST(BookLayouter, OverlongSectionsWarnAndSplit)
{
    BookLayout layout = lay(bare(), {song("Epic", 0, "{sov}\n" + std::string(200, 'x') + "\n"), song("Epic", 40)});
    // A wide unbreakable word is no long section; a verse of 40 lines (880 points) is taller
    // than the frame: split, with one warning.
    ASSERT_EQ(layout.warnings,
              std::vector<std::string>{"Epic: a section is longer than a page, so it continues on the next column or page."});
}

TEST(BookLayouter, KeepWithNextChainsMoveTheHeaderWithTheVerse)
{
    BookSettings s = bare();
    s.flow = Flow::flowing;
    // The second song starts low on the page; its header must not stay behind alone.
    BookLayout layout = lay(s, {song("One", 26), song("Two", 60)});
    const LaidPage& first = layout.pages[0];
    for (const PlacedRow& r : first.rows) EXPECT_NE(r.song, 1) << r.row.text();
    EXPECT_EQ(layout.songStartPages, (std::vector<int>{1, 2}));
}

TEST(BookLayouter, BreaksAndSongsWithoutBlocks)
{
    BookSettings s = bare();
    s.columns = 2;
    BookLayout layout = lay(s, {prepare("{title: B}\nla\n{column_break}\nlo\n{column_break}\nli")});
    ASSERT_EQ(layout.pages.size(), 2u);
    BookLayouter::Geometry g = BookLayouter(s, fakeMeasurer(), "", "").geometry();
    EXPECT_EQ(layout.pages[0].rows.back().origin.x, g.columnLeft(1));
    EXPECT_EQ(layout.pages[1].rows.back().origin, (Platform::Point{g.columnLeft(0), g.top()}));

    BookLayout empty = lay(bare(), {});
    EXPECT_TRUE(empty.pages.empty());
    BookSettings lists = bare();
    lists.tableOfContents = true;
    lists.index = true;
    BookLayout headings = lay(lists, {});
    EXPECT_EQ(kinds(headings), (std::vector<PageKind>{PageKind::contents, PageKind::index}));
}

TEST(ListPages, Headings)
{
    BookSettings s = bare();
    BookLayouter plain(s, fakeMeasurer(), "", "");
    EXPECT_EQ(plain.setListRows({}, {})[0].text(), "Set list");
    EXPECT_EQ(plain.setListRows({}, {}).size(), 2u); // no subtitle row
    std::vector<Row> contents = plain.contentsRows({}, {});
    EXPECT_EQ(contents[0].text(), "Songbook");
    EXPECT_EQ(contents[1].text(), "Contents");
    EXPECT_EQ(contents[1].runs[0].ink, Ink::muted);
    EXPECT_EQ(contents[2].height, 16);
    EXPECT_EQ(contents[2].marks, std::vector<Mark>{Mark::rule({0, 6}, {532, 6})});

    BookLayouter named(s, fakeMeasurer(), "Camp", "Summer");
    EXPECT_EQ(named.contentsRows({}, {})[1].text(), "Summer \u00B7 Contents");
    EXPECT_EQ(named.setListRows({}, {})[0].text(), "Camp");
    std::vector<Row> index = named.indexRows({});
    EXPECT_EQ(index[0].text(), "Index");
    EXPECT_EQ(index[1].text(), "Titles, and first lines in italics");
}

TEST(ListPages, EntryRows)
{
    BookLayouter l(bare(), fakeMeasurer(), "", "");
    // Size 20: letters 10 wide; page "12" is 20 wide at the right edge (532).
    Row row = l.entryRow(20, "Hymn", std::string("Bb"), 12, false, false, false);
    ASSERT_EQ(row.runs.size(), 3u);
    EXPECT_EQ(row.height, 31);
    EXPECT_EQ(row.runs[1].text, "B\u266D");
    EXPECT_EQ(row.runs[1].x, 40 + 10);
    EXPECT_EQ(row.runs[1].font.size, 14);
    EXPECT_EQ(row.runs[1].ink, Ink::accent);
    EXPECT_EQ(row.runs[2].x, 512);
    const double dw = 2 * 7 + 14;
    EXPECT_EQ(row.marks, std::vector<Mark>{Mark::leader(dw + 40 + 8, 512 - 6, 22, 20)});

    Row bare = l.entryRow(20, "Hymn", std::nullopt, 7, false, true, false);
    EXPECT_EQ(bare.marks, std::vector<Mark>{Mark::leader(40 + 8, 522 - 6, 22, 20)});
    EXPECT_TRUE(bare.runs[0].font.italic);
    Row pageless = l.entryRow(20, "Hymn", std::nullopt, std::nullopt, false, false, false);
    EXPECT_EQ(pageless.runs.size(), 1u);
    EXPECT_TRUE(pageless.marks.empty());
}

TEST(ListPages, LongTextsAreCutWithAnEllipsis)
{
    BookSettings narrow = bare();
    narrow.margin = 230; // frame width 152
    BookLayouter l(narrow, fakeMeasurer(), "", "");
    struct Case {
        std::string text;
        std::string shown;
    };
    // Size 10: 5 a letter; no page, no detail: the text must fit 152 − 30 = 122, 24 letters.
    const Case cases[] = {
        {"abcdefghijklmnopqrstuvwx", "abcdefghijklmnopqrstuvwx"},
        {"abcdefghijklmnopqrstuvwxy", "abcdefghijklmnopqrstuvw\u2026"},
        {"abcdefghijklmnopqrstuv   xyz", "abcdefghijklmnopqrstuv\u2026"},
        {std::string(5000, 'm'), std::string(23, 'm') + "\u2026"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(l.entryRow(10, c.text, std::nullopt, std::nullopt, false, false, false).runs[0].text, c.shown);

    // Five characters that never fit end as three and "…".
    BookSettings tiny = bare();
    tiny.margin = 300;
    BookLayouter t(tiny, fakeMeasurer(), "", "");
    EXPECT_EQ(t.entryRow(10, "abcde", std::nullopt, std::nullopt, false, false, false).runs[0].text, "abc\u2026");
}

TEST(ListPages, SetListEntries)
{
    BookSettings s = bare();
    std::vector<PreparedSong> songs{
        PreparedSong(ChordProParser::parse("{title: A}\n{key: G}"), 0, 2, Accidentals::automatic, false),
        prepare("{title: B}\nno chords"), prepare("{title: C}")};
    std::vector<Row> rows = BookLayouter(s, fakeMeasurer(), "", "").setListRows(songs, {3, 4});
    ASSERT_EQ(rows.size(), 2u + 2u); // as many entries as pages
    EXPECT_EQ(rows[2].runs[0].text, "1. A");
    EXPECT_TRUE(rows[2].runs[0].font.bold);
    EXPECT_EQ(rows[2].runs[1].text, "G \u00B7 capo 2");
    EXPECT_EQ(rows[3].text(), "2. B 4");
}

TEST(IndexPages, SortKeys)
{
    struct Case {
        const char* text;
        const char* key;
    };
    const Case cases[] = {
        {"The Road", "road"}, {"Road!", "road"},       {"A Hard Rain's", "hard rains"},
        {"An Ode", "ode"},    {"Theory", "theory"},    {"  Æther, 1969 ", "æther 1969"},
        {"Anthem", "anthem"}, {"the", "the"},          {"¡Ay!", "ay"},
    };
    for (const Case& c : cases) EXPECT_EQ(sortKey(c.text), c.key) << c.text;
}

TEST(IndexPages, EntriesOrderAndLetters)
{
    BookSettings s = bare();
    std::vector<PreparedSong> songs{
        prepare("{title: Road}\nThe road, it winds"),
        prepare("{title: Amazing Grace}\nAmazing grace, how sweet"),
        prepare("{title: The Road}\n- Walking on, -"),
        prepare("{title: Song 10}\nla"),
        prepare("{title: song 9}\n[G] [C]"),
        prepare("{title: 7 Bridges}"),
    };
    BookLayouter l(s, fakeMeasurer(), "", "");
    std::vector<IndexEntry> entries = l.indexEntries(songs, {9, 2, 5, 3, 4, 6});
    std::vector<IndexEntry> expected{
        {"7 Bridges", 6, false},  {"Amazing Grace", 2, false}, {"la", 3, true},
        {"The Road", 5, false},   {"Road", 9, false},         {"song 9", 4, false},
        {"Song 10", 3, false},    {"Walking on", 5, true},
    };
    EXPECT_EQ(entries, expected);
    for (std::size_t i = 1; i < entries.size(); ++i)
        EXPECT_TRUE(IndexEntry::areInIncreasingOrder(entries[i - 1], entries[i])) << i;

    std::vector<Row> rows = l.indexRows(entries);
    std::vector<std::string> letters;
    for (const Row& r : rows)
        if (r.runs.size() == 1 && r.runs[0].ink == Ink::accent) letters.push_back(r.runs[0].text);
    EXPECT_EQ(letters, (std::vector<std::string>{"7", "A", "L", "R", "S", "W"}));
    for (const Row& r : rows) {
        if (r.runs.size() == 2 && r.runs[0].text == "Walking on") {
            EXPECT_TRUE(r.runs[0].font.italic);
        }
    }
}

TEST(BookLayouter, LaidValuesHashMemberByMember)
{
    // Equal values hash alike (a copy, and 0 against −0); changing any one
    // member changes the hash.
    auto check = [](const auto& base, const auto& variants) {
        using T = std::decay_t<decltype(base)>;
        std::hash<T> hash;
        EXPECT_EQ(hash(T(base)), hash(base));
        for (const T& v : variants) {
            EXPECT_NE(v, base);
            EXPECT_NE(hash(v), hash(base));
        }
    };
    const FontSpec font{12, false, false, false, false};
    const TunequillKit::Run run{"la", 0, 14, font, Ink::text};
    EXPECT_EQ(std::hash<TunequillKit::Run>{}(TunequillKit::Run{"la", -0.0, 14, font, Ink::text}), std::hash<TunequillKit::Run>{}(run));
    check(run, std::vector<TunequillKit::Run>{{"lo", 0, 14, font, Ink::text},
                                {"la", 1, 14, font, Ink::text},
                                {"la", 0, 15, font, Ink::text},
                                {"la", 0, 14, {12, true, false, false, false}, Ink::text},
                                {"la", 0, 14, {12, false, false, true, false}, Ink::text},
                                {"la", 0, 14, font, Ink::chord}});
    const Mark rule = Mark::rule({0, 4}, {100, 4});
    check(rule, std::vector<Mark>{Mark::rule({0, 4}, {100, 5}), Mark::box({0, 4, 100, 4}),
                                  Mark::leader(0, 4, 100, 4), Mark::diagram(ChordDefinition{"G", 1, {3, 2}, {}}, {0, 4}, 100, 4)});
    const Row row{20, {run}, {rule}, 0};
    check(row, std::vector<Row>{{21, {run}, {rule}, 0}, {20, {}, {rule}, 0}, {20, {run}, {}, 0}, {20, {run}, {rule}, 16}});
    const Block block{BlockKind::chorus, {row}, 13, false, 5};
    check(block, std::vector<Block>{{BlockKind::section, {row}, 13, false, 5},
                                    {BlockKind::chorus, {}, 13, false, 5},
                                    {BlockKind::chorus, {row}, 14, false, 5},
                                    {BlockKind::chorus, {row}, 13, true, 5},
                                    {BlockKind::chorus, {row}, 13, false, std::nullopt}});
    const PlacedRow placed{row, {40, 40}, 0, 1};
    check(placed, std::vector<PlacedRow>{
                      {row, {40, 41}, 0, 1}, {row, {40, 40}, std::nullopt, 1}, {row, {40, 40}, 0, 2}, {{}, {40, 40}, 0, 1}});
    const LaidPage page{3, PageKind::song, {placed}, {Platform::Rect{45, 42, 0, 30}}, {0}, true};
    check(page, std::vector<LaidPage>{{4, PageKind::song, {placed}, {Platform::Rect{45, 42, 0, 30}}, {0}, true},
                                      {3, PageKind::index, {placed}, {Platform::Rect{45, 42, 0, 30}}, {0}, true},
                                      {3, PageKind::song, {}, {Platform::Rect{45, 42, 0, 30}}, {0}, true},
                                      {3, PageKind::song, {placed}, {Platform::Rect{45, 42, 0, 31}}, {0}, true},
                                      {3, PageKind::song, {placed}, {Platform::Rect{45, 42, 0, 30}}, {}, true},
                                      {3, PageKind::song, {placed}, {Platform::Rect{45, 42, 0, 30}}, {0}, false}});
    check(IndexEntry{"Road", 4, false},
          std::vector<IndexEntry>{{"The Road", 4, false}, {"Road", 5, false}, {"Road", 4, true}});
    const PreparedSong prepared = prepare("{title: A}\n{key: G}\n{capo: 2}\n[G]la\n");
    PreparedSong moved = prepared, capo = prepared;
    moved.style.shift = 1;
    capo.capo = 0;
    check(prepared, std::vector<PreparedSong>{moved, capo, prepare("{title: B}\n{key: G}\n{capo: 2}\n[G]la\n")});
}

TEST(BookLayouter, HostileSettingsAndSongsStayBounded)
{
    std::string huge = "{title: " + std::string(20000, 'w') + "}\n{define: G base-fret 1 frets 3 2 0 0 0 3}\n";
    for (int i = 0; i < 300; ++i) huge += "[G]la [C]li [D]lo\n";
    std::vector<PreparedSong> songs{prepare(huge), song("Plain", 3)};
    struct Case {
        double margin, fontSize;
        int columns;
    };
    const Case cases[] = {{-1e6, 18, 2}, {1e6, 18, 1}, {40, 0, 9}, {40, 28, -3}, {300, 16, 2}};
    for (const Case& c : cases) {
        BookSettings s;
        s.margin = c.margin;
        s.fontSize = c.fontSize;
        s.columns = c.columns;
        s.setListPage = true;
        BookLayout layout = lay(s, songs);
        ASSERT_EQ(layout.songStartPages.size(), 2u);
        EXPECT_EQ(layout.pages.front().kind, PageKind::setList);
        EXPECT_LE(layout.songStartPages[0], layout.songStartPages[1]);
        EXPECT_LE(layout.songStartPages[1], static_cast<int>(layout.pages.size()));
        for (std::size_t i = 0; i < layout.pages.size(); ++i) EXPECT_EQ(layout.pages[i].number, static_cast<int>(i) + 1);
    }
}
