#include "FolmiraKit/Render/RenderOp.h"

namespace FolmiraKit::Renderer {

bool Op::Text::operator==(const Text& other) const
{
    if (firstLine != other.firstLine || lineCount != other.lineCount || rect != other.rect || origins != other.origins)
        return false;
    if (!layout || !other.layout) return layout == other.layout;
    if (layout->text() != other.layout->text()) return false;
    const auto& mine = layout->lines();
    const auto& theirs = other.layout->lines();
    if (mine.size() != theirs.size()) return false;
    for (std::size_t i = 0; i < mine.size(); ++i)
        if (mine[i].start != theirs[i].start || mine[i].length != theirs[i].length || mine[i].x != theirs[i].x)
            return false;
    return true;
}

bool Op::Image::operator==(const Image& other) const
{
    return rect == other.rect && data == other.data;
}

} // namespace FolmiraKit::Renderer
