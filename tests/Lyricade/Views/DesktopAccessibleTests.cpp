// What a screen reader finds of the menus that pop up on their own: a book
// row's Key menu, its context menu and a text field's own menu stand under
// the application's accessible root while shown, with their items.

#include "ViewFixture.h"

#include "Lyricade/Views/BookEntryList.h"
#include "Lyricade/Views/BookEntryRow.h"
#include "Lyricade/Views/BookView.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/SongWording.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace LyricadeTest {
namespace {

// A shown menu as the accessible tree holds it, and as the menu itself is.
struct ShownMenu {
    QStringList read; // items under the root's popup menus: "-" for a separator, else "role name"
    QStringList items; // the menu's own items
    QObject* parent = nullptr; // the accessible parent of the menu found under the root
};

class DesktopAccessibleTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        installDesktopAccessible();
        songs = {storedSong("Grace", "{key: G}\n[G]Words\n"), storedSong("Plain", "Words\n")};
        Songbook book(Uuid::random(), "Camp", BookKind::book, {entryFor(songs[0]), entryFor(songs[1])});
        make(false, libraryOf(songs, {book}));
        model->setSelection(SidebarItem::book(book.id));
        view = std::make_unique<BookView>(*model);
        view->show();
        view->activateWindow();
        ASSERT_TRUE(HangGuard::windowActive(view.get()));
    }

    // Runs `open`, which pops a menu up, and reads the tree while the menu is shown.
    static ShownMenu readWhileShown(const std::function<void()>& open)
    {
        ShownMenu shown;
        bool done = false;
        QTimer::singleShot(0, qApp, [&] {
            done = true;
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            shown.items = texts(*menu);
            QAccessibleInterface* root = QAccessible::queryAccessibleInterface(qApp);
            for (int i = 0; i < root->childCount(); ++i) {
                QAccessibleInterface* child = root->child(i);
                if (!child || child->role() != QAccessible::PopupMenu) continue;
                EXPECT_EQ(child->object(), menu);
                EXPECT_EQ(root->indexOfChild(child), i);
                shown.parent = child->parent()->object();
                for (int j = 0; j < child->childCount(); ++j) {
                    QAccessibleInterface* item = child->child(j);
                    shown.read << (item->role() == QAccessible::Separator
                                       ? QStringLiteral("-")
                                       : QStringLiteral("%1 %2").arg(item->role()).arg(item->text(QAccessible::Name)));
                }
            }
            menu->close();
        });
        open();
        EXPECT_TRUE(HangGuard::waitFor([&] { return done; })) << "a menu that does not wait is read too";
        return shown;
    }

    static QStringList asMenuItems(const QStringList& texts)
    {
        QStringList out;
        for (const QString& text : texts)
            out << (text == "-" ? text : QStringLiteral("%1 %2").arg(QAccessible::MenuItem).arg(text));
        return out;
    }

    std::vector<StoredSong> songs;
    std::unique_ptr<BookView> view;
};

TEST_F(DesktopAccessibleTest, AButtonsMenuAndAContextMenuAreReadWithTheirItemsWhileShown)
{
    QToolButton* key = view->row(0)->keyButton();
    ASSERT_NE(key, nullptr);
    const ShownMenu keyMenu = readWhileShown([&] { key->showMenu(); });
    ASSERT_EQ(keyMenu.items.size(), 12);
    QStringList spoken; // the keys in words: "E flat (-4)" for "E♭ (-4)"
    for (const QString& item : keyMenu.items) spoken << spokenKeys(item);
    EXPECT_EQ(keyMenu.read, asMenuItems(spoken));
    EXPECT_TRUE(keyMenu.read.filter(QRegularExpression(QStringLiteral("[♯♭]"))).isEmpty());
    EXPECT_EQ(keyMenu.parent, qApp) << "the way down and the way up agree";

    BookEntryList* list = view->list();
    list->setFocus();
    list->setCurrentRow(1);
    const ShownMenu context = readWhileShown([&] { QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier); });
    EXPECT_EQ(context.items, (QStringList{"Edit Song", "Remove from Book"}));
    EXPECT_EQ(context.read, asMenuItems(context.items));
    EXPECT_EQ(context.parent, qApp);

    QLineEdit* field = view->nameField();
    field->setFocus();
    const ShownMenu fieldMenu = readWhileShown([&] { QTest::keyClick(field, Qt::Key_F10, Qt::ShiftModifier); });
    ASSERT_FALSE(fieldMenu.items.isEmpty());
    EXPECT_TRUE(fieldMenu.items.last().startsWith(QStringLiteral("Select All")));
    EXPECT_EQ(fieldMenu.read.size(), fieldMenu.items.size());
    EXPECT_EQ(fieldMenu.parent, qApp);

    // Closed, the menus are gone from the root again.
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(qApp);
    for (int i = 0; i < root->childCount(); ++i) EXPECT_NE(root->child(i)->role(), QAccessible::PopupMenu);
}

} // namespace
} // namespace LyricadeTest
