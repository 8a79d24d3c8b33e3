#pragma once

// The two panes shown side by side once a file is open: the original on the
// left, the large-print copy (or its refusal, or progress) on the right.

#include <QWidget>

class QLabel;
class QProgressBar;
class QStackedWidget;

namespace PdfView {
class PdfPagesView;
}

namespace FolmiraApp {

class AppModel;
class PaneHeader;
class RefusalView;
class TextPane;

class OriginalPane : public QWidget {
    Q_OBJECT

public:
    explicit OriginalPane(AppModel& model, QWidget* parent = nullptr);

    PaneHeader* header() const { return header_; }
    // The widget showing now: the PDF view, the text pane or "No preview".
    QWidget* shown() const;
    PdfView::PdfPagesView* pdfView() const { return pdf_; }
    TextPane* textPane() const { return text_; }
    QWidget* noPreview() const { return none_; }

private:
    void refresh();
    // The pages the read left out, shown as such rather than drawn.
    void refreshLeftOut();

    AppModel& model_;
    PaneHeader* header_;
    QStackedWidget* stack_;
    PdfView::PdfPagesView* pdf_;
    TextPane* text_;
    QWidget* none_;
};

class LargePrintPane : public QWidget {
    Q_OBJECT

public:
    explicit LargePrintPane(AppModel& model, QWidget* parent = nullptr);

    PaneHeader* header() const { return header_; }
    QWidget* shown() const;
    PdfView::PdfPagesView* preview() const { return pdf_; }
    RefusalView* refusal() const { return refusal_; }
    QWidget* progress() const { return progress_; }
    // The small indicator over a preview while it is being redone.
    QProgressBar* updating() const { return updating_; }
    // Puts the focus on the copy's place: the preview, the refusal or the
    // progress, each named for screen readers. While the focus is there it
    // moves on with the content, as a render or refusal replaces it.
    void takeFocus();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void refreshDetail();
    void refreshDescription();
    void placeUpdating();

    AppModel& model_;
    PaneHeader* header_;
    QStackedWidget* stack_;
    RefusalView* refusal_;
    PdfView::PdfPagesView* pdf_;
    QWidget* progress_;
    QProgressBar* updating_;
};

} // namespace FolmiraApp
