#pragma once

// One unit of a document's flow: a heading, paragraph, list item, table,
// picture or rule.

#include "FolmiraKit/Model/PictureData.h"
#include "FolmiraKit/Model/Run.h"

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace FolmiraKit {

// An image the document shows, sized for display in points (1/72 inch).
struct Picture {
    PictureData data; // the encoded image as read (PNG when cut out of a PDF page)
    double width = 0;
    double height = 0;
    std::string alt; // empty when the source gives none

    // Sizes compare numerically (a NaN is never equal), alt texts canonically.
    bool operator==(const Picture& other) const;
};

class Block {
public:
    using Cell = Runs;
    using Row = std::vector<Cell>;

    struct Heading {
        int level = 1; // 1 is the top level
        Runs runs;
        bool operator==(const Heading&) const = default;
    };
    struct Paragraph {
        Runs runs;
        bool lineBreaks = false; // the runs hold line feeds between kept lines
        bool operator==(const Paragraph&) const = default;
    };
    struct ListItem {
        std::string marker; // "•", or a number or letter with its punctuation ("1.", "a)")
        int level = 0;      // nesting depth, 0 at the top
        Runs runs;          // the item's text without its marker
        bool operator==(const ListItem& other) const; // markers compare canonically
    };
    struct Table {
        std::vector<Row> rows; // rows may have different numbers of cells
        bool header = false;   // the first row is a header row
        bool operator==(const Table&) const = default;
        // More of its cells begin right to left than left to right: its
        // first column stands at the right.
        bool readsRightToLeft() const { return rowsReadRightToLeft(rows); }
        static bool rowsReadRightToLeft(const std::vector<Row>& rows);
    };
    struct Image {
        Picture picture;
        bool operator==(const Image&) const = default;
    };
    struct Rule {
        bool operator==(const Rule&) const = default;
    };

    using Value = std::variant<Heading, Paragraph, ListItem, Table, Image, Rule>;

    Block(Value value) : value_(std::move(value)) {}
    template <typename Case>
        requires(!std::is_same_v<std::remove_cvref_t<Case>, Block> &&
                 !std::is_same_v<std::remove_cvref_t<Case>, Value> && std::is_constructible_v<Value, Case &&>)
    Block(Case&& value) : value_(std::forward<Case>(value))
    {
    }

    static Block heading(int level, Runs runs) { return Heading{level, std::move(runs)}; }
    static Block paragraph(Runs runs, bool lineBreaks = false) { return Paragraph{std::move(runs), lineBreaks}; }
    static Block listItem(std::string marker, int level, Runs runs)
    {
        return ListItem{std::move(marker), level, std::move(runs)};
    }
    static Block table(std::vector<Row> rows, bool header) { return Table{std::move(rows), header}; }
    static Block image(Picture picture) { return Image{std::move(picture)}; }
    static Block rule() { return Rule{}; }

    const Value& value() const { return value_; }
    Value& value() { return value_; }
    template <typename Case>
    const Case* as() const { return std::get_if<Case>(&value_); }
    template <typename Case>
    Case* as() { return std::get_if<Case>(&value_); }

    bool isHeading() const { return std::holds_alternative<Heading>(value_); }

    // Headings, paragraphs and list items: their runs (no marker). Tables: cells
    // joined by " ", rows by "\n". Images: the alt text. Rules: "".
    std::string plainText() const;

    bool operator==(const Block&) const = default;

private:
    Value value_;
};

using Blocks = std::vector<Block>;

} // namespace FolmiraKit
