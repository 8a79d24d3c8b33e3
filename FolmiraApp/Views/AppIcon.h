#pragma once

// Folmira's own application icon, at every size it is drawn in.

#include <QIcon>

namespace FolmiraApp {

// The icon built into the program, one PNG per size from 16 to 512 pixels.
QIcon applicationIcon();

} // namespace FolmiraApp
