// The operations that change the library or the selection: entries of the
// selected book, new and copied books, songs, the search list. Each writes the
// library once, so one save and one preview refresh follow.

#include "Lyricade/AppModel.h"
#include "Lyricade/SongGlue.h"
#include "Platform/Collation.h"
#include "Platform/Text.h"

#include <algorithm>

namespace Lyricade {

using namespace TunequillKit;

namespace {

constexpr const char* newSongTemplate =
    "{title: New Song}\n{artist: }\n{key: G}\n\n{start_of_verse: Verse 1}\n"
    "[G]Words go here, with [C]chords in square [G]brackets\nRight before the [D]syllable they [G]fall on.\n"
    "{end_of_verse}\n\n{start_of_chorus}\n[C]A chorus is [G]printed in bold\n{end_of_chorus}";

// Half steps into −5…+6.
int wrapped(std::int64_t halfSteps)
{
    const int m = static_cast<int>(((halfSteps % 12) + 12) % 12);
    return m <= 6 ? m : m - 12;
}

QString counted(int count, const char* one, const char* many)
{
    return QString::number(count) + QLatin1Char(' ') + QString::fromUtf8(count == 1 ? one : many);
}

std::string joined(const std::vector<std::string>& parts)
{
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : " ") + part;
    return out;
}

} // namespace

void AppModel::moveEntries(const std::set<std::size_t>& fromOffsets, std::size_t toOffset)
{
    auto index = selectedBookIndex();
    if (!index) return;
    changeLibrary([&](Library& library) {
        std::vector<SongEntry>& entries = library.books[*index].entries;
        std::vector<SongEntry> moved, kept;
        std::size_t before = 0; // moved entries that stood before the destination
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (fromOffsets.count(i)) {
                moved.push_back(entries[i]);
                before += i < toOffset;
            } else {
                kept.push_back(entries[i]);
            }
        }
        const std::size_t at = std::min(std::min(toOffset, entries.size()) - before, kept.size());
        kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(at), moved.begin(), moved.end());
        entries = std::move(kept);
    });
}

void AppModel::removeEntries(const std::set<Uuid>& ids)
{
    if (auto index = selectedBookIndex())
        changeLibrary([&](Library& library) {
            std::erase_if(library.books[*index].entries, [&](const SongEntry& e) { return ids.count(e.id) > 0; });
        });
    std::set<Uuid> remaining = selectedEntryIDs_;
    for (const Uuid& id : ids) remaining.erase(id);
    setSelectedEntryIDs(remaining);
}

void AppModel::moveEntries(int by)
{
    auto index = selectedBookIndex();
    if (!index || selectedEntryIDs_.empty()) return;
    const std::vector<SongEntry>& entries = library_.books[*index].entries;
    const Uuid id = *selectedEntryIDs_.begin();
    auto found = std::find_if(entries.begin(), entries.end(), [&](const SongEntry& e) { return e.id == id; });
    if (found == entries.end()) return;
    const auto i = found - entries.begin();
    const auto j = i + by;
    if (j < 0 || j >= static_cast<std::ptrdiff_t>(entries.size())) return;
    changeLibrary([&](Library& library) {
        auto& list = library.books[*index].entries;
        std::swap(list[static_cast<std::size_t>(i)], list[static_cast<std::size_t>(j)]);
    });
}

void AppModel::addSongs(const std::vector<Uuid>& songs, const Uuid& to)
{
    auto book = std::find_if(library_.books.begin(), library_.books.end(), [&](const Songbook& b) { return b.id == to; });
    if (book == library_.books.end()) return;
    const std::size_t index = static_cast<std::size_t>(book - library_.books.begin());
    std::vector<SongEntry> added;
    for (const Uuid& id : songs)
        if (std::any_of(library_.songs.begin(), library_.songs.end(), [&](const StoredSong& s) { return s.id == id; }))
            added.push_back(SongEntry{Uuid::random(), id, 0, std::nullopt});
    changeLibrary([&](Library& library) {
        auto& entries = library.books[index].entries;
        entries.insert(entries.end(), added.begin(), added.end());
    });
    if (!added.empty())
        announce(QStringLiteral("Added ") + counted(static_cast<int>(added.size()), "song", "songs") +
                 QStringLiteral(" to ") + QString::fromStdString(library_.books[index].name));
}

void AppModel::transpose(int by)
{
    if (selection_ == SidebarItem::allSongs()) {
        const int t = wrapped(static_cast<std::int64_t>(editorTranspose_) + by);
        if (t == editorTranspose_)
            schedulePreview(false);
        else
            setEditorTranspose(t);
        return;
    }
    auto index = selectedBookIndex();
    if (!index || selectedEntryIDs_.empty()) return;
    changeLibrary([&](Library& library) {
        for (SongEntry& entry : library.books[*index].entries)
            if (selectedEntryIDs_.count(entry.id)) entry.transpose = wrapped(entry.transpose + by);
    });
}

void AppModel::newSong()
{
    StoredSong song{Uuid::random(), newSongTemplate, std::nullopt, Date::now()};
    const Uuid id = song.id;
    changeLibrary([&](Library& library) { library.songs.push_back(std::move(song)); });
    setSelection(SidebarItem::allSongs());
    setSearch(QString());
    setSelectedSongID(id);
}

void AppModel::newBook(BookKind kind)
{
    const auto n = std::count_if(library_.books.begin(), library_.books.end(),
                                 [&](const Songbook& b) { return b.kind == kind; });
    std::string name = kind == BookKind::book ? "New Songbook" : "New Set List";
    if (n > 0) name += " " + std::to_string(n + 1);
    BookSettings settings = BookSettings::forKind(kind);
    settings.pageSize = style_.page;
    Songbook book(Uuid::random(), name, kind, {}, {}, settings);
    const Uuid id = book.id;
    changeLibrary([&](Library& library) { library.books.push_back(std::move(book)); });
    setSelection(SidebarItem::book(id));
}

void AppModel::duplicateBook(const Uuid& id)
{
    auto found = std::find_if(library_.books.begin(), library_.books.end(), [&](const Songbook& b) { return b.id == id; });
    if (found == library_.books.end()) return;
    Songbook copy = *found;
    copy.id = Uuid::random();
    copy.name += " copy";
    for (SongEntry& entry : copy.entries) entry.id = Uuid::random();
    const Uuid copyID = copy.id;
    changeLibrary([&](Library& library) { library.books.push_back(std::move(copy)); });
    setSelection(SidebarItem::book(copyID));
}

void AppModel::deleteBook(const Uuid& id)
{
    changeLibrary([&](Library& library) { std::erase_if(library.books, [&](const Songbook& b) { return b.id == id; }); });
    if (selection_ == SidebarItem::book(id)) setSelection(SidebarItem::allSongs());
}

void AppModel::updateSource(const Uuid& song, const std::string& source)
{
    auto found = std::find_if(library_.songs.begin(), library_.songs.end(), [&](const StoredSong& s) { return s.id == song; });
    if (found == library_.songs.end() || found->source == source) return;
    const std::size_t index = static_cast<std::size_t>(found - library_.songs.begin());
    changeLibrary([&](Library& library) { library.songs[index].source = source; });
}

std::vector<StoredSong> AppModel::filteredSongs() const
{
    const std::string query = Platform::Text::lowercased(Platform::Text::trimSpacesTabs(search_.toStdString()));
    struct Keyed {
        std::string key;
        const StoredSong* song;
    };
    std::vector<Keyed> kept;
    for (const StoredSong& stored : library_.songs) {
        auto parsed = song(stored.id);
        if (!query.empty()) {
            if (!parsed) continue;
            const auto firstLine = parsed->firstLine();
            const bool matches = Platform::Text::lowercased(parsed->title).find(query) != std::string::npos ||
                                 Platform::Text::lowercased(joined(parsed->artists)).find(query) != std::string::npos ||
                                 (firstLine && Platform::Text::lowercased(*firstLine).find(query) != std::string::npos);
            if (!matches) continue;
        }
        kept.push_back({parsed ? parsed->displayTitle() : std::string(), &stored});
    }
    std::stable_sort(kept.begin(), kept.end(), [](const Keyed& a, const Keyed& b) {
        return Platform::Collation::standardCompare(a.key, b.key) < 0;
    });
    std::vector<StoredSong> out;
    out.reserve(kept.size());
    for (const Keyed& k : kept) out.push_back(*k.song);
    return out;
}

std::vector<Songbook> AppModel::booksContaining(const Uuid& song) const
{
    std::vector<Songbook> out;
    for (const Songbook& book : library_.books)
        if (std::any_of(book.entries.begin(), book.entries.end(), [&](const SongEntry& e) { return e.songID == song; }))
            out.push_back(book);
    return out;
}

void AppModel::deleteSong(const Uuid& id)
{
    changeLibrary([&](Library& library) { std::erase_if(library.songs, [&](const StoredSong& s) { return s.id == id; }); });
    for (std::size_t i = 0; i < library_.books.size(); ++i) {
        const auto& entries = library_.books[i].entries;
        if (std::none_of(entries.begin(), entries.end(), [&](const SongEntry& e) { return e.songID == id; })) continue;
        changeLibrary([&](Library& library) {
            std::erase_if(library.books[i].entries, [&](const SongEntry& e) { return e.songID == id; });
        });
    }
    if (selectedSongID_ == id) {
        const auto remaining = filteredSongs();
        setSelectedSongID(remaining.empty() ? std::nullopt : std::optional<Uuid>(remaining.front().id));
    }
}

AppModel::ImportCounts AppModel::importLibrary(const Library& incoming)
{
    const std::size_t before = library_.books.size();
    SongGlue::Merged merged = SongGlue::merge(incoming, library_);
    setLibrary(std::move(merged.library));
    if (library_.books.size() > before)
        setSelection(SidebarItem::book(library_.books[before].id));
    else
        setSelection(SidebarItem::allSongs());
    return {merged.songsAdded, merged.booksAdded};
}

void AppModel::announce(const QString& text)
{
    // Sent even when the text repeats: the same news twice is announced twice.
    statusText_ = text;
    emit statusTextChanged();
    if (announcer_) announcer_->announce(text);
}

} // namespace Lyricade
