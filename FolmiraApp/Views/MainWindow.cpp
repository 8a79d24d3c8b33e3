#include "FolmiraApp/Views/MainWindow.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Views/AppIcon.h"
#include "FolmiraApp/Views/DocumentView.h"
#include "FolmiraApp/Views/FocusKeeper.h"
#include "FolmiraApp/Views/ModePicker.h"
#include "FolmiraApp/Views/ToolBarFocus.h"
#include "Lyricade/Views/ToolBarLabels.h"
#include "FolmiraApp/Views/WelcomeView.h"
#include "FolmiraKit/FolmiraKit.h"
#include "Lyricade/Panels/ModalDialog.h"

#include <algorithm>
#include <cmath>

#include <QScreen>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>

namespace FolmiraApp {

MainWindow::Sizes MainWindow::sizesFor(QSize available)
{
    if (available.isEmpty()) return {minimumWindowSize, defaultWindowSize};
    return {minimumWindowSize.boundedTo(available), defaultWindowSize.boundedTo(available)};
}

MainWindow::MainWindow(AppModel& model, SongbookFactory songbook, QWidget* parent)
    : QMainWindow(parent), model_(model), makeSongbook_(std::move(songbook))
{
    setObjectName(QStringLiteral("main"));
    // The views below switch under the focus: screen readers hear where it lands.
    tellFocusOnceSettled();
    // Decoding the icon's sizes (up to 512 px) would hold up the first paint;
    // the desktop takes it a moment later.
    connect(this, &MainWindow::firstPainted, this, [this] { setWindowIcon(applicationIcon()); });
    fitToScreen();
    modes_ = new QStackedWidget(this);
    setCentralWidget(modes_);

    documentBar_ = makeToolBar(QStringLiteral("toolbar"));
    documentPicker_ = new ModePicker(model_);
    document_ = new DocumentView(model_, modes_);
    document_->addToolBarItems(documentBar_, new CentredSlot(documentPicker_, documentBar_));
    makeKeyboardReachable(documentBar_);
    modes_->addWidget(document_);

    connect(document_, &DocumentView::titleChanged, this, &MainWindow::refreshTitle);
    connect(&model_, &AppModel::kindChanged, this, &MainWindow::showMode);
    connect(&model_, &AppModel::showWelcomeChanged, this, &MainWindow::showWelcomeWhenAsked);
    connect(&model_, &AppModel::helpRequestChanged, this, &MainWindow::helpWanted);
    showMode();
}

QToolBar* MainWindow::makeToolBar(const QString& name)
{
    auto* bar = addToolBar(name);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(22, 22));
    Lyricade::fitLabelsToWidth(*bar);
    return bar;
}

QWidget* MainWindow::currentContent() const
{
    return modes_->currentWidget();
}

QToolBar* MainWindow::toolBar() const
{
    return model_.kind() == DocKind::songbook && songbookBar_ ? songbookBar_ : documentBar_;
}

WelcomeView* MainWindow::welcomeSheet() const
{
    return welcome_ && welcome_->isVisible() ? welcome_.data() : nullptr;
}

ModePicker* MainWindow::modePicker() const
{
    return toolBar() == songbookBar_ ? songbookPicker_ : documentPicker_;
}

void MainWindow::showMode()
{
    const bool songbook = model_.kind() == DocKind::songbook;
    if (songbook && !songbook_) {
        // Made on first use only: Document mode alone never starts the songbook side.
        songbookBar_ = makeToolBar(QStringLiteral("songbookToolbar"));
        songbookPicker_ = new ModePicker(model_);
        // The pane's own items follow the picker, which keeps the middle.
        songbookBar_->addWidget(new CentredSlot(songbookPicker_, songbookBar_));
        songbook_ = makeSongbook_ ? makeSongbook_(modes_, songbookBar_) : new QWidget(modes_);
        makeKeyboardReachable(songbookBar_);
        modes_->addWidget(songbook_);
        connect(songbook_, &QWidget::windowTitleChanged, this, &MainWindow::refreshTitle);
    }
    QWidget* focus = focusWidget();
    const bool focusInSongbook = focus && songbook_ && songbook_->isAncestorOf(focus);
    // The arrows on the picker change the mode: the focus stays on the picker.
    const bool focusInPicker = focus && (documentPicker_->isAncestorOf(focus) ||
                                         (songbookPicker_ && songbookPicker_->isAncestorOf(focus)));
    // The picker's segment goes with its toolbar: it lets go of the focus
    // first, which Qt would otherwise hand on to a control of the mode that
    // goes, or one hidden, before the other picker takes it.
    if (focusInPicker) focus->clearFocus();
    modes_->setCurrentWidget(songbook ? songbook_ : document_);
    documentBar_->setVisible(!songbook);
    if (songbookBar_) songbookBar_->setVisible(songbook);
    // Songbook mode starts at its list (the pane passes the focus on), never
    // in a song's text, where a Tab would be typed.
    if (focusInPicker)
        modePicker()->segment(model_.kind())->setFocus(Qt::TabFocusReason);
    else if (songbook && isVisible() && !focusInSongbook)
        songbook_->setFocus(Qt::OtherFocusReason);
    refreshTitle();
}

void MainWindow::refreshTitle()
{
    if (model_.kind() == DocKind::document) setWindowTitle(document_->title());
    // The songbook pane names its window by its windowTitle, even an empty
    // one (a book without a name): what the window manager shows then is its own.
    else if (songbook_) setWindowTitle(songbook_->windowTitle());
    else setWindowTitle(qstr(FolmiraKit::Brand::name));
}

void MainWindow::showWelcomeWhenAsked()
{
    if (!model_.showWelcome() || welcomeSheet() || !isVisible()) return;
    // One sheet, opened again when asked for again: an ended one still has
    // its import request on the way when it closes.
    if (!welcome_) {
        welcome_ = new WelcomeView(model_, this);
        connect(welcome_, &WelcomeView::importRequested, this, &MainWindow::importWanted);
    }
    Lyricade::openSheet(*welcome_);
}

QMenu* MainWindow::createPopupMenu()
{
    return nullptr;
}

QRect MainWindow::freeArea() const
{
    QRect area = screen() ? screen()->availableGeometry() : QRect();
    // At a fractional scale the free area's logical size is rounded and may
    // be a device pixel larger than the screen.
    const double ratio = screen() ? screen()->devicePixelRatio() : 1;
    if (!area.isEmpty() && ratio != std::floor(ratio)) area.setSize(area.size() - QSize(1, 1));
    return area;
}

void MainWindow::fitToScreen()
{
    const QRect area = freeArea();
    const Sizes sizes = sizesFor(area.size());
    setMinimumSize(sizes.minimum);
    resize(sizes.preferred);
    // Centred in the free area, so no edge starts off the screen.
    if (!area.isEmpty()) move(area.center() - QPoint(sizes.preferred.width() / 2, sizes.preferred.height() / 2));
}

bool MainWindow::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    // The window manager frames the window after it is shown: the first
    // move or resize with a frame around it is when the frame can be measured.
    const auto type = event->type();
    if (framePending_ && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowActivate) &&
        frameGeometry().size() != geometry().size()) {
        framePending_ = false;
        keepFrameOnScreen();
    }
    if (type == QEvent::Paint && !paintedOnce_) {
        paintedOnce_ = true;
        // The children paint in the same pass; a queued call comes after it.
        QTimer::singleShot(0, this, &MainWindow::reportFirstPaint);
    }
    return handled;
}

void MainWindow::reportFirstPaint()
{
    if (paintReported_) return;
    paintReported_ = true;
    emit firstPainted();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // A window that never paints (minimised, on another workspace) goes on too.
    QTimer::singleShot(500, this, &MainWindow::reportFirstPaint);
    // Until the window manager has framed the window its frame reads as none.
    framePending_ = frameGeometry().size() == geometry().size();
    if (!framePending_) keepFrameOnScreen();
    QTimer::singleShot(frameWait, this, [this] {
        if (!framePending_) return;
        framePending_ = false;
        keepFrameOnScreen();
    });
    // Started in Songbook mode, the window's first focus is the songbook,
    // not the mode picker, where Space would switch the mode away.
    if (model_.kind() == DocKind::songbook && songbook_) songbook_->setFocus(Qt::ActiveWindowFocusReason);
    // The sheet needs its window on the screen first.
    showWelcomeWhenAsked();
}

void MainWindow::keepFrameOnScreen()
{
    // The frame's size is known only once the window manager has framed the
    // window; the sizes above left no room for it.
    const QRect area = freeArea();
    if (area.isEmpty()) return;
    const QRect frame = frameGeometry();
    const QSize border = frame.size() - geometry().size();
    const QSize room = area.size() - border;
    setMinimumSize(minimumSize().boundedTo(room));
    resize(size().boundedTo(room));
    const QSize outer = size() + border;
    move(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())),
         std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
}

} // namespace FolmiraApp
