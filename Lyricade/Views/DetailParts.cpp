#include "Lyricade/Views/DetailParts.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace Lyricade::DetailParts {

QFont font(const QWidget* widget, double factor, QFont::Weight weight)
{
    QFont scaled = widget->font();
    if (scaled.pointSizeF() > 0)
        scaled.setPointSizeF(scaled.pointSizeF() * factor);
    else
        scaled.setPixelSize(std::max(1, static_cast<int>(scaled.pixelSize() * factor + 0.5)));
    scaled.setWeight(weight);
    return scaled;
}

QLabel* headline(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font(parent, 1.0, QFont::Bold));
    return label;
}

void makeSecondary(QWidget* widget)
{
    QPalette palette = widget->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text}) {
        QColor color = palette.color(QPalette::Active, role);
        color.setAlphaF(0.6f);
        palette.setColor(role, color);
    }
    widget->setPalette(palette);
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
    const QString themeName = QString::fromLatin1(name);
    if (QIcon::hasThemeIcon(themeName)) return QIcon::fromTheme(themeName);
    return QApplication::style()->standardIcon(fallback);
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
    auto* picture = new QLabel(this);
    picture->setPixmap(icon.pixmap(48, 48));
    picture->setAlignment(Qt::AlignHCenter);
    DetailParts::makeSecondary(picture);
    title_ = new QLabel(title, this);
    title_->setFont(DetailParts::font(this, 1.35, QFont::Bold));
    title_->setAlignment(Qt::AlignHCenter);
    description_ = new QLabel(description, this);
    description_->setAlignment(Qt::AlignHCenter);
    description_->setWordWrap(true);
    DetailParts::makeSecondary(description_);
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
