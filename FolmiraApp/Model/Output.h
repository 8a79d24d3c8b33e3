#pragma once

// The application's two output routines, shared by Document mode and the
// songbook side: saving PDF bytes where the user chooses, and printing a PDF
// document. Both run on the main thread and touch no model state.

#include "FolmiraApp/Model/Panels.h"
#include "PdfView/Pdf.h"

#include <QPageLayout>
#include <QPrinter>
#include <QSizeF>

#include <cstdint>
#include <vector>

namespace FolmiraApp {

// The file name offered for the large-print copy of `fileName`: its base (the
// last extension removed), or "Document", with " (large print).pdf".
QString suggestedNameFor(const QString& fileName);

// The save panel's name: `name` when it ends in ".pdf" (exactly), else with ".pdf" added.
QString pdfFileName(const QString& name);

// Offers `data` for saving and writes it atomically where the user chooses. An
// alert reports a failed write (the old file stays as it was) and data that is
// not a PDF, which is never written.
void savePDF(Panels& panels, const std::vector<std::uint8_t>& data, const QString& suggestedName,
             const QString& message);

// How a job is set up from the first page's size (points): portrait-shaped
// paper of the same size, landscape when the page is wider than tall, no
// margins; duplex jobs turn on the short edge and fit each page to the paper.
struct PrintPlan {
    QSizeF paper; // points, width <= height
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    bool duplex = false;
    bool fitToPaper = false; // scale and rotate each page onto the paper
};
PrintPlan planPrint(QSizeF firstPage, bool duplex);

// Sets `printer` up by the plan: paper, orientation, zero margins, full page,
// duplex mode, job title.
void applyPlan(QPrinter& printer, const PrintPlan& plan, const QString& jobTitle);

// What the user chose in the print panel that the next print of the session
// starts from: the printer, copies, collation, colour and (for jobs that do
// not ask for a binding of their own) two-sided printing.
struct PrintChoices {
    QString printerName; // empty: the system's default printer
    int copies = 1;
    bool collate = true;
    QPrinter::ColorMode colorMode = QPrinter::Color;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;

    // The choices in `printer` after its panel; `forcedDuplex` leaves the kept
    // duplex as it was, since the job chose it, not the user. Printing to a
    // file keeps the printer chosen before.
    void keepFrom(const QPrinter& printer, bool forcedDuplex);
    // Sets them on a new printer, before the job's own plan.
    void applyTo(QPrinter& printer) const;
};

// The choices of this session's last print; the first print starts from the
// system's defaults.
PrintChoices& sessionPrintChoices();

// Draws the document's pages in the printer's chosen range as vectors.
void drawPages(QPrinter& printer, Poppler::Document& document, const PrintPlan& plan);

// The whole print job: nothing for a document without pages; the print panel,
// starting from the session's last choices; then the pages.
void printPDF(Panels& panels, const PdfView::PdfDocumentPtr& document, const QString& jobTitle, bool duplex);

} // namespace FolmiraApp
