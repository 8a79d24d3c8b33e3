#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Readers/Markdown.h"
#include "tests/FolmiraKit/ModelPrinters.h"

#include <gtest/gtest.h>

using namespace FolmiraKit;

namespace {

using R = FolmiraKit::Run;

Blocks read(std::string_view text, bool keepLineBreaks = false)
{
    return readMarkdown({text.begin(), text.end()}, "t", std::nullopt, keepLineBreaks).blocks;
}

Block P(std::string text, bool breaks = false) { return Block::paragraph({R(std::move(text))}, breaks); }

} // namespace

TEST(MarkdownAutolinks, AddressesStayAndTagsGo)
{
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"Anna <anna@example.org> (she/her)", "Anna anna@example.org (she/her)"},
        {"available at <https://nodejs.org/en/>.", "available at https://nodejs.org/en/."},
        {"write <mailto:ann@example.org>", "write mailto:ann@example.org"},
        {"see <https://x.org/_a_/*b*>", "see https://x.org/_a_/*b*"},
        {"<span class=\"x\">kept</span> text", "kept text"},
        {"a <b>bold</b> word", "a bold word"},
        {"two <not an@address> words", "two words"},
        // Only what is shaped as HTML is a tag.
        {"a <33> b < c > d <m:abc> <foo.bar.baz> e", "a <33> b < c > d <m:abc> <foo.bar.baz> e"},
    };
    for (const auto& c : cases) EXPECT_EQ(Block::paragraph(markdownInline(c.text)), P(c.shown)) << c.text;
}

TEST(MarkdownComments, RemovedAcrossLinesOutsideFences)
{
    // The metadata comment that opens API documents.
    EXPECT_EQ(read("# fs\n\n<!-- YAML\nadded: v0.1\nchanges:\n  - version: v2\n-->\n\nThe module."),
              (Blocks{Block::heading(1, {R("fs")}), P("The module.")}));
    EXPECT_EQ(read("Before <!-- a > b --> after"), (Blocks{P("Before after")}));
    EXPECT_EQ(read("Start <!-- one\n- two\nthree --> end\nnext"), (Blocks{P("Start end next")}));
    EXPECT_EQ(read("a <!-- x --> b <!-- y\n--> c"), (Blocks{P("a b c")}));
    // Inside a fence a comment is code.
    EXPECT_EQ(read("```\n<!-- kept\n-->\n```"), (Blocks{P("<!-- kept\n-->", true)}));
    // A comment never closed takes nothing out.
    EXPECT_EQ(read("Text <!-- open\n\nMore"), (Blocks{P("Text <!-- open"), P("More")}));
}

TEST(MarkdownReferences, LinksShowTheirTextAndDefinitionsGo)
{
    const char* document = "Use the [Web Crypto API][] and [the URL spec][WHATWG].\n"
                           "See [Streams] or [nothing] here[^1].\n"
                           "\n"
                           "[Web Crypto API]: https://w3c.github.io/webcrypto/\n"
                           "[whatwg]: https://url.spec.whatwg.org/ \"URL\"\n"
                           "  [streams]:   stream.md\n"
                           "[^1]: A footnote.\n"
                           "```\n[code]: stays.md\n```";
    EXPECT_EQ(read(document),
              (Blocks{P("Use the Web Crypto API and the URL spec. See Streams or [nothing] here[^1]."),
                      P("[^1]: A footnote."), P("[code]: stays.md", true)}));

    const std::set<std::string> refs{markdownReferenceKey("Two  Words")};
    EXPECT_EQ(refs, (std::set<std::string>{"two words"}));
    EXPECT_EQ(markdownInline("[two\twords] and ![logo][two words]", refs), (Runs{R("two\twords and logo")}));
    EXPECT_EQ(markdownInline("[a] [b][] [[c]][d]"), (Runs{R("[a] b [[c]][d]")}));
}

TEST(MarkdownKeptLineBreaks, ParagraphsKeepTheirSourceLines)
{
    EXPECT_EQ(read("Amazing grace\nhow sweet the sound\nthat saved"),
              (Blocks{P("Amazing grace how sweet the sound that saved")}));
    EXPECT_EQ(read("Amazing grace\nhow sweet the sound\nthat saved", true),
              (Blocks{P("Amazing grace\nhow sweet the sound\nthat saved", true)}));
    EXPECT_EQ(read("> one\n> two", true), (Blocks{Block::paragraph({R("one\ntwo", false, true)}, true)}));
    EXPECT_EQ(read("single line", true), (Blocks{P("single line")}));

    const std::string text = "# Hymn\n\nVerse one\nverse two\n";
    BigDocument kept = Folmira::readBytes({text.begin(), text.end()}, "md", "Hymn", std::nullopt, true);
    ASSERT_EQ(kept.blocks.size(), 2u);
    EXPECT_EQ(kept.blocks[1], P("Verse one\nverse two", true));
}

TEST(MarkdownHostile, UnclosedCommentsAndBracketsStayLinear)
{
    std::string lines;
    for (int i = 0; i < 20000; ++i) lines += "<!-- a [b][ [c]:\n";
    Blocks blocks = read(lines);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_TRUE(blocks[0].as<Block::Paragraph>());
}
