#pragma once

// How the application reads on the desktop's accessibility bus where Qt's
// own accessibility falls short of what screen readers expect on Linux:
// - a menu popped up on its own (a context menu, a button's menu, a text
//   field's menu) is a child of the application while it is shown, as the
//   desktop's popups are, so a screen reader finds it and its items;
// - a window made of a plain widget (Help, Settings, the quick reference) is
//   a window named by its title, not a filler;
// - a combo box is named by its accessible name or its label (Qt names it
//   by its choice), and its current choice is its value, its text and the
//   selected item of its list, so readers say both.
// Installed once for the application, before its first window shows.

#include "PdfView/Widgets/ShownText.h"

#include <QAccessible>

#include <functional>

class QAbstractItemView;
class QLineEdit;
class QModelIndex;
class QWidget;

namespace Lyricade {

// (ShownTextAccessible: the read-only text of a control, PdfView/Widgets/ShownText.h.)
using PdfView::ShownTextAccessible;

void installDesktopAccessible();

// Tells a screen reader that `widget` (a list: its current row) has the focus,
// as it had before something that drew the reader away.
void announceFocus(QWidget& widget);

// Tells a screen reader that the row at `index` of `view` was ticked or
// unticked (its checked state changed), so that it says "checked" or "not
// checked" of the row the keyboard is on: Qt tells only that the view's data
// changed, which readers pass over.
void announceChecked(QAbstractItemView& view, const QModelIndex& index);

// Names or describes `widget` for screen readers when the words differ from
// those it has: Qt announces every call as a change, even of the same words,
// and a view refreshed on each change of settings would repeat itself.
void setSpokenName(QWidget& widget, const QString& name);
void setSpokenDescription(QWidget& widget, const QString& description);

// Runs `apply` (which sets words: texts, names) now while `widget` shows or
// its window does not, else once `widget` is next shown, in place of any
// earlier one still waiting: Qt announces every word set, a hidden widget's
// too, and what stays hidden would be heard for nothing.
void whenShown(QWidget& widget, std::function<void()> apply);

// Gives `field` its clear button, named for screen readers: Qt's own is an
// unnamed button.
void addNamedClearButton(QLineEdit& field);

} // namespace Lyricade
