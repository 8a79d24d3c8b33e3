// Pictures decoded straight to a smaller size.

#include "Platform/Cancel.h"
#include "Platform/ImageShrink.h"
#include "Platform/Images.h"
#include "tests/FolmiraKit/HostileFiles.h"
#include "tests/Platform/ImagesSamples.h"

#include <gtest/gtest.h>

using namespace Platform;

namespace {

std::uint32_t argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

} // namespace

TEST(ImageShrink, AveragesThePixelsEachOutputPixelCovers)
{
    // Four source pixels a row, two rows, into 2 × 1: each output pixel sums a 2 × 2 block.
    ImageShrink::Shrinker shrinker(4, 2, 2, 1);
    const std::uint8_t top[] = {255, 0, 0, 255, 0, 0, 255, 255, 10, 10, 10, 255, 10, 10, 10, 0};
    const std::uint8_t bottom[] = {255, 0, 0, 255, 0, 0, 255, 255, 10, 10, 10, 255, 10, 10, 10, 0};
    shrinker.addRow(0, top);
    shrinker.addRow(1, bottom);
    Bitmap out = shrinker.finish();
    ASSERT_EQ(out.pixels.size(), 2u);
    EXPECT_EQ(out.pixels[0], argb(255, 128, 0, 128));
    // Transparent pixels count with no colour: premultiplied means.
    EXPECT_EQ(out.pixels[1], argb(128, 5, 5, 5));
}

TEST(ImageShrink, UnevenSizesCoverEverySourcePixelOnce)
{
    ImageShrink::Shrinker shrinker(7, 5, 3, 2);
    std::vector<std::uint8_t> row(7 * 4, 200);
    for (int y = 0; y < 5; ++y) shrinker.addRow(y, row.data());
    Bitmap out = shrinker.finish();
    ASSERT_EQ(out.pixels.size(), 6u);
    for (std::uint32_t p : out.pixels) EXPECT_EQ(p, argb(200, 157, 157, 157));
}

TEST(ImageDecodeAt, DecodesAtTheSizeAskedForWhateverTheFormat)
{
    auto png = HostileFiles::solidPng(300, 200, {0, 128, 255});
    auto small = Image::decodeAt(png, 30, 20);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width(), 30);
    EXPECT_EQ(small->height(), 20);
    EXPECT_EQ(small->bitmap().pixels[0], argb(255, 0, 128, 255));
    EXPECT_FALSE(Image::decodeAt(png, 301, 200)); // never enlarged
    EXPECT_FALSE(Image::decodeAt(png, 0, 10));
    EXPECT_FALSE(Image::decodeAt({1, 2, 3}, 10, 10));

    // A JPEG keeps its bytes for the PDF only at its own size.
    const auto& jpeg = ImagesSamples::smallJpeg();
    auto own = Image::decodeAt(jpeg, 12, 5);
    ASSERT_TRUE(own);
    EXPECT_TRUE(own->jpegData());
    auto scaled = Image::decodeAt(jpeg, 6, 3);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->width(), 6);
    EXPECT_FALSE(scaled->jpegData());
}

TEST(ImageDecodeAt, AHugePngNeverExistsAtItsOwnSize)
{
    auto png = HostileFiles::solidPng(10'000, 10'000);
    auto image = Image::decodeAt(png, 100, 100);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().pixels.size(), 10'000u);
    // A cancel stops the rows coming: the decode gives nothing.
    CancelFlag flag;
    flag.cancel();
    CancelScope scope(&flag);
    EXPECT_FALSE(Image::decodeAt(png, 100, 100));
}

TEST(ImageDecodeAt, OnlyStreamablePngsSkipTheWholeDecodeLimit)
{
    auto png = HostileFiles::solidPng(3, 2);
    EXPECT_TRUE(ImageShrink::isStreamablePng(png));
    auto interlaced = png;
    interlaced[28] = 1; // the IHDR's interlace method (its CRC is now wrong as well)
    EXPECT_FALSE(ImageShrink::isStreamablePng(interlaced));
    EXPECT_FALSE(ImageShrink::isStreamablePng(ImagesSamples::smallJpeg()));
}
