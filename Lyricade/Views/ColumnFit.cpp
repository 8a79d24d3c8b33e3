#include "Lyricade/Views/ColumnFit.h"

#include <QBoxLayout>
#include <QEvent>
#include <QSplitter>

#include <algorithm>
#include <cmath>

namespace Lyricade {

namespace {

// What part of their minimums the columns keep in `room` pixels.
double share(int room, int stated)
{
    if (stated <= 0 || room >= stated) return 1;
    return std::max(0, room) / static_cast<double>(stated);
}

} // namespace

ColumnFit::ColumnFit(QSplitter* splitter) : QObject(splitter), splitter_(splitter)
{
    splitter_->installEventFilter(this);
}

void ColumnFit::setMinimum(QWidget* column, int width, int firm)
{
    stated_[column] = {width, std::clamp(firm, 0, width)};
    column->installEventFilter(this);
    refit();
}

int ColumnFit::statedMinimum(QWidget* column) const
{
    const auto found = stated_.find(column);
    return found == stated_.end() ? 0 : found->second.width;
}

bool ColumnFit::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if ((watched == splitter_ && type == QEvent::Resize) || type == QEvent::ShowToParent ||
        type == QEvent::HideToParent)
        refit();
    return false;
}

void ColumnFit::refit()
{
    int stated = 0;
    int firm = 0;
    int visible = 0;
    for (const auto& [column, width] : stated_)
        if (!column->isHidden()) {
            stated += width.width;
            firm += width.firm;
            ++visible;
        }
    // Before the first layout the splitter's width says nothing yet.
    if (splitter_->width() <= 0 || visible == 0) return;
    const int room = splitter_->width() - splitter_->handleWidth() * (visible - 1);
    // The firm parts stay whole while the rest keeps three quarters of its
    // minimums (below that the lists' own controls are squeezed), the rest
    // giving way in proportion; in less room every column gives way alike.
    const bool firmFits = room - firm >= 0.75 * (stated - firm);
    const double keep = firmFits ? share(room - firm, stated - firm) : share(room, stated);
    for (const auto& [column, width] : stated_) {
        const int kept = firmFits ? width.firm : 0;
        const int minimum = kept + static_cast<int>(std::floor((width.width - kept) * keep));
        if (column->minimumWidth() != minimum) column->setMinimumWidth(minimum);
    }
}

RowFit::RowFit(QWidget* owner, QBoxLayout* row) : QObject(owner), owner_(owner), row_(row)
{
    owner_->installEventFilter(this);
}

bool RowFit::eventFilter(QObject*, QEvent* event)
{
    // Also when an item's text, and so its width, changed.
    if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest) refit();
    return false;
}

void RowFit::refit()
{
    const QMargins margins = row_->contentsMargins();
    int across = margins.left() + margins.right();
    int items = 0;
    for (int i = 0; i < row_->count(); ++i) {
        QLayoutItem* item = row_->itemAt(i);
        if (item->isEmpty() || item->spacerItem()) continue;
        across += item->sizeHint().width();
        ++items;
    }
    across += std::max(0, items - 1) * std::max(0, row_->spacing());
    const auto direction = across <= owner_->width() ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (row_->direction() != direction) row_->setDirection(direction);
}

} // namespace Lyricade
