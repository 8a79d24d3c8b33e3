// A library.json whose first book is prepared, laid out and rendered to a PDF
// and a booklet, as the songbook preview does.

#include "TunequillKit/TunequillKit.h"
#include "fuzz/FuzzInput.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace TunequillKit;
    Library library;
    try {
        library = Library::decode(FuzzInput::text(data, size));
    } catch (const LibraryFormatError&) {
        return 0;
    }
    if (library.books.empty()) return 0;
    const Songbook& book = library.books.front();
    std::vector<PreparedSong> songs;
    for (const SongEntry& entry : book.entries) {
        auto stored = std::find_if(library.songs.begin(), library.songs.end(),
                                   [&](const StoredSong& s) { return s.id == entry.songID; });
        if (stored == library.songs.end()) continue;
        songs.emplace_back(stored->song(), entry.transpose, entry.capo, book.settings.accidentals,
                           book.settings.nashville);
    }
    BookLayouter layouter(book.settings, systemMeasurer(), book.name, book.subtitle);
    BookLayout layout = layouter.layout(songs);
    // A PDF that could not be written is a fault, never an empty one.
    try {
        if (Renderer::pdf(layout, book.settings, book.name).empty()) __builtin_trap();
    } catch (const Renderer::PdfFailure&) {
        __builtin_trap();
    }
    return 0;
}
