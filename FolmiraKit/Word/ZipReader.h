#pragma once

// An in-memory reader of ZIP archives (with ZIP64): lists the central
// directory, looks entries up by path and extracts stored or DEFLATE entries,
// checking their size and CRC-32. It never writes an archive.

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit::ZipReader {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// One file of the archive as its central directory describes it.
struct Entry {
    std::string path;               // UTF-8 (from UTF-8 or Latin-1 names)
    std::uint16_t method = 0;       // 0 stored, 8 DEFLATE; others fail at extraction
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;         // after decompression
    std::uint32_t crc32 = 0;
    std::uint64_t headerOffset = 0; // of the local file header
    bool operator==(const Entry&) const = default;
};

// The reader's one error; `message` is a finished sentence for the user.
class Failure : public std::runtime_error {
public:
    explicit Failure(std::string message) : std::runtime_error(message), message(std::move(message)) {}
    std::string message;
};

// The failure for an entry whose content is damaged: "“{path}” is damaged.".
Failure damaged(const Entry& entry);

// The largest entry, after decompression, that will be extracted (256 MiB).
inline constexpr std::uint64_t maxEntrySize = 0x10000000;

// The entries in central-directory order. Throws Failure.
std::vector<Entry> entries(ByteView archive);

// The entry's decompressed bytes, checked against its size and CRC-32. Throws Failure.
Bytes extract(const Entry& entry, ByteView archive);

// The content of the entry named `path` (exact match first, then ignoring
// case), or none when no entry has it. Lists the archive when `list` is none;
// callers opening several parts pass the list they made once. Throws Failure.
std::optional<Bytes> read(std::string_view path, ByteView archive, const std::vector<Entry>* list = nullptr);

// CRC-32 (ISO-HDLC) of `data`, continuing from `running` (0 to start).
std::uint32_t checksum(ByteView data, std::uint32_t running = 0);

} // namespace FolmiraKit::ZipReader
