#pragma once

// Encoded pictures: their pixel size, decoding, and PNG encoding.
//
// Decoding goes through gdk-pixbuf and reads whatever formats its installed
// loaders know (PNG, JPEG, GIF, TIFF, BMP, WebP where a loader exists); only
// the first frame of a multi-frame file is used. A header that claims more
// than `maxImagePixels` counts as undecodable, so a hostile file cannot make
// us allocate gigabytes. Every function is thread-safe and never throws.

#include "Platform/Text.h" // Bytes

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace Platform {

// Largest picture (width × height, in pixels) that is decoded or sized.
inline constexpr std::int64_t maxImagePixels = 100'000'000;
// Largest picture that is decoded whole before it is scaled: every format but
// non-interlaced PNG and JPEG, whose decoders scale as they go. 160 MB of pixels.
inline constexpr std::int64_t maxWholeDecodePixels = 40'000'000;

// Pixel size of an encoded image.
struct ImageInfo {
    double width = 0;
    double height = 0;
    bool operator==(const ImageInfo&) const = default;
};

// The pixel width and height of the first image in `data`, read from its header
// without decoding the pixels. Nothing when the bytes are not an image a loader
// knows, when a side is 0, or when the image is larger than `maxImagePixels`.
std::optional<ImageInfo> imageInfo(const Bytes& data);

// The pixel size a JPEG's frame header states, read from its markers alone
// (no decoder is asked): nothing when the bytes do not start a JPEG or no
// frame header is found among its first markers.
std::optional<ImageInfo> jpegFrameSize(const Bytes& data);

// A bitmap in memory: rows from the top, each pixel one 32-bit word holding
// premultiplied alpha, red, green and blue from the high byte down (Cairo's
// ARGB32 in native byte order). `pixels` holds exactly width × height words.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// `bitmap` encoded as PNG, quickly rather than small (with alpha unless every
// pixel is opaque). Nothing when its size is 0, its pixel count does not
// match, or encoding fails.
std::optional<Bytes> pngData(const Bitmap& bitmap);

// A decoded picture ready to draw: an immutable, cheaply copied handle (copies
// share the pixels). A grey or RGB JPEG also keeps its original bytes so that
// a PDF can embed them unchanged instead of the decoded pixels.
class Image {
public:
    // Decodes the first image in `data`; nothing when it cannot be decoded or
    // exceeds `maxImagePixels`. A side longer than 32767 pixels, more than a
    // PDF surface can draw, is shrunk to that length, in proportion.
    static std::optional<Image> decode(const Bytes& data);
    // Decodes the first image in `data` at exactly `width` × `height` pixels,
    // each averaged over the source pixels it covers; neither side may exceed
    // the picture's own. A non-interlaced PNG is read row by row and a JPEG is
    // scaled by its decoder, so neither is held at its own size; any other
    // picture is decoded whole first and refused above `maxWholeDecodePixels`.
    // A JPEG keeps its original bytes only when decoded at its own size.
    static std::optional<Image> decodeAt(const Bytes& data, int width, int height);
    // Wraps a bitmap (moved in); nothing when its size or pixel count is wrong.
    static std::optional<Image> make(Bitmap bitmap);

    int width() const;
    int height() const;
    // The original JPEG bytes, or null when the image did not come from a grey
    // or RGB JPEG.
    const Bytes* jpegData() const;
    // The pixels as a bitmap (premultiplied ARGB32).
    const Bitmap& bitmap() const;
    // The same for every copy of one decoded image, different for any other.
    const void* identity() const { return pixels_.get(); }

private:
    struct Pixels;
    static std::optional<Image> decodeWith(const Bytes& data, int width, int height);
    explicit Image(std::shared_ptr<const Pixels> pixels) : pixels_(std::move(pixels)) {}
    std::shared_ptr<const Pixels> pixels_;
};

// `image` encoded as PNG; nothing when encoding fails.
std::optional<Bytes> pngData(const Image& image);

} // namespace Platform
