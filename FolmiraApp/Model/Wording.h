#pragma once

// The texts the document window builds from the model's values: the detail
// line of the large-print pane, the status bar's notes label, the preset
// shown, the sliders' shown and spoken values, the sample menu's titles.

#include "FolmiraKit/FolmiraKit.h"
#include "FolmiraKit/Render/Renderer.h"

#include <QString>

#include <optional>

namespace FolmiraApp {

// "3 pages · 18 pt Atkinson Hyperlegible · high contrast" with a result;
// else "Reading…" while reading; else "".
QString detailLine(std::optional<int> pageCount, const FolmiraKit::LargePrintSettings& settings, bool reading);

// "1 note in Settings", "5 notes in Settings"; "" without notes or without a file.
QString notesLabel(std::size_t count, bool fileOpen);

// The first preset equal to the settings in every field, or none.
const FolmiraKit::LargePrintPreset* matchingPreset(const FolmiraKit::LargePrintSettings& settings);
// Its name, or "Custom".
QString presetTitle(const FolmiraKit::LargePrintSettings& settings);

// A sample's menu title: the file name without its last extension.
QString sampleTitle(const QString& fileName);

// One numeric setting: how its slider moves and how its value reads.
struct SliderWording {
    const char* title;
    double lower;
    double upper;
    double step;
    QString (*shown)(double);
    QString (*spoken)(double);
};
extern const SliderWording sizeSlider;        // "18 pt", "18 points"
extern const SliderWording lineSpacingSlider; // "1.40×", "1.40 times the size"
extern const SliderWording marginSlider;      // "0.75 in", "0.75 inches"
extern const SliderWording listSpacingSlider; // "0.35", "0.35 lines"

// The slider position of a value, and the value of a position: a whole number
// of steps from the lower end, rounded to hundredths so that 1.15 + 5 × 0.05
// is exactly 1.4 (and a preset still matches).
int sliderPosition(const SliderWording& slider, double value);
double sliderValue(const SliderWording& slider, int position);

} // namespace FolmiraApp
