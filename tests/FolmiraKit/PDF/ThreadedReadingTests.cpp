// Reading a PDF's pages in several workers must give what reading them here
// gives: the same words, lines and pictures page by page, the same document
// in the end.

#include "FolmiraKit/PDF/LineTools.h"
#include "FolmiraKit/PDF/PDFReader.h"
#include "FolmiraKit/PDF/PackedLines.h"
#include "FolmiraKit/PDF/PageSource.h"
#include "tests/Platform/PdfFixtures.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <mutex>
#include <sstream>
#include <system_error>

using namespace FolmiraKit;
using Platform::Rect;

namespace {

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string s = buffer.str();
    return {s.begin(), s.end()};
}

// Eleven pages that differ: a running header and page number on each, a
// heading now and then, a picture on every third page, and one page that is
// nothing but a picture (a scan).
std::vector<std::uint8_t> mixedPdf()
{
    return PdfFixtures::cairoPdf(11, [](cairo_t* cr, int page) {
        PdfFixtures::showText(cr, 72, 40, "Orchard notes", 9);
        PdfFixtures::showText(cr, 300, 760, std::to_string(page + 1), 9);
        if (page == 6) {
            cairo_set_source_rgb(cr, 0.3, 0.5, 0.3);
            cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 500, 650);
            cairo_t* painter = cairo_create(image);
            cairo_set_source_rgb(painter, 0.8, 0.7, 0.6);
            cairo_paint(painter);
            cairo_destroy(painter);
            cairo_set_source_surface(cr, image, 50, 70);
            cairo_paint(cr);
            cairo_surface_destroy(image);
            return;
        }
        double y = 90;
        if (page % 4 == 0) {
            PdfFixtures::showText(cr, 72, y, "Chapter " + std::to_string(page / 4 + 1), 20, "Liberation Sans", true);
            y += 40;
        }
        for (int line = 0; line < 24; ++line, y += 16)
            PdfFixtures::showText(cr, 72, y,
                                  "Page " + std::to_string(page + 1) + " line " + std::to_string(line + 1) +
                                      (line % 6 == 5 ? " ends here." : " goes on with the trees and"));
        if (page % 3 == 1) {
            cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 120, 80);
            cairo_t* painter = cairo_create(image);
            cairo_set_source_rgb(painter, 0.1 * page, 0.4, 0.6);
            cairo_paint(painter);
            cairo_destroy(painter);
            cairo_set_source_surface(cr, image, 72, y + 10);
            cairo_paint(cr);
            cairo_surface_destroy(image);
        }
    });
}

// A long manual page set by groff, or nothing when groff cannot make PDFs here.
std::vector<std::uint8_t> groffPdf()
{
    auto dir = std::filesystem::temp_directory_path();
    auto source = dir / "folmira-threads-test.1";
    auto pdf = dir / "folmira-threads-test.pdf";
    {
        std::ofstream out(source);
        out << ".TH ORCHARD 1\n.SH NAME\norchard \\- tend the trees\n";
        for (int section = 0; section < 30; ++section) {
            out << ".SH SECTION " << section << "\n.PP\n";
            for (int w = 0; w < 80; ++w) out << (w % 7 ? "pruning " : "the apple ") << (w % 10 == 9 ? "\n" : "");
            out << "\n.TP\n.B \\-\\-water\nHow often, in days.\n.TP\n.B \\-\\-light\nFull sun or shade.\n";
        }
    }
    std::string command = "groff -Tpdf -man '" + source.string() + "' > '" + pdf.string() + "' 2>/dev/null";
    std::vector<std::uint8_t> bytes;
    if (std::system(command.c_str()) == 0) bytes = fileBytes(pdf);
    std::filesystem::remove(source);
    std::filesystem::remove(pdf);
    return bytes;
}

struct Sample {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::vector<Sample> samples()
{
    std::vector<Sample> out;
    for (const char* name : {"running-header", "table", "two-columns"})
        out.push_back({name, fileBytes(std::string(FOLMIRA_TEST_DATA) + "/pdf/" + name + ".pdf")});
    out.push_back({"Bulletin", fileBytes(std::string(FOLMIRA_TEST_DATA) + "/../../Resources/Samples/Bulletin.pdf")});
    out.push_back({"mixed", mixedPdf()});
    return out;
}

using PageTexts = std::vector<PDFReader::PageReading>;

void expectEqualTexts(const PageTexts& one, const PageTexts& many, const std::string& name)
{
    ASSERT_EQ(many.size(), one.size()) << name;
    for (std::size_t i = 0; i < one.size(); ++i) {
        const PDFReader::PageReading& a = one[i];
        const PDFReader::PageReading& b = many[i];
        ASSERT_EQ(a.fetched, b.fetched) << name << " page " << i;
        EXPECT_EQ(a.text.words.words, b.text.words.words) << name << " page " << i;
        EXPECT_EQ(a.text.words.untrusted, b.text.words.untrusted) << name << " page " << i;
        EXPECT_EQ(a.text.lines, b.text.lines) << name << " page " << i;
        EXPECT_EQ(a.text.tooLarge, b.text.tooLarge) << name << " page " << i;
        EXPECT_EQ(a.pictures, b.pictures) << name << " page " << i;
        EXPECT_EQ(a.drawn, b.drawn) << name << " page " << i;
    }
}

// Every page read in this process, as a worker reads it.
PageTexts readHere(const std::vector<std::uint8_t>& bytes)
{
    auto opened = Platform::PdfDocument::open(bytes);
    PageTexts pages;
    if (!opened.document) return pages;
    for (int i = 0; i < opened.document->pageCount(); ++i) pages.push_back(PDFReader::readPage(*opened.document, i));
    return pages;
}

PageTexts readInWorkers(const std::vector<std::uint8_t>& bytes, int threads, PDFReader::ThreadStarter start = {})
{
    PDFReader::PageSource source(bytes, threads, std::move(start));
    PDFReader::DocumentOpening opening = source.open();
    EXPECT_EQ(opening, PDFReader::openingOf(Platform::PdfDocument::open(bytes)));
    PageTexts pages(opening.cropBoxes.size());
    std::mutex handed;
    source.readPages(static_cast<int>(pages.size()), [&](int index, PDFReader::PageReading reading) {
        std::lock_guard lock(handed);
        EXPECT_FALSE(pages[static_cast<std::size_t>(index)].fetched) << "page " << index << " handed twice";
        pages[static_cast<std::size_t>(index)] = std::move(reading);
    });
    return pages;
}

void expectSameTexts(const std::vector<std::uint8_t>& bytes, const std::string& name)
{
    auto one = readHere(bytes);
    ASSERT_FALSE(one.empty()) << name;
    for (int threads : {1, 2, 3, 4, 16})
        expectEqualTexts(one, readInWorkers(bytes, threads), name + " on " + std::to_string(threads));
}

// What a child process that may start no thread (nor process) made of `bytes` on four threads.
enum ChildOutcome { same = 0, different = 1, threw = 2, cannotDropRoot = 3, limitIgnored = 4, crashed = 5, noHelper = 6 };

ChildOutcome readWithoutThreads(const std::vector<std::uint8_t>& bytes, const BigDocument& expected)
{
    pid_t child = fork();
    if (child == 0) {
        // Root is never held to the limit: the child becomes nobody first.
        rlimit none{0, 0};
        if (setrlimit(RLIMIT_NPROC, &none) != 0) _exit(limitIgnored);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(cannotDropRoot);
        try {
            std::thread([] {}).join();
            _exit(limitIgnored);
        } catch (const std::system_error&) {
        }
        try {
            _exit(PDFReader::read(bytes, "mixed", 4) == expected ? same : different);
        } catch (const ConversionError& error) {
            _exit(std::string_view(error.what()).find("PDF helper") != std::string_view::npos ? noHelper : threw);
        } catch (...) {
            _exit(threw);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? static_cast<ChildOutcome>(WEXITSTATUS(status)) : crashed;
}

} // namespace

TEST(ThreadedReading, PagesComeBackInPageOrderWhateverTheThreads)
{
    for (const Sample& sample : samples()) expectSameTexts(sample.bytes, sample.name);
    // Every page read, each its own: page N's first words say so.
    auto texts = readInWorkers(mixedPdf(), 4);
    ASSERT_EQ(texts.size(), 11u);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_TRUE(texts[i].fetched);
        if (i == 6) continue; // the scan: only its header and number
        bool found = false;
        for (const auto& line : texts[i].text.lines)
            if (line.words.size() > 2 && line.words[0].text == "Page" && line.words[1].text == std::to_string(i + 1))
                found = true;
        EXPECT_TRUE(found) << "page " << i + 1;
    }
}

TEST(ThreadedReading, DocumentsAreTheSameWithOneTwoOrFourThreads)
{
    for (const Sample& sample : samples()) {
        BigDocument one = PDFReader::read(sample.bytes, sample.name, 1);
        EXPECT_FALSE(one.blocks.empty()) << sample.name;
        for (int threads : {2, 4}) EXPECT_EQ(PDFReader::read(sample.bytes, sample.name, threads), one) << sample.name;
    }
    // The mixed sample keeps its pictures in order and notes its scan page.
    BigDocument mixed = PDFReader::read(mixedPdf(), "mixed", 4);
    EXPECT_EQ(mixed.imageCount(), 4); // pages 2, 5, 8 and 11
    bool scanNoted = false;
    for (const auto& note : mixed.notes) scanNoted = scanNoted || note.message.rfind("Page 7 is a picture", 0) == 0;
    EXPECT_TRUE(scanNoted);
}

TEST(ThreadedReading, ReadsWithAThreadForEachCoreItMayRunOnUpToFour)
{
    cpu_set_t allowed;
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    std::vector<int> cores;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &allowed)) cores.push_back(cpu);
    // Pinned to one core (taskset, a container's share), as on any number of them.
    for (std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{6}}) {
        if (count > cores.size()) continue;
        cpu_set_t some;
        CPU_ZERO(&some);
        for (std::size_t i = 0; i < count; ++i) CPU_SET(cores[i], &some);
        ASSERT_EQ(sched_setaffinity(0, sizeof some, &some), 0);
        EXPECT_EQ(PDFReader::readingThreads(), std::min<int>(static_cast<int>(count), 4)) << count << " cores";
    }
    sched_setaffinity(0, sizeof allowed, &allowed);
    // A number chosen holds whatever the cores.
    PDFReader::setReadingThreads(3);
    EXPECT_EQ(PDFReader::readingThreads(), 3);
    PDFReader::setReadingThreads(0);
}

TEST(ThreadedReading, AGroffManualPageReadsTheSameOnFourThreads)
{
    std::vector<std::uint8_t> bytes = groffPdf();
    if (bytes.empty()) GTEST_SKIP() << "groff cannot write PDFs here";
    expectSameTexts(bytes, "groff");
    BigDocument one = PDFReader::read(bytes, "orchard", 1);
    EXPECT_EQ(PDFReader::read(bytes, "orchard", 4), one);
    EXPECT_NE(one.plainText().find("Full sun or shade."), std::string::npos);
}

// Pages of prose, 46 lines of varied words a page, as a long report sets them.
std::vector<std::uint8_t> prosePdf(int pages)
{
    return PdfFixtures::cairoPdf(pages, [](cairo_t* cr, int page) {
        static const char* words[] = {"harvest", "the", "orchard", "river", "of", "morning", "a", "quietly",
                                      "lantern", "and", "pruning", "meadow", "to", "bridge", "kept", "apples",
                                      "in", "winter", "steady", "village", "was", "careful", "light", "rows"};
        std::mt19937 random(static_cast<unsigned>(page));
        for (int line = 0; line < 46; ++line) {
            std::string text;
            while (text.size() < 78) text += std::string(text.empty() ? "" : " ") + words[random() % std::size(words)];
            PdfFixtures::showText(cr, 72, 60 + 15 * line, text, 11, "Liberation Serif");
        }
    });
}

TEST(ThreadedReading, PagesAreHeldPackedInLessThanTwiceTheirText)
{
    // What the reader holds of each page between its passes, counted against
    // the text the page keeps and against the lines it packs.
    std::size_t packed = 0, text = 0, decoded = 0, lines = 0;
    for (const PDFReader::PageReading& page : readHere(prosePdf(120))) {
        const PDFReader::Lines& read = page.text.lines;
        const PDFReader::PackedLines held(read, true);
        EXPECT_EQ(held.unpacked(), read);
        packed += held.bytes();
        lines += read.size();
        for (const PDFReader::Line& line : read) {
            text += PDFReader::lineText(line).size();
            decoded += sizeof(PDFReader::Line) + line.words.size() * sizeof(PDFReader::Word);
        }
    }
    ASSERT_EQ(lines, 120u * 46);
    EXPECT_LT(packed, 2 * text) << "packed " << packed << " of " << text << " bytes of text";
    EXPECT_LT(packed * 8, decoded) << "packed " << packed << " of " << decoded << " bytes decoded";
}

TEST(ThreadedReading, PackedLinesComeBackExactly)
{
    using PDFReader::Line;
    using PDFReader::Word;
    const Word apple{"apple", {72, 700, 30, 12}, 12, true, false};
    const Word pear{"pear", {104.5, 700, 22.25, 12}, 12, false, true};
    const Word raised{"²", {127, 706.125, 4, 7}, 7.5, false, false};
    struct Case {
        const char* name;
        PDFReader::Lines lines;
    };
    // A page of many lines: deflated when asked.
    PDFReader::Lines page;
    for (int i = 0; i < 40; ++i) {
        Word a = apple, b = pear;
        a.rect.y = b.rect.y = 700 - 14.5 * i;
        page.push_back(PDFReader::makeLine({a, b, raised}));
    }
    const Case cases[] = {
        {"a page of many lines", page},
        {"no lines", {}},
        {"words as makeLine sets them", {PDFReader::makeLine({apple, pear, raised})}},
        {"a rect of its own (a page read line by line)", {Line{{apple}, {72, 650, 400, 14}, std::nullopt, true}}},
        {"a picture line", {Line{{}, {72, 300, 200, 150}, Picture{{1, 2, 3}, 200, 150, "a pear"}, false}}},
        {"a negative zero and a lone word", {Line{{Word{"x", {-0.0, 0, 1, 1}, 0, false, false}}, {-0.0, 0, 1, 1}, std::nullopt, false}}},
    };
    for (const Case& c : cases)
        for (bool deflate : {false, true}) {
            const PDFReader::Lines back = PDFReader::PackedLines(c.lines, deflate).unpacked();
            EXPECT_EQ(back, c.lines) << c.name << (deflate ? ", deflated" : "");
            for (std::size_t i = 0; i < back.size() && i < c.lines.size(); ++i)
                EXPECT_EQ(std::signbit(back[i].rect.x), std::signbit(c.lines[i].rect.x)) << c.name;
        }
    // A line or two is held as written, deflating it gaining little; a page of many lines is deflated.
    const PDFReader::Lines short_{PDFReader::makeLine({apple, pear})};
    EXPECT_EQ(PDFReader::PackedLines(short_, true).bytes(), PDFReader::PackedLines(short_, false).bytes());
    EXPECT_LT(PDFReader::PackedLines(page, true).bytes() * 2, PDFReader::PackedLines(page, false).bytes());
}

TEST(ThreadedReading, GoesOnWithTheThreadsThatStart)
{
    auto bytes = mixedPdf();
    const PageTexts one = readHere(bytes);

    // No helper starts: the calling thread reads every page. One starts, the
    // next doesn't: the two of them share the pages.
    for (int started : {0, 1, 2}) {
        std::atomic<int> asked{0};
        PDFReader::ThreadStarter start = [&](std::function<void()> work) {
            if (asked++ == started) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            return std::thread(std::move(work));
        };
        expectEqualTexts(one, readInWorkers(bytes, 4, start),
                         std::to_string(started) + " helpers started");
        EXPECT_EQ(asked.load(), started + 1);
    }

    // A process that may start no thread, nor so a worker, refuses the PDF
    // for its missing helper: pages are never read without a worker's limits.
    ChildOutcome outcome = readWithoutThreads(bytes, PDFReader::read(bytes, "mixed", 1));
    if (outcome == cannotDropRoot || outcome == limitIgnored) GTEST_SKIP() << "the thread limit can't be set here";
    EXPECT_EQ(outcome, noHelper) << "0 same, 1 different, 2 threw, 5 crashed, 6 no helper";
}

TEST(ThreadedReading, AWorkersReplyCutShortIsRefusedNotMisread)
{
    PDFReader::PageReading reading;
    reading.fetched = true;
    PDFReader::Word word{"Pear", {72, 700, 30, 12}, 12, true, false};
    reading.text.words.words = {word};
    reading.text.lines = {PDFReader::makeLine({word})};
    reading.pictures = {{50, 50, 100, 80}};
    reading.drawn = {{40, 40, 120, 100}};
    PDFReader::DocumentOpening opening{PDFReader::DocumentOpening::State::opened, true, {Rect{0, 0, 612, 792}, std::nullopt}};
    std::vector<std::optional<Platform::Bytes>> rendered{Platform::Bytes{1, 2, 3}, std::nullopt};

    struct Case {
        std::string name;
        Platform::Bytes encoded;
        std::function<bool(const Platform::Bytes&)> decodesTheSame;
    };
    const std::vector<Case> cases{
        {"page", PDFReader::encode(reading),
         [&](const Platform::Bytes& b) {
             auto back = PDFReader::decodePageReading(b);
             return back.fetched && back.text.words.words == reading.text.words.words &&
                    back.text.lines == reading.text.lines && back.pictures == reading.pictures && back.drawn == reading.drawn;
         }},
        {"opening", PDFReader::encode(opening), [&](const Platform::Bytes& b) { return PDFReader::decodeOpening(b) == opening; }},
        {"pictures", PDFReader::encode(rendered), [&](const Platform::Bytes& b) { return PDFReader::decodeRendered(b) == rendered; }},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.decodesTheSame(c.encoded)) << c.name;
        for (std::size_t cut = 0; cut < c.encoded.size(); ++cut)
            EXPECT_THROW(c.decodesTheSame(Platform::Bytes(c.encoded.begin(), c.encoded.begin() + static_cast<long>(cut))),
                         Platform::WireReader::Short)
                << c.name << " cut at " << cut;
    }
}
