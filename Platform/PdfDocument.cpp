// Design note: Poppler reads the text, the per-character boxes and the fonts,
// and draws pages; qpdf reads the media box, the /Rotate and (in PdfContent)
// the content streams. Both parse the same bytes, which the document keeps.
//
// Poppler reports boxes in its device space: 72 dpi, origin at the crop box's
// top-left corner, y down, with the page's /Rotate applied. `DeviceSpace`
// undoes that, so callers only ever see unrotated user space with y up.
//
// Threads: two documents may be read at once on two threads. Poppler keeps
// each document's state to itself and locks what it shares; qpdf 11 does not:
// every QPDF, while it is destroyed, writes to one "destroyed object" that all
// of them share, so documents are closed one at a time.

#include "Platform/PdfDocument.h"

#include "Platform/QpdfHandle.h"

#include <cairo.h>
#include <poppler.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

namespace Platform {

namespace {

template <typename T>
struct GObjectDeleter {
    void operator()(T* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};

struct CairoSurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct CairoDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};


bool finite(const Rect& r)
{
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height);
}

Rect rectFromCorners(double x1, double y1, double x2, double y2)
{
    return {std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)};
}

// Poppler's device space of one page: x' = xx·x + xy·y + x0, y' = yx·x + yy·y + y0
// maps device coordinates to user space.
struct DeviceSpace {
    cairo_matrix_t toUser;

    DeviceSpace(const Rect& crop, int rotation)
    {
        double x1 = crop.minX(), y1 = crop.minY(), x2 = crop.maxX(), y2 = crop.maxY();
        switch (rotation) {
        case 90: cairo_matrix_init(&toUser, 0, 1, 1, 0, x1, y1); break;
        case 180: cairo_matrix_init(&toUser, -1, 0, 0, 1, x2, y1); break;
        case 270: cairo_matrix_init(&toUser, 0, -1, -1, 0, x2, y2); break;
        default: cairo_matrix_init(&toUser, 1, 0, 0, -1, x1, y2); break;
        }
    }

    Rect user(const PopplerRectangle& r) const
    {
        double ax = r.x1, ay = r.y1, bx = r.x2, by = r.y2;
        cairo_matrix_transform_point(&toUser, &ax, &ay);
        cairo_matrix_transform_point(&toUser, &bx, &by);
        return rectFromCorners(ax, ay, bx, by);
    }
};

std::optional<Rect> qpdfBox(QPDFObjectHandle box)
{
    if (!box.isRectangle()) return std::nullopt;
    auto r = box.getArrayAsRectangle();
    Rect rect = rectFromCorners(r.llx, r.lly, r.urx, r.ury);
    if (!finite(rect)) return std::nullopt;
    return rect;
}

// /Rotate as Poppler reads it: brought into 0…359, and only right angles count.
int normalizedRotation(long long value)
{
    long long r = value % 360;
    if (r < 0) r += 360;
    return r % 90 == 0 ? static_cast<int>(r) : 0;
}

// Page-tree nodes nested deeper than this are left to qpdf's own list of pages.
constexpr int deepestNode = 64;

// A page tree's pages, by object, in order.
struct PageIndex {
    std::vector<QPDFObjGen> pages;
    bool allDictionaries = true; // of the pages looked at
};

// Indexes the pages under `node` from the tree's nodes alone where a node's
// /Count says that its kids are all pages: a long document's pages are then
// parsed only as they are read, by the process that reads them, where qpdf's
// own list of pages parses every page at once. False where the tree is not
// so plain: a loop, a kid that is no reference, too deep, past `most` pages.
bool indexPages(QPDFObjectHandle node, PageIndex& index, std::set<QPDFObjGen>& nodes, int depth, std::size_t most)
{
    if (depth > deepestNode || !node.isIndirect() || !node.isDictionary() || !nodes.insert(node.getObjGen()).second)
        return false;
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (!kids.isArray()) return false;
    const int count = kids.getArrayNItems();
    QPDFObjectHandle claimed = node.getKey("/Count");
    const bool allPages = claimed.isInteger() && claimed.getIntValue() == count;
    for (int i = 0; i < count; ++i) {
        QPDFObjectHandle kid = kids.getArrayItem(i);
        if (!kid.isIndirect() || index.pages.size() >= most) return false;
        if (allPages) {
            index.pages.push_back(kid.getObjGen()); // checked when read
        } else if (kid.isDictionary() && kid.hasKey("/Kids")) { // a node, as qpdf tells one
            if (!indexPages(kid, index, nodes, depth + 1, most)) return false;
        } else {
            index.allDictionaries = index.allDictionaries && kid.isDictionary();
            index.pages.push_back(kid.getObjGen());
        }
    }
    return true;
}

// Poppler's text puts each right-to-left run between embedding marks (U+202B
// and U+202C) that have no box in its layout: every box after the first mark
// would belong to the character before its own. The marks go; the text is in
// logical order without them. The run's boxes come left to right, the
// opposite of its characters: `reversed` gets the scalar ranges [begin, end)
// whose boxes are to be turned round.
std::string withoutEmbeddingMarks(const char* text, std::vector<std::pair<std::size_t, std::size_t>>& reversed)
{
    // U+202A–U+202E are E2 80 AA–AE in UTF-8.
    std::string_view all(text);
    bool any = false;
    for (std::size_t at = all.find("\xE2\x80"); at != std::string_view::npos && !any; at = all.find("\xE2\x80", at + 1))
        any = at + 2 < all.size() && static_cast<unsigned char>(all[at + 2]) >= 0xAA &&
              static_cast<unsigned char>(all[at + 2]) <= 0xAE;
    if (!any) return std::string(all);
    std::string out;
    std::size_t scalar = 0;
    std::vector<std::pair<std::size_t, bool>> open; // where each embedding began, and whether right to left
    for (const char* s = text; *s; s = g_utf8_next_char(s)) {
        gunichar c = g_utf8_get_char(s);
        if (c >= 0x202A && c <= 0x202E) {
            if (c == 0x202C && !open.empty()) {
                if (open.back().second && scalar > open.back().first) reversed.emplace_back(open.back().first, scalar);
                open.pop_back();
            } else if (c != 0x202C && open.size() < 64) {
                open.emplace_back(scalar, c == 0x202B || c == 0x202E);
            }
            continue;
        }
        out.append(s, static_cast<std::size_t>(g_utf8_next_char(s) - s));
        ++scalar;
    }
    return out;
}

} // namespace

struct PdfDocument::Impl {
    std::shared_ptr<const void> owner; // keeps `data` alive
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    GObjectPtr<PopplerDocument> poppler;
    QpdfPtr qpdf; // none when qpdf cannot read what Poppler could
    // Each page's object (indexPages), or, where the tree is not so plain,
    // qpdf's own list of the pages.
    std::vector<QPDFObjGen> qpdfPageIds;
    std::vector<QPDFPageObjectHelper> qpdfPages;
    // Whether qpdf's pages are Poppler's: Poppler passes over a kid of the
    // page tree that is no dictionary, where qpdf keeps it as a page. Told
    // when first asked, and false from a kid indexed as a page that is none.
    mutable std::optional<bool> treeAgrees;

    void listPages()
    {
        const int pages = poppler_document_get_n_pages(poppler.get());
        PageIndex index;
        std::set<QPDFObjGen> nodes;
        QPDFObjectHandle root = qpdf->getRoot().getKey("/Pages");
        // qpdf's list mends a root that has a parent; so does this, by using it.
        if (pages > 0 && root.isDictionary() && !root.hasKey("/Parent") &&
            indexPages(root, index, nodes, 0, static_cast<std::size_t>(pages)) &&
            index.pages.size() == static_cast<std::size_t>(pages)) {
            qpdfPageIds = std::move(index.pages);
            if (!index.allDictionaries) treeAgrees = false;
            return;
        }
        qpdfPages = QPDFPageDocumentHelper(*qpdf).getAllPages();
        treeAgrees = std::all_of(qpdfPages.begin(), qpdfPages.end(),
                                 [](QPDFPageObjectHelper page) { return page.getObjectHandle().isDictionary(); });
    }

    std::optional<QPDFPageObjectHelper> qpdfPage(std::size_t index) const
    {
        if (index < qpdfPages.size()) return qpdfPages[index];
        if (index >= qpdfPageIds.size()) return std::nullopt;
        QPDFObjectHandle page = qpdf->getObject(qpdfPageIds[index]);
        if (!page.isDictionary() || page.hasKey("/Kids")) {
            treeAgrees = false; // a /Count that called a node or no dictionary a page
            return std::nullopt;
        }
        // As qpdf's own list of pages has it.
        if (!page.isDictionaryOfType("/Page")) page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        return QPDFPageObjectHelper(page);
    }

    // Poppler's pages are the indexed ones where it found as many pages as
    // were indexed, and every page indexed unseen is a dictionary: of a kid
    // that is none, Poppler would have found one page fewer.
    bool pageTreesAgree() const
    {
        if (!treeAgrees) {
            const int pages = poppler_document_get_n_pages(poppler.get());
            GObjectPtr<PopplerPage> last(pages > 0 ? poppler_document_get_page(poppler.get(), pages - 1) : nullptr);
            treeAgrees = last != nullptr;
        }
        return *treeAgrees;
    }
};

struct PdfPage::Impl {
    std::shared_ptr<PdfDocument::Impl> document;
    int index = 0;
    GObjectPtr<PopplerPage> page;
    Rect cropBox;
    // From qpdf, when first asked for: a page's crop box, all an opening
    // tells of every page, takes no qpdf at all.
    mutable bool resolved = false;
    mutable std::optional<QPDFPageObjectHelper> qpdfPage;
    mutable Rect mediaBox;
    mutable int rotation = 0;

    void resolve() const;
};

// The qpdf page behind a page, for the content scanner; none without one.
std::optional<QPDFPageObjectHelper> qpdfPageOf(const PdfPage& page)
{
    page.impl().resolve();
    return page.impl().qpdfPage;
}

// Whether the page's document has qpdf and Poppler read the same pages.
bool qpdfTreeAgrees(const PdfPage& page)
{
    return page.impl().document->pageTreesAgree();
}

PdfDocument::Opened PdfDocument::open(const Bytes& data)
{
    if (data.empty()) return {};
    return openShared(std::make_shared<const Bytes>(data));
}

std::optional<PdfDocument> PdfDocument::reopened() const
{
    return openMapped(impl_->owner, impl_->data, impl_->size).document;
}

PdfDocument::Opened PdfDocument::openShared(std::shared_ptr<const Bytes> bytes)
{
    if (!bytes || bytes->empty()) return {};
    const std::uint8_t* data = bytes->data();
    const std::size_t size = bytes->size();
    return openMapped(std::move(bytes), data, size);
}

PdfDocument::Opened PdfDocument::openMapped(std::shared_ptr<const void> owner, const std::uint8_t* data, std::size_t size)
{
    if (!owner || !data || size == 0) return {};
    Opened opened;
    auto impl = std::make_shared<Impl>();
    impl->owner = std::move(owner);
    impl->data = data;
    impl->size = size;

    std::unique_ptr<GBytes, void (*)(GBytes*)> gbytes(g_bytes_new_static(impl->data, impl->size),
                                                      g_bytes_unref);
    GError* error = nullptr;
    impl->poppler.reset(poppler_document_new_from_bytes(gbytes.get(), nullptr, &error));
    if (!impl->poppler) {
        if (error && error->domain == POPPLER_ERROR && error->code == POPPLER_ERROR_ENCRYPTED)
            opened.failure = OpenFailure::locked;
        if (error) g_error_free(error);
        return opened;
    }

    try {
        QpdfPtr qpdf = makeQpdf();
        qpdf->setSuppressWarnings(true);
        qpdf->processMemoryFile("document.pdf", reinterpret_cast<const char*>(impl->data), impl->size);
        impl->qpdf = std::move(qpdf);
        impl->listPages();
    } catch (const std::exception&) {
        impl->qpdfPageIds.clear();
        impl->qpdfPages.clear();
    }
    opened.document = PdfDocument(std::move(impl));
    return opened;
}

int PdfDocument::pageCount() const
{
    return poppler_document_get_n_pages(impl_->poppler.get());
}

bool PdfDocument::allowsCopying() const
{
    return (poppler_document_get_permissions(impl_->poppler.get()) & POPPLER_PERMISSIONS_OK_TO_COPY) != 0;
}

std::optional<PdfPage> PdfDocument::page(int index) const
{
    if (index < 0 || index >= pageCount()) return std::nullopt;
    GObjectPtr<PopplerPage> popplerPage(poppler_document_get_page(impl_->poppler.get(), index));
    if (!popplerPage) return std::nullopt;

    auto impl = std::make_shared<PdfPage::Impl>();
    impl->document = impl_;
    PopplerRectangle crop{};
    poppler_page_get_crop_box(popplerPage.get(), &crop);
    impl->cropBox = rectFromCorners(crop.x1, crop.y1, crop.x2, crop.y2);
    if (!finite(impl->cropBox)) impl->cropBox = {};
    impl->index = index;
    impl->page = std::move(popplerPage);
    return PdfPage(std::move(impl));
}

void PdfPage::Impl::resolve() const
{
    if (resolved) return;
    resolved = true;
    mediaBox = cropBox;
    try {
        if (auto qpage = document->qpdfPage(static_cast<std::size_t>(index))) {
            if (auto media = qpdfBox(qpage->getMediaBox())) mediaBox = *media;
            auto rotate = qpage->getAttribute("/Rotate", false);
            if (rotate.isNumber()) {
                double value = rotate.getNumericValue();
                if (std::isfinite(value) && std::abs(value) < 1e9)
                    rotation = normalizedRotation(static_cast<long long>(value));
            }
            qpdfPage = *qpage;
        }
    } catch (const std::exception&) {
        qpdfPage.reset();
    }
    // Poppler's own view of the rotation decides: its page size is turned for
    // 90 and 270. Where qpdf disagrees, follow Poppler.
    double w = 0, h = 0;
    poppler_page_get_size(page.get(), &w, &h);
    bool turned = rotation == 90 || rotation == 270;
    double cw = cropBox.width, ch = cropBox.height;
    if (std::abs(cw - ch) > 0.01) {
        bool looksTurned = std::abs(w - ch) < 0.01 && std::abs(h - cw) < 0.01;
        if (looksTurned != turned) rotation = looksTurned ? 90 : 0;
    }
}

Rect PdfPage::mediaBox() const
{
    impl_->resolve();
    return impl_->mediaBox;
}
Rect PdfPage::cropBox() const { return impl_->cropBox; }
int PdfPage::rotation() const
{
    impl_->resolve();
    return impl_->rotation;
}

PdfPageText PdfPage::text() const
{
    PdfPageText result;
    PopplerPage* page = impl_->page.get();
    std::unique_ptr<char, GFreeDeleter> text(poppler_page_get_text(page));
    if (!text) return result;
    std::vector<std::pair<std::size_t, std::size_t>> reversed;
    result.text = withoutEmbeddingMarks(text.get(), reversed);
    std::size_t scalars = static_cast<std::size_t>(g_utf8_strlen(result.text.c_str(), -1));
    result.boxes.resize(scalars);

    // Poppler keeps the page's extracted text, so the layout and the attributes
    // below reuse the extraction behind get_text; both count the same scalars.
    PopplerRectangle* rects = nullptr;
    guint count = 0;
    if (poppler_page_get_text_layout(page, &rects, &count)) {
        std::unique_ptr<PopplerRectangle, GFreeDeleter> owned(rects);
        DeviceSpace space(impl_->cropBox, rotation());
        for (std::size_t i = 0; i < scalars && i < count; ++i) {
            Rect r = space.user(rects[i]);
            if (finite(r)) result.boxes[i] = r;
        }
        for (auto [begin, end] : reversed)
            if (end <= scalars) std::reverse(result.boxes.begin() + static_cast<std::ptrdiff_t>(begin),
                                             result.boxes.begin() + static_cast<std::ptrdiff_t>(end));
    }

    GList* list = poppler_page_get_text_attributes(page);
    for (GList* item = list; item; item = item->next) {
        auto* attributes = static_cast<PopplerTextAttributes*>(item->data);
        if (!attributes || attributes->end_index < attributes->start_index) continue;
        PdfFontSpan span;
        span.begin = attributes->start_index;
        span.end = attributes->end_index + 1; // Poppler's end is inclusive
        span.name = attributes->font_name ? attributes->font_name : "";
        span.size = std::isfinite(attributes->font_size) ? attributes->font_size : 0;
        result.fonts.push_back(std::move(span));
    }
    poppler_page_free_text_attributes(list);
    return result;
}

std::string separatedText(const PdfPageText& page)
{
    std::u32string scalars = Text::scalars(page.text);
    std::u32string out;
    out.reserve(scalars.size());
    for (std::size_t i = 0; i < scalars.size(); ++i) {
        if (i > 0 && i < page.boxes.size() && page.boxes[i - 1] && page.boxes[i] &&
            !Text::isWhitespaceScalar(scalars[i - 1]) && !Text::isWhitespaceScalar(scalars[i])) {
            const Rect& a = *page.boxes[i - 1];
            const Rect& b = *page.boxes[i];
            // Letters of one word touch; a gap of a sixth of the line height is a cell's padding.
            double tolerance = std::max(a.height, b.height) / 6;
            bool sameLine = a.minY() < b.maxY() && b.minY() < a.maxY();
            if (!sameLine || b.minX() - a.maxX() > tolerance || b.minX() < a.minX() - tolerance) out += U' ';
        }
        out += scalars[i];
    }
    return Text::fromScalars(out);
}

std::optional<Bitmap> PdfPage::render(const Rect& region, double scale, std::int64_t maxPixels) const
{
    if (!finite(region) || !std::isfinite(scale) || scale <= 0) return std::nullopt;
    // Sizes in floating point first: a huge region must not overflow an int.
    double w = std::floor(scale * region.width), h = std::floor(scale * region.height);
    if (!(w > 0) || !(h > 0) || w * h >= static_cast<double>(maxPixels)) return std::nullopt;
    if (w > 32767 || h > 32767) return std::nullopt; // Cairo's largest surface side

    Bitmap bitmap;
    bitmap.width = static_cast<int>(w);
    bitmap.height = static_cast<int>(h);
    bitmap.pixels.assign(static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height), 0);
    std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter> surface(cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(bitmap.pixels.data()), CAIRO_FORMAT_ARGB32, bitmap.width, bitmap.height,
        bitmap.width * 4));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    std::unique_ptr<cairo_t, CairoDeleter> cr(cairo_create(surface.get()));
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());

    // Device space → user space → bitmap pixels (region's top-left at the origin).
    DeviceSpace space(impl_->cropBox, rotation());
    cairo_matrix_t toPixels, matrix;
    cairo_matrix_init(&toPixels, scale, 0, 0, -scale, -scale * region.minX(), scale * region.maxY());
    cairo_matrix_multiply(&matrix, &space.toUser, &toPixels);
    cairo_set_matrix(cr.get(), &matrix);
    // Printing without annotation flags draws the page's own contents only.
    poppler_page_render_for_printing_with_options(impl_->page.get(), cr.get(), POPPLER_PRINT_DOCUMENT);
    cairo_surface_flush(surface.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    return bitmap;
}

std::optional<Bitmap> PdfPage::renderShown(int x, int y, int width, int height, double scale) const
{
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767 || !std::isfinite(scale) || scale <= 0)
        return std::nullopt;
    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter> surface(cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(bitmap.pixels.data()), CAIRO_FORMAT_ARGB32, width, height, width * 4));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    std::unique_ptr<cairo_t, CairoDeleter> cr(cairo_create(surface.get()));
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());
    cairo_translate(cr.get(), -x, -y);
    cairo_scale(cr.get(), scale, scale);
    poppler_page_render(impl_->page.get(), cr.get());
    cairo_surface_flush(surface.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    return bitmap;
}

} // namespace Platform
