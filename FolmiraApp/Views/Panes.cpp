#include "FolmiraApp/Views/Panes.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/Wording.h"
#include "FolmiraApp/Views/Icons.h"
#include "FolmiraApp/Views/PaneParts.h"
#include "PdfView/Widgets/PdfPagesView.h"
#include "FolmiraApp/Views/TextPane.h"
#include "FolmiraKit/PDF/Columns.h"
#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/PdfHelper/WireFormat.h"
#include "FolmiraApp/Views/FocusKeeper.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/FocusRing.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace FolmiraApp {

namespace {

QVBoxLayout* paneColumn(QWidget* pane)
{
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    return column;
}

// The system's "content unavailable" look: a symbol, a title, a description.
QWidget* noPreviewView(QWidget* parent)
{
    auto* view = new QWidget(parent);
    auto* column = new QVBoxLayout(view);
    column->addStretch(1);
    auto* symbol = new QLabel(view);
    symbol->setPixmap(themeIcon("text-x-generic", QStyle::SP_FileIcon).pixmap(48, 48));
    symbol->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(QStringLiteral("No preview"), view);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);
    auto* description = new QLabel(QStringLiteral("This file can’t be shown as it is."), view);
    description->setAlignment(Qt::AlignCenter);
    column->addWidget(symbol);
    column->addWidget(title);
    column->addWidget(description);
    column->addStretch(1);
    return view;
}

// A page of the user's PDF as the reader reads it, in one of the file's
// workers (under their limits): its lines in the reader's order (a stretch
// of two columns the left one first), each line's words left to right.
// Empty for a page the reader finds too large, a worker that ends on it, or
// none to be had.
QString readOriginalPage(const PdfView::OutsidePdf& document, int index, const Platform::CancelFlag& cancel)
{
    using namespace FolmiraKit::PDFReader;
    if (!document.pool || index < 0) return {};
    Platform::PdfWorkerPool::Lease lease = document.pool->take(&cancel);
    if (!lease) return {};
    Platform::WireWriter request;
    request.i32(index);
    constexpr std::size_t largestReading = std::size_t{32} << 20; // as the reader allows a page's
    const auto reply = lease.worker().request(static_cast<std::uint8_t>(WorkerRequest::readPage), request.data(),
                                              largestReading, &cancel);
    if (reply.status != Platform::PdfWorker::Status::ok) return {};
    PageReading reading;
    try {
        reading = decodePageReading(reply.payload);
    } catch (const Platform::WireReader::Short&) {
        return {};
    }
    QStringList lines;
    for (const Flow& flow : detectColumns(reading.text.lines))
        for (const FlowItem& item : flow.items)
            if (const auto* text = std::get_if<FlowItem::Lines>(&item.value))
                for (const Line& line : text->lines) {
                    QStringList words;
                    for (const Word& word : line.words) words << QString::fromStdString(word.text);
                    if (!words.isEmpty()) lines << words.join(QLatin1Char(' '));
                }
    return lines.join(QLatin1Char('\n'));
}

QWidget* progressView(QWidget* parent)
{
    auto* view = new QWidget(parent);
    auto* column = new QVBoxLayout(view);
    column->addStretch(1);
    auto* bar = new QProgressBar(view);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedWidth(220);
    auto* label = new QLabel(QStringLiteral("Making it large…"), view);
    label->setAlignment(Qt::AlignCenter);
    column->addWidget(bar, 0, Qt::AlignHCenter);
    column->addWidget(label);
    column->addStretch(1);
    view->setAccessibleName(label->text());
    // Reachable while the copy is being made, so the focus has a named place.
    view->setFocusPolicy(Qt::StrongFocus);
    Lyricade::FocusRing::ringWhenFocused(view);
    // Until the copy comes, which is often at once.
    tellFocusAfterAMoment(view);
    return view;
}

} // namespace

OriginalPane::OriginalPane(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    auto* column = paneColumn(this);
    header_ = new PaneHeader(QStringLiteral("Original"), this);
    column->addWidget(header_);
    column->addWidget(makeDivider(this));
    stack_ = new QStackedWidget(this);
    // The user's file may hold a page that would take the window's memory or
    // a core for minutes: its pages are drawn in workers, under limits.
    pdf_ = new PdfView::PdfPagesView(QStringLiteral("Original document"), stack_);
    pdf_->setOutsideTextReader(readOriginalPage);
    text_ = new TextPane(stack_);
    none_ = noPreviewView(stack_);
    stack_->addWidget(pdf_);
    stack_->addWidget(text_);
    stack_->addWidget(none_);
    column->addWidget(stack_, 1);

    connect(&model_, &AppModel::fileNameChanged, this, &OriginalPane::refresh);
    // Another file starts at its first page, fitted to the width.
    connect(&model_, &AppModel::fileURLChanged, pdf_, &PdfView::PdfPagesView::expectAnotherFile);
    // The read document still held is the last file's until this one's arrives.
    connect(&model_, &AppModel::fileURLChanged, this, [this] { pdf_->setLeftOutPages({}); });
    connect(&model_, &AppModel::documentChanged, this, &OriginalPane::refreshLeftOut);
    connect(&model_, &AppModel::originalPDFChanged, this, &OriginalPane::refresh);
    connect(&model_, &AppModel::originalTextChanged, this, &OriginalPane::refresh);
    refresh();
    refreshLeftOut();
}

void OriginalPane::refreshLeftOut()
{
    std::set<int> pages;
    if (const auto& document = model_.document())
        for (int number : document->leftOutPages) pages.insert(number - 1);
    pdf_->setLeftOutPages(std::move(pages));
}

QWidget* OriginalPane::shown() const
{
    return stack_->currentWidget();
}

void OriginalPane::refresh()
{
    header_->setDetail(model_.fileName());
    if (model_.originalPDF() || model_.openingOriginalPDF()) {
        // While a worker opens the file, the pages' place stays empty.
        pdf_->setOutsideDocument(model_.originalPDF());
        stack_->setCurrentWidget(pdf_);
    } else if (const auto& text = model_.originalText()) {
        text_->setText(*text);
        stack_->setCurrentWidget(text_);
    } else {
        stack_->setCurrentWidget(none_);
    }
    // A view left behind lets its document go.
    if (!model_.originalPDF()) pdf_->setOutsideDocument(nullptr);
}

LargePrintPane::LargePrintPane(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    auto* column = paneColumn(this);
    header_ = new PaneHeader(QStringLiteral("Large print"), this);
    column->addWidget(header_);
    column->addWidget(makeDivider(this));
    stack_ = new QStackedWidget(this);
    refusal_ = new RefusalView(stack_);
    pdf_ = new PdfView::PdfPagesView(QStringLiteral("Large-print preview"), stack_);
    progress_ = progressView(stack_);
    stack_->addWidget(refusal_);
    stack_->addWidget(pdf_);
    stack_->addWidget(progress_);
    column->addWidget(stack_, 1);

    updating_ = new QProgressBar(this);
    updating_->setRange(0, 0);
    updating_->setTextVisible(false);
    updating_->setFixedSize(48, 8);
    updating_->setAccessibleName(QStringLiteral("Updating the preview"));

    // A new copy of the same file keeps the page and the zoom; another file's
    // first copy starts at its first page, fitted to the width.
    connect(&model_, &AppModel::fileURLChanged, pdf_, &PdfView::PdfPagesView::expectAnotherFile);
    for (auto signal : {&AppModel::errorChanged, &AppModel::previewChanged, &AppModel::renderingChanged})
        connect(&model_, signal, this, &LargePrintPane::refresh);
    for (auto signal : {&AppModel::resultChanged, &AppModel::settingsChanged, &AppModel::readingChanged})
        connect(&model_, signal, this, &LargePrintPane::refreshDetail);
    for (auto signal : {&AppModel::resultChanged, &AppModel::readingChanged, &AppModel::renderingChanged})
        connect(&model_, signal, this, &LargePrintPane::refreshDescription);
    refresh();
    refreshDetail();
    refreshDescription();
}

QWidget* LargePrintPane::shown() const
{
    return stack_->currentWidget();
}

void LargePrintPane::takeFocus()
{
    shown()->setFocus(Qt::OtherFocusReason);
}

void LargePrintPane::refresh()
{
    const QWidget* focus = QApplication::focusWidget();
    const bool focusHere = focus && (focus == stack_ || stack_->isAncestorOf(focus));
    // A refusal wins over a preview still held from before.
    if (const auto& error = model_.error()) {
        refusal_->setMessage(*error);
        stack_->setCurrentWidget(refusal_);
    } else if (const auto& preview = model_.preview()) {
        pdf_->setDocument(preview);
        stack_->setCurrentWidget(pdf_);
    } else {
        stack_->setCurrentWidget(progress_);
    }
    if (!model_.preview()) pdf_->setDocument(nullptr);
    // The content the focus was on has gone: its successor takes the focus,
    // rather than whatever Qt would pick next.
    if (focusHere && shown() != focus) takeFocus();
    updating_->setVisible(model_.rendering() && model_.preview());
    placeUpdating();
}

void LargePrintPane::refreshDetail()
{
    const auto& result = model_.result();
    header_->setDetail(detailLine(result ? std::optional<int>(result->pageCount) : std::nullopt, model_.settings(),
                                  model_.reading()));
}

void LargePrintPane::refreshDescription()
{
    // The copy describes itself by its pages and size, so that Bigger, Smaller
    // or a preset, which leave the focus on it, are heard there once the new
    // copy is in: the header's line is no control and goes unread. Told only
    // as a copy comes: a change of settings pairs the last copy's pages with
    // the new size until then.
    if (model_.result() && model_.preview() && !model_.rendering() && !model_.reading())
        Lyricade::setSpokenDescription(*pdf_, header_->detail());
}

void LargePrintPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeUpdating();
}

void LargePrintPane::placeUpdating()
{
    // Top-trailing corner of the copy's area, 10 points in.
    const QRect area = stack_->geometry();
    updating_->move(area.right() - 10 - updating_->width() - 16, area.top() + 10);
    updating_->raise();
}

} // namespace FolmiraApp
