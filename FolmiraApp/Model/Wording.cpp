#include "FolmiraApp/Model/Wording.h"

#include "FolmiraApp/Model/QtText.h"

#include <algorithm>
#include <cmath>

namespace FolmiraApp {

using FolmiraKit::LargePrintPreset;
using FolmiraKit::LargePrintSettings;

namespace {

// The size as a whole number: the fraction dropped, toward zero.
QString wholePoints(double size)
{
    return QString::number(static_cast<long long>(std::trunc(size)));
}

QString twoDecimals(double value)
{
    return QString::asprintf("%.2f", value);
}

} // namespace

QString detailLine(std::optional<int> pageCount, const LargePrintSettings& settings, bool reading)
{
    if (!pageCount) return reading ? QStringLiteral("Reading…") : QString();
    QString line = *pageCount == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(*pageCount);
    line += QStringLiteral(" · ") + wholePoints(settings.fontSize) + QStringLiteral(" pt ") +
            qstr(settings.font.name());
    if (settings.highContrast) line += QStringLiteral(" · high contrast");
    return line;
}

QString notesLabel(std::size_t count, bool fileOpen)
{
    if (count == 0 || !fileOpen) return {};
    return QStringLiteral("%1 note%2 in Settings").arg(count).arg(count == 1 ? QString() : QStringLiteral("s"));
}

const LargePrintPreset* matchingPreset(const LargePrintSettings& settings)
{
    for (const auto& preset : LargePrintPreset::all())
        if (preset.settings == settings) return &preset;
    return nullptr;
}

QString presetTitle(const LargePrintSettings& settings)
{
    const auto* preset = matchingPreset(settings);
    return preset ? qstr(preset->name) : QStringLiteral("Custom");
}

QString sampleTitle(const QString& fileName)
{
    const auto dot = fileName.lastIndexOf(u'.');
    return dot > 0 ? fileName.left(dot) : fileName;
}

const SliderWording sizeSlider{
    "Size", 14, 32, 1, [](double v) { return wholePoints(v) + QStringLiteral(" pt"); },
    [](double v) { return wholePoints(v) + QStringLiteral(" points"); }};
const SliderWording lineSpacingSlider{
    "Line spacing", 1.15, 2.0, 0.05, [](double v) { return twoDecimals(v) + QStringLiteral("×"); },
    [](double v) { return twoDecimals(v) + QStringLiteral(" times the size"); }};
const SliderWording marginSlider{
    "Margins", 0.4, 1.5, 0.05, [](double v) { return twoDecimals(v) + QStringLiteral(" in"); },
    [](double v) { return twoDecimals(v) + QStringLiteral(" inches"); }};
const SliderWording listSpacingSlider{
    "Space between list items", 0, 1.5, 0.05, [](double v) { return twoDecimals(v); },
    [](double v) { return twoDecimals(v) + QStringLiteral(" lines"); }};

int sliderPosition(const SliderWording& slider, double value)
{
    if (!std::isfinite(value)) return 0;
    const double clamped = std::clamp(value, slider.lower, slider.upper);
    return static_cast<int>(std::lround((clamped - slider.lower) / slider.step));
}

double sliderValue(const SliderWording& slider, int position)
{
    const double value = slider.lower + position * slider.step;
    return std::clamp(std::round(value * 100) / 100, slider.lower, slider.upper);
}

} // namespace FolmiraApp
