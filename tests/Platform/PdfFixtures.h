#pragma once

// PDFs made by the tests: text pages drawn with Cairo, and pages with
// hand-written content streams, images, forms, boxes, rotation and encryption
// put together with qpdf. Header-only: the Platform and FolmiraKit test
// programs both use it.

#include "Platform/Geometry.h"
#include "Platform/Text.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace PdfFixtures {

using Platform::Bytes;
using Platform::Rect;

// A document of `pages` pages of `width` × `height` points drawn by `draw`
// (Cairo's own coordinates: origin top-left, y down).
inline Bytes cairoPdf(int pages, const std::function<void(cairo_t*, int)>& draw, double width = 612,
                      double height = 792)
{
    Bytes out;
    auto writer = [](void* closure, const unsigned char* data, unsigned int length) {
        auto* bytes = static_cast<Bytes*>(closure);
        bytes->insert(bytes->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    };
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(writer, &out, width, height);
    cairo_t* cr = cairo_create(surface);
    for (int i = 0; i < pages; ++i) {
        cairo_save(cr);
        draw(cr, i);
        cairo_restore(cr);
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return out;
}

// Shows `text` with its baseline's left end at (x, y) in Cairo coordinates.
inline void showText(cairo_t* cr, double x, double y, const std::string& text, double size = 12,
                     const char* family = "Liberation Sans", bool bold = false, bool italic = false)
{
    cairo_select_font_face(cr, family, italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

// Pages, images and forms with content streams written by hand.
class Builder {
public:
    Builder() : qpdf_(std::make_unique<QPDF>()) { qpdf_->emptyPDF(); }

    // A small RGB image XObject (grey pixels).
    QPDFObjectHandle image(int width = 2, int height = 2)
    {
        std::string pixels(static_cast<std::size_t>(width * height * 3), '\x80');
        QPDFObjectHandle stream = qpdf_->newStream(pixels);
        stream.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        stream.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
        stream.getDict().replaceKey("/Width", QPDFObjectHandle::newInteger(width));
        stream.getDict().replaceKey("/Height", QPDFObjectHandle::newInteger(height));
        stream.getDict().replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceRGB"));
        stream.getDict().replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
        return stream;
    }

    // A form XObject; `resources` is a dictionary (or null for none), `matrix`
    // the source of its /Matrix array (such as "[2 0 0 2 10 10]"), empty for none.
    QPDFObjectHandle form(const std::string& content, QPDFObjectHandle resources, const std::string& matrix = "")
    {
        QPDFObjectHandle stream = qpdf_->newStream(content);
        auto dict = stream.getDict();
        dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        dict.replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 1000 1000]"));
        if (!matrix.empty()) dict.replaceKey("/Matrix", QPDFObjectHandle::parse(matrix));
        if (resources.isDictionary()) dict.replaceKey("/Resources", resources);
        return stream;
    }

    // Resources naming each XObject: {{"Im", image()}, {"Fm", form(...)}}.
    static QPDFObjectHandle xobjects(std::initializer_list<std::pair<std::string, QPDFObjectHandle>> entries)
    {
        QPDFObjectHandle xobject = QPDFObjectHandle::newDictionary();
        for (const auto& [name, object] : entries) xobject.replaceKey("/" + name, object);
        QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", xobject);
        return resources;
    }

    void page(const std::string& content, QPDFObjectHandle resources, Rect media = {0, 0, 612, 792},
              std::optional<Rect> crop = std::nullopt, int rotate = 0)
    {
        auto box = [](const Rect& r) {
            QPDFObjectHandle array = QPDFObjectHandle::newArray();
            for (double v : {r.minX(), r.minY(), r.maxX(), r.maxY()}) array.appendItem(QPDFObjectHandle::newReal(v, 3));
            return array;
        };
        QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
        page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        page.replaceKey("/MediaBox", box(media));
        if (crop) page.replaceKey("/CropBox", box(*crop));
        if (rotate != 0) page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(rotate));
        page.replaceKey("/Resources", resources.isDictionary() ? resources : QPDFObjectHandle::newDictionary());
        page.replaceKey("/Contents", qpdf_->newStream(content));
        QPDFPageDocumentHelper(*qpdf_).addPage(QPDFPageObjectHelper(qpdf_->makeIndirectObject(page)), false);
    }

    enum class Lock { none, password, noCopying };

    Bytes write(Lock lock = Lock::none)
    {
        QPDFWriter writer(*qpdf_);
        writer.setOutputMemory();
        writer.setStaticID(true);
        if (lock == Lock::password)
            writer.setR6EncryptionParameters("secret", "owner", true, true, true, true, true, true, qpdf_r3p_full, true);
        else if (lock == Lock::noCopying)
            writer.setR6EncryptionParameters("", "owner", true, false, true, true, true, true, qpdf_r3p_full, true);
        writer.write();
        auto buffer = writer.getBufferSharedPointer();
        return Bytes(buffer->getBuffer(), buffer->getBuffer() + buffer->getSize());
    }

    QPDF& qpdf() { return *qpdf_; }

private:
    std::unique_ptr<QPDF> qpdf_;
};

// A copy of a PDF with /Rotate set on every page (and nothing else changed).
inline Bytes rotated(const Bytes& pdf, int rotate)
{
    QPDF qpdf;
    qpdf.processMemoryFile("in.pdf", reinterpret_cast<const char*>(pdf.data()), pdf.size());
    for (auto& page : QPDFPageDocumentHelper(qpdf).getAllPages())
        page.getObjectHandle().replaceKey("/Rotate", QPDFObjectHandle::newInteger(rotate));
    QPDFWriter writer(qpdf);
    writer.setOutputMemory();
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return Bytes(buffer->getBuffer(), buffer->getBuffer() + buffer->getSize());
}

// A copy of a PDF with its objects packed in object streams, as qpdf and many
// writers save them.
inline Bytes packed(const Bytes& pdf)
{
    QPDF qpdf;
    qpdf.processMemoryFile("in.pdf", reinterpret_cast<const char*>(pdf.data()), pdf.size());
    QPDFWriter writer(qpdf);
    writer.setOutputMemory();
    writer.setObjectStreamMode(qpdf_o_generate);
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return Bytes(buffer->getBuffer(), buffer->getBuffer() + buffer->getSize());
}

} // namespace PdfFixtures
