#pragma once

// The song flow of one layout call: pages made so far, the current column and
// pen, start pages and warnings. Trial placements run on cheap copies that hold
// only the last page, so trying a song never copies the whole book.

#include "TunequillKit/Layout/BookLayouter.h"

#include <optional>
#include <string>
#include <vector>

namespace TunequillKit {

struct BookLayouter::Flow {
    const BookLayouter::Geometry* geometry = nullptr;
    double fontSize = 18;
    bool serif = false;

    std::vector<LaidPage> pages; // the pages held; `dropped` earlier ones are not
    int dropped = 0;
    int column = 0;
    double y = 0;
    std::vector<int> starts;
    std::vector<std::string> warnings;
    int firstNumber = 1;
    std::optional<std::pair<int, std::string>> song; // index and title of the song being placed
    bool continuing = false;

    Flow(const BookLayouter::Geometry& geometry, double fontSize, bool serif, int firstNumber);

    int pageCount() const { return dropped + static_cast<int>(pages.size()); }
    // Flows the songs, each typeset by `typesetter` (through `cache` when given).
    void songPages(const std::vector<PreparedSong>& songs, const Typesetter& typesetter, TypesetCache* cache,
                   TunequillKit::Flow mode, bool spreads);

    void newPage();
    void advance();
    void place(int index, const std::string& title, const std::vector<Block>& blocks);
    void placeBlock(const Block& block, int blockIndex, const std::string& title);
    void put(const Row& row, int blockIndex);

private:
    Flow trialCopy() const;
    Flow fresh() const;
    void addBar(double y0, double y1, double barX);
};

} // namespace TunequillKit
