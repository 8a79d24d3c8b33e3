#include "TunequillKit/Library/Library.h"

#include "TunequillKit/Song/ChordProParser.h"

#include <unordered_set>

namespace TunequillKit {

Song StoredSong::song() const { return ChordProParser::parse(source); }

Songbook::Songbook(Uuid id, std::string name, BookKind kind, std::vector<SongEntry> entries, std::string subtitle,
                   std::optional<BookSettings> settings)
    : id(id), name(std::move(name)), kind(kind), entries(std::move(entries)), subtitle(std::move(subtitle)),
      settings(settings ? *settings : BookSettings::forKind(kind))
{
}

namespace {

template <typename Item>
std::size_t renewRepeatedIDs(std::vector<Item>& items)
{
    std::unordered_set<Uuid> seen;
    std::size_t renewed = 0;
    for (Item& item : items) {
        if (seen.insert(item.id).second) continue;
        do item.id = Uuid::random();
        while (!seen.insert(item.id).second);
        ++renewed;
    }
    return renewed;
}

} // namespace

std::size_t Library::renewDuplicateIDs()
{
    std::size_t renewed = renewRepeatedIDs(songs) + renewRepeatedIDs(books);
    for (Songbook& book : books) renewed += renewRepeatedIDs(book.entries);
    return renewed;
}

} // namespace TunequillKit

std::size_t std::hash<TunequillKit::StoredSong>::operator()(const TunequillKit::StoredSong& s) const noexcept
{
    using TunequillKit::detail::hashCombine;
    std::size_t seed = 0;
    hashCombine(seed, s.id);
    hashCombine(seed, s.source);
    TunequillKit::detail::hashOptional(seed, s.fileName);
    hashCombine(seed, s.added);
    return seed;
}

std::size_t std::hash<TunequillKit::SongEntry>::operator()(const TunequillKit::SongEntry& e) const noexcept
{
    using TunequillKit::detail::hashCombine;
    std::size_t seed = 0;
    hashCombine(seed, e.id);
    hashCombine(seed, e.songID);
    hashCombine(seed, e.transpose);
    TunequillKit::detail::hashOptional(seed, e.capo);
    return seed;
}

std::size_t std::hash<TunequillKit::Songbook>::operator()(const TunequillKit::Songbook& b) const noexcept
{
    using TunequillKit::detail::hashCombine;
    std::size_t seed = 0;
    hashCombine(seed, b.id);
    hashCombine(seed, b.name);
    hashCombine(seed, TunequillKit::toString(b.kind));
    hashCombine(seed, b.entries.size());
    for (const auto& e : b.entries) hashCombine(seed, e);
    hashCombine(seed, b.subtitle);
    hashCombine(seed, b.settings);
    return seed;
}
