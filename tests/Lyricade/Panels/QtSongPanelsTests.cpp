// The song-file panel shows its message inside the dialog, above the files.

#include "Lyricade/Panels/QtSongPanels.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(QtSongPanelsTest, TheMessageStandsAboveTheFileList)
{
    const QString message = "Choose song files (ChordPro .cho, .chopro, .crd, .pro, or chords-over-lyrics .txt) or a "
                            "folder of them.";
    QString shown, title;
    bool above = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        title = dialog->windowTitle();
        auto* label = dialog->findChild<QLabel*>("message");
        auto* list = dialog->findChild<QListView*>("listView");
        if (label && list) {
            shown = label->text();
            above = label->isVisible() && label->mapTo(dialog, QPoint(0, label->height())).y() <=
                                              list->mapTo(dialog, QPoint(0, 0)).y();
        }
        dialog->reject();
    });
    EXPECT_FALSE(Lyricade::QtSongPanels().chooseSongFiles(message, "Import", {"Song files (*.cho *.txt)"}));
    EXPECT_EQ(shown, message);
    EXPECT_EQ(title, message);
    EXPECT_TRUE(above);
}

} // namespace
