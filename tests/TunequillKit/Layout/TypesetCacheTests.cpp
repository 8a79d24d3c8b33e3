// Kept blocks must give the very layout a fresh typesetting gives, typeset
// only what changed, and never serve blocks made for other settings, widths
// or faces.

#include "FakeMeasurer.h"
#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Layout/Cancel.h"
#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <gtest/gtest.h>

using namespace TunequillKit;
using TunequillKit::Testing::fakeMeasurer;

namespace {

std::vector<PreparedSong> songs(int count, int edited = -1)
{
    std::vector<PreparedSong> out;
    for (int i = 0; i < count; ++i) {
        std::string source = "{title: Song " + std::to_string(i) + "}\n{start_of_chorus}\n";
        for (int l = 0; l < 8 + i % 5; ++l) source += "[G]line [D7]number " + std::to_string(l) + "\n";
        source += "{end_of_chorus}\n{chorus}\n";
        if (i == edited) source += "[Em]a line added by an edit\n";
        out.emplace_back(ChordProParser::parse(source), i % 3, std::nullopt, Accidentals::automatic, false);
    }
    return out;
}

void expectSameLayout(const BookLayout& a, const BookLayout& b, const std::string& label)
{
    EXPECT_EQ(a.pages, b.pages) << label;
    EXPECT_EQ(a.songStartPages, b.songStartPages) << label;
    EXPECT_EQ(a.contentsEntries, b.contentsEntries) << label;
    EXPECT_EQ(a.indexEntries, b.indexEntries) << label;
    EXPECT_EQ(a.warnings, b.warnings) << label;
}

// Widths that depend on the face's name too, as real faces' widths do.
class NamedMeasurer : public TextMeasurer {
public:
    double width(std::string_view text, const FontSpec& font) const override
    {
        return 0.5 * font.size * Platform::Text::characterCount(text) + static_cast<double>(Fonts::name(font).size());
    }
};

struct FacesGuard {
    std::optional<std::vector<std::string>> saved = Fonts::sansFaces;
    ~FacesGuard() { Fonts::sansFaces = saved; }
};

} // namespace

TEST(TypesetCache, KeptBlocksLayOutAsAFreshTypesetting)
{
    FacesGuard guard;
    auto cache = std::make_shared<TypesetCache>();
    BookSettings settings; // contents and index on
    const auto measurer = std::make_shared<NamedMeasurer>();
    auto layOut = [&](const BookSettings& s, const std::vector<PreparedSong>& book, bool cached) {
        BookLayouter layouter(s, measurer, "Book", "");
        if (cached) layouter.cache = cache;
        return layouter.layout(book);
    };

    layOut(settings, songs(30), true);
    EXPECT_EQ(cache->typeset(), 30u);

    const std::size_t before = cache->typeset();
    expectSameLayout(layOut(settings, songs(30, 7), true), layOut(settings, songs(30, 7), false), "one song edited");
    EXPECT_EQ(cache->typeset() - before, 1u) << "only the edited song is typeset again";
    EXPECT_EQ(cache->size(), 30u) << "the song as it was before the edit is dropped";

    BookSettings twoColumns = settings;
    twoColumns.columns = 2; // another column width
    expectSameLayout(layOut(twoColumns, songs(30, 7), true), layOut(twoColumns, songs(30, 7), false), "two columns");
    BookSettings larger = settings;
    larger.fontSize = 24;
    expectSameLayout(layOut(larger, songs(30, 7), true), layOut(larger, songs(30, 7), false), "font size");

    Fonts::sansFaces = std::vector<std::string>{"Wide-Regular", "Wide-Bold", "Wide-Italic", "Wide-BoldItalic"};
    expectSameLayout(layOut(settings, songs(30, 7), true), layOut(settings, songs(30, 7), false), "sans faces");

    // Going back to the first settings finds their songs still kept.
    const std::size_t kept = cache->typeset();
    Fonts::sansFaces.reset();
    layOut(settings, songs(30, 7), true);
    EXPECT_EQ(cache->typeset(), kept);
}

TEST(TypesetCache, ACancelledLayoutStopsBetweenSongs)
{
    Platform::CancelFlag flag;
    flag.cancel();
    Platform::CancelScope scope(&flag);
    BookLayouter layouter(BookSettings{}, fakeMeasurer(), "Book", "");
    layouter.cache = std::make_shared<TypesetCache>();
    EXPECT_THROW(layouter.layout(songs(3)), Cancelled);
    EXPECT_EQ(layouter.cache->typeset(), 0u);
}
