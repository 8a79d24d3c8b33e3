#include "Platform/Images.h"
#include "tests/Platform/ImagesSamples.h"

#include <gtest/gtest.h>

#include <string>

using namespace Platform;
using ImagesSamples::smallCmykJpeg;
using ImagesSamples::smallJpeg;

namespace {

Bitmap filled(int width, int height, std::uint32_t argb)
{
    return Bitmap{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, argb)};
}

void putBigEndian32(Bytes& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putLittleEndian32(Bytes& out, std::uint32_t v)
{
    for (int shift = 0; shift <= 24; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t n)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putChunk(Bytes& out, const char* type, const Bytes& body)
{
    putBigEndian32(out, static_cast<std::uint32_t>(body.size()));
    std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    putBigEndian32(out, crc32(out.data() + start, out.size() - start));
}

// A PNG header claiming the given size and the start of its pixel data: enough
// for a loader to report the size and then try to allocate the pixels.
Bytes pngHeader(std::uint32_t width, std::uint32_t height)
{
    Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes header;
    putBigEndian32(header, width);
    putBigEndian32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, no interlace
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", {0x78, 0x9C});
    return out;
}

// A BMP header (24-bit, uncompressed) claiming the given size, with no pixels.
Bytes bmpHeader(std::uint32_t width, std::uint32_t height)
{
    Bytes out = {'B', 'M'};
    putLittleEndian32(out, 54);
    putLittleEndian32(out, 0);
    putLittleEndian32(out, 54);
    putLittleEndian32(out, 40);
    putLittleEndian32(out, width);
    putLittleEndian32(out, height);
    out.insert(out.end(), {1, 0, 24, 0});
    for (int i = 0; i < 6; ++i) putLittleEndian32(out, 0);
    return out;
}

const Bytes gif1x1 = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0,
                      ',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, ';'};

} // namespace

TEST(ImageInfo, ReadsThePixelSizeOfEachFormat)
{
    auto png = pngData(filled(640, 480, 0xFF336699));
    ASSERT_TRUE(png);
    struct Case {
        const char* name;
        Bytes data;
        ImageInfo expected;
    } cases[] = {
        {"png", *png, {640, 480}},
        {"jpeg", smallJpeg(), {12, 5}},
        {"gif", gif1x1, {1, 1}},
        {"bmp header", bmpHeader(300, 200), {300, 200}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto info = imageInfo(c.data);
        ASSERT_TRUE(info);
        EXPECT_EQ(*info, c.expected);
    }
}

TEST(ImageDecode, WebPIsSizedAndDecoded)
{
    // A 1 × 1 lossless WebP; gdk-pixbuf reads it through the loader the setup installs.
    const Bytes webp = {0x52, 0x49, 0x46, 0x46, 0x1A, 0x00, 0x00, 0x00, 0x57, 0x45, 0x42, 0x50, 0x56, 0x50, 0x38, 0x4C, 0x0D, 0x00, 0x00, 0x00, 0x2F, 0x00, 0x00, 0x00, 0x10, 0x07, 0x10, 0x11, 0x11, 0x88, 0x88, 0xFE, 0x07, 0x00};
    auto info = imageInfo(webp);
    ASSERT_TRUE(info);
    EXPECT_EQ(*info, (ImageInfo{1, 1}));
    auto image = Image::decode(webp);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 1);
    EXPECT_EQ(image->height(), 1);
}

TEST(ImageInfo, RefusesWhatIsNoDrawableImage)
{
    auto png = *pngData(filled(4, 4, 0xFF000000));
    Bytes truncated(png.begin(), png.begin() + 12);
    struct Case {
        const char* name;
        Bytes data;
    } cases[] = {
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
        {"png cut inside its header", truncated},
        {"png of zero width", pngHeader(0, 10)},
        {"png one row over the pixel limit", pngHeader(10000, 10001)},
        {"png claiming 400 million pixels", pngHeader(20000, 20000)},
        {"bmp claiming 400 million pixels", bmpHeader(20000, 20000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(imageInfo(c.data));
        EXPECT_FALSE(Image::decode(c.data));
    }
}

TEST(ImageInfo, AJpegFrameHeaderIsReadFromItsMarkersAlone)
{
    const Bytes& jpeg = smallJpeg();
    Bytes beforeFrame(jpeg.begin(), jpeg.begin() + 100); // cut inside the tables, before the frame
    Bytes noStart = jpeg;
    noStart[1] = 0xD9;
    Bytes zeroLength = jpeg;
    zeroLength[4] = zeroLength[5] = 0; // the first segment says it holds nothing at all
    struct Case {
        const char* name;
        Bytes data;
        std::optional<ImageInfo> expected;
    } cases[] = {
        {"jpeg", jpeg, ImageInfo{12, 5}},
        {"cmyk jpeg", smallCmykJpeg(), ImageInfo{8, 4}},
        {"png", *pngData(filled(4, 4, 0xFF000000)), std::nullopt},
        {"cut before its frame", beforeFrame, std::nullopt},
        {"no start of image", noStart, std::nullopt},
        {"a segment shorter than its length", zeroLength, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(jpegFrameSize(c.data), c.expected);
    }
}

TEST(ImageInfo, AcceptsThePixelLimitItself)
{
    // 10000 × 10000 is exactly the limit: sized, though never decoded here.
    auto info = imageInfo(pngHeader(10000, 10000));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 10000);
}

TEST(ImageDecode, PngKeepsItsPixelsAndAlpha)
{
    Bitmap source = filled(3, 2, 0xFF0000FF); // opaque blue
    source.pixels[1] = 0x80800000;            // half-transparent red, premultiplied
    source.pixels[5] = 0x00000000;            // clear
    auto image = Image::decode(*pngData(source));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 3);
    EXPECT_EQ(image->height(), 2);
    EXPECT_EQ(image->jpegData(), nullptr);
    EXPECT_EQ(image->bitmap().pixels[0], 0xFF0000FFu);
    EXPECT_EQ(image->bitmap().pixels[1], 0x80800000u);
    EXPECT_EQ(image->bitmap().pixels[5], 0u);
}

TEST(ImageDecode, ShrinksASideTooLongToDraw)
{
    Bytes bmp = bmpHeader(4, 40000);
    bmp.resize(bmp.size() + 12 * 40000, 0); // black rows of four pixels
    auto image = Image::decode(bmp);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->height(), 32767);
    EXPECT_EQ(image->width(), 3);
    EXPECT_EQ(image->bitmap().pixels[0], 0xFF000000u);
}

TEST(ImageDecode, JpegKeepsItsOriginalBytes)
{
    auto image = Image::decode(smallJpeg());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 12);
    EXPECT_EQ(image->height(), 5);
    ASSERT_NE(image->jpegData(), nullptr);
    EXPECT_EQ(*image->jpegData(), smallJpeg());
    std::uint32_t pixel = image->bitmap().pixels[0];
    EXPECT_EQ(pixel >> 24, 0xFFu);
    EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 0xCC, 8); // the blue survives the lossy round trip

    // Cairo would write a CMYK JPEG without the inversion Adobe's encoders
    // store, printing it as a negative: such a picture goes in as pixels.
    auto cmyk = Image::decode(smallCmykJpeg());
    ASSERT_TRUE(cmyk);
    EXPECT_EQ(cmyk->jpegData(), nullptr);
    EXPECT_NEAR(static_cast<int>((cmyk->bitmap().pixels[0] >> 16) & 0xFF), 230, 8);
}

TEST(PngData, WritesPngOrRefusesAMalformedBitmap)
{
    auto png = pngData(filled(2, 2, 0xFFFFFFFF));
    ASSERT_TRUE(png);
    const Bytes signature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    ASSERT_GE(png->size(), signature.size());
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png->begin()));

    Bitmap short_ = filled(2, 2, 0);
    short_.pixels.pop_back();
    EXPECT_FALSE(pngData(short_));
    EXPECT_FALSE(pngData(Bitmap{}));
    EXPECT_FALSE(Image::make(short_));
    auto made = Image::make(filled(5, 1, 0xFF112233));
    ASSERT_TRUE(made);
    EXPECT_EQ(imageInfo(*pngData(*made)), (ImageInfo{5, 1}));

    // Without alpha where every pixel is opaque, as Cairo's writer did: the
    // copy's PDF embeds such a picture without a mask.
    EXPECT_EQ((*pngData(filled(2, 2, 0xFF112233)))[25], 2) << "RGB";
    Bitmap seeThrough = filled(2, 2, 0xFF112233);
    seeThrough.pixels[3] = 0x80000000;
    EXPECT_EQ((*pngData(seeThrough))[25], 6) << "RGBA";
}
