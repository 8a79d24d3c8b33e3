#pragma once

// Small pieces the songbook's detail panes share: a headline, a divider, icons that exist on a bare X server, and the
// notice a pane shows in place of content it does not have.

#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStyle>
#include <QWidget>

#include <utility>

class QFrame;
class QVBoxLayout;

namespace Lyricade::DetailParts {

QLabel* headline(const QString& text, QWidget* parent);

// A one-pixel line across (or down) its parent's layout.
QFrame* divider(QWidget* parent, Qt::Orientation orientation = Qt::Horizontal);

// The theme's icon when the desktop has one, else Qt's own.
QIcon themeIcon(const char* name, QStyle::StandardPixmap fallback);

// A label of an icon and a text that wraps within its width.
QWidget* iconLabel(const QIcon& icon, const QString& text, QWidget* parent);

} // namespace Lyricade::DetailParts

namespace Lyricade {

// Lines of an icon and a wrapping text, one under another, as tall as they
// need up to a number of text lines; the rest scrolls.
class LineList : public QScrollArea {
    Q_OBJECT

public:
    explicit LineList(int visibleLines, QWidget* parent = nullptr);

    // Replaces the lines; `ink` colours their text when given.
    void setLines(const QIcon& icon, const QStringList& texts, const QFont& font, const QColor& ink = QColor());
    QStringList texts() const;
    int count() const;
    // A further bound on the height, in pixels (none when negative).
    void setHeightLimit(int pixels);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();

    int visibleLines_;
    int heightLimit_ = -1;
    int lineHeight_ = 0;
    QWidget* lines_;
    QVBoxLayout* column_;
};

// A label that cuts a text too long for it with "…". On one line (a file
// name, a detail) it cuts the middle, keeping the start and the end that
// tell names apart; a title given more lines wraps onto them and only what
// is left past the last is cut, at its end, so that a reader scanning a list
// sees no fragments. Its text and accessible name stay whole.
class ElidingLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidingLabel(const QString& text, QWidget* parent = nullptr, int lines = 1);
    // Whether its text wraps onto more lines than one.
    bool wraps() const { return lines_ > 1; }
    // As tall as the lines the text takes at the label's present width.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The text as it is drawn at the label's present width, its lines joined by spaces.
    QString shownText() const;

signals:
    // The text took more or fewer lines at a new width.
    void linesChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QStringList shownLines() const;

    int lines_;
    int linesShown_ = 1;
};

// A one-line field that, while it is not being edited, shows a text too long
// for it cut at its end, as ElidingLabel does; its text, and so what
// screen readers read, stays whole, and editing shows it whole.
class ElidingField : public QLineEdit {
    Q_OBJECT

public:
    explicit ElidingField(QWidget* parent = nullptr);
    // The text as it is drawn now.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QRect textArea() const;
};

// "Nothing here" in the middle of a pane: an icon, a title and a description.
class NoContentView : public QWidget {
    Q_OBJECT

public:
    NoContentView(const QIcon& icon, const QString& title, const QString& description, QWidget* parent = nullptr);
    QString title() const;
    QString description() const;

private:
    QLabel* title_;
    QLabel* description_;
    std::pair<QString, QString> wording_; // title, description
};

} // namespace Lyricade
