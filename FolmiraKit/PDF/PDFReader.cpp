// The reader runs in two passes. The first reads every page's words, lines
// and pictures and decides which pages are scans; it must be complete before
// the refusals and before repeated header and footer lines are removed, which
// compares lines across all pages. The second cuts each page into flows and
// their items, builds paragraphs, and joins a paragraph that runs on across a
// column or page break. Inference then decides headings and lists.

#include "FolmiraKit/PDF/PDFReader.h"

#include "FolmiraKit/Model/Cancel.h"
#include "FolmiraKit/PDF/Columns.h"
#include "FolmiraKit/PDF/Limits.h"
#include "FolmiraKit/PDF/LineTools.h"
#include "FolmiraKit/PDF/PageSource.h"
#include "FolmiraKit/PDF/Paragraphs.h"
#include "FolmiraKit/PDF/PictureScan.h"
#include "FolmiraKit/Readers/Inference.h"
#include "Platform/Text.h"

#include <algorithm>

namespace FolmiraKit::PDFReader {

namespace Text = Platform::Text;
using Reason = ConversionError::Reason;

namespace {

const char* scanMessage = "This PDF is a picture of the pages (a scan or a photo), with no text inside for Folmira to "
                          "re-flow. Folmira needs a PDF whose words you can select in a PDF viewer, or the original "
                          "Word or text file.";

bool isOneOf(std::string_view character, std::initializer_list<std::string_view> set)
{
    return std::find(set.begin(), set.end(), character) != set.end();
}

std::string pages(int count)
{
    return count == 1 ? "1 page" : std::to_string(count) + " pages";
}

struct FirstPass {
    std::vector<Lines> pages;                     // one per page, top to bottom
    std::vector<std::optional<Rect>> cropBoxes;   // none for a page that could not be fetched
    long long wordCount = 0;
    long long unreadable = 0;
    std::vector<int> scanPages;     // 1-based
    std::vector<int> tooLargePages; // 1-based: content past the bound, text not read
    int untrustedPages = 0;
};

// "Page 2" or "Pages 2, 5".
std::string pageNumbers(const std::vector<int>& numbers)
{
    std::string list;
    for (int n : numbers) list += (list.empty() ? "" : ", ") + std::to_string(n);
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

void readPage(PageReading reading, const Rect& crop, int number, FirstPass& pass)
{
    Lines& lines = pass.pages.back();
    PageText& read = reading.text;
    PageWords& found = read.words;
    if (found.untrusted) found.words.clear();
    pass.wordCount += static_cast<long long>(found.words.size());
    for (const Word& w : found.words) pass.unreadable += static_cast<long long>(glyphCheck(w.text).size());

    lines = std::move(read.lines);
    if (found.untrusted) {
        for (const Line& line : lines) pass.wordCount += static_cast<long long>(line.words.size());
        ++pass.untrustedPages;
    }

    // Pictures are rendered later, and only those kept (PictureScan::renderPictures).
    const std::vector<Rect>& pictures = reading.pictures;
    if (!found.untrusted && found.words.size() < 5) {
        double pageArea = crop.width * crop.height;
        bool scan = std::any_of(pictures.begin(), pictures.end(),
                                [&](const Rect& r) { return r.width * r.height > 0.3 * pageArea; });
        if (scan) {
            pass.scanPages.push_back(number);
            lines.clear();
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
}

// Whether any page kept holds words: a scan's few words are dropped with it.
bool keepsWords(const FirstPass& pass)
{
    return std::any_of(pass.pages.begin(), pass.pages.end(), [](const Lines& page) {
        return std::any_of(page.begin(), page.end(), [](const Line& line) { return !line.words.empty(); });
    });
}

// The refusals that need every page read.
void refuseUnreadable(const FirstPass& pass, int pageCount, const std::string& title)
{
    if (!pass.tooLargePages.empty() && !keepsWords(pass)) refuseTooLarge(pass, pageCount, title);
    if (pass.wordCount == 0 || static_cast<int>(pass.scanPages.size()) == pageCount)
        throw ConversionError(Reason::noTextLayer, scanMessage);
    if (pass.unreadable == 0) return;
    long long characters = 0;
    for (const Lines& page : pass.pages)
        for (const Line& line : page) characters += countCharacters(lineText(line));
    if (characters >= 1 && characters < 3 * pass.unreadable)
        throw ConversionError(Reason::noTextLayer, "The text inside this PDF can’t be read: its fonts don’t say "
                                                   "which letters they draw. Try the original Word or text file "
                                                   "instead.");
}

// The pieces handed to inference, with what the second pass counts.
struct Assembly {
    std::vector<Inference::Piece> pieces;
    bool open = false; // the last piece is a paragraph that may run on
    int twoColumnPages = 0;
    int tables = 0;

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

    void addPage(const Lines& lines)
    {
        std::vector<Flow> flows = detectColumns(lines);
        if (std::any_of(flows.begin(), flows.end(), [](const Flow& f) { return f.column; })) ++twoColumnPages;
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
        count += static_cast<int>(std::erase_if(pass.pages[static_cast<std::size_t>(index)], [](const Line& line) {
            return line.picture && line.picture->data.empty();
        }));
    return count;
}


} // namespace

BigDocument read(const std::vector<std::uint8_t>& data, const std::string& title, int threads)
{
    checkCancelled();
    PageSource source(data, threads);
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
        throw ConversionError(Reason::damaged, "This PDF couldn’t be opened. It may be damaged.");
    }
    int pageCount = static_cast<int>(opening.cropBoxes.size());
    if (pageCount < 1) throw ConversionError(Reason::empty, "This PDF has no pages.");
    if (!opening.allowsCopying)
        throw ConversionError(Reason::locked, "This PDF’s author turned off copying its text, so Folmira won’t "
                                              "re-flow it. Ask for an unlocked copy or the original document.");

    // The pages read by several workers; then pictures and scans page by page, in order.
    std::vector<PageReading> readings = source.readPages(pageCount);
    FirstPass pass;
    std::vector<std::vector<Rect>> drawn(static_cast<std::size_t>(pageCount));
    for (int i = 0; i < pageCount; ++i) {
        checkCancelled();
        pass.pages.emplace_back();
        PageReading& reading = readings[static_cast<std::size_t>(i)];
        const auto& crop = opening.cropBoxes[static_cast<std::size_t>(i)];
        bool fetched = reading.fetched && crop;
        pass.cropBoxes.push_back(fetched ? crop : std::nullopt);
        if (!fetched) continue;
        if (reading.text.tooLarge) {
            pass.tooLargePages.push_back(i + 1);
            continue;
        }
        drawn[static_cast<std::size_t>(i)] = std::move(reading.drawn);
        readPage(std::move(reading), *crop, i + 1, pass);
    }
    refuseUnreadable(pass, pageCount, title);
    PictureScan::RenderBudget budget(PDFLimits::renderedPixels, PDFLimits::heldPictureBytes);
    auto rendered = PictureScan::renderPictures(
        pass.pages, drawn, budget,
        [&](int worker, int index, const std::vector<Rect>& regions) { return source.render(index, regions, worker); },
        PDFLimits::paperPixels, source.renderers());
    const int picturesLeftOut = rendered.overBudget + leaveOutPictures(rendered.failedPages, pass);

    std::vector<ConversionNote> notes;
    int removed = removeRepeatedLines(pass.pages, pass.cropBoxes);
    if (removed >= 1)
        notes.emplace_back(ConversionNote::Kind::info,
                           "Left out " + std::to_string(removed) + " repeated page header, footer and page-number line" +
                               (removed == 1 ? "" : "s") + "; Folmira adds its own page numbers.");
    if (!pass.scanPages.empty()) notes.emplace_back(ConversionNote::Kind::warning, scanNote(pass.scanPages));
    if (!pass.tooLargePages.empty())
        notes.emplace_back(ConversionNote::Kind::warning, tooLargeNote(pass.tooLargePages));

    // Each page's lines go once its pieces are made: its pictures are held once, not twice.
    Assembly assembly;
    for (std::size_t i = 0; i < static_cast<std::size_t>(pageCount); ++i) {
        checkCancelled();
        if (pass.cropBoxes[i]) assembly.addPage(pass.pages[i]);
        Lines().swap(pass.pages[i]);
    }

    if (assembly.twoColumnPages >= 1)
        notes.emplace_back(ConversionNote::Kind::info,
                           "Read " + pages(assembly.twoColumnPages) + " laid out in two columns left column first.");
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

    Blocks blocks = Inference::blocks(std::move(assembly.pieces));
    promoteTitle(blocks);
    if (blocks.empty()) {
        if (!pass.tooLargePages.empty()) refuseTooLarge(pass, pageCount, title);
        throw ConversionError(Reason::empty, "There’s no text in this PDF to make large.");
    }
    return BigDocument{title, BigDocument::Source::pdf, std::move(blocks), std::move(notes), pass.tooLargePages};
}

BigDocument read(const std::vector<std::uint8_t>& data, const std::string& title)
{
    return read(data, title, readingThreads());
}

} // namespace FolmiraKit::PDFReader
