#pragma once

// A title in a narrow row at large fonts: wrapped at its spaces onto as many
// lines as the row may grow to, a word too wide for a line broken inside
// with a hyphen; what is left past the last line is cut at its end with an
// ellipsis. Never shortened in the middle, where a reader scanning a list
// sees fragments.

#include <QFont>
#include <QRect>
#include <QStringList>
#include <QStyledItemDelegate>

#include <limits>

class QPainter;
class QAbstractItemView;
class QTreeView;

namespace Lyricade {

// The lines of `text` in `font` at `width` pixels, at most `maxLines` (0: as
// many as it needs); `cut`, when given, tells whether the last was shortened.
QStringList titleLines(const QString& text, const QFont& font, int width, int maxLines, bool* cut = nullptr);

// The height of those lines.
int titleHeight(const QString& text, const QFont& font, int width, int maxLines);

// Draws `lines`, one under another from the top of `area`, in the painter's pen.
void drawLines(QPainter& painter, const QRect& area, const QStringList& lines, const QFont& font,
               Qt::Alignment alignment = Qt::AlignLeft);

// Draws the title's lines from the top of `area`, in the painter's pen.
void drawTitle(QPainter& painter, const QRect& area, const QString& text, const QFont& font, int maxLines,
               Qt::Alignment alignment = Qt::AlignLeft);

// Draws a list's or a one-column tree's rows with their titles wrapped onto
// up to `maxLines` lines, each row as tall as its lines; keeps a tree's
// column exactly as wide as the tree shows (nothing scrolls across) and
// measures the rows again when that width changes.
class TitleDelegate : public QStyledItemDelegate {
public:
    TitleDelegate(QAbstractItemView* view, int maxLines);
    // How many pixels the view's rows lack for the longest word of each
    // title to stand whole on a line, at the view's present width (0 or less:
    // none). A view that many wider breaks no word. Words that would need the
    // view wider than `widest` pixels are left out: they are broken anyway.
    int shortOfWholeWords(int widest = std::numeric_limits<int>::max()) const;
    // Whether the row's title is drawn shortened at the view's present width:
    // its tooltip then gives it whole (its accessible name has it whole).
    bool titleCut(const QModelIndex& index) const;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Whether the row's text is drawn as a title (a section's heading may not be).
    virtual bool titled(const QModelIndex& index) const;
    // Room kept free at a row's trailing end (for a badge); none by default.
    virtual int trailingRoom(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    // The row's highlight, icon and title, without its focus ring.
    void paintRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;

private:
    QRect titleArea(const QStyleOptionViewItem& row) const;
    // The row at `index` as it is laid out at the view's present width.
    QStyleOptionViewItem rowAt(const QModelIndex& index, int height) const;
    void fitRow(QStyleOptionViewItem& row) const;

    QAbstractItemView* view_;
    QTreeView* tree_; // the view, when it is a tree
    QObject* viewport_; // watched for its size; compared, never called: it outlives the view's own destructor
    int maxLines_;
};

} // namespace Lyricade
