// The reader runs in two passes. The first reads every page's words, lines
// and pictures and decides which pages are scans; it must be complete before
// the refusals and before repeated header and footer lines are removed, which
// compares lines across all pages. Each page is cut down as it arrives, on the
// thread that read it, to what the rest needs of it: its counts, its lines
// packed (PackedLines), its header and footer band lines' keys and its
// pictures waiting to be rendered; so what the reader holds follows the text
// kept, not what the words took to read. The second pass unpacks one page at
// a time, cuts it into flows and their items, builds paragraphs, and joins a
// paragraph that runs on across a column or page break. Inference then
// decides headings and lists.

#include "FolmiraKit/PDF/PDFReader.h"

#include "FolmiraKit/Model/Cancel.h"
#include "FolmiraKit/PDF/Columns.h"
#include "FolmiraKit/PDF/Limits.h"
#include "FolmiraKit/PDF/LineTools.h"
#include "FolmiraKit/PDF/PackedLines.h"
#include "FolmiraKit/PDF/PageSource.h"
#include "FolmiraKit/PDF/Paragraphs.h"
#include "FolmiraKit/PDF/PictureScan.h"
#include "FolmiraKit/Readers/Inference.h"
#include "Platform/Text.h"

#include <algorithm>
#include <atomic>
#include <map>

#include <malloc.h>

namespace FolmiraKit::PDFReader {

namespace Text = Platform::Text;
using Reason = ConversionError::Reason;

namespace {

const char* scanMessage = "This PDF is a picture of the pages (a scan or a photo), with no text inside for Folmira to "
                          "re-flow. Folmira needs a PDF whose words you can select in a PDF viewer, or the original "
                          "Word or text file.";

const char* damagedMessage = "This PDF couldn’t be opened. It may be damaged.";

bool isOneOf(std::string_view character, std::initializer_list<std::string_view> set)
{
    return std::find(set.begin(), set.end(), character) != set.end();
}

std::string pages(int count)
{
    return count == 1 ? "1 page" : std::to_string(count) + " pages";
}

// "two" to "nine" in words, as a sentence says a small count; larger ones in digits.
std::string numberWord(int n)
{
    static const char* words[] = {"zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine"};
    return n >= 0 && n <= 9 ? words[n] : std::to_string(n);
}

// Documents of this many pages or more have their pages' lines deflated:
// below it, what the lines hold is small beside what reading them takes.
constexpr std::size_t deflatedPages = 1'000;

// What the first pass keeps of one page until the second.
struct KeptPage {
    enum class State : std::uint8_t { unfetched, tooLarge, scan, read };
    State state = State::unfetched;
    bool untrusted = false;
    bool hasText = false;    // a line with words is kept
    long long words = 0;     // counted for the document's word count
    long long unreadable = 0;
    std::optional<long long> characters; // of its lines' texts, for the unreadable test
    PackedLines lines;       // top to bottom, pictures as unrendered picture lines
};

struct FirstPass {
    explicit FirstPass(std::vector<std::optional<Rect>> crops)
        : pages(crops.size()), cropBoxes(std::move(crops)), pictures(pages.size()), drawn(pages.size()),
          bands(pages.size()), held(PDFLimits::heldReadingsFor(pages.size()))
    {
    }
    // Once the pages are made into pieces, what was kept of each goes: a
    // worker that claims many pages costs the app as much again otherwise
    // while inference holds the pieces and the blocks made of them.
    void letPagesGo()
    {
        std::vector<KeptPage>().swap(pages);
        std::vector<std::optional<Rect>>().swap(cropBoxes);
        std::vector<Lines>().swap(pictures);
    }
    std::vector<KeptPage> pages;
    std::vector<std::optional<Rect>> cropBoxes;   // none for a page that could not be fetched
    std::vector<Lines> pictures;                  // each page's picture lines, to be rendered
    std::vector<std::vector<Rect>> drawn;         // image rectangles of the pages with pictures
    std::vector<std::vector<BandLine>> bands;     // for the repeated-lines pass
    HeldReadings held; // counts the packed lines
    // Set once a page holds glyphs no one can read: from then on each page's
    // characters are counted as it arrives, for the unreadable test, which
    // otherwise unpacks the pages again.
    std::atomic<bool> unreadableMet = false;
    // Added up once every page is read.
    long long wordCount = 0;
    long long unreadable = 0;
    std::vector<int> scanPages;     // 1-based
    std::vector<int> tooLargePages; // 1-based: content past the bound, text not read
    int untrustedPages = 0;
};

// "Page 2", "Pages 2, 5" or "Pages 2, 5–9, 12": a run of three pages or more
// as a range, so that a long document's list stays short.
std::string pageNumbers(const std::vector<int>& numbers)
{
    std::string list;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        std::size_t last = i;
        while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1) ++last;
        list += (list.empty() ? "" : ", ") + std::to_string(numbers[i]);
        if (last >= i + 2) {
            list += "–" + std::to_string(numbers[last]);
            i = last;
        }
    }
    return (numbers.size() == 1 ? "Page " : "Pages ") + list;
}

std::string theFile(const std::string& title)
{
    return title.empty() ? "this PDF" : "“" + title + "”";
}

// The text may well be on the pages too large to read, so they, not a missing
// text layer, are the reason; the file itself is sound.
[[noreturn]] void refuseTooLarge(const FirstPass& pass, int pageCount, const std::string& title)
{
    const std::vector<int>& pages = pass.tooLargePages;
    std::string why;
    if (static_cast<int>(pages.size()) == pageCount)
        why = pageCount == 1 ? "its page is too large to read" : "every one of its pages is too large to read";
    else
        why = Text::lowercased(pageNumbers(pages)) + (pages.size() == 1 ? " is" : " are") +
              " too large to read, and the other pages hold no text";
    throw ConversionError(Reason::unsupported, "Folmira can’t read the text of " + theFile(title) + ": " + why +
                                                   ". Try the original Word or text file instead.");
}

// Page `index` cut down to what the first pass keeps of it. Runs on the
// thread that read it, and touches only that page's entries.
void keepPage(PageReading reading, std::size_t index, FirstPass& pass)
{
    KeptPage& kept = pass.pages[index];
    std::optional<Rect>& crop = pass.cropBoxes[index];
    if (!reading.fetched || !crop) {
        crop.reset();
        return;
    }
    if (reading.text.tooLarge) {
        kept.state = KeptPage::State::tooLarge;
        return;
    }
    // Its lines stand in the frame its text reads in: so does its crop box, for the bands.
    crop = Platform::turnedRect(*crop, *crop, reading.quarterTurns);
    PageText& read = reading.text;
    PageWords& found = read.words;
    kept.untrusted = found.untrusted;
    if (found.untrusted) found.words.clear();
    kept.words = static_cast<long long>(found.words.size());
    for (const Word& w : found.words) kept.unreadable += static_cast<long long>(glyphCheck(w.text).size());

    Lines lines = std::move(read.lines);
    if (found.untrusted)
        for (const Line& line : lines) kept.words += static_cast<long long>(line.words.size());

    // Pictures are rendered later, and only those kept (PictureScan::renderPictures).
    const std::vector<Rect>& pictures = reading.pictures;
    if (!found.untrusted && found.words.size() < 5) {
        double pageArea = crop->width * crop->height;
        bool scan = std::any_of(pictures.begin(), pictures.end(),
                                [&](const Rect& r) { return r.width * r.height > 0.3 * pageArea; });
        if (scan) {
            kept.state = KeptPage::State::scan;
            return;
        }
    }
    for (const Rect& picture : pictures) {
        // A picture with text over it is a background: its words are read instead.
        long long covered = std::count_if(found.words.begin(), found.words.end(), [&](const Word& w) {
            return picture.contains({w.rect.midX(), w.rect.midY()});
        });
        if (covered <= 12) lines.push_back(Line{{}, picture, PictureScan::unrendered(picture), false});
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line& a, const Line& b) { return a.rect.maxY() > b.rect.maxY(); });

    kept.lines = PackedLines(lines, pass.pages.size() >= deflatedPages);
    // Past what the document may hold: left out, as a page too large to read is.
    if (!pass.held.take(kept.lines.bytes())) {
        kept = KeptPage{};
        kept.state = KeptPage::State::tooLarge;
        return;
    }
    kept.state = KeptPage::State::read;
    kept.hasText = std::any_of(lines.begin(), lines.end(), [](const Line& line) { return !line.words.empty(); });
    if (kept.unreadable > 0) pass.unreadableMet = true;
    if (pass.unreadableMet) {
        long long characters = 0;
        for (const Line& line : lines) characters += lineCharacters(line);
        kept.characters = characters;
    }
    pass.bands[index] = bandLines(lines, crop);
    for (Line& line : lines)
        if (line.picture) pass.pictures[index].push_back(std::move(line));
    if (!pass.pictures[index].empty()) pass.drawn[index] = std::move(reading.drawn);
}

// The totals of the pages kept, in page order.
void addUp(FirstPass& pass)
{
    for (std::size_t i = 0; i < pass.pages.size(); ++i) {
        const KeptPage& page = pass.pages[i];
        const int number = static_cast<int>(i) + 1;
        if (page.state == KeptPage::State::tooLarge) pass.tooLargePages.push_back(number);
        if (page.state == KeptPage::State::unfetched || page.state == KeptPage::State::tooLarge) continue;
        pass.wordCount += page.words;
        pass.unreadable += page.unreadable;
        if (page.untrusted) ++pass.untrustedPages;
        if (page.state == KeptPage::State::scan) pass.scanPages.push_back(number);
    }
}

// Whether any page kept holds words: a scan's few words are dropped with it.
bool keepsWords(const FirstPass& pass)
{
    return std::any_of(pass.pages.begin(), pass.pages.end(), [](const KeptPage& page) { return page.hasText; });
}

// The refusals that need every page read.
void refuseUnreadable(const FirstPass& pass, int pageCount, const std::string& title)
{
    // Not one page could be fetched or parsed: the file is broken, not a scan.
    if (std::none_of(pass.cropBoxes.begin(), pass.cropBoxes.end(), [](const auto& crop) { return crop.has_value(); }))
        throw ConversionError(Reason::damaged, damagedMessage);
    if (!pass.tooLargePages.empty() && !keepsWords(pass)) refuseTooLarge(pass, pageCount, title);
    if (pass.wordCount == 0 || static_cast<int>(pass.scanPages.size()) == pageCount)
        throw ConversionError(Reason::noTextLayer, scanMessage);
    if (pass.unreadable == 0) return;
    long long characters = 0;
    for (const KeptPage& page : pass.pages)
        if (page.hasText && page.characters)
            characters += *page.characters;
        else if (page.hasText)
            for (const Line& line : page.lines.unpacked()) characters += lineCharacters(line);
    if (characters >= 1 && characters < 3 * pass.unreadable)
        throw ConversionError(Reason::noTextLayer, "The text inside this PDF can’t be read: its fonts don’t say "
                                                   "which letters they draw. Try the original Word or text file "
                                                   "instead.");
}

// The pieces handed to inference, with what the second pass counts.
struct Assembly {
    std::vector<Inference::Piece> pieces;
    bool open = false; // the last piece is a paragraph that may run on
    std::map<int, int> columnPages; // pages set in columns, by their most columns side by side
    int tables = 0;
    long long privateUse = 0; // characters left out: they mean nothing outside their font

    StyledParagraph* lastParagraph()
    {
        return pieces.empty() ? nullptr : std::get_if<StyledParagraph>(&pieces.back().value);
    }

    // Whether `p` continues the last piece: a paragraph of the same size, no
    // list on either, cut off by a column or page break mid-sentence.
    bool continues(const StyledParagraph& p)
    {
        StyledParagraph* q = lastParagraph();
        if (!open || !q || p.size != q->size || p.list || q->list) return false;
        for (const Run& run : p.runs)
            if (!run.text.empty()) return Text::isLowercase(Text::firstCharacter(run.text));
        return false;
    }

    void join(StyledParagraph p)
    {
        // Only the ends are looked at: a paragraph may run on over many pages.
        StyledParagraph& q = *lastParagraph();
        auto tail = lastCharacters(q.runs, 2);
        if (tail.size() == 2 && tail[1] == "-" && Text::isLetter(tail[0])) {
            for (auto run = q.runs.rbegin(); run != q.runs.rend(); ++run)
                if (!run->text.empty()) {
                    run->text.pop_back();
                    break;
                }
        } else {
            q.runs.push_back(Run(" "));
        }
        q.runs.insert(q.runs.end(), std::make_move_iterator(p.runs.begin()), std::make_move_iterator(p.runs.end()));
    }

    void addLines(const Lines& lines)
    {
        std::vector<StyledParagraph> paragraphs = buildParagraphs(lines);
        for (std::size_t i = 0; i < paragraphs.size(); ++i) {
            if (i == 0 && continues(paragraphs[i])) {
                join(std::move(paragraphs[i]));
                continue;
            }
            paragraphs[i].runs = tidied(std::move(paragraphs[i].runs));
            pieces.push_back(Inference::Piece::paragraph(std::move(paragraphs[i])));
        }
        StyledParagraph* q = lastParagraph();
        auto last = q ? lastCharacters(q->runs, 1) : std::vector<std::string>{};
        open = !last.empty() && !isOneOf(last[0], {".", "!", "?", ":", ";", "\"", "\u201D", "\u2019", ")"});
    }

    void addPage(Lines lines)
    {
        for (Line& line : lines) mendRightToLeftWords(line);
        privateUse += leaveOutPrivateUse(lines);
        std::vector<Flow> flows = detectColumns(std::move(lines));
        int columns = 1;
        for (const Flow& f : flows)
            if (f.column) columns = std::max(columns, f.columns);
        if (columns >= 2) ++columnPages[columns];
        for (Flow& flow : flows)
            for (FlowItem& item : flow.items) {
                if (auto* text = std::get_if<FlowItem::Lines>(&item.value)) {
                    addLines(text->lines);
                } else if (auto* table = std::get_if<FlowItem::Table>(&item.value)) {
                    pieces.push_back(Inference::Piece::block(Block::table(std::move(table->rows), table->header)));
                    ++tables;
                    open = false;
                } else if (auto* picture = std::get_if<FlowItem::Picture>(&item.value)) {
                    pieces.push_back(Inference::Piece::block(Block::image(std::move(picture->picture))));
                    open = false;
                }
            }
    }
};

std::string scanNote(const std::vector<int>& scanPages)
{
    bool one = scanPages.size() == 1;
    return pageNumbers(scanPages) + (one ? " is a picture" : " are pictures") +
           " of text (a scan) with nothing Folmira can read, so " + (one ? "it was" : "they were") + " left out.";
}

std::string tooLargeNote(const std::vector<int>& pages)
{
    bool one = pages.size() == 1;
    return pageNumbers(pages) + (one ? " was left out: its text is" : " were left out: their text is") +
           " too large for Folmira to read.";
}

std::string picturesNote(int count)
{
    bool one = count == 1;
    return std::to_string(count) + (one ? " picture was" : " pictures were") + " left out: cutting " +
           (one ? "it" : "them") + " out of the PDF’s pages would take too much time and memory.";
}

// A document without headings whose first block is a short line gets it as its title.
void promoteTitle(Blocks& blocks)
{
    if (blocks.size() < 2 || std::any_of(blocks.begin(), blocks.end(), [](const Block& b) { return b.isHeading(); }))
        return;
    const auto* first = blocks.front().as<Block::Paragraph>();
    if (!first) return;
    std::string text = blocks.front().plainText();
    if (text.empty() || Text::characterCount(text) > 60 || text.find('\n') != std::string::npos ||
        isOneOf(Text::lastCharacter(text), {".", "!", "?", ",", ";", ":"}))
        return;
    blocks.front() = Block::heading(1, first->runs);
}

// The pictures of the pages whose rendering failed (its worker went past a
// limit) are left out; the text already read of those pages stays. Returns
// how many pictures that leaves out.
int leaveOutPictures(const std::vector<int>& failedPages, FirstPass& pass)
{
    int count = 0;
    for (int index : failedPages)
        count += static_cast<int>(std::erase_if(pass.pictures[static_cast<std::size_t>(index)],
                                                [](const Line& line) { return line.picture->data.empty(); }));
    return count;
}

// Removes the repeated lines the band lines name; returns how many.
int removeRepeated(FirstPass& pass, std::vector<std::vector<std::size_t>>& removed)
{
    // A page with lines: text, or a picture left after rendering.
    long long withLines = 0;
    for (std::size_t i = 0; i < pass.pages.size(); ++i)
        withLines += pass.pages[i].hasText || !pass.pictures[i].empty();
    removed = repeatedLines(pass.bands, withLines);
    std::vector<std::vector<BandLine>>().swap(pass.bands);
    int count = 0;
    for (const auto& page : removed) count += static_cast<int>(page.size());
    return count;
}

// Page `index`'s lines as the second pass reads them: unpacked, its repeated
// lines (`removed`, indices among the packed lines) taken out, and each
// picture line given its rendered picture or dropped with it.
Lines keptLines(FirstPass& pass, std::size_t index, const std::vector<std::size_t>& removed)
{
    Lines lines = pass.pages[index].lines.unpacked();
    removeLines(lines, removed);
    Lines& pictures = pass.pictures[index];
    auto rendered = pictures.begin();
    Lines kept;
    kept.reserve(lines.size());
    for (Line& line : lines) {
        // Rendering keeps the pictures' order and drops some; regions never share a rectangle.
        if (line.picture) {
            if (rendered == pictures.end() || !(rendered->rect == line.rect)) continue;
            line.picture = std::move(rendered++->picture);
        }
        kept.push_back(std::move(line));
    }
    return kept;
}

} // namespace

namespace {

BigDocument readFrom(PageSource& source, const std::string& title);

} // namespace

BigDocument read(const std::vector<std::uint8_t>& data, const std::string& title, int threads)
{
    checkCancelled();
    PageSource source(data, threads);
    return readFrom(source, title);
}

BigDocument readFile(const std::filesystem::path& path, const std::string& title)
{
    checkCancelled();
    std::shared_ptr<const Platform::PdfWorkerInput> input;
    try {
        input = Platform::PdfWorkerInput::ofFile(path);
    } catch (const std::system_error&) {
        throw ConversionError(Reason::damaged, "“" + path.filename().string() + "” couldn’t be opened.");
    }
    if (input->size() == 0) throw ConversionError(Reason::empty, emptyFileMessage);
    PageSource source(std::move(input), readingThreads());
    return readFrom(source, title);
}

namespace {

BigDocument readFrom(PageSource& source, const std::string& title)
{
    DocumentOpening opening = source.open();
    if (opening.state != DocumentOpening::State::opened) {
        if (opening.state == DocumentOpening::State::locked)
            throw ConversionError(Reason::locked, "This PDF is locked with a password. Open it in a PDF viewer, type "
                                                  "the password, print it to a PDF file, and drop that copy in.");
        if (opening.state == DocumentOpening::State::tooLarge)
            throw ConversionError(Reason::unsupported, "Folmira can’t read the text of " + theFile(title) +
                                                           ": it is too large to read. Try the original Word or text "
                                                           "file instead.");
        if (opening.state == DocumentOpening::State::noHelper) throw brokenHelper();
        throw ConversionError(Reason::damaged, damagedMessage);
    }
    int pageCount = static_cast<int>(opening.cropBoxes.size());
    if (pageCount < 1) throw ConversionError(Reason::empty, "This PDF has no pages.");
    if (!opening.allowsCopying)
        throw ConversionError(Reason::locked, "This PDF’s author turned off copying its text, so Folmira won’t "
                                              "re-flow it. Ask for an unlocked copy or the original document.");

    // The pages read by several workers, each cut down as it arrives.
    FirstPass pass(std::move(opening.cropBoxes));
    source.readPages(pageCount, [&](int index, PageReading reading) {
        keepPage(std::move(reading), static_cast<std::size_t>(index), pass);
    });
    checkCancelled();
    addUp(pass);
    refuseUnreadable(pass, pageCount, title);
    // The pictures kept go to a file of their own, so that a long photo
    // report keeps them all without holding them in memory.
    const auto pictureFile = PictureFile::make();
    PictureScan::RenderBudget budget(PDFLimits::renderedPixels,
                                     pictureFile ? PDFLimits::filedPictureBytes : PDFLimits::heldPictureBytes);
    auto rendered = PictureScan::renderPictures(
        pass.pictures, pass.drawn, budget,
        [&](int worker, int index, const std::vector<Rect>& regions) { return source.render(index, regions, worker); },
        PDFLimits::paperPixels, source.renderers(), pictureFile.get());
    std::vector<std::vector<Rect>>().swap(pass.drawn);
    const int picturesLeftOut = rendered.overBudget + leaveOutPictures(rendered.failedPages, pass);

    std::vector<ConversionNote> notes;
    std::vector<std::vector<std::size_t>> repeated;
    int removed = removeRepeated(pass, repeated);
    if (removed >= 1)
        notes.emplace_back(ConversionNote::Kind::info,
                           "Left out " + std::to_string(removed) + " repeated page header, footer and page-number line" +
                               (removed == 1 ? "" : "s") + "; Folmira adds its own page numbers.");
    if (!pass.scanPages.empty()) notes.emplace_back(ConversionNote::Kind::warning, scanNote(pass.scanPages));
    if (!pass.tooLargePages.empty())
        notes.emplace_back(ConversionNote::Kind::warning, tooLargeNote(pass.tooLargePages));

    // Each page is unpacked in turn and let go once its pieces are made: its
    // pictures are held once, not twice.
    Assembly assembly;
    for (std::size_t i = 0; i < static_cast<std::size_t>(pageCount); ++i) {
        checkCancelled();
        if (pass.cropBoxes[i]) assembly.addPage(keptLines(pass, i, repeated[i]));
        pass.pages[i].lines = {};
        Lines().swap(pass.pictures[i]);
    }
    pass.letPagesGo();
    std::vector<std::vector<std::size_t>>().swap(repeated);

    for (const auto& [columns, count] : assembly.columnPages)
        notes.emplace_back(ConversionNote::Kind::info, "Read " + pages(count) + " laid out in " +
                                                           numberWord(columns) + " columns left column first.");
    if (assembly.tables >= 1) {
        bool one = assembly.tables == 1;
        notes.emplace_back(ConversionNote::Kind::info,
                           "Found " + std::to_string(assembly.tables) + (one ? " table" : " tables") + ". Check " +
                               (one ? "it" : "them") +
                               " against the original: tables in PDFs are rebuilt from where the words sit.");
    }
    if (pass.untrustedPages >= 1)
        notes.emplace_back(ConversionNote::Kind::warning,
                           "The positions of the words on " + pages(pass.untrustedPages) + " couldn’t be trusted, so " +
                               (pass.untrustedPages == 1 ? "it was" : "they were") +
                               " read line by line. Check columns and tables against the original.");

    if (picturesLeftOut >= 1) notes.emplace_back(ConversionNote::Kind::warning, picturesNote(picturesLeftOut));
    if (assembly.privateUse >= 1)
        notes.emplace_back(ConversionNote::Kind::info,
                           "Left out " + std::to_string(assembly.privateUse) +
                               (assembly.privateUse == 1 ? " symbol that has no meaning outside its font."
                                                         : " symbols that have no meaning outside their font."));

    Blocks blocks = Inference::blocks(std::move(assembly.pieces));
    // What the passes freed lies scattered among the blocks kept, in the heaps
    // of the threads that read the pages: given back to the system, it is
    // not held beside the document for as long as the document is shown.
    malloc_trim(0);
    promoteTitle(blocks);
    if (blocks.empty()) {
        if (!pass.tooLargePages.empty()) refuseTooLarge(pass, pageCount, title);
        throw ConversionError(Reason::empty, "There’s no text in this PDF to make large.");
    }
    return BigDocument{title, BigDocument::Source::pdf, std::move(blocks), std::move(notes), pass.tooLargePages};
}

} // namespace

BigDocument read(const std::vector<std::uint8_t>& data, const std::string& title)
{
    return read(data, title, readingThreads());
}

} // namespace FolmiraKit::PDFReader
