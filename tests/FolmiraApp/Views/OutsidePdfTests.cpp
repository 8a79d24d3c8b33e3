// The user's PDF in the original pane: opened, sized and drawn only by
// workers, whose replies are checked as any input from outside.

#include "../Fakes.h"
#include "../WorkerProgram.h"

#include "FolmiraApp/Views/Panes.h"
#include "FolmiraKit/PDF/PDFReader.h"
#include "FolmiraKit/PDF/PageReading.h"
#include "PdfView/OutsidePdf.h"
#include "PdfView/Widgets/PdfPagesView.h"
#include "PdfView/Widgets/WorkerDrawing.h"
#include "Platform/PdfHelper/PdfWorkerPages.h"
#include "Platform/PdfHelper/PdfWorkerSocket.h"
#include "tests/HangGuardQt.h"

#include <QTemporaryDir>

#include <malloc.h>

#include <poppler-qt6.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <future>
#include <limits>
#include <set>
#include <mutex>
#include <optional>

namespace FolmiraAppTest {
namespace {

// The workers asked something while it lives.
class AskedWorkers {
public:
    AskedWorkers()
    {
        Platform::PdfWorker::setBeforeSend([this](pid_t pid, std::uint8_t tag) {
            std::lock_guard lock(mutex_);
            if (tag == Platform::PdfWorkerSocket::copyTag) {
                copiesAsked_ += pid == first_;
                return;
            }
            if (first_ == 0) first_ = pid;
            pids_.insert(pid);
        });
    }
    ~AskedWorkers() { Platform::PdfWorker::setBeforeSend({}); }
    // Whether the document was opened once: every worker asked is the first
    // or a copy the first was asked for.
    bool openedOnce() const
    {
        std::lock_guard lock(mutex_);
        return pids_.size() <= 1 + copiesAsked_;
    }
    std::size_t count() const
    {
        std::lock_guard lock(mutex_);
        return pids_.size();
    }

private:
    mutable std::mutex mutex_;
    pid_t first_ = 0;
    std::size_t copiesAsked_ = 0;
    std::set<pid_t> pids_;
};

// A page of a PDF written by hand: its media box, its crop box (none: the
// media box) and its /Rotate.
struct BoxedPage {
    QRectF media;
    std::optional<QRectF> crop;
    int rotate = 0;
};

std::vector<std::uint8_t> boxedPdf(const std::vector<BoxedPage>& pages)
{
    const auto box = [](const QRectF& r) {
        return QStringLiteral("[%1 %2 %3 %4]").arg(r.left()).arg(r.top()).arg(r.right()).arg(r.bottom()).toStdString();
    };
    std::vector<std::string> objects{"<< /Type /Catalog /Pages 2 0 R >>", ""};
    std::string kids;
    for (const auto& page : pages) {
        kids += std::to_string(objects.size() + 1) + " 0 R ";
        std::string object = "<< /Type /Page /Parent 2 0 R /MediaBox " + box(page.media);
        if (page.crop) object += " /CropBox " + box(*page.crop);
        objects.push_back(object + " /Rotate " + std::to_string(page.rotate) + " >>");
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";
    const std::string pdf = PlainPdf::ofObjects(objects);
    return {pdf.begin(), pdf.end()};
}

TEST(OutsidePdfTest, AWorkerTellsThePagesAsPopplerLaysThemOutAndTheViewIsLaidOutFromThem)
{
    const std::vector<BoxedPage> pages{
        {QRectF(0, 0, 612, 792), std::nullopt, 0},
        {QRectF(0, 0, 595, 842), std::nullopt, 90},
        {QRectF(0, 0, 400, 300), QRectF(50, 40, 200, 150), 270}, // the crop box decides
        {QRectF(10, 20, 500, 250), std::nullopt, 180},
        {QRectF(0, 0, 300, 200), std::nullopt, -90},
        {QRectF(0, 0, 300, 200), QRectF(-100, -100, 1000, 1000), 450}, // a crop past the media box
    };
    const auto bytes = boxedPdf(pages);
    const auto poppler = Poppler::Document::loadFromData(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                                    static_cast<qsizetype>(bytes.size())));
    ASSERT_TRUE(poppler);
    ASSERT_EQ(poppler->numPages(), static_cast<int>(pages.size()));

    const auto openedHere = PdfView::popplerDocumentsOpened();
    AskedWorkers asked;
    const auto outside = PdfView::openOutside(bytes, {}, nullptr);
    ASSERT_TRUE(outside);
    ASSERT_EQ(outside->sizes.size(), pages.size());
    for (int index = 0; index < poppler->numPages(); ++index) {
        const QSizeF wanted = poppler->page(index)->pageSizeF();
        EXPECT_NEAR(outside->sizes[index].width(), wanted.width(), 1e-6) << index;
        EXPECT_NEAR(outside->sizes[index].height(), wanted.height(), 1e-6) << index;
    }

    PdfView::PdfPagesView view("Original document");
    view.resize(400, 600);
    view.show();
    view.setOutsideDocument(outside);
    EXPECT_FALSE(view.document());
    ASSERT_EQ(view.strip().pages.size(), pages.size());
    for (std::size_t index = 0; index < pages.size(); ++index)
        EXPECT_NEAR(view.strip().pages[index].width() / view.strip().pages[index].height(),
                    outside->sizes[index].width() / outside->sizes[index].height(), 1e-9)
            << index;
    view.viewport()->grab();
    ASSERT_TRUE(HangGuard::waitFor([&] { return view.renderer().waiting() == 0 && view.cache().count() > 0; }, 10000));
    EXPECT_EQ(PdfView::popplerDocumentsOpened(), openedHere) << "opened, laid out and drawn without Poppler here";
    EXPECT_TRUE(asked.openedOnce()) << "the view drew with copies of the worker that told the sizes";
}

TEST(OutsidePdfTest, ASizesReplyThatMakesNoSenseIsRefused)
{
    using Platform::PdfWorkerPages::largestCount;
    using Platform::PdfWorkerPages::largestSide;
    const double nan = std::numeric_limits<double>::quiet_NaN(), infinity = std::numeric_limits<double>::infinity();
    const auto reply = [](std::uint64_t count, const std::vector<double>& sides) {
        Platform::WireWriter out;
        out.boolean(true);
        out.u64(count);
        for (double side : sides) out.f64(side);
        return out.take();
    };
    const auto good = reply(2, {612, 792, 0, 0});
    auto cut = good;
    cut.pop_back();
    auto longer = good;
    longer.push_back(0);
    struct Case {
        const char* name;
        Platform::Bytes bytes;
    };
    const Case refused[] = {
        {"empty", {}},
        {"not opened", Platform::PdfWorkerPages::encode(std::nullopt)},
        {"not a number", reply(1, {nan, 792})},
        {"infinite", reply(1, {612, infinity})},
        {"negative", reply(1, {-612, 792})},
        {"empty one way only", reply(1, {612, 0})},
        {"past the largest side", reply(1, {largestSide * 2, 792})},
        {"a hair of a side", reply(1, {1e-300, 792})},
        {"a count with no sizes behind it", reply(std::uint64_t{1} << 40, {})},
        {"more pages than a reply may list", reply(largestCount + 1, {})},
        {"cut", cut},
        {"longer than its count", longer},
    };
    for (const auto& [name, bytes] : refused) EXPECT_FALSE(Platform::PdfWorkerPages::decode(bytes)) << name;
    const auto sizes = Platform::PdfWorkerPages::decode(good);
    ASSERT_TRUE(sizes);
    EXPECT_EQ(*sizes, (Platform::PdfWorkerPages::Sizes{{612, 792}, {0, 0}})) << "a page not fetched is 0 × 0";
}

// A worker program that takes the document and the request, answers with the
// bytes of `reply` (a header and what follows) and ends.
class LyingWorker {
public:
    LyingWorker()
    {
        script_ = folder_.filePath("lying-worker").toStdString();
        const Platform::Bytes hello = Platform::PdfWorkerSocket::hello();
        std::ofstream(helloPath(), std::ios::binary).write(reinterpret_cast<const char*>(hello.data()),
                                                           static_cast<std::streamsize>(hello.size()));
        // A worker's hello; the first message (16 bytes); the request's length,
        // its id and the rest; then the reply, with the request's id in its place.
        std::ofstream(script_) << "#!/bin/sh\ncat '" << helloPath() << "' >&3\nhead -c 16 <&3 >/dev/null || exit 0\n"
                                  "length=$(head -c 4 <&3 | od -An -tu4)\nhead -c 4 <&3 >'" << idPath() << "'\n"
                                  "head -c $((length - 4)) <&3 >/dev/null\n"
                                  "{ head -c 4 '" << replyPath() << "'; cat '" << idPath() << "'; tail -c +5 '"
                               << replyPath() << "'; } >&3\n";
        std::filesystem::permissions(script_, std::filesystem::perms::owner_all);
    }
    const std::string& script() const { return script_; }
    void answer(const Platform::Bytes& reply) const
    {
        std::ofstream(replyPath(), std::ios::binary).write(reinterpret_cast<const char*>(reply.data()),
                                                           static_cast<std::streamsize>(reply.size()));
    }

private:
    std::string replyPath() const { return folder_.filePath("reply").toStdString(); }
    std::string helloPath() const { return folder_.filePath("hello").toStdString(); }
    std::string idPath() const { return folder_.filePath("id").toStdString(); }
    QTemporaryDir folder_;
    std::string script_;
};

// A reply as workers frame it, but for the request's id (the lying worker puts
// it after the length): the payload's length, the request's outcome
// (answered), the CPU time it took and the child that answered.
Platform::Bytes framed(std::uint32_t claimed, const Platform::Bytes& payload)
{
    Platform::WireWriter out;
    out.u32(claimed);
    out.u8(static_cast<std::uint8_t>(Platform::PdfWorkerSocket::Outcome::ok));
    out.u32(1);
    out.u32(1);
    Platform::Bytes bytes = out.take();
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

TEST(OutsidePdfTest, TheReaderAndThePaneOpenTheDocumentOnceAndReadWithCopiesOfItsWorker)
{
    const auto bytes = letterPdf(8);
    AskedWorkers asked;
    const auto outside = PdfView::openOutside(bytes, {}, nullptr);
    ASSERT_TRUE(outside);
    // The reader's workers under the pane's limits: the same pool.
    const auto document = FolmiraKit::PDFReader::read(bytes, "Letters", 4);
    EXPECT_FALSE(document.blocks.empty());
    EXPECT_TRUE(asked.openedOnce()) << "opened once, by the worker that told the sizes";
    EXPECT_GE(asked.count(), 2u) << "the pages were read by copies";
    // Under other limits, another pool, which opens the document for itself.
    const auto other = PdfView::openOutside(bytes, {1, 64 << 20}, nullptr);
    ASSERT_TRUE(other);
    EXPECT_NE(other->pool, outside->pool);
}

TEST(OutsidePdfTest, EveryPagesSizeIsToldWithinTheOpeningsTimeNotAPages)
{
    // Opened by the reader first (its opening answers for every page too):
    // the sizes are a request of their own, of a worker opened already, and
    // answer for twenty thousand pages.
    const int pages = 20'000;
    const auto bytes = longLetterPdf(pages);
    const Platform::PdfWorkerLimits limits{0.005, std::int64_t{500} << 20}; // far less time than the sizes take
    auto pool = Platform::PdfWorkerPool::of(Platform::PdfWorkerInput::of(bytes), limits);
    {
        auto lease = pool->take(nullptr);
        ASSERT_TRUE(lease);
        const auto open = static_cast<std::uint8_t>(FolmiraKit::PDFReader::WorkerRequest::open);
        ASSERT_EQ(lease.worker().requestForEveryPage(open, {}, 1 << 30, nullptr).status, Platform::PdfWorker::Status::ok);
    }
    const auto outside = PdfView::openOutside(bytes, limits, nullptr);
    ASSERT_TRUE(outside);
    EXPECT_EQ(outside->pool, pool);
    EXPECT_EQ(outside->sizes.size(), static_cast<std::size_t>(pages));
}

TEST(OutsidePdfTest, EveryPagesSizeIsToldFromWhatTheOpeningLoadedParsingNoPageAgain)
{
    // The sizes are told under the memory of the opening, which loads a
    // record of every page: a parse of each page on top (qpdf's, more than
    // the record) put a hundred thousand pages of manual text past it, and
    // the pane showed no preview. Counted as the heap bytes the worker's own
    // handler keeps beyond its reply, against what the opening keeps.
    constexpr int pages = 5000;
    const std::string text = PlainPdf::oneLinePages(pages, [](int p) { return "Line " + std::to_string(p + 1); });
    const auto heap = [] { return static_cast<double>(mallinfo2().uordblks); };
    const double start = heap();
    const auto opened = Platform::PdfDocument::open(Platform::Bytes(text.begin(), text.end()));
    ASSERT_TRUE(opened.document && opened.document->page(pages - 1)); // as the worker opens it
    const double opening = heap() - start;
    Platform::WireReader none(nullptr, 0);
    const Platform::Bytes reply = Platform::PdfWorkerPages::handler.handle(opened, none);
    const double kept = heap() - start - opening - static_cast<double>(reply.capacity());
    const auto sizes = Platform::PdfWorkerPages::decode(reply);
    ASSERT_TRUE(sizes);
    EXPECT_EQ(sizes->size(), static_cast<std::size_t>(pages));
    // A sanitizer's own allocator leaves the C library's count at nothing.
    if (opening > 0) {
        EXPECT_LT(kept, opening / 3);
    }
}

TEST(OutsidePdfTest, AFileGoesToItsWorkersWithoutBeingHeldInTheWindow)
{
    // A page beside 32 MB it never uses: a long file's weight.
    const std::string text = PlainPdf::ofObjects(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>",
         "<< /Length 33554432 >>\nstream\n" + std::string(32 << 20, 'x') + "\nendstream"});
    QTemporaryDir folder;
    const std::filesystem::path file = folder.filePath("long.pdf").toStdString();
    std::ofstream(file, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    const auto heap = [] { // large blocks are mapped apart from the heap's arena
        const auto info = mallinfo2();
        return static_cast<double>(info.uordblks + info.hblkhd);
    };
    const double start = heap();
    std::atomic<double> held{0};
    // While the worker is asked for the sizes, the file is wholly read.
    Platform::PdfWorker::setBeforeSend([&](pid_t, std::uint8_t) { held = std::max(held.load(), heap() - start); });
    const auto outside = PdfView::openOutside(file, {}, nullptr);
    Platform::PdfWorker::setBeforeSend({});
    ASSERT_TRUE(outside);
    EXPECT_EQ(outside->sizes.size(), 1u);
    EXPECT_EQ(outside->input->size(), text.size());
    // A sanitizer's own allocator leaves the C library's count at nothing.
    if (!HangGuard::sanitized) {
        EXPECT_LT(held.load(), static_cast<double>(text.size()) / 4);
    }
}

TEST(OutsidePdfTest, TheOriginalsTilesAreDrawnWhileTheReaderHoldsEveryWorkerOfTheDocument)
{
    const auto bytes = longLetterPdf(1500);
    const auto outside = PdfView::openOutside(bytes, {}, nullptr);
    ASSERT_TRUE(outside);
    std::atomic<int> pagesAsked{0};
    Platform::PdfWorker::setBeforeSend([&](pid_t, std::uint8_t tag) {
        pagesAsked += tag == static_cast<std::uint8_t>(FolmiraKit::PDFReader::WorkerRequest::readPage);
    });
    auto reading = std::async(std::launch::async, [&] {
        const auto document = FolmiraKit::PDFReader::read(bytes, "Letters", 4);
        return document.blocks.size();
    });
    // Under way with as many workers as the budget holds: a tile asked for
    // now is drawn between two of its pages, not after the last.
    EXPECT_TRUE(HangGuard::waitFor([&] { return pagesAsked >= 20; }));
    PdfView::WorkerDrawing drawing(*outside, {});
    const Platform::CancelFlag stop;
    const QImage tile = drawing.draw({0, 612, {0, 0}, QRect(0, 0, 256, 256), 72}, stop);
    // Counted in pages: the reading's threads give their workers back once
    // they have no more pages to ask for, before the reading itself ends.
    const int askedWhenDrawn = pagesAsked;
    EXPECT_FALSE(tile.isNull());
    EXPECT_LT(askedWhenDrawn, 1500 - 4) << "the tile waited for every page to be asked for";
    EXPECT_GT(reading.get(), 0u);
    Platform::PdfWorker::setBeforeSend({});
}

TEST(OutsidePdfTest, AWorkerThatLiesOrIsMissingOpensNothingAndNothingIsDrawnHere)
{
    const auto document = letterPdf(2);
    const auto outside = PdfView::openOutside(document, {}, nullptr);
    ASSERT_TRUE(outside);
    const auto openedHere = PdfView::popplerDocumentsOpened();
    {
        LyingWorker liar;
        WorkerProgram program(liar.script());
        Platform::WireWriter nan;
        nan.boolean(true);
        nan.u64(1);
        nan.f64(std::nan(""));
        nan.f64(792);
        const Platform::Bytes garbage(40, 0xA5);
        struct Case {
            const char* name;
            Platform::Bytes reply;
        };
        const Case lies[] = {
            {"two gigabytes claimed", framed(0x80000000u, {})},
            {"not a number", framed(static_cast<std::uint32_t>(nan.data().size()), nan.data())},
            {"garbage", framed(static_cast<std::uint32_t>(garbage.size()), garbage)},
            {"cut", framed(1000, garbage)},
        };
        for (const auto& [name, reply] : lies) {
            liar.answer(reply);
            EXPECT_FALSE(PdfView::openOutside(document, {}, nullptr)) << name;
        }
    }
    // A document opened before the program went (or another took its place):
    // a tile is drawn only from a worker's pixels of the size asked for.
    const auto drawnTile = [&] {
        PdfView::PageRenderer renderer;
        renderer.setOutsideDocument(outside);
        std::vector<QImage> ready;
        QObject::connect(&renderer, &PdfView::PageRenderer::tileReady,
                         [&](const PdfView::TileRequest&, const QImage& image) { ready.push_back(image); });
        EXPECT_TRUE(renderer.request({0, 612, {0, 0}, QRect(0, 0, 512, 512), 72}));
        EXPECT_TRUE(HangGuard::waitFor([&] { return !ready.empty(); }, 10000));
        EXPECT_FALSE(renderer.isOverLimit(0));
        return ready.empty() ? QImage() : ready.front();
    };
    ASSERT_FALSE(drawnTile().isNull()) << "the real worker draws it";
    {
        LyingWorker liar;
        WorkerProgram program(liar.script());
        Platform::WireWriter tile;
        tile.boolean(true);
        tile.i32(4);
        tile.i32(4);
        const std::vector<std::uint32_t> pixels(16, 0xff000000u);
        tile.bytes(pixels.data(), pixels.size() * 4);
        liar.answer(framed(static_cast<std::uint32_t>(tile.data().size()), tile.data()));
        EXPECT_TRUE(drawnTile().isNull()) << "4 × 4 pixels for a tile of 512 × 512";
    }
    WorkerProgram missing("/nonexistent/folmira-pdf-worker");
    EXPECT_FALSE(PdfView::openOutside(document, {}, nullptr));
    EXPECT_TRUE(drawnTile().isNull());
    EXPECT_EQ(PdfView::popplerDocumentsOpened(), openedHere);
}


using OriginalPaneTest = ModelTest;

TEST_F(OriginalPaneTest, APdfHoldsThePagesPlaceWhileAWorkerOpensItAndNoPreviewWhenNoneCan)
{
    auto& m = make();
    FolmiraApp::OriginalPane pane(m);
    const auto pdf = letterPdf(3);
    const std::string bytes(reinterpret_cast<const char*>(pdf.data()), pdf.size());
    auto held = engine->holdRead("Three.pdf", false);
    m.open(file("Three.pdf", bytes));
    EXPECT_EQ(pane.shown(), pane.pdfView()) << "no “No preview” while it opens";
    EXPECT_TRUE(pane.pdfView()->strip().pages.empty());
    ASSERT_TRUE(HangGuard::waitFor([&] { return !m.openingOriginalPDF(); }));
    EXPECT_EQ(pane.shown(), pane.pdfView());
    EXPECT_EQ(pane.pdfView()->outsideDocument(), m.originalPDF());
    EXPECT_EQ(pane.pdfView()->strip().pages.size(), 3u);

    WorkerProgram missing("/nonexistent/folmira-pdf-worker");
    auto unread = engine->holdRead("Unhelped.pdf", false);
    m.open(file("Unhelped.pdf", bytes));
    ASSERT_TRUE(HangGuard::waitFor([&] { return !m.openingOriginalPDF(); }));
    EXPECT_EQ(pane.shown(), pane.noPreview());
    EXPECT_FALSE(pane.pdfView()->outsideDocument()) << "the last file's pages are let go";
    engine->releaseAll();
}

} // namespace
} // namespace FolmiraAppTest
