// The rows of the set-list, contents and index pages: a heading, then one
// entry row per song or index entry (text, optional key detail, leader dots,
// page number at the right edge).

#include "Platform/Text.h"
#include "TunequillKit/Layout/BookLayouter.h"

#include <algorithm>

namespace TunequillKit {

namespace {

const std::string ellipsis = "\u2026";

std::string joined(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

} // namespace

std::vector<Row> BookLayouter::headingRows(const std::string& title, const std::string& subtitleText) const
{
    const double F = settings.fontSize;
    const double frameWidth = geometry().frame.width;
    const double T = nearest(1.7 * F);
    std::vector<Row> rows;
    FontSpec titleFont{T, true, false, false, serif()};
    for (std::string& line : Typesetter(settings, measurer, frameWidth).wrap(title, titleFont, frameWidth))
        rows.push_back(Row{nearest(1.2 * T), {Run{std::move(line), 0, nearest(0.95 * T), titleFont, Ink::text}}, {}, 0});
    if (!subtitleText.empty()) {
        const double S = std::max(11.0, nearest(0.8 * F));
        rows.push_back(Row{nearest(1.5 * S),
                           {Run{subtitleText, 0, nearest(1.1 * S), FontSpec{S, false, true, false, serif()}, Ink::muted}},
                           {},
                           0});
    }
    rows.push_back(Row{nearest(0.9 * F), {}, {Mark::rule({0, 6}, {frameWidth, 6})}, 0});
    return rows;
}

// Cuts one character at a time (two once the text ends in "…"), trims, and
// appends "…", until the text fits `limit` or has fewer than five characters.
// A long text first jumps, by bisection over the prefix length, to the
// longest cut that still does not fit: the steps after it are the same, and a
// hostile title costs O(n log n) measurements of text instead of O(n²).
std::string BookLayouter::shortened(std::string text, const FontSpec& font, double limit) const
{
    auto tooWide = [&](const std::string& t) { return measure(t, font) > limit; };
    auto cut = [](std::string_view chars, int keep) {
        return std::string(Platform::Text::trimSpacesTabs(Platform::Text::prefix(chars, keep))) + ellipsis;
    };
    const int count = Platform::Text::characterCount(text);
    if (count > 64 && tooWide(text) && tooWide(cut(text, count - 1))) {
        int fits = 4, wide = count - 1; // cut(wide) is too wide; look for the longest such cut
        while (wide - fits > 1) {
            int mid = fits + (wide - fits) / 2;
            if (tooWide(cut(text, mid)))
                wide = mid;
            else
                fits = mid;
        }
        text = cut(text, wide);
    }
    while (tooWide(text) && Platform::Text::characterCount(text) >= 5) {
        text = std::string(Platform::Text::dropLast(text, text.ends_with(ellipsis) ? 2 : 1));
        text = std::string(Platform::Text::trimSpacesTabs(text)) + ellipsis;
    }
    return text;
}

Row BookLayouter::entryRow(double s, std::string text, const std::optional<std::string>& detail,
                           std::optional<int> page, bool bold, bool italic, bool serifFace) const
{
    const double w = geometry().frame.width;
    const std::string pageText = page ? std::to_string(*page) : std::string();
    const FontSpec pageFont{s, false, false, false, serifFace};
    const double pw = measure(pageText, pageFont);
    const double d = std::max(10.0, nearest(0.72 * s));
    const FontSpec detailFont{d, true, false, false, false};
    std::optional<std::string> shownDetail;
    double dw = 0;
    if (detail) {
        shownDetail = Accidental::pretty(*detail);
        dw = measure(*shownDetail, detailFont) + 14;
    }
    const double available = w - pw - dw;
    const FontSpec textFont{s, bold, italic, false, serifFace};
    text = shortened(std::move(text), textFont, available - 30);
    const double tw = measure(text, textFont);
    const double baseline = nearest(1.1 * s);

    Row row{nearest(1.55 * s), {}, {}, 0};
    row.runs.push_back(Run{std::move(text), 0, baseline, textFont, Ink::text});
    if (shownDetail) row.runs.push_back(Run{std::move(*shownDetail), tw + 10, baseline, detailFont, Ink::accent});
    if (page) {
        row.runs.push_back(Run{pageText, w - pw, baseline, pageFont, Ink::text});
        row.marks.push_back(Mark::leader(dw + tw + 8, (w - pw) - 6, baseline, s));
    }
    return row;
}

std::vector<Row> BookLayouter::setListRows(const std::vector<PreparedSong>& songs, const std::vector<int>& pages) const
{
    std::vector<Row> rows = headingRows(bookTitle.empty() ? "Set list" : bookTitle, subtitle);
    const double size = nearest(1.3 * settings.fontSize);
    const std::size_t pairs = std::min(songs.size(), pages.size());
    for (std::size_t i = 0; i < pairs; ++i) {
        const PreparedSong& song = songs[i];
        std::vector<std::string> parts;
        if (song.soundingKey) parts.push_back(song.soundingKey->name(settings.accidentals));
        if (song.capo > 0) parts.push_back("capo " + std::to_string(song.capo));
        std::optional<std::string> detail;
        if (!parts.empty()) detail = joined(parts, " \u00B7 ");
        rows.push_back(entryRow(size, std::to_string(i + 1) + ". " + song.song.displayTitle(), detail, pages[i], true,
                                false, serif()));
    }
    return rows;
}

std::vector<Row> BookLayouter::contentsRows(const std::vector<PreparedSong>& songs, const std::vector<int>& pages) const
{
    std::vector<Row> rows = headingRows(bookTitle.empty() ? "Songbook" : bookTitle,
                                        subtitle.empty() ? "Contents" : subtitle + " \u00B7 Contents");
    const double size = std::max(13.0, nearest(0.9 * settings.fontSize));
    const std::size_t pairs = std::min(songs.size(), pages.size());
    for (std::size_t i = 0; i < pairs; ++i) {
        std::optional<std::string> detail;
        if (songs[i].soundingKey) detail = songs[i].soundingKey->name(settings.accidentals);
        rows.push_back(entryRow(size, songs[i].song.displayTitle(), detail, pages[i], false, false, serif()));
    }
    return rows;
}

std::vector<Row> BookLayouter::indexRows(const std::vector<IndexEntry>& entries) const
{
    std::vector<Row> rows = headingRows("Index", "Titles, and first lines in italics");
    const double F = settings.fontSize;
    const double E = std::max(12.0, nearest(0.8 * F));
    const double L = std::max(11.0, nearest(0.75 * F));
    std::optional<std::string> lastLetter;
    for (const IndexEntry& entry : entries) {
        std::string key = sortKey(entry.text);
        if (!key.empty()) {
            std::string letter = Platform::Text::uppercased(Platform::Text::firstCharacter(key));
            if (letter != lastLetter) {
                rows.push_back(Row{nearest(1.8 * L),
                                   {Run{letter, 0, nearest(1.5 * L), FontSpec{L, true, false, false, false}, Ink::accent}},
                                   {},
                                   0});
                lastLetter = std::move(letter);
            }
        }
        rows.push_back(entryRow(E, entry.text, std::nullopt, entry.page, false, entry.isFirstLine, serif()));
    }
    return rows;
}

} // namespace TunequillKit
