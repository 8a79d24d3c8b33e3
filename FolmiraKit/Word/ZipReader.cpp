// Reads the central directory from the end-of-central-directory record (and
// its ZIP64 record when the 32-bit fields are saturated), then each entry's
// data through its local header. Every offset taken from the archive is checked
// against the bytes present before it is used, and no buffer is sized from a
// declared count or size before that size has been checked.

#include "FolmiraKit/Word/ZipReader.h"

#include "Platform/Inflate.h"
#include "Platform/Text.h"

#include <algorithm>
#include <array>

namespace FolmiraKit::ZipReader {
namespace {

constexpr std::uint64_t endRecordSize = 22;
constexpr std::uint64_t longestComment = 65535;
constexpr std::uint64_t centralHeaderSize = 46;
constexpr std::uint64_t localHeaderSize = 30;
constexpr std::uint64_t zip64RecordSize = 56;
constexpr std::uint32_t endSignature = 0x06054B50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064B50;
constexpr std::uint32_t zip64RecordSignature = 0x06064B50;
constexpr std::uint32_t centralSignature = 0x02014B50;
constexpr std::uint32_t localSignature = 0x04034B50;
constexpr std::uint16_t utf8NameFlag = 0x0800;
// A DEFLATE stream can't grow by more than 1032 to 1 (a 258-byte match per
// two bits), so a declared size beyond that can't be reached and isn't worth
// a buffer.
constexpr std::uint64_t deflateMaxRatio = 1032;
constexpr std::uint64_t deflateSlack = 1024;

std::uint16_t u16(ByteView b, std::uint64_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t u32(ByteView b, std::uint64_t at)
{
    return static_cast<std::uint32_t>(u16(b, at)) | (static_cast<std::uint32_t>(u16(b, at + 2)) << 16);
}

std::uint64_t u64(ByteView b, std::uint64_t at)
{
    return static_cast<std::uint64_t>(u32(b, at)) | (static_cast<std::uint64_t>(u32(b, at + 4)) << 32);
}

const std::array<std::uint32_t, 256>& crcTable()
{
    // Built once, thread-safely, on first use.
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

std::string quoted(const Entry& entry, std::string_view rest)
{
    return "\u201C" + entry.path + "\u201D" + std::string(rest);
}

Failure unchecked(const Entry& entry) { return Failure(quoted(entry, " didn\u2019t check out (the file may be damaged).")); }

std::string decodeName(ByteView name, std::uint16_t flags)
{
    if (flags & utf8NameFlag) return Platform::Text::decodeUtf8Lossy(name.data(), name.size());
    return Platform::Text::decodeLatin1(name.data(), name.size());
}

// Replaces the saturated 32-bit fields from a ZIP64 extra record, in the
// order size, compressed size, header offset, within the bounds of the extra
// field as a whole.
void applyExtraField(ByteView b, std::uint64_t q, std::uint64_t end, Entry& entry)
{
    while (q + 4 <= end) {
        std::uint16_t id = u16(b, q);
        std::uint16_t length = u16(b, q + 2);
        if (id == 0x0001) {
            std::uint64_t cursor = q + 4;
            for (std::uint64_t* field : {&entry.size, &entry.compressedSize, &entry.headerOffset}) {
                if (*field != 0xFFFFFFFFu) continue;
                if (cursor + 8 > end) continue;
                *field = u64(b, cursor);
                cursor += 8;
            }
        }
        q += 4 + static_cast<std::uint64_t>(length);
    }
}

// Exact path first, then the first that is equal ignoring case.
const Entry* find(std::string_view path, const std::vector<Entry>& list)
{
    for (const Entry& entry : list)
        if (entry.path == path) return &entry;
    const std::string folded = Platform::Text::lowercased(path);
    for (const Entry& entry : list)
        if (Platform::Text::lowercased(entry.path) == folded) return &entry;
    return nullptr;
}

} // namespace

Failure damaged(const Entry& entry)
{
    return Failure(quoted(entry, " is damaged."));
}

std::uint32_t checksum(ByteView data, std::uint32_t running)
{
    const auto& table = crcTable();
    std::uint32_t c = ~running;
    for (std::uint8_t byte : data) c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return ~c;
}

std::vector<Entry> entries(ByteView b)
{
    const std::uint64_t n = b.size();
    const Failure notZip("It isn\u2019t a zip archive.");
    const Failure directoryDamaged("The file\u2019s directory is damaged.");

    std::uint64_t window = std::min<std::uint64_t>(n, endRecordSize + longestComment);
    if (window < 4) throw notZip;
    std::optional<std::uint64_t> found;
    for (std::uint64_t at = n - 4 + 1; at-- > n - window;) {
        if (u32(b, at) == endSignature) {
            found = at;
            break;
        }
    }
    if (!found) throw notZip;
    const std::uint64_t e = *found;
    if (e + endRecordSize > n) throw notZip;

    std::uint64_t count = u16(b, e + 10);
    std::uint64_t size = u32(b, e + 12);
    std::uint64_t offset = u32(b, e + 16);
    if ((count == 0xFFFF || size == 0xFFFFFFFFu || offset == 0xFFFFFFFFu) && e >= 20 && u32(b, e - 20) == zip64LocatorSignature) {
        std::uint64_t r = u64(b, e - 12);
        if (n == 0 || r >= n || r + zip64RecordSize > n || u32(b, r) != zip64RecordSignature)
            throw Failure("The file\u2019s ZIP64 record is damaged.");
        count = u64(b, r + 32);
        size = u64(b, r + 40);
        offset = u64(b, r + 48);
    }

    if (offset > n || size > n || offset + size > n) throw Failure("The file is damaged (its directory is cut off).");
    const std::uint64_t end = offset + size;

    // The list grows header by header: a declared count is never trusted for
    // a reservation, and a count larger than the headers present fails below.
    std::vector<Entry> list;
    std::uint64_t p = offset;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (p + centralHeaderSize > end || u32(b, p) != centralSignature) throw directoryDamaged;
        std::uint16_t flags = u16(b, p + 8);
        Entry entry;
        entry.method = u16(b, p + 10);
        entry.crc32 = u32(b, p + 16);
        entry.compressedSize = u32(b, p + 20);
        entry.size = u32(b, p + 24);
        std::uint64_t nameLength = u16(b, p + 28);
        std::uint64_t extraLength = u16(b, p + 30);
        std::uint64_t commentLength = u16(b, p + 32);
        entry.headerOffset = u32(b, p + 42);
        if (p + centralHeaderSize + nameLength + extraLength > end) throw directoryDamaged;
        entry.path = decodeName(b.subspan(p + centralHeaderSize, nameLength), flags);
        std::uint64_t q = p + centralHeaderSize + nameLength;
        applyExtraField(b, q, q + extraLength, entry);
        list.push_back(std::move(entry));
        p += centralHeaderSize + nameLength + extraLength + commentLength;
    }
    return list;
}

Bytes extract(const Entry& entry, ByteView b)
{
    const std::uint64_t n = b.size();
    const std::uint64_t h = entry.headerOffset;
    if (n == 0 || h >= n || h + localHeaderSize > n || u32(b, h) != localSignature) throw damaged(entry);
    const std::uint64_t start = h + localHeaderSize + u16(b, h + 26) + u16(b, h + 28);
    if (entry.size > maxEntrySize) throw damaged(entry);
    if (entry.compressedSize > n || start + entry.compressedSize > n) throw damaged(entry);
    ByteView raw = b.subspan(start, entry.compressedSize);

    Bytes output;
    switch (entry.method) {
    case 0:
        output.assign(raw.begin(), raw.end());
        break;
    case 8:
        if (entry.size == 0) break;
        if (raw.empty()) throw damaged(entry);
        // Data this short can't inflate to the declared size: it would fail the
        // check below, so fail it without a buffer of that size.
        if (entry.size > raw.size() * deflateMaxRatio + deflateSlack) throw unchecked(entry);
        output.resize(entry.size);
        output.resize(Platform::inflateRaw(raw.data(), raw.size(), output.data(), output.size()));
        break;
    default:
        throw Failure(quoted(entry, " uses a kind of compression that can\u2019t be read."));
    }
    if (output.size() != entry.size || checksum(output) != entry.crc32) throw unchecked(entry);
    return output;
}

std::optional<Bytes> read(std::string_view path, ByteView archive, const std::vector<Entry>* list)
{
    std::vector<Entry> listed;
    if (!list) {
        listed = entries(archive);
        list = &listed;
    }
    const Entry* entry = find(path, *list);
    if (!entry) return std::nullopt;
    return extract(*entry, archive);
}

} // namespace FolmiraKit::ZipReader
