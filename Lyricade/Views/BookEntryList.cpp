#include "Lyricade/Views/BookEntryList.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/BookEntryRow.h"
#include "Lyricade/Views/EntryAccessible.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/ListFocus.h"
#include "Lyricade/Views/MenuKey.h"
#include "Lyricade/Views/SongDrops.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QResizeEvent>

namespace Lyricade {

namespace {
// Rows dragged inside the list carry nothing: the selection says what moves.
const QString rowsType = QStringLiteral("application/x-lyricade-entry-rows");
} // namespace

BookEntryList::BookEntryList(AppModel& model, QWidget* parent) : QListWidget(parent), model_(model)
{
    installEntryAccessibility();
    installMenuKey();
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(true);
    setFrameShape(QFrame::NoFrame);
    setAccessibleName(QStringLiteral("Songs in this book"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FontRole::makeSelectionReadable(this);
}

void BookEntryList::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QListWidget::selectionChanged(selected, deselected);
    // The rows are widgets over the list: they draw their texts themselves.
    for (int i = 0; i < count(); ++i)
        if (auto* row = qobject_cast<EntryRow*>(itemWidget(item(i)))) row->setSelected(item(i)->isSelected());
}

std::set<TunequillKit::Uuid> BookEntryList::selectedEntries() const
{
    std::set<TunequillKit::Uuid> ids;
    for (const QListWidgetItem* item : selectedItems())
        if (auto id = TunequillKit::Uuid::fromString(item->data(entryRole).toString().toStdString())) ids.insert(*id);
    return ids;
}

int BookEntryList::destination(const QPoint& pos) const
{
    const QModelIndex at = indexAt(pos);
    if (!at.isValid()) return count();
    const QRect rect = visualRect(at);
    return pos.y() > rect.center().y() ? at.row() + 1 : at.row();
}

void BookEntryList::moveSelectedTo(int to)
{
    std::set<std::size_t> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.insert(static_cast<std::size_t>(index.row()));
    if (rows.empty()) return;
    model_.moveEntries(rows, static_cast<std::size_t>(std::max(0, to)));
}

QStringList BookEntryList::mimeTypes() const { return {rowsType}; }

void BookEntryList::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Delete)) {
        model_.removeEntries(model_.selectedEntryIDs());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void BookEntryList::focusInEvent(QFocusEvent* event)
{
    QListWidget::focusInEvent(event);
    selectFocusedRow(*this, *event);
}

void BookEntryList::contextMenuEvent(QContextMenuEvent* event)
{
    QListWidgetItem* item = event->reason() == QContextMenuEvent::Keyboard ? currentItem() : itemAt(event->pos());
    auto* row = item ? qobject_cast<EntryRow*>(itemWidget(item)) : nullptr;
    if (!row) return QListWidget::contextMenuEvent(event);
    const auto menu = row->contextMenu();
    openOnCurrentItem(*menu);
    menu->exec(viewport()->mapToGlobal(visualItemRect(item).center()));
}

void BookEntryList::startDrag(Qt::DropActions)
{
    if (selectedItems().isEmpty()) return;
    auto* data = new QMimeData;
    data->setData(rowsType, {});
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // The model reorders; the list never takes rows out itself.
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

bool BookEntryList::takes(const QDropEvent* event) const
{
    const QMimeData* data = event->mimeData();
    if (data->hasFormat(rowsType)) return event->source() == this;
    return mayDropFiles(*data) || mayDropSongs(*data);
}

void BookEntryList::resizeEvent(QResizeEvent* event)
{
    QListWidget::resizeEvent(event);
    // Rows span the list: they follow its width as it gives way in a small window.
    if (event->size().width() != event->oldSize().width()) scheduleDelayedItemsLayout();
}

void BookEntryList::dragEnterEvent(QDragEnterEvent* event)
{
    if (takes(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void BookEntryList::dragMoveEvent(QDragMoveEvent* event)
{
    // The base class draws the drop indicator between rows for a move.
    if (event->mimeData()->hasFormat(rowsType)) QListWidget::dragMoveEvent(event);
    if (takes(event)) {
        event->setDropAction(event->mimeData()->hasFormat(rowsType) ? Qt::MoveAction : Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void BookEntryList::dropEvent(QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    bool accepted = false;
    if (data->hasFormat(rowsType) && event->source() == this) {
        moveSelectedTo(destination(event->position().toPoint()));
        accepted = true;
    } else if (mayDropFiles(*data)) {
        // Imported songs join the selected book, which is this one.
        accepted = dropFiles(model_, *data);
    } else if (auto book = model_.selectedBook(); book && mayDropSongs(*data)) {
        accepted = dropSongs(model_, *data, book->id);
    }
    setState(NoState);
    viewport()->update();
    event->setDropAction(data->hasFormat(rowsType) ? Qt::MoveAction : Qt::CopyAction);
    event->setAccepted(accepted);
}

} // namespace Lyricade
