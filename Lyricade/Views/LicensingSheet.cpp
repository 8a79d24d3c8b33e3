#include "Lyricade/Views/LicensingSheet.h"

#include "Lyricade/Host.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/FontRoles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
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
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(22, 22, 22, 22);
    column->setSpacing(14);

    auto* title = new QHBoxLayout;
    title->setSpacing(8);
    auto* mark = new QLabel(QStringLiteral("©"), this);
    auto* heading = new QLabel(QStringLiteral("Song licensing"), this);
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
                       this);
    second_ = paragraph(brand + QStringLiteral(" doesn’t download lyrics, and nothing you print is reported anywhere. "
                                               "Keeping track of what your group may print is up to you."),
                        this);
    FontRole::makeSecondary(second_);
    column->addWidget(first_);
    column->addWidget(second_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(ok_);
    column->addLayout(buttons);
}

void LicensingSheet::showEvent(QShowEvent* event)
{
    // As tall as the wrapped paragraphs need at the fixed width.
    setFixedHeight(layout()->totalHeightForWidth(sheetWidth));
    QDialog::showEvent(event);
}

QStringList LicensingSheet::paragraphs() const
{
    return {first_->text(), second_->text()};
}

} // namespace Lyricade
