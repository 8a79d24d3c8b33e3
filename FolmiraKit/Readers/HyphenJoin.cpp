// What becomes of a hyphen at a line's end. A word broken by hyphenation
// loses it ("exam- ple" → "example", "PRO- GRAM" → "PROGRAM"); a hyphen that
// belongs to the text stays, without the line's space ("DNA- binding" →
// "DNA-binding", "COVID- 19" → "COVID-19"); where the lines can't tell ("well-
// Known", "1990- ies", "1990- 95") both are kept as they stand.

#include "FolmiraKit/Readers/Inference.h"

#include "Platform/Text.h"

namespace FolmiraKit::Inference {

namespace {

namespace Text = Platform::Text;

// Whether every letter of a word is a capital; letters counted in `letters`.
bool inCapitals(std::string_view word, int& letters)
{
    letters = 0;
    while (!word.empty()) {
        std::string_view c = Text::firstCharacter(word);
        if (!Text::isUppercase(c)) return false;
        ++letters;
        word.remove_prefix(c.size());
    }
    return letters > 0;
}

} // namespace

HyphenJoin hyphenJoin(std::string_view before, std::string_view after)
{
    if (!before.ends_with('-')) return HyphenJoin::space;
    before.remove_suffix(1);
    std::string_view last = Text::lastCharacter(before);
    std::string_view next = Text::firstCharacter(after);
    if (last.empty() || next.empty()) return HyphenJoin::space;

    // After a number ("1990- 95", "1990- ies") the lines can't tell a range
    // from a suffix: they stay as they stand.
    if (!Text::isLetter(last)) return HyphenJoin::space;
    if (Text::isNumber(next)) return HyphenJoin::keepHyphen;

    // The letters the hyphen ends and the letters the next line begins with,
    // looked for in the 64 bytes on each side (a longer word is in capitals
    // or not all the same).
    std::size_t from = before.size() > 64 ? before.size() - 64 : 0;
    while (from > 0 && (static_cast<unsigned char>(before[from]) & 0xC0) == 0x80) --from;
    const auto tail = Text::characters(before.substr(from));
    std::size_t start = before.size();
    for (auto c = tail.rbegin(); c != tail.rend() && Text::isLetter(*c); ++c) start -= c->size();
    std::size_t end = 0;
    while (end < after.size() && end < 64) {
        std::string_view c = Text::firstCharacter(after.substr(end));
        if (!Text::isLetter(c)) break;
        end += c.size();
    }
    // (Anything but a letter after the hyphen makes an empty tail: no capitals.)
    int headLetters = 0, tailLetters = 0;
    const bool headCapitals = inCapitals(before.substr(start), headLetters);

    if (Text::isLowercase(next)) return headCapitals ? HyphenJoin::keepHyphen : HyphenJoin::dropHyphen;
    if (!headCapitals || !inCapitals(after.substr(0, end), tailLetters)) return HyphenJoin::space;
    // A word in capitals broken in two; a lone capital on either side is a
    // compound's part ("X- RAY", "PART- B").
    return headLetters >= 2 && tailLetters >= 2 ? HyphenJoin::dropHyphen : HyphenJoin::keepHyphen;
}

} // namespace FolmiraKit::Inference
