#pragma once

// The large-print layout: blocks in, pages of drawing operations out, for one
// column of text in large type. One Layout belongs to one render on one thread:
// it is made from the already clamped settings, fed every block in document
// order (each with the block after it as a look-ahead), finished once, then
// read for its geometry and counts.

#include "FolmiraKit/Model/Block.h"
#include "FolmiraKit/Render/LargePrintSettings.h"
#include "FolmiraKit/Render/RenderOp.h"
#include "Platform/TextLayout.h"

#include <map>
#include <tuple>
#include <vector>

namespace FolmiraKit::Renderer {

class Layout {
public:
    explicit Layout(const LargePrintSettings& settings);
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    // Lays out one block; `next` is the block after it, or null for the last.
    void add(const Block& block, const Block* next);
    // Closes the current page and gives every page, in order (at least one).
    std::vector<Page> finish();

    // Geometry, in points, fixed by the settings.
    const LargePrintSettings settings; // clamped
    const Platform::Size page;        // the paper
    const double margin;              // on all four sides
    const double size;                // body type size
    const double left;                // the text column's left edge
    const double width;               // the text column's width
    const double top;                 // the top of the text area
    const double bottom;              // the bottom of the text area (above the page number)

    int droppedImages() const { return droppedImages_; } // left out: pictures are off
    int listedTables() const { return listedTables_; }   // laid out row by row

    // The state of the page being filled (the layout fills downwards).
    double cursor() const { return cursor_; }
    bool fresh() const { return fresh_; }
    const std::vector<Op>& ops() const { return ops_; }

    // Text about to be flowed: styled text, how its lines sit, and their pitch.
    struct Paragraph {
        Platform::AttributedText text;
        Platform::ParagraphFormat format;
        double lineHeight = 0; // fixed distance between baselines
    };

private:
    // Page handling.
    void newPage();

    // Text.
    Paragraph paragraphStyle(double base, double firstIndent, double headIndent) const;
    // Appends runs in one type size: bold when the run is or `alwaysBold`; line
    // feeds become line separators when `keepBreaks`, else spaces.
    void appendRuns(Paragraph& paragraph, const Runs& runs, double typeSize, bool alwaysBold, bool keepBreaks);
    Platform::Font font(double typeSize, bool bold, bool italic);
    // Text without the control characters (C0, DEL, C1) that Pango would draw
    // as hex boxes (tab kept);
    // line feeds become line separators when `keepBreaks`, else spaces.
    static std::string cleanText(std::string_view text, bool keepBreaks);
    double measureLine(double typeSize, const std::string& text, bool bold);
    void flowText(double indent, double keep, const Paragraph& paragraph);

    // Blocks.
    void heading(const Block::Heading& heading, const Block* next);
    void paragraph(const Block::Paragraph& paragraph);
    void listItem(const Block::ListItem& item, const Block* next);
    void table(const Block::Table& table);
    void picture(const Picture& picture);
    void rule();

    // Tables (LayoutTable.cpp).
    bool tableGrid(const std::vector<Block::Row>& rows, bool header);
    void tableAsList(const std::vector<Block::Row>& rows, bool header);

    std::vector<Page> pages_;
    std::vector<Op> ops_;
    double cursor_;
    bool fresh_ = true;
    int droppedImages_ = 0;
    int listedTables_ = 0;
    std::map<std::tuple<double, bool, bool>, Platform::Font> fonts_; // looked up once per render
};

} // namespace FolmiraKit::Renderer
