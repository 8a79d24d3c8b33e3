#include "Lyricade/Views/TitleLines.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QTextLayout>
#include <QTreeView>

#include <algorithm>
#include <functional>
#include <limits>

namespace Lyricade {

QStringList titleLines(const QString& text, const QFont& font, int width, int maxLines)
{
    const QFontMetrics metrics(font);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1));
        // The last line the row has room for takes the rest; a word wider
        // than a line stands alone on it. Either is cut at its end.
        const bool last = lines.size() + 1 == maxLines;
        const QString words = last ? text.mid(line.textStart()).simplified()
                                   : text.mid(line.textStart(), line.textLength()).trimmed();
        lines << metrics.elidedText(words, Qt::ElideRight, width);
        if (last) break;
    }
    layout.endLayout();
    if (lines.isEmpty()) lines << QString();
    return lines;
}

int titleHeight(const QString& text, const QFont& font, int width, int maxLines)
{
    return static_cast<int>(titleLines(text, font, width, maxLines).size()) * QFontMetrics(font).lineSpacing();
}

void drawLines(QPainter& painter, const QRect& area, const QStringList& lines, const QFont& font,
               Qt::Alignment alignment)
{
    const int step = QFontMetrics(font).lineSpacing();
    painter.save();
    painter.setFont(font);
    QRect line(area.left(), area.top(), area.width(), step);
    for (const QString& each : lines) {
        painter.drawText(line, static_cast<int>(alignment | Qt::AlignVCenter) | Qt::TextSingleLine, each);
        line.translate(0, step);
    }
    painter.restore();
}

void drawTitle(QPainter& painter, const QRect& area, const QString& text, const QFont& font, int maxLines,
               Qt::Alignment alignment)
{
    drawLines(painter, area, titleLines(text, font, area.width(), maxLines), font, alignment);
}

TitleDelegate::TitleDelegate(QAbstractItemView* view, int maxLines)
    : QStyledItemDelegate(view), view_(view), tree_(qobject_cast<QTreeView*>(view)), maxLines_(maxLines)
{
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (tree_) {
        tree_->setWordWrap(true);
        // A hidden header does not stretch its column to the tree: it is set here.
        tree_->header()->setMinimumSectionSize(1);
        tree_->header()->setStretchLastSection(false);
    }
    viewport_ = view->viewport();
    viewport_->installEventFilter(this);
}

bool TitleDelegate::eventFilter(QObject* watched, QEvent* event)
{
    // The viewport is no editor of this delegate's: only its size matters here.
    if (watched != viewport_) return QStyledItemDelegate::eventFilter(watched, event);
    if (event->type() == QEvent::Resize) {
        if (tree_) tree_->setColumnWidth(0, view_->viewport()->width());
        // The titles wrap to the new width: their rows are measured again.
        QMetaObject::invokeMethod(view_, &QAbstractItemView::doItemsLayout, Qt::QueuedConnection);
    }
    return false;
}

int TitleDelegate::trailingRoom(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return 0;
}

bool TitleDelegate::titled(const QModelIndex&) const
{
    return true;
}

QStyleOptionViewItem TitleDelegate::rowAt(const QModelIndex& index, int height) const
{
    QStyleOptionViewItem row;
    row.initFrom(view_);
    row.font = view_->font();
    row.fontMetrics = QFontMetrics(row.font);
    initStyleOption(&row, index);
    // The width the row is drawn in: the list's, less a tree's indentation
    // (its one column is made as wide as the list, perhaps only after this).
    int width = view_->viewport()->width();
    if (tree_) {
        int depth = tree_->rootIsDecorated() ? 1 : 0;
        for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) ++depth;
        width -= depth * tree_->indentation();
    }
    row.rect = QRect(0, 0, width, height);
    fitRow(row);
    return row;
}

int TitleDelegate::shortOfWholeWords() const
{
    const QAbstractItemModel* model = view_->model();
    if (!model) return 0;
    int lacking = std::numeric_limits<int>::min();
    std::function<void(const QModelIndex&)> visit = [&](const QModelIndex& parent) {
        for (int r = 0; r < model->rowCount(parent); ++r) {
            const QModelIndex index = model->index(r, 0, parent);
            if (titled(index)) {
                QStyleOptionViewItem row = rowAt(index, QFontMetrics(view_->font()).height());
                // Without its icon, which gives way to the words where they need its room:
                // the width needed is then the same at any width.
                row.icon = QIcon();
                row.features &= ~QStyleOptionViewItem::HasDecoration;
                const QFontMetrics metrics(row.font);
                int widest = 0;
                for (const QString& word : row.text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                    widest = std::max(widest, metrics.horizontalAdvance(word));
                // The room a title has, not what a short one takes of it: the
                // style sizes the text's place to a text that fits.
                QStyleOptionViewItem longest = row;
                longest.text.fill(QLatin1Char('M'), 400);
                lacking = std::max(lacking, widest - titleArea(longest).width());
            }
            visit(index);
        }
    };
    visit({});
    return lacking == std::numeric_limits<int>::min() ? 0 : lacking;
}

QRect TitleDelegate::titleArea(const QStyleOptionViewItem& row) const
{
    QStyleOptionViewItem title = row;
    title.rect.setRight(title.rect.right() - trailingRoom(row, row.index));
    const QStyle* style = view_->style();
    // Inside the margin the style keeps beside an item's text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_) + 1;
    return style->subElementRect(QStyle::SE_ItemViewItemText, &title, view_).adjusted(margin, 0, -margin, 0);
}

void TitleDelegate::fitRow(QStyleOptionViewItem& row) const
{
    if (!(row.features & QStyleOptionViewItem::HasDecoration)) return;
    // Too narrow for the title's longest word beside it, the icon (a
    // picture only) gives its room to the words.
    int widest = 0;
    const QFontMetrics metrics(row.font);
    for (const QString& word : row.text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.horizontalAdvance(word));
    if (titleArea(row).width() >= widest) return;
    row.icon = QIcon();
    row.features &= ~QStyleOptionViewItem::HasDecoration;
}

void TitleDelegate::paintRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem row = option;
    initStyleOption(&row, index);
    fitRow(row);
    row.state &= ~QStyle::State_HasFocus;
    const QString title = row.text;
    // The highlight and the icon span the row; the title is laid out apart.
    row.text.clear();
    view_->style()->drawControl(QStyle::CE_ItemViewItem, &row, painter, view_);
    row.text = title;
    const QRect room = titleArea(row);
    const int tall = titleHeight(title, row.font, room.width(), maxLines_);
    painter->save();
    const bool enabled = option.state & QStyle::State_Enabled;
    const bool active = option.state & QStyle::State_Active;
    painter->setPen(option.palette.color(!enabled ? QPalette::Disabled : active ? QPalette::Active : QPalette::Inactive,
                                         option.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                               : QPalette::Text));
    drawTitle(*painter, QRect(room.left(), room.center().y() - tall / 2, room.width(), tall), title, row.font,
              maxLines_, QStyle::visualAlignment(option.direction, Qt::AlignLeft));
    painter->restore();
}

void TitleDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    paintRow(painter, option, index);
    if (!(option.state & QStyle::State_HasFocus)) return;
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.backgroundColor =
        option.palette.color(option.state & QStyle::State_Selected ? QPalette::Highlight : QPalette::Base);
    view_->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, view_);
}

QSize TitleDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    QStyleOptionViewItem row = option;
    initStyleOption(&row, index);
    // The width the row is drawn in: the list's, or the column's less its indentation.
    int width = view_->viewport()->width();
    if (tree_) {
        int depth = tree_->rootIsDecorated() ? 1 : 0;
        for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) ++depth;
        width = tree_->columnWidth(0) - depth * tree_->indentation();
    }
    row.rect = QRect(0, 0, width, size.height());
    fitRow(row);
    const int oneLine = QFontMetrics(row.font).lineSpacing();
    const int tall = titleHeight(row.text, row.font, titleArea(row).width(), maxLines_);
    // One line is what the style measured; more lines add to it.
    size.setHeight(size.height() + std::max(0, tall - oneLine));
    // Never wider than the column: the title wraps instead.
    size.setWidth(row.rect.width());
    return size;
}

} // namespace Lyricade
