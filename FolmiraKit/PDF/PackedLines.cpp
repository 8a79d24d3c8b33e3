// The packed form is the reader's own, never a worker's: a line is its flags,
// its rect unless it is its words' union (as makeLine makes it), its picture,
// and its words; a word is its text, x and width, and its y, height and size
// only where they differ from the word before (a line's words mostly share
// them). Numbers are kept as their bits, so nothing is rounded; deflate at
// its fastest level takes the repeats that are left.

#include "FolmiraKit/PDF/PackedLines.h"

#include <zlib.h>

#include <bit>
#include <cstring>
#include <new>
#include <stdexcept>

namespace FolmiraKit::PDFReader {

using Platform::Bytes;

namespace {

enum LineFlag : std::uint8_t { hardBreak = 1, picture = 2, ownRect = 4 };
enum WordFlag : std::uint8_t { bold = 1, italic = 2, newY = 4, newHeight = 8, newSize = 16 };

class Writer {
public:
    void reserve(std::size_t bytes) { out_.reserve(bytes); }
    void u8(std::uint8_t v) { out_.push_back(v); }
    void count(std::size_t v)
    {
        for (; v >= 0x80; v >>= 7) u8(static_cast<std::uint8_t>(v | 0x80));
        u8(static_cast<std::uint8_t>(v));
    }
    void f64(double v) { raw(&v, sizeof v); }
    void text(const std::string& s)
    {
        count(s.size());
        raw(s.data(), s.size());
    }
    void rect(const Rect& r)
    {
        f64(r.x), f64(r.y), f64(r.width), f64(r.height);
    }
    Bytes& data() { return out_; }

private:
    void raw(const void* p, std::size_t n)
    {
        const auto* bytes = static_cast<const std::uint8_t*>(p);
        out_.insert(out_.end(), bytes, bytes + n);
    }
    Bytes out_;
};

class Reader {
public:
    explicit Reader(const Bytes& in) : in_(in) {}
    std::uint8_t u8() { return in_.at(at_++); }
    std::size_t count()
    {
        std::size_t v = 0;
        for (int shift = 0;; shift += 7) {
            std::uint8_t b = u8();
            v |= static_cast<std::size_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
    }
    double f64()
    {
        double v;
        raw(&v, sizeof v);
        return v;
    }
    std::string text()
    {
        std::string s(count(), '\0');
        raw(s.data(), s.size());
        return s;
    }
    Rect rect()
    {
        Rect r;
        r.x = f64(), r.y = f64(), r.width = f64(), r.height = f64();
        return r;
    }

private:
    void raw(void* p, std::size_t n)
    {
        if (n > in_.size() - at_) throw std::out_of_range("packed lines cut short");
        std::memcpy(p, in_.data() + at_, n);
        at_ += n;
    }
    const Bytes& in_;
    std::size_t at_ = 0;
};

// The rect makeLine gives words in their order.
Rect unionOf(const std::vector<Word>& words)
{
    Rect r = words.front().rect;
    for (const Word& w : words) r = r.united(w.rect);
    return r;
}

bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

bool same(const Rect& a, const Rect& b)
{
    return same(a.x, b.x) && same(a.y, b.y) && same(a.width, b.width) && same(a.height, b.height);
}

void write(Writer& out, const Line& line)
{
    const bool ownRect = line.words.empty() || !same(unionOf(line.words), line.rect);
    out.u8(static_cast<std::uint8_t>((line.hardBreak ? hardBreak : 0) | (line.picture ? picture : 0) |
                                     (ownRect ? LineFlag::ownRect : 0)));
    if (ownRect) out.rect(line.rect);
    if (line.picture) {
        out.text(std::string(line.picture->data.begin(), line.picture->data.end()));
        out.f64(line.picture->width);
        out.f64(line.picture->height);
        out.text(line.picture->alt);
    }
    out.count(line.words.size());
    const Word* before = nullptr;
    for (const Word& w : line.words) {
        std::uint8_t flags = (w.bold ? bold : 0) | (w.italic ? italic : 0);
        if (!before || !same(before->rect.y, w.rect.y)) flags |= newY;
        if (!before || !same(before->rect.height, w.rect.height)) flags |= newHeight;
        if (!before || !same(before->size, w.size)) flags |= newSize;
        out.u8(flags);
        out.text(w.text);
        out.f64(w.rect.x);
        out.f64(w.rect.width);
        if (flags & newY) out.f64(w.rect.y);
        if (flags & newHeight) out.f64(w.rect.height);
        if (flags & newSize) out.f64(w.size);
        before = &w;
    }
}

Line readLine(Reader& in)
{
    Line line;
    const std::uint8_t flags = in.u8();
    line.hardBreak = flags & hardBreak;
    if (flags & ownRect) line.rect = in.rect();
    if (flags & picture) {
        Picture p;
        std::string data = in.text();
        p.data = Bytes(data.begin(), data.end());
        p.width = in.f64();
        p.height = in.f64();
        p.alt = in.text();
        line.picture = std::move(p);
    }
    line.words.resize(in.count());
    const Word* before = nullptr;
    for (Word& w : line.words) {
        const std::uint8_t wordFlags = in.u8();
        w.bold = wordFlags & bold;
        w.italic = wordFlags & italic;
        w.text = in.text();
        w.rect.x = in.f64();
        w.rect.width = in.f64();
        w.rect.y = wordFlags & newY ? in.f64() : before->rect.y;
        w.rect.height = wordFlags & newHeight ? in.f64() : before->rect.height;
        w.size = wordFlags & newSize ? in.f64() : before->size;
        before = &w;
    }
    if (!(flags & ownRect)) line.rect = unionOf(line.words);
    return line;
}

} // namespace

namespace {

// Below this many bytes a page is held as written: deflate takes a tenth or
// less off a line or two, and setting its stream up again for each page
// costs more than the rest of reading a one-line page in this process.
constexpr std::size_t smallestDeflated = 512;

// One deflate and one inflate stream a thread, reset for each page: setting
// one up costs more than packing a page.
struct Deflater {
    z_stream stream{};
    bool ready = deflateInit(&stream, Z_BEST_SPEED) == Z_OK;
    ~Deflater()
    {
        if (ready) deflateEnd(&stream);
    }
};

struct Inflater {
    z_stream stream{};
    bool ready = inflateInit(&stream) == Z_OK;
    ~Inflater()
    {
        if (ready) inflateEnd(&stream);
    }
};

Lines readLines(const Bytes& data)
{
    Reader in(data);
    Lines lines(in.count());
    for (Line& line : lines) line = readLine(in);
    return lines;
}

} // namespace

PackedLines::PackedLines(const Lines& lines, bool deflate)
{
    if (lines.empty()) return;
    Writer out;
    // Mostly enough at once: a word takes its text and some 20 bytes more.
    std::size_t words = 0;
    for (const Line& line : lines) words += line.words.size();
    out.reserve(16 + 40 * lines.size() + 32 * words);
    out.count(lines.size());
    for (const Line& line : lines) write(out, line);
    Bytes& plain = out.data();
    if (!deflate || plain.size() < smallestDeflated) {
        data_ = std::move(plain);
        data_.shrink_to_fit();
        return;
    }
    size_ = plain.size();
    thread_local Deflater deflater;
    z_stream& z = deflater.stream;
    // zlib fails only when it can't get its own memory.
    if (!deflater.ready || deflateReset(&z) != Z_OK) throw std::bad_alloc();
    data_.resize(deflateBound(&z, static_cast<uLong>(plain.size())));
    z.next_in = plain.data();
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = data_.data();
    z.avail_out = static_cast<uInt>(data_.size());
    if (::deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::bad_alloc();
    data_.resize(z.total_out);
    data_.shrink_to_fit();
}

Lines PackedLines::unpacked() const
{
    if (data_.empty()) return {};
    if (size_ == 0) return readLines(data_);
    Bytes plain(size_);
    thread_local Inflater inflater;
    z_stream& z = inflater.stream;
    if (!inflater.ready || inflateReset(&z) != Z_OK) throw std::bad_alloc();
    z.next_in = const_cast<Bytes::value_type*>(data_.data());
    z.avail_in = static_cast<uInt>(data_.size());
    z.next_out = plain.data();
    z.avail_out = static_cast<uInt>(plain.size());
    if (inflate(&z, Z_FINISH) != Z_STREAM_END || z.total_out != size_) throw std::bad_alloc();
    return readLines(plain);
}

} // namespace FolmiraKit::PDFReader
