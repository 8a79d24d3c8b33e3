#pragma once

// Small operations on PDF lines that the reader's stages share: a line's size
// and text, cutting a line at wide gaps, the header and footer band test, and
// the character tests of word extraction.

#include "FolmiraKit/PDF/PageWords.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit::PDFReader {

// The half-point-rounded size carrying the most characters (ties: the larger); 0 without words.
double bodySize(const Line& line);

// The words' texts joined with single spaces, in reading order (readingOrder).
std::string lineText(const Line& line);

// Whether `text` holds a Hebrew or Arabic letter, a right-to-left script's.
bool isRightToLeft(std::string_view text);
// Whether a line of `words` is read from its right edge: it holds more
// right-to-left words than left-to-right ones (as many: `ties`, the way the
// text around it reads).
bool readsRightToLeft(const std::vector<Word>& words, bool ties = false);
// A line turned round about the vertical line x = `axis` / 2 (each word's
// rect mirrored, the words again left to right), so that rules made for lines
// read from the left judge a right-to-left line from its right edge.
Line mirrored(const Line& line, double axis);
// Mends the right-to-left words of a line as the page's text gave them:
// pieces of right-to-left words that touch become one word; in a line read
// right to left, punctuation standing alone against the left end of a word
// becomes that word's last characters, and so does a full stop or comma that
// a left-to-right word begins with.
void mendRightToLeftWords(Line& line);
// `words` (left to right) in reading order: a run of right-to-left words, with
// any words without letters between them, is read right to left.
std::vector<const Word*> readingOrder(const std::vector<Word>& words, bool ties = false);

// The characters of lineText(line), counted without joining its words where
// they are plain ASCII.
int lineCharacters(const Line& line);

// lineText of every line of every page, in order.
std::vector<std::string> lineTexts(const std::vector<Lines>& pages);

// A line cut where its words stand far apart (table cells, the halves of a
// line across a column gutter). Picture lines and lines of one word stay whole.
Lines splitAtGaps(const Line& line);
// How many segments splitAtGaps cuts `line` into, without making them.
std::size_t segmentCount(const Line& line);

// Whether `line` is one of the two highest or two lowest text lines of page
// `pageIndex` of `pages` and lies wholly in the top or bottom 15 % of that
// page's crop box. `cropBoxes` holds one entry per page, none for a page that
// could not be fetched.
bool isInPageBand(const Line& line, int pageIndex, const std::vector<std::optional<Rect>>& cropBoxes,
                  const std::vector<Lines>& pages);

// What the band test needs of one page, worked out once for all its lines.
struct PageBand {
    double secondHighest = 0; // mid y of the second-highest text line
    double secondLowest = 0;  // mid y of the second-lowest text line
    Rect cropBox;
};
// None when the page has no crop box or fewer than 3 text lines: then no line is in a band.
std::optional<PageBand> pageBand(int pageIndex, const std::vector<std::optional<Rect>>& cropBoxes,
                                 const std::vector<Lines>& pages);
// The same for one page's lines and its crop box.
std::optional<PageBand> pageBand(const Lines& page, const std::optional<Rect>& cropBox);
bool isInBand(const Line& line, const PageBand& band);

// The scalars of `text` that say a font did not tell which letter it draws:
// private-use code points (U+E000–U+F8FF) and U+FFFD.
std::u32string glyphCheck(std::string_view text);

// Whether `c` is a private-use code point (U+E000–U+F8FF and planes 15 and
// 16): a glyph a font maps there means nothing outside that font.
bool isPrivateUse(char32_t c);
// Takes the private-use characters out of the words of `lines`; a word left
// empty goes, and so does a text line left without words. Returns how many
// characters went.
long long leaveOutPrivateUse(Lines& lines);

// Characters (grapheme clusters) of `text`, and its last one: plain ASCII is
// counted directly, anything else by Unicode's rules.
int countCharacters(std::string_view text);
std::string_view finalCharacter(std::string_view text);

// Whether `text` holds a scalar that is neither NUL nor white space or a line end.
bool hasVisibleCharacter(std::string_view text);

} // namespace FolmiraKit::PDFReader
