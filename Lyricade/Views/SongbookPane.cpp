#include "Lyricade/Views/SongbookPane.h"

#include "Lyricade/SongController.h"
#include "Lyricade/Views/SidebarList.h"
#include "Lyricade/Views/SidebarView.h"
#include "Lyricade/Views/SongRootView.h"

#include <QFocusEvent>

#include <QVBoxLayout>

namespace Lyricade {

SongbookPane::SongbookPane(SongController& controller, std::shared_ptr<QSettings> defaults, QWidget* parent)
    : QWidget(parent), controller_(controller)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    root_ = new SongRootView(controller.model(), std::move(defaults), this);
    column->addWidget(root_);
    setWindowTitle(root_->windowTitle());
    connect(root_, &QWidget::windowTitleChanged, this, &QWidget::setWindowTitle);
}

void SongbookPane::focusInEvent(QFocusEvent* event)
{
    // The window comes up holding the pane's focus: the songbook starts at
    // the sidebar's selected row, which says where the user is.
    if (event->reason() == Qt::ActiveWindowFocusReason)
        root_->sidebar()->list()->setFocus(Qt::OtherFocusReason);
    else
        root_->focusList();
}

} // namespace Lyricade
