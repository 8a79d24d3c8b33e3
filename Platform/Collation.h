#pragma once

// Ordering text the way people expect in a list: by the locale's collation,
// case ignored, accents counted, runs of digits compared by value ("Song 9"
// before "Song 10"). Backed by ICU; thread-safe.

#include <string_view>

namespace Platform::Collation {

// Negative when a sorts before b, 0 when they collate equal, positive otherwise.
int standardCompare(std::string_view a, std::string_view b);

} // namespace Platform::Collation
