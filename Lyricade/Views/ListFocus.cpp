#include "Lyricade/Views/ListFocus.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QItemSelectionModel>

namespace Lyricade {

namespace {

bool byKeyboard(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

bool selectable(const QModelIndex& index)
{
    const Qt::ItemFlags flags = index.flags();
    return index.isValid() && flags.testFlag(Qt::ItemIsSelectable) && flags.testFlag(Qt::ItemIsEnabled);
}

// Rows in the order they show, a tree's children under their parent.
QModelIndex firstSelectable(const QAbstractItemModel& model, const QModelIndex& parent = {})
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (selectable(index)) return index;
        if (const QModelIndex inner = firstSelectable(model, index); inner.isValid()) return inner;
    }
    return {};
}

} // namespace

void selectFocusedRow(QAbstractItemView& list, const QFocusEvent& event)
{
    QItemSelectionModel* selection = list.selectionModel();
    if (!byKeyboard(event.reason()) || !selection || !list.model() || selection->hasSelection()) return;
    QModelIndex row = list.currentIndex();
    if (!selectable(row)) row = firstSelectable(*list.model());
    if (!row.isValid()) return;
    selection->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace Lyricade
