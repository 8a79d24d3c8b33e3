#include "Lyricade/Views/DetailParts.h"

#include "Lyricade/Views/DesktopAccessible.h"

#include "Lyricade/Views/Decoration.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/TitleLines.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOption>
#include <QToolTip>
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
    words->setTextFormat(Qt::PlainText); // warnings quote the song's own words
    words->setWordWrap(true);
    words->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(picture, 0, Qt::AlignTop);
    layout->addWidget(words, 1);
    return row;
}

} // namespace Lyricade::DetailParts

namespace Lyricade {

LineList::LineList(int visibleLines, QWidget* parent) : QScrollArea(parent), visibleLines_(visibleLines)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    lines_ = new QWidget(this);
    lines_->setAutoFillBackground(false);
    column_ = new QVBoxLayout(lines_);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(4);
    setWidget(lines_);
    viewport()->setAutoFillBackground(false);
    fitHeight();
}

void LineList::setLines(const QIcon& icon, const QStringList& texts, const QFont& font, const QColor& ink)
{
    while (auto* item = column_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const QString& text : texts) {
        auto* line = DetailParts::iconLabel(icon, text, lines_);
        line->setFont(font);
        if (ink.isValid()) {
            QPalette palette = line->palette();
            palette.setColor(QPalette::WindowText, ink);
            line->setPalette(palette);
        }
        column_->addWidget(line);
    }
    lineHeight_ = QFontMetrics(font).lineSpacing();
    verticalScrollBar()->setValue(0);
    fitHeight();
}

QStringList LineList::texts() const
{
    QStringList out;
    for (int i = 0; i < column_->count(); ++i)
        if (auto* text = column_->itemAt(i)->widget()->findChild<QLabel*>(QStringLiteral("text"))) out << text->text();
    return out;
}

int LineList::count() const { return column_->count(); }

void LineList::setHeightLimit(int pixels)
{
    if (pixels == heightLimit_) return;
    heightLimit_ = pixels;
    fitHeight();
}

void LineList::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    // Wrapped lines take more height in a narrower column.
    fitHeight();
}

void LineList::fitHeight()
{
    const int width = std::max(1, viewport()->width());
    const int whole = column_->count() == 0 ? 0 : lines_->heightForWidth(width);
    int most = visibleLines_ * lineHeight_ + (visibleLines_ - 1) * column_->spacing();
    if (heightLimit_ >= 0) most = std::min(most, std::max(lineHeight_, heightLimit_));
    const int height = std::min(whole, most);
    if (this->height() != height || minimumHeight() != height) setFixedHeight(height);
}

ElidingLabel::ElidingLabel(const QString& text, QWidget* parent, int lines) : QLabel(text, parent), lines_(lines)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QStringList ElidingLabel::shownLines() const
{
    if (lines_ == 1) return {fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width())};
    return titleLines(text(), font(), contentsRect().width(), lines_);
}

QSize ElidingLabel::sizeHint() const
{
    const QSize one = QLabel::sizeHint();
    if (lines_ == 1) return one;
    return {one.width(), one.height() + (std::max(linesShown_, 1) - 1) * fontMetrics().lineSpacing()};
}

QSize ElidingLabel::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

QString ElidingLabel::shownText() const
{
    return shownLines().join(QLatin1Char(' '));
}

bool ElidingLabel::event(QEvent* event)
{
    // Shortened, its whole text is its tooltip; screen readers have it whole already.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty() && shownText() != text()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(event);
}

void ElidingLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    if (lines_ == 1) return;
    const int shown = static_cast<int>(shownLines().size());
    if (shown == linesShown_) return;
    linesShown_ = shown;
    updateGeometry();
    emit linesChanged();
}

void ElidingLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, foregroundRole()));
    const QRect area = contentsRect();
    const QStringList lines = shownLines();
    const int tall = static_cast<int>(lines.size()) * fontMetrics().lineSpacing();
    const int top = alignment() & Qt::AlignTop      ? area.top()
                    : alignment() & Qt::AlignBottom ? area.bottom() + 1 - tall
                                                    : area.top() + (area.height() - tall) / 2;
    drawLines(painter, QRect(area.left(), top, area.width(), tall), lines, font(),
              QStyle::visualAlignment(layoutDirection(), alignment()) & Qt::AlignHorizontal_Mask);
}

ElidingField::ElidingField(QWidget* parent) : QLineEdit(parent) {}

QRect ElidingField::textArea() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    // QLineEdit keeps two pixels beside its text.
    return style()->subElementRect(QStyle::SE_LineEditContents, &option, this)
        .marginsRemoved(textMargins())
        .adjusted(2, 0, -2, 0);
}

QString ElidingField::shownText() const
{
    if (hasFocus()) return text();
    return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, textArea().width()));
}

void ElidingField::paintEvent(QPaintEvent* event)
{
    const QString shown = shownText();
    if (shown == text() || echoMode() != Normal) return QLineEdit::paintEvent(event);
    QPainter painter(this);
    QStyleOptionFrame option;
    initStyleOption(&option);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(textArea(), static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())), shown);
}

void ElidingField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    update(); // whole while it is edited
}

void ElidingField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    update();
}

NoContentView::NoContentView(const QIcon& icon, const QString& title, const QString& description, QWidget* parent)
    : QWidget(parent), wording_(title, description)
{
    auto* column = new QVBoxLayout(this);
    column->setSpacing(8);
    column->addStretch(1);
    auto* picture = new Decoration(this);
    picture->setPixmap(icon.pixmap(48, 48));
    picture->setAlignment(Qt::AlignHCenter);
    FontRole::makeSecondary(picture);
    title_ = new QLabel(this);
    title_->setFont(FontRole::font(this, FontRole::title2, QFont::Bold));
    title_->setAlignment(Qt::AlignHCenter);
    title_->setWordWrap(true); // a narrow preview column wraps its words rather than cutting them
    description_ = new QLabel(this);
    description_->setAlignment(Qt::AlignHCenter);
    description_->setWordWrap(true);
    FontRole::makeSecondary(description_);
    column->addWidget(picture);
    column->addWidget(title_);
    column->addWidget(description_);
    column->addStretch(1);
    // Worded once shown: one made behind another view may never show.
    whenShown(*this, [this] {
        title_->setText(wording_.first);
        description_->setText(wording_.second);
        setAccessibleName(wording_.first);
        setAccessibleDescription(wording_.second);
    });
}

QString NoContentView::title() const { return wording_.first; }
QString NoContentView::description() const { return wording_.second; }

} // namespace Lyricade
