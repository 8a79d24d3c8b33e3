#include "Lyricade/Views/SongListRows.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/ListFocus.h"
#include "Lyricade/Views/SongDrops.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFocusEvent>
#include <QMimeData>
#include <QResizeEvent>
#include <QPainter>

namespace Lyricade {

SongListWidget::SongListWidget(AppModel& model, QWidget* parent) : QListWidget(parent), model_(model)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setItemDelegate(new SongRowDelegate(this));
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FontRole::makeSelectionReadable(this);
    setFrameShape(QFrame::NoFrame);
    setAccessibleName(QStringLiteral("Songs"));
}

QMimeData* SongListWidget::mimeData(const QList<QListWidgetItem*>& items) const
{
    if (items.isEmpty()) return nullptr;
    auto id = TunequillKit::Uuid::fromString(items.front()->data(idRole).toString().toStdString());
    return id ? songDragData(*id) : nullptr;
}

void SongListWidget::startDrag(Qt::DropActions)
{
    // A copy, always: a song dragged into a book stays in the library list.
    QMimeData* data = mimeData(selectedItems());
    if (!data) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void SongListWidget::resizeEvent(QResizeEvent* event)
{
    QListWidget::resizeEvent(event);
    // Rows span the list: they follow its width as it gives way in a small window.
    if (event->size().width() != event->oldSize().width()) scheduleDelayedItemsLayout();
}

void SongListWidget::focusInEvent(QFocusEvent* event)
{
    QListWidget::focusInEvent(event);
    selectFocusedRow(*this, *event);
}

void SongListWidget::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void SongListWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (mayDropFiles(*event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void SongListWidget::dropEvent(QDropEvent* event)
{
    const bool accepted = mayDropFiles(*event->mimeData()) && dropFiles(model_, *event->mimeData());
    event->setDropAction(Qt::CopyAction);
    event->setAccepted(accepted);
}

void SongRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* view = qobject_cast<const QWidget*>(parent());
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QStyle* style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, view);

    const bool selected = option.state & QStyle::State_Selected;
    const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor dim = selected ? text : FontRole::secondary(view);
    const QRect area = option.rect.adjusted(10, 4, -10, -4);
    const QFont headline = FontRole::font(view, FontRole::headline, QFont::Bold);
    const QFont callout = FontRole::font(view, FontRole::callout);
    const QFont keyFont = FontRole::font(view, FontRole::callout, QFont::DemiBold);
    const int titleHeight = QFontMetrics(headline).height();

    painter->save();
    const QString key = index.data(SongListWidget::keyRole).toString();
    int keyWidth = 0;
    if (!key.isEmpty()) {
        keyWidth = QFontMetrics(keyFont).horizontalAdvance(key) + 8;
        painter->setFont(keyFont);
        painter->setPen(selected ? text : FontRole::accent(view));
        painter->drawText(QRect(area.right() - keyWidth, area.top(), keyWidth, titleHeight),
                          Qt::AlignRight | Qt::AlignVCenter, key);
    }
    painter->setFont(headline);
    painter->setPen(text);
    const QRect titleRect(area.left(), area.top(), area.width() - keyWidth, titleHeight);
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(headline).elidedText(index.data().toString(), Qt::ElideMiddle, titleRect.width()));
    painter->setFont(callout);
    painter->setPen(dim);
    const QRect detailRect(area.left(), area.top() + titleHeight + 2, area.width(), QFontMetrics(callout).height());
    painter->drawText(detailRect, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(callout).elidedText(index.data(SongListWidget::detailRole).toString(),
                                                       Qt::ElideMiddle, detailRect.width()));
    painter->restore();
}

QSize SongRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    const auto* view = qobject_cast<const QWidget*>(parent());
    const int height = QFontMetrics(FontRole::font(view, FontRole::headline, QFont::Bold)).height() + 2 +
                       QFontMetrics(FontRole::font(view, FontRole::callout)).height() + 8 + 4;
    // No width of its own: a row spans the list, and its texts lose their
    // middle to "…" where it is narrow, keeping the ends that tell names apart.
    return {0, height};
}

} // namespace Lyricade
