#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Readers/Markdown.h"
#include "Platform/Images.h"
#include "Platform/Regex.h"
#include "Platform/Text.h"
#include "tests/FolmiraKit/ModelPrinters.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <iterator>
#include <fstream>

#include <sys/stat.h>

using namespace FolmiraKit;
namespace fs = std::filesystem;

namespace {

using R = FolmiraKit::Run;

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

BigDocument readDoc(std::string_view text, std::optional<fs::path> folder = std::nullopt)
{
    return readMarkdown(bytes(text), "t", folder);
}

Blocks read(std::string_view text) { return readDoc(text).blocks; }

Block P(std::string text, bool breaks = false) { return Block::paragraph({R(std::move(text))}, breaks); }

class MarkdownFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("folmira-md-" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "doc");
        Platform::Bitmap bitmap{30, 20, std::vector<std::uint32_t>(600, 0xFF336699)};
        png_ = *Platform::pngData(bitmap);
        writeBytes(dir_ / "doc" / "map one.png", png_);
        writeBytes(dir_ / "outside.png", png_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& data)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
    }

    fs::path dir_;
    std::vector<std::uint8_t> png_;
};

} // namespace

TEST(MarkdownHeadings, HashesUnderlinesAndRules)
{
    EXPECT_EQ(read("### Title ###"), (Blocks{Block::heading(3, {R("Title")})}));
    EXPECT_EQ(read("###### Deep"), (Blocks{Block::heading(3, {R("Deep")})}));
    EXPECT_EQ(read("#Word"), (Blocks{P("#Word")}));
    EXPECT_EQ(read("# A **bold** and *it*"),
              (Blocks{Block::heading(1, {R("A "), R("bold"), R(" and "), R("it", false, true)})}));
    EXPECT_EQ(read("Title\n====="), (Blocks{Block::heading(1, {R("Title")})}));
    EXPECT_EQ(read("Title\n---"), (Blocks{Block::heading(2, {R("Title")})}));
    EXPECT_EQ(read("One\nTwo\n---"), (Blocks{P("One Two"), Block::rule()}));
    EXPECT_EQ(read("Text\n\n---"), (Blocks{P("Text"), Block::rule()}));
    EXPECT_EQ(read("* * *"), (Blocks{Block::rule()}));
    // A rule as the pattern reads one, whatever spaces stand between its marks.
    static const Platform::Regex rule("^([-*_])(\\s*\\1){2,}$");
    for (std::string mark : {"-", "*", "_"})
        for (std::string gap : {"", " ", "\t", "\v", "\u00A0", "\u2003", "\u00E9", "x", "-", "\u3000 "})
            for (std::string end : {"", "x", "\u00A0", "*"}) {
                const std::string line = mark + gap + mark + gap + mark + end;
                const bool isRule = read(line) == Blocks{Block::rule()};
                EXPECT_EQ(isRule, rule.search(line)) << line;
            }
    // Closing hashes follow a space: a title's own "#" stays.
    EXPECT_EQ(read("## Learning C#\n# foo \\#"), (Blocks{Block::heading(2, {R("Learning C#")}), Block::heading(1, {R("foo #")})}));
    // A line indented as code starts nothing after a paragraph line.
    EXPECT_EQ(read("Foo\n    # bar"), (Blocks{P("Foo # bar")}));
}

TEST(MarkdownTables, RowsPaddedAndPipesEscaped)
{
    Blocks blocks = read("| Name | Note |\n|---|:--:|\n| Ann | a \\| b |\n| Bob |\nafter");
    ASSERT_EQ(blocks.size(), 2u);
    const auto* table = blocks[0].as<Block::Table>();
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->header);
    ASSERT_EQ(table->rows.size(), 3u);
    EXPECT_EQ(table->rows[1][1], (Runs{R("a | b")}));
    ASSERT_EQ(table->rows[2].size(), 2u);
    EXPECT_TRUE(table->rows[2][1].empty());
    EXPECT_EQ(blocks[1], P("after"));
    EXPECT_EQ(read("a | b\nnot a separator"), (Blocks{P("a | b not a separator")}));
    // A separator row as the pattern reads one.
    static const Platform::Regex separator("^\\|?\\s*:?-{2,}:?\\s*(\\|\\s*:?-{2,}:?\\s*)*\\|?$");
    for (std::string edge : {"", "|", "||"})
        for (std::string cell : {"--", "-", ":--:", "::--", "--::", " :--- ", "\t--\t", "\u00A0--", "-x-", ""})
            for (std::string more : {"", "|", "|--", "| :-: |", "|-", "|--|", "||--", "| ", "|\u2003--"})
                for (std::string end : {"", "|", "||"}) {
                    const std::string row = edge + cell + more + end;
                    const std::string_view trimmed = Platform::Text::trimSpacesTabs(row);
                    const bool isTable = read("a | b\n" + row).front().as<Block::Table>() != nullptr;
                    EXPECT_EQ(isTable, Platform::Text::contains(trimmed, "-") && separator.search(trimmed)) << row;
                }
    EXPECT_EQ(markdownTableCells(""), std::vector<std::string>{""});
    EXPECT_EQ(markdownTableCells("a|b\\|"), (std::vector<std::string>{"a", "b|"}));
}

TEST(MarkdownLists, MarkersLevelsAndContinuations)
{
    EXPECT_EQ(markdownListItem("  - Milk"), (MarkdownListItem{"\u2022", 1, "Milk"}));
    EXPECT_EQ(markdownListItem("\t- Milk"), (MarkdownListItem{"\u2022", 2, "Milk"}));
    EXPECT_EQ(markdownListItem("12) Step"), (MarkdownListItem{"12)", 0, "Step"}));
    EXPECT_FALSE(markdownListItem("1234. Year"));

    // Read as the pattern the markers were first read with reads them, line
    // ends inside the text included.
    static const Platform::Regex pattern("^([ \\t]*)([-*+]|[0-9]{1,3}[.)])[ \\t]+(.*)$");
    for (std::string indent : {"", " ", "\t", "  \t "})
        for (std::string label : {"-", "*", "+", "1.", "12)", "123.", "1234.", "a.", "7", ".", "1 .", "", "-1."})
            for (std::string gap : {"", " ", "\t", " \t "})
                for (std::string text : {"", "x", "text here", "a\u2028b", "end\u2028", "a\r\n", "x\v", "a\rb", "a\vb", "a\fb", "\u0085", "\u00E9 \u2029"}) {
                    const std::string line = indent + label + gap + text;
                    auto expected = pattern.firstMatch(line);
                    auto item = markdownListItem(line);
                    ASSERT_EQ(item.has_value(), expected.has_value()) << line;
                    if (!item) continue;
                    int width = 0;
                    for (char c : expected->text(1)) width += c == '\t' ? 4 : 1;
                    EXPECT_EQ(item->level, std::min(width / 2, 3)) << line;
                    EXPECT_EQ(item->text, expected->text(3)) << line;
                }
    EXPECT_EQ(read("- one\n  | still one\n---\n# Head"),
              (Blocks{Block::listItem("\u2022", 0, {R("one | still one ---")}), Block::heading(1, {R("Head")})}));
    EXPECT_EQ(read("- a\n~~~ b"), (Blocks{Block::listItem("\u2022", 0, {R("a ~~~ b")})}));
}

TEST(MarkdownBlocks, QuotesBreaksAndFences)
{
    EXPECT_EQ(read("> one\n> two"), (Blocks{Block::paragraph({R("one two", false, true)})}));
    EXPECT_EQ(read(">> deep"), (Blocks{Block::paragraph({R("deep", false, true)})}));
    EXPECT_EQ(read("line one\\\nline two"), (Blocks{P("line one\nline two", true)}));
    EXPECT_EQ(read("line one\nline two\\"), (Blocks{P("line one line two")}));
    EXPECT_EQ(read("精神相待。\n人人生而自由"), (Blocks{P("精神相待。人人生而自由")}));
    EXPECT_EQ(read("```\na *b*\n  c\nd\n```\nafter"), (Blocks{P("a *b*\n  c\nd", true), P("after")}));
    EXPECT_EQ(read("~~~\ncode\n```\nmore"), (Blocks{P("code\n```\nmore", true)}));
    // Backticks that close nothing are text, not a fence.
    EXPECT_EQ(read("```foo``\nnext"), (Blocks{P("```foo`` next")}));
    // A fence closes with as many of its marks or more, and nothing else.
    EXPECT_EQ(read("````\n```\n<!-- kept -->\n```\n````\nafter"),
              (Blocks{P("```\n<!-- kept -->\n```", true), P("after")}));
    EXPECT_EQ(read("```\n``` aaa\n```"), (Blocks{P("``` aaa", true)}));
    EXPECT_EQ(read("- step\n\n  ```\n  npm i\n  ```\n\nafter"),
              (Blocks{Block::listItem("\u2022", 0, {R("step")}), P("  npm i", true), P("after")}));
}

TEST(MarkdownBlocks, IndentedCodeKeepsItsText)
{
    EXPECT_EQ(read("Para\n\n    <a/> &copy;\n\n\t  *x*\n\nafter"),
              (Blocks{P("Para"), P("<a/> &copy;\n\n  *x*", true), P("after")}));
    EXPECT_EQ(read("    <!-- note -->"), (Blocks{P("<!-- note -->", true)}));
    // An indented line goes on a paragraph or a list item, as before.
    EXPECT_EQ(read("one\n    two"), (Blocks{P("one two")}));
    EXPECT_EQ(read("- item\n\n    more"), (Blocks{Block::listItem("\u2022", 0, {R("item")}), P("more")}));
}

TEST(MarkdownInline, EmphasisCodeLinksAndEntities)
{
    struct Case {
        const char* text;
        Runs runs;
    };
    const Case cases[] = {
        {"a **bold** b", {R("a "), R("bold", true), R(" b")}},
        {"an *it* b", {R("an "), R("it", false, true), R(" b")}},
        {"snake_case_name", {R("snake_case_name")}},
        // Between letters "__" reads as two single markers: an empty italic span.
        {"snake__case", {R("snakecase")}},
        {"2 * 3 * 4", {R("2 * 3 * 4")}},
        {"\\*not\\*", {R("*not*")}},
        {"`a*b*c` d", {R("a*b*c d")}},
        {"see [the site](http://x.y) now", {R("see the site now")}},
        {"<b>word</b>", {R("word")}},
        {"a<br/>b", {R("a\nb")}},
        {"a<br>b", {R("a\nb")}},
        {"a<BR \t/>b", {R("a\nb")}},
        {"x <br <b>y</b>", {R("x y")}},
        {"a<br b", {R("a<br b")}},
        {"a \\`b\\` c", {R("a `b` c")}},
        {"&lt;tag&gt; &amp; &nbsp;x", {R("<tag> & x")}},
        {"unpaired ** rest", {R("unpaired "), R(" rest", true)}},
        {"lone *star", {R("lone *star")}},
        {"![alt](p.png) text", {R("alt text")}},
        // Code spans keep what they hold as written.
        {"images are converted to `<img>` elements", {R("images are converted to <img> elements")}},
        {"``a ` b`` and `&copy; **x** [l](u)`", {R("a ` b and &copy; **x** [l](u)")}},
        {"see [the `code` here](u)", {R("see the code here")}},
        {"```foo``", {R("```foo``")}},
        // Character references are decoded outside code, and are text.
        {"&copy; &AElig; &#XD06; &#35; &#0; &mdash;", {R("\u00A9 \u00C6 \u0D06 # \uFFFD \u2014")}},
        {"&ast;plain&ast; &bogus; &amp;copy;", {R("*plain* &bogus; &copy;")}},
        // Any punctuation escaped is itself: no tag, link or reference is read into it.
        {"\\$5 \\&copy; \\<br> \\[not a link](u) \\*x\\*", {R("$5 &copy; <br> [not a link](u) *x*")}},
        {"var_2_x and 5_6_78", {R("var_2_x and 5_6_78")}},
        // A target's balanced parentheses, and its "<…>", are its own.
        {"[Foo](https://en.wikipedia.org/wiki/Foo_(bar)) and [a](<b)c>) end", {R("Foo and a end")}},
    };
    for (const auto& c : cases) EXPECT_EQ(markdownInline(c.text), c.runs) << c.text;
}

TEST_F(MarkdownFiles, PicturesFromFilesNamedRelativeToTheDocument)
{
    BigDocument doc = readDoc("![Map](map%20one.png \"A title\")", dir_ / "doc");
    ASSERT_EQ(doc.blocks.size(), 1u);
    const auto* image = doc.blocks[0].as<Block::Image>();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->picture.width, 30);
    EXPECT_EQ(image->picture.height, 20);
    EXPECT_EQ(image->picture.alt, "Map");
    EXPECT_EQ(image->picture.data, png_);
    EXPECT_TRUE(doc.notes.empty());

    // One folder up, as a docs/ folder's pictures are: followed as written.
    BigDocument up = readDoc("![The parts](../outside.png)\n![Again](../doc/../outside.png)", dir_ / "doc");
    ASSERT_EQ(up.blocks.size(), 2u);
    for (const Block& block : up.blocks) {
        const auto* picture = block.as<Block::Image>();
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->picture.data, png_);
        EXPECT_EQ(picture->picture.width, 30);
    }
    EXPECT_EQ(up.blocks[0].as<Block::Image>()->picture.alt, "The parts");
    EXPECT_TRUE(up.notes.empty());

    // Web addresses, missing files, absolute paths (appended to the folder),
    // devices, FIFOs, folders and NUL bytes all count as left out.
    ASSERT_EQ(::mkfifo((dir_ / "pipe.png").c_str(), 0600), 0);
    BigDocument out = readDoc("![Map](http://x/map.png)\n![](missing.png)\n![](../missing.png)\n"
                              "![](" + (dir_ / "outside.png").string() + ")\n![](/dev/zero)\n![](../../../../../../../../dev/zero)\n"
                              "![](../pipe.png)\n![](..)\n![](a%00b.png)\n![](%zz)",
                              dir_ / "doc");
    EXPECT_EQ(out.blocks, (Blocks{Block::paragraph({R("[Picture: Map]", false, true)})}));
    ASSERT_EQ(out.notes.size(), 1u);
    EXPECT_EQ(out.notes[0].kind, ConversionNote::Kind::warning);
    EXPECT_EQ(out.notes[0].message, "10 pictures in this Markdown file weren’t included: Folmira reads only the file "
                                    "you open and doesn’t download pictures from the web.");

    // An empty folder (a document named without a directory) is the current one.
    fs::path previous = fs::current_path();
    fs::current_path(dir_ / "doc");
    BigDocument here = readDoc("![In](map%20one.png)\n![Out](" + dir_.relative_path().string() + "/outside.png)", fs::path());
    fs::current_path(previous);
    ASSERT_EQ(here.blocks.size(), 2u);
    EXPECT_TRUE(here.blocks[0].as<Block::Image>());
    EXPECT_EQ(here.blocks[1], Block::paragraph({R("[Picture: Out]", false, true)}));

    BigDocument noFolder = readDoc("Text\n\n![Map](map%20one.png)");
    EXPECT_EQ(noFolder.notes[0].message, "1 picture in this Markdown file wasn’t included: Folmira reads only the "
                                         "file you open and doesn’t download pictures from the web.");
}

TEST_F(MarkdownFiles, EmptyRefusalsAndEntryRows)
{
    for (const char* text : {"\n\n  \n", "![](missing.png)", "<i></i>"}) {
        try {
            readDoc(text, dir_ / "doc");
            ADD_FAILURE() << text;
        } catch (const ConversionError& error) {
            EXPECT_EQ(error.reason, ConversionError::Reason::empty) << text;
        }
    }

    std::ofstream(dir_ / "archive.tar.md") << "# Head\n\nOne\ntwo\n\n- item\n";
    BigDocument plain = Folmira::read(dir_ / "archive.tar.md", false);
    EXPECT_EQ(plain.title, "archive.tar");
    EXPECT_EQ(plain.source, BigDocument::Source::markdown);
    BigDocument kept = Folmira::read(dir_ / "archive.tar.md", true);
    ASSERT_EQ(kept.blocks.size(), 3u);
    EXPECT_EQ(kept.blocks[0], plain.blocks[0]);
    EXPECT_EQ(kept.blocks[1], P("One\ntwo", true));
    EXPECT_EQ(kept.blocks[2], plain.blocks[2]);
}

TEST(MarkdownHostile, LongLinesReadInLinearTime)
{
    auto repeated = [](std::string_view piece, std::size_t n) {
        std::string out;
        for (std::size_t i = 0; i < n; ++i) out += piece;
        return out;
    };
    // Openers without their closers, and a heading of hashes, are plain text.
    const std::string lines[] = {repeated("<br", 120000), repeated("![a](", 100000), std::string(400000, '['),
                                 repeated("a<", 200000), std::string(400000, '<') + "1>", repeated("[a](<", 80000),
                                 repeated("<1 ", 130000) + ">"};
    const std::string hashes(400000, '#');
    for (const auto& line : lines) EXPECT_EQ(read(line), (Blocks{P(line)})) << line.substr(0, 10);
    EXPECT_EQ(read("# " + hashes + " x"), (Blocks{Block::heading(1, {R(hashes + " x")})}));

    // A header of many pipes over many rows: short rows are not padded out to it.
    const std::string pipes = std::string(200000, '|') + "\n--|--\n" + repeated("a|b\n", 2000);
    Blocks table = read(pipes);
    ASSERT_EQ(table.size(), 1u);
    ASSERT_EQ(table[0].as<Block::Table>()->rows.size(), 2001u);
    EXPECT_EQ(table[0].as<Block::Table>()->rows[1], (Block::Row{{R("a")}, {R("b")}}));
    EXPECT_LT(table[0].as<Block::Table>()->rows[1].capacity(), 100u); // nor keep room for them

    // Each takes about what ordinary text of its length takes (a table, for
    // the table): at most about five times as long, where a search for the ")" from
    // each opener of a picture takes 30 times as long at these lengths.
    std::vector<std::string> hostile(std::begin(lines), std::end(lines));
    hostile.push_back("# " + hashes + " x");
    hostile.push_back(pipes);
    for (const auto& text : hostile) {
        const std::string ordinary = text == pipes ? repeated("a|b\n", pipes.size() / 4)
                                                   : repeated("plain words ", text.size() / 12);
        const double seen = HangGuard::threadSeconds([&] { read(text); });
        const double plain = HangGuard::threadSeconds([&] { read(ordinary); });
        EXPECT_LT(seen, HangGuard::ratio(3) * plain) << text.substr(0, 10) << ": " << seen << " s of CPU, " << plain
                                                     << " s for ordinary text";
    }
}

// A people list as many project READMEs write it: the outer brackets are text,
// the inner pair an autolink, so the address stays between them.
TEST_F(MarkdownFiles, AddressesInDoubledBracketsStayBetweenThem)
{
    std::ofstream(dir_ / "people.md") << "## People\n\n"
                                         "**Anna Name** <<anna@example.org>> (she/her)\n\n"
                                         "**Ben Roe** <<https://example.org/~ben_roe>>, **Cy** <<<cy@example.org>>>\n\n"
                                         "Tags <<b>>bold<</b>> still go\n";
    const BigDocument document = Folmira::read(dir_ / "people.md", false);
    EXPECT_EQ(document.blocks,
              (Blocks{Block::heading(2, {R("People")}),
                      Block::paragraph({R("Anna Name", true), R(" <anna@example.org> (she/her)")}),
                      Block::paragraph({R("Ben Roe", true), R(" <https://example.org/~ben_roe>, "), R("Cy", true),
                                        R(" <<cy@example.org>>")}),
                      P("Tags >bold> still go")}));
}
