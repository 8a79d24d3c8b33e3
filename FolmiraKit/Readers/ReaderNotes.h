#pragma once

// Notes that more than one reader words the same way.

#include "FolmiraKit/Model/BigDocument.h"

namespace FolmiraKit {

// The warning for `count` (at least 1) pictures of a Word or RTF file that
// could not be placed: in a format that can't be drawn, or inside a table cell.
ConversionNote picturesLeftOutNote(int count);

} // namespace FolmiraKit
