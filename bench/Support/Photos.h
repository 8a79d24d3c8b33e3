#pragma once

// Photo-like JPEGs made with gdk-pixbuf, for PDFs of stored pictures.

#include "Platform/Images.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace BenchSupport {

// A photo-like picture: soft gradients, shapes and grain, which JPEG keeps at
// about what a camera's photo takes.
inline Platform::Bytes photoJpeg(int seed, int width, int height)
{
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    std::uint32_t noise = 2463534242u + static_cast<std::uint32_t>(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
            const double wave = std::sin((x + seed * 37) / 90.0) * std::cos(y / 70.0);
            guchar* p = pixels + y * stride + x * 3;
            p[0] = static_cast<guchar>(std::clamp(120 + 80 * wave + (noise & 7), 0.0, 255.0));
            p[1] = static_cast<guchar>(std::clamp(90 + y / 20.0 + ((noise >> 8) & 7), 0.0, 255.0));
            p[2] = static_cast<guchar>(std::clamp(60 + x / 30.0 + ((noise >> 16) & 7), 0.0, 255.0));
        }
    gchar* buffer = nullptr;
    gsize size = 0;
    gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "jpeg", nullptr, "quality", "85", nullptr);
    Platform::Bytes jpeg(buffer, buffer + size);
    g_free(buffer);
    g_object_unref(pixbuf);
    return jpeg;
}

} // namespace BenchSupport
