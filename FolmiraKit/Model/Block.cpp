#include "FolmiraKit/Model/Block.h"

#include "Platform/Text.h"

namespace FolmiraKit {

bool Picture::operator==(const Picture& other) const
{
    return width == other.width && height == other.height && data == other.data &&
           Platform::Text::canonicallyEqual(alt, other.alt);
}

bool Block::Table::rowsReadRightToLeft(const std::vector<Row>& rows)
{
    int right = 0, left = 0;
    for (const Row& row : rows)
        for (const Cell& cell : row)
            if (auto rtl = Platform::Text::startsRightToLeft(plain(cell))) ++(*rtl ? right : left);
    return right > left;
}

bool Block::ListItem::operator==(const ListItem& other) const
{
    return level == other.level && runs == other.runs && Platform::Text::canonicallyEqual(marker, other.marker);
}

std::string Block::plainText() const
{
    struct Visitor {
        std::string operator()(const Heading& h) const { return plain(h.runs); }
        std::string operator()(const Paragraph& p) const { return plain(p.runs); }
        std::string operator()(const ListItem& item) const { return plain(item.runs); }
        std::string operator()(const Table& table) const
        {
            std::string out;
            for (std::size_t r = 0; r < table.rows.size(); ++r) {
                if (r > 0) out += '\n';
                for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
                    if (c > 0) out += ' ';
                    out += plain(table.rows[r][c]);
                }
            }
            return out;
        }
        std::string operator()(const Image& image) const { return image.picture.alt; }
        std::string operator()(const Rule&) const { return {}; }
    };
    return std::visit(Visitor{}, value_);
}

} // namespace FolmiraKit
