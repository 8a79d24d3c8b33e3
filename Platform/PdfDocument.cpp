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
#include <poppler/GlobalParams.h>
#include <poppler/Page.h>
#include <poppler/TextOutputDev.h>
#include <poppler/UnicodeMap.h>
#include <poppler/XRef.h>
#include <poppler/PDFDoc.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>

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

// The dictionaries of a page tree's nodes as the index looks at them. qpdf
// resolves an object packed in an object stream by parsing every object of
// that stream, and writers (qpdf among them) pack each node among the pages
// it holds: walking the tree through qpdf would parse every page at opening,
// some 3.5 KB of qpdf's memory a page. A packed object is parsed here alone,
// from its stream's decoded text; the pages stay unparsed until read.
class TreeObjects {
public:
    explicit TreeObjects(QPDF& qpdf) : qpdf_(qpdf) {}

    // The object `ref` refers to: parsed alone where it is packed, else
    // qpdf's own. Throws where its stream can't be read.
    QPDFObjectHandle dictionary(QPDFObjectHandle ref)
    {
        if (!xref_) xref_ = qpdf_.getXRefTable(); // once, and only for a tree of nodes
        const auto entry = xref_->find(ref.getObjGen());
        if (entry == xref_->end() || entry->second.getType() != 2) return ref;
        const std::string text = packedText(entry->second.getObjStreamNumber(), ref.getObjGen().getObj(),
                                            entry->second.getObjStreamIndex());
        return QPDFObjectHandle::parse(&qpdf_, text, "page tree object");
    }

private:
    // The text of object `number`, the `index`-th of object stream `stream`.
    std::string packedText(int stream, int number, int index)
    {
        if (stream != stream_) load(stream);
        const auto at = static_cast<std::size_t>(index);
        if (index < 0 || at >= offsets_.size() || offsets_[at].first != number)
            throw std::runtime_error("object not in its stream");
        const std::size_t from = offsets_[at].second;
        const std::size_t to = at + 1 < offsets_.size() ? offsets_[at + 1].second : text_.size();
        if (from > to || to > text_.size()) throw std::runtime_error("object stream offsets out of order");
        return text_.substr(from, to - from);
    }

    // Decodes object stream `stream`: its /N pairs of object number and
    // offset, and the objects' text after /First. The last one is kept, as a
    // node's kids that are nodes are packed one after another.
    void load(int stream)
    {
        stream_ = 0;
        offsets_.clear();
        QPDFObjectHandle object = qpdf_.getObject(stream, 0);
        if (!object.isStream()) throw std::runtime_error("no object stream");
        QPDFObjectHandle n = object.getDict().getKey("/N"), first = object.getDict().getKey("/First");
        if (!n.isInteger() || !first.isInteger()) throw std::runtime_error("object stream without /N or /First");
        auto data = object.getStreamData(qpdf_dl_generalized);
        const std::string all(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        const long long count = n.getIntValue(), start = first.getIntValue();
        if (count < 0 || start < 0 || static_cast<std::size_t>(start) > all.size() || count > start)
            throw std::runtime_error("object stream header out of bounds");
        const char* at = all.c_str();
        const char* end = at + start;
        for (long long i = 0; i < count; ++i) {
            char* next = nullptr;
            const long number = std::strtol(at, &next, 10);
            if (next == at || next > end) throw std::runtime_error("object stream header damaged");
            at = next;
            const long offset = std::strtol(at, &next, 10);
            if (next == at || next > end || offset < 0) throw std::runtime_error("object stream header damaged");
            at = next;
            offsets_.emplace_back(static_cast<int>(number), static_cast<std::size_t>(offset));
        }
        text_ = all.substr(static_cast<std::size_t>(start));
        stream_ = stream;
    }

    QPDF& qpdf_;
    std::optional<std::map<QPDFObjGen, QPDFXRefEntry>> xref_;
    int stream_ = 0;
    std::vector<std::pair<int, std::size_t>> offsets_;
    std::string text_;
};

// Indexes the pages under `node` from the tree's nodes alone where a node's
// /Count says that its kids are all pages: a long document's pages are then
// parsed only as they are read, by the process that reads them, where qpdf's
// own list of pages parses every page at once. False where the tree is not
// so plain: a loop, a kid that is no reference, too deep, past `most` pages.
bool indexPages(QPDFObjectHandle node, TreeObjects& objects, PageIndex& index, std::set<QPDFObjGen>& nodes,
                int depth, std::size_t most)
{
    if (depth > deepestNode || !node.isIndirect() || !nodes.insert(node.getObjGen()).second) return false;
    // The root, which qpdf has read already (the catalog names it), is its own.
    QPDFObjectHandle dictionary = depth == 0 ? node : objects.dictionary(node);
    if (!dictionary.isDictionary()) return false;
    QPDFObjectHandle kids = dictionary.getKey("/Kids");
    if (!kids.isArray()) return false;
    const int count = kids.getArrayNItems();
    QPDFObjectHandle claimed = dictionary.getKey("/Count");
    const bool allPages = claimed.isInteger() && claimed.getIntValue() == count;
    for (int i = 0; i < count; ++i) {
        QPDFObjectHandle kid = kids.getArrayItem(i);
        if (!kid.isIndirect() || index.pages.size() >= most) return false;
        if (allPages) {
            index.pages.push_back(kid.getObjGen()); // checked when read
            continue;
        }
        QPDFObjectHandle looked = objects.dictionary(kid);
        if (looked.isDictionary() && looked.hasKey("/Kids")) { // a node, as qpdf tells one
            if (!indexPages(kid, objects, index, nodes, depth + 1, most)) return false;
        } else {
            index.allDictionaries = index.allDictionaries && looked.isDictionary();
            index.pages.push_back(kid.getObjGen());
        }
    }
    return true;
}

// Form fields a page's text takes values from, and the characters it takes
// of each: far past any real form, and small beside the page's own text.
constexpr int mostFields = 500;
constexpr int mostFieldCharacters = 1000;
constexpr int mostChoiceItems = 1000;

// What a text or choice field shows: its text, or its chosen items. Empty
// for other fields, and for a password, which is not shown.
std::string fieldValue(PopplerFormField* field)
{
    std::string value;
    auto take = [&](gchar* text) {
        std::unique_ptr<gchar, GFreeDeleter> owned(text);
        if (!text || !*text) return;
        if (!value.empty()) value += ", ";
        value += text;
    };
    switch (poppler_form_field_get_field_type(field)) {
    case POPPLER_FORM_FIELD_TEXT:
        if (!poppler_form_field_text_is_password(field)) take(poppler_form_field_text_get_text(field));
        break;
    case POPPLER_FORM_FIELD_CHOICE:
        if (poppler_form_field_choice_is_editable(field)) take(poppler_form_field_choice_get_text(field));
        if (value.empty()) {
            const int items = std::min(poppler_form_field_choice_get_n_items(field), mostChoiceItems);
            for (int i = 0; i < items; ++i)
                if (poppler_form_field_choice_is_item_selected(field, i)) take(poppler_form_field_choice_get_item(field, i));
        }
        break;
    default: break;
    }
    return value;
}

// Whether a centre of `centres` (sorted by y) lies in `area`. The centres
// looked at over all fields are counted in `checks`: past a bound, a field is
// taken as not printed over, so a page of a million characters on one line
// costs no more than that bound however many fields it has.
bool printedIn(const Rect& area, const std::vector<Point>& centres, std::size_t& checks)
{
    constexpr std::size_t mostChecks = 4'000'000;
    auto from = std::lower_bound(centres.begin(), centres.end(), area.minY(), [](Point p, double y) { return p.y < y; });
    for (auto it = from; it != centres.end() && it->y <= area.maxY(); ++it) {
        if (++checks > mostChecks) return false;
        if (area.contains(*it)) return true;
    }
    return false;
}

// Poppler's text leaves out what a page's filled form fields show: each
// value is added to the text as a line of its own, its characters spread
// over the field's rectangle (in user space), so that words and lines are
// built from it by position as from the page's own text. A field over
// characters the page itself draws is left out: its value is printed there.
void addFieldValues(PopplerPage* page, const Rect& crop, PdfPageText& result)
{
    GList* mappings = poppler_page_get_form_field_mapping(page);
    if (!mappings) return;
    std::vector<Point> centres; // of the page's own characters, by height
    for (const auto& box : result.boxes)
        if (box) centres.push_back({box->midX(), box->midY()});
    std::sort(centres.begin(), centres.end(), [](Point a, Point b) { return a.y < b.y; });
    std::size_t checks = 0;
    int fields = 0;
    for (GList* item = mappings; item && fields < mostFields; item = item->next) {
        auto* mapping = static_cast<PopplerFormFieldMapping*>(item->data);
        if (!mapping || !mapping->field) continue;
        std::u32string value = Text::scalars(fieldValue(mapping->field));
        for (char32_t& c : value)
            if (Text::isNewlineScalar(c) || c == U'\t') c = U' ';
        if (value.size() > static_cast<std::size_t>(mostFieldCharacters)) value.resize(mostFieldCharacters);
        Rect area = rectFromCorners(mapping->area.x1 + crop.minX(), mapping->area.y1 + crop.minY(),
                                    mapping->area.x2 + crop.minX(), mapping->area.y2 + crop.minY());
        if (Text::trimWhitespace(Text::fromScalars(value)).empty() || !finite(area) || area.width <= 0 || area.height <= 0)
            continue;
        if (printedIn(area, centres, checks)) continue;
        ++fields;
        double size = poppler_form_field_get_font_size(mapping->field);
        if (!std::isfinite(size) || size <= 0 || size > area.height) size = std::min(area.height * 0.7, 12.0);
        const double width = std::min(size * 0.5, area.width / static_cast<double>(value.size()));
        const double bottom = area.minY() + (area.height - size) / 2;
        if (!result.text.empty() && result.text.back() != '\n') {
            result.text += '\n';
            result.boxes.emplace_back();
        }
        PdfFontSpan span;
        span.begin = static_cast<int>(result.boxes.size());
        span.end = span.begin + static_cast<int>(value.size());
        span.name = "Helvetica";
        span.size = size;
        for (std::size_t i = 0; i < value.size(); ++i)
            result.boxes.push_back(Rect{area.minX() + 2 + width * static_cast<double>(i), bottom, width, size});
        result.text += Text::fromScalars(value);
        result.fonts.push_back(std::move(span));
    }
    poppler_page_free_form_field_mapping(mappings);
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

// The font objects of a document held parsed in Poppler's table, by number,
// and the items they hold.
struct HeldFontObjects {
    std::set<int> numbers;
    int items = 0;
};

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
    // The indexed pages whose object says it is something else (a font, the
    // catalog): both libraries take it as a page, with nothing on it.
    mutable std::set<QPDFObjGen> typedOtherwise;
    // Whether the catalog has a form: Poppler reads form fields only then,
    // and pages of other documents need not look for them.
    bool hasForm = true;
    // The font objects held parsed in Poppler's table (holdFontObjects).
    HeldFontObjects heldFontObjects;

    void listPages()
    {
        const int pages = poppler_document_get_n_pages(poppler.get());
        PageIndex index;
        std::set<QPDFObjGen> nodes;
        QPDFObjectHandle root = qpdf->getRoot().getKey("/Pages");
        // qpdf's list mends a root that has a parent; so does this, by using it.
        TreeObjects objects(*qpdf);
        bool indexed = false;
        try {
            indexed = pages > 0 && root.isDictionary() && !root.hasKey("/Parent") &&
                      indexPages(root, objects, index, nodes, 0, static_cast<std::size_t>(pages));
        } catch (const std::exception&) { // a packed node that can't be read alone: qpdf's own list reads it
        }
        if (indexed && index.pages.size() == static_cast<std::size_t>(pages)) {
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
        if (!page.isDictionaryOfType("/Page")) {
            if (page.hasKey("/Type")) typedOtherwise.insert(qpdfPageIds[index]);
            page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        }
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

// Whether the object the page tree names as the page says it is one, or says nothing.
bool qpdfTypedAsPage(const PdfPage& page)
{
    const auto qpage = qpdfPageOf(page);
    return qpage && !page.impl().document->typedOtherwise.count(qpage->getObjectHandle().getObjGen());
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
        impl->hasForm = qpdf->getRoot().hasKey("/AcroForm");
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

Size PdfPage::shownSize() const
{
    double width = 0, height = 0;
    poppler_page_get_size(impl_->page.get(), &width, &height);
    return std::isfinite(width) && std::isfinite(height) ? Size{width, height} : Size{};
}

PdfPageText PdfPage::textFromGlib() const
{
    PdfPageText result;
    PopplerPage* page = impl_->page.get();
    std::unique_ptr<char, GFreeDeleter> text(poppler_page_get_text(page));
    if (!text) return result;
    // Poppler's text is a selection from the page's top-left corner to its
    // bottom-right one. On a page whose first block is right to left, that
    // corner falls inside the block and what precedes it there is left out;
    // ending at the bottom-left corner, a last right-to-left block may be cut
    // instead, or a last left-to-right line. Such a page is also selected from
    // its top-right corner to each bottom corner, and the longest reading kept.
    std::optional<PopplerRectangle> fromRight;
    if (std::string_view(text.get()).find("\u202B") != std::string_view::npos) {
        double width = 0, height = 0;
        poppler_page_get_size(page, &width, &height);
        glong longest = g_utf8_strlen(text.get(), -1);
        for (double endX : {0.0, width}) {
            PopplerRectangle area{width, 0, endX, height};
            std::unique_ptr<char, GFreeDeleter> other(poppler_page_get_text_for_area(page, &area));
            if (!other) continue;
            if (glong length = g_utf8_strlen(other.get(), -1); length > longest) {
                longest = length;
                text = std::move(other);
                fromRight = area;
            }
        }
    }
    std::vector<std::pair<std::size_t, std::size_t>> reversed;
    result.text = withoutEmbeddingMarks(text.get(), reversed);
    std::size_t scalars = static_cast<std::size_t>(g_utf8_strlen(result.text.c_str(), -1));
    result.boxes.resize(scalars);

    // Poppler keeps the page's extracted text, so the layout and the attributes
    // below reuse the extraction behind get_text; both count the same scalars.
    PopplerRectangle* rects = nullptr;
    guint count = 0;
    if (fromRight ? poppler_page_get_text_layout_for_area(page, &*fromRight, &rects, &count)
                  : poppler_page_get_text_layout(page, &rects, &count)) {
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

    GList* list = fromRight ? poppler_page_get_text_attributes_for_area(page, &*fromRight)
                            : poppler_page_get_text_attributes(page);
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
    if (impl_->document->hasForm) addFieldValues(page, impl_->cropBox, result);
    return result;
}

namespace {

// poppler-glib's page object as poppler-glib 22 lays it out: its Poppler
// page is read only after the fields before it are found to be what the
// page says of itself (its document, its index), and that page's own number
// agrees; else the page's text is read through poppler-glib.
struct GlibPageLayout {
    GObject parent;
    PopplerDocument* document;
    Page* page;
    int index;
};

Page* corePage(PopplerPage* page, PopplerDocument* document, int index)
{
    static const bool fits = [] {
        GTypeQuery query{};
        g_type_query(POPPLER_TYPE_PAGE, &query);
        return query.instance_size >= sizeof(GlibPageLayout);
    }();
    if (!fits) return nullptr; // a poppler-glib whose page is smaller than this layout is another layout
    const auto* layout = reinterpret_cast<const GlibPageLayout*>(page);
    if (layout->document != document || layout->index != index || poppler_page_get_index(page) != index ||
        !layout->page || layout->page->getNum() != index + 1)
        return nullptr;
    return layout->page;
}

// The most font objects held parsed for a document: more than a book's
// fonts need, few enough that a file of a new font on every page holds a
// few megabytes at most.
constexpr std::size_t mostHeldFontObjects = 512;

// The most items (entries of its dictionaries and arrays, nested) of an
// object held: a font's widths and encoding take a few hundred; a
// dictionary of millions is parsed again where it is used, not kept. And
// the most of all objects held: some hundred fonts, a few megabytes.
constexpr int mostHeldItems = 4096;
constexpr int mostHeldItemsInAll = 65'536;

// Whether `object` holds no more than `budget` items, nested ones included.
bool fewItems(const Object& object, int& budget)
{
    if (object.isArray()) {
        budget -= object.arrayGetLength();
        for (int i = 0; budget >= 0 && i < object.arrayGetLength(); ++i)
            if (!fewItems(object.arrayGetNF(i), budget)) return false;
    } else if (object.isDict()) {
        budget -= object.dictGetLength();
        for (int i = 0; budget >= 0 && i < object.dictGetLength(); ++i)
            if (!fewItems(object.dictGetValNF(i), budget)) return false;
    }
    return budget >= 0;
}

// Holds `ref`'s object parsed in Poppler's table, as an object updated in
// memory, which Poppler's later fetches of it return as they are; streams,
// which are read afresh each time, are left as they are. (Poppler returns it
// for any generation of its number: a damaged file's reference of another
// generation reads the font, where it read none.) Returns the object.
Object holdParsed(XRef* xref, const Object& ref, HeldFontObjects& held)
{
    if (!ref.isRef()) return ref.copy();
    Object object = ref.fetch(xref);
    if (held.numbers.count(ref.getRef().num)) return object; // held by an earlier page
    const int allowed = std::min(mostHeldItems, mostHeldItemsInAll - held.items);
    int budget = allowed;
    if ((object.isDict() || object.isArray()) && held.numbers.size() < mostHeldFontObjects &&
        fewItems(object, budget)) {
        xref->setModifiedObject(&object, ref.getRef());
        held.numbers.insert(ref.getRef().num);
        held.items += allowed - budget;
    }
    return object;
}

// Poppler parses the fonts a page names anew for every page: their
// dictionaries, encodings, widths and descriptors, most of its work on a
// page of plain text, though the pages of a document mostly share them.
// Held parsed, each is parsed once a document.
void holdFontObjects(Page* page, HeldFontObjects& held)
{
    Dict* resources = page->getResourceDict();
    XRef* xref = page->getDoc() ? page->getDoc()->getXRef() : nullptr;
    if (!resources || !xref) return;
    Object fonts = holdParsed(xref, resources->lookupNF("Font"), held);
    if (!fonts.isDict()) return;
    for (int i = 0; i < fonts.getDict()->getLength(); ++i) {
        Object font = holdParsed(xref, fonts.getDict()->getValNF(i), held);
        if (!font.isDict()) continue;
        for (const char* key : {"Encoding", "FontDescriptor", "Widths", "DescendantFonts"}) {
            Object part = holdParsed(xref, font.getDict()->lookupNF(key), held);
            if (!part.isArray() || std::strcmp(key, "DescendantFonts") != 0) continue;
            for (int k = 0; k < part.arrayGetLength(); ++k) {
                Object descendant = holdParsed(xref, part.arrayGetNF(k), held);
                if (!descendant.isDict()) continue;
                for (const char* inner : {"FontDescriptor", "W"})
                    holdParsed(xref, descendant.getDict()->lookupNF(inner), held);
            }
        }
    }
}

struct TextPageRelease {
    void operator()(TextPage* text) const { text->decRefCnt(); }
};

// The page's text as Poppler extracts it, built as poppler-glib builds it
// (physical layout, the crop box at 72 dpi, unrotated).
std::unique_ptr<TextPage, TextPageRelease> textPageOf(Page* page)
{
    TextOutputDev device(nullptr, true, 0, false, false);
    if (!device.isOk()) return nullptr;
    // The page's own contents: annotations are not part of its text.
    auto noAnnotations = [](Annot*, void*) { return false; };
    page->displaySlice(&device, 72.0, 72.0, 0, false, true, -1, -1, -1, -1, false, nullptr, nullptr, noAnnotations, nullptr);
    return std::unique_ptr<TextPage, TextPageRelease>(device.takeText());
}

struct SelectionLines {
    std::vector<TextWordSelection*>** lines = nullptr;
    int count = 0;
    ~SelectionLines()
    {
        for (int i = 0; lines && i < count; ++i) {
            for (TextWordSelection* word : *lines[i]) delete word;
            delete lines[i];
        }
        gfree(lines);
    }
};

// Whether two characters are set alike, as poppler-glib tells where one font span ends.
bool sameAttributes(const TextWord* a, int ai, const TextWord* b, int bi)
{
    if (!a->getFontInfo(ai)->matches(b->getFontInfo(bi)) || a->getFontSize() != b->getFontSize() ||
        a->isUnderlined() != b->isUnderlined())
        return false;
    double ar, ag, ab, br, bg, bb;
    a->getColor(&ar, &ag, &ab);
    b->getColor(&br, &bg, &bb);
    return ar == br && ag == bg && ab == bb;
}

// Whether Poppler may take `c` for a right-to-left character: every block of
// those scripts, and the marks between them (more than Poppler's own table:
// a page with one is only read the longer way).
bool mayRunLeftwards(Unicode c)
{
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0x200E && c <= 0x202E) || (c >= 0xFB1D && c <= 0xFEFF) ||
           (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF);
}

// The font's name as poppler-glib gives it: without a subset tag
// (capitals then "+"), "Default" for a font without one.
// The quarter turns counter-clockwise that make the page's text read left to
// right: those of the direction (Poppler's, in its turned device space) that
// more than half of its characters run in, seen in the unrotated page.
int readingTurns(const std::array<std::size_t, 4>& characters, const cairo_matrix_t& toUser)
{
    const std::size_t total = characters[0] + characters[1] + characters[2] + characters[3];
    const auto most = std::max_element(characters.begin(), characters.end());
    if (total == 0 || *most * 2 <= total) return 0;
    // Device space runs y down: direction 1 reads down the screen, 3 up.
    constexpr double along[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    double dx = along[most - characters.begin()][0], dy = along[most - characters.begin()][1];
    cairo_matrix_transform_distance(&toUser, &dx, &dy);
    if (std::abs(dx) >= std::abs(dy)) return dx > 0 ? 0 : 2;
    return dy < 0 ? 1 : 3; // reading down the page turns counter-clockwise once, reading up three times
}

// Vertical CJK set in upright glyphs of a horizontal font (browsers) has no
// rotation for Poppler to report: it cuts the columns into characters,
// given apart or joined across columns. Such a page reads down its columns:
// of its CJK characters that touch a neighbour, most touch the one under
// them (in one column, the same left edge) rather than the one beside them.
bool uprightVertical(const PdfPageText& page)
{
    // CJK scalars (U+2E80 and up) begin with a byte of 0xE2 or more: most pages have none.
    if (std::none_of(page.text.begin(), page.text.end(), [](char b) { return static_cast<unsigned char>(b) >= 0xE2; }))
        return false;
    const std::u32string scalars = Text::scalars(page.text);
    std::vector<Rect> boxes;
    int apart = 0, joined = 0; // neighbours in the text: given apart by Poppler, or joined
    bool after = false, spaced = false;
    for (std::size_t i = 0; i < scalars.size() && i < page.boxes.size(); ++i) {
        if (Text::isWhitespaceScalar(scalars[i])) {
            spaced = true;
            continue;
        }
        const bool cjk = Text::isCJKScalar(scalars[i]) && page.boxes[i];
        if (cjk && after) ++(spaced ? apart : joined);
        if (cjk) boxes.push_back(*page.boxes[i]);
        after = cjk;
        spaced = false;
    }
    // Horizontal CJK comes in runs: only a page given character by character is looked at.
    if (boxes.size() < 8 || apart <= joined) return false;
    auto touching = [&](auto key, auto gap) {
        std::sort(boxes.begin(), boxes.end(), key);
        int count = 0;
        for (std::size_t i = 1; i < boxes.size(); ++i) {
            const Rect& a = boxes[i - 1];
            const Rect& b = boxes[i];
            const double g = gap(a, b), em = std::max(a.height, a.width);
            if (g > -0.5 * em && g < 0.3 * em) ++count;
        }
        return count;
    };
    // Down a column: the same left edge, top to bottom; along a row: the same foot, left to right.
    const int below = touching(
        [](const Rect& a, const Rect& b) {
            const double ka = std::round(a.minX()), kb = std::round(b.minX());
            return ka != kb ? ka < kb : a.midY() > b.midY();
        },
        [](const Rect& a, const Rect& b) { return std::round(a.minX()) == std::round(b.minX()) ? a.minY() - b.maxY() : 1e9; });
    const int beside = touching(
        [](const Rect& a, const Rect& b) {
            const double ka = std::round(a.minY()), kb = std::round(b.minY());
            return ka != kb ? ka < kb : a.midX() < b.midX();
        },
        [](const Rect& a, const Rect& b) { return std::round(a.minY()) == std::round(b.minY()) ? b.minX() - a.maxX() : 1e9; });
    return below >= 8 && below > 3 * beside;
}

// The page's characters read down its columns, the columns right to left,
// one line each: Poppler, seeing no rotation, joins characters of several
// columns that stand at one height into a line across them.
void readDownColumns(PdfPageText& page)
{
    struct Character {
        char32_t scalar;
        Rect box;
        const PdfFontSpan* font;
    };
    const std::u32string scalars = Text::scalars(page.text);
    std::vector<Character> characters;
    std::size_t span = 0;
    for (std::size_t i = 0; i < scalars.size() && i < page.boxes.size(); ++i) {
        while (span < page.fonts.size() && page.fonts[span].end <= static_cast<int>(i)) ++span;
        const PdfFontSpan* font = span < page.fonts.size() && page.fonts[span].begin <= static_cast<int>(i) ? &page.fonts[span] : nullptr;
        if (!page.boxes[i] || Text::isWhitespaceScalar(scalars[i])) continue;
        Rect box = *page.boxes[i];
        // A horizontal full stop or comma sits low and left in its em; drawn
        // where a vertical one belongs, high and right in its place, it is
        // raised by nearly an em, and its box with it: it is put back.
        const char32_t c = scalars[i];
        if (c == U'\u3001' || c == U'\u3002' || c == U'\uFF0C' || c == U'\uFF0E') box.y -= font ? font->size : box.height;
        characters.push_back({c, box, font});
    }
    // Columns right to left: a character joins the column whose first it overlaps by half its width.
    std::stable_sort(characters.begin(), characters.end(),
                     [](const Character& a, const Character& b) { return a.box.midX() > b.box.midX(); });
    std::vector<std::vector<Character>> columns;
    for (const Character& c : characters) {
        if (!columns.empty()) {
            const Rect& a = columns.back().front().box;
            const double across = std::min(a.maxX(), c.box.maxX()) - std::max(a.minX(), c.box.minX());
            if (across >= 0.5 * std::min(a.width, c.box.width)) {
                columns.back().push_back(c);
                continue;
            }
        }
        columns.push_back({c});
    }
    PdfPageText read;
    read.quarterTurns = page.quarterTurns;
    int index = 0;
    for (auto& column : columns) {
        std::stable_sort(column.begin(), column.end(),
                         [](const Character& a, const Character& b) { return a.box.midY() > b.box.midY(); });
        if (index > 0) {
            read.text += '\n';
            read.boxes.push_back(std::nullopt);
            ++index;
        }
        for (const Character& c : column) {
            Text::appendScalar(read.text, c.scalar);
            read.boxes.push_back(c.box);
            if (c.font) {
                PdfFontSpan* last = read.fonts.empty() ? nullptr : &read.fonts.back();
                if (last && last->end == index && last->name == c.font->name && last->size == c.font->size) ++last->end;
                else read.fonts.push_back({index, index + 1, c.font->name, c.font->size});
            }
            ++index;
        }
    }
    page = std::move(read);
}

std::string fontNameOf(const TextWord* word, int i)
{
    const GooString* font = word->getFontName(i);
    if (!font || font->getLength() == 0) return "Default";
    std::string_view name = font->toStr();
    const std::size_t tag = name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    if (tag != std::string_view::npos && tag > 0 && name[tag] == '+') name.remove_prefix(tag + 1);
    return std::string(name);
}

// The characters of all the page's words that run along `along`.
std::size_t characterCount(TextPage& page, int along)
{
    std::size_t count = 0;
    for (const TextFlow* flow = page.getFlows(); flow; flow = flow->getNext())
        for (const TextBlock* block = flow->getBlocks(); block; block = block->getNext())
            for (const TextLine* line = block->getLines(); line; line = line->getNext())
                for (const TextWord* word = line->getWords(); word; word = word->getNext())
                    if ((word->getRotation() & 3) == along) count += static_cast<std::size_t>(std::max(0, word->getLength()));
    return count;
}

// The words of the page that run in another direction than `along` and are
// not in `selection`, in Poppler's reading order. (Poppler keeps no
// character drawn off the page: hidden text stays out.)
std::vector<const TextWord*> crossWords(TextPage& page, const SelectionLines& selection, int along)
{
    std::vector<const TextWord*> found;
    // Poppler's blocks each run in one direction: a page whose blocks all
    // run along `along` (most pages) has none, told without a list of words.
    bool crossing = false;
    for (const TextFlow* flow = page.getFlows(); flow && !crossing; flow = flow->getNext())
        for (const TextBlock* block = flow->getBlocks(); block && !crossing; block = block->getNext())
            for (const TextLine* line = block->getLines(); line && !crossing; line = line->getNext())
                crossing = line->getWords() && (line->getWords()->getRotation() & 3) != along;
    if (!crossing) return found;
    std::vector<const TextWord*> selected;
    for (int i = 0; i < selection.count; ++i)
        for (const TextWordSelection* chosen : *selection.lines[i]) selected.push_back(chosen->getWord());
    std::unique_ptr<TextWordList> all = page.makeWordList(false);
    if (!all || all->getLength() <= static_cast<int>(selected.size())) return found;
    std::sort(selected.begin(), selected.end());
    for (int i = 0; i < all->getLength(); ++i) {
        const TextWord* word = all->get(i);
        if (!word || word->getLength() <= 0 || (word->getRotation() & 3) == along) continue;
        if (!std::binary_search(selected.begin(), selected.end(), word)) found.push_back(word);
    }
    return found;
}

} // namespace

std::size_t PdfDocument::fontObjectsHeld() const { return impl_->heldFontObjects.numbers.size(); }

bool PdfPage::readsTextInOneWalk() const
{
    return corePage(impl_->page.get(), impl_->document->poppler.get(), impl_->index) != nullptr;
}

void PdfPage::holdFonts() const
{
    Page* page = corePage(impl_->page.get(), impl_->document->poppler.get(), impl_->index);
    if (page) holdFontObjects(page, impl_->document->heldFontObjects);
}

PdfPageText PdfPage::text() const
{
    PopplerPage* glibPage = impl_->page.get();
    Page* page = corePage(glibPage, impl_->document->poppler.get(), impl_->index);
    const UnicodeMap* utf8 = globalParams ? globalParams->getTextEncoding() : nullptr;
    if (!page || !utf8 || !utf8->isUnicode()) return textFromGlib();
    holdFontObjects(page, impl_->document->heldFontObjects);
    auto textPage = textPageOf(page);
    if (!textPage) return textFromGlib();
    double width = 0, height = 0;
    poppler_page_get_size(glibPage, &width, &height);
    PDFRectangle area(0, 0, width, height);
    SelectionLines selection;
    selection.lines = textPage->getSelectionWords(&area, selectionStyleGlyph, &selection.count);

    // One walk over the page's words gives its text, a box per character
    // (and per space and line end between them) and its font spans. Poppler
    // reorders right-to-left runs in its text, with marks around them: a page
    // with such characters takes its text from Poppler's own dump.
    PdfPageText result;
    std::vector<PopplerRectangle> rects;
    bool rightToLeft = false;
    PdfFontSpan* span = nullptr;
    const TextWord* previous = nullptr;
    int previousIndex = 0, offset = 0;
    double x2 = 0, y2 = 0; // the last word's bottom-right corner: where its line ends
    std::array<std::size_t, 4> directions{}; // characters by the direction they run in
    char utf8Bytes[8];
    auto addCharacter = [&](const TextWord* word, int k, const PopplerRectangle& r) {
        const Unicode c = word->getChar(k)[0];
        rightToLeft = rightToLeft || mayRunLeftwards(c);
        result.text.append(utf8Bytes, static_cast<std::size_t>(utf8->mapUnicode(c, utf8Bytes, sizeof utf8Bytes)));
        rects.push_back(r);
        if (!previous || !sameAttributes(word, k, previous, previousIndex)) {
            const double size = word->getFontSize();
            result.fonts.push_back(PdfFontSpan{offset, offset, fontNameOf(word, k), std::isfinite(size) ? size : 0});
            span = &result.fonts.back();
        }
        span->end = ++offset;
        previous = word;
        previousIndex = k;
    };
    auto endLine = [&] {
        if (rects.empty()) return; // nothing before it to end
        result.text += '\n';
        rects.push_back(PopplerRectangle{x2, y2, x2, y2});
        if (span) span->end = ++offset;
    };
    for (int i = 0; i < selection.count; ++i)
        for (const TextWordSelection* chosen : *selection.lines[i])
            directions[static_cast<std::size_t>(chosen->getWord()->getRotation() & 3)] +=
                static_cast<std::size_t>(std::max(0, chosen->getEnd() - chosen->getBegin()));
    const int along = static_cast<int>(std::max_element(directions.begin(), directions.end()) - directions.begin());
    // The selection from the top-left corner may stop short: on a page of
    // right-to-left paragraphs over a left-to-right one it held that one's
    // first line alone. Where it leaves out a tenth of the page's
    // characters running its way, the page is read as poppler-glib reads it.
    const std::size_t selected = directions[static_cast<std::size_t>(along)];
    if (std::size_t all = characterCount(*textPage, along); all > selected + selected / 10) return textFromGlib();
    // A box for each character and for a space or line end after each word at most.
    std::size_t wordCount = 0;
    for (int i = 0; i < selection.count; ++i) wordCount += selection.lines[i]->size();
    const std::size_t characters = directions[0] + directions[1] + directions[2] + directions[3];
    rects.reserve(characters + wordCount + static_cast<std::size_t>(selection.count));
    result.text.reserve(characters + wordCount + static_cast<std::size_t>(selection.count));
    // A page with right-to-left text takes its text from Poppler's dump,
    // in the selection's order: its words stay where the selection has them.
    bool mixed = std::count(directions.begin(), directions.end(), 0) < 3;
    for (int i = 0; mixed && i < selection.count; ++i)
        for (const TextWordSelection* chosen : *selection.lines[i])
            for (int k = chosen->getBegin(); mixed && k < chosen->getEnd(); ++k)
                mixed = !mayRunLeftwards(chosen->getWord()->getChar(k)[0]);
    std::vector<const TextWord*> across; // words running another way than most
    for (int i = 0; i < selection.count; ++i) {
        const auto& words = *selection.lines[i];
        for (std::size_t j = 0; j < words.size(); ++j) {
            const TextWordSelection* chosen = words[j];
            const TextWord* word = chosen->getWord();
            if (mixed && (word->getRotation() & 3) != along) {
                if (across.empty() || across.back() != word) across.push_back(word);
                continue;
            }
            for (int k = chosen->getBegin(); k < chosen->getEnd(); ++k) {
                PopplerRectangle r{};
                word->getCharBBox(k, &r.x1, &r.y1, &r.x2, &r.y2);
                addCharacter(word, k, r);
            }
            double x1, y1;
            word->getBBox(&x1, &y1, &x2, &y2);
            if (j + 1 < words.size() && word->hasSpaceAfter()) {
                double x3, y3, x4, y4;
                words[j + 1]->getWord()->getBBox(&x3, &y3, &x4, &y4);
                result.text += ' ';
                rects.push_back(PopplerRectangle{x2, y1, x3, y2});
                if (span) span->end = ++offset;
            }
        }
        if (i + 1 < selection.count) endLine();
    }
    // A word that runs another way than most of the page's (a vertical word
    // on a horizontal page) is a line of its own, laid along the page's
    // direction across the middle of its own place, so that it reads whole
    // where it stands. Poppler's selection gives some such words character
    // by character, as lines across the page's, and passes over others.
    if (!rightToLeft) {
        std::vector<const TextWord*> passedOver = crossWords(*textPage, selection, along);
        across.insert(across.end(), passedOver.begin(), passedOver.end());
        for (const TextWord* word : across) {
            endLine();
            const int n = word->getLength();
            double x1, y1;
            word->getBBox(&x1, &y1, &x2, &y2);
            const bool upright = word->getRotation() & 1;
            const double length = upright ? y2 - y1 : x2 - x1, thickness = upright ? x2 - x1 : y2 - y1;
            const bool horizontal = (along & 1) == 0;
            const double room = horizontal ? width : height;
            const double laid = std::min(length, room), middle = horizontal ? (x1 + x2) / 2 : (y1 + y2) / 2;
            const double start = std::clamp(middle - laid / 2, 0.0, std::max(0.0, room - laid));
            const double centre = horizontal ? (y1 + y2) / 2 : (x1 + x2) / 2;
            for (int k = 0; k < n; ++k) {
                // Direction 2 and 3 run towards smaller coordinates.
                const int step = along >= 2 ? n - 1 - k : k;
                const double a = start + laid * step / n, b = start + laid * (step + 1) / n;
                const double c = centre - thickness / 2, d = centre + thickness / 2;
                addCharacter(word, k, horizontal ? PopplerRectangle{a, c, b, d} : PopplerRectangle{c, a, d, b});
            }
            const PopplerRectangle& last = rects.back();
            x2 = std::max(last.x1, last.x2);
            y2 = std::max(last.y1, last.y2);
        }
    }
    // Read as C strings, as poppler-glib's are: a NUL ends the text.
    std::vector<std::pair<std::size_t, std::size_t>> reversed;
    if (rightToLeft) {
        std::unique_ptr<GooString> dumped(textPage->getSelectionText(&area, selectionStyleGlyph));
        // A selection from the top-left corner may start inside a first
        // right-to-left block and leave out what precedes it there: where
        // one from the top-right corner reads more, the page is read as
        // poppler-glib reads such pages, from that corner.
        const glong whole = dumped ? g_utf8_strlen(dumped->c_str(), -1) : 0;
        for (double endX : {0.0, width}) {
            PDFRectangle fromRight(width, 0, endX, height);
            std::unique_ptr<GooString> other(textPage->getSelectionText(&fromRight, selectionStyleGlyph));
            if (other && g_utf8_strlen(other->c_str(), -1) > whole) return textFromGlib();
        }
        result.text = dumped ? withoutEmbeddingMarks(dumped->c_str(), reversed) : std::string();
    } else {
        result.text = withoutEmbeddingMarks(result.text.c_str(), reversed);
    }
    const auto scalars = static_cast<std::size_t>(g_utf8_strlen(result.text.c_str(), -1));
    result.boxes.resize(scalars);
    DeviceSpace space(impl_->cropBox, rotation());
    for (std::size_t i = 0; i < scalars && i < rects.size(); ++i) {
        Rect r = space.user(rects[i]);
        if (finite(r)) result.boxes[i] = r;
    }
    for (auto [begin, end] : reversed)
        if (end <= scalars) std::reverse(result.boxes.begin() + static_cast<std::ptrdiff_t>(begin),
                                         result.boxes.begin() + static_cast<std::ptrdiff_t>(end));
    if (impl_->document->hasForm) addFieldValues(glibPage, impl_->cropBox, result);
    result.quarterTurns = readingTurns(directions, space.toUser);
    if (result.quarterTurns == 0 && uprightVertical(result)) {
        readDownColumns(result);
        result.quarterTurns = 1; // reading down the page
    }
    if (result.quarterTurns != 0)
        for (auto& box : result.boxes)
            if (box) box = turnedRect(*box, impl_->cropBox, result.quarterTurns);
    return result;
}

Rect turnedRect(const Rect& rect, const Rect& frame, int quarterTurns)
{
    const double u = rect.minX() - frame.minX(), v = rect.minY() - frame.minY();
    const double x0 = frame.minX(), y0 = frame.minY();
    switch (quarterTurns & 3) {
    case 1: return {x0 + frame.height - v - rect.height, y0 + u, rect.height, rect.width};
    case 2: return {x0 + frame.width - u - rect.width, y0 + frame.height - v - rect.height, rect.width, rect.height};
    case 3: return {x0 + v, y0 + frame.width - u - rect.width, rect.height, rect.width};
    default: return rect;
    }
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
