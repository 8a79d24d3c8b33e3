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
#include <optional>
#include <tuple>
#include <unordered_map>

namespace FolmiraKit::Renderer {

class Layout::Shaper {
public:
    // Reads the geometry of `layout`, which must outlive the shaper.
    explicit Shaper(const Layout& layout);

    Shaped shape(const Piece& piece);

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
    // The same flow without its lines.
    Flow frame(double indent, const Paragraph& paragraph) const;

    // Counting pages only (LayoutCounting.cpp): the lines of a listed row
    // taken from the same lines met before, once all of them were (a listed
    // table repeats its column names on every row), else broken into lines
    // as flow() does and remembered.
    Flow countedFlow(const Paragraph& paragraph);
    std::optional<std::vector<Platform::TextLayout::Line>> countedLines(const Paragraph& paragraph, double measure);
    // A line of a listed row: bytes [from, to) of its text.
    struct Segment {
        std::size_t from = 0;
        std::size_t to = 0;
        std::string key; // see lineKey
    };
    // Sets the lines of `segments` of `paragraph`, none met before, at
    // `measure` and remembers them; false when one did not come out as lines
    // of its own.
    bool learnLines(const Paragraph& paragraph, const std::vector<Segment>& segments, double measure);
    // Appends to `lines` those of every line of `text` met before; false
    // when one was not, unless `unknown` gets those (once each), or when a
    // line may not be set the same everywhere.
    bool knownLinesOf(const Platform::AttributedText& text, std::vector<Platform::TextLayout::Line>& lines,
                      std::vector<Segment>* unknown);
    // Makes `key` what tells the line of bytes [from, to) of `text` from any
    // other: its bytes and their faces; false for a line that may not be set
    // the same everywhere.
    bool lineKey(const Platform::AttributedText& text, std::size_t from, std::size_t to, std::string& key);

    Shaped heading(const Block::Heading& heading);
    Shaped paragraph(const Block::Paragraph& paragraph);
    Shaped listItem(const Block::ListItem& item);

    // Tables (LayoutTable.cpp), a piece of rows at a time.
    Shaped table(const Block::Table& table, const Piece& piece);
    // The whole table's plan: a grid when it fits, else listed.
    TablePlan planTable(const std::vector<Block::Row>& rows, bool header);
    // Column widths from the widest word and whole text of each column (none
    // for a table without cells); nothing when even the widest words cannot
    // fit. `whole` gets every cell's whole width, row by row.
    std::optional<std::vector<double>> tableColumns(const std::vector<Block::Row>& rows, bool header,
                                                    std::vector<double>& whole);
    // Measures rows [from, to): the widest word and whole text of each column
    // into `least` and `most`, each cell's whole width into `whole`, from row
    // `from`'s first cell. Stops once `over` is raised, and raises it once the
    // widest words cannot fit.
    void measureRows(const std::vector<Block::Row>& rows, bool header, std::size_t from, std::size_t to,
                     std::vector<double>& least, std::vector<double>& most, double* whole, std::atomic<bool>& over);
    // Column widths between the least and most each column needs, filling the
    // column of text; nothing when the least cannot fit.
    std::optional<std::vector<double>> columnWidths(const std::vector<double>& least, const std::vector<double>& most) const;
    // The height of a grid row's text at the column widths; `whole` holds its
    // cells' whole widths.
    double rowTextHeight(const Block::Row& row, bool headerRow, const std::vector<double>& columns, const double* whole);
    // A cell's lines at its column width (null without text).
    std::shared_ptr<const Platform::TextLayout> cellText(const Block::Cell& cell, bool headerRow, double column);
    std::vector<Flow> tableAsList(const std::vector<Block::Row>& rows, bool header, const Piece& piece);

    const Layout& layout_;
    const LargePrintSettings& settings_;
    std::map<std::tuple<double, bool, bool>, Platform::Font> fonts_; // looked up once per render and thread
    std::map<std::tuple<double, bool, std::string>, double> widths_;
    // Lines of listed rows met on this thread, by lineKey.
    std::unordered_map<std::string, std::vector<Platform::TextLayout::Line>> lines_;
    std::vector<Platform::Font> lineFonts_; // the faces lines_ has met, by their index in its keys
};

} // namespace FolmiraKit::Renderer
