#include "Lyricade/Views/SongMenus.h"

#include "Lyricade/SongController.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <functional>

namespace Lyricade {

namespace {

QAction* addItem(QMenu& menu, const QString& label, QKeySequence shortcut, std::function<void()> run)
{
    QAction* action = menu.addAction(label);
    action->setShortcut(shortcut);
    QObject::connect(action, &QAction::triggered, action, [run = std::move(run)] { run(); });
    return action;
}

QAction* addToggle(QMenu& menu, const QString& label, QKeySequence shortcut, std::function<void(bool)> set)
{
    QAction* action = menu.addAction(label);
    action->setShortcut(shortcut);
    action->setCheckable(true);
    QObject::connect(action, &QAction::triggered, action, [set = std::move(set)](bool on) { set(on); });
    return action;
}

} // namespace

SongMenus::SongMenus(SongController& controller, bool enabled, QMenuBar& bar)
    : SongMenus([&controller]() -> SongController& { return controller; }, enabled, bar)
{
}

SongMenus::SongMenus(std::function<SongController&()> startController, bool enabled, QMenuBar& bar)
    : QObject(&bar), startController_(std::move(startController)), enabled_(enabled)
{
    song_ = bar.addMenu(QStringLiteral("&Song"));
    song_->setObjectName(QStringLiteral("song"));
    book_ = bar.addMenu(QStringLiteral("&Book"));
    book_->setObjectName(QStringLiteral("book"));
    buildSongMenu();
    buildBookMenu();
    // An open menu shows the book's own check marks, even while greyed out.
    for (QMenu* menu : {song_, book_})
        connect(menu, &QMenu::aboutToShow, this, [this] {
            controller();
            refresh();
        });
    refresh();
}

SongController& SongMenus::controller()
{
    if (!controller_) {
        controller_ = &startController_();
        connect(controller_, &SongController::changed, this, &SongMenus::refresh);
    }
    return *controller_;
}

void SongMenus::buildSongMenu()
{
    auto c = [this]() -> SongController& { return controller(); };
    transposeUp_ = addItem(*song_, QStringLiteral("Transpose Up a Half Step"), Qt::ALT | Qt::Key_Up,
                           [c] { c().transpose(1); });
    transposeDown_ = addItem(*song_, QStringLiteral("Transpose Down a Half Step"), Qt::ALT | Qt::Key_Down,
                             [c] { c().transpose(-1); });
    song_->addSeparator();
    moveUp_ = addItem(*song_, QStringLiteral("Move Up in Book"), Qt::CTRL | Qt::SHIFT | Qt::Key_Up, [c] { c().move(-1); });
    moveDown_ = addItem(*song_, QStringLiteral("Move Down in Book"), Qt::CTRL | Qt::SHIFT | Qt::Key_Down,
                        [c] { c().move(1); });
    addSongs_ = addItem(*song_, QStringLiteral("Add Songs to Book…"), Qt::CTRL | Qt::SHIFT | Qt::Key_A,
                        [c] { c().addSongs(); });
    song_->addSeparator();
    // Always enabled, whatever the host's switch says.
    addItem(*song_, QStringLiteral("About Song Licensing…"), {}, [this, c] {
        if (showSongbook_) showSongbook_();
        c().showLicensing();
    });
}

void SongMenus::buildBookMenu()
{
    auto c = [this]() -> SongController& { return controller(); };
    twoColumns_ = addToggle(*book_, QStringLiteral("Two Columns"), Qt::CTRL | Qt::SHIFT | Qt::Key_2,
                            [c](bool on) { c().setTwoColumns(on); });
    onePerPage_ = addToggle(*book_, QStringLiteral("One Song per Page"), Qt::CTRL | Qt::SHIFT | Qt::Key_1,
                            [c](bool on) { c().setOnePerPage(on); });
    nashville_ = addToggle(*book_, QStringLiteral("Nashville Numbers"), Qt::CTRL | Qt::ALT | Qt::Key_N,
                           [c](bool on) { c().setNashville(on); });
    book_->addSeparator();
    booklet_ = addItem(*book_, QStringLiteral("Show Booklet"), Qt::CTRL | Qt::SHIFT | Qt::Key_B,
                       [c] { c().toggleBooklet(); });
}

void SongMenus::setEnabled(bool enabled)
{
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    refresh();
}

void SongMenus::refresh()
{
    // Enabled menus act on the controller, so they need it now.
    SongController* songs = enabled_ ? &controller() : controller_;
    // The selected book is looked up only while the host lets the menus act.
    const bool hasBook = enabled_ && songs->hasBook();
    // Transposing with no song, or moving the first entry up, changes nothing
    // but stays offered; the lists select the row the focus reaches, so the
    // items act on what the user sees.
    for (QAction* action : {transposeUp_, transposeDown_}) action->setEnabled(enabled_);
    for (QAction* action : {moveUp_, moveDown_, addSongs_, twoColumns_, onePerPage_, nashville_, booklet_})
        action->setEnabled(hasBook);
    // Without a selected book the toggles show as off.
    twoColumns_->setChecked(songs && songs->twoColumns());
    onePerPage_->setChecked(songs && songs->onePerPage());
    nashville_->setChecked(songs && songs->nashville());
    const bool booklet = songs && songs->showsBooklet();
    booklet_->setText(booklet ? QStringLiteral("Show Pages") : QStringLiteral("Show Booklet"));
}

} // namespace Lyricade
