// Every file kept under tests/data/regress, and bigger variants made here,
// read and render to a document or a refusal within the bounds the engine
// promises: the work its budgets allow, and 500 MB. Each runs in a child
// process on one thread, so that its peak memory and CPU time are its own; its
// CPU time is held against an ordinary file that does the same work within the
// budgets, probed beside it in the same test, so that neither a slower machine
// nor a busy one fails it.

#include "tests/FolmiraKit/HostileFiles.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace {

namespace fs = std::filesystem;
using namespace HostileFiles;

// The sanitizers' shadow memory costs more.
const long memoryLimit = HangGuard::sanitized ? 1500 : 500;

bool isDocumentOrRefusal(const std::string& output)
{
    return output.rfind("document ", 0) == 0 || output.rfind("refused ", 0) == 0;
}

class HostileBounds : public testing::Test {
protected:
    // Probes `file` beside `reference` and checks the bounds: its CPU time
    // within three times `seen`, the ratio to the reference's measured when
    // the test was written. A reference is probed once in a test, again only
    // beside a file over its bound. Gives both costs.
    Beside expectBounded(const fs::path& file, const fs::path& reference, double seen)
    {
        const auto known = references_.find(reference);
        const Beside beside = probeBeside(file, reference, HangGuard::ratio(seen),
                                          known == references_.end() ? nullptr : &known->second);
        references_[reference] = beside.reference;
        const Cost& cost = beside.cost;
        EXPECT_EQ(cost.status, 0) << file;
        EXPECT_TRUE(isDocumentOrRefusal(cost.output)) << file << ": " << cost.output;
        EXPECT_LT(beside.ratio(), HangGuard::ratio(seen))
            << file << ": " << cost.cpuSeconds << " s of CPU, " << reference << ": " << beside.reference.cpuSeconds;
        EXPECT_LT(cost.peakMegabytes, memoryLimit) << file;
        return beside;
    }

    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "hostile-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }
    const fs::path& folder() const { return folder_; }
    // A Markdown file that shows `picture` once.
    fs::path shownOnce(const fs::path& picture) const
    {
        const fs::path file = folder() / (picture.stem().string() + "-once.md");
        if (picture.parent_path() != folder()) fs::copy_file(picture, folder() / picture.filename());
        write(file, "![once](" + picture.filename().string() + ")\n");
        return file;
    }

private:
    fs::path folder_;
    std::map<fs::path, Cost> references_;
};

TEST_F(HostileBounds, EveryKeptFileGivesADocumentOrARefusal)
{
    // Each is a picture of 100 million pixels shown over and over, or strips
    // over a page: no more work than the picture shown once.
    const fs::path regress = fs::path(FOLMIRA_TEST_DATA) / "regress";
    const fs::path reference = shownOnce(regress / "markdown" / "render-2.png");
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(regress)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        expectBounded(entry.path(), reference, 1.5);
    }
    EXPECT_GE(files, 5);
}

TEST_F(HostileBounds, TheKeptFilesSayWhatTheyBecame)
{
    const fs::path regress = fs::path(FOLMIRA_TEST_DATA) / "regress";
    // One picture shown twenty times: twenty pages, nothing left out.
    for (const char* name : {"docx/render-1.docx", "markdown/render-2.md"}) {
        Cost cost = probe(regress / name);
        EXPECT_EQ(cost.output.substr(0, 12), "document 20 ") << name;
        EXPECT_EQ(cost.output.find("left out"), std::string::npos) << name;
    }
    // Strips over a page with a single line of text: a scan, found without rendering.
    for (const char* name : {"pdf/pdf-1.pdf", "pdf/pdf-2.pdf"})
        EXPECT_EQ(probe(regress / name).output.substr(0, 20), "refused noTextLayer\n") << name;
}

TEST_F(HostileBounds, MoreUsesAndBiggerPicturesStayBounded)
{
    // A hundred uses of a 10,000 × 10,000 picture, and twenty of one of 96 million pixels.
    write(folder() / "big.png", solidPng(10'000, 10'000));
    std::string many = "# Many\n\n";
    for (int i = 0; i < 100; ++i) many += "![white](big.png)\n\n";
    write(folder() / "many.md", many);
    write(folder() / "bigger.png", solidPng(12'000, 8'000, {30, 60, 90}));
    std::string bigger;
    for (int i = 0; i < 20; ++i) bigger += "![blue](bigger.png)\n\n";
    write(folder() / "bigger.md", bigger);

    // Each picture is decoded once, whatever its uses.
    for (const auto& [name, picture] : {std::pair{"many.md", "big.png"}, std::pair{"bigger.md", "bigger.png"}}) {
        const Cost cost = expectBounded(folder() / name, shownOnce(folder() / picture), 2.6).cost;
        EXPECT_EQ(cost.output.find("left out"), std::string::npos) << name << cost.output;
    }
}

TEST_F(HostileBounds, PicturesPastTheBudgetAreLeftOutAndCounted)
{
    // Five distinct pictures of 100 million pixels each: four fit the decode
    // budget, and the fifth costs no more than leaving it out.
    std::string four, five;
    for (int i = 0; i < 5; ++i) {
        std::string name = "p" + std::to_string(i) + ".png";
        write(folder() / name, solidPng(10'000, 10'000, {static_cast<std::uint8_t>(40 * i), 0, 0}));
        four = five;
        five += "![" + name + "](" + name + ")\n\n";
    }
    write(folder() / "four.md", four);
    write(folder() / "five.md", five);
    const Cost cost = expectBounded(folder() / "five.md", folder() / "four.md", 1.2).cost;
    EXPECT_NE(cost.output.find("1 picture was left out: the document’s pictures are too large to draw all at once."),
              std::string::npos)
        << cost.output;
}

TEST_F(HostileBounds, MoreStripsAndPagesStayBounded)
{
    struct Case {
        const char* name;
        int pages, strips;
        bool words;
        const char* expected; // a line of the output
        double seen;          // the CPU time seen beside one page of one strip
    };
    const Case cases[] = {
        {"scan-pages.pdf", 20, 200, false, "refused noTextLayer", 1.0},
        // Words keep the pages from being scans; the overlapping strips cost too much to render.
        {"overlapping.pdf", 3, 200, true, "picture", 1.5},
        // One strip a page: the first page's fits the render budget, the rest don't.
        {"one-a-page.pdf", 30, 1, true, "29 pictures were left out", 1.5},
    };
    // The work of the render budget: one strip cut out of one page.
    write(folder() / "one.pdf", stripsPdf(1, 1, true));
    for (const Case& c : cases) {
        write(folder() / c.name, stripsPdf(c.pages, c.strips, c.words));
        const Cost cost = expectBounded(folder() / c.name, folder() / "one.pdf", c.seen).cost;
        EXPECT_NE(cost.output.find(c.expected), std::string::npos) << c.name << ": " << cost.output;
    }
}

} // namespace

// Long documents, text with nowhere to break and pictures shown over and over:
// cost follows the text and the PDF, not the pages held or the uses repeated,
// each beside ordinary text of the same size or pages (text with nowhere to
// break, before it was shaped in pieces, took ten times what words took). The
// sanitized build runs them on inputs a quarter the size (they are the suite's
// heaviest; `ctest -E HostileCost` leaves them out).
class HostileCost : public HostileBounds {
protected:
    static constexpr std::size_t scale = HangGuard::sanitized ? 4 : 1;

    static std::string paragraphs(std::size_t bytes)
    {
        std::string text = "Title\n\n";
        const char* words[] = {"reading", "large", "print", "makes", "every", "page", "kinder", "to", "eyes"};
        for (std::size_t i = 0; text.size() < bytes; ++i) {
            text += words[i % 9];
            text += (i % 97 == 96) ? ".\n\n" : " ";
        }
        return text;
    }
    static std::pair<long, long> pagesAndBytes(const std::string& output)
    {
        long pages = 0, bytes = 0;
        std::sscanf(output.c_str(), "document %ld %ld", &pages, &bytes);
        return {pages, bytes};
    }
};

TEST_F(HostileCost, PeakMemoryGrowsOnlyWithThePdf)
{
    // About 450 and 1,400 pages, both past what a render holds at once: laid
    // out and held, the second would need some 70 MB more for the pages'
    // drawing alone.
    const std::size_t small = 640'000 / scale, large = 2'000'000 / scale;
    write(folder() / "small.txt", paragraphs(small));
    write(folder() / "large.txt", paragraphs(large));
    // Three times the text, about three times the work.
    const auto [b, a] = expectBounded(folder() / "large.txt", folder() / "small.txt", 3.2);
    auto [pagesA, pdfA] = pagesAndBytes(a.output);
    auto [pagesB, pdfB] = pagesAndBytes(b.output);
    EXPECT_GE(pagesB, 3 * pagesA) << a.output << b.output;
    // The PDF, the text read (decoded and in blocks) and room for noise.
    const long allowedKilobytes = (pdfB - pdfA) / 1024 + 4 * static_cast<long>(large - small) / 1024 + 16 * 1024;
    // The sanitizer's quarantine of freed memory grows the peak with what is freed.
    if (!HangGuard::sanitized) {
        EXPECT_LE(b.peakKilobytes - a.peakKilobytes, allowedKilobytes)
            << a.peakKilobytes << " KB for " << pagesA << " pages, " << b.peakKilobytes << " KB for " << pagesB;
    }
}

TEST_F(HostileCost, TextWithNowhereToBreakCostsWhatTextCosts)
{
    std::string word;
    for (std::size_t i = 0; i < 1'000'000 / scale; ++i) word += static_cast<char>('a' + i % 26);
    write(folder() / "word.txt", "Title\n\n" + word);
    write(folder() / "hashes.md", "# Hashes\n\n" + std::string(1'000'000 / scale, '#'));
    write(folder() / "words.txt", paragraphs(1'000'000 / scale));
    for (const auto& [name, seen] : {std::pair{"word.txt", 2.5}, std::pair{"hashes.md", 2.5}}) {
        const Cost cost = expectBounded(folder() / name, folder() / "words.txt", seen).cost;
        EXPECT_EQ(cost.output.rfind("document ", 0), 0u) << name << cost.output;
    }
}

TEST_F(HostileCost, APictureShownAThousandTimesIsReadAndDecodedOnce)
{
    // Beside as many pages of text.
    write(folder() / "one.png", solidPng(1200, 900, {90, 120, 150}));
    std::string many = "# Many\n\n";
    for (int i = 0; i < 1000; ++i) many += "![one](one.png)\n\n";
    write(folder() / "many.md", many);
    write(folder() / "text.txt", paragraphs(1'500'000));
    const auto [cost, text] = expectBounded(folder() / "many.md", folder() / "text.txt", 0.5);
    EXPECT_GE(pagesAndBytes(text.output).first, 1000) << text.output;
    EXPECT_EQ(cost.output.rfind("document 1000 ", 0), 0u) << cost.output;
    EXPECT_EQ(cost.output.find("left out"), std::string::npos) << cost.output;
}

TEST_F(HostileCost, AParagraphOfMegabytesIsLaidOutInPieces)
{
    // One paragraph of 1 MB (a text file without a blank line): laid out whole,
    // its lines alone took some 40 MB more than the same text in paragraphs.
    std::string one = paragraphs(1'000'000 / scale);
    std::string split = one;
    for (char& c : one)
        if (c == '\n') c = ' ';
    one.replace(0, 7, "Title\n\n");
    write(folder() / "one.txt", one);
    write(folder() / "split.txt", split);
    const auto [b, a] = expectBounded(folder() / "one.txt", folder() / "split.txt", 1.3);
    auto [pagesA, pdfA] = pagesAndBytes(a.output);
    auto [pagesB, pdfB] = pagesAndBytes(b.output);
    // Without the space between paragraphs it takes fewer pages, all its words kept.
    EXPECT_GT(pagesB, pagesA * 3 / 4) << a.output << b.output;
    if (!HangGuard::sanitized) { // its quarantine of freed memory grows the peak with what is freed
        EXPECT_LE(b.peakKilobytes, a.peakKilobytes + (pdfB > pdfA ? pdfB - pdfA : 0) / 1024 + 16 * 1024)
            << a.peakKilobytes << " KB in paragraphs, " << b.peakKilobytes << " KB as one";
    }
}

TEST_F(HostileCost, APageThatInflatesToHalfAGigabyteIsNotRead)
{
    // 512 MB of zeros as a page's content, deflated to half a megabyte.
    Bytes zeros(1 << 20), deflated, buffer(1 << 16);
    z_stream z{};
    deflateInit(&z, 1);
    for (int i = 0; i < 512; ++i) {
        z.next_in = zeros.data();
        z.avail_in = static_cast<uInt>(zeros.size());
        int flush = i == 511 ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, flush);
            deflated.insert(deflated.end(), buffer.data(), buffer.data() + (buffer.size() - z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    std::string stream(deflated.begin(), deflated.end());
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << >> >>",
        "<< /Length " + std::to_string(stream.size()) + " /Filter /FlateDecode >>\nstream\n" + stream + "\nendstream"};
    write(folder() / "bomb.pdf", PlainPdf::ofObjects(objects));
    // Parsing it all for text took twenty times what a page of words whose
    // content inflates to 16 MB takes, which is read; now a quarter of that.
    write(folder() / "dense.pdf", paddedTextPdf({{"One two three four five six", 16u << 20}}));
    const Cost cost = expectBounded(folder() / "bomb.pdf", folder() / "dense.pdf", 0.5).cost;
    // Refused for its size, not as a scan: what it holds was never read.
    EXPECT_EQ(cost.output.substr(0, 20), "refused unsupported\n") << cost.output;
}
