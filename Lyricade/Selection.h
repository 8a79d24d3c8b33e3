#pragma once

// What the songbook sidebar selects, and what the preview shows.

#include "TunequillKit/Library/Identity.h"
#include "TunequillKit/Song/Enums.h"

#include <QString>

#include <optional>
#include <string_view>

namespace Lyricade {

// A songbook or set list by its id, or All Songs.
class SidebarItem {
public:
    static SidebarItem allSongs() { return SidebarItem(std::nullopt); }
    static SidebarItem book(TunequillKit::Uuid id) { return SidebarItem(id); }

    bool isAllSongs() const { return !book_; }
    // The book's id; none for All Songs.
    const std::optional<TunequillKit::Uuid>& bookID() const { return book_; }

    bool operator==(const SidebarItem&) const = default;

private:
    explicit SidebarItem(std::optional<TunequillKit::Uuid> book) : book_(book) {}
    std::optional<TunequillKit::Uuid> book_;
};

enum class PreviewMode { pages, booklet };

std::string_view toString(PreviewMode mode);
QString title(PreviewMode mode); // "Pages", "Booklet"

} // namespace Lyricade

namespace TunequillKit {
template <>
std::optional<Lyricade::PreviewMode> fromString<Lyricade::PreviewMode>(std::string_view text);
template <>
inline constexpr std::array<Lyricade::PreviewMode, 2> allCases<Lyricade::PreviewMode> = {
    Lyricade::PreviewMode::pages, Lyricade::PreviewMode::booklet};
} // namespace TunequillKit

template <>
struct std::hash<Lyricade::SidebarItem> {
    std::size_t operator()(const Lyricade::SidebarItem& item) const noexcept
    {
        return item.bookID() ? std::hash<TunequillKit::Uuid>{}(*item.bookID()) : 0x5a5a5a5au;
    }
};
