#pragma once

// What a page view going round in circles does, counted: its scroll bars
// shown or hidden, its viewport resized (each a new layout of the pages).

#include "PdfView/Widgets/PdfPagesView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>

namespace FolmiraAppTest {

struct ScrollChurn : QObject {
    int flips = 0;
    int resizes = 0;

    explicit ScrollChurn(PdfView::PdfPagesView& view)
    {
        view.verticalScrollBar()->installEventFilter(this);
        view.horizontalScrollBar()->installEventFilter(this);
        view.viewport()->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        flips += event->type() == QEvent::Show || event->type() == QEvent::Hide;
        resizes += event->type() == QEvent::Resize && !qobject_cast<QScrollBar*>(watched);
        return false;
    }

    // A few turns of the event loop: enough for any posted layout to land,
    // and for a view that never settles to show it.
    static void turns()
    {
        for (int turn = 0; turn < 4; ++turn) QCoreApplication::processEvents();
    }
};

} // namespace FolmiraAppTest
