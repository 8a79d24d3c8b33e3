#include "Lyricade/Views/PreviewArea.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/ColumnFit.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/InspectorParts.h"
#include "Lyricade/Views/PreviewPages.h"
#include "Lyricade/Views/SegmentedChoice.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSettings>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace Lyricade {

using TunequillKit::allCases;
using Sheet = TunequillKit::BookletMaker::Sheet;

namespace {

QString bookletInstruction()
{
    return QStringLiteral("Print two-sided and flip on the short edge. Stack the sheets in order, fold in half and "
                          "staple on the fold.");
}


} // namespace

PreviewArea::PreviewArea(AppModel& model, std::shared_ptr<QSettings> defaults, QWidget* parent)
    : QWidget(parent),
      model_(model),
      defaults_(defaults ? std::move(defaults)
                         : std::make_shared<QSettings>(QStringLiteral("Folmira"), QStringLiteral("Folmira")))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    bar_ = new QBoxLayout(QBoxLayout::LeftToRight);
    bar_->setContentsMargins(14, 8, 14, 8);
    bar_->setSpacing(12);
    auto* picker = new SegmentedChoice(QStringLiteral("Preview"), this);
    for (PreviewMode mode : allCases<PreviewMode>) picker->addSegment(title(mode));
    mode_ = picker->group();
    picker_ = picker;
    picker_->setToolTip(QStringLiteral("Pages as they read, or booklet sheets as they print (Ctrl+Shift+B)"));
    bar_->addWidget(picker_, 0, Qt::AlignLeft);
    options_ = new QWidget(this);
    auto* options = new QBoxLayout(QBoxLayout::LeftToRight, options_);
    options->setContentsMargins(0, 0, 0, 0);
    options->setSpacing(12);
    // Named in booklet mode only (see refreshBar).
    sheetLabel_ = new QLabel(options_);
    sheet_ = new QComboBox(options_);
    // As wide as its longest choice, which changes with the book's page size.
    sheet_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    sheetLabel_->setBuddy(sheet_);
    options->addWidget(sheetLabel_);
    options->addWidget(sheet_);
    facingToggle_ = new QCheckBox(QStringLiteral("Facing pages"), options_);
    facingToggle_->setToolTip(QStringLiteral("Show left and right pages side by side, as the printed book opens"));
    options->addWidget(facingToggle_);
    options->addStretch(1);
    bar_->addWidget(options_);
    bar_->addStretch(1);
    column->addLayout(bar_);
    barFit_ = new RowFit(this, bar_);
    // Narrower still, "Sheet" stands over its picker, which gets the whole width.
    new RowFit(options_, options);
    column->addWidget(DetailParts::divider(this));

    stack_ = new QStackedWidget(this);
    pages_ = new PreviewPages(QString(), stack_); // named as it shows (see refreshPreview)
    empty_ = new NoContentView(DetailParts::themeIcon("text-x-generic", QStyle::SP_FileIcon),
                               QStringLiteral("Nothing to print yet"), QStringLiteral("Add songs to see the pages."),
                               stack_);
    stack_->addWidget(pages_);
    stack_->addWidget(empty_);
    column->addWidget(stack_, 1);
    column->addWidget(DetailParts::divider(this));

    footer_ = new QWidget(this);
    auto* footer = new QVBoxLayout(footer_);
    footer->setContentsMargins(14, 8, 14, 8);
    footer->setSpacing(4);
    // Worded in booklet mode only: hidden words would still be heard.
    instruction_ = DetailParts::iconLabel(DetailParts::themeIcon("object-flip-horizontal", QStyle::SP_ArrowRight),
                                          QString(), footer_);
    footer->addWidget(instruction_);
    warnings_ = new LineList(warningLines, footer_);
    footer->addWidget(warnings_);
    column->addWidget(footer_);

    connect(mode_, &QButtonGroup::idClicked, this,
            [this](int id) { model_.setPreviewMode(static_cast<PreviewMode>(id)); });
    connect(sheet_, &QComboBox::activated, this,
            [this](int row) { model_.setBookletSheet(allCases<Sheet>.at(static_cast<std::size_t>(row))); });
    connect(facingToggle_, &QCheckBox::toggled, this, &PreviewArea::setFacing);

    connect(&model_, &AppModel::previewPDFChanged, this, &PreviewArea::refreshPreview);
    connect(&model_, &AppModel::previewModeChanged, this, [this] {
        refreshBar();
        refreshPreview();
        refreshFooter();
    });
    connect(&model_, &AppModel::bookletSheetChanged, this, &PreviewArea::refreshBar);
    connect(&model_, &AppModel::selectionChanged, this, &PreviewArea::refreshBar);
    connect(&model_, &AppModel::libraryChanged, this, &PreviewArea::refreshBar);
    connect(&model_, &AppModel::previewWarningsChanged, this, &PreviewArea::refreshFooter);
    refreshBar();
    refreshPreview();
    refreshFooter();
}

PreviewArea::~PreviewArea() = default;

bool PreviewArea::facing() const
{
    return defaults_->value(QLatin1String(facingKey), false).toBool();
}

void PreviewArea::setFacing(bool on)
{
    defaults_->setValue(QLatin1String(facingKey), on);
    refreshBar();
    // Only the display changes: the same document stays, at its page.
    refreshPreview();
}

void PreviewArea::refreshBar()
{
    const bool booklet = model_.previewMode() == PreviewMode::booklet;
    mode_->button(static_cast<int>(model_.previewMode()))->setChecked(true);

    const auto book = model_.selectedBook();
    const bool sheets = booklet && book;
    // Shown or hidden under a hidden parent alike, so sizes are right before the first show.
    sheetLabel_->setVisible(sheets);
    sheet_->setVisible(sheets);
    facingToggle_->setVisible(!sheets);
    if (sheets) {
        whenShown(*sheet_, [this] {
            if (sheetLabel_->text().isEmpty()) sheetLabel_->setText(QStringLiteral("Sheet"));
            setSpokenName(*sheet_, QStringLiteral("Sheet"));
        });
        QStringList titles;
        for (Sheet sheet : allCases<Sheet>)
            titles << QString::fromStdString(TunequillKit::BookletMaker::title(sheet, book->settings.pageSize));
        InspectorParts::showChoices(sheet_, titles, static_cast<int>(model_.bookletSheet()));
    }
    const QSignalBlocker quiet(facingToggle_);
    facingToggle_->setChecked(facing());
    barFit_->refit();
}

void PreviewArea::refreshPreview()
{
    const bool booklet = model_.previewMode() == PreviewMode::booklet;
    whenShown(*pages_, [this, booklet] {
        setSpokenName(*pages_, booklet ? QStringLiteral("Booklet sheets preview") : QStringLiteral("Book pages preview"));
    });
    const auto& pdf = model_.previewPDF();
    stack_->setCurrentWidget(pdf ? static_cast<QWidget*>(pages_) : empty_);
    // Nothing is handed on too, so a preview that comes back opens at its first page.
    pages_->present(pdf, !booklet && facing(), model_.previewPageRequest());
}

void PreviewArea::refreshFooter()
{
    const QFont callout = FontRole::font(this, FontRole::callout);
    const bool booklet = model_.previewMode() == PreviewMode::booklet;
    instruction_->setFont(callout);
    instruction_->setVisible(booklet);
    if (booklet)
        whenShown(*instruction_, [this, words = instruction_->findChild<QLabel*>(QStringLiteral("text"))] {
            if (!words->text().isEmpty()) return;
            words->setText(bookletInstruction());
            fitFooter();
        });
    warnings_->setLines(DetailParts::themeIcon("dialog-information", QStyle::SP_MessageBoxInformation),
                        model_.previewWarnings(), callout, FontRole::secondary(this));
    warnings_->setVisible(!model_.previewWarnings().isEmpty());
    footer_->setVisible(booklet || !model_.previewWarnings().isEmpty());
    fitFooter();
}

QStringList PreviewArea::footerLines() const
{
    QStringList lines;
    if (!instruction_->isHidden()) lines << bookletInstruction();
    return lines + warnings_->texts();
}

void PreviewArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitFooter();
}

void PreviewArea::fitFooter()
{
    if (footer_->isHidden()) return;
    const QMargins margins = footer_->layout()->contentsMargins();
    int above = bar_->sizeHint().height() + margins.top() + margins.bottom() + 2;
    if (!instruction_->isHidden())
        above += instruction_->heightForWidth(std::max(1, footer_->width() - margins.left() - margins.right())) +
                 footer_->layout()->spacing();
    warnings_->setHeightLimit(height() / 2 - above);
}

} // namespace Lyricade
