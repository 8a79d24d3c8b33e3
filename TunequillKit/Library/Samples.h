#pragma once

// The sample library: eight public-domain songs (seven in ChordPro, one in
// chords-over-lyrics text), a songbook and a set list. The songbook side
// starts from it when it has no library of its own.

#include "TunequillKit/Library/Library.h"

#include <array>
#include <string_view>

namespace TunequillKit::Samples {

struct Sample {
    std::string_view file; // a file name with its extension
    std::string_view text; // the file's content
};

extern const std::string_view amazingGrace;
extern const std::string_view holyHoly;
extern const std::string_view shallWeGather;
extern const std::string_view simpleGifts;
extern const std::string_view swingLow;
extern const std::string_view downInTheValley;
extern const std::string_view redRiverValleyPlain;
extern const std::string_view homeOnTheRange;

// The eight samples, in library order.
extern const std::array<Sample, 8> all;

// A new library of the samples, with fresh identifiers on every call.
Library library();

} // namespace TunequillKit::Samples
