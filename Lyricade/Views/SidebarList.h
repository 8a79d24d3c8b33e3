#pragma once

// The sidebar's list: section headers, the All Songs row and one row per
// songbook or set list, each with its count badge. All Songs takes dropped
// song files; book rows take dropped song ids.

#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "Lyricade/Selection.h"
#include "Lyricade/Views/TitleLines.h"

#include <optional>

namespace Lyricade {

class AppModel;

class SidebarList : public QTreeWidget {
    Q_OBJECT

public:
    // Item data: what a row selects (absent on section headers) and its badge.
    static constexpr int itemRole = Qt::UserRole + 1;
    static constexpr int badgeRole = Qt::UserRole + 2;

    explicit SidebarList(AppModel& model, QWidget* parent = nullptr);

    // What the row selects; none for a section header.
    static std::optional<SidebarItem> itemOf(const QTreeWidgetItem* row);

protected:
    // The arrow keys step from row to row over the section headers.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    // Reached from the keyboard with nothing selected, the focused row (not
    // a header) is selected, as desktop lists do.
    void focusInEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The row under `pos` accepts what is dragged.
    bool accepts(const QPoint& pos, const QMimeData* data) const;

    AppModel& model_;
};

// Draws section headers as small dimmed captions and rows with a count
// badge, their names wrapped clear of it.
class SidebarDelegate : public TitleDelegate {
public:
    explicit SidebarDelegate(QAbstractItemView* view);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    bool titled(const QModelIndex& index) const override;
    int trailingRoom(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace Lyricade
