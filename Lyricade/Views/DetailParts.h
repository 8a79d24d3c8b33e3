#pragma once

// Small pieces the songbook's detail panes share: a headline, a divider, icons that exist on a bare X server, and the
// notice a pane shows in place of content it does not have.

#include <QFont>
#include <QIcon>
#include <QStyle>
#include <QWidget>

class QFrame;
class QLabel;

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
};

} // namespace Lyricade
