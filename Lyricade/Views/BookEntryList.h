#pragma once

// The book view's list of entries: one row per entry (so a song may stand
// twice), several selected at once, reordered by dragging, Delete removing
// the selected entries, and drops of song ids and song files appended to the
// book.

#include <QListWidget>

#include <set>
#include <vector>

#include "TunequillKit/Library/Identity.h"

namespace Lyricade {

class AppModel;

class BookEntryList : public QListWidget {
    Q_OBJECT

public:
    static constexpr int entryRole = Qt::UserRole + 1; // the entry's id, as text

    explicit BookEntryList(AppModel& model, QWidget* parent = nullptr);

    // The entry ids of the selected rows.
    std::set<TunequillKit::Uuid> selectedEntries() const;
    // Where rows dropped at `pos` (of the viewport) go: the place before which they land.
    int destination(const QPoint& pos) const;
    // Moves the selected rows before the row at `to` (the end when it is the count).
    void moveSelectedTo(int to);

protected:
    // The rows' own drag type, so the list draws where a moved row will land.
    QStringList mimeTypes() const override;
    void keyPressEvent(QKeyEvent* event) override;
    // Reached by Tab with nothing selected, the row shown focused is
    // selected too, as desktop lists do, so the commands act on it.
    void focusInEvent(QFocusEvent* event) override;
    // From the keyboard (Menu, Shift+F10): the current row's own menu.
    void contextMenuEvent(QContextMenuEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool takes(const QDropEvent* event) const;

    AppModel& model_;
};

} // namespace Lyricade
