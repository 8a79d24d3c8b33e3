#include "TunequillKit/Layout/BookLayouter.h"

#include "TunequillKit/Layout/SongFlow.h"

#include <algorithm>

namespace TunequillKit {

BookLayouter::BookLayouter(BookSettings settings_, std::shared_ptr<const TextMeasurer> measurer_,
                           std::string bookTitle_, std::string subtitle_)
    : settings(std::move(settings_)), measurer(std::move(measurer_)), bookTitle(std::move(bookTitle_)),
      subtitle(std::move(subtitle_))
{
}

bool BookLayouter::serif() const { return settings.typeface == Typeface::serif; }

BookLayouter::Geometry BookLayouter::geometry() const
{
    Geometry g;
    g.page = size(settings.pageSize);
    const double m = settings.margin;
    const double footer = settings.pageNumbers ? 26 : 0;
    g.frame = Platform::Rect{m, m, g.page.width - 2 * m, g.page.height - 2 * m - footer};
    // The setter stores any number; a column count outside 1…2 would divide by
    // zero or squeeze the columns to nothing.
    g.columns = std::clamp(settings.columns, 1, 2);
    g.gap = nearest(1.3 * settings.fontSize);
    g.columnWidth = (g.frame.width - (g.columns - 1) * g.gap) / g.columns;
    return g;
}

std::vector<std::vector<PlacedRow>> BookLayouter::paginate(const std::vector<Row>& rows) const
{
    const Geometry g = geometry();
    std::vector<std::vector<PlacedRow>> pages(1);
    double y = g.top();
    for (const Row& row : rows) {
        if (y + row.height > g.bottom() && !pages.back().empty()) {
            pages.emplace_back();
            y = g.top();
        }
        pages.back().push_back(PlacedRow{row, {g.frame.x + row.indent, y}, std::nullopt, std::nullopt});
        y += row.height;
    }
    return pages;
}

BookLayout BookLayouter::layout(const std::vector<PreparedSong>& songs) const
{
    const Geometry g = geometry();

    // The list pages are counted with a placeholder number so that the song
    // pages can be numbered before their real start pages are known.
    const std::vector<int> placeholder(songs.size(), 888);
    int setListCount = 0, contentsCount = 0;
    if (settings.setListPage) setListCount = static_cast<int>(paginate(setListRows(songs, placeholder)).size());
    if (settings.tableOfContents) contentsCount = static_cast<int>(paginate(contentsRows(songs, placeholder)).size());

    Flow flow(g, settings.fontSize, serif(), setListCount + contentsCount + 1);
    flow.songPages(songs, Typesetter(settings, measurer, g.columnWidth), cache.get(), settings.flow, settings.spreads);
    if (cache) cache->finishLayout();

    BookLayout out;
    out.pageSize = g.page;
    auto append = [&](std::vector<std::vector<PlacedRow>> pages, PageKind kind, bool showNumber) {
        for (auto& rows : pages) {
            LaidPage page;
            page.number = static_cast<int>(out.pages.size()) + 1;
            page.kind = kind;
            page.rows = std::move(rows);
            page.showNumber = showNumber;
            out.pages.push_back(std::move(page));
        }
    };
    if (settings.setListPage) append(paginate(setListRows(songs, flow.starts)), PageKind::setList, false);
    if (settings.tableOfContents) append(paginate(contentsRows(songs, flow.starts)), PageKind::contents, true);
    for (LaidPage& page : flow.pages) out.pages.push_back(std::move(page));
    if (settings.index) {
        out.indexEntries = indexEntries(songs, flow.starts);
        append(paginate(indexRows(out.indexEntries)), PageKind::index, true);
    }

    out.songStartPages = flow.starts;
    out.warnings = std::move(flow.warnings);
    for (const PreparedSong& song : songs)
        for (std::string& warning : song.chordWarnings()) out.warnings.push_back(song.song.displayTitle() + ": " + warning);
    const std::size_t pairs = std::min(songs.size(), flow.starts.size());
    for (std::size_t i = 0; i < pairs; ++i) out.contentsEntries.push_back({songs[i].song.displayTitle(), flow.starts[i]});
    return out;
}

} // namespace TunequillKit
