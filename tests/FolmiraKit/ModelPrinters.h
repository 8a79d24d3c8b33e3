#pragma once

// Readable GoogleTest output for model values.

#include "FolmiraKit/Model/Block.h"

#include <ostream>

namespace FolmiraKit {

inline void PrintTo(const Run& run, std::ostream* os)
{
    *os << (run.bold ? "b" : "") << (run.italic ? "i" : "") << '"' << run.text << '"';
}

inline void PrintTo(const Runs& runs, std::ostream* os)
{
    *os << '[';
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (i) *os << ", ";
        PrintTo(runs[i], os);
    }
    *os << ']';
}

inline void PrintTo(const Block& block, std::ostream* os)
{
    if (auto* h = block.as<Block::Heading>()) *os << "heading " << h->level << ' ', PrintTo(h->runs, os);
    else if (auto* p = block.as<Block::Paragraph>()) *os << "paragraph" << (p->lineBreaks ? "(breaks) " : " "), PrintTo(p->runs, os);
    else if (auto* l = block.as<Block::ListItem>()) *os << "item " << l->marker << " @" << l->level << ' ', PrintTo(l->runs, os);
    else if (auto* t = block.as<Block::Table>()) *os << "table " << t->rows.size() << " rows" << (t->header ? " +header" : "");
    else if (auto* i = block.as<Block::Image>()) *os << "image " << i->picture.width << 'x' << i->picture.height << " \"" << i->picture.alt << '"';
    else *os << "rule";
}

} // namespace FolmiraKit
