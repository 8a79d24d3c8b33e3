#include "Platform/TextLayout.h"

#include "tests/HangGuard.h"

#include <gtest/gtest.h>
#include <pango/pangoft2.h>

#include <cmath>
#include <future>
#include <optional>
#include <thread>

using namespace Platform;

namespace {

Font face(const char* name, double size) { return *Fonts::named(name, size); }
Font regular(double size = 18) { return face("AtkinsonHyperlegible-Regular", size); }
Font bold(double size = 18) { return face("AtkinsonHyperlegible-Bold", size); }

AttributedText plain(std::string_view text, const Font& font = regular())
{
    AttributedText out;
    out.append(text, font);
    return out;
}

double widthOf(std::string_view text, const Font& font = regular()) { return TextLayout::lineWidth(plain(text, font)); }

const char* const pangram = "The quick brown fox jumps over the lazy dog while the patient reader follows "
                            "every word of it in large and friendly letters.";

} // namespace

TEST(TextLayout, BreaksAtTheWidthAndCoversTheWholeText)
{
    TextLayout layout(plain(pangram), 200, {});
    const auto& lines = layout.lines();
    ASSERT_GT(lines.size(), 3u);
    std::size_t next = 0;
    for (const auto& line : lines) {
        EXPECT_EQ(line.start, next);
        EXPECT_LE(widthOf(std::string_view(layout.text()).substr(line.start, line.length)), 200 + widthOf(" "));
        EXPECT_GT(line.ascent, 0);
        EXPECT_GT(line.descent, 0);
        next = line.start + line.length;
    }
    EXPECT_EQ(next, layout.text().size());
}

TEST(TextLayout, MeasuresInUnroundedPointsThatScaleWithTheSize)
{
    double at18 = widthOf("Readable", regular(18));
    double at36 = widthOf("Readable", regular(36));
    EXPECT_NEAR(at36, 2 * at18, 0.01); // Pango counts in 1/1024 pt
    EXPECT_NE(at18, std::round(at18)); // no whole-pixel rounding
    EXPECT_GT(widthOf("Readable", bold()), at18);
    EXPECT_EQ(widthOf(""), 0);
    TextLayout big(plain("Hg", regular(36)), 500, {});
    TextLayout small(plain("Hg", regular(18)), 500, {});
    EXPECT_NEAR(big.lines()[0].ascent, 2 * small.lines()[0].ascent, 0.01);
}

TEST(TextLayout, IndentsTheFirstLineAndHangsTheRest)
{
    ParagraphFormat format;
    format.firstIndent = 50.4;
    format.headIndent = 79.2;
    format.tabStops = {79.2};
    AttributedText text;
    text.append("•\t", bold());
    text.append(pangram, regular());
    TextLayout layout(text, 300, format);
    ASSERT_GT(layout.lines().size(), 2u);
    EXPECT_DOUBLE_EQ(layout.lines()[0].x, 50.4);
    for (std::size_t i = 1; i < layout.lines().size(); ++i) EXPECT_DOUBLE_EQ(layout.lines()[i].x, 79.2);
    // The tab carries the text to the stop: from the marker's start that is the gap.
    AttributedText head;
    head.append("•\t", bold());
    head.append("The", regular());
    TextLayout one(head, 300, format);
    EXPECT_NEAR(one.lines()[0].width, 79.2 - 50.4 + widthOf("The"), 0.01);

    // Following the direction, a right-to-left paragraph takes its indents
    // from the right edge and ends its lines there; a left-to-right one and
    // any paragraph of a format that does not follow stay at the left.
    std::string hebrew;
    for (int i = 0; i < 12; ++i) hebrew += "שלום עולם ";
    format.followDirection = true;
    TextLayout right(plain(hebrew), 300, format);
    ASSERT_GT(right.lines().size(), 2u);
    for (std::size_t i = 0; i < right.lines().size(); ++i) {
        EXPECT_TRUE(right.lines()[i].rightToLeft);
        EXPECT_NEAR(right.lines()[i].x + right.lines()[i].width, 300 - (i == 0 ? 50.4 : 79.2), 1e-6) << i;
    }
    TextLayout latin(plain(pangram), 300, format);
    EXPECT_DOUBLE_EQ(latin.lines()[0].x, 50.4);
    EXPECT_FALSE(latin.lines()[0].rightToLeft);
    format.followDirection = false;
    TextLayout left(plain(hebrew), 300, format);
    EXPECT_DOUBLE_EQ(left.lines()[0].x, 50.4);
    EXPECT_FALSE(left.lines()[0].rightToLeft);
}

TEST(TextLayout, DefaultTabsFollowTheInterval)
{
    ParagraphFormat format;
    format.tabInterval = 36;
    TextLayout layout(plain("a\tb\tc"), 500, format);
    EXPECT_NEAR(layout.lines()[0].width, 72 + widthOf("c"), 0.01);
}

TEST(TextLayout, LineSeparatorsAndLineFeedsEndLines)
{
    for (const char* text : {"one\u2028two\u2028three", "one\ntwo\nthree"}) {
        TextLayout layout(plain(text), 500, {});
        ASSERT_EQ(layout.lines().size(), 3u) << text;
        EXPECT_EQ(layout.text().substr(layout.lines()[2].start, layout.lines()[2].length), "three");
    }
}

TEST(TextLayout, KeepsWrappingWhenTheWidthIsGone)
{
    // Pango stops wrapping at a width of 0 or less; a layout must not.
    for (double width : {0.0, -40.0}) {
        TextLayout layout(plain("Hello wonderful world"), width, {});
        EXPECT_GT(layout.lines().size(), 3u) << width;
    }
    // A word longer than the line is broken inside, without a hyphen.
    TextLayout layout(plain("Incomprehensibilities"), 60, {});
    ASSERT_GT(layout.lines().size(), 1u);
    std::string joined;
    for (const auto& line : layout.lines()) joined += layout.text().substr(line.start, line.length);
    EXPECT_EQ(joined, "Incomprehensibilities");
}

TEST(TextLayout, MendsInvalidUtf8AsItIsAppended)
{
    AttributedText text;
    text.append("ok ", regular());
    text.append(std::string("bad\xff\xfe end"), bold());
    EXPECT_EQ(text.text(), "ok bad\uFFFD\uFFFD end");
    ASSERT_EQ(text.spans().size(), 2u);
    EXPECT_EQ(text.spans()[1].start, 3u);
    EXPECT_EQ(text.spans()[1].end, text.text().size());
    TextLayout layout(text, 500, {});
    EXPECT_EQ(layout.lines().size(), 1u);
}

TEST(TextLayout, BreaksAndMeasuresTextLongerThanPangoCanCountAtOnce)
{
    // Some 260,000 characters: more advance than Pango's units hold in one
    // go, which once came back as a single line running off the page.
    std::string text;
    for (int i = 0; i < 3400; ++i) text += pangram, text += ' ';
    text += "End.";
    ParagraphFormat format;
    format.firstIndent = 10;
    format.headIndent = 30;
    TextLayout layout(plain(text), 400, format);
    const auto& lines = layout.lines();
    ASSERT_GT(lines.size(), 9000u);
    std::size_t next = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].start, next) << i;
        ASSERT_LE(lines[i].x + lines[i].width, 400 + widthOf(" ")) << i;
        ASSERT_EQ(lines[i].x, i == 0 ? 10 : 30) << i;
        // Greedy breaking: no line could have taken the next word as well.
        if (i + 1 < lines.size()) {
            std::string_view rest = std::string_view(text).substr(lines[i + 1].start);
            std::string_view word = rest.substr(0, rest.find(' '));
            ASSERT_GT(lines[i].x + lines[i].width + widthOf(" ") + widthOf(word), 400) << i;
        }
        next = lines[i].start + lines[i].length;
    }
    EXPECT_EQ(next, text.size());
    // Where a slice would end between CR and LF, the pair still ends one line.
    std::string crlf;
    for (int i = 0; i < 4000; ++i) crlf += "a\r\n";
    EXPECT_EQ(TextLayout(plain(crlf), 400, {}).lines().size(), 4001u);
    EXPECT_NEAR(TextLayout::lineWidth(plain(text)), 3400 * widthOf(std::string(pangram) + " ") + widthOf("End."), 1.0);
}

TEST(TextLayout, CountsTheCharactersNoFaceHas)
{
    // Plane 16's private use: no installed face draws it.
    EXPECT_EQ(TextLayout(plain("Plain words"), 200, {}).unknownGlyphs(), 0);
    EXPECT_EQ(TextLayout(plain("A \U0010FFFD and \U0010FFFC"), 200, {}).unknownGlyphs(), 2);
}

TEST(TextLayout, FontsGetFacesOfTheirOwnOrLayoutKeepsToOneJobAtATime)
{
    EXPECT_TRUE(layoutMayUseThreads()) << "pangocairo's font class found and hooked";
    // The check tells a hooked font from one the hook never sees (Pango's own FreeType fonts).
    PangoFontMap* unhooked = pango_ft2_font_map_new();
    for (const auto& [map, own] : {std::pair<PangoFontMap*, bool>{nullptr, true}, {unhooked, false}})
        EXPECT_EQ(fontsGetOwnFaces(map), own) << (map ? "Pango's FreeType fonts" : "a layout's fonts");
    g_object_unref(unhooked);
    // Where it is not, a second job waits for the first; otherwise it runs beside it.
    for (const bool may : {true, false}) {
        assumeLayoutMayUseThreads(may);
        std::optional<SoleLayout> first(std::in_place);
        std::promise<void> entered;
        std::thread second([&] { SoleLayout beside; entered.set_value(); });
        const auto wait = may ? HangGuard::limit(std::chrono::milliseconds(100)) : std::chrono::milliseconds(100);
        EXPECT_EQ(entered.get_future().wait_for(wait) == std::future_status::ready, may);
        first.reset();
        second.join();
    }
    assumeLayoutMayUseThreads(std::nullopt);
}
