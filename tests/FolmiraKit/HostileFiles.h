#pragma once

// Hostile documents made in the test: huge pictures that compress to almost
// nothing, Markdown and PDFs that show them over and over, and a way to read
// and render a file in a child process and measure what it cost.

#include "Platform/Text.h"
#include "tests/PlainPdf.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace HostileFiles {

using Bytes = Platform::Bytes;

inline void putBig(Bytes& out, std::uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

inline void chunk(Bytes& out, const char* type, const Bytes& data)
{
    putBig(out, static_cast<std::uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    putBig(out, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// An RGB PNG of one colour, `width` × `height`, deflated row by row: a few
// hundred kilobytes for a hundred million pixels.
inline Bytes solidPng(int width, int height, std::array<std::uint8_t, 3> rgb = {255, 255, 255})
{
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    putBig(header, static_cast<std::uint32_t>(width));
    putBig(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    chunk(out, "IHDR", header);

    Bytes row(1 + 3 * static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) row[1 + 3 * static_cast<std::size_t>(x) + static_cast<std::size_t>(c)] = rgb[c];
    z_stream z{};
    deflateInit(&z, 1);
    Bytes compressed, buffer(1 << 16);
    for (int y = 0; y < height; ++y) {
        z.next_in = row.data();
        z.avail_in = static_cast<uInt>(row.size());
        int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, flush);
            compressed.insert(compressed.end(), buffer.data(), buffer.data() + (buffer.size() - z.avail_out));
        } while (z.avail_out == 0 || (flush == Z_FINISH && z.avail_in > 0));
    }
    deflateEnd(&z);
    chunk(out, "IDAT", compressed);
    chunk(out, "IEND", {});
    return out;
}

inline void write(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void write(const std::filesystem::path& path, const std::string& text)
{
    write(path, Bytes(text.begin(), text.end()));
}

// A PDF of `pages` square pages 4400 points wide, each with a line of six
// words and `strips` strips 2000 × 4400 points, 10 points apart, that stretch
// one 1 × 1 image. Without the words every page is a scan.
inline std::string stripsPdf(int pages, int strips, bool words = true)
{
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "",
                                        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
                                        "<< /Type /XObject /Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceRGB "
                                        "/BitsPerComponent 8 /Length 3 >>\nstream\n\x80\x80\x80\nendstream"};
    std::string kids;
    for (int p = 0; p < pages; ++p) {
        std::string content = words ? "BT /F1 24 Tf 72 4328 Td (One two three four five six) Tj ET\n" : "";
        for (int i = 0; i < strips; ++i)
            content += "q 2000 0 0 4400 " + std::to_string(10 * i) + " 0 cm /Im0 Do Q\n";
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream");
        int contentId = static_cast<int>(objects.size());
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 4400 4400] /Contents " +
                          std::to_string(contentId) + " 0 R /Resources << /Font << /F1 3 0 R >> /XObject << /Im0 4 "
                          "0 R >> >> >>");
        kids += std::to_string(objects.size()) + " 0 R ";
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>";
    return PlainPdf::ofObjects(objects);
}

// `head` and then `padding` spaces, deflated a megabyte at a time: a stream
// that inflates to far more than it holds.
inline std::string deflatedPadded(const std::string& head, std::size_t padding)
{
    Bytes spaces(1 << 20, ' '), buffer(1 << 16);
    std::string out;
    z_stream z{};
    deflateInit(&z, 1);
    auto feed = [&](const std::uint8_t* data, std::size_t size, int flush) {
        z.next_in = const_cast<std::uint8_t*>(data);
        z.avail_in = static_cast<uInt>(size);
        do {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, flush);
            out.append(reinterpret_cast<const char*>(buffer.data()), buffer.size() - z.avail_out);
        } while (z.avail_out == 0);
    };
    feed(reinterpret_cast<const std::uint8_t*>(head.data()), head.size(), Z_NO_FLUSH);
    for (std::size_t left = padding; left > 0;) {
        std::size_t take = std::min(left, spaces.size());
        left -= take;
        feed(spaces.data(), take, Z_NO_FLUSH);
    }
    feed(nullptr, 0, Z_FINISH);
    deflateEnd(&z);
    return out;
}

// A PDF of Letter pages, one per entry: its line of Helvetica text near the
// top, the content padded with that many spaces after it (a dense map or
// drawing inflates as far, and so does a bomb).
inline std::string paddedTextPdf(const std::vector<std::pair<std::string, std::size_t>>& pages)
{
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "",
                                        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    std::string kids;
    for (const auto& [line, padding] : pages) {
        std::string content = deflatedPadded("BT /F1 12 Tf 72 700 Td (" + line + ") Tj ET\n", padding);
        objects.push_back("<< /Length " + std::to_string(content.size()) + " /Filter /FlateDecode >>\nstream\n" +
                          content + "\nendstream");
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                          std::to_string(objects.size()) + " 0 R /Resources << /Font << /F1 3 0 R >> >> >>");
        kids += std::to_string(objects.size()) + " 0 R ";
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";
    return PlainPdf::ofObjects(objects);
}

// What reading and rendering one file in a child process cost.
struct Cost {
    std::string output; // the probe's lines
    double cpuSeconds = 0; // its own, on one thread
    long peakMegabytes = 0;
    long peakKilobytes = 0;
    int status = -1;
};

// Runs `programPath` on `file` in a child process.
inline Cost probeWith(const std::string& programPath, const std::filesystem::path& file)
{
    Cost cost;
    auto outPath = std::filesystem::temp_directory_path() / ("probe-" + std::to_string(getpid()) + ".txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string program = programPath, argument = file.string();
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ) != 0) return cost;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    cost.status = status;
    cost.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    cost.peakMegabytes = usage.ru_maxrss / 1024;
    cost.peakKilobytes = usage.ru_maxrss;
    std::ifstream in(outPath);
    cost.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::filesystem::remove(outPath);
    return cost;
}

// A file's cost beside a reference's, both probed in the same test.
struct Beside {
    Cost cost, reference;
    double ratio() const { return cost.cpuSeconds / std::max(reference.cpuSeconds, 1e-3); }
};

// Runs `programPath` on `file` and on `reference` (unless its cost is `known`
// from a probe in the same test). CPU time grows for a while when other
// processes share the cores (caches, hyperthreads): a file over `bound` times
// the reference is taken again beside it and the lower ratio counts, so that
// only a file over it twice fails.
inline Beside probeBeside(const std::string& programPath, const std::filesystem::path& file,
                          const std::filesystem::path& reference, double bound, const Cost* known = nullptr)
{
    Beside beside{probeWith(programPath, file), known ? *known : probeWith(programPath, reference)};
    if (beside.ratio() >= bound) {
        Beside again{probeWith(programPath, file), probeWith(programPath, reference)};
        if (again.ratio() < beside.ratio()) beside = again;
    }
    return beside;
}

#ifdef FOLMIRA_PROBE
// What reading and rendering one document in a child process cost.
inline Cost probe(const std::filesystem::path& file) { return probeWith(FOLMIRA_PROBE, file); }
inline Beside probeBeside(const std::filesystem::path& file, const std::filesystem::path& reference, double bound,
                          const Cost* known = nullptr)
{
    return probeBeside(FOLMIRA_PROBE, file, reference, bound, known);
}
#endif

} // namespace HostileFiles
