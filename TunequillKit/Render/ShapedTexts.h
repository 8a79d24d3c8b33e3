#pragma once

// The runs of one render, shaped once each. A book repeats its words, chords,
// headings and page numbers thousands of times but holds only a few hundred
// distinct texts in a few faces: each is laid out by Pango the first time it
// is drawn and reused after, under the measurer's shaping key.
//
// Pango layouts belong to the thread that made them: a ShapedTexts is used by
// one thread, for one render.

#include "Platform/TextLayout.h"
#include "TunequillKit/Layout/Typeset.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace TunequillKit::Renderer {

class ShapedTexts {
public:
    // More distinct texts than any book shows: past it, a render starts afresh
    // at its next page rather than keep layouts without bound.
    static constexpr std::size_t defaultLimit = 20000;

    explicit ShapedTexts(std::size_t limit = defaultLimit) : limit_(limit) {}

    // `text` set as one line in `font` (never wrapped); none for empty text.
    // Valid until the next trim().
    const Platform::TextLayout* line(std::string_view text, const FontSpec& font);

    // Drops every layout when there are more than the limit; called between pages.
    void trim();

    std::size_t size() const { return layouts_.size(); }

private:
    std::size_t limit_;
    std::unordered_map<std::string, std::unique_ptr<Platform::TextLayout>> layouts_;
};

} // namespace TunequillKit::Renderer
