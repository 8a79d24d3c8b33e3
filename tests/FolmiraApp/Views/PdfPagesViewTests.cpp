// The PDF viewer: where pages go, and which page stays in view.

#include "../Fakes.h"

#include "PdfView/Drawing.h"
#include "PdfView/OutsidePdf.h"
#include "PdfView/Widgets/LeftOutPage.h"
#include "PdfView/Widgets/PdfPagesView.h"
#include "FolmiraApp/Views/TextPane.h"
#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/FontRoles.h"
#include "tests/HangGuardQt.h"
#include "tests/PlainPdf.h"

#include <QBuffer>
#include <QPainterPath>
#include <QPdfWriter>
#include <QScrollBar>
#include <QThreadPool>
#include <QTimer>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QWheelEvent>

#include <poppler-qt6.h>

#include <array>
#include <malloc.h>
#include <mutex>

#include <signal.h>

namespace FolmiraAppTest {
namespace {

TEST(PageStripTest, OneColumnFitsTheWidth)
{
    const auto strip = PdfView::PageStrip::make({{612, 792}, {612, 792}}, 636, false);
    EXPECT_DOUBLE_EQ(strip.scale, 1.0);
    ASSERT_EQ(strip.pages.size(), 2u);
    EXPECT_EQ(strip.pages[0], QRectF(12, 12, 612, 792));
    EXPECT_EQ(strip.pages[1], QRectF(12, 12 + 792 + 12, 612, 792));
    EXPECT_DOUBLE_EQ(strip.content.height(), 12 + 2 * (792 + 12));
    EXPECT_EQ(strip.pageAt(0), 0);
    EXPECT_EQ(strip.pageAt(815), 0);
    EXPECT_EQ(strip.pageAt(816), 1);
    EXPECT_EQ(strip.pageAt(1e9), 1);
    EXPECT_EQ(PdfView::PageStrip::make({}, 500, false).pageAt(10), -1);
}

TEST(PageStripTest, FacingPagesPutTheFirstAloneOnTheRight)
{
    const auto strip = PdfView::PageStrip::make(std::vector<QSizeF>(4, QSizeF(100, 200)), 236, true);
    EXPECT_DOUBLE_EQ(strip.scale, 1.0);
    const double left = 12, right = 12 + 100 + 12;
    EXPECT_EQ(strip.pages[0].left(), right);
    EXPECT_EQ(strip.pages[1].left(), left);
    EXPECT_EQ(strip.pages[2].left(), right);
    EXPECT_EQ(strip.pages[1].top(), strip.pages[2].top());
    EXPECT_EQ(strip.pages[3].left(), left);
    EXPECT_GT(strip.pages[3].top(), strip.pages[2].top());
    EXPECT_EQ(strip.pageAt(strip.pages[2].top() + 1), 2);
}

TEST(PageStripTest, FittedFacingPagesFillTheWidthExactlyAtAnyScale)
{
    const std::vector<QSizeF> pages(5, QSizeF(612, 792));
    for (double width : {300.0, 636.0, 1236.0, 2000.0}) {
        const auto strip = PdfView::PageStrip::make(pages, width, true);
        EXPECT_DOUBLE_EQ(strip.content.width(), width) << width;
        EXPECT_NEAR(strip.pages[1].left(), 12, 1e-9) << width;
        EXPECT_NEAR(strip.pages[2].right(), width - 12, 1e-9) << width;
        EXPECT_NEAR(strip.pages[2].left() - strip.pages[1].right(), 12, 1e-9) << width;
    }
}

TEST(PageStripTest, AZoomedStripIsWiderThanTheViewAndNeverNarrower)
{
    const std::vector<QSizeF> pages(3, QSizeF(600, 800));
    EXPECT_DOUBLE_EQ(PdfView::PageStrip::fitScale(pages, 324, false), 0.5);
    const auto zoomed = PdfView::PageStrip::make(pages, 324, false, 2.0);
    EXPECT_DOUBLE_EQ(zoomed.scale, 2.0);
    EXPECT_EQ(zoomed.pages[0], QRectF(12, 12, 1200, 1600));
    EXPECT_DOUBLE_EQ(zoomed.content.width(), 1224);
    // A scale under the fit (the view grew wider) fits the width again.
    EXPECT_DOUBLE_EQ(PdfView::PageStrip::make(pages, 324, false, 0.25).scale, 0.5);
}

TEST(PageStripTest, AnAnchorComesBackToTheSameSpotAtAnyScale)
{
    const std::vector<QSizeF> pages(4, QSizeF(100, 200));
    const auto fit = PdfView::PageStrip::make(pages, 236, true);
    const auto zoomed = PdfView::PageStrip::make(pages, 236, true, 3.0);
    struct Case {
        QPointF at;
        int page;
    };
    const Case cases[] = {
        {fit.pages[2].center(), 2},                              // right page of a pair
        {fit.pages[1].center(), 1},                              // its left partner
        {fit.pages[3].bottomLeft() + QPointF(-5, 3), 3},         // just outside a page
        {QPointF(fit.pages[0].center().x(), 5), 0},              // above the first page
    };
    for (const auto& c : cases) {
        const auto anchor = fit.anchorAt(c.at);
        EXPECT_EQ(anchor.page, c.page);
        EXPECT_NEAR(QLineF(fit.contentPoint(anchor), c.at).length(), 0, 1e-9);
        const QPointF there = zoomed.contentPoint(anchor);
        EXPECT_NEAR(QLineF(there - zoomed.pages[c.page].topLeft(), (c.at - fit.pages[c.page].topLeft()) * 3).length(),
                    0, 1e-9);
    }
    EXPECT_EQ(PdfView::PageStrip().anchorAt({5, 5}).page, -1);
}

TEST(PageImageCacheTest, TilesAreCutAtThePageAndKeptWithinTheBudget)
{
    // Each tile of 512 × 512 pixels holds a MiB: a budget of three keeps three.
    PdfView::PageImageCache cache(3 * 512 * 512 * 4);
    cache.reset(std::vector<QSizeF>(2, QSizeF(612, 792)));
    EXPECT_EQ(cache.pagePixels(0, 1224), QSize(1224, 1584));
    EXPECT_TRUE(cache.pagePixels(5, 1224).isEmpty());
    EXPECT_DOUBLE_EQ(cache.dotsPerInch(0, 1224), 144);

    EXPECT_EQ(cache.tileArea(0, 1224, {0, 0}), QRect(0, 0, 512, 512));
    // The last column and row are cut at the page's edge.
    EXPECT_EQ(cache.tileArea(0, 1224, {2, 3}), QRect(1024, 1536, 1224 - 1024, 1584 - 1536));
    EXPECT_TRUE(cache.tileArea(0, 1224, {3, 0}).isEmpty());

    EXPECT_TRUE(cache.find(0, 1224, {0, 0}, 2.0).isNull());
    QImage tile(512, 512, QImage::Format_ARGB32);
    tile.fill(Qt::white);
    cache.insert(0, 1224, {0, 0}, tile);
    const QImage found = cache.find(0, 1224, {0, 0}, 2.0);
    EXPECT_EQ(found.size(), QSize(512, 512));
    EXPECT_EQ(found.devicePixelRatio(), 2.0);
    EXPECT_TRUE(cache.find(0, 1000, {0, 0}, 2.0).isNull()) << "another scale is another drawing";
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 2; ++column) cache.insert(1, 1224, {column, row}, tile);
    EXPECT_LE(cache.bytes(), 3 * 512 * 512 * 4);
    EXPECT_EQ(cache.count(), 3u);
    EXPECT_TRUE(cache.find(0, 1224, {0, 0}, 2.0).isNull()) << "the least recently used went first";
}

// A drawing that waits until the test lets it go (documents of `freePages`
// pages draw at once), then paints the tile one colour: red for two-page
// documents, blue for others.
struct HeldDrawing {
    Gate gate;
    int freePages = 0;
    std::atomic<int> calls{0};
    std::atomic<int> toldToStop{0};
    std::array<std::atomic<int>, 8> asked{}; // calls for each page
    int overLimitPage = -1;                  // its drawing goes past the limits

    // No worker is left inside the drawing once the test is over.
    ~HeldDrawing()
    {
        gate.release();
        PdfView::drawingWorkers().waitForDone();
    }

    PdfView::PageRenderer::Draw draw()
    {
        return [this](Poppler::Document& document, const PdfView::TileRequest& request, const Platform::CancelFlag& stop) {
            ++calls;
            ++asked[request.index % asked.size()];
            if (document.numPages() != freePages) gate.wait();
            if (stop.cancelled()) ++toldToStop;
            if (request.index == overLimitPage) throw PdfView::DrawingOverLimit();
            QImage image(request.area.size(), QImage::Format_ARGB32);
            image.fill(document.numPages() == 2 ? Qt::red : Qt::blue);
            return image;
        };
    }
};

// Letter pages of text but page `heavy`, one path of `segments` lines across
// the page: seconds to draw, where the others take milliseconds.
std::vector<std::uint8_t> pdfWithHeavyPage(int pages, int heavy, int segments)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(QPageSize(QSizeF(612, 792), QPageSize::Point, QString(), QPageSize::ExactMatch));
        QPainter painter(&writer);
        for (int page = 0; page < pages; ++page) {
            if (page > 0) writer.newPage();
            painter.drawText(QPointF(36, 72), QStringLiteral("Page %1").arg(page + 1));
            if (page != heavy) continue;
            QPainterPath path;
            std::uint32_t seed = 1;
            const auto next = [&](int range) { return static_cast<int>((seed = seed * 1664525u + 1013904223u) >> 8) % range; };
            for (int k = 0; k < segments; ++k) path.lineTo(next(612), next(792));
            painter.drawPath(path);
        }
    }
    const QByteArray& data = buffer.data();
    return {data.begin(), data.end()};
}

TEST(PageRendererTest, ATileIsTheSameDrawingAsTheWholePageAndComesBackOnTheMainThread)
{
    auto document = PdfView::pdfFromData(letterPdf(1));
    const QImage whole = document->page(0)->renderToImage(144, 144).convertToFormat(QImage::Format_ARGB32);
    const auto outside = PdfView::openOutside(letterPdf(1), {}, nullptr);
    ASSERT_TRUE(outside);
    for (const bool inWorkers : {false, true}) {
        PdfView::PageRenderer renderer;
        if (inWorkers) renderer.setOutsideDocument(outside);
        else renderer.setDocument(document);
        std::vector<QImage> ready;
        QObject::connect(&renderer, &PdfView::PageRenderer::tileReady,
                         [&](const PdfView::TileRequest&, const QImage& image) { ready.push_back(image); });
        const PdfView::TileRequest request{0, 1224, {0, 0}, QRect(0, 0, 512, 512), 144};
        EXPECT_TRUE(renderer.request(request));
        EXPECT_FALSE(renderer.request(request)) << "asked once while on its way";
        EXPECT_EQ(renderer.waiting(), 1u);
        ASSERT_TRUE(HangGuard::waitFor([&] { return !ready.empty(); }, 10000));
        EXPECT_EQ(renderer.waiting(), 0u);
        const QImage tile = ready.front().convertToFormat(QImage::Format_ARGB32);
        const QImage expected = whole.copy(0, 0, 512, 512);
        if (!inWorkers) {
            EXPECT_EQ(tile, expected);
            continue;
        }
        // Another rasterizer: the same ink, told apart only at the edges of strokes.
        ASSERT_EQ(tile.size(), expected.size());
        int ink = 0, apart = 0;
        for (int y = 0; y < tile.height(); ++y)
            for (int x = 0; x < tile.width(); ++x) {
                const int shown = qGray(tile.pixel(x, y)), wanted = qGray(expected.pixel(x, y));
                ink += wanted < 128;
                apart += std::abs(shown - wanted) > 128;
            }
        EXPECT_GT(ink, 100);
        EXPECT_LT(apart, ink / 10);
    }
    EXPECT_FALSE(PdfView::PageRenderer().request({0, 1224, {0, 0}, QRect(0, 0, 512, 512), 144}))
        << "nothing to draw without a document";
}

TEST(PageRendererTest, QuittingWaitsNoLongerThanItsLimitForADrawingThatCannotStop)
{
    HeldDrawing held;
    PdfView::PageRenderer renderer;
    renderer.setDraw(held.draw());
    renderer.setDocument(PdfView::pdfFromData(letterPdf(1)));
    renderer.request({0, 612, {0, 0}, QRect(0, 0, 512, 512), 72});
    ASSERT_TRUE(HangGuard::waitFor([&] { return held.calls == 1; }));
    EXPECT_FALSE(PdfView::stopDrawing(50));
    held.gate.release();
    EXPECT_TRUE(PdfView::stopDrawing(10000));
    EXPECT_FALSE(PdfView::drawingStopped()) << "drawing may start again";
}

TEST(PageRendererTest, EveryThreadDrawsTheCopyFromItsOneHeldBytes)
{
    if (HangGuard::sanitized) GTEST_SKIP() << "the sanitizers' allocator counts no heap";
    // A page beside 16 MB the page never uses: a long copy's weight.
    const std::string text = PlainPdf::ofObjects(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>",
         "<< /Length 16777216 >>\nstream\n" + std::string(16 << 20, 'x') + "\nendstream"});
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(text.begin(), text.end());
    const auto heap = [] { // large blocks are mapped apart from the heap's arena
        const auto info = mallinfo2();
        return static_cast<double>(info.uordblks + info.hblkhd);
    };
    const double before = heap();
    auto document = PdfView::pdfFromData(bytes);
    ASSERT_TRUE(document);
    std::vector<PdfView::PdfCopy> copies;
    for (int i = 0; i < 4; ++i) copies.push_back(PdfView::openCopy(*PdfView::sourceOf(document)));
    for (const auto& copy : copies) {
        ASSERT_TRUE(copy);
        EXPECT_FALSE(copy->page(0)->renderToImage(36, 36).isNull());
    }
    // Five documents, not one byte of the file copied for any of them.
    EXPECT_LT(heap() - before, static_cast<double>(bytes->size()) / 2);
}

TEST(PageRendererTest, ACopysPagesAreMeasuredByItsFirstAlone)
{
    if (HangGuard::sanitized) GTEST_SKIP() << "the sanitizers' allocator counts no heap";
    const std::string text = PlainPdf::oneLinePages(4000, [](int i) { return "Page " + std::to_string(i + 1); });
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(text.begin(), text.end());
    const auto heap = [] { // large blocks are mapped apart from the heap's arena
        const auto info = mallinfo2();
        return static_cast<double>(info.uordblks + info.hblkhd);
    };
    double kept[2];
    for (const bool alike : {false, true}) {
        auto document = PdfView::pdfFromData(bytes, alike);
        ASSERT_TRUE(document);
        const double before = heap();
        for (int i = 0; i < PdfView::pageCount(document); ++i)
            ASSERT_EQ(PdfView::pageSize(document, i), QSizeF(612, 792)) << i;
        kept[alike] = heap() - before;
    }
    // Poppler keeps every page it loads: the view of a long copy loads one.
    EXPECT_LT(kept[true] * 3, kept[false]);
}

TEST(PageRendererTest, QuittingEndsADrawingInAWorkerAtOnce)
{
    std::atomic<pid_t> worker{0};
    Platform::PdfWorker::setBeforeSend([&](pid_t pid, std::uint8_t) { worker = pid; });
    PdfView::PageRenderer renderer;
    renderer.setWorkerLimits({60, std::int64_t{500} << 20});
    renderer.setOutsideDocument(PdfView::openOutside(pdfWithHeavyPage(1, 0, 20000), {}, nullptr)); // seconds to draw
    renderer.request({0, 612, {0, 0}, QRect(0, 0, 512, 512), 72});
    ASSERT_TRUE(HangGuard::waitFor([&] { return worker != 0; }));
    EXPECT_TRUE(PdfView::stopDrawing(HangGuard::scaled(1000)));
    EXPECT_TRUE(HangGuard::waitFor([&] { return kill(worker, 0) != 0; }, 1000)) << "its memory is given back";
    Platform::PdfWorker::setBeforeSend(nullptr);
}

class PdfPagesViewTest : public testing::Test {
protected:
    PdfPagesViewTest() : view("Large-print preview")
    {
        view.resize(400, 300);
        view.show();
    }
    PdfView::PdfPagesView view;
};

TEST_F(PdfPagesViewTest, ANewDocumentKeepsThePageNumberWithinItsPages)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(6)));
    EXPECT_EQ(view.currentPage(), 0);
    view.goToPage(4);
    EXPECT_EQ(view.currentPage(), 4);
    view.setDocument(PdfView::pdfFromData(letterPdf(4)));
    EXPECT_EQ(view.currentPage(), 3);
    view.goToPage(1);
    view.setDocument(PdfView::pdfFromData(letterPdf(10)));
    EXPECT_EQ(view.currentPage(), 1);
    EXPECT_EQ(view.accessibleName(), "Large-print preview");
}

TEST_F(PdfPagesViewTest, TheSameDocumentChangesNothing)
{
    auto document = PdfView::pdfFromData(letterPdf(6));
    view.setDocument(document);
    view.goToPage(4);
    const int scrolled = view.verticalScrollBar()->value();
    view.setDocument(document);
    EXPECT_EQ(view.currentPage(), 4);
    EXPECT_EQ(view.verticalScrollBar()->value(), scrolled);
}

TEST_F(PdfPagesViewTest, ScrollingMovesTheCurrentPageAndResizingKeepsIt)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(6)));
    const auto& strip = view.strip();
    view.verticalScrollBar()->setValue(static_cast<int>(strip.pages[2].top()));
    EXPECT_EQ(view.currentPage(), 2);
    view.resize(600, 300);
    EXPECT_EQ(view.currentPage(), 2);
    EXPECT_NEAR(view.verticalScrollBar()->value(), view.strip().pages[2].top() - PdfView::PageStrip::gap, 1);
}

TEST_F(PdfPagesViewTest, EmptyDocumentsAndNone)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(3)));
    view.goToPage(2);
    view.setDocument(nullptr);
    EXPECT_EQ(view.currentPage(), 0);
    EXPECT_TRUE(view.strip().pages.empty());
    EXPECT_FALSE(PdfView::pdfFromData(std::vector<std::uint8_t>{}));
    EXPECT_FALSE(PdfView::pdfFromData(std::vector<std::uint8_t>{'%', 'P', 'D', 'F', '-', '1'}));
}

QWheelEvent wheel(QPointF at, int notches, Qt::KeyboardModifiers modifiers)
{
    return QWheelEvent(at, at, QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
}

TEST_F(PdfPagesViewTest, ControlWheelZoomsBetweenTheWidthAndFourHundredPercent)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(3)));
    const double fit = view.scale();
    EXPECT_TRUE(view.fitsWidth());
    const QPointF middle(view.viewport()->width() / 2.0, view.viewport()->height() / 2.0);

    auto in = wheel(middle, 1, Qt::ControlModifier);
    QApplication::sendEvent(view.viewport(), &in);
    EXPECT_NEAR(view.scale(), fit * PdfView::PdfPagesView::wheelStep, 1e-9);
    EXPECT_FALSE(view.fitsWidth());
    EXPECT_GT(view.horizontalScrollBar()->maximum(), 0);

    for (int i = 0; i < 20; ++i) QApplication::sendEvent(view.viewport(), &in);
    EXPECT_DOUBLE_EQ(view.scale(), PdfView::PdfPagesView::maxScale);

    auto out = wheel(middle, -1, Qt::ControlModifier);
    for (int i = 0; i < 30; ++i) QApplication::sendEvent(view.viewport(), &out);
    EXPECT_DOUBLE_EQ(view.scale(), fit);
    EXPECT_TRUE(view.fitsWidth());
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);

    // Without Ctrl the wheel scrolls.
    auto down = wheel(middle, -1, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &down);
    EXPECT_GT(view.verticalScrollBar()->value(), 0);
    EXPECT_DOUBLE_EQ(view.scale(), fit);
}

TEST_F(PdfPagesViewTest, ATouchpadPinchZooms)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(3)));
    const double fit = view.scale();
    const QPointF at(100, 100);
    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, at, at,
                              view.viewport()->mapToGlobal(at), 0.5, QPointF());
    QApplication::sendEvent(view.viewport(), &pinch);
    EXPECT_NEAR(view.scale(), fit * 1.5, 1e-9);
}

TEST_F(PdfPagesViewTest, ZoomingKeepsTheSpotUnderThePointer)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(4)));
    view.goToPage(1);
    const QPointF pointer(300, 120);
    const auto offset = [&] {
        return QPointF(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
    };
    const auto spot = view.strip().anchorAt(offset() + pointer);
    ASSERT_EQ(spot.page, 1);
    for (double factor : {1.8, 1.5, 0.7}) {
        view.zoomBy(factor, pointer);
        EXPECT_NEAR(QLineF(view.strip().contentPoint(spot) - offset(), pointer).length(), 0, 1.5) << factor;
    }
    EXPECT_EQ(view.currentPage(), 1);
}

TEST_F(PdfPagesViewTest, AReplacedDocumentKeepsTheZoomUntilItIsReset)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(3)));
    view.zoomBy(2, {10, 10});
    const double zoomed = view.scale();
    view.setDocument(PdfView::pdfFromData(letterPdf(5)));
    EXPECT_DOUBLE_EQ(view.scale(), zoomed);
    view.resize(500, 300); // still wider than the view
    EXPECT_DOUBLE_EQ(view.scale(), zoomed);
    view.resetZoom();
    EXPECT_TRUE(view.fitsWidth());
    EXPECT_DOUBLE_EQ(view.scale(),
                     PdfView::PageStrip::fitScale(std::vector<QSizeF>(5, QSizeF(612, 792)), view.viewport()->width(), false));
}

TEST_F(PdfPagesViewTest, AFittedStripNeverScrollsSideways)
{
    view.setDocument(PdfView::pdfFromData(makePdf({{612, 792}, {595, 842}})));
    for (int width = 300; width < 720; width += 7) {
        view.resize(width, 300);
        EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0) << width;
    }
}

TEST_F(PdfPagesViewTest, HomeAndEndGoToTheFirstAndLastPage)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(6)));
    EXPECT_EQ(view.focusPolicy(), Qt::StrongFocus);
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.currentPage(), 5);
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.currentPage(), 0);
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
    QTest::keyClick(&view, Qt::Key_PageDown);
    const int paged = view.verticalScrollBar()->value();
    EXPECT_GT(paged, 0);
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_GT(view.verticalScrollBar()->value(), paged);
}

TEST_F(PdfPagesViewTest, PlusMinusAndZeroZoomFromTheKeyboardKeepingTheLeftEdgeOfTheText)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(3)));
    view.goToPage(1);
    const double fit = view.scale();
    const auto pageLeft = [&] { return view.strip().pages[1].left() - view.horizontalScrollBar()->value(); };
    const double leftAtFit = pageLeft();
    for (auto [key, mods] : {std::pair{Qt::Key_Plus, Qt::ShiftModifier}, std::pair{Qt::Key_Equal, Qt::NoModifier},
                             std::pair{Qt::Key_Plus, Qt::KeypadModifier}}) {
        const double before = view.scale();
        QTest::keyClick(&view, key, mods);
        EXPECT_NEAR(view.scale(), before * PdfView::PdfPagesView::wheelStep, 1e-9);
        EXPECT_NEAR(pageLeft(), leftAtFit, 1.5) << "the start of the lines stays in view";
    }
    EXPECT_EQ(view.currentPage(), 1);
    QTest::keyClick(&view, Qt::Key_Minus);
    EXPECT_NEAR(view.scale(), fit * std::pow(PdfView::PdfPagesView::wheelStep, 2), 1e-9);

    // Scrolled sideways past the page's edge, the view's own left edge holds still.
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum());
    const auto spot = view.strip().anchorAt(QPointF(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value() + 150));
    QTest::keyClick(&view, Qt::Key_Plus, Qt::ShiftModifier);
    const QPointF now = view.strip().contentPoint(spot) - QPointF(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
    EXPECT_NEAR(now.x(), 0, 1.5);

    QTest::keyClick(&view, Qt::Key_0);
    EXPECT_TRUE(view.fitsWidth());
    QTest::keyClick(&view, Qt::Key_Equal, Qt::ControlModifier); // the application's Bigger Text, not a zoom
    EXPECT_TRUE(view.fitsWidth());
}

TEST_F(PdfPagesViewTest, TheFocusShowsAsARingInsideTheView)
{
    // The application's style draws it, as for every other control.
    static Lyricade::FocusRing::Style ringStyle;
    view.setStyle(&ringStyle);
    view.setDocument(PdfView::pdfFromData(letterPdf(1)));
    view.activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(&view));
    const auto corner = [&] { return QColor(view.viewport()->grab().toImage().pixel(1, 150)); };
    view.clearFocus();
    const QColor without = corner();
    view.setFocus();
    ASSERT_TRUE(view.hasFocus());
    const QColor background = view.viewport()->palette().color(view.viewport()->backgroundRole());
    EXPECT_EQ(corner().rgb(), Lyricade::FocusRing::colour(view.palette(), background).rgb());
    EXPECT_GE(Lyricade::FontRole::contrast(corner(), without), 3.0);
}

TEST_F(PdfPagesViewTest, PaintingDrawsOnlyTheTilesInView)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(8)));
    view.zoomBy(100, {0, 0});
    ASSERT_DOUBLE_EQ(view.scale(), PdfView::PdfPagesView::maxScale);
    view.viewport()->grab();
    ASSERT_TRUE(HangGuard::waitFor([&] { return view.renderer().waiting() == 0 && view.cache().count() > 0; }, 10000));
    const QImage shown = view.viewport()->grab().toImage();
    // 400 × 300 pixels of a page 2448 pixels wide: a tile or two, not pages.
    EXPECT_GE(view.cache().count(), 1u);
    EXPECT_LE(view.cache().count(), 4u);
    // The page is drawn (white paper), not left to the background.
    EXPECT_EQ(QColor(shown.pixel(shown.width() / 2, shown.height() / 2)), QColor(Qt::white));
}

TEST_F(PdfPagesViewTest, ASlowPageLeavesTheWindowWorkingAndArrivesWhenDrawn)
{
    HeldDrawing held;
    view.renderer().setDraw(held.draw());
    view.setDocument(PdfView::pdfFromData(letterPdf(3)));
    const auto middle = [&] {
        const QImage shown = view.viewport()->grab().toImage();
        return QColor(shown.pixel(shown.width() / 2, shown.height() / 2));
    };
    EXPECT_EQ(middle(), QColor(Qt::white)) << "blank paper while the page is drawn";
    ASSERT_TRUE(HangGuard::waitFor([&] { return held.calls > 0; }));
    bool ticked = false;
    QTimer::singleShot(0, &view, [&] { ticked = true; });
    EXPECT_TRUE(HangGuard::waitFor([&] { return ticked; })) << "the event loop runs meanwhile";
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.currentPage(), 2) << "and the keys act";
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.currentPage(), 0);
    EXPECT_GT(view.renderer().waiting(), 0u);

    held.gate.release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return view.renderer().waiting() == 0; }, 10000));
    EXPECT_EQ(middle(), QColor(Qt::blue)) << "the drawing shows once it arrives";
}

TEST_F(PdfPagesViewTest, APageLeftOutOrOverItsLimitsShowsItsNoteInThePalettesColours)
{
    view.resize(400, 1100); // the first two pages in full
    QPalette highContrast;
    highContrast.setColor(QPalette::Base, Qt::black);
    highContrast.setColor(QPalette::Text, Qt::yellow);
    struct Case {
        QPalette palette;
        bool byTheReader; // else its drawing goes past the limits
    };
    for (const auto& [palette, byTheReader] : {Case{QPalette(), true}, Case{highContrast, false}}) {
        HeldDrawing held;
        held.freePages = 3;
        held.overLimitPage = byTheReader ? -1 : 1;
        view.renderer().setDraw(held.draw());
        view.setPalette(palette);
        view.setDocument(PdfView::pdfFromData(letterPdf(3)));
        view.setLeftOutPages(byTheReader ? std::set<int>{1} : std::set<int>{});
        const auto settle = [&] {
            view.viewport()->grab();
            EXPECT_TRUE(HangGuard::waitFor([&] { return view.renderer().waiting() == 0; }, 10000));
            return view.viewport()->grab().toImage();
        };
        settle();
        const QImage shown = settle();
        const auto count = [&](int page, QColor colour) {
            const QRect area = view.strip().pages[page].toAlignedRect().intersected(shown.rect());
            int found = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x) found += QColor(shown.pixel(x, y)) == colour;
            return std::pair(found, area.width() * area.height());
        };
        const auto [drawn, first] = count(0, Qt::blue);
        EXPECT_GT(drawn, first * 9 / 10) << "the other pages are drawn";
        EXPECT_EQ(count(1, Qt::blue).first, 0);
        const auto [paper, second] = count(1, palette.color(QPalette::Base));
        EXPECT_GT(paper, second / 2);
        EXPECT_GT(count(1, palette.color(QPalette::Text)).first, 100) << "the note is written";
        EXPECT_EQ(view.renderer().isOverLimit(1), !byTheReader);
        EXPECT_EQ(held.asked[1], byTheReader ? 0 : 1) << "a page left out is never asked for, one over its limits once";
        if (byTheReader) {
            view.setLeftOutPages({});
            settle();
            EXPECT_GT(held.asked[1], 0) << "a page no longer left out is drawn";
        }
        view.setDocument(nullptr);
    }
    EXPECT_EQ(PdfView::leftOutNote(12), "Page 12 was left out: its text is too large for Folmira to read.");
}

TEST_F(PdfPagesViewTest, InWorkersAPageOverItsLimitsOrOutOfViewEndsItsWorkerAndTheDocumentItsOthers)
{
    std::mutex mutex;
    std::vector<pid_t> started;
    Platform::PdfWorker::setBeforeSend([&](pid_t pid, std::uint8_t) {
        std::lock_guard lock(mutex);
        if (std::find(started.begin(), started.end(), pid) == started.end()) started.push_back(pid);
    });
    const auto alive = [](pid_t pid) { return kill(pid, 0) == 0; };
    const auto running = [&] {
        std::lock_guard lock(mutex);
        std::set<pid_t> pids;
        std::ranges::copy_if(started, std::inserter(pids, pids.end()), alive);
        return pids;
    };
    view.resize(400, 1100); // the first two pages in full
    const auto heavy = PdfView::openOutside(pdfWithHeavyPage(6, 1, 20000), {}, nullptr); // seconds of CPU on page 2
    ASSERT_TRUE(heavy);
    const auto settle = [&](std::size_t left) {
        view.viewport()->grab();
        return HangGuard::waitFor([&] { return view.renderer().waiting() == left; }, 20000);
    };

    // Limits a hundredth of what page 2 needs: it shows its note, the others draw.
    view.renderer().setWorkerLimits({0.1, std::int64_t{500} << 20});
    view.setOutsideDocument(heavy);
    ASSERT_TRUE(settle(0));
    ASSERT_TRUE(settle(0));
    EXPECT_TRUE(view.renderer().isOverLimit(1));
    EXPECT_FALSE(view.renderer().isOverLimit(0));
    const QImage shown = view.viewport()->grab().toImage();
    const auto count = [&](int page, auto test) {
        const QRect area = view.strip().pages[page].toAlignedRect().intersected(shown.rect());
        int found = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) found += test(QColor(shown.pixel(x, y)));
        return found;
    };
    EXPECT_GT(count(0, [](QColor c) { return c.lightness() < 200; }), 20) << "the first page's text is drawn";
    EXPECT_GT(count(1, [&](QColor c) { return c == view.palette().color(QPalette::Text); }), 100) << "the note";

    // Limits that let page 2 draw for long: scrolled out of view, its worker ends at once.
    view.renderer().setWorkerLimits({60, std::int64_t{500} << 20});
    view.setOutsideDocument(nullptr);
    view.setOutsideDocument(heavy);
    {
        std::lock_guard lock(mutex);
        started.clear(); // the first document's workers are ending meanwhile
    }
    ASSERT_TRUE(settle(1)) << "all but page 2 drawn";
    const auto drawing = running();
    EXPECT_FALSE(drawing.empty());
    view.goToPage(5);
    view.viewport()->grab();
    EXPECT_TRUE(HangGuard::waitFor([&] { return !std::ranges::all_of(drawing, alive); }, 1000));

    // Another document ends every worker of this one.
    ASSERT_TRUE(settle(0));
    const auto idle = running();
    EXPECT_FALSE(idle.empty());
    view.setDocument(PdfView::pdfFromData(letterPdf(1)));
    // (The new document's own workers start as the view paints meanwhile.)
    EXPECT_TRUE(HangGuard::waitFor([&] { return std::ranges::none_of(idle, alive); }, 1000));
    Platform::PdfWorker::setBeforeSend(nullptr);
}

TEST_F(PdfPagesViewTest, DrawingsForAnEarlierDocumentOrScaleAreDropped)
{
    HeldDrawing held;
    view.renderer().setDraw(held.draw());
    std::vector<QColor> arrived;
    QObject::connect(&view.renderer(), &PdfView::PageRenderer::tileReady,
                     [&](const PdfView::TileRequest&, const QImage& image) { arrived.push_back(image.pixel(0, 0)); });
    view.setDocument(PdfView::pdfFromData(letterPdf(2))); // drawn red
    view.viewport()->grab();
    ASSERT_TRUE(HangGuard::waitFor([&] { return held.calls > 0; }));
    view.zoomBy(2, {0, 0});
    view.viewport()->grab();
    view.setDocument(PdfView::pdfFromData(letterPdf(3))); // drawn blue
    view.viewport()->grab();
    held.gate.release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return view.renderer().waiting() == 0 && !arrived.empty(); }, 10000));
    for (const auto& colour : arrived) EXPECT_EQ(colour, QColor(Qt::blue));
    EXPECT_GT(held.toldToStop.load(), 0) << "the drawing under way was told to stop";
    const QImage shown = view.viewport()->grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(shown.width() / 2, shown.height() / 2)), QColor(Qt::blue));
}

TEST_F(PdfPagesViewTest, ANewCopyShowsTheLastDrawingUntilItsOwnArrivesAnotherFileBlankPaper)
{
    HeldDrawing held;
    held.freePages = 2;
    view.renderer().setDraw(held.draw());
    const auto middle = [&] {
        const QImage shown = view.viewport()->grab().toImage();
        return QColor(shown.pixel(shown.width() / 2, shown.height() / 2));
    };
    view.setDocument(PdfView::pdfFromData(letterPdf(2)));
    middle();
    ASSERT_TRUE(HangGuard::waitFor([&] { return view.renderer().waiting() == 0; }, 10000));
    ASSERT_EQ(middle(), QColor(Qt::red));

    view.setDocument(PdfView::pdfFromData(letterPdf(3))); // a re-render: drawn blue, held
    EXPECT_EQ(middle(), QColor(Qt::red)) << "the last copy stays up";
    held.gate.release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return view.renderer().waiting() == 0; }, 10000));
    EXPECT_EQ(middle(), QColor(Qt::blue));

    view.expectAnotherFile();
    view.setDocument(PdfView::pdfFromData(letterPdf(2)));
    const QImage shown = view.viewport()->grab().toImage();
    EXPECT_NE(QColor(shown.pixel(shown.width() / 2, shown.height() / 2)), QColor(Qt::blue))
        << "another file never shows the last one's pages";
}

TEST_F(PdfPagesViewTest, AnotherFileOpensAtItsFirstPageFittedToTheWidth)
{
    view.setDocument(PdfView::pdfFromData(letterPdf(6)));
    view.goToPage(4);
    view.zoomBy(2, {10, 10});
    view.expectAnotherFile();
    view.setDocument(nullptr); // a pane lets the old file go first
    view.setDocument(PdfView::pdfFromData(letterPdf(6)));
    EXPECT_EQ(view.currentPage(), 0);
    EXPECT_TRUE(view.fitsWidth());
    // Its next copy keeps the page again.
    view.goToPage(3);
    view.setDocument(PdfView::pdfFromData(letterPdf(6)));
    EXPECT_EQ(view.currentPage(), 3);
}

TEST(TextPaneTest, ReadOnlySelectableAndReplacedOnlyWhenDifferent)
{
    TextPane pane;
    EXPECT_TRUE(pane.isReadOnly());
    EXPECT_TRUE(pane.textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(pane.document()->documentMargin(), 18);
    EXPECT_EQ(pane.accessibleName(), "Original document");

    const StyledText text{StyledText::Format::plain, "Line one\nLine two"};
    pane.setText(text);
    EXPECT_EQ(pane.toPlainText(), "Line one\nLine two");
    EXPECT_EQ(pane.document()->defaultFont().pointSizeF(), 12);
    auto cursor = pane.textCursor();
    cursor.setPosition(0);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    pane.setTextCursor(cursor);
    pane.setText(text);
    EXPECT_EQ(pane.textCursor().selectedText(), "Line");

    pane.setText(StyledText{StyledText::Format::html, "<p><b>Line one</b></p>"});
    EXPECT_EQ(pane.toPlainText(), "Line one");
    EXPECT_FALSE(pane.textCursor().hasSelection());
    EXPECT_EQ(pane.document()->documentMargin(), 18);
}

} // namespace
} // namespace FolmiraAppTest
