#pragma once

// The application's two output routines, shared by Document mode and the
// songbook side: saving PDF bytes where the user chooses, and printing a PDF
// document. Both run on the main thread and touch no model state.

#include "FolmiraApp/Model/Panels.h"
#include "PdfView/Pdf.h"
#include "Platform/PrintJob.h"

#include <QPageLayout>
#include <QPrinter>
#include <QSizeF>

class QSettings;

#include <cstdint>
#include <memory>
#include <vector>

namespace FolmiraApp {

// PDF bytes held by whoever offers them for as long as a panel is open: a
// nested event loop may replace the model's copy meanwhile, never these.
using SharedBytes = std::shared_ptr<const std::vector<std::uint8_t>>;
inline SharedBytes shareBytes(std::vector<std::uint8_t> bytes)
{
    return std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
}

// The file name offered for the large-print copy of `fileName`: its base (the
// last extension removed), or "Document", with " (large print).pdf".
QString suggestedNameFor(const QString& fileName);

// The longest file name, in bytes of UTF-8, that the usual file systems take.
inline constexpr qsizetype maxFileNameBytes = 255;

// The one maker of the PDF file names the panels offer (the save panel, print
// to a file), from a title or a name already ending in ".pdf" (exactly): a
// plain file name that accepting writes as shown, in the folder shown. Folder
// parts, a leading dot or "~", control characters, invisible ones (format
// characters and line or paragraph separators) and the double quotes Qt's
// file dialog reads as a list of names are taken out;
// the title is cut on a character boundary to fit maxFileNameBytes, keeping a
// " (large print)" or " – booklet" label and ".pdf" whole; "Untitled" when
// nothing of the title is left.
QString pdfFileName(const QString& name);

// Offers `data` for saving under pdfFileName(suggestedName) and writes it
// atomically where the user chooses. An alert reports a failed write (the old
// file stays as it was) and data that is not a PDF, which is never written.
void savePDF(Panels& panels, SharedBytes data, const QString& suggestedName, const QString& message);

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

// The defaults key of the printer chosen last.
inline constexpr char lastPrinterKey[] = "printer";

// The printer a print starts from: the one chosen last (kept in `defaults`)
// while it is still there, else the system's default; copies, sides and
// colour at that printer's own defaults.
void startFromLastPrinter(QPrinter& printer, const QSettings* defaults);

// The sides a duplex mode prints on, for a job of `orientation`.
Platform::PrintJob::Sides sidesFor(QPrinter::DuplexMode duplex, QPageLayout::Orientation orientation);

// What the user chose in the print panel, as the print system's job choices
// for a document whose first page is `firstPage` (points).
Platform::PrintJob::Choices jobChoices(const QPrinter& printer, const PrintPlan& plan, QSizeF firstPage);

// Draws the document's pages in the printer's chosen range as vectors: the
// way to a printer queue the print system cannot take the PDF itself to.
// False when the printer could not be started.
bool drawPages(QPrinter& printer, Poppler::Document& document, const PrintPlan& plan);

// The whole print job of the PDF `pdf`, shown as `document`: nothing for a
// document without pages; the print panel on the first page's paper, starting
// from the last printer; then the PDF itself to the printer, or its chosen
// pages written to the chosen file. The chosen printer is kept in `defaults`.
// Both are held for the whole job, whatever the print panel's event loop
// changes meanwhile.
void printPDF(Panels& panels, QSettings* defaults, PdfView::PdfDocumentPtr document, SharedBytes pdf,
              const QString& jobTitle, bool duplex);

} // namespace FolmiraApp
