#pragma once

// Paginates a book: the set-list and contents pages at the front, the songs
// flowed into columns and pages, the index at the back. Decides every page and
// column break; draws nothing. Pure, apart from the typeset cache it may be
// given, which only ever hands back what the typesetter would make.

#include "TunequillKit/Layout/BookLayout.h"
#include "TunequillKit/Layout/PreparedSong.h"
#include "TunequillKit/Layout/TextMeasurer.h"
#include "TunequillKit/Layout/TypesetCache.h"
#include "TunequillKit/Layout/Typesetter.h"
#include "TunequillKit/Library/BookSettings.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace TunequillKit {

class BookLayouter {
public:
    // The content frame and its columns, from the settings.
    struct Geometry {
        Platform::Size page;
        Platform::Rect frame; // inside the margins, above the footer band when pages are numbered
        int columns = 1;
        double gap = 0;
        double columnWidth = 0;

        double top() const { return frame.y; }
        double bottom() const { return frame.y + frame.height; }
        double columnLeft(int column) const { return frame.x + column * (columnWidth + gap); }
    };

    struct Flow; // the song flow of one layout call (internal)

    BookSettings settings;
    std::shared_ptr<const TextMeasurer> measurer;
    std::string bookTitle;
    std::string subtitle;
    // Songs' blocks kept from earlier layouts; none typesets every song afresh.
    std::shared_ptr<TypesetCache> cache;

    BookLayouter(BookSettings settings, std::shared_ptr<const TextMeasurer> measurer, std::string bookTitle,
                 std::string subtitle);

    // The whole book. Song indices everywhere are places in `songs`. Throws
    // only Cancelled, once the calling thread's cancel flag is set.
    BookLayout layout(const std::vector<PreparedSong>& songs) const;

    Geometry geometry() const;
    // List rows onto pages: a row that would cross the bottom starts a new page
    // (unless it is the page's first). Always at least one page.
    std::vector<std::vector<PlacedRow>> paginate(const std::vector<Row>& rows) const;

    // List pages. Songs and pages pair by position, as many as the shorter list.
    std::vector<Row> headingRows(const std::string& title, const std::string& subtitle) const;
    Row entryRow(double size, std::string text, const std::optional<std::string>& detail, std::optional<int> page,
                 bool bold, bool italic, bool serif) const;
    std::vector<Row> setListRows(const std::vector<PreparedSong>& songs, const std::vector<int>& pages) const;
    std::vector<Row> contentsRows(const std::vector<PreparedSong>& songs, const std::vector<int>& pages) const;
    std::vector<IndexEntry> indexEntries(const std::vector<PreparedSong>& songs, const std::vector<int>& starts) const;
    std::vector<Row> indexRows(const std::vector<IndexEntry>& entries) const;

private:
    bool serif() const;
    double measure(std::string_view text, const FontSpec& font) const { return measurer->width(text, font); }
    std::string shortened(std::string text, const FontSpec& font, double limit) const;
};

} // namespace TunequillKit
