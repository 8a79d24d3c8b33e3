#pragma once

// The song list's rows: a list that drags a song as its id text and takes
// dropped song files, and the delegate that draws a row as its title, key
// and one detail line.

#include <QListWidget>
#include <QStyledItemDelegate>

namespace Lyricade {

class AppModel;

class SongListWidget : public QListWidget {
    Q_OBJECT

public:
    // Item data besides the title (Qt::DisplayRole).
    static constexpr int idRole = Qt::UserRole + 1;     // the song's id, upper-case text
    static constexpr int keyRole = Qt::UserRole + 2;    // the key with ♯/♭, or empty
    static constexpr int detailRole = Qt::UserRole + 3; // the one detail line

    explicit SongListWidget(AppModel& model, QWidget* parent = nullptr);

    // What dragging `items` carries: the first song's id as text.
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void resizeEvent(QResizeEvent* event) override;
    // Reached from the keyboard with nothing selected, the focused row is
    // selected, and so opened, as desktop lists do.
    void focusInEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    AppModel& model_;
};

class SongRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace Lyricade
