// Not a check: shows the whole songbook window over the sample library on a
// real screen so it can be looked at (LYRICADE_SHOW_SONGBOOK=library|song|
// book|facing|booklet|inspector, optionally LYRICADE_SHOW_SIZE=WxH and
// LYRICADE_SHOW_PNG=file to save a picture and stop); skipped otherwise.

#include "DetailFixtures.h"

#include "Lyricade/Views/SongRootView.h"

#include <QTest>

namespace LyricadeTest {
namespace {

using ShowSongbook = DetailViewTest;

TEST_F(ShowSongbook, ForALook)
{
    const QString which = qEnvironmentVariable("LYRICADE_SHOW_SONGBOOK");
    if (which.isEmpty()) GTEST_SKIP() << "set LYRICADE_SHOW_SONGBOOK to look at the songbook window";
    make(false);
    model->setShowInspector(which == "inspector");
    defaults()->setValue("facingPages", which == "facing");
    if (which != "library" && which != "song") {
        const auto& books = model->library().books;
        model->setSelection(SidebarItem::book(books.front().id));
    }
    if (which == "booklet") model->setPreviewMode(PreviewMode::booklet);
    if (which == "library") model->setSelectedSongID(std::nullopt);

    SongRootView root(*model, defaults());
    const QStringList size = qEnvironmentVariable("LYRICADE_SHOW_SIZE", "1360x860").split('x');
    root.resize(size.value(0).toInt(), size.value(1).toInt());
    root.show();
    clock->advance(Milliseconds(1000));
    const QString png = qEnvironmentVariable("LYRICADE_SHOW_PNG");
    QTest::qWait(png.isEmpty() ? 60000 : 800);
    if (!png.isEmpty()) {
        EXPECT_TRUE(root.grab().save(png));
    }
}

} // namespace
} // namespace LyricadeTest
