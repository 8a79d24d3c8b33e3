#include "Lyricade/Views/TitleLines.h"

#include <QEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QTreeView>

#include <algorithm>
#include <functional>
#include <limits>

namespace Lyricade {

namespace {

// Where to break `word`, too wide for a line of `width` pixels, so that its
// first part and a hyphen fill the line: at a character's end, after one
// character at least, so the rest always moves on.
int breakInside(const QString& word, const QFontMetrics& metrics, int width, bool& hyphen)
{
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, word);
    int first = characters.toNextBoundary();
    int best = -1;
    for (int at = first; at > 0 && at < word.size(); at = characters.toNextBoundary()) {
        // A word that already has a hyphen or a dash there needs no other.
        const bool own = word.at(at - 1).category() == QChar::Punctuation_Dash;
        if (metrics.horizontalAdvance(word.left(at) + (own ? QString() : QStringLiteral("-"))) > width) break;
        best = at;
        hyphen = !own;
    }
    if (best > 0) return best;
    hyphen = false;
    return std::max(first, 1);
}

} // namespace

QStringList titleLines(const QString& text, const QFont& font, int width, int maxLines, bool* cut)
{
    const QFontMetrics metrics(font);
    width = std::max(width, 1);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    QStringList lines;
    bool shortened = false;
    QString rest = text;
    while (!rest.trimmed().isEmpty()) {
        // The last line the row has room for takes the rest, cut at its end.
        if (lines.size() + 1 == maxLines) {
            const QString words = rest.simplified();
            lines << metrics.elidedText(words, Qt::ElideRight, width);
            shortened = lines.back() != words;
            break;
        }
        QTextLayout layout(rest, font);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(width);
        const int length = std::max(line.textLength(), 1);
        layout.endLayout();
        const QString words = rest.left(length).trimmed();
        if (metrics.horizontalAdvance(words) <= width || words.contains(QLatin1Char(' '))) {
            lines << words;
            rest = rest.mid(length);
            continue;
        }
        // A word wider than a line is broken inside, with a hyphen, rather
        // than cut: every letter of a name stays to be read.
        bool hyphen = false;
        const int at = breakInside(words, metrics, width, hyphen);
        lines << words.left(at) + (hyphen ? QStringLiteral("-") : QString());
        rest = rest.mid(rest.indexOf(words) + at);
    }
    if (lines.isEmpty()) lines << QString();
    if (cut) *cut = shortened;
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

int TitleDelegate::shortOfWholeWords(int widest) const
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
                // The room a title has, not what a short one takes of it: the
                // style sizes the text's place to a text that fits.
                QStyleOptionViewItem longest = row;
                longest.text.fill(QLatin1Char('M'), 400);
                const int room = titleArea(longest).width();
                const QFontMetrics metrics(row.font);
                for (const QString& word : row.text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                    const int lack = metrics.horizontalAdvance(word) - room;
                    if (view_->width() + lack <= widest) lacking = std::max(lacking, lack);
                }
            }
            visit(index);
        }
    };
    visit({});
    return lacking == std::numeric_limits<int>::min() ? 0 : lacking;
}

bool TitleDelegate::titleCut(const QModelIndex& index) const
{
    if (!index.isValid() || !titled(index)) return false;
    const QStyleOptionViewItem row = rowAt(index, view_->visualRect(index).height());
    bool cut = false;
    titleLines(row.text, row.font, titleArea(row).width(), maxLines_, &cut);
    return cut;
}

bool TitleDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                              const QModelIndex& index)
{
    if (event->type() == QEvent::ToolTip && index.data(Qt::ToolTipRole).isNull() && titleCut(index)) {
        QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view,
                           view->visualRect(index));
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
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
