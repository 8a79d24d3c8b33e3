// libpng reads the rows one at a time into a single row buffer, and the
// shrinker folds each row into running sums at once. libpng reports errors by
// longjmp, so the function that calls setjmp keeps every C++ object it needs
// outside the jump's reach: they are built before setjmp and live in its caller.

#include "Platform/ImageShrink.h"

#include "Platform/Cancel.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace Platform::ImageShrink {

Shrinker::Shrinker(int sourceWidth, int sourceHeight, int width, int height)
    : sourceHeight_(sourceHeight)
{
    out_.width = width;
    out_.height = height;
    out_.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    perColumn_.assign(static_cast<std::size_t>(width), 0);
    for (int x = 0; x < sourceWidth; ++x)
        ++perColumn_[static_cast<std::size_t>(static_cast<std::int64_t>(x) * width / sourceWidth)];
    sums_.assign(static_cast<std::size_t>(width) * 4, 0);
}

void Shrinker::addRow(int y, const std::uint8_t* rgba)
{
    int target = static_cast<int>(static_cast<std::int64_t>(y) * out_.height / sourceHeight_);
    if (target != row_) flushRow();
    row_ = target;
    ++rowsSummed_;
    // The source pixels of one output column lie side by side: sum them in
    // registers, then once into the row's sums.
    std::uint64_t* sums = sums_.data();
    for (int x = 0; x < out_.width; ++x, sums += 4) {
        std::uint64_t a = 0, r = 0, g = 0, b = 0;
        for (std::uint32_t k = perColumn_[static_cast<std::size_t>(x)]; k > 0; --k, rgba += 4) {
            std::uint32_t alpha = rgba[3];
            a += alpha;
            if (alpha == 255) {
                r += rgba[0];
                g += rgba[1];
                b += rgba[2];
            } else {
                r += (rgba[0] * alpha + 127) / 255;
                g += (rgba[1] * alpha + 127) / 255;
                b += (rgba[2] * alpha + 127) / 255;
            }
        }
        sums[0] += a;
        sums[1] += r;
        sums[2] += g;
        sums[3] += b;
    }
}

void Shrinker::flushRow()
{
    if (rowsSummed_ == 0) return;
    std::uint32_t* out = out_.pixels.data() + static_cast<std::size_t>(row_) * static_cast<std::size_t>(out_.width);
    for (int x = 0; x < out_.width; ++x) {
        // A multiplication by the reciprocal: four 64-bit divisions a pixel would cost more than the sums.
        double inverse = 1.0 / (static_cast<double>(perColumn_[static_cast<std::size_t>(x)]) * rowsSummed_);
        const std::uint64_t* s = sums_.data() + 4 * x;
        auto mean = [inverse](std::uint64_t sum) {
            return std::min<std::uint32_t>(255, static_cast<std::uint32_t>(static_cast<double>(sum) * inverse + 0.5));
        };
        out[x] = mean(s[0]) << 24 | mean(s[1]) << 16 | mean(s[2]) << 8 | mean(s[3]);
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    rowsSummed_ = 0;
}

Bitmap Shrinker::finish()
{
    flushRow();
    return std::move(out_);
}

namespace {

struct Source {
    const Bytes* data;
    std::size_t at = 8; // after the signature, which is checked first
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (length > source->data->size() - source->at) png_error(png, "truncated");
    std::memcpy(out, source->data->data() + source->at, length);
    source->at += length;
}

void ignoreWarning(png_structp, png_const_charp) {}

// Everything here may be jumped out of: only C objects and plain values, and
// the C++ objects it fills belong to the caller.
bool readRows(png_structp png, png_infop info, Source& source, int width, int height,
              std::optional<Shrinker>& shrinker, std::vector<std::uint8_t>& row)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &source, readFromMemory);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    // The chunk CRCs already guard the data; the zlib checksum costs a quarter of the time.
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (w == 0 || h == 0 || static_cast<std::int64_t>(w) * h > maxImagePixels) return false;
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) return false;
    if (width > static_cast<int>(w) || height > static_cast<int>(h)) return false;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<std::size_t>(w) * 4) return false;
    row.resize(static_cast<std::size_t>(w) * 4);
    shrinker.emplace(static_cast<int>(w), static_cast<int>(h), width, height);
    for (png_uint_32 y = 0; y < h; ++y) {
        // A picture of 100 million pixels takes the better part of a second.
        if (y % 256 == 0 && cancelRequested()) return false;
        png_read_row(png, row.data(), nullptr);
        shrinker->addRow(static_cast<int>(y), row.data());
    }
    return true;
}

} // namespace

bool isStreamablePng(const Bytes& data)
{
    // Signature, then the IHDR chunk whose last byte is the interlace method.
    return data.size() > 33 && png_sig_cmp(data.data(), 0, 8) == 0 && std::memcmp(data.data() + 12, "IHDR", 4) == 0
        && data[28] == 0;
}

std::optional<Bitmap> decodePng(const Bytes& data, int width, int height)
{
    if (width <= 0 || height <= 0 || !isStreamablePng(data)) return std::nullopt;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignoreWarning);
    if (!png) return std::nullopt;
    png_infop info = png_create_info_struct(png);
    Source source{&data};
    std::optional<Shrinker> shrinker;
    std::vector<std::uint8_t> row;
    bool ok = info && readRows(png, info, source, width, height, shrinker, row);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!ok || !shrinker) return std::nullopt;
    return shrinker->finish();
}

} // namespace Platform::ImageShrink
