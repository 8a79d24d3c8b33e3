#pragma once

// Builds small ZIP archives in memory for the tests: stored or raw-DEFLATE
// entries, with any header field open to being overridden so that damaged
// archives can be made on purpose.

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ZipTest {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v)
{
    put16(b, static_cast<std::uint16_t>(v));
    put16(b, static_cast<std::uint16_t>(v >> 16));
}
inline void put64(Bytes& b, std::uint64_t v)
{
    put32(b, static_cast<std::uint32_t>(v));
    put32(b, static_cast<std::uint32_t>(v >> 32));
}
inline void set32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline Bytes bytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

inline Bytes deflateRaw(const Bytes& data)
{
    z_stream s{};
    deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&s, static_cast<uLong>(data.size())) + 16);
    s.next_in = const_cast<Bytef*>(data.data());
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

inline std::uint32_t crc(const Bytes& data)
{
    return static_cast<std::uint32_t>(::crc32(0, data.data(), static_cast<uInt>(data.size())));
}

struct File {
    Bytes name;
    Bytes data;               // uncompressed content
    bool deflated = false;
    std::uint16_t flags = 0;
    std::optional<std::uint16_t> method;       // overrides
    std::optional<std::uint32_t> crc32;
    std::optional<std::uint32_t> size;
    std::optional<std::uint32_t> compressedSize;
    std::optional<Bytes> payload;              // the stored bytes, instead of data (compressed)
    Bytes extra;                               // central extra field
};

struct Archive {
    std::vector<File> files;
    Bytes comment;
    std::optional<std::uint16_t> count;        // end-record overrides
    std::optional<std::uint32_t> directoryOffset;
    Bytes prefix;                              // bytes before the first local header

    Archive& add(std::string_view name, std::string_view text, bool deflated = false)
    {
        File f;
        f.name = bytes(name);
        f.data = bytes(text);
        f.deflated = deflated;
        files.push_back(std::move(f));
        return *this;
    }

    Bytes build() const
    {
        Bytes out = prefix;
        Bytes directory;
        for (const File& f : files) {
            Bytes stored = f.payload ? *f.payload : (f.deflated ? deflateRaw(f.data) : f.data);
            std::uint16_t method = f.method.value_or(f.deflated ? 8 : 0);
            std::uint32_t checksum = f.crc32.value_or(crc(f.data));
            std::uint32_t size = f.size.value_or(static_cast<std::uint32_t>(f.data.size()));
            std::uint32_t csize = f.compressedSize.value_or(static_cast<std::uint32_t>(stored.size()));
            std::uint32_t offset = static_cast<std::uint32_t>(out.size());
            put32(out, 0x04034B50);
            put16(out, 20);
            put16(out, f.flags);
            put16(out, method);
            put32(out, 0);
            put32(out, checksum);
            put32(out, csize);
            put32(out, size);
            put16(out, static_cast<std::uint16_t>(f.name.size()));
            put16(out, 0);
            out.insert(out.end(), f.name.begin(), f.name.end());
            out.insert(out.end(), stored.begin(), stored.end());

            put32(directory, 0x02014B50);
            put16(directory, 20);
            put16(directory, 20);
            put16(directory, f.flags);
            put16(directory, method);
            put32(directory, 0);
            put32(directory, checksum);
            put32(directory, csize);
            put32(directory, size);
            put16(directory, static_cast<std::uint16_t>(f.name.size()));
            put16(directory, static_cast<std::uint16_t>(f.extra.size()));
            put16(directory, 0);
            put16(directory, 0);
            put16(directory, 0);
            put32(directory, 0);
            put32(directory, offset);
            directory.insert(directory.end(), f.name.begin(), f.name.end());
            directory.insert(directory.end(), f.extra.begin(), f.extra.end());
        }
        std::uint32_t directoryAt = static_cast<std::uint32_t>(out.size());
        out.insert(out.end(), directory.begin(), directory.end());
        put32(out, 0x06054B50);
        put16(out, 0);
        put16(out, 0);
        std::uint16_t n = count.value_or(static_cast<std::uint16_t>(files.size()));
        put16(out, n);
        put16(out, n);
        put32(out, static_cast<std::uint32_t>(directory.size()));
        put32(out, directoryOffset.value_or(directoryAt));
        put16(out, static_cast<std::uint16_t>(comment.size()));
        out.insert(out.end(), comment.begin(), comment.end());
        return out;
    }
};

// A package of parts given as (path, text) pairs, every part deflated.
inline Bytes package(std::initializer_list<std::pair<std::string_view, std::string_view>> parts)
{
    Archive a;
    for (auto [path, text] : parts) a.add(path, text, true);
    return a.build();
}

} // namespace ZipTest
