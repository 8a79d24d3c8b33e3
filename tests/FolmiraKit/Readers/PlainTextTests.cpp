#include "FolmiraKit/Readers/Inference.h"
#include "FolmiraKit/Readers/PlainText.h"
#include "Platform/Regex.h"

#include "tests/FolmiraKit/ModelPrinters.h"

#include <gtest/gtest.h>

using namespace FolmiraKit;

namespace {

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

Blocks read(std::string_view text) { return readPlainText(bytes(text), "t").blocks; }

Block H(int level, std::string text) { return Block::heading(level, {FolmiraKit::Run(std::move(text))}); }
Block P(std::string text, bool breaks = false) { return Block::paragraph({FolmiraKit::Run(std::move(text))}, breaks); }
Block L(std::string marker, int level, std::string text) { return Block::listItem(std::move(marker), level, {FolmiraKit::Run(std::move(text))}); }

} // namespace

TEST(PlainTextDecoding, MarksAndFallbacks)
{
    EXPECT_EQ(decodeText({0xEF, 0xBB, 0xBF, 'h', 'i'}), "hi");
    EXPECT_EQ(decodeText({0xFF, 0xFE, 'h', 0, 'i', 0}), "hi");
    EXPECT_EQ(decodeText({0xFE, 0xFF, 0, 'h', 0, 'i'}), "hi");
    EXPECT_EQ(decodeText({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}), "\U0001F600");
    EXPECT_EQ(decodeText({0x93, 'q', 0x94}), "\u201Cq\u201D");
    EXPECT_EQ(decodeText({'a', 0x81, 'b'}), "a\uFFFDb");
    EXPECT_EQ(decodeText(bytes("caf\xC3\xA9")), "caf\u00E9");
    // An odd-length UTF-16 body falls back to repaired UTF-8.
    EXPECT_EQ(decodeText({0xFF, 0xFE, 'a'}), "\uFFFD\uFFFDa");
    // UTF-32 in both orders, its little-endian mark beginning with UTF-16's.
    EXPECT_EQ(decodeText({0xFF, 0xFE, 0, 0, 'h', 0, 0, 0, 0xE9, 0, 0, 0, 0x00, 0xF6, 0x01, 0}), "h\u00E9\U0001F600");
    EXPECT_EQ(decodeText({0, 0, 0xFE, 0xFF, 0, 0, 0, 'h', 0, 0, 0x03, 0xB8}), "h\u03B8");
    // Not UTF-32 after all (a stray byte, a value past U+10FFFF, a surrogate):
    // read as UTF-16 that starts with a NUL, as before.
    EXPECT_EQ(decodeText({0xFF, 0xFE, 0, 0, 'h', 0}), std::string("\0h", 2));
    EXPECT_EQ(decodeText({0xFF, 0xFE, 0, 0, 'h', 0, 0x11, 0}), std::string("\0h\u0011", 3));
    EXPECT_EQ(decodeText({0xFF, 0xFE, 0, 0, 0, 0xD8, 0, 0}), std::string("\uFFFD\uFFFD\0\0\0\uFFFD\0\0", 14));
}

TEST(PlainTextLines, SplitsAndGroups)
{
    EXPECT_EQ(splitTextLines("a\r\nb\rc\fd  \t\n"), (Lines{"a", "b", "c", "d", ""}));
    EXPECT_EQ(splitTextLines(""), Lines{""});
    EXPECT_EQ(lineGroups({"", "a", "  ", "b", "c", "", ""}), (std::vector<Lines>{{"a"}, {"b", "c"}}));
    // A form feed between paragraphs ends a line; it is not a blank line.
    EXPECT_EQ(read("One line\fTwo line"), (Blocks{P("One line\nTwo line", true)}));
}

TEST(PlainTextMarkers, ListMarkerTest)
{
    struct Case {
        const char* text;
        std::optional<Inference::ListMarker> expected;
    };
    using M = Inference::ListMarker;
    const Case cases[] = {
        {"\u2022 Milk", M{"\u2022", "Milk"}},
        {"\u25AAMilk", std::nullopt},
        {"-Milk", std::nullopt},
        {"- Milk", M{"\u2022", "Milk"}},
        {"+ + +", std::nullopt},
        {"- - -", std::nullopt},
        {"* * *", std::nullopt},
        {"  3) Third", M{"3)", "Third"}},
        {"(iv) Four", M{"iv)", "Four"}},
        {"1000. Big", std::nullopt},
        {"J. Smith", std::nullopt},
        {"A. The first option", M{"A.", "The first option"}},
        {"a. the first", M{"a.", "the first"}},
        {"(a) Item", M{"a)", "Item"}},
        {"1. First", M{"1.", "First"}},
        {"\t\u2013 dash item", M{"\u2022", "dash item"}},
        {"\u2022   ", std::nullopt},
        {"   ", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(Inference::listMarker(c.text), c.expected) << c.text;
    EXPECT_EQ(Inference::bulletCharacters().size(), 20u);

    // Numbered items read as the pattern they were first read with reads
    // them (texts that start with a capital left out: a name may stand there).
    static const Platform::Regex pattern("^\\(?([0-9]{1,3}|[a-zA-Z]|[ivxIVX]{2,4})([.)])[ \\t]+(\\S.*)$");
    for (std::string open : {"", "(", "(("})
        for (std::string label : {"1", "12", "123", "1234", "12345", "a", "Z", "iv", "IVX", "ivxi", "ivxiv", "x1", "1a", "vi1", ""})
            for (std::string delimiter : {".", ")", ":", ".)"})
                for (std::string gap : {"", " ", "\t", " \t "})
                    for (std::string body : {"", "x", "step two", "1 b", "a\u2028b", "end\u2028", "a\r\n", "x\v", "a\tb",
                                             "\u00E9t\u00E9", "\u00A0x", "b \u3000", "~", " "}) {
                        const std::string line = open + label + delimiter + gap + body;
                        auto expected = pattern.firstMatch(line);
                        auto marker = Inference::listMarker(line);
                        ASSERT_EQ(marker.has_value(), expected.has_value()) << line;
                        if (marker)
                            EXPECT_EQ(*marker, (M{std::string(expected->text(1)) + std::string(expected->text(2)),
                                                  std::string(expected->text(3))}))
                                << line;
                    }
}

TEST(PlainTextHeadings, FiveRules)
{
    EXPECT_EQ(read("a quiet title\n\nBody text follows here."), (Blocks{H(1, "a quiet title"), P("Body text follows here.")}));
    EXPECT_EQ(read("Intro text.\n\nCHAPTER ONE\n\nMore."), (Blocks{P("Intro text."), H(2, "CHAPTER ONE"), P("More.")}));
    EXPECT_EQ(read("Intro text.\n\nA B\n\nGo.")[1], P("A B"));
    // Capitals by the letters alone, A and Z included, in any script.
    for (std::string caps : {"ZOO AREA 51", "ZZ A", "AA Z", "\u00C9T\u00C9 \u00C0 PARIS", "\u0394\u0395\u039B\u03A4\u0391 2"})
        EXPECT_EQ(read("Intro text.\n\n" + caps + "\n\nMore.")[1], H(2, caps)) << caps;
    for (std::string mixed : {"ZOO AREa 51", "JAZz CLUB", "\u00C9T\u00E9 \u00C0 PARIS", "\u0394\u03B5\u039B\u03A4\u0391 2"})
        EXPECT_NE(read("Intro text.\n\n" + mixed + "\n\nMore.")[1], H(2, mixed)) << mixed;
    EXPECT_EQ(read("Intro text.\n\nIngredients:\n\nFlour.")[1], H(3, "Ingredients:"));
    EXPECT_EQ(read("Ingredients:\n\nFlour.")[0], H(1, "Ingredients:"));
    std::string long41 = "Here are some of the things that you need:";
    ASSERT_EQ(long41.size(), 42u);
    EXPECT_EQ(read("Intro text.\n\n" + long41.substr(1) + "\n\nFlour.")[1], P(long41.substr(1)));
    EXPECT_EQ(read("Intro.\n\nGetting Started\n\nThis paragraph is longer than its heading.")[1], H(3, "Getting Started"));
    EXPECT_EQ(read("Intro.\n\nGetting Started")[1], P("Getting Started"));
    EXPECT_EQ(read("Intro.\n\nGetting started.\n\nThis paragraph is longer than its heading.")[1], P("Getting started."));
    EXPECT_EQ(read("Title\n====="), (Blocks{H(1, "Title")}));
    EXPECT_EQ(read("Title\n-----"), (Blocks{H(2, "Title")}));
    EXPECT_EQ(read("Title\n--"), (Blocks{P("Title\n--", true)}));
}

TEST(PlainTextLists, ItemsLevelsAndLeadIns)
{
    EXPECT_EQ(read("Intro.\n\n- Milk\n- Eggs"), (Blocks{P("Intro."), L("\u2022", 0, "Milk"), L("\u2022", 0, "Eggs")}));
    EXPECT_EQ(read("Intro.\n\n- a\n    - four\n\t- tab\n\t\t- two tabs\n          - ten"),
              (Blocks{P("Intro."), L("\u2022", 0, "a"), L("\u2022", 1, "four"), L("\u2022", 1, "tab"),
                      L("\u2022", 2, "two tabs"), L("\u2022", 3, "ten")}));
    EXPECT_EQ(read("Intro.\n\n        - alone"), (Blocks{P("Intro."), L("\u2022", 0, "alone")}));
    EXPECT_EQ(read("Intro.\n\nYou will need:\n- Milk\n- Eggs"),
              (Blocks{P("Intro."), H(3, "You will need:"), L("\u2022", 0, "Milk"), L("\u2022", 0, "Eggs")}));
    EXPECT_EQ(read("Intro.\n\nBefore you begin, please gather everything below.\n- Milk"),
              (Blocks{P("Intro."), P("Before you begin, please gather everything below."), L("\u2022", 0, "Milk")}));
    EXPECT_EQ(read("Intro.\n\n1. First infor-\nmation here\n2) Second"),
              (Blocks{P("Intro."), L("1.", 0, "First information here"), L("2)", 0, "Second")}));
}

TEST(PlainTextParagraphs, JoiningAndKeptBreaks)
{
    EXPECT_EQ(joinWrappedLines({"exam-", "ple"}), "example");
    EXPECT_EQ(joinWrappedLines({"well-", "Known"}), "well- Known");
    EXPECT_EQ(joinWrappedLines({"1990-", "ies"}), "1990- ies");
    // Words in capitals are mended too; a hyphen of the text's own stays,
    // without the line's space, and a lone capital is a compound's part.
    EXPECT_EQ(joinWrappedLines({"THE PRO-", "GRAM IS FREE"}), "THE PROGRAM IS FREE");
    EXPECT_EQ(joinWrappedLines({"ÉTÉ RE-", "ÉCRIT"}), "ÉTÉ REÉCRIT");
    EXPECT_EQ(joinWrappedLines({"OF REPRO-", "DUCTION."}), "OF REPRODUCTION.");
    EXPECT_EQ(joinWrappedLines({"a DNA-", "binding site"}), "a DNA-binding site");
    EXPECT_EQ(joinWrappedLines({"an X-", "ray and a U-", "BOOT of PART-", "B"}), "an X-ray and a U-BOOT of PART-B");
    EXPECT_EQ(joinWrappedLines({"COVID-", "19 and Win-", "95"}), "COVID-19 and Win-95");
    EXPECT_EQ(joinWrappedLines({"THE PRO-", "Gram", "and Well-", "KNOWN"}), "THE PRO- Gram and Well- KNOWN");
    EXPECT_EQ(joinWrappedLines({"in 1990-", "95 or", "(-", "1)"}), "in 1990- 95 or (- 1)");
    EXPECT_EQ(joinWrappedLines({"  a ", " b"}), "a b");
    EXPECT_EQ(joinWrappedLines({"以兄弟关系的精神相待。", "人人生而自由"}), "以兄弟关系的精神相待。人人生而自由");
    EXPECT_EQ(joinWrappedLines({"全て人間は", "生まれながら"}), "全て人間は生まれながら");

    std::string poem = "Roses are red\nViolets are blue\nSugar is sweet\nAnd so are you";
    EXPECT_EQ(read("Intro.\n\n" + poem)[1], P(poem, true));
    std::string prose = "This is a long line of ordinary prose that goes on past the limit\n"
                        "and wraps onto the next line as editors do.";
    EXPECT_EQ(read("Intro.\n\n" + prose)[1],
              P("This is a long line of ordinary prose that goes on past the limit and wraps onto the next line as "
                "editors do."));
    EXPECT_FALSE(keepsLineBreaks({"short-", "Lines"}));
    EXPECT_FALSE(keepsLineBreaks({"one"}));
    EXPECT_TRUE(keepsLineBreaks({"One", "two", "Three"}));
    EXPECT_FALSE(keepsLineBreaks({"One", "two", "three"}));

    // When most multi-line groups are verse, every multi-line group keeps its breaks.
    std::string doc = "Intro.\n\nRoses are red\nViolets are blue\n\nSugar is sweet\nAnd so are you\n\n"
                      "Short lines\nAll capitalised\n\nthis one is\nlower case";
    Blocks blocks = read(doc);
    ASSERT_EQ(blocks.size(), 5u);
    EXPECT_EQ(blocks[4], P("this one is\nlower case", true));
}

TEST(PlainTextQuotes, MarksGo)
{
    EXPECT_EQ(read("Intro.\n\n> > quoted text.\n>\n> more text."), (Blocks{P("Intro."), P("quoted text.\nmore text.", true)}));
    EXPECT_EQ(read("Intro.\n\n> This wrapped quote is a long line of prose past the limit\n> and it goes on.")[1],
              P("This wrapped quote is a long line of prose past the limit and it goes on."));
}

TEST(PlainTextEmpty, ControlsAndWhiteSpaceAloneAreRefused)
{
    const std::string nothing[] = {std::string(4096, '\0'), std::string("\0\x01\x1F \t\n\x7F\r\n\x0B", 11),
                                   "\xC2\xA0\n\xE2\x80\x83  ", std::string(100'000, '\n')};
    for (const std::string& text : nothing) {
        try {
            read(text);
            ADD_FAILURE() << "read " << text.size() << " bytes of nothing";
        } catch (const ConversionError& refusal) {
            EXPECT_EQ(refusal.reason, ConversionError::Reason::empty);
            EXPECT_STREQ(refusal.what(), "This file is empty: there’s no text to make large.");
        }
    }
    // One visible character among them is text.
    EXPECT_EQ(read(std::string("\0\0x\0", 4)), (Blocks{H(1, std::string("\0\0x\0", 4))}));
}
