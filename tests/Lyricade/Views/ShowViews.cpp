// Not a check: shows the sidebar, the song list or book view and the
// add-songs sheet over the sample library on a real screen, so they can be
// looked at (LYRICADE_SHOW_VIEWS=all|book|setlist|empty|sheet, optionally
// LYRICADE_SHOW_SIZE=WxH and LYRICADE_SHOW_PNG=file to save a picture and
// stop); skipped otherwise.

#include "ViewFixture.h"

#include "Lyricade/Views/AddSongsSheet.h"
#include "Lyricade/Views/BookView.h"
#include "Lyricade/Views/SidebarView.h"
#include "Lyricade/Views/SongListView.h"

#include <QLabel>
#include <QListWidget>
#include <QSplitter>
#include <QStackedWidget>
#include <QTest>

namespace LyricadeTest {
namespace {

using ShowViews = ViewTest;

TEST_F(ShowViews, ForALook)
{
    const QString which = qEnvironmentVariable("LYRICADE_SHOW_VIEWS");
    if (which.isEmpty()) GTEST_SKIP() << "set LYRICADE_SHOW_VIEWS to look at the views";
    make(false);
    const auto& books = model->library().books;
    auto kind = [&](BookKind k) {
        return std::find_if(books.begin(), books.end(), [&](const Songbook& b) { return b.kind == k; })->id;
    };
    if (which == "book" || which == "sheet") model->setSelection(SidebarItem::book(kind(BookKind::book)));
    if (which == "setlist") model->setSelection(SidebarItem::book(kind(BookKind::setList)));
    if (which == "empty") model->newBook(BookKind::book);
    if (which == "all") model->setSelectedSongID(model->filteredSongs().at(1).id);

    QSplitter window;
    const QStringList size = qEnvironmentVariable("LYRICADE_SHOW_SIZE", "1360x860").split('x');
    window.resize(size.value(0).toInt(), size.value(1).toInt());
    auto* sidebar = new SidebarView(*model);
    auto* content = new QStackedWidget;
    auto* songs = new SongListView(*model);
    auto* book = new BookView(*model);
    content->addWidget(songs);
    content->addWidget(book);
    auto* detail = new QLabel(QStringLiteral("(detail column)"));
    detail->setAlignment(Qt::AlignCenter);
    window.addWidget(sidebar);
    window.addWidget(content);
    window.addWidget(detail);
    window.setSizes({230, 360, window.width() - 590});
    auto follow = [&] { content->setCurrentWidget(model->selectedBook() ? static_cast<QWidget*>(book) : songs); };
    QObject::connect(model.get(), &AppModel::selectionChanged, &window, follow);
    follow();
    window.show();
    clock->advance(Milliseconds(1000));

    std::unique_ptr<AddSongsSheet> sheet;
    if (which == "sheet") {
        sheet = std::make_unique<AddSongsSheet>(*model, &window);
        sheet->show();
        sheet->list()->item(1)->setCheckState(Qt::Checked);
        sheet->list()->item(3)->setCheckState(Qt::Checked);
    }
    const QString png = qEnvironmentVariable("LYRICADE_SHOW_PNG");
    QTest::qWait(png.isEmpty() ? 60000 : 800);
    if (!png.isEmpty()) {
        EXPECT_TRUE((sheet ? sheet->grab() : window.grab()).save(png));
    }
}

} // namespace
} // namespace LyricadeTest
