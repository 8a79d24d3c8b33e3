#include "Lyricade/Views/EmptyStateOverlay.h"

#include "Lyricade/Views/Decoration.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/FontRoles.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Lyricade {

EmptyStateOverlay::EmptyStateOverlay(QAbstractScrollArea* over) : QWidget(over->viewport()), list_(over)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(8);
    symbol_ = new Decoration(this);
    symbol_->setAlignment(Qt::AlignCenter);
    title_ = new QLabel(this);
    title_->setTextFormat(Qt::PlainText); // may quote the search
    title_->setAlignment(Qt::AlignCenter);
    title_->setWordWrap(true);
    title_->setFont(FontRole::font(this, FontRole::title2, QFont::Bold));
    description_ = new QLabel(this);
    description_->setTextFormat(Qt::PlainText);
    description_->setAlignment(Qt::AlignCenter);
    description_->setWordWrap(true);
    FontRole::makeSecondary(description_);
    column->addWidget(symbol_);
    column->addWidget(title_);
    column->addWidget(description_);
    over->viewport()->installEventFilter(this);
    hide();
}

void EmptyStateOverlay::setContent(Symbol symbol, const QString& title, const QString& description)
{
    symbol_->setPixmap(symbolIcon(symbol, description_, 40).pixmap(40, 40));
    wording_ = {title, description};
    whenShown(*this, [this, title, description] {
        // Qt announces every text set, the same words too.
        if (title_->text() != title) title_->setText(title);
        if (description_->text() != description) description_->setText(description);
        setSpokenName(*this, title);
        setSpokenDescription(*this, description);
        place();
        describeList();
    });
}

void EmptyStateOverlay::describeList()
{
    setSpokenDescription(*list_, isVisibleTo(list_) ? wording_.first + QStringLiteral(". ") + wording_.second
                                                    : QString());
}

bool EmptyStateOverlay::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) describeList();
    return handled;
}

QPushButton* EmptyStateOverlay::addButton(const QString& text)
{
    if (!button_) {
        button_ = new QPushButton(text, this);
        auto* row = new QHBoxLayout;
        row->addStretch(1);
        row->addWidget(button_);
        row->addStretch(1);
        static_cast<QVBoxLayout*>(layout())->addSpacing(6);
        static_cast<QVBoxLayout*>(layout())->addLayout(row);
    }
    button_->setText(text);
    place();
    return button_;
}

QString EmptyStateOverlay::title() const { return wording_.first; }

QString EmptyStateOverlay::description() const { return wording_.second; }

bool EmptyStateOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_->viewport() && event->type() == QEvent::Resize) place();
    return QWidget::eventFilter(watched, event);
}

void EmptyStateOverlay::showEvent(QShowEvent* event)
{
    place();
    QWidget::showEvent(event);
}

void EmptyStateOverlay::place()
{
    const QRect area = list_->viewport()->rect();
    const int width = std::min(area.width(), 380);
    const auto needed = [&] {
        const int forWidth = layout()->heightForWidth(width);
        return forWidth > 0 ? forWidth : sizeHint().height();
    };
    // Short of room (large fonts, a low window), the symbol goes before any
    // words do; words that still don't fit start at the top, not above it,
    // and the whole text is a tooltip.
    symbol_->setVisible(true);
    if (needed() > area.height()) symbol_->setVisible(false);
    const int full = needed();
    const int height = std::min(area.height(), full);
    const int top = full > area.height() ? area.top() : area.center().y() - height / 2;
    setToolTip(full > area.height() ? wording_.first + QStringLiteral("\n") + wording_.second : QString());
    setGeometry(QRect(area.center().x() - width / 2, top, width, height));
}

} // namespace Lyricade
