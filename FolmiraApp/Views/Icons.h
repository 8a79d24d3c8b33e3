#pragma once

// Icons from the desktop's theme, with Qt's own standard icons where the
// theme has none (a bare X server has no theme at all).

#include "FolmiraApp/Model/Kinds.h"
#include "Lyricade/Views/DetailParts.h"

#include <QIcon>
#include <QStyle>

namespace FolmiraApp {

using Lyricade::DetailParts::themeIcon;

// The icon of a mode, on the mode picker and the welcome screen's cards.
inline QIcon modeIcon(DocKind kind)
{
    return kind == DocKind::songbook ? themeIcon("audio-x-generic", QStyle::SP_MediaVolume)
                                     : themeIcon("text-x-generic", QStyle::SP_FileIcon);
}

} // namespace FolmiraApp
