// Pictures through gdk-pixbuf (decoding) and libpng (encoding).
//
// The size check happens in the loader's "size-prepared" signal, which every
// gdk-pixbuf loader emits as soon as it has read the header and before it
// allocates the pixel buffer. Asking the loader for a size of 0 × 0 there makes
// it stop, so neither a size query nor an oversized picture decodes anything.
// Bytes are fed in slices so that a loader which ignores that request is still
// cut off after the next slice.

#include "Platform/Images.h"

#include "Platform/ImageShrink.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace Platform {

struct Image::Pixels {
    Bitmap bitmap;
    Bytes jpeg;
    bool isJpeg = false;
};

namespace {

constexpr std::size_t sliceSize = 64 * 1024;

// The longest side of a Cairo image surface.
constexpr int maxDrawnSide = 32767;

struct LoaderState {
    bool sizeOnly = false;
    bool sized = false;
    bool refused = false;
    int width = 0;
    int height = 0;
    int wantWidth = 0; // the size asked for, 0 for the picture's own
    int wantHeight = 0;
};

bool isJpegFormat(GdkPixbufLoader* loader);

void onSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data)
{
    auto* state = static_cast<LoaderState*>(data);
    state->sized = true;
    state->width = width;
    state->height = height;
    const std::int64_t pixels = static_cast<std::int64_t>(width) * static_cast<std::int64_t>(height);
    bool tooBig = width <= 0 || height <= 0 || pixels > maxImagePixels;
    // Only the JPEG loader scales while it decodes; every other one holds the
    // whole picture first.
    if (!state->sizeOnly && pixels > maxWholeDecodePixels && !isJpegFormat(loader)) tooBig = true;
    if (tooBig) state->refused = true;
    if (tooBig || state->sizeOnly) {
        gdk_pixbuf_loader_set_size(loader, 0, 0);
    } else if (state->wantWidth > 0 && state->wantHeight > 0) {
        gdk_pixbuf_loader_set_size(loader, std::min(state->wantWidth, width), std::min(state->wantHeight, height));
    } else if (width > maxDrawnSide || height > maxDrawnSide) {
        // Cairo cannot draw a longer side; shrink the picture to fit, in proportion.
        double scale = static_cast<double>(maxDrawnSide) / std::max(width, height);
        gdk_pixbuf_loader_set_size(loader, std::clamp(static_cast<int>(width * scale), 1, maxDrawnSide),
                                   std::clamp(static_cast<int>(height * scale), 1, maxDrawnSide));
    }
}

// Owns a loader; closes it before the last reference goes, as gdk-pixbuf asks.
class Loader {
public:
    explicit Loader(LoaderState& state) : loader_(gdk_pixbuf_loader_new())
    {
        g_signal_connect(loader_, "size-prepared", G_CALLBACK(onSizePrepared), &state);
    }
    ~Loader()
    {
        if (!closed_) close();
        g_object_unref(loader_);
    }
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    // Feeds `data` slice by slice until it is all in, the loader fails, or
    // `enough` says the rest is not wanted.
    template <typename Enough>
    bool write(const Bytes& data, Enough enough)
    {
        for (std::size_t at = 0; at < data.size(); at += sliceSize) {
            std::size_t n = std::min(sliceSize, data.size() - at);
            GError* error = nullptr;
            bool ok = gdk_pixbuf_loader_write(loader_, data.data() + at, n, &error);
            if (error) g_error_free(error);
            if (!ok) return false;
            if (enough()) return true;
        }
        return true;
    }

    bool close()
    {
        closed_ = true;
        GError* error = nullptr;
        bool ok = gdk_pixbuf_loader_close(loader_, &error);
        if (error) g_error_free(error);
        return ok;
    }

    GdkPixbufLoader* get() const { return loader_; }

private:
    GdkPixbufLoader* loader_;
    bool closed_ = false;
};

bool isJpegFormat(GdkPixbufLoader* loader)
{
    GdkPixbufFormat* format = gdk_pixbuf_loader_get_format(loader);
    if (!format) return false;
    gchar* name = gdk_pixbuf_format_get_name(format);
    bool jpeg = name && std::strcmp(name, "jpeg") == 0;
    g_free(name);
    return jpeg;
}

// The number of colour components in a JPEG's frame header; 0 when there is
// none before the scan data.
int jpegComponents(const Bytes& data)
{
    std::size_t at = 2; // after the start-of-image marker
    while (at + 4 <= data.size()) {
        if (data[at] != 0xFF) return 0;
        std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // markers without a length
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return 0; // end of image, start of scan
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) return at + 9 < data.size() ? data[at + 9] : 0;
        std::size_t length = static_cast<std::size_t>(data[at + 2]) << 8 | data[at + 3];
        if (length < 2) return 0;
        at += 2 + length;
    }
    return 0;
}

// gdk-pixbuf keeps straight (not premultiplied) RGB(A) bytes; Cairo wants
// premultiplied ARGB words.
std::optional<Bitmap> bitmapFromPixbuf(GdkPixbuf* pixbuf)
{
    if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8)
        return std::nullopt;
    int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    int channels = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
    bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    if (width <= 0 || height <= 0 || channels < (alpha ? 4 : 3)) return std::nullopt;
    const guint8* source = gdk_pixbuf_read_pixels(pixbuf);

    Bitmap bitmap{width, height, {}};
    bitmap.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::uint32_t* out = bitmap.pixels.data();
    for (int y = 0; y < height; ++y) {
        const guint8* p = source + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        for (int x = 0; x < width; ++x, p += channels) {
            std::uint32_t a = alpha ? p[3] : 255;
            auto premultiply = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            *out++ = (a << 24) | (premultiply(p[0]) << 16) | (premultiply(p[1]) << 8) | premultiply(p[2]);
        }
    }
    return bitmap;
}

void appendPng(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

// One row of premultiplied ARGB as PNG's straight RGBA (or RGB, `opaque`),
// rounded as Cairo's own PNG writer rounds, so that a picture reads back as
// it always did.
void straighten(const std::uint32_t* pixels, int width, bool opaque, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = pixels[x];
        const std::uint32_t alpha = p >> 24;
        const std::uint32_t r = p >> 16 & 0xff, g = p >> 8 & 0xff, b = p & 0xff;
        if (opaque) {
            *out++ = static_cast<std::uint8_t>(r);
            *out++ = static_cast<std::uint8_t>(g);
            *out++ = static_cast<std::uint8_t>(b);
        } else if (alpha == 0) {
            out = std::fill_n(out, 4, std::uint8_t{0});
        } else {
            *out++ = static_cast<std::uint8_t>((r * 255 + alpha / 2) / alpha);
            *out++ = static_cast<std::uint8_t>((g * 255 + alpha / 2) / alpha);
            *out++ = static_cast<std::uint8_t>((b * 255 + alpha / 2) / alpha);
            *out++ = static_cast<std::uint8_t>(alpha);
        }
    }
}

// libpng reports errors by longjmp: everything here may be jumped out of, so
// it holds only C objects and plain values; the row and the bytes belong to
// the caller.
bool writePng(png_structp png, png_infop info, const Bitmap& bitmap, bool opaque, std::vector<std::uint8_t>& row,
              Bytes& out)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &out, appendPng, flushNothing);
    // Pictures are written to be read back by this program, most of them
    // photos cut out of a PDF's pages: the fastest compression, which costs
    // them a tenth more bytes and a quarter of the time.
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width), static_cast<png_uint_32>(bitmap.height), 8,
                 opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < bitmap.height; ++y) {
        straighten(bitmap.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.width),
                   bitmap.width, opaque, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    return true;
}

void ignoreWarning(png_structp, png_const_charp) {}

bool bitmapIsWhole(const Bitmap& bitmap)
{
    return bitmap.width > 0 && bitmap.height > 0
        && bitmap.pixels.size() == static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height);
}

} // namespace

std::optional<ImageInfo> imageInfo(const Bytes& data)
{
    if (data.empty()) return std::nullopt;
    LoaderState state;
    state.sizeOnly = true;
    {
        Loader loader(state);
        loader.write(data, [&] { return state.sized; });
        // Some loaders only read the header once they have every byte.
        if (!state.sized) loader.close();
    }
    if (!state.sized || state.refused) return std::nullopt;
    return ImageInfo{static_cast<double>(state.width), static_cast<double>(state.height)};
}

std::optional<ImageInfo> jpegFrameSize(const Bytes& data)
{
    // Writers put tables, comments and metadata before the frame, seldom more
    // than a few dozen segments.
    constexpr int mostSegments = 256;
    if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) return std::nullopt;
    std::size_t at = 2;
    for (int segment = 0; segment < mostSegments && at + 4 <= data.size(); ++segment) {
        if (data[at] != 0xFF) return std::nullopt;
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const std::size_t length = std::size_t{data[at + 2]} << 8 | data[at + 3];
        // Start of frame: every SOFn but DHT (C4), JPG (C8) and DAC (CC).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (length < 8 || at + 9 > data.size()) return std::nullopt;
            const double height = std::uint32_t{data[at + 5]} << 8 | data[at + 6];
            const double width = std::uint32_t{data[at + 7]} << 8 | data[at + 8];
            if (width < 1 || height < 1) return std::nullopt;
            return ImageInfo{width, height};
        }
        if (marker == 0xDA || marker == 0xD9) return std::nullopt; // scan data or the end before any frame
        at += 2 + length;
    }
    return std::nullopt;
}

std::optional<Image> Image::decode(const Bytes& data)
{
    return decodeWith(data, 0, 0);
}

std::optional<Image> Image::decodeAt(const Bytes& data, int width, int height)
{
    if (width <= 0 || height <= 0 || width > maxDrawnSide || height > maxDrawnSide) return std::nullopt;
    if (ImageShrink::isStreamablePng(data)) {
        auto bitmap = ImageShrink::decodePng(data, width, height);
        if (!bitmap) return std::nullopt;
        return make(std::move(*bitmap));
    }
    return decodeWith(data, width, height);
}

std::optional<Image> Image::decodeWith(const Bytes& data, int width, int height)
{
    if (data.empty()) return std::nullopt;
    LoaderState state;
    state.wantWidth = width;
    state.wantHeight = height;
    Loader loader(state);
    if (!loader.write(data, [&] { return state.refused; }) || state.refused) return std::nullopt;
    if (!loader.close() || state.refused) return std::nullopt;
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get()); // owned by the loader
    if (!pixbuf) return std::nullopt;
    auto bitmap = bitmapFromPixbuf(pixbuf);
    if (!bitmap) return std::nullopt;

    auto pixels = std::make_shared<Pixels>();
    pixels->bitmap = std::move(*bitmap);
    // Cairo writes a CMYK JPEG without the inversion that Adobe's encoders
    // store, so it would print as a negative: only grey and RGB pass through.
    bool ownSize = pixels->bitmap.width == state.width && pixels->bitmap.height == state.height;
    if (ownSize && isJpegFormat(loader.get()) && (jpegComponents(data) == 1 || jpegComponents(data) == 3)) {
        pixels->isJpeg = true;
        pixels->jpeg = data;
    }
    return Image(std::move(pixels));
}

std::optional<Image> Image::make(Bitmap bitmap)
{
    if (!bitmapIsWhole(bitmap)) return std::nullopt;
    auto pixels = std::make_shared<Pixels>();
    pixels->bitmap = std::move(bitmap);
    return Image(std::move(pixels));
}

int Image::width() const { return pixels_->bitmap.width; }
int Image::height() const { return pixels_->bitmap.height; }
const Bytes* Image::jpegData() const { return pixels_->isJpeg ? &pixels_->jpeg : nullptr; }
const Bitmap& Image::bitmap() const { return pixels_->bitmap; }

std::optional<Bytes> pngData(const Bitmap& bitmap)
{
    if (!bitmapIsWhole(bitmap)) return std::nullopt;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignoreWarning);
    if (!png) return std::nullopt;
    png_infop info = png_create_info_struct(png);
    // A picture with no see-through pixel is written without alpha, as Cairo does.
    const bool opaque =
        std::all_of(bitmap.pixels.begin(), bitmap.pixels.end(), [](std::uint32_t p) { return p >> 24 == 0xff; });
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.width) * (opaque ? 3 : 4));
    Bytes out;
    const bool written = info && writePng(png, info, bitmap, opaque, row, out);
    png_destroy_write_struct(&png, &info);
    if (!written) return std::nullopt;
    return out;
}

std::optional<Bytes> pngData(const Image& image) { return pngData(image.bitmap()); }

} // namespace Platform
