#include "Lyricade/Views/SidebarList.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/ListFocus.h"
#include "Lyricade/Views/SongDrops.h"

#include <QApplication>
#include <QDropEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace Lyricade {

SidebarList::SidebarList(AppModel& model, QWidget* parent) : QTreeWidget(parent), model_(model)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(8);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    // Long names wrap, in a column as wide as the list: nothing scrolls across.
    setItemDelegate(new SidebarDelegate(this));
    FontRole::makeSelectionReadable(this);
    setFrameShape(QFrame::NoFrame);
    setAccessibleName(QStringLiteral("Sidebar"));
}

std::optional<SidebarItem> SidebarList::itemOf(const QTreeWidgetItem* row)
{
    if (!row) return std::nullopt;
    const QVariant value = row->data(0, itemRole);
    if (!value.isValid()) return std::nullopt;
    const QString text = value.toString();
    if (text.isEmpty()) return SidebarItem::allSongs();
    if (auto id = TunequillKit::Uuid::fromString(text.toStdString())) return SidebarItem::book(*id);
    return std::nullopt;
}

QModelIndex SidebarList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex start = currentIndex();
    QModelIndex next = QTreeWidget::moveCursor(action, modifiers);
    // A header is passed over: upwards for the upward keys and End, downwards otherwise.
    const bool up = action == MoveUp || action == MovePrevious || action == MovePageUp || action == MoveEnd;
    while (next.isValid() && !next.data(itemRole).isValid()) next = up ? indexAbove(next) : indexBelow(next);
    return next.isValid() ? next : start;
}

void SidebarList::focusInEvent(QFocusEvent* event)
{
    QTreeWidget::focusInEvent(event);
    selectFocusedRow(*this, *event);
}

bool SidebarList::accepts(const QPoint& pos, const QMimeData* data) const
{
    const auto item = itemOf(itemAt(pos));
    if (!item || !data) return false;
    return item->isAllSongs() ? mayDropFiles(*data) : mayDropSongs(*data);
}

void SidebarList::dragEnterEvent(QDragEnterEvent* event)
{
    // Entering may happen over a header; whether a row takes it is asked while moving.
    if (mayDropFiles(*event->mimeData()) || mayDropSongs(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void SidebarList::dragMoveEvent(QDragMoveEvent* event)
{
    if (accepts(event->position().toPoint(), event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void SidebarList::dropEvent(QDropEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const auto item = itemOf(itemAt(pos));
    bool accepted = false;
    if (item && accepts(pos, event->mimeData())) {
        if (item->isAllSongs()) {
            // The library is shown before anything is read, even when nothing comes in.
            model_.setSelection(SidebarItem::allSongs());
            accepted = dropFiles(model_, *event->mimeData());
        } else {
            accepted = dropSongs(model_, *event->mimeData(), *item->bookID());
        }
    }
    event->setDropAction(Qt::CopyAction);
    event->setAccepted(accepted);
}

namespace {

// Names of up to three lines (a book is told by its name, numbers and all);
// a longer one is cut at its end and shown whole in its tooltip.
constexpr int nameLines = 3;

int badgeWidthOf(const QStyleOptionViewItem& option, int badge)
{
    return option.fontMetrics.horizontalAdvance(QString::number(badge)) + 12;
}

} // namespace

SidebarDelegate::SidebarDelegate(QAbstractItemView* view) : TitleDelegate(view, nameLines) {}

bool SidebarDelegate::titled(const QModelIndex& index) const
{
    return index.data(SidebarList::itemRole).isValid(); // a section's heading is not
}

int SidebarDelegate::trailingRoom(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int badge = index.data(SidebarList::badgeRole).toInt();
    return badge > 0 ? badgeWidthOf(option, badge) + 8 : 0;
}

void SidebarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* view = qobject_cast<const QWidget*>(parent());
    if (!index.data(SidebarList::itemRole).isValid()) {
        painter->save();
        painter->setFont(FontRole::font(view, FontRole::caption, QFont::Bold));
        painter->setPen(FontRole::secondary(view));
        painter->drawText(option.rect.adjusted(6, 0, -6, -3), Qt::AlignLeft | Qt::AlignBottom, index.data().toString());
        painter->restore();
        return;
    }
    const int badge = index.data(SidebarList::badgeRole).toInt();
    const QStyle* style = view ? view->style() : QApplication::style();
    paintRow(painter, option, index);
    const bool selected = option.state & QStyle::State_Selected;
    if (badge > 0) {
        // The badge is drawn over the row's right end, inside the highlight.
        const QString badgeText = QString::number(badge);
        const int badgeWidth = badgeWidthOf(option, badge);
        const QRect pill(option.rect.right() - badgeWidth - 6,
                         option.rect.center().y() - option.fontMetrics.height() / 2, badgeWidth,
                         option.fontMetrics.height());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        // On the selection a shade of it, away from the selection's text, which it keeps.
        const QColor figure = selected ? option.palette.color(QPalette::HighlightedText) : FontRole::secondary(view);
        QColor fill = FontRole::secondary(view);
        fill.setAlphaF(0.22);
        if (selected) fill = FontRole::shadeUnder(figure, option.palette.color(QPalette::Highlight), 150, 5.0);
        painter->setBrush(fill);
        painter->drawRoundedRect(pill, pill.height() / 2.0, pill.height() / 2.0);
        painter->setPen(figure);
        painter->drawText(pill, Qt::AlignCenter, badgeText);
        painter->restore();
    }
    // The ring is drawn last, over the whole row: the row's own drawing would cover it.
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = option.rect;
        focus.backgroundColor = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, view);
    }
}

QSize SidebarDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool header = !index.data(SidebarList::itemRole).isValid();
    QSize size = header ? QStyledItemDelegate::sizeHint(option, index) : TitleDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), option.fontMetrics.height()) + (header ? 14 : 8));
    return size;
}

} // namespace Lyricade
