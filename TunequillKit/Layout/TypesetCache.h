#pragma once

// Typeset blocks kept from one layout to the next, so that a book in which one
// song changed typesets only that song again. An entry is found by everything
// its blocks depend on: the prepared song (its parsed source, transposition,
// capo and chord style), the book's settings, the column width, the measurer
// and the sans faces the font names resolve to (Fonts::sansFaces).
//
// One layout at a time: a cache is not safe to share between threads that lay
// out at once.

#include "TunequillKit/Layout/PreparedSong.h"
#include "TunequillKit/Layout/Typesetter.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace TunequillKit {

class TypesetCache {
public:
    using Blocks = std::shared_ptr<const std::vector<Block>>;

    // The blocks `typesetter` makes of `song`: kept ones when the same song
    // was typeset with the same settings, width, measurer and faces before.
    Blocks blocks(const Typesetter& typesetter, const PreparedSong& song);

    // Ends a layout: entries of its context that it did not ask for (songs
    // since edited or taken out) are dropped, and the contexts least recently
    // used beyond `contextLimit` go with them.
    void finishLayout();

    // Songs kept, over all contexts; and typesettings done since the cache was made.
    std::size_t size() const;
    std::size_t typeset() const { return typeset_; }

    static constexpr std::size_t contextLimit = 4; // a book, its one-song preview and a couple of others

private:
    // What every block of a layout depends on besides the song.
    struct Context {
        BookSettings settings;
        double width = 0;
        std::shared_ptr<const TextMeasurer> measurer; // held, so its address is never another's
        std::optional<std::vector<std::string>> faces;
        bool operator==(const Context&) const = default;
    };
    struct Entry {
        PreparedSong song;
        Blocks blocks;
        std::size_t used = 0; // the layout that last asked for it
    };
    struct Shelf {
        Context context;
        std::unordered_multimap<std::size_t, Entry> entries; // by the song's hash
        std::size_t used = 0;
    };

    Shelf& shelf(const Typesetter& typesetter);

    std::vector<Shelf> shelves_;
    Shelf* current_ = nullptr;
    std::size_t layout_ = 1;
    std::size_t typeset_ = 0;
};

} // namespace TunequillKit
