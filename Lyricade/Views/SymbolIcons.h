#pragma once

// The small pictures of the songbook lists and bars, drawn in the widget's
// text colour so they follow the palette (and high contrast) on any desktop,
// themed or not.

#include <QIcon>

class QAbstractButton;
class QWidget;

namespace Lyricade {

enum class Symbol {
    musicNote,     // one note: a song
    musicNoteList, // notes over lines: the library
    bookClosed,    // a songbook
    listNumber,    // a numbered list: a set list
    plus,          // make something new
    cCircle,       // a c in a circle: licensing
    question,      // a question mark in a circle: a quick reference
    arrowUp,       // a triangle pointing up: one step up
    arrowDown,     // a triangle pointing down: one step down
};

// The symbol at `size` pixels (square), in the widget's text colour.
QIcon symbolIcon(Symbol symbol, const QWidget* widget, int size = 16);

// Gives `button` the symbol as its icon, drawn again whenever its palette
// changes (a dark or high-contrast theme chosen while it shows).
void showSymbol(QAbstractButton& button, Symbol symbol, int size = 16);

} // namespace Lyricade
