// The index's entries and their order, and the small string forms of the
// layout's values.

#include "Platform/Collation.h"
#include "Platform/Text.h"
#include "TunequillKit/Layout/BookLayouter.h"

#include <algorithm>

namespace TunequillKit {

std::string_view toString(PageKind kind)
{
    switch (kind) {
    case PageKind::setList: return "setList";
    case PageKind::contents: return "contents";
    case PageKind::song: return "song";
    case PageKind::index: return "index";
    case PageKind::blank: return "blank";
    }
    return "song";
}

template <>
std::optional<PageKind> fromString<PageKind>(std::string_view text)
{
    return detail::caseNamed(allCases<PageKind>, text, [](PageKind k) { return toString(k); });
}

std::string LaidPage::text() const
{
    std::string out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i) out += '\n';
        out += rows[i].row.text();
    }
    return out;
}

std::string sortKey(std::string_view text)
{
    std::string lower = Platform::Text::lowercased(text);
    std::string kept;
    kept.reserve(lower.size());
    for (std::string_view c : Platform::Text::characters(lower))
        if (c == " " || Platform::Text::isLetter(c) || Platform::Text::isNumber(c)) kept += c;
    std::string_view key = kept;
    for (std::string_view article : {"the ", "a ", "an "})
        if (key.starts_with(article)) {
            key.remove_prefix(article.size());
            break;
        }
    return std::string(Platform::Text::trimWhitespace(key));
}

namespace {

// A total order over precomputed keys. Keys that collate equal but differ as
// strings fall back to the page and then to their bytes, so that sorting never
// meets an inconsistent comparison.
bool keyedBefore(const std::string& ka, int pa, const std::string& kb, int pb)
{
    if (ka != kb) {
        int c = Platform::Collation::standardCompare(ka, kb);
        if (c != 0) return c < 0;
    }
    if (pa != pb) return pa < pb;
    return ka < kb;
}

} // namespace

bool IndexEntry::areInIncreasingOrder(const IndexEntry& a, const IndexEntry& b)
{
    return keyedBefore(sortKey(a.text), a.page, sortKey(b.text), b.page);
}

std::vector<IndexEntry> BookLayouter::indexEntries(const std::vector<PreparedSong>& songs,
                                                   const std::vector<int>& starts) const
{
    std::vector<IndexEntry> entries;
    const std::size_t pairs = std::min(songs.size(), starts.size());
    for (std::size_t i = 0; i < pairs; ++i) {
        const Song& song = songs[i].song;
        const int page = starts[i];
        std::string title = song.displayTitle();
        std::string titleKey = sortKey(title);
        entries.push_back(IndexEntry{std::move(title), page, false});
        std::optional<std::string> first = song.firstLine();
        if (!first) continue;
        std::string firstKey = sortKey(*first);
        if (firstKey.starts_with(titleKey)) continue; // equal keys included
        std::string_view text = *first;
        auto trimmable = [](std::string_view c) {
            return c == " " || c == "," || c == ";" || c == ":" || c == "-" || c == "\u2013";
        };
        while (!text.empty() && trimmable(Platform::Text::firstCharacter(text)))
            text.remove_prefix(Platform::Text::firstCharacter(text).size());
        while (!text.empty() && trimmable(Platform::Text::lastCharacter(text)))
            text.remove_suffix(Platform::Text::lastCharacter(text).size());
        entries.push_back(IndexEntry{std::string(text), page, true});
    }

    std::vector<std::pair<std::string, std::size_t>> keyed;
    keyed.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) keyed.emplace_back(sortKey(entries[i].text), i);
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        return keyedBefore(a.first, entries[a.second].page, b.first, entries[b.second].page);
    });
    std::vector<IndexEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& k : keyed) sorted.push_back(std::move(entries[k.second]));
    return sorted;
}

} // namespace TunequillKit
