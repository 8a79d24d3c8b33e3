// A Cairo PDF surface writing into a byte buffer. Cairo's y axis points down
// from the page's top, so every y is flipped against the current page height.
// An image's pixels (and a JPEG's bytes) are lent to Cairo without a copy: the
// surface that wraps them, and the JPEG's mime data, each hold a copy of the
// Image handle, so they live exactly as long as Cairo keeps them. One surface
// per image serves every drawing of it: Cairo writes a surface it has seen
// before as a reference to the object it already wrote. Cairo cannot write a
// document without pages, so one in which no page was begun is written with
// qpdf instead, carrying the same title and creator.

#include "Platform/PdfWriter.h"

#include "Platform/QpdfHandle.h"
#include "Platform/Text.h"
#include "Platform/TextLayout.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <cmath>
#include <map>

namespace Platform {
namespace {

// The PDF as Cairo writes it: in blocks of a fixed size rather than one
// buffer that doubles, whose every growth would hold the old bytes and twice
// as many again at once (a long copy's hundreds of megabytes three times over).
// Each block is pages of its own, given back to the system as soon as it is
// let go, so that joining the blocks holds the bytes about once, not twice.
class Output {
public:
    static constexpr std::size_t block = std::size_t{1} << 20;

    void append(const unsigned char* data, std::size_t length)
    {
        while (length > 0) {
            if (blocks_.empty() || blocks_.back().used == block) blocks_.emplace_back();
            Block& last = blocks_.back();
            const std::size_t n = std::min(length, block - last.used);
            std::memcpy(last.data + last.used, data, n);
            last.used += n, data += n, length -= n, size_ += n;
        }
    }
    std::size_t size() const { return size_; }
    std::size_t held() const { return blocks_.size() * block; }
    // The bytes in one buffer, each block let go as soon as it is copied.
    Bytes joined()
    {
        Bytes out;
        out.reserve(size_);
        for (Block& b : blocks_) {
            out.insert(out.end(), b.data, b.data + b.used);
            b = Block::none();
        }
        blocks_.clear();
        size_ = 0;
        return out;
    }

private:
    struct Block {
        std::uint8_t* data = nullptr;
        std::size_t used = 0;
        Block()
        {
            void* at = mmap(nullptr, block, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (at == MAP_FAILED) throw std::bad_alloc();
            data = static_cast<std::uint8_t*>(at);
        }
        static Block none() { return Block(nullptr); }
        Block(Block&& other) noexcept : data(std::exchange(other.data, nullptr)), used(other.used) {}
        Block& operator=(Block&& other) noexcept
        {
            std::swap(data, other.data);
            std::swap(used, other.used);
            return *this;
        }
        ~Block()
        {
            if (data) munmap(data, block);
        }

    private:
        explicit Block(std::nullptr_t) {}
    };
    std::vector<Block> blocks_;
    std::size_t size_ = 0;
};

cairo_status_t appendToBytes(void* closure, const unsigned char* data, unsigned int length)
{
    // Nothing may be thrown through Cairo's C code.
    try {
        static_cast<Output*>(closure)->append(data, length);
    } catch (const std::exception&) {
        return CAIRO_STATUS_NO_MEMORY;
    }
    return CAIRO_STATUS_SUCCESS;
}

thread_local const std::string* forcedFailure = nullptr;

const cairo_user_data_key_t imageKey{};

void releaseImage(void* image) { delete static_cast<Image*>(image); }

Bytes pagelessDocument(const std::string& title, const std::string& creator)
{
    try {
        QpdfPtr pdf = makeQpdf();
        pdf->emptyPDF();
        QPDFObjectHandle info = pdf->makeIndirectObject(QPDFObjectHandle::newDictionary());
        info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(title));
        info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(creator));
        pdf->getTrailer().replaceKey("/Info", info);
        QPDFWriter writer(*pdf);
        writer.setOutputMemory();
        writer.write();
        auto buffer = writer.getBufferSharedPointer();
        return Bytes(buffer->getBuffer(), buffer->getBuffer() + buffer->getSize());
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace

struct PdfWriter::Impl {
    Output bytes;
    std::string title;
    std::string creator;
    std::string failure; // set by fail()
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    double pageHeight = 792;
    bool inPage = false;
    bool anyPage = false;
    bool finished = false;
    std::map<const void*, cairo_surface_t*> surfaces; // by Image identity; each holds a copy of its Image

    bool good() const
    {
        return !finished && failure.empty() && surface && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS && cr
            && cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    }
    double flip(double y) const { return pageHeight - y; }
    void source(Color c) const { cairo_set_source_rgb(cr, c.red, c.green, c.blue); }
    cairo_surface_t* surfaceOf(const Image& image);
    void releaseSurfaces()
    {
        for (auto& [identity, surface] : surfaces) cairo_surface_destroy(surface);
        surfaces.clear();
    }
    ~Impl()
    {
        if (cr) cairo_destroy(cr);
        releaseSurfaces();
        if (surface) cairo_surface_destroy(surface);
    }
};

PdfWriter::PdfWriter(const std::string& title, const std::string& creator) : impl_(std::make_unique<Impl>())
{
    impl_->title = title;
    impl_->creator = creator;
    impl_->surface = cairo_pdf_surface_create_for_stream(appendToBytes, &impl_->bytes, 612, 792);
    if (cairo_surface_status(impl_->surface) != CAIRO_STATUS_SUCCESS) return;
    // Cairo fails the whole document on a title it cannot encode.
    cairo_pdf_surface_set_metadata(impl_->surface, CAIRO_PDF_METADATA_TITLE, Text::drawable(title).c_str());
    cairo_pdf_surface_set_metadata(impl_->surface, CAIRO_PDF_METADATA_CREATOR, Text::drawable(creator).c_str());
    impl_->cr = cairo_create(impl_->surface);
    if (forcedFailure) impl_->failure = *forcedFailure;
}

PdfWriter::ForcedFailure::ForcedFailure(std::string reason) : reason_(std::move(reason)), outer_(forcedFailure)
{
    forcedFailure = &reason_;
}

PdfWriter::ForcedFailure::~ForcedFailure() { forcedFailure = outer_; }

PdfWriter::~PdfWriter() = default;

bool PdfWriter::ok() const { return impl_->good(); }

std::size_t PdfWriter::heldBytes() const { return impl_->bytes.held(); }

std::size_t PdfWriter::writtenBytes() const { return impl_->bytes.size(); }

std::string PdfWriter::failure() const
{
    if (!impl_->failure.empty()) return impl_->failure;
    cairo_status_t status = CAIRO_STATUS_SUCCESS;
    if (impl_->surface) status = cairo_surface_status(impl_->surface);
    if (status == CAIRO_STATUS_SUCCESS && impl_->cr) status = cairo_status(impl_->cr);
    return status == CAIRO_STATUS_SUCCESS ? std::string() : cairo_status_to_string(status);
}

void PdfWriter::beginPage(Size size)
{
    if (!impl_->good()) return;
    if (impl_->inPage) endPage();
    // The first page's size must be set before anything is drawn; later pages
    // get theirs right after the previous one was shown.
    cairo_pdf_surface_set_size(impl_->surface, size.width, size.height);
    impl_->pageHeight = size.height;
    impl_->inPage = true;
    impl_->anyPage = true;
}

void PdfWriter::endPage()
{
    if (!impl_->good() || !impl_->inPage) return;
    cairo_show_page(impl_->cr);
    impl_->inPage = false;
}

void PdfWriter::drawTextLine(const TextLayout& text, int line, Point baselineOrigin, Color color)
{
    if (!impl_->good()) return;
    impl_->source(color);
    text.drawLine(line, baselineOrigin.x, impl_->flip(baselineOrigin.y), impl_->cr);
}

void PdfWriter::drawTextLines(const std::vector<PlacedLine>& lines, Color color)
{
    if (!impl_->good() || lines.empty()) return;
    impl_->source(color);
    GlyphBatch batch;
    for (const PlacedLine& placed : lines)
        if (placed.text) batch.add(*placed.text, placed.line, placed.baselineOrigin.x, impl_->flip(placed.baselineOrigin.y));
    batch.show(impl_->cr);
}

cairo_surface_t* PdfWriter::Impl::surfaceOf(const Image& image)
{
    if (auto found = surfaces.find(image.identity()); found != surfaces.end()) return found->second;
    const Bitmap& bitmap = image.bitmap();
    // Cairo only reads these pixels.
    auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(bitmap.pixels.data()));
    cairo_surface_t* pixels =
        cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, bitmap.width, bitmap.height, bitmap.width * 4);
    if (cairo_surface_status(pixels) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(pixels);
        return nullptr;
    }
    cairo_surface_set_user_data(pixels, &imageKey, new Image(image), releaseImage);
    // The JPEG bytes get a handle of their own: Cairo shares mime data with the
    // snapshot it takes of the surface, which outlives the surface itself.
    if (const Bytes* jpeg = image.jpegData())
        cairo_surface_set_mime_data(pixels, CAIRO_MIME_TYPE_JPEG, jpeg->data(), jpeg->size(), releaseImage, new Image(image));
    surfaces.emplace(image.identity(), pixels);
    return pixels;
}

void PdfWriter::drawImage(const Image& image, Rect rect)
{
    if (!impl_->good() || image.width() <= 0 || image.height() <= 0 || rect.isEmpty()) return;
    cairo_surface_t* pixels = impl_->surfaceOf(image);
    if (!pixels) return;
    cairo_t* cr = impl_->cr;
    cairo_save(cr);
    cairo_translate(cr, rect.minX(), impl_->flip(rect.maxY()));
    cairo_scale(cr, rect.width / image.width(), rect.height / image.height());
    cairo_set_source_surface(cr, pixels, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_NONE);
    cairo_rectangle(cr, 0, 0, image.width(), image.height());
    cairo_fill(cr);
    cairo_restore(cr);
}

void PdfWriter::release(const Image& image)
{
    auto found = impl_->surfaces.find(image.identity());
    if (found == impl_->surfaces.end()) return;
    // Cairo keeps its own reference while the page that draws it is open.
    cairo_surface_destroy(found->second);
    impl_->surfaces.erase(found);
}

void PdfWriter::strokeLine(Point from, Point to, double width, Color color, LineCap cap)
{
    if (!impl_->good()) return;
    cairo_t* cr = impl_->cr;
    cairo_save(cr);
    impl_->source(color);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, cap == LineCap::round ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
    cairo_move_to(cr, from.x, impl_->flip(from.y));
    cairo_line_to(cr, to.x, impl_->flip(to.y));
    cairo_stroke(cr);
    cairo_restore(cr);
}

void PdfWriter::strokeDashes(Point from, Point to, double width, double on, double period, Color color, LineCap cap)
{
    if (!impl_->good() || !(period > 0) || !(on >= 0) || !(on < period)) return;
    cairo_t* cr = impl_->cr;
    cairo_save(cr);
    impl_->source(color);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, cap == LineCap::round ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
    const double dashes[2] = {on, period - on};
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_move_to(cr, from.x, impl_->flip(from.y));
    cairo_line_to(cr, to.x, impl_->flip(to.y));
    cairo_stroke(cr);
    cairo_restore(cr);
}

void PdfWriter::strokeRect(Rect rect, double width, Color color)
{
    if (!impl_->good()) return;
    cairo_t* cr = impl_->cr;
    impl_->source(color);
    cairo_set_line_width(cr, width);
    cairo_rectangle(cr, rect.minX(), impl_->flip(rect.maxY()), rect.maxX() - rect.minX(), rect.maxY() - rect.minY());
    cairo_stroke(cr);
}

void PdfWriter::fillRect(Rect rect, Color color)
{
    if (!impl_->good()) return;
    cairo_t* cr = impl_->cr;
    impl_->source(color);
    cairo_rectangle(cr, rect.minX(), impl_->flip(rect.maxY()), rect.maxX() - rect.minX(), rect.maxY() - rect.minY());
    cairo_fill(cr);
}

void PdfWriter::fillCircle(Point centre, double radius, Color color)
{
    if (!impl_->good() || !(radius > 0)) return;
    cairo_t* cr = impl_->cr;
    impl_->source(color);
    cairo_new_path(cr);
    cairo_arc(cr, centre.x, impl_->flip(centre.y), radius, 0, 2 * M_PI);
    cairo_fill(cr);
}

void PdfWriter::strokeCircle(Point centre, double radius, double width, Color color)
{
    if (!impl_->good() || !(radius > 0)) return;
    cairo_t* cr = impl_->cr;
    impl_->source(color);
    cairo_set_line_width(cr, width);
    cairo_new_path(cr);
    cairo_arc(cr, centre.x, impl_->flip(centre.y), radius, 0, 2 * M_PI);
    cairo_stroke(cr);
}

Bytes PdfWriter::finish()
{
    if (!impl_->good()) {
        impl_->finished = true;
        return {};
    }
    if (impl_->inPage) endPage();
    cairo_destroy(impl_->cr);
    impl_->cr = nullptr;
    cairo_surface_finish(impl_->surface);
    impl_->releaseSurfaces();
    bool failed = cairo_surface_status(impl_->surface) != CAIRO_STATUS_SUCCESS;
    impl_->finished = true;
    if (failed) return {};
    if (!impl_->anyPage) {
        Bytes pageless = pagelessDocument(impl_->title, impl_->creator);
        if (pageless.empty()) impl_->failure = "a document without pages could not be written";
        return pageless;
    }
    return impl_->bytes.joined();
}

} // namespace Platform
