#pragma once

// What a PDF says of itself at its end, read without parsing it: the number of
// objects its last cross-reference section claims (its trailer's /Size, or its
// cross-reference stream's). Reading it costs a few kilobytes' look, whatever
// the file, so the client can size a worker's opening by it before any
// library sees the document. The number is the file's claim, untrusted.

#include "Platform/Text.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace Platform::PdfTrailer {

// The /Size of the cross-reference section that the file's last `startxref`
// points at (a classic table's trailer, or a cross-reference stream's
// dictionary); none when there is no `startxref`, or no /Size where it points.
std::optional<std::int64_t> claimedObjects(const Bytes& data);
std::optional<std::int64_t> claimedObjects(std::string_view file);

} // namespace Platform::PdfTrailer
