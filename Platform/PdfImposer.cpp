// Each source page that is used becomes one form XObject, copied once into
// the output and drawn with "cm", a clip rectangle and "Do" wherever it goes.
// Where the page draws with one content stream and no /Rotate or /UserUnit,
// that stream is the form: its dictionary gains the form's keys and its data
// goes to the output still compressed, as it is (the writer keeps Flate data
// unless told otherwise). Other pages are made into forms by qpdf, which joins
// their streams and so unpacks them. qpdf reports damage by throwing; every
// entry point turns that into "none".

#include "Platform/PdfImposer.h"

#include "Platform/QpdfHandle.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <cmath>
#include <map>
#include <memory>

namespace Platform::PdfImposer {

namespace {

QpdfPtr open(const Bytes& source)
{
    QpdfPtr pdf = makeQpdf();
    pdf->setSuppressWarnings(true);
    pdf->processMemoryFile("source.pdf", reinterpret_cast<const char*>(source.data()), source.size());
    return pdf;
}

QPDFObjectHandle::Rectangle mediaBox(QPDFPageObjectHelper& page)
{
    QPDFObjectHandle box = page.getMediaBox();
    if (!box.isRectangle()) return {0, 0, 612, 792};
    return box.getArrayAsRectangle();
}

bool isTransformed(QPDFPageObjectHelper& page)
{
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    if (rotate.isNumber() && rotate.getNumericValue() != 0) return true;
    return page.getObjectHandle().hasKey("/UserUnit");
}

// The page as a form XObject of the source document, indirect.
QPDFObjectHandle formFor(QPDF& in, QPDFPageObjectHelper& page)
{
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    if (contents.isArray() && contents.getArrayNItems() == 1) contents = contents.getArrayItem(0);
    // A stream that is already some form (shared by two pages, say) is left alone.
    if (contents.isStream() && contents.isIndirect() && !contents.getDict().hasKey("/Subtype") && !isTransformed(page)) {
        QPDFObjectHandle dict = contents.getDict();
        dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        dict.replaceKey("/BBox", page.getTrimBox().shallowCopy());
        QPDFObjectHandle resources = page.getAttribute("/Resources", false);
        dict.replaceKey("/Resources", resources.isDictionary() ? resources : QPDFObjectHandle::newDictionary());
        return contents;
    }
    QPDFObjectHandle form = page.getFormXObjectForPage();
    return form.isIndirect() ? form : in.makeIndirectObject(form);
}

std::string number(double v) { return QUtil::double_to_string(std::isfinite(v) ? v : 0, 4); }

} // namespace

std::optional<SourceInfo> inspect(const Bytes& source)
{
    try {
        auto pdf = open(source);
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(*pdf).getAllPages();
        SourceInfo info;
        info.pageCount = static_cast<int>(pages.size());
        if (!pages.empty()) {
            QPDFObjectHandle box = pages[0].getMediaBox();
            if (box.isRectangle()) {
                auto r = box.getArrayAsRectangle();
                info.firstPageSize = Size{std::abs(r.urx - r.llx), std::abs(r.ury - r.lly)};
            }
        }
        return info;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

Bytes impose(const Bytes& source, Size size, const std::vector<std::vector<Placement>>& pages,
             const std::string& creator)
{
    try {
        auto in = open(source);
        std::vector<QPDFPageObjectHelper> sourcePages = QPDFPageDocumentHelper(*in).getAllPages();

        QpdfPtr outHandle = makeQpdf();
        QPDF& out = *outHandle;
        out.emptyPDF();
        std::map<int, QPDFObjectHandle> forms; // source page → its form in the output
        for (const auto& placements : pages) {
            QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
            std::string content;
            for (const Placement& p : placements) {
                if (p.page < 0 || p.page >= static_cast<int>(sourcePages.size())) continue;
                auto found = forms.find(p.page);
                if (found == forms.end()) {
                    QPDFObjectHandle form = formFor(*in, sourcePages[static_cast<std::size_t>(p.page)]);
                    found = forms.emplace(p.page, out.copyForeignObject(form)).first;
                }
                const std::string name = "/P" + std::to_string(p.page);
                xobjects.replaceKey(name, found->second);
                auto box = mediaBox(sourcePages[static_cast<std::size_t>(p.page)]);
                content += "q " + number(p.scale) + " 0 0 " + number(p.scale) + " " + number(p.origin.x) + " " +
                           number(p.origin.y) + " cm 0 0 " + number(p.clip.width) + " " + number(p.clip.height) +
                           " re W n 1 0 0 1 " + number(-box.llx) + " " + number(-box.lly) + " cm " + name + " Do Q\n";
            }
            QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
            resources.replaceKey("/XObject", xobjects);
            QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
            page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
            page.replaceKey("/MediaBox", QPDFObjectHandle::newFromRectangle({0, 0, size.width, size.height}));
            page.replaceKey("/Resources", resources);
            page.replaceKey("/Contents", QPDFObjectHandle::newStream(&out, content));
            QPDFPageDocumentHelper(out).addPage(QPDFPageObjectHelper(out.makeIndirectObject(page)), false);
        }
        QPDFObjectHandle info = out.makeIndirectObject(QPDFObjectHandle::newDictionary());
        info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(creator));
        out.getTrailer().replaceKey("/Info", info);

        QPDFWriter writer(out);
        writer.setOutputMemory();
        writer.setStreamDataMode(qpdf_s_compress);
        writer.write();
        auto buffer = writer.getBufferSharedPointer();
        return Bytes(buffer->getBuffer(), buffer->getBuffer() + buffer->getSize());
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace Platform::PdfImposer
