#pragma once

// Pictures decoded straight to a smaller size, for Images.cpp. The pixels are
// averaged over the source pixels each output pixel covers while rows stream
// in, so a huge picture never exists in memory at its own size.

#include "Platform/Images.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace Platform::ImageShrink {

// Averages rows of straight RGBA bytes (source size) into a premultiplied
// bitmap of the output size, which is no larger on either side.
class Shrinker {
public:
    Shrinker(int sourceWidth, int sourceHeight, int width, int height);
    // Source row `y` (0 at the top), 4 bytes a pixel; rows come in order.
    void addRow(int y, const std::uint8_t* rgba);
    // The output; call once after the last row.
    Bitmap finish();

private:
    void flushRow();

    int sourceHeight_;
    Bitmap out_;
    std::vector<std::uint32_t> perColumn_; // source pixels per output column
    std::vector<std::uint64_t> sums_;      // premultiplied a, r, g, b per output pixel of the row
    int row_ = 0;                          // the output row being summed
    int rowsSummed_ = 0;
};

// Whether `data` is a PNG that libpng can hand over row by row (not interlaced).
bool isStreamablePng(const Bytes& data);

// A non-interlaced PNG decoded at width × height (each no larger than the
// source's); nothing when libpng fails or the source holds more than
// `maxImagePixels`.
std::optional<Bitmap> decodePng(const Bytes& data, int width, int height);

} // namespace Platform::ImageShrink
