#pragma once

// The songbook window's first column: the library, every songbook and every
// set list, and a bar to make new songs and books, import songs and read
// about song licensing. The selected row is the model's `selection`.

#include <QWidget>

#include <memory>

namespace TunequillKit {
struct Uuid;
}

class QMenu;
class QToolButton;
class QTreeWidgetItem;

namespace Lyricade {

class AppModel;
class SidebarItem;
class SidebarList;

class SidebarView : public QWidget {
    Q_OBJECT

public:
    explicit SidebarView(AppModel& model, QWidget* parent = nullptr);

    SidebarList* list() const { return list_; }
    QToolButton* addButton() const { return add_; }
    QMenu* addMenu() const { return addMenu_; }
    QToolButton* licensingButton() const { return licensing_; }

    // The row standing for `item`; null when there is none.
    QTreeWidgetItem* rowFor(const SidebarItem& item) const;
    // A book row's context menu: Duplicate, then Delete “name”.
    std::unique_ptr<QMenu> bookMenu(const TunequillKit::Uuid& book);

private:
    void buildBar();
    void rebuild();
    // Shows new names and counts in the rows standing, where they are the
    // same books in the same order; false otherwise.
    bool refreshRows();
    void showSelection();
    void selectedByUser();
    void openMenu(const QPoint& pos);

    AppModel& model_;
    SidebarList* list_;
    QToolButton* add_ = nullptr;
    QMenu* addMenu_ = nullptr;
    QToolButton* licensing_ = nullptr;
    bool rebuilding_ = false;
};

} // namespace Lyricade
