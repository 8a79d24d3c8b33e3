#include "FolmiraKit/PDF/PageReading.h"

#include "FolmiraKit/PDF/Limits.h"
#include "FolmiraKit/PDF/PictureScan.h"
#include "Platform/PdfContentCost.h"

#include "Platform/Text.h"

#include <array>
#include <cmath>

namespace FolmiraKit::PDFReader {

using Platform::Bytes;
using Platform::WireReader;
using Platform::WireWriter;

namespace {

// What a reply takes in this process once decoded, counted before each part
// is made: a reply whose decoding would take more than `bytes` is damaged,
// however few bytes it came in (an empty line of 42 bytes decodes to 144).
class Footprint {
public:
    explicit Footprint(std::size_t bytes) : left_(bytes) {}
    void take(std::size_t count, std::size_t each)
    {
        if (each != 0 && count > left_ / each) throw WireReader::Short();
        left_ -= count * each;
    }
    std::size_t left() const { return left_; }

private:
    std::size_t left_;
};

PageText textOf(const Platform::PdfPageText& text, const Rect& mediaBox)
{
    PageText read;
    read.words = pageWords(text, mediaBox);
    read.lines = read.words.untrusted ? linesFromText(text, mediaBox)
                                      : linesFromWords(read.words.words, &read.placesInLines);
    return read;
}

// The page whose text and pictures are read: the page itself, or, when only
// its drawing is past the bounds of reading, a copy of it without the
// drawing. None when it is too large to read. `unknown` tells whether its
// cost could not be told (qpdf can't read the page or decode its content).
std::optional<Platform::PdfPage> pageToRead(const Platform::PdfPage& page, bool& unknown)
{
    constexpr Platform::PdfContent::TextCost limits{PDFLimits::textContentBytes, PDFLimits::textOperators,
                                                    PDFLimits::shownTextBytes, PDFLimits::textFormUses,
                                                    PDFLimits::graphicsStates, PDFLimits::textTokens};
    // The counter only filters out what it measured past a bound; where it
    // can't tell, the worker's limits on Poppler's own work decide.
    const Platform::PdfContent::TextCost cost = Platform::PdfContent::measureText(page, limits, Platform::PdfContent::Counting::whereCostly);
    unknown = !cost.unknown.empty();
    if (cost.past(limits)) return std::nullopt;
    if (!cost.drawingTooLarge(limits)) return page;
    auto alone = Platform::PdfContent::withoutDrawing(page, PDFLimits::textContentBytes);
    auto opened = alone ? Platform::PdfDocument::open(*alone) : Platform::PdfDocument::Opened{};
    return opened.document ? opened.document->page(0) : std::nullopt;
}

// A reply is read as untrusted input: a number that is not finite, or past
// any page's size, or text that is not UTF-8, makes it damaged.
double sane(double v)
{
    if (!std::isfinite(v) || std::fabs(v) > 1e15) throw WireReader::Short();
    return v;
}

Rect saneRect(WireReader& in)
{
    Rect r = in.rect();
    sane(r.x);
    sane(r.y);
    if (sane(r.width) < 0 || sane(r.height) < 0) throw WireReader::Short();
    return r;
}

std::string saneText(WireReader& in, Footprint& footprint)
{
    std::string text = in.string();
    footprint.take(text.size(), 1);
    if (text.empty() || !Platform::Text::isUtf8(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))
        throw WireReader::Short();
    return text;
}

void write(WireWriter& out, const std::vector<Rect>& rects)
{
    out.u64(rects.size());
    for (const Rect& r : rects) out.rect(r);
}

std::vector<Rect> readRects(WireReader& in, std::size_t most, Footprint& footprint)
{
    const std::size_t count = in.count(32);
    if (count > most) throw WireReader::Short();
    footprint.take(count, sizeof(Rect));
    std::vector<Rect> rects(count);
    for (Rect& r : rects) r = saneRect(in);
    return rects;
}

void write(WireWriter& out, const Word& w)
{
    out.string(w.text);
    out.rect(w.rect);
    out.f64(w.size);
    out.boolean(w.bold);
    out.boolean(w.italic);
}

Word readWord(WireReader& in, Footprint& footprint)
{
    Word w;
    w.text = saneText(in, footprint);
    w.rect = saneRect(in);
    w.size = sane(in.f64());
    if (w.size < 0) throw WireReader::Short();
    w.bold = in.boolean();
    w.italic = in.boolean();
    return w;
}

void write(WireWriter& out, const std::vector<Word>& words)
{
    out.u64(words.size());
    for (const Word& w : words) write(out, w);
}

std::vector<Word> readWords(WireReader& in, Footprint& footprint)
{
    const std::size_t count = in.count(8 + 32 + 8 + 2);
    footprint.take(count, sizeof(Word));
    std::vector<Word> words(count);
    for (Word& w : words) w = readWord(in, footprint);
    return words;
}

void write(WireWriter& out, const Line& line)
{
    write(out, line.words);
    out.rect(line.rect);
    out.boolean(line.picture.has_value());
    if (line.picture) {
        out.blob(*line.picture->data.bytes());
        out.f64(line.picture->width);
        out.f64(line.picture->height);
        out.string(line.picture->alt);
    }
    out.boolean(line.hardBreak);
}

// A page's line as the worker reads it: words, never a picture (its
// pictures come as regions, rendered later).
Line readLine(WireReader& in, Footprint& footprint)
{
    Line line;
    line.words = readWords(in, footprint);
    line.rect = saneRect(in);
    if (line.words.empty() || in.boolean()) throw WireReader::Short();
    line.hardBreak = in.boolean();
    return line;
}

// A trusted page's words in the order of its text, copied from its lines:
// `places` holds each word's place among the lines' words, each place once.
std::vector<Word> wordsInPlaces(const Lines& lines, const std::vector<std::uint32_t>& places, Footprint& footprint)
{
    std::vector<const Word*> inLines;
    inLines.reserve(places.size());
    for (const Line& line : lines)
        for (const Word& w : line.words) inLines.push_back(&w);
    // As many places as words in the lines is left to lawful().
    footprint.take(places.size(), sizeof(Word));
    std::vector<Word> words;
    words.reserve(places.size());
    std::vector<bool> taken(inLines.size(), false);
    for (std::uint32_t place : places) {
        if (place >= inLines.size() || taken[place]) throw WireReader::Short();
        taken[place] = true;
        footprint.take(inLines[place]->text.size(), 1);
        words.push_back(*inLines[place]);
    }
    return words;
}

// What no worker sends, whatever the page: content with a page not fetched
// or too large to read; on a trusted page, lines that are not its words;
// picture regions without the rectangles they were cut from, or these
// without those.
bool lawful(const PageReading& reading)
{
    const PageText& text = reading.text;
    const bool content = !text.words.words.empty() || !text.lines.empty() || !reading.pictures.empty() ||
                         !reading.drawn.empty();
    if ((!reading.fetched || text.tooLarge) && (content || text.words.untrusted)) return false;
    if (!reading.fetched && text.tooLarge) return false;
    if (reading.pictures.empty() != reading.drawn.empty()) return false;
    if (text.words.untrusted) return true;
    std::size_t inLines = 0;
    for (const Line& line : text.lines) inLines += line.words.size();
    return inLines == text.words.words.size();
}

Bytes handleOpen(const Platform::PdfDocument::Opened& opened, WireReader&)
{
    return encode(openingOf(opened));
}

Bytes handleReadPage(const Platform::PdfDocument::Opened& opened, WireReader& request)
{
    int index = request.i32();
    return encode(opened.document ? readPage(*opened.document, index) : PageReading{});
}

Bytes handleRenderRegions(const Platform::PdfDocument::Opened& opened, WireReader& request)
{
    int index = request.i32();
    Footprint footprint(PDFLimits::renders * sizeof(Rect));
    std::vector<Rect> regions = readRects(request, PDFLimits::renders, footprint);
    if (!opened.document) return encode(std::vector<std::optional<Bytes>>(regions.size()));
    return encode(renderRegions(*opened.document, index, regions));
}

constexpr std::array<Platform::PdfWorkerRequest, 3> requests{{
    {static_cast<std::uint8_t>(WorkerRequest::open), handleOpen},
    {static_cast<std::uint8_t>(WorkerRequest::readPage), handleReadPage},
    {static_cast<std::uint8_t>(WorkerRequest::renderRegions), handleRenderRegions},
}};

} // namespace

DocumentOpening openingOf(const Platform::PdfDocument::Opened& opened)
{
    DocumentOpening opening;
    if (!opened.document) {
        bool locked = opened.failure == Platform::PdfDocument::OpenFailure::locked;
        opening.state = locked ? DocumentOpening::State::locked : DocumentOpening::State::damaged;
        return opening;
    }
    const Platform::PdfDocument& document = *opened.document;
    opening.state = DocumentOpening::State::opened;
    opening.allowsCopying = document.allowsCopying();
    int pages = std::max(0, document.pageCount());
    if (static_cast<std::size_t>(pages) > PDFLimits::documentPages) {
        opening.state = DocumentOpening::State::tooLarge;
        return opening;
    }
    opening.cropBoxes.reserve(static_cast<std::size_t>(pages));
    for (int i = 0; i < pages; ++i) {
        auto page = document.page(i);
        opening.cropBoxes.push_back(page ? std::optional<Rect>(page->cropBox()) : std::nullopt);
    }
    return opening;
}

PageReading readPage(const Platform::PdfDocument& document, int index)
{
    PageReading reading;
    auto page = document.page(index);
    if (!page) return reading;
    reading.fetched = true;
    bool unknown = false;
    auto read = pageToRead(*page, unknown);
    if (!read) {
        reading.text.tooLarge = true;
        return reading;
    }
    Platform::PdfPageText text = read->text();
    reading.quarterTurns = text.quarterTurns;
    reading.text = textOf(text, Platform::turnedRect(page->mediaBox(), read->cropBox(), text.quarterTurns));
    // Where the page draws its pictures; rendering them draws the page itself.
    std::vector<Rect> drawn = PictureScan::scanPage(*read);
    reading.pictures = PictureScan::regions(drawn, page->cropBox());
    if (!reading.pictures.empty()) reading.drawn = std::move(drawn);
    // A page whose content can't be read, or was mended (a stream cut short,
    // content named that isn't there, a page tree's kid that is no page), on
    // which nothing was found, is damaged, not blank: it counts as a page
    // that could not be fetched.
    if (unknown && reading.text.lines.empty() && reading.pictures.empty()) reading = PageReading{};
    return reading;
}

std::vector<std::optional<Bytes>> renderRegions(const Platform::PdfDocument& document, int index,
                                                const std::vector<Rect>& regions)
{
    std::vector<std::optional<Bytes>> rendered(regions.size());
    auto page = document.page(index);
    if (!page) return rendered;
    return PictureScan::cutRegions(*page, regions);
}

Bytes encode(const DocumentOpening& opening)
{
    WireWriter out;
    out.u8(static_cast<std::uint8_t>(opening.state));
    out.boolean(opening.allowsCopying);
    out.u64(opening.cropBoxes.size());
    for (const auto& box : opening.cropBoxes) {
        out.boolean(box.has_value());
        out.rect(box.value_or(Rect{}));
    }
    return out.take();
}

DocumentOpening decodeOpening(const Bytes& data)
{
    WireReader in(data);
    DocumentOpening opening;
    std::uint8_t state = in.u8();
    if (state > static_cast<std::uint8_t>(DocumentOpening::State::tooLarge)) throw WireReader::Short();
    opening.state = static_cast<DocumentOpening::State>(state);
    opening.allowsCopying = in.boolean();
    const std::size_t pages = in.count(33);
    // More pages than any document read: refused before anything is held for them.
    if (pages > PDFLimits::documentPages) return DocumentOpening{DocumentOpening::State::tooLarge, false, {}};
    // Only an opened document has pages.
    if (pages != 0 && opening.state != DocumentOpening::State::opened) throw WireReader::Short();
    opening.cropBoxes.resize(pages);
    for (auto& box : opening.cropBoxes) {
        bool has = in.boolean();
        Rect r = in.rect();
        // A box no page can have: that page is not read.
        bool finite = std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height);
        if (has && finite && r.width >= 0 && r.height >= 0) box = r;
    }
    if (!in.atEnd()) throw WireReader::Short();
    return opening;
}

Bytes encode(const PageReading& reading)
{
    WireWriter out;
    out.boolean(reading.fetched);
    const PageText& text = reading.text;
    out.boolean(text.words.untrusted);
    // A trusted page's words are its lines' words: where their places there
    // are known, they go once, in their lines, and each its place besides.
    const bool placed = !text.words.untrusted && !text.placesInLines.empty() &&
                        text.placesInLines.size() == text.words.words.size();
    out.boolean(placed);
    if (placed) {
        out.u64(text.placesInLines.size());
        for (std::uint32_t place : text.placesInLines) out.u32(place);
    } else {
        write(out, text.words.words);
    }
    out.u64(text.lines.size());
    for (const Line& line : text.lines) write(out, line);
    out.boolean(text.tooLarge);
    write(out, reading.pictures);
    write(out, reading.drawn);
    out.u8(static_cast<std::uint8_t>(reading.quarterTurns));
    return out.take();
}

PageReading decodePageReading(const Bytes& data, HeldReadings* held)
{
    WireReader in(data);
    Footprint footprint(PDFLimits::readingBytes);
    PageReading reading;
    reading.fetched = in.boolean();
    PageText& text = reading.text;
    text.words.untrusted = in.boolean();
    const bool placed = in.boolean();
    std::vector<std::uint32_t> places;
    if (placed) {
        if (text.words.untrusted) throw WireReader::Short();
        places.resize(in.count(4));
        for (std::uint32_t& place : places) place = in.u32();
    } else {
        text.words.words = readWords(in, footprint);
    }
    const std::size_t lines = in.count(8 + 32 + 2);
    footprint.take(lines, sizeof(Line));
    text.lines.resize(lines);
    for (Line& line : text.lines) line = readLine(in, footprint);
    if (placed) text.words.words = wordsInPlaces(text.lines, places, footprint);
    text.tooLarge = in.boolean();
    reading.pictures = readRects(in, PDFLimits::renders, footprint);
    reading.drawn = readRects(in, PDFLimits::pictureRectangles, footprint);
    reading.quarterTurns = in.u8();
    if (reading.quarterTurns > 3 || !in.atEnd() || !lawful(reading)) throw WireReader::Short();
    if (held && !held->take(PDFLimits::readingBytes - footprint.left())) {
        PageReading left;
        left.fetched = true;
        left.text.tooLarge = true;
        return left;
    }
    return reading;
}

HeldReadings::HeldReadings(std::size_t bytes) : left_(bytes) {}

bool HeldReadings::take(std::size_t bytes)
{
    std::size_t left = left_.load();
    do {
        if (bytes > left) return false;
    } while (!left_.compare_exchange_weak(left, left - bytes));
    return true;
}

Bytes encodeRegionsRequest(int index, const std::vector<Rect>& regions)
{
    WireWriter out;
    out.i32(index);
    write(out, regions);
    return out.take();
}

Bytes encode(const std::vector<std::optional<Bytes>>& rendered)
{
    WireWriter out;
    out.u64(rendered.size());
    for (const auto& png : rendered) {
        out.boolean(png.has_value());
        if (png) out.blob(*png);
    }
    return out.take();
}

std::vector<std::optional<Bytes>> decodeRendered(const Bytes& data)
{
    WireReader in(data);
    std::vector<std::optional<Bytes>> rendered(in.count(1));
    for (auto& png : rendered)
        if (in.boolean()) png = in.blob();
    if (!in.atEnd()) throw WireReader::Short();
    return rendered;
}

std::span<const Platform::PdfWorkerRequest> workerRequests() { return requests; }

} // namespace FolmiraKit::PDFReader
