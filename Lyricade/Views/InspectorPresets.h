#pragma once

// The size presets the print-settings inspector offers: the document side's
// presets taken to whole points within the songbook's 16…28, and one more
// option for a lyric size that matches none of them, so the picker always
// shows the book's size.

#include "Lyricade/Host.h"

#include <QString>

#include <vector>

namespace Lyricade {

struct PresetOption {
    QString label;
    double value = 0; // points

    bool operator==(const PresetOption&) const = default;
};

// A size taken to the nearest whole point (halves away from zero), then held to 16…28.
double presetSize(double size);

// One option per preset, in the host's order, and a last "N pt" option (N the
// size truncated) whose value is `fontSize` itself when no option equals it.
// No presets, no options: the picker is not shown at all.
std::vector<PresetOption> presetOptions(const std::vector<SongHost::Preset>& presets, double fontSize);

// "%lld pt" of a size truncated to whole points.
QString pointsText(double size);

} // namespace Lyricade
