#pragma once

// Songbook PDFs made from values, away from the main thread. The model takes
// what a render needs from its state (the parsed songs, shared read-only, and
// the settings) into a BookRequest on the main thread; the worker lays out,
// draws and imposes it. The maker keeps the songs' typeset blocks between
// renders, so an edit typesets only the song that changed, and renders one
// request at a time.

#include "Platform/Text.h" // Bytes
#include "TunequillKit/Layout/TypesetCache.h"
#include "TunequillKit/Library/BookSettings.h"
#include "TunequillKit/Render/BookletMaker.h"
#include "TunequillKit/Render/ShapedTexts.h"
#include "TunequillKit/Song/Song.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace Lyricade {

struct BookRequest {
    struct Entry {
        std::shared_ptr<const TunequillKit::Song> song;
        std::int64_t transpose = 0;
        std::optional<std::int64_t> capo; // none: the song's own
    };

    std::vector<Entry> entries;             // in book order; empty renders nothing
    TunequillKit::BookSettings settings;    // the effective ones
    TunequillKit::Accidentals accidentals = TunequillKit::Accidentals::automatic;
    bool nashville = false;
    std::string title;
    std::string subtitle;
    std::optional<std::vector<std::string>> faces; // the sans faces (Fonts::sansFaces)
    // A single song: its parse warnings are reported instead of the layout's,
    // and booklet sheets that fail fall back to the pages, unchecked for shrinking.
    bool single = false;
    bool booklet = false;
    TunequillKit::BookletMaker::Sheet sheet = TunequillKit::BookletMaker::Sheet::natural;
};

// A rendered book: no PDF when there is nothing to show; `pages` counts pages,
// or sheet sides for booklets.
struct BookRender {
    std::optional<Platform::Bytes> pdf;
    int pages = 0;
    std::vector<std::string> warnings;
    std::string failure; // why there is no PDF, when it could not be written (also the last warning)
};

class BookMaker {
public:
    virtual ~BookMaker() = default;

    // Any thread; one call at a time runs, others wait. Throws
    // TunequillKit::Cancelled once the calling thread's cancel flag is set;
    // anything else it throws is a fault its callers report.
    virtual BookRender render(const BookRequest& request);

    // Songs whose blocks are kept, and typesettings done so far.
    std::size_t keptSongs();
    std::size_t typesetCount();

private:
    std::mutex mutex_;
    std::shared_ptr<TunequillKit::TypesetCache> cache_ = std::make_shared<TunequillKit::TypesetCache>();
    // Shaped texts belong to the thread whose Pango context made them.
    std::optional<TunequillKit::Renderer::ShapedTexts> shaped_;
    std::thread::id shapedOn_;
};

} // namespace Lyricade
