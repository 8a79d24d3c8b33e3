#pragma once

// The small pictures of the songbook lists and bars, drawn in the widget's
// text colour so they follow the palette (and high contrast) on any desktop,
// themed or not.

#include <QIcon>

class QWidget;

namespace Lyricade {

enum class Symbol {
    musicNote,     // one note: a song
    musicNoteList, // notes over lines: the library
    bookClosed,    // a songbook
    listNumber,    // a numbered list: a set list
    plus,          // make something new
    cCircle,       // a c in a circle: licensing
};

// The symbol at `size` pixels (square), in the widget's text colour.
QIcon symbolIcon(Symbol symbol, const QWidget* widget, int size = 16);

} // namespace Lyricade
