#include "Lyricade/Views/LicensingSheet.h"

#include "Lyricade/Host.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/ScreenFit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace Lyricade {

namespace {

QLabel* paragraph(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

LicensingSheet::LicensingSheet(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Song licensing"));
    setFixedWidth(sheetWidth);
    // The words scroll above the button where the screen is too short for them.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 22);
    outer->setSpacing(14);
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* words = new QWidget(scroll_);
    auto* column = new QVBoxLayout(words);
    column->setContentsMargins(22, 22, 22, 0);
    column->setSpacing(14);

    auto* title = new QHBoxLayout;
    title->setSpacing(8);
    auto* mark = new QLabel(QStringLiteral("©"), words);
    auto* heading = new QLabel(QStringLiteral("Song licensing"), words);
    const QFont big = FontRole::font(this, FontRole::title2, QFont::DemiBold);
    mark->setFont(big);
    heading->setFont(big);
    title->addWidget(mark);
    title->addWidget(heading, 1);
    column->addLayout(title);

    const QString& brand = brandName();
    first_ = paragraph(QStringLiteral("Song lyrics and music belong to their writers and publishers. Printing or copying "
                                      "copyrighted songs for a church, school or group usually needs a license, for "
                                      "example from CCLI or a similar licensing service, or the publisher’s "
                                      "permission. ") +
                           brand +
                           QStringLiteral(" only lays out the songs you bring; its sample songs are in the public "
                                          "domain."),
                       words);
    second_ = paragraph(brand + QStringLiteral(" doesn’t download lyrics, and nothing you print is reported anywhere. "
                                               "Keeping track of what your group may print is up to you."),
                        words);
    FontRole::makeSecondary(second_);
    column->addWidget(first_);
    column->addWidget(second_);
    scroll_->setWidget(words);
    outer->addWidget(scroll_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(22, 0, 22, 0);
    buttons->addStretch(1);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(ok_);
    outer->addLayout(buttons);
}

void LicensingSheet::showEvent(QShowEvent* event)
{
    // As tall as the wrapped paragraphs need at the fixed width, when the screen has the room.
    const QMargins outer = layout()->contentsMargins();
    setFixedHeight(scroll_->widget()->layout()->totalHeightForWidth(sheetWidth) + layout()->spacing() +
                   ok_->sizeHint().height() + outer.top() + outer.bottom());
    fitOnScreen(*this, parentWidget());
    QDialog::showEvent(event);
}

QStringList LicensingSheet::paragraphs() const
{
    return {first_->text(), second_->text()};
}

} // namespace Lyricade
