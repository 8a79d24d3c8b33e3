#include "Lyricade/Views/SongbookPane.h"

#include "Lyricade/SongController.h"
#include "Lyricade/Views/SongRootView.h"

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

void SongbookPane::focusInEvent(QFocusEvent*)
{
    root_->focusList();
}

} // namespace Lyricade
