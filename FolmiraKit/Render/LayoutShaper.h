#pragma once

// Shaping a block's text for the layout: the runs made into styled text, the
// text broken into lines at the column width, a table's grid planned. Nothing
// here depends on the page being filled, so that any thread may shape any
// block and the layout places the results in order.
//
// A Shaper belongs to one thread at a time and keeps its own font cache; the
// layouts it makes are Pango's of that thread (see Platform/TextLayout.h).

#include "FolmiraKit/Render/Layout.h"

#include <map>
#include <tuple>

namespace FolmiraKit::Renderer {

class Layout::Shaper {
public:
    // Reads the geometry of `layout`, which must outlive the shaper.
    explicit Shaper(const Layout& layout);

    Shaped shape(const Block& block);

    // Text without the control characters (C0, DEL, C1) that Pango would draw
    // as hex boxes (tab kept); line feeds become line separators when
    // `keepBreaks`, else spaces.
    static std::string cleanText(std::string_view text, bool keepBreaks);

private:
    Paragraph paragraphStyle(double base, double firstIndent, double headIndent) const;
    // Appends runs in one type size: bold when the run is or `alwaysBold`; line
    // feeds become line separators when `keepBreaks`, else spaces.
    void appendRuns(Paragraph& paragraph, const Runs& runs, double typeSize, bool alwaysBold, bool keepBreaks);
    Platform::Font font(double typeSize, bool bold, bool italic);
    // Measured once per text, size and weight on each thread (list markers and
    // table words repeat).
    double measureLine(double typeSize, const std::string& text, bool bold);
    // The paragraph broken into lines at the column width less `indent`.
    Flow flow(double indent, const Paragraph& paragraph) const;

    Shaped heading(const Block::Heading& heading);
    Shaped paragraph(const Block::Paragraph& paragraph);
    Shaped listItem(const Block::ListItem& item);
    Shaped table(const Block::Table& table);

    // Tables (LayoutTable.cpp): the grid, or nothing when it cannot fit.
    std::optional<Grid> tableGrid(const std::vector<Block::Row>& rows, bool header);
    std::vector<Flow> tableAsList(const std::vector<Block::Row>& rows, bool header);

    const Layout& layout_;
    const LargePrintSettings& settings_;
    std::map<std::tuple<double, bool, bool>, Platform::Font> fonts_; // looked up once per render and thread
    std::map<std::tuple<double, bool, std::string>, double> widths_;
};

} // namespace FolmiraKit::Renderer
