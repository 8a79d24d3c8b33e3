#pragma once

// Page tiles for PdfPagesView drawn on worker threads, so that no page,
// however costly to draw, holds up the window: the view shows a blank page
// until its tiles arrive. Poppler documents must not draw on two threads at
// once, so a worker takes a copy of the document no other worker is using, or
// opens one from the document's source, and hands it back for the next tile.
// The copies go with the last tile of their document, never with a worker
// thread, whose end may come as late as the program's exit, after Poppler's
// own globals are gone. Finished tiles come back as queued calls on the
// main thread. A new document or scale forgets what was asked before, as a
// page leaving the view forgets its own: those tiles are dropped on arrival,
// queued ones are never drawn, and one being drawn is told to stop wherever
// Poppler checks. The workers are the shared ones of PdfView/Drawing.h, which
// quitting stops.
//
// A document from outside (the user's own PDF, setOutsideDocument) is drawn
// in worker processes instead, never here: each tile under limits of time and
// memory, a page past them shown as left out and never asked for again; the
// threads then only wait for the processes (processDrawingWorkers).

#include "PdfView/OutsidePdf.h"
#include "PdfView/Pdf.h"
#include "Platform/Cancel.h"
#include "Platform/PdfHelper/PdfWorker.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <exception>
#include <functional>
#include <map>
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

// How the tiles of one document are drawn, shared by the threads drawing them.
class TileDrawing {
public:
    virtual ~TileDrawing() = default;
    // The tile's pixels; a null image when the page cannot be drawn. Throws
    // DrawingOverLimit. `stop` is set once nobody waits for the tile.
    virtual QImage draw(const TileRequest& request, const Platform::CancelFlag& stop) = 0;
};

class PageRenderer : public QObject {
    Q_OBJECT

public:
    // Draws a tile from the thread's own copy of the document; `stop` is set
    // once nobody waits for the tile any more.
    using Draw = std::function<QImage(Poppler::Document&, const TileRequest&, const Platform::CancelFlag& stop)>;

    explicit PageRenderer(QObject* parent = nullptr);
    // Never waits for a drawing under way: its tile is simply not delivered.
    ~PageRenderer() override;

    // The document the next requests draw from; forgets every earlier request.
    void setDocument(const PdfDocumentPtr& document);
    // The same for a document from outside, drawn in worker processes.
    void setOutsideDocument(const OutsidePdfPtr& document);
    // Forgets the requests made so far (the scale changed, say).
    void forgetRequests();
    // Forgets the requests for pages outside `first` to `last`: they left the
    // view, and their drawings under way stop.
    void forgetPagesOutside(int first, int last);

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
    // The limits the workers drawing documents from outside set from now on
    // work under (the workers' own by default).
    void setWorkerLimits(Platform::PdfWorkerLimits limits) { workerLimits_ = limits; }
    // The drawing of the current document (none without one).
    const std::shared_ptr<TileDrawing>& drawing() const { return drawing_; }

signals:
    // A tile of the current document and scale; a null image when it could
    // not be drawn.
    void tileReady(const PdfView::TileRequest& request, const QImage& image);
    // A page went past its limits (isOverLimit holds from now on).
    void pageOverLimit(int index);

private:
    struct Channel;
    void deliver(const TileRequest& request, const QImage& image, bool overLimit);

    std::shared_ptr<Channel> channel_;
    void startOver();

    std::shared_ptr<TileDrawing> drawing_; // of the current document; none without one
    bool inWorkers_ = false;               // drawing_ draws in worker processes
    Draw draw_;
    Platform::PdfWorkerLimits workerLimits_;
    std::map<std::tuple<int, int, int, int>, std::shared_ptr<Platform::CancelFlag>> waiting_; // each one's stop
    std::set<std::tuple<int, int, int, int>> failed_;
    std::set<int> overLimit_;
};

} // namespace PdfView
