#include "Lyricade/Views/PreviewArea.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/PreviewPages.h"

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

// Two buttons side by side, exactly one checked: Qt's nearest to a segmented control.
QWidget* segments(QButtonGroup* group, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (PreviewMode mode : allCases<PreviewMode>) {
        auto* button = new QToolButton(box);
        button->setText(title(mode));
        button->setCheckable(true);
        button->setAutoRaise(false);
        group->addButton(button, static_cast<int>(mode));
        row->addWidget(button);
    }
    return box;
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

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(14, 8, 14, 8);
    bar->setSpacing(12);
    mode_ = new QButtonGroup(this);
    auto* picker = segments(mode_, this);
    picker->setAccessibleName(QStringLiteral("Preview"));
    picker->setToolTip(QStringLiteral("Pages as they read, or booklet sheets as they print (Ctrl+Shift+B)"));
    bar->addWidget(picker);
    sheetLabel_ = new QLabel(QStringLiteral("Sheet"), this);
    sheet_ = new QComboBox(this);
    sheet_->setAccessibleName(QStringLiteral("Sheet"));
    sheetLabel_->setBuddy(sheet_);
    bar->addWidget(sheetLabel_);
    bar->addWidget(sheet_);
    facingToggle_ = new QCheckBox(QStringLiteral("Facing pages"), this);
    facingToggle_->setToolTip(QStringLiteral("Show left and right pages side by side, as the printed book opens"));
    bar->addWidget(facingToggle_);
    bar->addStretch(1);
    column->addLayout(bar);
    column->addWidget(DetailParts::divider(this));

    stack_ = new QStackedWidget(this);
    pages_ = new PreviewPages(QStringLiteral("Book pages preview"), stack_);
    empty_ = new NoContentView(DetailParts::themeIcon("text-x-generic", QStyle::SP_FileIcon),
                               QStringLiteral("Nothing to print yet"), QStringLiteral("Add songs to see the pages."),
                               stack_);
    stack_->addWidget(pages_);
    stack_->addWidget(empty_);
    column->addWidget(stack_, 1);
    column->addWidget(DetailParts::divider(this));

    footer_ = new QWidget(this);
    footerLines_ = new QVBoxLayout(footer_);
    footerLines_->setSpacing(4);
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
    sheetLabel_->setVisible(sheets);
    sheet_->setVisible(sheets);
    facingToggle_->setVisible(!sheets);
    if (sheets) {
        const QSignalBlocker quiet(sheet_);
        sheet_->clear();
        for (Sheet sheet : allCases<Sheet>)
            sheet_->addItem(QString::fromStdString(TunequillKit::BookletMaker::title(sheet, book->settings.pageSize)));
        sheet_->setCurrentIndex(static_cast<int>(model_.bookletSheet()));
    }
    const QSignalBlocker quiet(facingToggle_);
    facingToggle_->setChecked(facing());
}

void PreviewArea::refreshPreview()
{
    const bool booklet = model_.previewMode() == PreviewMode::booklet;
    pages_->setAccessibleName(booklet ? QStringLiteral("Booklet sheets preview") : QStringLiteral("Book pages preview"));
    const auto& pdf = model_.previewPDF();
    stack_->setCurrentWidget(pdf ? static_cast<QWidget*>(pages_) : empty_);
    // Nothing is handed on too, so a preview that comes back opens at its first page.
    pages_->present(pdf, !booklet && facing(), model_.previewPageRequest());
}

void PreviewArea::refreshFooter()
{
    while (auto* item = footerLines_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QFont callout = FontRole::font(this, FontRole::callout);
    if (model_.previewMode() == PreviewMode::booklet) {
        auto* line = DetailParts::iconLabel(DetailParts::themeIcon("object-flip-horizontal", QStyle::SP_ArrowRight),
                                            bookletInstruction(), footer_);
        line->setFont(callout);
        footerLines_->addWidget(line);
    }
    for (const QString& warning : model_.previewWarnings()) {
        auto* line = DetailParts::iconLabel(DetailParts::themeIcon("dialog-information", QStyle::SP_MessageBoxInformation),
                                            warning, footer_);
        line->setFont(callout);
        FontRole::makeSecondary(line);
        footerLines_->addWidget(line);
    }
    const bool any = footerLines_->count() > 0;
    footerLines_->setContentsMargins(14, any ? 8 : 0, 14, any ? 8 : 0);
    footer_->setVisible(any);
}

QStringList PreviewArea::footerLines() const
{
    QStringList lines;
    for (int i = 0; i < footerLines_->count(); ++i)
        if (auto* text = footerLines_->itemAt(i)->widget()->findChild<QLabel*>(QStringLiteral("text")))
            lines << text->text();
    return lines;
}

} // namespace Lyricade
