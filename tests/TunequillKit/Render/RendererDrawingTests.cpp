// How the renderer draws: runs shaped once and drawn by ink and face in one
// go must read back as the runs drawn one by one; leaders drawn as one dotted
// stroke must still show one round dot per step.

#include "Platform/Images.h"
#include "Platform/PdfDocument.h"
#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Render/Renderer.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace TunequillKit;

namespace {

const char* const songs[] = {
    "{title: Morning Light}\n{key: G}\n{define: G base-fret 3 frets 3 2 0 0 0 3}\n"
    "[G]Morning [C]light is [D7]on the [Em]water\n[Am7]over the [F#m7b5]valley we [Bb/D]gather\n"
    "{soc}\n[G]Sing it a[Csus4]gain\n{eoc}\n{c: Slower}\n[G]mor[C]ning",
    "{title: River Song}\n{artist: Someone}\n[Eb]River [Ab]runs\n[Bbm]on and [Cm]on",
    "{title: Quiet Evening}\nNo chords at all here\njust the words",
};

BookLayout book(const BookSettings& settings)
{
    std::vector<PreparedSong> prepared;
    for (const char* s : songs)
        prepared.emplace_back(ChordProParser::parse(s), 0, std::nullopt, Accidentals::automatic, false);
    return BookLayouter(settings, systemMeasurer(), "Camp", "Songs").layout(prepared);
}

Platform::PdfDocument open(const Platform::Bytes& pdf)
{
    auto opened = Platform::PdfDocument::open(pdf);
    if (!opened.document) throw std::runtime_error("not a PDF");
    return *opened.document;
}

// The book's runs drawn one at a time in row order, as plain text lines: what
// the grouped drawing must look like.
Platform::Bytes runByRun(const BookLayout& layout, const BookSettings& settings)
{
    Platform::PdfWriter canvas("t", "t");
    const Renderer::Palette palette = Renderer::Palette::forSettings(settings);
    for (const LaidPage& page : layout.pages) {
        canvas.beginPage(layout.pageSize);
        for (const PlacedRow& placed : page.rows)
            for (const Run& run : placed.row.runs) {
                Platform::Color colour = run.ink == Ink::chord ? palette.chord
                                         : run.ink == Ink::muted ? palette.muted
                                         : run.ink == Ink::accent ? palette.accent
                                                                  : palette.text;
                Renderer::drawText(run.text, run.font,
                                   {placed.origin.x + run.x, layout.pageSize.height - (placed.origin.y + run.baseline)},
                                   colour, canvas);
            }
        canvas.endPage();
    }
    return canvas.finish();
}

// The same layout with its marks taken out (they draw text of their own).
BookLayout withoutMarks(BookLayout layout)
{
    for (LaidPage& page : layout.pages)
        for (PlacedRow& placed : page.rows) placed.row.marks.clear();
    return layout;
}

} // namespace

TEST(RendererDrawing, GroupedRunsReadBackAsRunsDrawnOneByOne)
{
    BookSettings settings;
    settings.pageNumbers = false;
    const BookLayout layout = withoutMarks(book(settings));
    Platform::PdfDocument grouped = open(Renderer::pdf(layout, settings, "t"));
    Platform::PdfDocument single = open(runByRun(layout, settings));
    ASSERT_EQ(grouped.pageCount(), static_cast<int>(layout.pages.size()));
    ASSERT_EQ(single.pageCount(), grouped.pageCount());
    for (int p = 0; p < grouped.pageCount(); ++p) {
        Platform::PdfPageText a = grouped.page(p)->text(), b = single.page(p)->text();
        EXPECT_EQ(a.text, b.text) << "page " << p + 1;
        ASSERT_EQ(a.boxes.size(), b.boxes.size());
        double worst = 0;
        for (std::size_t i = 0; i < a.boxes.size(); ++i)
            if (a.boxes[i] && b.boxes[i])
                worst = std::max({worst, std::abs(a.boxes[i]->minX() - b.boxes[i]->minX()),
                                  std::abs(a.boxes[i]->minY() - b.boxes[i]->minY())});
        // The PDF's glyph widths are rounded to thousandths of an em; along a row's
        // text they may add up to a fraction of a point, never more.
        EXPECT_LT(worst, 0.5) << "page " << p + 1;
    }
}

TEST(RendererDrawing, RunsAreDrawnGroupedByInkAndFaceInFirstAppearanceOrder)
{
    const FontSpec lyric{18, false, false, false, false}, chord{15, true, false, false, false};
    const FontSpec italic{18, false, true, false, false};
    struct Case {
        std::vector<TunequillKit::Run> runs;
        std::vector<std::string> order;
    };
    const Case cases[] = {
        {{}, {}},
        {{{"G", 0, 15, chord, Ink::chord}, {"Morning ", 0, 35, lyric, Ink::text}, {"C", 60, 15, chord, Ink::chord},
          {"light", 60, 35, lyric, Ink::text}},
         {"G", "C", "Morning ", "light"}},
        // A change of face or of ink starts a group of its own; empty runs are left out.
        {{{"a", 0, 0, lyric, Ink::text}, {"", 5, 0, lyric, Ink::text}, {"b", 10, 0, italic, Ink::text},
          {"c", 20, 0, lyric, Ink::muted}, {"d", 30, 0, lyric, Ink::text}, {"e", 40, 0, italic, Ink::text}},
         {"a", "d", "b", "e", "c"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> order;
        for (const TunequillKit::Run* run : Renderer::drawingOrder(c.runs)) order.push_back(run->text);
        EXPECT_EQ(order, c.order);
    }
}

TEST(RendererDrawing, EachTextIsShapedOncePerFace)
{
    Renderer::ShapedTexts shaped;
    const FontSpec regular{18, false, false, false, false}, bold{18, true, false, false, false};
    const Platform::TextLayout* first = shaped.line("Amazing", regular);
    ASSERT_TRUE(first);
    EXPECT_EQ(shaped.line("Amazing", regular), first);
    EXPECT_NE(shaped.line("Amazing", bold), first);
    EXPECT_NE(shaped.line("Amazing", FontSpec{19, false, false, false, false}), first);
    EXPECT_EQ(shaped.line("", regular), nullptr);
    EXPECT_EQ(shaped.size(), 3u);
    ASSERT_EQ(first->lines().size(), 1u);
    EXPECT_GT(first->lines()[0].width, 50);

    // Layouts stay until trimmed, and are dropped only past the limit.
    Renderer::ShapedTexts small(2);
    const Platform::TextLayout* kept = small.line("one", regular);
    small.line("two", regular);
    small.trim();
    EXPECT_EQ(small.size(), 2u);
    small.line("three", regular);
    EXPECT_EQ(small.line("one", regular), kept); // still there until the trim
    small.trim();
    EXPECT_EQ(small.size(), 0u);
}

TEST(RendererDrawing, LeadersStillShowOneRoundDotPerStep)
{
    BookSettings settings; // contents on: its entries have leaders
    const BookLayout layout = book(settings);
    // The first leader on the contents page, where it lies on the page.
    const LaidPage* contents = nullptr;
    const Mark::Leader* leader = nullptr;
    Platform::Point origin;
    for (const LaidPage& page : layout.pages)
        for (const PlacedRow& placed : page.rows)
            for (const Mark& mark : placed.row.marks)
                if (auto* l = mark.as<Mark::Leader>(); l && !leader) {
                    contents = &page;
                    leader = l;
                    origin = placed.origin;
                }
    ASSERT_TRUE(leader);
    const std::vector<double> dots = Renderer::leaderDots(*leader);
    ASSERT_GE(dots.size(), 5u);

    Platform::PdfDocument doc = open(Renderer::pdf(layout, settings, "t"));
    const int pageIndex = static_cast<int>(contents - layout.pages.data());
    const double r = std::max(0.7, 0.055 * leader->size);
    const double H = layout.pageSize.height;
    const double centreY = H - (origin.y + leader->baseline - r);
    // A band round the dots' centres, from just before the first dot to past the last.
    const Platform::Rect band{origin.x + leader->x1 - 1, centreY - 3 * r, leader->x2 - leader->x1 + 2, 6 * r};
    constexpr double scale = 8; // pixels per point
    std::optional<Platform::Bitmap> bitmap = doc.page(pageIndex)->render(band, scale, 10'000'000);
    ASSERT_TRUE(bitmap);
    ASSERT_TRUE(Platform::pngData(*bitmap)); // the band as an image, as a viewer would show it

    auto inked = [&](int x, int y) {
        std::uint32_t p = bitmap->pixels[static_cast<std::size_t>(y) * bitmap->width + x];
        return ((p >> 16) & 0xFF) < 230; // the rule colour is a light grey
    };
    // Dots are the runs of inked columns; each about as wide and as tall as a dot.
    std::vector<std::pair<int, int>> columns; // first and last column of each dot
    for (int x = 0; x < bitmap->width; ++x) {
        bool any = false;
        for (int y = 0; y < bitmap->height && !any; ++y) any = inked(x, y);
        if (!any) continue;
        if (!columns.empty() && columns.back().second == x - 1) columns.back().second = x;
        else columns.push_back({x, x});
    }
    ASSERT_EQ(columns.size(), dots.size());
    const double diameter = 2 * r * scale;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const double width = columns[i].second - columns[i].first + 1;
        EXPECT_NEAR(width, diameter, 3) << "dot " << i;
        const double centre = (columns[i].first + columns[i].second + 1) / 2.0 / scale + band.minX();
        EXPECT_NEAR(centre, origin.x + dots[i], 0.3) << "dot " << i;
        int rows = 0;
        for (int y = 0; y < bitmap->height; ++y)
            for (int x = columns[i].first; x <= columns[i].second; ++x)
                if (inked(x, y)) {
                    ++rows;
                    break;
                }
        EXPECT_NEAR(rows, diameter, 3) << "dot " << i << " is round, not a dash";
    }
}

// Names and words in scripts Latin faces lack are drawn from the system's
// fallback faces, not as boxes of hex digits, in every face a book uses.
TEST(RendererDrawing, OtherScriptsAndEmojiFindAFace)
{
    const std::string line = "മലയാളം 中文歌词 עברית 😀";
    Renderer::ShapedTexts shaped;
    for (int kind = 0; kind < 3; ++kind)
        for (int style = 0; style < 4; ++style) {
            const FontSpec font{18, (style & 1) != 0, (style & 2) != 0, kind == 2, kind == 1};
            const Platform::TextLayout* layout = shaped.line(line, font);
            ASSERT_TRUE(layout);
            EXPECT_EQ(layout->unknownGlyphs(), 0) << Fonts::name(font);
        }
}
