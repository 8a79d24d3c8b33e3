#include "Lyricade/Views/ColumnFit.h"

#include <QBoxLayout>
#include <QEvent>
#include <QSplitter>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <utility>
#include <vector>

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

void ColumnFit::setMinimum(QWidget* column, int width, int firm, int least)
{
    Stated& stated = stated_[column];
    stated.width = width;
    stated.firm = std::clamp(firm, 0, width);
    stated.least = std::clamp(least, 0, stated.firm);
    column->installEventFilter(this);
    refit();
}

void ColumnFit::setFloor(QWidget* column, int width)
{
    Stated& stated = stated_[column];
    if (stated.floor == width) return;
    stated.floor = width;
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

std::vector<std::pair<QWidget*, int>> ColumnFit::minimums(const std::vector<std::pair<QWidget*, Stated>>& shown,
                                                          int room, bool& squeezed) const
{
    // The firm parts stay whole while the rest keeps three quarters of its
    // minimums (below that the lists' own controls are squeezed); else the
    // least widths stay whole while the rest keeps half (the lists then stand
    // their controls under their texts); else every column gives way alike.
    // A way that leaves a column less than its floor is passed over.
    // Short of that, the least widths stay whole while the rest keep a
    // quarter (at twice the desktop's font on a small screen a book's name
    // keeps its words).
    const auto leastWhole = [](const Stated& s) { return s.least > 0 ? Part{s.least, 0} : Part{0, s.width}; };
    const std::function<Part(const Stated&)> ways[] = {
        [](const Stated& s) { return Part{s.firm, s.width - s.firm}; },
        leastWhole,
        leastWhole,
        [](const Stated& s) { return Part{0, s.width}; },
    };
    const double enough[] = {0.75, 0.5, 0.25, 0};
    std::vector<std::pair<QWidget*, int>> minimums;
    for (std::size_t way = 0; way < std::size(ways); ++way) {
        const bool last = way + 1 == std::size(ways);
        int kept = 0;
        int giving = 0;
        for (const auto& [column, width] : shown) {
            const Part part = ways[way](width);
            kept += part.kept;
            giving += part.giving;
        }
        if (!last && room - kept < enough[way] * giving) continue;
        const double keep = share(room - kept, giving);
        minimums.clear();
        bool floorsKept = true;
        squeezed = false;
        for (const auto& [column, width] : stated_) {
            const Part part = ways[way](width);
            minimums.emplace_back(column, part.kept + static_cast<int>(std::floor(part.giving * keep)));
            const bool isShown = std::any_of(shown.begin(), shown.end(), [&](const auto& c) { return c.first == column; });
            if (isShown && minimums.back().second < width.floor) floorsKept = false;
            if (isShown && minimums.back().second < std::max(width.least, width.floor)) squeezed = true;
        }
        if (!last && !floorsKept) continue;
        return minimums;
    }
    return minimums;
}

std::vector<std::pair<QWidget*, ColumnFit::Stated>> ColumnFit::shownColumns(const QWidget* alsoShown) const
{
    std::vector<std::pair<QWidget*, Stated>> shown;
    for (const auto& column : stated_)
        if (!column.first->isHidden() || column.first == alsoShown) shown.push_back(column);
    return shown;
}

int ColumnFit::roomFor(std::size_t columns) const
{
    return splitter_->width() - splitter_->handleWidth() * (static_cast<int>(columns) - 1);
}

bool ColumnFit::squeezedWith(const QWidget* column, int columnLeast) const
{
    const auto shown = shownColumns(column);
    if (splitter_->width() <= 0 || shown.empty()) return false;
    bool squeezed = false;
    for (const auto& [each, minimum] : minimums(shown, roomFor(shown.size()), squeezed))
        if (each == column && minimum < columnLeast) squeezed = true;
    return squeezed;
}

void ColumnFit::refit()
{
    const auto shown = shownColumns(nullptr);
    // Before the first layout the splitter's width says nothing yet.
    if (splitter_->width() <= 0 || shown.empty()) return;
    bool squeezed = false;
    for (const auto& [column, minimum] : minimums(shown, roomFor(shown.size()), squeezed))
        if (column->minimumWidth() != minimum) column->setMinimumWidth(minimum);
}

RowFit::RowFit(QWidget* owner, QBoxLayout* row, bool stackable)
    : QObject(owner), owner_(owner), row_(row), stackable_(stackable)
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
    int widest = 0;
    for (int i = 0; i < row_->count(); ++i) {
        QLayoutItem* item = row_->itemAt(i);
        if (item->isEmpty() || item->spacerItem()) continue;
        across += item->sizeHint().width();
        widest = std::max(widest, item->minimumSize().width());
        ++items;
    }
    if (stackable_) {
        // Set, it stands for the layout's minimum, which side by side is the sum.
        const int least = widest + margins.left() + margins.right();
        if (owner_->minimumWidth() != least) owner_->setMinimumWidth(least);
    }
    across += std::max(0, items - 1) * std::max(0, row_->spacing());
    const auto direction = across <= owner_->width() ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (row_->direction() != direction) row_->setDirection(direction);
}

} // namespace Lyricade
