#pragma once

// Page tiles for PdfPagesView drawn on worker threads, so that no page,
// however costly to draw, holds up the window: the view shows a blank page
// until its tiles arrive. Poppler documents must not draw on two threads at
// once, so a worker takes a copy of the document no other worker is using, or
// opens one from the document's source, and hands it back for the next tile.
// The copies go with the last tile of their document, never with a worker
// thread, whose end may come as late as the program's exit, after Poppler's
// own globals are gone. Finished tiles come back as queued calls on the
// main thread. A new document or scale forgets what was asked before: those
// tiles are dropped on arrival, queued ones are never drawn, and one being
// drawn is told to stop wherever Poppler checks. The workers are the shared
// ones of PdfView/Drawing.h, which quitting stops.

#include "PdfView/Pdf.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <tuple>

namespace PdfView {

struct TileRequest {
    int index = 0;      // page
    int pixelWidth = 0; // the whole page's width in device pixels
    QPoint tile;        // column and row
    QRect area;         // the tile's device pixels within the page
    double dpi = 72;

    auto key() const { return std::tuple(index, pixelWidth, tile.x(), tile.y()); }
};

// Thrown by a drawing that went past its limits of time or memory: the page
// is not asked for again for this document.
struct DrawingOverLimit : std::exception {
    const char* what() const noexcept override { return "the page's drawing went past its limits"; }
};

class PageRenderer : public QObject {
    Q_OBJECT

public:
    // Draws a tile from the worker's own copy of the document; `stop` turns
    // true once nobody waits for the tile any more.
    using Draw = std::function<QImage(Poppler::Document&, const TileRequest&, const std::atomic<bool>& stop)>;

    explicit PageRenderer(QObject* parent = nullptr);
    // Never waits for a drawing under way: its tile is simply not delivered.
    ~PageRenderer() override;

    // The document the next requests draw from; forgets every earlier request.
    void setDocument(const PdfDocumentPtr& document);
    // Forgets the requests made so far (the scale changed, say).
    void forgetRequests();

    // Asks for a tile; false when it is already on its way, or could not be
    // drawn for this document (so a failing page is not asked for forever).
    bool request(const TileRequest& request);
    // Tiles asked for and not delivered yet.
    std::size_t waiting() const { return waiting_.size(); }
    bool isWaiting(const TileRequest& request) const { return waiting_.count(request.key()) > 0; }
    // A page of this document whose drawing went past its limits: never asked
    // for again, at any scale.
    bool isOverLimit(int index) const { return overLimit_.count(index) > 0; }

    // Replaces the drawing with Poppler (for tests: a slow or failing page).
    void setDraw(Draw draw);

signals:
    // A tile of the current document and scale; a null image when it could
    // not be drawn.
    void tileReady(const PdfView::TileRequest& request, const QImage& image);
    // A page went past its limits (isOverLimit holds from now on).
    void pageOverLimit(int index);

private:
    struct Channel;
    class Copies;
    void deliver(const TileRequest& request, const QImage& image, bool overLimit);

    std::shared_ptr<Channel> channel_;
    std::shared_ptr<std::atomic<bool>> stop_; // of the requests made since the last forget
    std::shared_ptr<Copies> copies_;          // of the current document; none without one
    Draw draw_;
    std::set<std::tuple<int, int, int, int>> waiting_;
    std::set<std::tuple<int, int, int, int>> failed_;
    std::set<int> overLimit_;
};

} // namespace PdfView
