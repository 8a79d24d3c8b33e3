#pragma once

// The minimum widths of a splitter's columns, kept while they fit together
// in the splitter; in a narrower splitter (the window at its smallest, or
// large fonts) every column gives way in proportion, so no column is pushed
// over another or out of the window. A column's firm part (a form whose
// values can't be cut) gives way only where the others would have to give
// up more than a quarter of theirs to keep it; then its least width (the
// form with its rows wrapped) stays whole while the others keep half of theirs.
// Neither is done where it would leave a column less than its floor (the
// width below which its own controls are squeezed).
// Hidden columns take no room.

#include <QObject>

#include <map>
#include <utility>
#include <vector>

class QBoxLayout;
class QSplitter;
class QWidget;

namespace Lyricade {

class ColumnFit : public QObject {
    Q_OBJECT

public:
    explicit ColumnFit(QSplitter* splitter);

    // The column's minimum where there is room for it; 0 lets it shrink
    // freely. The first `firm` pixels of it give way last, and where those
    // don't fit, the column narrows to `least` (0: none) before giving way alike.
    void setMinimum(QWidget* column, int width, int firm = 0, int least = 0);
    int statedMinimum(QWidget* column) const;
    // The width below which the column's controls are squeezed; 0: none.
    void setFloor(QWidget* column, int width);
    // Whether, with `column` shown too (hidden or not), some column would be
    // left less than its least width or its floor, or `column` less than
    // `columnLeast`.
    bool squeezedWith(const QWidget* column, int columnLeast = 0) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refit();

    QSplitter* splitter_;
    struct Stated {
        int width = 0, firm = 0, least = 0, floor = 0;
    };
    // What a column keeps whole and what it gives way of, in one way of sharing.
    struct Part {
        int kept = 0, giving = 0;
    };
    std::vector<std::pair<QWidget*, Stated>> shownColumns(const QWidget* alsoShown) const;
    int roomFor(std::size_t columns) const;
    // Each column's minimum in `room` pixels with `shown` shown; `squeezed`
    // tells whether one is left less than its least width or floor.
    std::vector<std::pair<QWidget*, int>> minimums(const std::vector<std::pair<QWidget*, Stated>>& shown, int room,
                                                   bool& squeezed) const;
    std::map<QWidget*, Stated> stated_;
};

// A row of a widget's layout that stands its items one under another while
// they do not fit side by side in the widget's width.
class RowFit : public QObject {
    Q_OBJECT

public:
    // With `stackable`, the owner asks its column for no more width than the
    // row needs stacked, so that a narrow column stacks it rather than scroll.
    RowFit(QWidget* owner, QBoxLayout* row, bool stackable = false);
    // Lays the row out for the owner's width now (after items were shown or hidden).
    void refit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* owner_;
    QBoxLayout* row_;
    bool stackable_;
};

} // namespace Lyricade
