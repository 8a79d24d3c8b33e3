#include "TunequillKit/Layout/TypesetCache.h"

#include "TunequillKit/Layout/Fonts.h"

#include <algorithm>

namespace TunequillKit {

TypesetCache::Shelf& TypesetCache::shelf(const Typesetter& typesetter)
{
    Context context{typesetter.settings, typesetter.width, typesetter.measurer, Fonts::sansFaces};
    if (current_ && current_->context == context) return *current_;
    auto found = std::find_if(shelves_.begin(), shelves_.end(), [&](const Shelf& s) { return s.context == context; });
    if (found == shelves_.end()) {
        shelves_.push_back(Shelf{std::move(context), {}, layout_});
        found = std::prev(shelves_.end());
    }
    current_ = &*found;
    return *current_;
}

TypesetCache::Blocks TypesetCache::blocks(const Typesetter& typesetter, const PreparedSong& song)
{
    Shelf& s = shelf(typesetter);
    s.used = layout_;
    const std::size_t hash = std::hash<PreparedSong>{}(song);
    auto [first, last] = s.entries.equal_range(hash);
    for (auto it = first; it != last; ++it)
        if (it->second.song == song) {
            it->second.used = layout_;
            return it->second.blocks;
        }
    auto made = std::make_shared<const std::vector<Block>>(typesetter.blocks(song));
    ++typeset_;
    s.entries.emplace(hash, Entry{song, made, layout_});
    return made;
}

void TypesetCache::finishLayout()
{
    if (current_) std::erase_if(current_->entries, [&](const auto& item) { return item.second.used != layout_; });
    current_ = nullptr;
    if (shelves_.size() > contextLimit) {
        std::sort(shelves_.begin(), shelves_.end(), [](const Shelf& a, const Shelf& b) { return a.used > b.used; });
        shelves_.resize(contextLimit);
    }
    ++layout_;
}

std::size_t TypesetCache::size() const
{
    std::size_t n = 0;
    for (const Shelf& s : shelves_) n += s.entries.size();
    return n;
}

} // namespace TunequillKit
