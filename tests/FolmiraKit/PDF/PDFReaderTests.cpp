#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/PDF/Limits.h"
#include "FolmiraKit/PDF/PDFReader.h"
#include "FolmiraKit/PDF/PageSource.h"
#include "tests/FolmiraKit/HostileFiles.h"
#include "tests/HangGuard.h"
#include "tests/PlainPdf.h"
#include "tests/Platform/PdfFixtures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <zlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <thread>

using namespace FolmiraKit;
using PdfFixtures::Builder;
using Reason = ConversionError::Reason;

namespace {

// The state letter of process `pid` (R, S, Z…), or 0 when it is gone.
char stateOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    const auto state = line.find(") ");
    return state != std::string::npos && state + 2 < line.size() ? line[state + 2] : 0;
}

// The children of process `pid`, of all its threads.
std::vector<pid_t> childrenOf(pid_t pid)
{
    std::vector<pid_t> children;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream list(task.path() / "children");
        for (pid_t child; list >> child;) children.push_back(child);
    }
    return children;
}

// Whether process `pid` is gone, or a zombie being reaped, within a hang
// guard's bound; one left running would stay so.
bool endsSoon(pid_t pid)
{
    const auto ended = [&] { return stateOf(pid) == 0 || stateOf(pid) == 'Z'; };
    const auto deadline = std::chrono::steady_clock::now() + HangGuard::limit(std::chrono::milliseconds(200));
    while (!ended() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ended();
}

const char* scanMessage = "This PDF is a picture of the pages (a scan or a photo), with no text inside for Folmira to "
                          "re-flow. Folmira needs a PDF whose words you can select in a PDF viewer, or the original Word or "
                          "text file.";

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '(' || c == ')' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// Helvetica text lines from (x, y) downwards, `leading` apart.
std::string text(const std::vector<std::string>& lines, double x, double y, double size = 12, double leading = 14)
{
    std::string out = "BT /F1 " + std::to_string(size) + " Tf " + std::to_string(leading) + " TL " +
                      std::to_string(x) + " " + std::to_string(y) + " Td ";
    for (const auto& line : lines) out += "(" + escaped(line) + ") Tj T* ";
    return out + "ET\n";
}

// A whole page's picture: the image drawn over `width` × `height` from (x, y).
std::string picture(double x, double y, double width, double height)
{
    return "q " + std::to_string(width) + " 0 0 " + std::to_string(height) + " " + std::to_string(x) + " " +
           std::to_string(y) + " cm /Im Do Q\n";
}

QPDFObjectHandle resources(Builder& builder)
{
    QPDFObjectHandle r = Builder::xobjects({{"Im", builder.image()}});
    r.replaceKey("/Font", QPDFObjectHandle::parse("<< /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >>"));
    return r;
}

BigDocument readPdf(const Platform::Bytes& pdf)
{
    return PDFReader::read(pdf, "Sample");
}

// A page of running text, four lines of body copy in the middle of the page.
std::string body(int page)
{
    return text({"This is page " + std::to_string(page) + " of the document, and it holds some running text.",
                 "The text carries on over several lines so that it reads as one paragraph",
                 "of ordinary body copy, the kind that every report and letter is made of,",
                 "and it ends here with a full stop."},
                72, 500);
}

std::vector<std::string> kinds(const BigDocument& document)
{
    std::vector<std::string> out;
    for (const Block& b : document.blocks)
        out.push_back(b.isHeading() ? "heading" : b.as<Block::Paragraph>() ? "paragraph" :
                      b.as<Block::ListItem>() ? "list" : b.as<Block::Table>() ? "table" :
                      b.as<Block::Image>() ? "image" : "rule");
    return out;
}

void expectRefusal(const Platform::Bytes& pdf, Reason reason, const std::string& message)
{
    try {
        readPdf(pdf);
        ADD_FAILURE() << "read, expected: " << message;
    } catch (const ConversionError& error) {
        EXPECT_EQ(error.reason, reason);
        EXPECT_EQ(std::string(error.what()), message);
    }
}

} // namespace

TEST(PdfReader, RefusesWhatItCannotOpen)
{
    expectRefusal(Platform::Bytes{'n', 'o', 't', ' ', 'p', 'd', 'f'}, Reason::damaged,
                  "This PDF couldn’t be opened. It may be damaged.");

    Builder locked;
    locked.page(text({"Secret words"}, 72, 700), resources(locked));
    expectRefusal(locked.write(Builder::Lock::password), Reason::locked,
                  "This PDF is locked with a password. Open it in a PDF viewer, type the password, print it to a PDF "
                  "file, and drop that copy in.");

    Builder noPages;
    expectRefusal(noPages.write(), Reason::empty, "This PDF has no pages.");

    // Pages that can't be parsed, or whose content is lost, on which nothing
    // is found: damaged, not a scan (a blank page is refused as one below).
    auto bytes = [](const std::string& pdf) { return Platform::Bytes(pdf.begin(), pdf.end()); };
    const std::string catalog = "<< /Type /Catalog /Pages 2 0 R >>";
    const std::string tree = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    auto page = [&](const std::string& contents, const std::string& stream) {
        return PlainPdf::ofObjects({catalog, tree,
                                    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << "
                                    "/F1 5 0 R >> >> /Contents " + contents + " >>",
                                    stream, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"});
    };
    auto stream = [](const std::string& dictionary, const std::string& data) {
        return "<< " + dictionary + " >>\nstream\n" + data + "\nendstream";
    };
    const std::string broken = "\x01\x02 not deflated";
    const std::string shown = "BT /F1 24 Tf 72 700 Td (Apples grow on page one.) Tj ET";
    std::string deflated(compressBound(shown.size()), '\0');
    uLongf length = deflated.size();
    compress(reinterpret_cast<Bytef*>(deflated.data()), &length, reinterpret_cast<const Bytef*>(shown.data()),
             shown.size());
    deflated.resize(length);
    const std::string cut = deflated.substr(0, deflated.size() / 2);
    for (const std::string& pdf :
         {PlainPdf::ofObjects({catalog, tree, "(not a page)"}),
          page("4 0 R", stream("/Length " + std::to_string(broken.size()) + " /Filter /FlateDecode", broken)),
          // A kid of the tree that is another object: both libraries take it for a page.
          PlainPdf::ofObjects({catalog, tree, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}),
          // A tree that is a page: qpdf finds no page in it, Poppler one it draws blank.
          PlainPdf::ofObjects({catalog, "<< /Type /Page /MediaBox [0 0 612 792] >>"}),
          page("9 0 R", "null"), page("[9 0 R 10 0 R]", "null"), page("4 0 R", "42"),
          page("4 0 R", stream("/Length " + std::to_string(cut.size()) + " /Filter /FlateDecode", cut)),
          page("4 0 R", "<< /Length 9999 >>\nstream\n")})
        expectRefusal(bytes(pdf), Reason::damaged, "This PDF couldn’t be opened. It may be damaged.");
    // The same page whole reads.
    EXPECT_EQ(readPdf(bytes(page("4 0 R", stream("/Length " + std::to_string(deflated.size()) + " /Filter /FlateDecode",
                                                  deflated)))).plainText(),
              "Apples grow on page one.");

    Builder noCopy;
    noCopy.page(text({"Protected words"}, 72, 700), resources(noCopy));
    expectRefusal(noCopy.write(Builder::Lock::noCopying), Reason::locked,
                  "This PDF’s author turned off copying its text, so Folmira won’t re-flow it. Ask for an unlocked "
                  "copy or the original document.");
}

TEST(PdfReader, RefusesScansAndTextThatCannotBeRead)
{
    Builder scan;
    scan.page(picture(0, 0, 612, 792), resources(scan));
    expectRefusal(scan.write(), Reason::noTextLayer, scanMessage);

    Builder fewWords;
    for (int i = 0; i < 2; ++i) fewWords.page(picture(0, 0, 612, 792) + text({"Scanned by Office"}, 72, 30), resources(fewWords));
    expectRefusal(fewWords.write(), Reason::noTextLayer, scanMessage);

    Builder blank;
    blank.page("", {});
    expectRefusal(blank.write(), Reason::noTextLayer, scanMessage);

    auto privateUse = PdfFixtures::cairoPdf(1, [](cairo_t* cr, int) {
        PdfFixtures::showText(cr, 72, 100, "\uE000\uE001\uE002 \uE003\uE004 \uE005");
    });
    expectRefusal(privateUse, Reason::noTextLayer,
                  "The text inside this PDF can’t be read: its fonts don’t say which letters they draw. Try the "
                  "original Word or text file instead.");

    // The glyphs no one can read are weighed against the characters of every
    // page, those read before the first such glyph was met too.
    auto laterPrivateUse = PdfFixtures::cairoPdf(2, [](cairo_t* cr, int page) {
        PdfFixtures::showText(cr, 72, 100, page == 0 ? std::string(8, 'x') + " of the orchard rows were pruned in winter"
                                                     : "\uE000\uE001\uE002 \uE003\uE004 \uE005\uE006");
    });
    EXPECT_NE(PDFReader::read(laterPrivateUse, "later", 1).plainText().find("orchard rows"), std::string::npos);
}

TEST(PdfReader, LeavesOutPrivateUseSymbolsAndCountsThem)
{
    for (auto [symbols, note] : {std::pair{"\uF8EB", "Left out 1 symbol that has no meaning outside its font."},
                                 std::pair{"\uF8EB\uE000 \U000F0001", "Left out 3 symbols that have no meaning "
                                                                        "outside their font."}}) {
        std::string line = std::string("The sum ") + symbols + " of the two series converges quickly.";
        auto pdf = PdfFixtures::cairoPdf(1, [&](cairo_t* cr, int) { PdfFixtures::showText(cr, 72, 100, line); });
        BigDocument document = readPdf(pdf);
        EXPECT_EQ(document.plainText(), "The sum of the two series converges quickly.") << symbols;
        EXPECT_TRUE(std::any_of(document.notes.begin(), document.notes.end(),
                                [&](const ConversionNote& n) { return n.message == note; }))
            << symbols;
    }
}

TEST(PdfReader, RefusesADocumentWhoseEveryLineRepeats)
{
    // Four pages are enough to tell a running line; two are not: a two-page
    // letter that repeats its date and greeting keeps them.
    for (int pages : {4, 2}) {
        Builder builder;
        for (int i = 0; i < pages; ++i)
            builder.page(text({"Quarterly figures", "Company confidential"}, 72, 760) + text({"Printed 2024"}, 72, 40),
                         resources(builder));
        if (pages == 4) {
            expectRefusal(builder.write(), Reason::empty, "There’s no text in this PDF to make large.");
            continue;
        }
        BigDocument document = readPdf(builder.write());
        std::string all = document.plainText();
        EXPECT_NE(all.find("Quarterly figures"), all.rfind("Quarterly figures")) << all;
        EXPECT_NE(all.find("Printed 2024"), std::string::npos);
    }
}

namespace {

// Content that inflates a megabyte past what a page's text is read from.
constexpr std::size_t pastTheBound = PDFLimits::textContentBytes + (1u << 20);

Platform::Bytes paddedPdf(const std::vector<std::pair<std::string, std::size_t>>& pages)
{
    std::string pdf = HostileFiles::paddedTextPdf(pages);
    return {pdf.begin(), pdf.end()};
}

} // namespace

TEST(PdfReader, LeavesOutPagesTooLargeToReadWithANote)
{
    BigDocument document =
        readPdf(paddedPdf({{"Apples grow on the first page.", 0}, {"Pears hide on the second page.", pastTheBound},
                           {"Plums ripen on the third page.", 0}}));
    std::string all = document.plainText();
    EXPECT_NE(all.find("Apples grow on the first page."), std::string::npos) << all;
    EXPECT_NE(all.find("Plums ripen on the third page."), std::string::npos) << all;
    EXPECT_EQ(all.find("Pears"), std::string::npos) << all;
    EXPECT_EQ(document.notes, (std::vector<ConversionNote>{{ConversionNote::Kind::warning,
                                                            "Page 2 was left out: its text is too large for "
                                                            "Folmira to read."}}));

    BigDocument two = readPdf(paddedPdf({{"Apples grow here.", pastTheBound}, {"Pears grow here.", 0},
                                         {"Plums grow here.", pastTheBound}}));
    EXPECT_EQ(two.plainText(), "Pears grow here.");
    ASSERT_EQ(two.notes.size(), 1u);
    EXPECT_EQ(two.notes[0].message, "Pages 1, 3 were left out: their text is too large for Folmira to read.");
}

namespace {

std::string repeated(const std::string& piece, std::size_t times)
{
    std::string content;
    for (std::size_t i = 0; i < times; ++i) content += piece;
    return content;
}

// A page's content: `line`, then more text operators than a page may hold.
std::string pastTheOperatorBound(const std::string& line)
{
    return text({line}, 72, 700) + "BT " + repeated("() Tj ", PDFLimits::textOperators + 1) + "ET\n";
}

// Resources with the page font, a picture "Im" and form "Fm" drawing `operators` words.
QPDFObjectHandle formResources(Builder& builder, int operators)
{
    std::string words = "BT /F1 10 Tf 72 400 Td " + repeated("(w) Tj ", static_cast<std::size_t>(operators)) + "ET";
    QPDFObjectHandle r = resources(builder);
    r.getKey("/XObject").replaceKey("/Fm", builder.form(words, QPDFObjectHandle::newNull()));
    return r;
}


} // namespace

TEST(PdfReader, CountsTheTextAPageDrawsThroughFormsAgainstItsBound)
{
    // Page 2 draws a form of a million text operators once, page 3 a form of
    // a thousand ten thousand times: both left out with the note, read no
    // further than the count shows them past the bound.
    Builder builder;
    builder.page(text({"Apples grow on the first page."}, 72, 700), resources(builder));
    builder.page(text({"Pears hide on the second page."}, 72, 700) + "/Fm Do\n", formResources(builder, 1'000'000));
    builder.page(text({"Quinces hide on the third page."}, 72, 700) + repeated("/Fm Do\n", 10'000), formResources(builder, 1000));
    builder.page(text({"Plums ripen on the fourth page."}, 72, 700) + repeated("/Fm Do\n", 3), formResources(builder, 50));
    BigDocument document = readPdf(builder.write());
    std::string all = document.plainText();
    EXPECT_NE(all.find("Apples grow on the first page."), std::string::npos) << all;
    EXPECT_NE(all.find("Plums ripen on the fourth page."), std::string::npos) << all;
    EXPECT_EQ(all.find("Pears"), std::string::npos);
    EXPECT_EQ(all.find("Quinces"), std::string::npos);
    EXPECT_EQ(document.notes, (std::vector<ConversionNote>{{ConversionNote::Kind::warning,
                                                            "Pages 2, 3 were left out: their text is too large for "
                                                            "Folmira to read."}}));

    // The small file alone: a few kilobytes that would show ten million words.
    Builder small;
    small.page(text({"Quinces hide here."}, 72, 700) + repeated("/Fm Do\n", 10'000), formResources(small, 1000));
    small.page(text({"Plums ripen here."}, 72, 700), resources(small));
    Platform::Bytes pdf = small.write();
    EXPECT_LT(pdf.size(), 8'000u);
    BigDocument two = readPdf(pdf);
    EXPECT_EQ(two.plainText(), "Plums ripen here.");
    ASSERT_EQ(two.notes.size(), 1u);
    EXPECT_EQ(two.notes[0].message, "Page 1 was left out: its text is too large for Folmira to read.");
}

TEST(PdfReader, LeavesOutPagesPastAnyBoundOfWhatTheyDraw)
{
    // One operator showing more than the bound's bytes; states saved past
    // the bound (Poppler copies the whole state for each); more tokens than
    // the bound that are no drawing. A drawing of as many tokens, each line a
    // path Poppler would keep, is left out of reading its page's text instead.
    Builder builder;
    builder.page(text({"Apples grow here."}, 72, 700), resources(builder));
    builder.page(text({std::string(PDFLimits::shownTextBytes + 1, 'x')}, 72, 500), resources(builder));
    builder.page(repeated("q ", PDFLimits::graphicsStates + 1) + text({"Pears grow here."}, 72, 700),
                 resources(builder));
    builder.page(text({"Plums grow here."}, 72, 700) + repeated("0 0 m 1 1 l ", PDFLimits::textTokens / 6 + 1),
                 resources(builder));
    builder.page(text({"Figs grow here."}, 72, 700) + repeated("0 g ", PDFLimits::textTokens / 2 + 1),
                 resources(builder));
    BigDocument document = readPdf(builder.write());
    EXPECT_EQ(document.plainText(), "Apples grow here.\nPlums grow here.");
    ASSERT_EQ(document.notes.size(), 1u);
    EXPECT_EQ(document.notes[0].message, "Pages 2, 3, 5 were left out: their text is too large for Folmira to read.");
}

TEST(PdfReader, RefusesAPdfWithWordsOnlyOnPagesTooLargeToRead)
{
    // Not as a scan: the words are there, and another reader may show them.
    expectRefusal(paddedPdf({{"Apples grow here.", pastTheBound}, {"Pears grow here.", pastTheBound}}),
                  Reason::unsupported,
                  "Folmira can’t read the text of “Sample”: every one of its pages is too large to read. Try the "
                  "original Word or text file instead.");
    expectRefusal(paddedPdf({{"Apples grow here.", pastTheBound}}), Reason::unsupported,
                  "Folmira can’t read the text of “Sample”: its page is too large to read. Try the original Word or "
                  "text file instead.");
    expectRefusal(paddedPdf({{"", 0}, {"Pears grow here.", pastTheBound}}), Reason::unsupported,
                  "Folmira can’t read the text of “Sample”: page 2 is too large to read, and the other pages hold no "
                  "text. Try the original Word or text file instead.");

    // Beside a scan whose few words are dropped with it, the size is still the
    // reason, whether or not the scan holds words.
    for (const std::string& scanWords : {std::string("Scanned by Office"), std::string()}) {
        Builder builder;
        builder.page(picture(0, 0, 612, 792) + text({scanWords}, 72, 30), resources(builder));
        builder.page(pastTheOperatorBound("Pears grow here."), resources(builder));
        expectRefusal(builder.write(), Reason::unsupported,
                      "Folmira can’t read the text of “Sample”: page 2 is too large to read, and the other pages "
                      "hold no text. Try the original Word or text file instead.");
    }
    // Beside pages whose every line repeats, the same.
    Builder everyLine;
    for (int i = 0; i < 4; ++i)
        everyLine.page(text({"Quarterly figures", "Company confidential"}, 72, 760) + text({"Printed 2024"}, 72, 40),
                      resources(everyLine));
    everyLine.page(pastTheOperatorBound("Pears grow here."), resources(everyLine));
    expectRefusal(everyLine.write(), Reason::unsupported,
                  "Folmira can’t read the text of “Sample”: page 5 is too large to read, and the other pages hold no "
                  "text. Try the original Word or text file instead.");
}

TEST(PdfReader, LeavesOutScannedPagesWithANote)
{
    // A run of three pages or more is written as a range, so that the note of
    // a long document stays short.
    struct Case {
        std::vector<int> scans;
        std::string pages;
    };
    for (const Case& c : {Case{{3, 7}, "Pages 3, 7"}, Case{{2, 3, 4, 5, 9}, "Pages 2–5, 9"},
                          Case{{1, 2, 4, 5, 6, 8, 9}, "Pages 1, 2, 4–6, 8, 9"}}) {
        Builder builder;
        for (int page = 1; page <= 10; ++page) {
            if (std::count(c.scans.begin(), c.scans.end(), page)) builder.page(picture(0, 0, 612, 792), resources(builder));
            else builder.page(body(page), resources(builder));
        }
        BigDocument document = readPdf(builder.write());
        EXPECT_EQ(document.title, "Sample");
        EXPECT_EQ(document.source, BigDocument::Source::pdf);
        EXPECT_EQ(document.imageCount(), 0);
        ASSERT_EQ(document.notes.size(), 1u);
        EXPECT_EQ(document.notes[0], (ConversionNote{ConversionNote::Kind::warning,
                                                     c.pages + " are pictures of text (a scan) with nothing Folmira "
                                                               "can read, so they were left out."}));
    }
}

TEST(PdfReader, KeepsAPictureUnlessTooManyWordsStandOnIt)
{
    // Five words make the page no scan, so its page-filling picture is kept,
    // placed by its top edge: above the text.
    Builder five;
    five.page(picture(0, 0, 612, 792) + text({"Five words on this page"}, 72, 700), resources(five));
    EXPECT_EQ(kinds(readPdf(five.write())), (std::vector<std::string>{"image", "paragraph"}));

    for (int words : {12, 13}) {
        std::vector<std::string> lines;
        for (int i = 0; i < words; ++i) lines.push_back("word" + std::to_string(i));
        Builder builder;
        builder.page(text({"A caption that stands above the picture on its own line."}, 72, 700) +
                         picture(50, 300, 400, 300) + text(lines, 100, 580, 12, 20),
                     resources(builder));
        EXPECT_EQ(readPdf(builder.write()).imageCount(), words == 12 ? 1 : 0) << words;
    }
}

TEST(PdfReader, CallsAPageAScanOnlyWhenItsPictureCoversMoreThanThreeTenths)
{
    for (double width : {30.0, 31.0}) {
        Builder builder;
        builder.page(picture(0, 0, width, 100) + text({"Hi"}, 60, 50), resources(builder), {0, 0, 100, 100});
        if (width == 30) EXPECT_EQ(kinds(readPdf(builder.write())), (std::vector<std::string>{"image", "paragraph"}));
        else expectRefusal(builder.write(), Reason::noTextLayer, scanMessage);
    }
}

TEST(PdfReader, MakesAShortFirstLineTheTitle)
{
    for (std::string title : {"Annual report", "Annual report."}) {
        Builder builder;
        builder.page(text({title}, 72, 700) + body(1), resources(builder));
        BigDocument document = readPdf(builder.write());
        ASSERT_GE(document.blocks.size(), 2u);
        EXPECT_EQ(document.blocks[0].isHeading(), title == "Annual report") << title;
        EXPECT_EQ(document.blocks[0].plainText(), title);
    }
    Builder single;
    single.page(text({"Annual report"}, 72, 700), resources(single));
    EXPECT_EQ(kinds(readPdf(single.write())), (std::vector<std::string>{"paragraph"}));
}

TEST(PdfReader, JoinsAParagraphThatRunsOnOverAPageBreak)
{
    struct Case {
        std::string next;
        double size;
        std::string joined; // empty: two paragraphs
    };
    for (const Case& c : {Case{"mation continues", 12, "Some infor" "mation continues"},
                          Case{"Mation continues", 12, ""}, Case{"mation continues", 14, ""}}) {
        Builder builder;
        builder.page(text({"Some infor-"}, 72, 500), resources(builder));
        builder.page(text({c.next}, 72, 500, c.size), resources(builder));
        BigDocument document = readPdf(builder.write());
        if (!c.joined.empty()) {
            ASSERT_EQ(document.blocks.size(), 1u) << c.next;
            EXPECT_EQ(document.blocks[0].plainText(), "Some information continues");
        } else {
            EXPECT_EQ(document.blocks.size(), 2u) << c.next << " " << c.size;
        }
    }
}

TEST(PdfReader, ATableEndsARunningParagraph)
{
    Builder builder;
    builder.page(text({"The figures are shown in the table we see"}, 72, 700) +
                     text({"Name"}, 72, 600) + text({"Qty"}, 250, 600) + text({"Price"}, 400, 600) +
                     text({"Apples"}, 72, 586) + text({"3"}, 250, 586) + text({"1.20"}, 400, 586) +
                     text({"below in the order of their price."}, 72, 500),
                 resources(builder));
    BigDocument document = readPdf(builder.write());
    // The first line, short and unpunctuated in a document without headings, becomes its title.
    EXPECT_EQ(kinds(document), (std::vector<std::string>{"heading", "table", "paragraph"}));
    EXPECT_EQ(document.blocks[1].plainText(), "Name Qty Price\nApples 3 1.20");
    EXPECT_EQ(document.blocks[2].plainText(), "below in the order of their price.");
}

TEST(PdfReader, MendsAWordBrokenAcrossTheLinesOfATableCell)
{
    Builder builder;
    builder.page(text({"Name"}, 72, 600) + text({"Meaning"}, 250, 600) +
                     text({"-c"}, 72, 586) + text({"Read the com-"}, 250, 586) + text({"mand from the string"}, 250, 572) +
                     text({"-i"}, 72, 558) + text({"Ask before every expan-", "sion, as in 1990-", "95"}, 250, 558),
                 resources(builder));
    BigDocument document = readPdf(builder.write());
    ASSERT_EQ(kinds(document), (std::vector<std::string>{"table"}));
    EXPECT_EQ(document.blocks[0].plainText(),
              "Name Meaning\n-c Read the command from the string\n-i Ask before every expansion, as in 1990- 95");
}

TEST(PdfReader, WritesItsNotesInOrder)
{
    Builder builder;
    std::string header = text({"Folmira test report"}, 72, 760);
    // Page 1: a table; page 2: a scan; page 3: two columns; page 4: positions that can't be trusted.
    builder.page(header + body(1) + text({"Name"}, 72, 300) + text({"Qty"}, 250, 300) + text({"Price"}, 400, 300) +
                     text({"Apples"}, 72, 286) + text({"3"}, 250, 286) + text({"1.20"}, 400, 286),
                 resources(builder));
    builder.page(picture(0, 0, 612, 792), resources(builder));
    std::string columns = header;
    for (int i = 0; i < 8; ++i) {
        columns += text({"the left column holds these words " + std::to_string(i)}, 72, 600 - 14.0 * i);
        columns += text({"the right column has other words " + std::to_string(i)}, 330, 600 - 14.0 * i);
    }
    builder.page(columns, resources(builder));
    builder.page(header + "BT /F1 12 Tf 1000 Tz 72 500 Td (Wide letters) Tj ET\n" + body(4), resources(builder));
    // Four pages with text: the header is a running line (not on the page read
    // line by line, whose made-up lines are all evenly spaced).
    builder.page(header + body(5), resources(builder));

    BigDocument document = readPdf(builder.write());
    std::vector<std::string> messages;
    for (const auto& note : document.notes) messages.push_back(note.message);
    EXPECT_EQ(messages,
              (std::vector<std::string>{
                  "Left out 3 repeated page header, footer and page-number lines; Folmira adds its own page numbers.",
                  "Page 2 is a picture of text (a scan) with nothing Folmira can read, so it was left out.",
                  "Read 1 page laid out in two columns left column first.",
                  "Found 1 table. Check it against the original: tables in PDFs are rebuilt from where the words sit.",
                  "The positions of the words on 1 page couldn’t be trusted, so it was read line by line. Check "
                  "columns and tables against the original."}));
    EXPECT_EQ(document.notes[1].kind, ConversionNote::Kind::warning);
    EXPECT_EQ(document.notes[4].kind, ConversionNote::Kind::warning);
    std::string all = document.plainText();
    EXPECT_LT(all.find("left column holds these words 7"), all.find("right column has other words 0"));
}

TEST(PdfReader, KeepsWhatFilledFormFieldsHoldWhereTheyStand)
{
    // Two labels on the page, and beside each a text field whose value is
    // drawn only by its widget's appearance.
    auto widget = [](const std::string& name, const std::string& value, int y, int appearance) {
        return "<< /Type /Annot /Subtype /Widget /FT /Tx /T (" + name + ") /V (" + value +
               ") /DA (/F1 12 Tf 0 g) /Rect [160 " + std::to_string(y) + " 360 " + std::to_string(y + 20) +
               "] /P 3 0 R /F 4 /AP << /N " + std::to_string(appearance) + " 0 R >> >>";
    };
    auto stream = [](const std::string& data, const std::string& extra) {
        return "<< /Length " + std::to_string(data.size()) + extra + " >>\nstream\n" + data + "\nendstream";
    };
    const std::string form = " /Type /XObject /Subtype /Form /BBox [0 0 200 20] /Resources << /Font << /F1 4 0 R >> >>";
    const std::string pdf = PlainPdf::ofObjects({
        "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [5 0 R 6 0 R 10 0 R 11 0 R 12 0 R] /DA (/F1 12 Tf 0 g) >> >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 4 0 R >> >> "
        "/Contents 9 0 R /Annots [5 0 R 6 0 R 10 0 R 11 0 R 12 0 R] >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        widget("first", "Alice", 695, 7),
        widget("last", "Bob", 665, 8),
        stream("/Tx BMC BT /F1 12 Tf 2 5 Td (Alice) Tj ET EMC", form),
        stream("/Tx BMC BT /F1 12 Tf 2 5 Td (Bob) Tj ET EMC", form),
        stream("BT /F1 12 Tf 72 700 Td (First Name) Tj ET BT /F1 12 Tf 72 670 Td (Last Name) Tj ET "
               "BT /F1 12 Tf 72 640 Td (City) Tj ET BT /F1 12 Tf 162 640 Td (Leeds) Tj ET "
               "BT /F1 12 Tf 72 610 Td (Password) Tj ET BT /F1 12 Tf 300 610 Td (Colour) Tj ET", ""),
        // A field whose value the page prints itself, under its widget.
        widget("city", "Leeds", 635, 8),
        // A password, never shown; and a list whose chosen item is shown.
        "<< /Type /Annot /Subtype /Widget /FT /Tx /Ff 8192 /T (pin) /V (Secret99) /DA (/F1 12 Tf 0 g) "
        "/Rect [160 605 260 625] /P 3 0 R /F 4 >>",
        "<< /Type /Annot /Subtype /Widget /FT /Ch /T (colour) /Opt [(Red) (Green) (Blue)] /V (Green) "
        "/DA (/F1 12 Tf 0 g) /Rect [360 605 460 625] /P 3 0 R /F 4 >>",
    });
    // Each value beside its label, in the order of the page.
    const std::string text = readPdf(Platform::Bytes(pdf.begin(), pdf.end())).plainText();
    std::size_t at = 0;
    for (const char* word : {"First Name", "Alice", "Last Name", "Bob", "Password", "Colour", "Green"}) {
        const std::size_t found = text.find(word, at);
        ASSERT_NE(found, std::string::npos) << word << " in " << text;
        at = found + 1;
    }
    EXPECT_EQ(text.find("Leeds"), text.rfind("Leeds")) << text;
    EXPECT_EQ(text.find("Secret99"), std::string::npos) << text;
    EXPECT_EQ(text.find("Red"), std::string::npos) << "only the chosen item: " << text;
}

namespace {

// Two columns of Japanese set vertically (a CID font written with
// Identity-V), the right one drawn first at x 400, the left at 370; then
// `across`, drawn with F2 (Helvetica).
Platform::Bytes verticalColumns(const std::u32string& right, const std::u32string& left, const std::string& across = {},
                                bool upright = false)
{
    std::string map, first, second;
    char hex[48];
    const std::u32string all = right + left;
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::snprintf(hex, sizeof hex, "<%04X> <%04X>\n", static_cast<unsigned>(i + 1), static_cast<unsigned>(all[i]));
        map += hex;
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(i + 1));
        (i < right.size() ? first : second) += hex;
    }
    const std::string cmap = "/CIDInit /ProcSet findresource begin 12 dict begin begincmap /CMapName /V def 1 "
                             "begincodespacerange <0000> <FFFF> endcodespacerange " + std::to_string(all.size()) +
                             " beginbfchar\n" + map + "endbfchar endcmap CMapName currentdict /CMap defineresource pop end end";
    std::string content = "BT /F1 20 Tf 400 700 Td <" + first + "> Tj ET BT /F1 20 Tf 370 700 Td <" + second + "> Tj ET " + across;
    if (upright) {
        // Or each character upright in a horizontal font, one under the
        // next, as browsers set vertical text; a full stop raised by more
        // than an em, into the top right of its place.
        content.clear();
        for (std::size_t i = 0; i < all.size(); ++i) {
            const bool column = i < right.size();
            const std::size_t k = column ? i : i - right.size();
            const double y = 700 - 20.0 * static_cast<double>(k) + (all[i] == U'\u3002' ? 24 : 0);
            std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(i + 1));
            content += "BT /F1 20 Tf " + std::string(column ? "400 " : "370 ") + std::to_string(y) + " Td <" + hex + "> Tj ET ";
        }
    }
    // Or the right column's codes drawn where `across` says, in its own text object.
    if (across.find("<R>") != std::string::npos) {
        content = across;
        for (std::size_t at; (at = content.find("<R>")) != std::string::npos;) content.replace(at, 3, "<" + first + ">");
    }
    const std::string pdf = PlainPdf::ofObjects({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R /F2 9 0 R >> >> /Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /Type0 /BaseFont /Mincho /Encoding /Identity-" + std::string(upright ? "H" : "V") +
            " /DescendantFonts [6 0 R] /ToUnicode 8 0 R >>",
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Mincho /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
        "/Supplement 0 >> /FontDescriptor 7 0 R /DW 1000 >>",
        "<< /Type /FontDescriptor /FontName /Mincho /Flags 4 /FontBBox [0 -141 1000 859] /ItalicAngle 0 /Ascent 859 "
        "/Descent -141 /CapHeight 700 /StemV 80 >>",
        "<< /Length " + std::to_string(cmap.size()) + " >>\nstream\n" + cmap + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    });
    return {pdf.begin(), pdf.end()};
}

} // namespace

TEST(PdfReader, ReadsVerticalColumnsDownwardsRightToLeft)
{
    BigDocument document = readPdf(verticalColumns(U"縦書きの文章です", U"右から左へ読みます"));
    EXPECT_EQ(document.plainText(), "縦書きの文章です右から左へ読みます");
    // Set upright in a horizontal font, the columns read the same.
    BigDocument upright = readPdf(verticalColumns(U"縦書きの文章です。右から", U"左へ読みます。", {}, true));
    EXPECT_EQ(upright.plainText(), "縦書きの文章です。右から左へ読みます。");
}

TEST(PdfReader, ReadsAWordRunningAcrossThePagesDirectionAsALineOfItsOwn)
{
    // Mostly horizontal text, with a vertical word beside it: it comes
    // whole, where it stands between the lines.
    const std::string across = "BT /F2 12 Tf 72 730 Td (The first line of this page reads across it) Tj ET "
                               "BT /F2 12 Tf 72 300 Td (and the last line of the page as well) Tj ET";
    const std::string text = readPdf(verticalColumns(U"縦書き", U"", across)).plainText();
    // Also drawn between two runs of one line's text, where Poppler's selection passes over it.
    const std::string between = "BT /F2 48 Tf 0 700 Td (Hello) Tj 24 Ts (there) Tj 0 Ts /F1 48 Tf <R> Tj 24 Ts <R> Tj "
                                "0 Ts /F2 24 Tf (and the last line) Tj 24 Ts (and the last line) Tj ET";
    const std::string passed = readPdf(verticalColumns(U"縦書きの言葉", U"", between)).plainText();
    for (const auto& [read, parts] : {std::pair{text, std::vector<std::string>{"The first line of this page reads across it",
                                                                               "縦書き", "and the last line of the page as well"}},
                                      std::pair{passed, std::vector<std::string>{"Hello", "縦書きの言葉", "and the last line"}}}) {
        std::size_t at = 0;
        for (const std::string& part : parts) {
            const std::size_t found = read.find(part, at);
            ASSERT_NE(found, std::string::npos) << part << " in " << read;
            at = found + 1;
        }
    }
    // One drawn beside the page, where nobody sees it, stays out as before.
    const std::string beside = readPdf(verticalColumns(U"縦書きの言葉", U"", between + " BT /F1 20 Tf 700 500 Td <R> Tj ET"))
                                   .plainText();
    EXPECT_EQ(beside, passed);
}

TEST(PdfReader, ReadsASidewaysPageAlongItsText)
{
    // Pages of a report drawn turned on the sheet, as a landscape table is.
    static const char* body = "The quay walls were measured at low tide in the morning, from the lantern to the "
                              "far end of the old pier and back along the harbour wall,";
    static const char* more = "and each stone was counted twice.";
    auto pdf = PdfFixtures::cairoPdf(2, [](cairo_t* cr, int page) {
        cairo_translate(cr, 0, 792);
        cairo_rotate(cr, -M_PI / 2);
        PdfFixtures::showText(cr, 72, 90, "Harbour survey, part " + std::to_string(page + 1), 16, "Liberation Sans", true);
        // Lines longer than the sheet is wide: they stand on the page only as it is turned.
        PdfFixtures::showText(cr, 72, 130, body, 11);
        PdfFixtures::showText(cr, 72, 146, more, 11);
    });
    BigDocument document = readPdf(pdf);
    const std::string text = document.plainText();
    // Its lines run on as one paragraph, read by where its words stand.
    for (const std::string& line : {std::string("Harbour survey, part 1"), std::string("Harbour survey, part 2"),
                                    std::string(body) + " " + more})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
}

TEST(PdfReader, IsTheEntrysReaderForPdfFiles)
{
    Builder builder;
    builder.page(body(1), resources(builder));
    BigDocument document = Folmira::readBytes(builder.write(), "PDF", "Letter", std::nullopt, true);
    EXPECT_EQ(document.title, "Letter");
    EXPECT_EQ(document.source, BigDocument::Source::pdf);
    EXPECT_EQ(document.blocks.size(), 1u);
}

TEST(PdfReader, ReadsOrRefusesDamagedCopiesOfARealPdf)
{
    std::ifstream in(std::string(FOLMIRA_TEST_DATA) + "/pdf/table.pdf", std::ios::binary);
    Platform::Bytes original((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(original.empty());
    std::mt19937 random(2024);
    for (int i = 0; i < 40; ++i) {
        Platform::Bytes damaged = original;
        if (i % 2 == 0) damaged.resize(random() % damaged.size());
        for (int flips = 0; flips < 10 && !damaged.empty(); ++flips)
            damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
        try {
            BigDocument document = readPdf(damaged);
            EXPECT_FALSE(document.blocks.empty());
        } catch (const ConversionError& error) {
            EXPECT_FALSE(std::string(error.what()).empty());
        }
    }
}

namespace {

// The workers' limits made small for a test (a hostile page then ends in a
// fraction of a second), and their defaults back after it. The memory limit
// is below a request's share of the workers' budget, so no request that ends
// is tried again alone.
struct SmallPageLimits {
    explicit SmallPageLimits(double cpuSeconds = 0.15) { PDFReader::setPageLimits(cpuSeconds * HangGuard::scale(), 96 << 20); }
    ~SmallPageLimits() { PDFReader::setPageLimits(0, 0); }
};

// A test's hook on the requests sent to workers, removed after it.
struct BeforeSend {
    explicit BeforeSend(Platform::PdfWorker::BeforeSend hook) { Platform::PdfWorker::setBeforeSend(std::move(hook)); }
    ~BeforeSend() { Platform::PdfWorker::setBeforeSend({}); }
};

QPDFObjectHandle newStream(Builder& builder, const std::string& data, const std::string& dictionary)
{
    QPDFObjectHandle stream = builder.qpdf().newStream(data);
    QPDFObjectHandle keys = QPDFObjectHandle::parse(dictionary);
    for (const auto& key : keys.getKeys()) stream.getDict().replaceKey(key, keys.getKey(key));
    return stream;
}

// Pages that cost Poppler minutes or gigabytes while the content counter
// finds each of its counts within bounds, or can't see the cost at all.
struct HostilePage {
    std::string name;
    std::function<void(Builder&)> add;
};

std::vector<HostilePage> hostilePages()
{
    return {
        {"a soft mask of a thousand words set by gs ten thousand times",
         [](Builder& b) {
             QPDFObjectHandle r = resources(b);
             QPDFObjectHandle group = b.form("BT /F1 10 Tf 72 400 Td " + repeated("(mask) Tj ", 1000) + "ET", r);
             group.getDict().replaceKey("/Group", QPDFObjectHandle::parse("<< /S /Transparency /CS /DeviceGray >>"));
             QPDFObjectHandle mask = QPDFObjectHandle::parse("<< /S /Luminosity >>");
             mask.replaceKey("/G", group);
             QPDFObjectHandle state = QPDFObjectHandle::parse("<< /Type /ExtGState >>");
             state.replaceKey("/SMask", mask);
             QPDFObjectHandle states = QPDFObjectHandle::newDictionary();
             states.replaceKey("/GS1", state);
             r.replaceKey("/ExtGState", states);
             b.page(repeated("/GS1 gs ", 10'000) + text({"Masked words."}, 72, 700), r);
         }},
        {"an inline image of 46,000 by 46,000 pixels drawn from a form a thousand times",
         [](Builder& b) {
             QPDFObjectHandle r = resources(b);
             r.getKey("/XObject").replaceKey(
                 "/Fm", b.form("q 500 0 0 500 0 0 cm BI /W 46000 /H 46000 /CS /G /BPC 8 ID \x80 EI Q",
                               QPDFObjectHandle::newNull()));
             b.page(repeated("/Fm Do\n", 1000), r);
         }},
        {"a shading of 20,000 triangles drawn 50 times",
         [](Builder& b) {
             std::string mesh;
             std::mt19937 random(5);
             for (int vertex = 0; vertex < 60'000; ++vertex)
                 for (int byte = 0; byte < 6; ++byte)
                     mesh += static_cast<char>(byte == 0 ? 0 : static_cast<int>(random() & 0xFF));
             QPDFObjectHandle shading = newStream(b, mesh,
                                                  "<< /ShadingType 4 /ColorSpace /DeviceGray /BitsPerCoordinate 16 "
                                                  "/BitsPerComponent 8 /BitsPerFlag 8 /Decode [0 612 0 792 0 1] >>");
             QPDFObjectHandle r = resources(b);
             QPDFObjectHandle shadings = QPDFObjectHandle::newDictionary();
             shadings.replaceKey("/Sh", shading);
             r.replaceKey("/Shading", shadings);
             b.page(repeated("/Sh sh\n", 50) + text({"Shaded words."}, 72, 700), r);
         }},
        {"9,000 text operators of 20 bytes on baselines a hundredth of a point apart",
         [](Builder& b) {
             std::mt19937 random(9);
             std::string content = "BT /F1 10 Tf ";
             for (int i = 0; i < 9'000; ++i) {
                 std::string shown;
                 for (int c = 0; c < 20; ++c) shown += "abcdefghij "[random() % 11];
                 content += "1 0 0 1 " + std::to_string(72 + random() % 50) + " " + std::to_string(700 - 0.01 * i) +
                            " Tm (" + shown + ") Tj ";
             }
             b.page(content + "ET\n", resources(b));
         }},
        {"200 small pictures on a page of 300,000 path segments",
         [](Builder& b) {
             std::string content = repeated("10 10 m 600 780 l 600 10 l S\n", 100'000);
             for (int i = 0; i < 200; ++i)
                 content += picture(20 + 28 * (i % 20), 20 + 60 * (i / 20), 26, 26);
             b.page(content, resources(b));
         }},
    };
}

// Three pages: words, the hostile page, words.
Platform::Bytes between(const HostilePage& hostile)
{
    Builder builder;
    builder.page(text({"Apples grow on page one."}, 72, 700), resources(builder));
    hostile.add(builder);
    builder.page(text({"Plums grow on page three."}, 72, 700), resources(builder));
    return builder.write();
}

// The document memory files this process holds open.
int openDocumentFiles()
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.string().find("memfd:folmira-pdf") != std::string::npos) ++count;
    }
    return count;
}

const std::vector<ConversionNote> pageTwoLeftOut{
    {ConversionNote::Kind::warning, "Page 2 was left out: its text is too large for Folmira to read."}};

} // namespace

TEST(PdfReader, LeavesOutAPagePastItsWorkersLimitsAndReadsTheOthers)
{
    SmallPageLimits limits;
    for (const HostilePage& hostile : hostilePages()) {
        BigDocument document = readPdf(between(hostile));
        EXPECT_EQ(document.plainText(), "Apples grow on page one.\nPlums grow on page three.") << hostile.name;
        EXPECT_EQ(document.notes, pageTwoLeftOut) << hostile.name;
        EXPECT_EQ(document.leftOutPages, std::vector<int>{2}) << hostile.name;
    }
    // The same page among cheap pages, which are asked for several to a
    // request: the request that holds it ends at it, and only it is left out.
    for (const HostilePage& hostile : hostilePages()) {
        Builder builder;
        std::string expected;
        for (int page = 1; page <= 16; ++page) {
            if (page == 7) {
                hostile.add(builder);
                continue;
            }
            const std::string words = "Fruit number " + std::to_string(page) + " grows here.";
            builder.page(text({words}, 72, 700), resources(builder));
            expected += (expected.empty() ? "" : "\n") + words;
        }
        int requests = 0;
        BeforeSend hook([&](pid_t, std::uint8_t tag) {
            requests += tag == static_cast<std::uint8_t>(PDFReader::WorkerRequest::readPage);
        });
        BigDocument document = PDFReader::read(builder.write(), "Sample", 1);
        EXPECT_EQ(document.plainText(), expected) << hostile.name;
        EXPECT_EQ(document.leftOutPages, std::vector<int>{7}) << hostile.name;
        EXPECT_EQ(document.notes, (std::vector<ConversionNote>{{ConversionNote::Kind::warning,
                                                                "Page 7 was left out: its text is too large for "
                                                                "Folmira to read."}}))
            << hostile.name;
        EXPECT_LT(requests, 16) << hostile.name << ": pages asked for several to a request";
    }
}

TEST(PdfReader, AWorkerThatDiesLeavesOutItsPageOrRefusesTheFileItOpens)
{
    SmallPageLimits limits(2); // within a share of memory: a crash is not tried again
    Builder builder;
    for (const char* words : {"Apples grow on page one.", "Pears grow on page two.", "Plums grow on page three."})
        builder.page(text({words}, 72, 700), resources(builder));
    const Platform::Bytes pdf = builder.write();
    struct Case {
        PDFReader::WorkerRequest request;
        int signal;
    };
#if defined(__SANITIZE_ADDRESS__)
    const int crash = SIGILL; // the sanitizer turns a SIGSEGV into its report and an abort
#else
    const int crash = SIGSEGV;
#endif
    for (const Case& c : {Case{PDFReader::WorkerRequest::readPage, SIGKILL}, Case{PDFReader::WorkerRequest::readPage, crash},
                          Case{PDFReader::WorkerRequest::open, crash}}) {
        // On one thread the second page read is page 2: its worker (its process group) dies as it is asked.
        int asked = 0;
        BeforeSend hook([&](pid_t pid, std::uint8_t tag) {
            if (tag == static_cast<std::uint8_t>(c.request) && ++asked == (c.request == PDFReader::WorkerRequest::open ? 1 : 2))
                kill(-pid, c.signal);
        });
        if (c.request == PDFReader::WorkerRequest::open) {
            expectRefusal(pdf, Reason::damaged, "This PDF couldn’t be opened. It may be damaged.");
            continue;
        }
        BigDocument document = PDFReader::read(pdf, "Sample", 1);
        EXPECT_EQ(document.plainText(), "Apples grow on page one.\nPlums grow on page three.") << c.signal;
        EXPECT_EQ(document.notes, pageTwoLeftOut) << c.signal;
        EXPECT_EQ(document.leftOutPages, std::vector<int>{2}) << c.signal;
    }
    // Every read closed the file its workers were handed.
    EXPECT_EQ(openDocumentFiles(), 0);
}

TEST(PdfReader, ACancelEndsTheWorkerAtItsPageAtOnce)
{
    // Limits of a minute: only the cancel can end the hostile page this soon.
    SmallPageLimits limits(60);
    std::mutex mutex;
    std::condition_variable asked;
    pid_t worker = 0;
    BeforeSend hook([&](pid_t pid, std::uint8_t tag) {
        if (tag != static_cast<std::uint8_t>(PDFReader::WorkerRequest::readPage)) return;
        std::lock_guard lock(mutex);
        worker = pid;
        asked.notify_all();
    });
    Builder builder;
    hostilePages()[3].add(builder);
    const Platform::Bytes pdf = builder.write();

    Platform::CancelFlag flag;
    std::atomic<bool> cancelled{false};
    std::thread reading([&] {
        Platform::CancelScope scope(&flag);
        try {
            PDFReader::read(pdf, "Sample", 1);
        } catch (const Platform::Cancelled&) {
            cancelled = true;
        }
    });
    {
        std::unique_lock lock(mutex);
        EXPECT_TRUE(asked.wait_for(lock, HangGuard::limit(std::chrono::milliseconds(1000)), [&] { return worker != 0; }));
    }
    flag.cancel();
    reading.join();
    EXPECT_TRUE(cancelled);
    // The worker was killed with the child at its page.
    EXPECT_TRUE(endsSoon(worker));
}

TEST(PdfReader, AppKilledWhileItsWorkerIsAtAPageTakesTheWorkerAndItsChildWithIt)
{
    Builder builder;
    for (int i = 0; i < 3; ++i) hostilePages()[3].add(builder);
    const auto file = std::filesystem::temp_directory_path() / ("folmira-deathsig-" + std::to_string(getpid()) + ".pdf");
    const Platform::Bytes pdf = builder.write();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(pdf.data()),
                                                static_cast<std::streamsize>(pdf.size()));
    // The app: a program of its own reading the file, killed as the user's
    // session or the kernel would, with no chance to end its workers. Its
    // pages get a minute of CPU time each, so that no limit of theirs ends
    // a worker's child before the app's death must.
    std::string program = FOLMIRA_PROBE, argument = file.string();
    char* argv[] = {program.data(), argument.data(), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t app = 0;
    setenv("FOLMIRA_PROBE_PAGE_SECONDS", "60", 1);
    ASSERT_EQ(posix_spawn(&app, program.c_str(), &quiet, nullptr, argv, environ), 0);
    unsetenv("FOLMIRA_PROBE_PAGE_SECONDS");
    posix_spawn_file_actions_destroy(&quiet);
    // Its workers, and the child of one of them at a page: running for ten
    // looks in a row, not one that answers a request of a moment and ends.
    std::vector<pid_t> workers, atAPage;
    std::map<pid_t, int> running;
    const auto deadline = std::chrono::steady_clock::now() + HangGuard::limit(std::chrono::milliseconds(2000));
    while (atAPage.empty() && std::chrono::steady_clock::now() < deadline) {
        workers = childrenOf(app);
        for (pid_t worker : workers)
            for (pid_t child : childrenOf(worker))
                if (stateOf(child) == 'R' && ++running[child] >= 10) atAPage.push_back(child);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(app, SIGKILL);
    waitpid(app, nullptr, 0);
    std::filesystem::remove(file);
    ASSERT_FALSE(atAPage.empty()) << "no worker was seen at a page";
    for (pid_t pid : workers) EXPECT_TRUE(endsSoon(pid)) << "worker " << pid;
    for (pid_t pid : atAPage) EXPECT_TRUE(endsSoon(pid)) << "its child " << pid;
}
