#include "Lyricade/Views/InspectorPresets.h"

#include "TunequillKit/Library/BookSettings.h"

#include <algorithm>
#include <cmath>

namespace Lyricade {

double presetSize(double size)
{
    return TunequillKit::BookSettings::fontSizes.clamped(std::round(size));
}

QString pointsText(double size)
{
    return QStringLiteral("%1 pt").arg(static_cast<long long>(size));
}

std::vector<PresetOption> presetOptions(const std::vector<SongHost::Preset>& presets, double fontSize)
{
    std::vector<PresetOption> options;
    if (presets.empty()) return options;
    for (const auto& preset : presets) options.push_back({preset.name, presetSize(preset.size)});
    const bool matched =
        std::any_of(options.begin(), options.end(), [fontSize](const PresetOption& o) { return o.value == fontSize; });
    if (!matched) options.push_back({pointsText(fontSize), fontSize});
    return options;
}

} // namespace Lyricade
