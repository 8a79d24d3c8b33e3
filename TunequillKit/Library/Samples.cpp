#include "TunequillKit/Library/Samples.h"

#include "TunequillKit/Song/ChordProParser.h"
#include "TunequillKit/Song/SongFile.h"

#include <filesystem>

namespace TunequillKit::Samples {
namespace {

struct BookPlan {
    std::string_view name;
    BookKind kind;
    std::string_view subtitle;
    std::array<std::string_view, 5> titles;
};

constexpr std::array<BookPlan, 2> books = {{
    {"Sunday Hymns", BookKind::book, "Sample songbook",
     {"Amazing Grace", "Holy, Holy, Holy", "Shall We Gather at the River", "Simple Gifts", "Swing Low, Sweet Chariot"}},
    {"Campfire Night", BookKind::setList, "Saturday at the lake",
     {"Down in the Valley", "Red River Valley", "Home on the Range", "Swing Low, Sweet Chariot", "Amazing Grace"}},
}};

// The samples were added one second apart from this moment (2026-10-03 04:00 UTC).
constexpr double firstAddedUnixTime = 1791000000;

} // namespace

Library library()
{
    Library out;
    std::vector<std::string> titles;
    for (std::size_t n = 0; n < all.size(); ++n) {
        std::string fallback = std::filesystem::path(all[n].file).stem().string();
        StoredSong song;
        song.id = Uuid::random();
        song.source = SongFile::chordPro(all[n].text, fallback);
        song.added = Date::fromUnixTime(firstAddedUnixTime + static_cast<double>(n));
        titles.push_back(ChordProParser::parse(song.source).title);
        out.songs.push_back(std::move(song));
    }
    for (const BookPlan& plan : books) {
        std::vector<SongEntry> entries;
        for (std::string_view title : plan.titles)
            for (std::size_t i = 0; i < titles.size(); ++i)
                if (titles[i] == title) {
                    entries.push_back(SongEntry{Uuid::random(), out.songs[i].id, 0, std::nullopt});
                    break;
                }
        out.books.emplace_back(Uuid::random(), std::string(plan.name), plan.kind, std::move(entries),
                               std::string(plan.subtitle));
    }
    return out;
}

} // namespace TunequillKit::Samples
