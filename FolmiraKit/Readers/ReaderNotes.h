#pragma once

// Notes that more than one reader words the same way.

#include "FolmiraKit/Model/BigDocument.h"

namespace FolmiraKit {

// The warning for `count` (at least 1) pictures of a Word or RTF file in a
// format that can't be drawn.
ConversionNote picturesLeftOutNote(int count);

// The warning for `count` (at least 1) pictures inside table cells, which keep
// only their text whatever the pictures' format.
ConversionNote cellPicturesLeftOutNote(int count);

// The warnings for footnotes and for endnotes whose text isn't read; none
// for a count of 0.
std::vector<ConversionNote> notesLeftOutNotes(int footnotes, int endnotes);

} // namespace FolmiraKit
