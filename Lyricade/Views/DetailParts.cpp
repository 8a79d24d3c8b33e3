#include "Lyricade/Views/DetailParts.h"

#include "Lyricade/Views/Decoration.h"
#include "Lyricade/Views/FontRoles.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace Lyricade::DetailParts {

QLabel* headline(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(FontRole::font(parent, FontRole::headline, QFont::Bold));
    return label;
}

QFrame* divider(QWidget* parent, Qt::Orientation orientation)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

QIcon themeIcon(const char* name, QStyle::StandardPixmap fallback)
{
    // One look in the theme: an icon it lacks comes back null.
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
    return icon.isNull() ? QApplication::style()->standardIcon(fallback) : icon;
}

QWidget* iconLabel(const QIcon& icon, const QString& text, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    const int side = row->fontMetrics().height();
    auto* picture = new QLabel(row);
    picture->setPixmap(icon.pixmap(side, side));
    picture->setAlignment(Qt::AlignTop);
    auto* words = new QLabel(text, row);
    words->setObjectName(QStringLiteral("text"));
    words->setWordWrap(true);
    words->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(picture, 0, Qt::AlignTop);
    layout->addWidget(words, 1);
    return row;
}

} // namespace Lyricade::DetailParts

namespace Lyricade {

NoContentView::NoContentView(const QIcon& icon, const QString& title, const QString& description, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setSpacing(8);
    column->addStretch(1);
    auto* picture = new Decoration(this);
    picture->setPixmap(icon.pixmap(48, 48));
    picture->setAlignment(Qt::AlignHCenter);
    FontRole::makeSecondary(picture);
    title_ = new QLabel(title, this);
    title_->setFont(FontRole::font(this, FontRole::title2, QFont::Bold));
    title_->setAlignment(Qt::AlignHCenter);
    description_ = new QLabel(description, this);
    description_->setAlignment(Qt::AlignHCenter);
    description_->setWordWrap(true);
    FontRole::makeSecondary(description_);
    column->addWidget(picture);
    column->addWidget(title_);
    column->addWidget(description_);
    column->addStretch(1);
    setAccessibleName(title);
    setAccessibleDescription(description);
}

QString NoContentView::title() const { return title_->text(); }
QString NoContentView::description() const { return description_->text(); }

} // namespace Lyricade
