#include "Platform/Fonts.h"
#include "Platform/PdfDocument.h"
#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Render/Renderer.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <random>
#include <thread>

using namespace TunequillKit;

namespace {

struct BrandGuard {
    std::string saved = KitBrand::name;
    ~BrandGuard() { KitBrand::name = saved; }
};

std::vector<PreparedSong> songs(std::initializer_list<const char*> sources)
{
    std::vector<PreparedSong> out;
    for (const char* s : sources)
        out.emplace_back(ChordProParser::parse(s), 0, std::nullopt, Accidentals::automatic, false);
    return out;
}

BookLayout lay(const BookSettings& settings, const std::vector<PreparedSong>& list)
{
    return BookLayouter(settings, systemMeasurer(), "Camp", "").layout(list);
}

Platform::PdfDocument open(const Platform::Bytes& pdf)
{
    auto opened = Platform::PdfDocument::open(pdf);
    if (!opened.document) throw std::runtime_error("not a PDF");
    return *opened.document;
}

// Every stream of the PDF, decoded, one after the other.
std::string allStreams(const Platform::Bytes& pdf)
{
    QPDF q;
    q.processMemoryFile("t.pdf", reinterpret_cast<const char*>(pdf.data()), pdf.size());
    std::string out;
    for (QPDFObjectHandle& o : q.getAllObjects())
        if (o.isStream()) {
            try {
                auto data = o.getStreamData(qpdf_dl_generalized);
                out.append(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
            } catch (const std::exception&) {
            }
        }
    return out;
}

std::string info(const Platform::Bytes& pdf, const char* key)
{
    QPDF q;
    q.processMemoryFile("t.pdf", reinterpret_cast<const char*>(pdf.data()), pdf.size());
    return q.getTrailer().getKey("/Info").getKey(key).getUTF8Value();
}

// The box of the first character of `needle` on the page, or none.
std::optional<Platform::Rect> boxOf(const Platform::PdfPage& page, const std::string& needle)
{
    Platform::PdfPageText text = page.text();
    std::size_t at = text.text.find(needle);
    if (at == std::string::npos) return std::nullopt;
    int scalar = Platform::Text::characterCount(std::string_view(text.text).substr(0, at));
    return text.boxes.at(static_cast<std::size_t>(scalar));
}

const char* const hymn = "{title: Hymn}\n{key: G}\n{define: G base-fret 3 frets 3 2 0 0 0 3}\n"
                         "{define: D base-fret 1 frets x x 0 2 3 5}\n[G]Sing a [D]song\n{soc}\n[G]Chorus line\n{eoc}";

} // namespace

TEST(Renderer, OnePdfPagePerLaidPageWithTitleAndCreator)
{
    BrandGuard guard;
    KitBrand::name = "Folmira";
    BookSettings settings;
    BookLayout layout = lay(settings, songs({hymn, "{title: Two}\nla", "{title: Three}\nlo"}));
    Platform::Bytes pdf = Renderer::pdf(layout, settings, "Camp songs");
    Platform::PdfDocument doc = open(pdf);
    ASSERT_EQ(doc.pageCount(), static_cast<int>(layout.pages.size()));
    EXPECT_EQ(doc.page(0)->mediaBox(), (Platform::Rect{0, 0, 612, 792}));
    EXPECT_EQ(info(pdf, "/Title"), "Camp songs");
    EXPECT_EQ(info(pdf, "/Creator"), "Folmira");
    // The faces are embedded.
    std::string raw(pdf.begin(), pdf.end());
    EXPECT_NE(raw.find("/FontFile2"), std::string::npos);

    // The song page holds the song's words and the diagram's fret label.
    int songPage = layout.songStartPages[0] - 1;
    std::string text = doc.page(songPage)->text().text;
    EXPECT_NE(text.find("Sing a"), std::string::npos);
    EXPECT_NE(text.find("3fr"), std::string::npos);
}

TEST(Renderer, ASerifBookIsSetInASerifFace)
{
    // The PDF's font names, as pdffonts lists them, for each typeface.
    auto fontsOf = [](Typeface typeface) {
        BookSettings settings;
        settings.typeface = typeface;
        Platform::PdfDocument doc = open(Renderer::pdf(lay(settings, songs({hymn})), settings, "t"));
        std::string names;
        for (int i = 0; i < doc.pageCount(); ++i)
            for (const auto& span : doc.page(i)->text().fonts) names += span.name + " ";
        return names;
    };
    const std::string serifFace = Platform::Fonts::generic(Platform::Fonts::Generic::serif, 12, false, false).postScriptName;
    const std::string serif = fontsOf(Typeface::serif);
    const std::string sans = fontsOf(Typeface::sans);
    EXPECT_NE(serif.find(serifFace), std::string::npos) << serif;
    EXPECT_EQ(sans.find(serifFace), std::string::npos) << sans;
}

TEST(Renderer, PageNumbersSitInTheBottomMargin)
{
    BookSettings settings;
    settings.margin = 60;
    settings.setListPage = true;
    settings.tableOfContents = false;
    settings.index = false;
    BookLayout layout = lay(settings, songs({"{title: Alpha}\nla"}));
    ASSERT_EQ(layout.pages.size(), 2u);
    Platform::PdfDocument doc = open(Renderer::pdf(layout, settings, "t"));

    // The set-list page shows no number: nothing in its bottom margin. The song page shows "2".
    for (const auto& box : doc.page(0)->text().boxes)
        if (box) {
            EXPECT_GT(box->minY(), 60);
        }
    Platform::PdfPageText songText = doc.page(1)->text();
    ASSERT_FALSE(songText.text.empty());
    std::optional<Platform::Rect> number = songText.boxes.back();
    EXPECT_EQ(Platform::Text::lastCharacter(songText.text), "2");
    ASSERT_TRUE(number);
    // Baseline at 0.75 × 60 = 45: the digit's box (which takes in the face's
    // descent, under 3 points at 10 points) reaches just below it, centred on the page.
    EXPECT_LT(number->minY(), 45);
    EXPECT_GT(number->minY(), 42);
    EXPECT_GT(number->maxY(), 45 + 6);
    EXPECT_NEAR(number->midX(), 306, 1.0);
    ASSERT_FALSE(songText.fonts.empty());
    EXPECT_NEAR(songText.fonts.back().size, 10, 0.01);

    settings.pageNumbers = false;
    Platform::PdfDocument plain = open(Renderer::pdf(lay(settings, songs({"{title: Alpha}\nla"})), settings, "t"));
    EXPECT_NE(Platform::Text::lastCharacter(plain.page(1)->text().text), "2");
}

TEST(Renderer, RunsSitAtTheirLayoutPositions)
{
    BookSettings settings;
    settings.tableOfContents = false;
    settings.index = false;
    BookLayout layout = lay(settings, songs({"{title: Placed}\nWords here"}));
    const PlacedRow* words = nullptr;
    for (const PlacedRow& r : layout.pages[0].rows)
        if (r.row.text() == "Words here") words = &r;
    ASSERT_TRUE(words);
    Platform::PdfDocument doc = open(Renderer::pdf(layout, settings, "t"));
    std::optional<Platform::Rect> w = boxOf(*doc.page(0), "Words");
    ASSERT_TRUE(w);
    EXPECT_NEAR(w->minX(), words->origin.x + words->row.runs[0].x, 1.5);
    // The baseline lies between the glyph box's bottom and top, near the bottom.
    const double baseline = 792 - (words->origin.y + words->row.runs[0].baseline);
    EXPECT_LT(w->minY(), baseline + 0.5);
    EXPECT_GT(w->maxY(), baseline + 8);
}

TEST(Renderer, PalettesFollowTheChordColourSetting)
{
    Renderer::Palette colour;
    Renderer::Palette mono = Renderer::Palette::mono();
    EXPECT_EQ(mono.chord, colour.text);
    EXPECT_EQ(mono.accent, (Platform::Color{0.20, 0.20, 0.22}));
    EXPECT_EQ(mono.muted, colour.muted);
    EXPECT_EQ(mono.rule, colour.rule);

    BookSettings settings;
    settings.tableOfContents = false;
    settings.index = false;
    Platform::Bytes inColour = Renderer::pdf(lay(settings, songs({hymn})), settings, "t");
    settings.chordsInColor = false;
    Platform::Bytes plain = Renderer::pdf(lay(settings, songs({hymn})), settings, "t");
    EXPECT_NE(allStreams(inColour).find("0.62 0.11 0.17 rg"), std::string::npos);
    EXPECT_EQ(allStreams(plain).find("0.62 0.11 0.17 rg"), std::string::npos);
    EXPECT_NE(allStreams(plain).find("0.2 0.2 0.22 RG"), std::string::npos); // the chorus bar
}

TEST(Renderer, LeaderDotsLineUp)
{
    struct Case {
        Mark::Leader leader;
        std::vector<double> dots;
    };
    const Case cases[] = {
        {{10, 18, 0, 10}, {}},           // 8 apart: nothing
        {{10, 18.5, 0, 10}, {10, 15}},   // from the first multiple of the step at or after x1
        {{11, 30, 0, 10}, {15, 20, 25}}, // step max(5, 4.5) = 5
        {{0, 40, 0, 20}, {0, 9, 18, 27, 36}},
        {{30, 20, 0, 10}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Renderer::leaderDots(c.leader), c.dots) << c.leader.x1 << "…" << c.leader.x2;
    EXPECT_LE(Renderer::leaderDots({0, 1e12, 0, 10}).size(), 5000u);
}

TEST(Renderer, EmptyLayoutGivesAPdfWithoutPages)
{
    BrandGuard guard;
    KitBrand::name = "Folmira";
    Platform::Bytes pdf = Renderer::pdf(BookLayout{{612, 792}, {}, {}, {}, {}, {}}, BookSettings(), "Nothing");
    ASSERT_FALSE(pdf.empty());
    auto opened = Platform::PdfDocument::open(pdf);
    ASSERT_TRUE(opened.document);
    EXPECT_EQ(opened.document->pageCount(), 0);
    EXPECT_EQ(info(pdf, "/Title"), "Nothing");
    EXPECT_EQ(info(pdf, "/Creator"), "Folmira");
}

TEST(Renderer, ChordDiagramMarkers)
{
    // Counts the fill operators of a page holding one diagram: one per dot.
    auto fills = [](ChordDefinition def) {
        Row row{100, {}, {Mark::diagram(std::move(def), {0, 0}, 50, 14)}, 0};
        LaidPage page{1, PageKind::song, {PlacedRow{row, {40, 40}, 0, 0}}, {}, {0}, false};
        BookSettings settings;
        std::string content = allStreams(Renderer::pdf(BookLayout{{612, 792}, {page}, {1}, {}, {}, {}}, settings, "d"));
        int count = 0;
        for (std::size_t at = content.find(" f\n"); at != std::string::npos; at = content.find(" f\n", at + 1)) ++count;
        return count;
    };
    EXPECT_EQ(fills({"C", 1, {std::nullopt, 3, 2, 0, 1, 0}, {}}), 3);
    EXPECT_EQ(fills({"X", 1, {1, 5, 9, -1, 4}, {}}), 2); // frets beyond 4 (or below 0) get no dot
    EXPECT_EQ(fills({"", 1, {2}, {}}), 1);              // one string: a two-string grid, its dot drawn

    Row row{100, {}, {Mark::diagram({"Bm", 3, {1, 3, 3, 2, 1, 1}, {}}, {0, 0}, 50, 14)}, 0};
    LaidPage page{1, PageKind::song, {PlacedRow{row, {40, 40}, 0, 0}}, {}, {0}, false};
    Platform::PdfDocument doc = open(Renderer::pdf(BookLayout{{612, 792}, {page}, {1}, {}, {}, {}}, BookSettings(), "d"));
    std::string text = doc.page(0)->text().text;
    EXPECT_NE(text.find("Bm"), std::string::npos);
    EXPECT_NE(text.find("3fr"), std::string::npos);
}

TEST(Renderer, HostileSizesNeitherHangNorSpoilLaterPdfs)
{
    // Sizes no page can hold: Cairo would loop on an infinite circle, and a
    // face drawn that large broke every PDF made after it.
    const std::vector<PreparedSong> list = songs({hymn});
    auto pageCount = [](const Platform::Bytes& pdf) {
        auto opened = Platform::PdfDocument::open(pdf);
        return opened.document ? opened.document->pageCount() : -1;
    };
    for (double size : {1e5, std::numeric_limits<double>::infinity()}) {
        BookSettings huge;
        huge.fontSize = size;
        BookLayout layout = lay(huge, list);
        EXPECT_EQ(pageCount(Renderer::pdf(layout, huge, "Huge")), static_cast<int>(layout.pages.size())) << size;
    }
    BookSettings plain;
    BookLayout layout = lay(plain, list);
    Platform::Bytes pdf = Renderer::pdf(layout, plain, "Plain");
    ASSERT_EQ(pageCount(pdf), static_cast<int>(layout.pages.size()));
    EXPECT_NE(open(pdf).page(1)->text().text.find("Sing a"), std::string::npos);
}

// A file name for a title, an address in a comment, a long lyric word: each
// breaks over lines inside the margins instead of running off the page, and
// none of its letters is lost.
TEST(Renderer, WordsWiderThanTheColumnStayInsideTheMargins)
{
    const std::string title = "Songbook_Export_From_The_Office_Computer_2019_final_final_version.chopro";
    const std::string subtitle = "Arranged_for_the_Saturday_morning_singers_by_the_music_committee";
    const std::string address = "https://example.org/songs/public-domain/collections/amazing-grace/verse-four.html";
    const std::string word = "Hallelujahallelujahallelujahallelujahallelujahallelujah";
    const std::string source = "{title: " + title + "}\n{subtitle: " + subtitle + "}\n{c: " + address +
                               "}\n[G]Sing " + word + " now\n{soc}\nAnd " + word + "\n{eoc}\n";
    BookSettings settings;
    settings.fontSize = 24;
    const BookLayout layout = lay(settings, songs({source.c_str()}));
    const Platform::PdfDocument pdf = open(Renderer::pdf(layout, settings, "Camp"));
    std::string all;
    for (int index = 0; index < pdf.pageCount(); ++index) {
        const auto page = pdf.page(index);
        ASSERT_TRUE(page);
        const double right = page->mediaBox().width - settings.margin;
        const Platform::PdfPageText text = page->text();
        const auto characters = Platform::Text::scalars(text.text);
        for (std::size_t i = 0; i < text.boxes.size(); ++i) {
            if (!text.boxes[i]) continue;
            EXPECT_LE(text.boxes[i]->x + text.boxes[i]->width, right + 0.5)
                << "page " << index + 1 << ", character " << Platform::Text::fromScalars({&characters[i], 1});
        }
        for (char c : text.text)
            if (c != ' ' && c != '\n') all += c;
    }
    for (const std::string& expected : {title, subtitle, address, word + "now", "And" + word})
        EXPECT_NE(all.find(expected), std::string::npos) << expected;
}

TEST(RendererBadText, ANoncharacterInASongStillGivesTheBook)
{
    BookSettings settings;
    // U+FDD0 and U+FFFF in a title, a lyric and a chord.
    auto list = songs({"{title: Bad \xEF\xB7\x90 song}\n[G\xEF\xBF\xBF]Sing \xEF\xBF\xBF along\n",
                       "{title: Good song}\nLa la\n"});
    Platform::Bytes pdf = Renderer::pdf(lay(settings, list), settings, "Camp \xEF\xBF\xBE");
    auto document = open(pdf);
    std::string text;
    for (int i = 0; i < document.pageCount(); ++i)
        if (auto page = document.page(i)) text += page->text().text;
    EXPECT_NE(text.find("along"), std::string::npos) << text;
    EXPECT_NE(text.find("Good song"), std::string::npos) << text;
}

TEST(RendererBadText, AWriterThatFailsThrowsItsReason)
{
    BookSettings settings;
    Platform::PdfWriter::ForcedFailure forced("out of memory");
    try {
        Renderer::pdf(lay(settings, songs({"{title: One}\nLa\n"})), settings, "Camp");
        ADD_FAILURE() << "no failure";
    } catch (const Renderer::PdfFailure& failure) {
        EXPECT_STREQ(failure.what(), "The songbook’s PDF could not be written (out of memory).");
    }
}

TEST(RendererBadText, SongsOfManyScriptsAndStrayBytesSetOnSeveralThreadsAtOnceAlike)
{
    // Lyrics of twelve scripts, or of bytes of any kind, need many font
    // files at once; four books laid out and drawn at the same time, round
    // after round, each give the PDF they give alone.
    static const char* const words[] = {
        "привет", "שלום", "مرحبا", "नमस्ते", "สวัสดี", "你好", "안녕하세요", "😀", "👍🏽", "γειά", "გამარჯობა", "ሰላም", "བཀྲ་ཤིས་"};
    std::vector<std::string> sources;
    for (unsigned book = 0; book < 4; ++book) {
        std::mt19937 engine(book);
        std::string source = "{title: Book " + std::to_string(book) + "}\n";
        for (int line = 0; line < 200; ++line) {
            for (int word = 0; word < 6; ++word) {
                source += "[C]";
                for (int byte = 0; book % 2 && byte < 6; ++byte)
                    if (char c = static_cast<char>(engine()); c != '\0' && c != '\n' && c != '{' && c != '[') source += c;
                if (book % 2 == 0) source += words[engine() % std::size(words)];
                source += ' ';
            }
            source += line % 8 == 7 ? "\n\n" : "\n";
        }
        sources.push_back(std::move(source));
    }
    auto made = [](const std::string& source) {
        BookSettings settings;
        Platform::Bytes pdf = Renderer::pdf(lay(settings, songs({source.c_str()})), settings, "Camp");
        std::string bytes(pdf.begin(), pdf.end());
        if (auto at = bytes.find("/CreationDate ("); at != std::string::npos) bytes.erase(at, bytes.find(')', at) - at);
        return bytes;
    };
    std::vector<std::vector<std::string>> rounds(6, std::vector<std::string>(sources.size()));
    for (auto& together : rounds) {
        std::vector<std::thread> books;
        for (std::size_t i = 0; i < sources.size(); ++i) books.emplace_back([&, i] { together[i] = made(sources[i]); });
        for (std::thread& book : books) book.join();
    }
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::string alone = made(sources[i]);
        EXPECT_GT(alone.size(), 10'000u);
        for (const auto& together : rounds) EXPECT_TRUE(together[i] == alone) << "book " << i << ": the PDFs differ";
    }
}
