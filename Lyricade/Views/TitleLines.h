#pragma once

// A title in a narrow row at large fonts: wrapped at its spaces onto as many
// lines as the row may grow to, a word too wide for a line broken where it
// must, and only what is left past the last line cut at its end with an
// ellipsis. Never shortened in the middle, where a reader scanning a list
// sees fragments.

#include <QFont>
#include <QRect>
#include <QStringList>

class QPainter;

namespace Lyricade {

// The lines of `text` in `font` at `width` pixels, at most `maxLines` (0: as
// many as it needs).
QStringList titleLines(const QString& text, const QFont& font, int width, int maxLines);

// The height of those lines.
int titleHeight(const QString& text, const QFont& font, int width, int maxLines);

// Draws `lines`, one under another from the top of `area`, in the painter's pen.
void drawLines(QPainter& painter, const QRect& area, const QStringList& lines, const QFont& font,
               Qt::Alignment alignment = Qt::AlignLeft);

// Draws the title's lines from the top of `area`, in the painter's pen.
void drawTitle(QPainter& painter, const QRect& area, const QString& text, const QFont& font, int maxLines,
               Qt::Alignment alignment = Qt::AlignLeft);

} // namespace Lyricade
