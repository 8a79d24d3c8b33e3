#include "FolmiraApp/Views/MainWindow.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Views/AppIcon.h"
#include "FolmiraApp/Views/DocumentView.h"
#include "FolmiraApp/Views/ToolBarFocus.h"

#include <algorithm>
#include <cmath>

#include <QScreen>
#include <QShowEvent>
#include <QToolBar>

namespace FolmiraApp {

MainWindow::Sizes MainWindow::sizesFor(QSize available)
{
    if (available.isEmpty()) return {minimumWindowSize, defaultWindowSize};
    return {minimumWindowSize.boundedTo(available), defaultWindowSize.boundedTo(available)};
}

MainWindow::MainWindow(AppModel& model, QWidget* parent) : QMainWindow(parent), model_(model)
{
    setObjectName(QStringLiteral("main"));
    setWindowIcon(applicationIcon());
    fitToScreen();
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setMovable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setIconSize(QSize(22, 22));
    document_ = new DocumentView(model_, this);
    document_->addToolBarItems(toolBar_);
    makeKeyboardReachable(toolBar_);
    setCentralWidget(document_);
    setWindowTitle(document_->title());
    connect(document_, &DocumentView::titleChanged, this, &QMainWindow::setWindowTitle);
}

void MainWindow::fitToScreen()
{
    const QRect area = screen() ? screen()->availableGeometry() : QRect();
    QSize available = area.size();
    // At a fractional scale the free area's logical size is rounded and may
    // be a device pixel larger than the screen.
    const double ratio = screen() ? screen()->devicePixelRatio() : 1;
    if (ratio != std::floor(ratio)) available -= QSize(1, 1);
    const Sizes sizes = sizesFor(available);
    setMinimumSize(sizes.minimum);
    resize(sizes.preferred);
    // Centred in the free area, so no edge starts off the screen.
    if (!area.isEmpty()) move(area.center() - QPoint(sizes.preferred.width() / 2, sizes.preferred.height() / 2));
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    keepFrameOnScreen();
}

void MainWindow::keepFrameOnScreen()
{
    // The frame's size is known only once the window is shown; the sizes
    // above left no room for it.
    const QRect area = screen() ? screen()->availableGeometry() : QRect();
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
