// Reads generated Word documents of 25 to 200 pages (about 350 words a page,
// with headings, numbered lists, tables and pictures), and reads and renders
// them to large print. The time per page must stay flat: both are linear in
// the document's size. Reading is also timed beside its floor, unzipping the
// main part and parsing its XML ("x_floor"); a document whose every word holds
// characters XML forbids is read beside the same text written as U+FFFD.

#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Render/Renderer.h"
#include "FolmiraKit/Word/ZipReader.h"
#include "Platform/Images.h"
#include "Platform/Xml.h"
#include "tests/FolmiraKit/Word/ZipBuilder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

const char* namespaces = R"(xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" )"
                         R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )"
                         R"(xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing" )"
                         R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")";

std::string run(const std::string& text, const char* rPr = "")
{
    return std::string("<w:r><w:rPr>") + rPr + "</w:rPr><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

// How each word ends: with a space; with characters XML forbids (a raw control
// character and a reference to U+FFFF), as some generators write them; or with
// the two U+FFFD they are read as, written directly.
enum class Words { plain, forbidden, replaced };

std::string paragraph(int page, int k, Words kind)
{
    const char* end = kind == Words::forbidden ? "\x01&#xFFFF; " : kind == Words::replaced ? "\uFFFD\uFFFD " : " ";
    std::string words;
    for (int i = 0; i < 20; ++i) words += "word" + std::to_string((page * 31 + k * 7 + i) % 97) + end;
    return "<w:p>" + run(words) + run("bold words ", "<w:b/>") + run(words, "<w:i/>") + run(words) + "</w:p>";
}

// A .docx of `pages` pages.
std::vector<std::uint8_t> document(int pages, Words kind = Words::plain)
{
    std::string body;
    for (int page = 0; page < pages; ++page) {
        body += R"(<w:p><w:pPr><w:pStyle w:val="Heading1"/></w:pPr>)" + run("Chapter " + std::to_string(page + 1)) + "</w:p>";
        for (int k = 0; k < 4; ++k) body += paragraph(page, k, kind);
        for (int k = 0; k < 3; ++k)
            body += R"(<w:p><w:pPr><w:numPr><w:ilvl w:val="0"/><w:numId w:val="1"/></w:numPr></w:pPr>)" + run("List item " + std::to_string(k)) + "</w:p>";
        if (page % 5 == 0) {
            body += "<w:tbl>";
            for (int r = 0; r < 4; ++r) {
                body += "<w:tr>";
                for (int c = 0; c < 3; ++c) body += "<w:tc><w:p>" + run("cell " + std::to_string(r) + "." + std::to_string(c)) + "</w:p></w:tc>";
                body += "</w:tr>";
            }
            body += "</w:tbl>";
        }
        if (page % 10 == 0)
            body += R"(<w:p><w:r><w:drawing><wp:inline><wp:extent cx="2540000" cy="1270000"/><wp:docPr id="1" name="p" descr="A picture"/>)"
                    R"(<a:blip r:embed="rId1"/></wp:inline></w:drawing></w:r></w:p>)";
    }
    ZipTest::Archive archive;
    archive.add("word/document.xml", std::string("<w:document ") + namespaces + "><w:body>" + body + "</w:body></w:document>", true);
    archive.add("word/styles.xml", std::string("<w:styles ") + namespaces +
                                       R"(><w:style w:type="paragraph" w:styleId="Heading1"><w:name w:val="heading 1"/></w:style></w:styles>)", true);
    archive.add("word/numbering.xml", std::string("<w:numbering ") + namespaces +
                                          R"(><w:abstractNum w:abstractNumId="0"><w:lvl w:ilvl="0"><w:numFmt w:val="decimal"/><w:lvlText w:val="%1."/></w:lvl></w:abstractNum>)"
                                          R"(<w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num></w:numbering>)", true);
    archive.add("word/_rels/document.xml.rels",
                R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Target="media/image1.png"/></Relationships>)", true);
    Platform::Bitmap bitmap{200, 100, std::vector<std::uint32_t>(200 * 100, 0xFF4477AAu)};
    ZipTest::File picture;
    picture.name = ZipTest::bytes("word/media/image1.png");
    picture.data = *Platform::pngData(bitmap);
    archive.files.push_back(std::move(picture));
    return archive.build();
}

// What any reader of the file pays: its main part unzipped and parsed.
void unzipAndParse(const std::vector<std::uint8_t>& bytes)
{
    const auto part = FolmiraKit::ZipReader::read("word/document.xml", bytes);
    const auto tree = Platform::Xml::Document::parse(*part);
    benchmark::DoNotOptimize(tree->root());
}

void readDocx(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    const auto bytes = document(static_cast<int>(state.range(0)));
    double readSeconds = 0, floorSeconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto doc = FolmiraKit::Folmira::readBytes(bytes, "docx", "Bench", std::nullopt, false);
        benchmark::DoNotOptimize(doc.blocks.data());
        const auto read = Clock::now();
        unzipAndParse(bytes);
        readSeconds += std::chrono::duration<double>(read - start).count();
        floorSeconds += std::chrono::duration<double>(Clock::now() - read).count();
        state.SetIterationTime(std::chrono::duration<double>(read - start).count());
    }
    state.SetComplexityN(state.range(0));
    state.counters["pages"] = static_cast<double>(state.range(0));
    state.counters["x_floor"] = floorSeconds > 0 ? readSeconds / floorSeconds : 0;
}

// Every word holds characters XML forbids, which are replaced before parsing,
// timed beside the same text with U+FFFD written in their place
// ("x_written_as_fffd"): the replacing pass should cost little.
void readDocxWithForbiddenCharacters(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    const auto forbidden = document(static_cast<int>(state.range(0)), Words::forbidden);
    const auto replaced = document(static_cast<int>(state.range(0)), Words::replaced);
    double forbiddenSeconds = 0, replacedSeconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto doc = FolmiraKit::Folmira::readBytes(forbidden, "docx", "Bench", std::nullopt, false);
        benchmark::DoNotOptimize(doc.blocks.data());
        const auto read = Clock::now();
        auto same = FolmiraKit::Folmira::readBytes(replaced, "docx", "Bench", std::nullopt, false);
        benchmark::DoNotOptimize(same.blocks.data());
        forbiddenSeconds += std::chrono::duration<double>(read - start).count();
        replacedSeconds += std::chrono::duration<double>(Clock::now() - read).count();
        state.SetIterationTime(std::chrono::duration<double>(read - start).count());
    }
    state.counters["pages"] = static_cast<double>(state.range(0));
    state.counters["x_written_as_fffd"] = replacedSeconds > 0 ? forbiddenSeconds / replacedSeconds : 0;
}

void readAndRenderDocx(benchmark::State& state)
{
    const auto bytes = document(static_cast<int>(state.range(0)));
    int pages = 0;
    for (auto _ : state) {
        auto doc = FolmiraKit::Folmira::readBytes(bytes, "docx", "Bench", std::nullopt, false);
        auto result = FolmiraKit::Folmira::render(doc, FolmiraKit::LargePrintSettings{});
        pages = result.pageCount;
        benchmark::DoNotOptimize(result.pdf.data());
    }
    state.SetComplexityN(state.range(0));
    state.counters["large-print pages"] = pages;
}

} // namespace

BENCHMARK(readAndRenderDocx)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(readDocx)->UseManualTime()->Arg(25)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(readDocxWithForbiddenCharacters)->UseManualTime()->Arg(200)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
