#include "Lyricade/Views/SongListRows.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/ListFocus.h"
#include "Lyricade/Views/SongDrops.h"
#include "Lyricade/Views/TitleLines.h"

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
    // Rows span the list and their titles wrap to it: they follow its width
    // as it gives way in a small window.
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

namespace {

// Titles and the detail under them (artist, first line) wrap onto a second
// line; what is left past it is cut at its end, never in the middle.
constexpr int mostTitleLines = 2;
constexpr int mostDetailLines = 2;
constexpr int sideMargin = 10;

QFont titleFont(const QWidget* view) { return FontRole::font(view, FontRole::headline, QFont::Bold); }
QFont keyFont(const QWidget* view) { return FontRole::font(view, FontRole::callout, QFont::DemiBold); }

// The key's room at the row's right end; none without a key.
int keyWidthOf(const QWidget* view, const QModelIndex& index)
{
    const QString key = index.data(SongListWidget::keyRole).toString();
    return key.isEmpty() ? 0 : QFontMetrics(keyFont(view)).horizontalAdvance(key) + 8;
}

} // namespace

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
    const QRect area = option.rect.adjusted(sideMargin, 4, -sideMargin, -4);
    const QFont headline = titleFont(view);
    const QFont callout = FontRole::font(view, FontRole::callout);
    const int lineHeight = QFontMetrics(headline).height();

    painter->save();
    const QString key = index.data(SongListWidget::keyRole).toString();
    const int keyWidth = keyWidthOf(view, index);
    if (!key.isEmpty()) {
        painter->setFont(keyFont(view));
        painter->setPen(selected ? text : FontRole::accent(view));
        painter->drawText(QRect(area.right() - keyWidth, area.top(), keyWidth, lineHeight),
                          Qt::AlignRight | Qt::AlignVCenter, key);
    }
    painter->setPen(text);
    const QString title = index.data().toString();
    const int titleWidth = area.width() - keyWidth;
    const int tall = titleHeight(title, headline, titleWidth, mostTitleLines);
    drawTitle(*painter, QRect(area.left(), area.top(), titleWidth, tall), title, headline, mostTitleLines);
    painter->setFont(callout);
    painter->setPen(dim);
    const QString detail = index.data(SongListWidget::detailRole).toString();
    drawTitle(*painter,
              QRect(area.left(), area.top() + tall + 2, area.width(),
                    titleHeight(detail, callout, area.width(), mostDetailLines)),
              detail, callout, mostDetailLines);
    painter->restore();
}

QSize SongRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    const auto* list = qobject_cast<const QAbstractItemView*>(parent());
    // No width of its own: a row spans the list, and its title wraps to it.
    const int width = (list ? list->viewport()->width() : 0) - 2 * sideMargin;
    const int titleWidth = width - keyWidthOf(list, index);
    const QFont callout = FontRole::font(list, FontRole::callout);
    const int detail = titleHeight(index.data(SongListWidget::detailRole).toString(), callout, width, mostDetailLines);
    const int height = titleHeight(index.data().toString(), titleFont(list), titleWidth, mostTitleLines) + 2 +
                       std::max(detail, QFontMetrics(callout).height()) + 8 + 4;
    return {0, height};
}

} // namespace Lyricade
