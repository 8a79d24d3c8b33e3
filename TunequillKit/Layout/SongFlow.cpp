#include "TunequillKit/Layout/SongFlow.h"

#include "TunequillKit/Layout/Cancel.h"

#include <algorithm>

namespace TunequillKit {

namespace {

bool isBreak(const Block& b) { return b.kind == BlockKind::pageBreak || b.kind == BlockKind::columnBreak; }

// The height a block counts with when it may be split: its first two rows.
double leadHeight(const Block& b)
{
    double h = 0;
    for (std::size_t i = 0; i < b.rows.size() && i < 2; ++i) h += b.rows[i].height;
    return h;
}

} // namespace

BookLayouter::Flow::Flow(const BookLayouter::Geometry& g, double fontSize_, bool serif_, int firstNumber_)
    : geometry(&g), fontSize(fontSize_), serif(serif_), y(g.top()), firstNumber(firstNumber_)
{
}

BookLayouter::Flow BookLayouter::Flow::trialCopy() const
{
    Flow copy(*geometry, fontSize, serif, firstNumber);
    if (!pages.empty()) copy.pages.push_back(pages.back());
    copy.dropped = pageCount() - static_cast<int>(copy.pages.size());
    copy.column = column;
    copy.y = y;
    copy.song = song;
    copy.continuing = continuing;
    return copy;
}

BookLayouter::Flow BookLayouter::Flow::fresh() const { return Flow(*geometry, fontSize, serif, 1); }

void BookLayouter::Flow::songPages(const std::vector<PreparedSong>& songs, const Typesetter& typesetter,
                                   TypesetCache* cache, TunequillKit::Flow mode, bool spreads)
{
    const double top = geometry->top();
    for (std::size_t i = 0; i < songs.size(); ++i) {
        const int index = static_cast<int>(i);
        const std::string title = songs[i].song.displayTitle();
        checkCancelled();
        const TypesetCache::Blocks kept = cache ? cache->blocks(typesetter, songs[i]) : nullptr;
        const std::vector<Block> made = kept ? std::vector<Block>{} : typesetter.blocks(songs[i]);
        const std::vector<Block>& blocks = kept ? *kept : made;
        if (mode == TunequillKit::Flow::flowing) {
            if (pageCount() == 0) {
                newPage();
            } else if (y > top + 0.5) {
                y += nearest(1.4 * fontSize);
                Flow trial = trialCopy();
                trial.place(index, title, blocks);
                if (trial.pageCount() > pageCount()) {
                    // It would be split: start it on a new page when it fits on one.
                    Flow alone = fresh();
                    alone.newPage();
                    alone.place(index, title, blocks);
                    if (alone.pageCount() == 1) newPage();
                }
            }
        } else {
            if (spreads && (firstNumber + pageCount()) % 2 != 0) {
                // A song of two pages or more opens on a left-hand (even) page.
                Flow alone = fresh();
                alone.newPage();
                alone.place(index, title, blocks);
                if (alone.pageCount() > 1) {
                    LaidPage blank;
                    blank.number = firstNumber + pageCount();
                    blank.kind = PageKind::blank;
                    blank.showNumber = false;
                    pages.push_back(std::move(blank));
                }
            }
            newPage();
        }
        place(index, title, blocks);
    }
    song.reset();
}

void BookLayouter::Flow::newPage()
{
    LaidPage page;
    page.number = firstNumber + pageCount();
    page.kind = PageKind::song;
    pages.push_back(std::move(page));
    column = 0;
    y = geometry->top();
    if (!continuing || !song) return;

    const double s = std::clamp(nearest(0.5 * fontSize), 9.0, 12.0);
    const double height = nearest(1.4 * s);
    Row row{height, {Run{song->second + " (continued)", 0, s, FontSpec{s, false, true, false, serif}, Ink::muted}}, {},
            0};
    // In the top margin, above the frame; the pen stays at the frame's top.
    Platform::Point origin{geometry->frame.x, std::max(4.0, geometry->top() - height - 6)};
    pages.back().rows.push_back(PlacedRow{std::move(row), origin, std::nullopt, std::nullopt});
    pages.back().songs.push_back(song->first);
}

void BookLayouter::Flow::advance()
{
    if (column + 1 < geometry->columns && pageCount() > 0) {
        ++column;
        y = geometry->top();
    } else {
        newPage();
    }
}

void BookLayouter::Flow::place(int index, const std::string& title, const std::vector<Block>& blocks)
{
    song = std::make_pair(index, title);
    continuing = false;
    const double top = geometry->top(), bottom = geometry->bottom(), frameHeight = geometry->frame.height;
    int start = pages.empty() ? firstNumber : pages.back().number;

    bool first = true;   // this block follows no block that keeps with it
    double carried = 0;  // height of the chain already placed that keeps with this block
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        const Block& b = blocks[k];
        if (b.kind == BlockKind::pageBreak) {
            newPage();
        } else if (b.kind == BlockKind::columnBreak) {
            if (column + 1 < geometry->columns && pageCount() > 0) {
                ++column;
                y = top;
            } else {
                newPage();
            }
        }
        if (isBreak(b)) {
            first = true;
            carried = 0;
            continue;
        }

        const double h = b.height();
        double need = h, total = h;
        for (std::size_t j = k; blocks[j].keepWithNext && j + 1 < blocks.size() && !isBreak(blocks[j + 1]); ++j) {
            need += blocks[j].spaceAfter;
            total += blocks[j].spaceAfter;
            const double next = blocks[j + 1].height();
            need += total + next <= frameHeight ? next : leadHeight(blocks[j + 1]);
            total += next;
        }
        const bool tooTall = !first && carried + h > frameHeight;

        if (y <= top + 0.5) {
        } else if (first && need > bottom - y && need <= frameHeight) {
            advance();
        } else if (h <= bottom - y || h > frameHeight || tooTall) {
        } else {
            advance();
        }

        if (k == 0) start = pages.empty() ? firstNumber : pages.back().number;
        placeBlock(b, static_cast<int>(k), title);
        continuing = true;
        if (b.keepWithNext) {
            carried = (first ? 0 : carried) + h + b.spaceAfter;
            first = false;
        } else {
            first = true;
            carried = 0;
        }
        y += b.spaceAfter;
    }

    if (index >= 0 && static_cast<std::size_t>(index) < starts.size())
        starts[static_cast<std::size_t>(index)] = start;
    else
        starts.push_back(start);
    // Between songs nothing is continuing: the next song's first page must not
    // carry this song's "(continued)" line.
    continuing = false;
}

void BookLayouter::Flow::placeBlock(const Block& block, int blockIndex, const std::string& title)
{
    const double top = geometry->top(), bottom = geometry->bottom();
    if (block.height() > geometry->frame.height)
        warnings.push_back(title + ": a section is longer than a page, so it continues on the next column or page.");

    std::optional<double> segment;
    for (std::size_t r = 0; r < block.rows.size(); ++r) {
        const Row& row = block.rows[r];
        const bool fits = row.height <= bottom - y || y <= top + 0.5;
        if (!fits) {
            if (r != 0 && block.barX && segment && *segment < y) addBar(*segment, y, *block.barX);
            advance();
            segment = y;
        } else if (r == 0) {
            segment = y;
        }
        put(row, blockIndex);
    }
    if (block.barX && segment && *segment < y) addBar(*segment, y, *block.barX);
}

void BookLayouter::Flow::addBar(double y0, double y1, double barX)
{
    if (pages.empty()) return;
    pages.back().bars.push_back(Platform::Rect{geometry->columnLeft(column) + barX, y0 + 2, 0, (y1 - y0) - 4});
}

void BookLayouter::Flow::put(const Row& row, int blockIndex)
{
    if (pages.empty()) newPage();
    LaidPage& page = pages.back();
    std::optional<int> songIndex = song ? std::optional<int>(song->first) : std::nullopt;
    page.rows.push_back(PlacedRow{row, {geometry->columnLeft(column) + row.indent, y}, songIndex, blockIndex});
    y += row.height;
    if (songIndex && std::find(page.songs.begin(), page.songs.end(), *songIndex) == page.songs.end())
        page.songs.push_back(*songIndex);
}

} // namespace TunequillKit
