#include "FolmiraApp/Model/Output.h"

#include "FolmiraKit/Model/Folmira.h"
#include "Platform/FileWrite.h"

#include <QMarginsF>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSettings>
#include <QStringList>

#include <poppler-qt6.h>

#include <algorithm>
#include <cmath>

namespace FolmiraApp {

QString suggestedNameFor(const QString& fileName)
{
    QString base = fileName;
    // The last "." starts the extension, unless it opens the name (".profile").
    const auto dot = base.lastIndexOf(u'.');
    if (dot > 0) base.truncate(dot);
    if (base.isEmpty()) base = QStringLiteral("Document");
    return base + QStringLiteral(" (large print)") + QStringLiteral(".pdf");
}

namespace {

// Format characters and line or paragraph separators draw nothing, or break
// the line, yet make two names that look alike differ: bidirectional controls
// ("evil\u202Egpj.pdf" shows in a file manager as a picture's name read
// backwards), marks, zero-width spaces, a byte-order mark.
bool isInvisible(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return false;
    }
}

// The zero-width joiner and non-joiner change how the letters either side
// of them are drawn (Persian, the scripts of India, emoji sequences): kept
// between two letters, marks or symbols, where they belong to a word.
bool joinsWithin(char32_t c, char32_t before, char32_t after)
{
    if (c != 0x200C && c != 0x200D) return false;
    const auto wordPart = [](char32_t x) {
        const auto category = QChar::category(x);
        return QChar::isLetter(x) || QChar::isMark(x) || category == QChar::Symbol_Other;
    };
    return wordPart(before) && wordPart(after);
}

// Titles come from file names, book names and imported libraries. A "/"
// would write into another folder ("../../x"), a leading dot hide the file,
// a leading "~" send Qt's dialog to a home folder, and a double quote make
// it read the field as a list of quoted names.
QString plainName(const QString& title)
{
    QString text;
    text.reserve(title.size());
    // By scalar: format characters outside the first plane (tags) go too.
    const auto scalars = title.toUcs4();
    for (qsizetype i = 0; i < scalars.size(); ++i) {
        auto c = static_cast<char32_t>(scalars[i]);
        if (isInvisible(c) && !(i > 0 && i + 1 < scalars.size() && joinsWithin(c, scalars[i - 1], scalars[i + 1])))
            continue;
        if (c < 0x20 || c == 0x7F) c = u' ';
        else if (c == u'"') c = u'\'';
        text += QStringView(QChar::fromUcs4(c));
    }
    QStringList parts;
    for (const QString& part : text.split(u'/')) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty() && trimmed != QStringLiteral(".") && trimmed != QStringLiteral("..")) parts << part;
    }
    QString name = parts.join(u'-').trimmed();
    qsizetype start = 0;
    while (start < name.size() && (name[start] == u'.' || name[start] == u'~' || name[start].isSpace())) ++start;
    return name.mid(start);
}

// `name` cut to at most `bytes` bytes of UTF-8, on a character boundary.
QString shortened(const QString& name, qsizetype bytes)
{
    const QByteArray utf8 = name.toUtf8();
    if (utf8.size() <= bytes) return name;
    qsizetype cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
    QString kept = QString::fromUtf8(utf8.left(cut));
    while (!kept.isEmpty() && kept.back().isSpace()) kept.chop(1);
    return kept;
}

} // namespace

QString pdfFileName(const QString& name)
{
    const QString extension = QStringLiteral(".pdf");
    QString title = name.endsWith(extension, Qt::CaseSensitive) ? name.chopped(extension.size()) : name;
    // The label the copy's kind adds stays whole: a long title is cut instead.
    QString label;
    for (const QString& known : {QStringLiteral(" (large print)"), QStringLiteral(" – booklet")})
        if (title.endsWith(known)) {
            label = known;
            title.chop(known.size());
            break;
        }
    QString base = plainName(title);
    if (base.isEmpty()) base = QStringLiteral("Untitled");
    return shortened(base, maxFileNameBytes - extension.size() - label.toUtf8().size()) + label + extension;
}

void savePDF(Panels& panels, SharedBytes data, const QString& suggestedName, const QString& message)
{
    // A copy that is not a PDF would be saved under a .pdf name and fail to
    // open later; say so now instead of writing it.
    if (!data || !PdfView::looksLikePdf(*data)) {
        panels.alert(QStringLiteral("%1 couldn’t make a PDF of this copy, so there is nothing to save.")
                         .arg(QString::fromUtf8(FolmiraKit::Brand::name.data(),
                                                static_cast<qsizetype>(FolmiraKit::Brand::name.size()))),
                     QString());
        return;
    }
    const auto url = panels.chooseFileToSave(pdfFileName(suggestedName), message);
    if (!url) return;

    try {
        Platform::writeFileAtomically(*url, *data);
    } catch (const Platform::FileWriteError& failure) {
        const auto name = QString::fromStdString(url->filename().string());
        panels.alert(QStringLiteral("The document “%1” couldn’t be saved.").arg(name), QString::fromUtf8(failure.what()));
    }
}

PrintPlan planPrint(QSizeF firstPage, bool duplex)
{
    PrintPlan plan;
    const double w = firstPage.width();
    const double h = firstPage.height();
    plan.paper = QSizeF(std::min(w, h), std::max(w, h));
    plan.orientation = w > h ? QPageLayout::Landscape : QPageLayout::Portrait;
    plan.duplex = duplex;
    plan.fitToPaper = duplex;
    return plan;
}

namespace {

// The printer's own paper of that size when it has one, so that its
// properties in the print panel can show it.
QPageSize paperFor(const QPrinter& printer, QSizeF points)
{
    const QPrinterInfo info(printer);
    for (const QPageSize& paper : info.supportedPageSizes()) {
        const QSizeF size = paper.size(QPageSize::Point);
        if (std::abs(size.width() - points.width()) < 1 && std::abs(size.height() - points.height()) < 1) return paper;
    }
    return QPageSize(points, QPageSize::Point);
}

} // namespace

void applyPlan(QPrinter& printer, const PrintPlan& plan, const QString& jobTitle)
{
    printer.setPageSize(paperFor(printer, plan.paper));
    printer.setPageOrientation(plan.orientation);
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    // A booklet turns on the short edge; other jobs keep the user's choice.
    if (plan.duplex) printer.setDuplex(QPrinter::DuplexShortSide);
    printer.setDocName(jobTitle);
}

void startFromLastPrinter(QPrinter& printer, const QSettings* defaults)
{
    const QString last = defaults ? defaults->value(QString::fromLatin1(lastPrinterKey)).toString() : QString();
    // A printer since removed would leave the panel on no printer at all.
    if (!last.isEmpty() && QPrinterInfo::availablePrinterNames().contains(last)) printer.setPrinterName(last);
    // Every print begins at the printer's own settings, not at the last job's.
    const QPrinterInfo info(printer);
    printer.setCopyCount(1);
    printer.setCollateCopies(true);
    printer.setPrintRange(QPrinter::AllPages);
    if (!info.isNull()) {
        printer.setDuplex(info.defaultDuplexMode());
        printer.setColorMode(info.defaultColorMode());
    }
}

Platform::PrintJob::Sides sidesFor(QPrinter::DuplexMode duplex, QPageLayout::Orientation orientation)
{
    using Platform::PrintJob::Sides;
    switch (duplex) {
    case QPrinter::DuplexNone: return Sides::oneSided;
    case QPrinter::DuplexLongSide: return Sides::twoSidedLongEdge;
    case QPrinter::DuplexShortSide: return Sides::twoSidedShortEdge;
    // "Auto" binds on the long edge of the page as it is read.
    case QPrinter::DuplexAuto:
        return orientation == QPageLayout::Landscape ? Sides::twoSidedShortEdge : Sides::twoSidedLongEdge;
    }
    return Sides::oneSided;
}

Platform::PrintJob::Choices jobChoices(const QPrinter& printer, const PrintPlan& plan, QSizeF firstPage)
{
    Platform::PrintJob::Choices choices;
    choices.copies = printer.copyCount();
    choices.collate = printer.collateCopies();
    if (printer.printRange() == QPrinter::PageRange) {
        for (const auto& range : printer.pageRanges().toRangeList()) choices.pages.push_back({range.from, range.to});
    }
    choices.sides = sidesFor(printer.duplex(), plan.orientation);
    choices.grey = printer.colorMode() == QPrinter::GrayScale;
    choices.firstPage = {firstPage.width(), firstPage.height()};
    choices.booklet = plan.duplex;
    return choices;
}

bool drawPages(QPrinter& printer, Poppler::Document& document, const PrintPlan& plan)
{
    const int count = document.numPages();
    if (count <= 0) return true;
    int first = 0;
    int last = count - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::min(printer.fromPage() - 1, last);
        last = std::clamp(printer.toPage() - 1, first, last);
    }

    QPainter painter;
    if (!painter.begin(&printer)) return false;
    // Poppler draws vectors only through its QPainter backend; the views use
    // the raster one, so switch for the job and back.
    const auto backend = document.renderBackend();
    document.setRenderBackend(Poppler::Document::QPainterBackend);

    // Poppler sets the painter's transform itself, so scale through the
    // resolution it draws at and place the page with the painter's window.
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const double deviceDpi = printer.resolution();
    for (int index = first; index <= last; ++index) {
        if (index > first) printer.newPage();
        auto page = document.page(index);
        if (!page) continue;
        const QSizeF size = page->pageSizeF();
        double dpi = deviceDpi;
        auto rotation = Poppler::Page::Rotate0;
        QPointF origin;
        if (plan.fitToPaper && !size.isEmpty()) {
            const bool turn = (size.width() > size.height()) != (paper.width() > paper.height());
            const QSizeF placed = turn ? size.transposed() : size;
            const double scale = std::min(paper.width() / placed.width(), paper.height() / placed.height());
            dpi = 72.0 * scale;
            if (turn) rotation = Poppler::Page::Rotate90;
            origin = QPointF((paper.width() - placed.width() * scale) / 2, (paper.height() - placed.height() * scale) / 2);
        }
        painter.save();
        painter.translate(origin);
        page->renderToPainter(&painter, dpi, dpi, 0, 0, -1, -1, rotation);
        painter.restore();
    }
    const bool ended = painter.end();
    document.setRenderBackend(backend);
    return ended;
}

namespace {

// Printing to a file keeps the copy as it is: its own bytes, cut to the
// chosen pages.
void writeToFile(Panels& panels, const QString& fileName, const std::vector<std::uint8_t>& pdf,
                 const std::vector<Platform::PrintJob::PageRange>& pages)
{
    const std::filesystem::path target = fileName.toStdString();
    const auto name = QString::fromStdString(target.filename().string());
    const auto cut = pages.empty() ? pdf : Platform::PrintJob::pagesOf(pdf, pages);
    if (cut.empty()) {
        panels.alert(QStringLiteral("The document “%1” couldn’t be saved.").arg(name),
                     QStringLiteral("None of the chosen pages are in the document."));
        return;
    }
    try {
        Platform::writeFileAtomically(target, cut);
    } catch (const Platform::FileWriteError& error) {
        panels.alert(QStringLiteral("The document “%1” couldn’t be saved.").arg(name), QString::fromUtf8(error.what()));
    }
}

} // namespace

void printPDF(Panels& panels, QSettings* defaults, PdfView::PdfDocumentPtr document, SharedBytes pdf,
              const QString& jobTitle, bool duplex)
{
    if (!pdf || PdfView::pageCount(document) == 0) return;
    const QSizeF firstPage = PdfView::pageSize(document, 0);
    const auto plan = planPrint(firstPage, duplex);
    QPrinter printer(QPrinter::HighResolution);
    startFromLastPrinter(printer, defaults);
    applyPlan(printer, plan, jobTitle);
    if (!panels.confirmPrint(printer)) return;
    const auto choices = jobChoices(printer, plan, firstPage);

    if (printer.outputFormat() != QPrinter::NativeFormat || !printer.outputFileName().isEmpty()) {
        writeToFile(panels, printer.outputFileName(), *pdf, choices.pages);
        return;
    }
    if (defaults) defaults->setValue(QString::fromLatin1(lastPrinterKey), printer.printerName());
    QString reason;
    try {
        Platform::PrintJob::send(printer.printerName().toStdString(), jobTitle.toStdString(), *pdf,
                                 Platform::PrintJob::options(choices));
        return;
    } catch (const Platform::PrintJob::PrintError& error) {
        // Not a queue the print system takes jobs for: Qt's own way still may.
        reason = QString::fromUtf8(error.what());
    }
    if (!drawPages(printer, *document, plan))
        panels.alert(QStringLiteral("The document “%1” couldn’t be printed.").arg(jobTitle), reason);
}

} // namespace FolmiraApp
