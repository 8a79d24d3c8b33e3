#pragma once

// Texts in dialogs of both modes. What comes from the user or the system (a
// file, song or book name, a title, an error's reason) is shown as written:
// never read as markup, and broken where a line would otherwise run wider
// than the screen.

#include <QString>

class QFileDialog;
class QLabel;
class QMessageBox;

namespace Lyricade {

// `text` with a zero-width space wherever it would otherwise go on for more
// than `longest` characters (grapheme clusters) without a place to break.
QString breakable(const QString& text, int longest = 32);

// The label shows its text as plain text, wrapped, however it reads.
void showPlainly(QLabel& label);

// The box's text and informative text (none when `detail` is empty), both as
// plain text that wraps within the box.
void setPlainTexts(QMessageBox& box, const QString& text, const QString& detail);

// Puts `message` inside a (non-native) file dialog, above everything else,
// as a plain, wrapping label named "message": a window manager may cut a
// long window title short or not show it at all.
void placeMessage(QFileDialog& dialog, const QString& message);

// The folder picker of a (non-native) file dialog shortens a path too long
// for it at its start ("…/Letters/2026"), keeping the folder's own name in
// view, rather than in its middle as Qt's does ("/ho…026"). What it shows is
// kept as the picker's property "shownText".
void shortenFolderAtStart(QFileDialog& dialog);

} // namespace Lyricade
