// Cairo's PDF surface writing into a byte buffer, y flipped against the
// current page height. Cairo cannot write a document without pages, so when
// no page was begun the canvas writes a page-less document with qpdf instead,
// carrying the same title and creator.

#include "Platform/PdfCanvas.h"

#include "Platform/TextLayout.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <cmath>

namespace Platform {
namespace {

cairo_status_t appendToBytes(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<Bytes*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

Bytes pagelessDocument(const std::string& title, const std::string& creator)
{
    try {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFObjectHandle info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(title));
        info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(creator));
        pdf.getTrailer().replaceKey("/Info", info);
        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.write();
        auto buffer = writer.getBufferSharedPointer();
        return Bytes(buffer->getBuffer(), buffer->getBuffer() + buffer->getSize());
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace

struct PdfCanvas::Impl {
    Bytes bytes;
    std::string title;
    std::string creator;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    double pageHeight = 792;
    bool inPage = false;
    bool anyPage = false;
    bool finished = false;

    bool good() const
    {
        return !finished && surface && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS && cr
            && cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    }
    double flip(double y) const { return pageHeight - y; }
    void source(Color c) const { cairo_set_source_rgb(cr, c.red, c.green, c.blue); }
    ~Impl()
    {
        if (cr) cairo_destroy(cr);
        if (surface) cairo_surface_destroy(surface);
    }
};

PdfCanvas::PdfCanvas(const std::string& title, const std::string& creator) : impl_(std::make_unique<Impl>())
{
    impl_->title = title;
    impl_->creator = creator;
    impl_->surface = cairo_pdf_surface_create_for_stream(appendToBytes, &impl_->bytes, 612, 792);
    if (cairo_surface_status(impl_->surface) != CAIRO_STATUS_SUCCESS) return;
    cairo_pdf_surface_set_metadata(impl_->surface, CAIRO_PDF_METADATA_TITLE, title.c_str());
    cairo_pdf_surface_set_metadata(impl_->surface, CAIRO_PDF_METADATA_CREATOR, creator.c_str());
    impl_->cr = cairo_create(impl_->surface);
}

PdfCanvas::~PdfCanvas() = default;

bool PdfCanvas::ok() const { return impl_->good(); }

void PdfCanvas::beginPage(Size size)
{
    if (!impl_->good()) return;
    if (impl_->inPage) endPage();
    cairo_pdf_surface_set_size(impl_->surface, size.width, size.height);
    impl_->pageHeight = size.height;
    impl_->inPage = true;
    impl_->anyPage = true;
}

void PdfCanvas::endPage()
{
    if (!impl_->good() || !impl_->inPage) return;
    cairo_show_page(impl_->cr);
    impl_->inPage = false;
}

void PdfCanvas::drawTextLine(const TextLayout& text, int line, Point baselineOrigin, Color color)
{
    if (!impl_->good()) return;
    impl_->source(color);
    text.drawLine(line, baselineOrigin.x, impl_->flip(baselineOrigin.y), impl_->cr);
}

void PdfCanvas::strokeLine(Point from, Point to, double width, Color color, LineCap cap)
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

void PdfCanvas::strokeRect(Rect rect, double width, Color color)
{
    if (!impl_->good()) return;
    cairo_t* cr = impl_->cr;
    impl_->source(color);
    cairo_set_line_width(cr, width);
    cairo_rectangle(cr, rect.minX(), impl_->flip(rect.maxY()), rect.maxX() - rect.minX(), rect.maxY() - rect.minY());
    cairo_stroke(cr);
}

void PdfCanvas::fillCircle(Point centre, double radius, Color color)
{
    if (!impl_->good() || !(radius > 0)) return;
    cairo_t* cr = impl_->cr;
    impl_->source(color);
    cairo_new_path(cr);
    cairo_arc(cr, centre.x, impl_->flip(centre.y), radius, 0, 2 * M_PI);
    cairo_fill(cr);
}

void PdfCanvas::strokeCircle(Point centre, double radius, double width, Color color)
{
    if (!impl_->good() || !(radius > 0)) return;
    cairo_t* cr = impl_->cr;
    impl_->source(color);
    cairo_set_line_width(cr, width);
    cairo_new_path(cr);
    cairo_arc(cr, centre.x, impl_->flip(centre.y), radius, 0, 2 * M_PI);
    cairo_stroke(cr);
}

Bytes PdfCanvas::finish()
{
    if (!impl_->good()) {
        impl_->finished = true;
        return {};
    }
    if (impl_->inPage) endPage();
    const bool anyPage = impl_->anyPage;
    cairo_destroy(impl_->cr);
    impl_->cr = nullptr;
    cairo_surface_finish(impl_->surface);
    bool failed = cairo_surface_status(impl_->surface) != CAIRO_STATUS_SUCCESS;
    impl_->finished = true;
    if (failed) return {};
    if (!anyPage) return pagelessDocument(impl_->title, impl_->creator);
    return std::move(impl_->bytes);
}

} // namespace Platform
