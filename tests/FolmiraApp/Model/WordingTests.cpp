// The window's texts built from the model's values.

#include "FolmiraApp/Model/Wording.h"

#include <gtest/gtest.h>

namespace FolmiraAppTest {
namespace {

using namespace FolmiraApp;
using FolmiraKit::LargePrintFont;
using FolmiraKit::LargePrintPreset;
using FolmiraKit::LargePrintSettings;

TEST(WordingTest, DetailLine)
{
    LargePrintSettings plain;
    LargePrintSettings bold;
    bold.highContrast = true;
    LargePrintSettings verdana;
    verdana.font = LargePrintFont::verdana;
    verdana.fontSize = 24.9;
    struct Case {
        std::optional<int> pages;
        LargePrintSettings settings;
        bool reading;
        QString expected;
    };
    const Case cases[] = {
        {3, bold, false, "3 pages · 18 pt Atkinson Hyperlegible · high contrast"},
        {1, plain, false, "1 page · 18 pt Atkinson Hyperlegible"},
        {0, plain, false, "0 pages · 18 pt Atkinson Hyperlegible"},
        {2, verdana, true, "2 pages · 24 pt Verdana"},
        {std::nullopt, plain, true, "Reading…"},
        {std::nullopt, plain, false, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(detailLine(c.pages, c.settings, c.reading), c.expected);
}

TEST(WordingTest, NotesLabel)
{
    EXPECT_EQ(notesLabel(1, true), "1 note in Settings");
    EXPECT_EQ(notesLabel(5, true), "5 notes in Settings");
    EXPECT_EQ(notesLabel(0, true), "");
    EXPECT_EQ(notesLabel(3, false), "");
}

TEST(WordingTest, PresetTitleNeedsEveryFieldEqual)
{
    LargePrintSettings s;
    EXPECT_EQ(presetTitle(s), "Large print 18 pt");
    s.fontSize = 20;
    EXPECT_EQ(presetTitle(s), "Custom");
    s.fontSize = 18;
    s.font = LargePrintFont::verdana;
    EXPECT_EQ(presetTitle(s), "Custom");
    for (const auto& preset : LargePrintPreset::all())
        EXPECT_EQ(presetTitle(preset.settings).toStdString(), preset.name);
}

TEST(WordingTest, SliderTexts)
{
    struct Case {
        const SliderWording& slider;
        double value;
        QString shown;
        QString spoken;
    };
    const Case cases[] = {
        {sizeSlider, 18, "18 pt", "18 points"},
        {sizeSlider, 18.7, "18 pt", "18 points"},
        {lineSpacingSlider, 1.4, "1.40×", "1.40 times the size"},
        {marginSlider, 0.75, "0.75 in", "0.75 inches"},
        {listSpacingSlider, 0.35, "0.35", "0.35 lines"},
        {listSpacingSlider, 0, "0.00", "0.00 lines"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.slider.shown(c.value), c.shown);
        EXPECT_EQ(c.slider.spoken(c.value), c.spoken);
    }
    EXPECT_STREQ(sizeSlider.title, "Size");
    EXPECT_STREQ(lineSpacingSlider.title, "Line spacing");
    EXPECT_STREQ(marginSlider.title, "Margins");
    EXPECT_STREQ(listSpacingSlider.title, "Space between list items");
}

TEST(WordingTest, SliderStepsLandOnExactValues)
{
    // Every preset's numbers survive a trip through their slider, so moving a
    // slider back to where it was brings the preset back.
    for (const auto& preset : LargePrintPreset::all()) {
        const auto& s = preset.settings;
        EXPECT_EQ(sliderValue(sizeSlider, sliderPosition(sizeSlider, s.fontSize)), s.fontSize);
        EXPECT_EQ(sliderValue(lineSpacingSlider, sliderPosition(lineSpacingSlider, s.lineSpacing)), s.lineSpacing);
        EXPECT_EQ(sliderValue(marginSlider, sliderPosition(marginSlider, s.margin)), s.margin);
        EXPECT_EQ(sliderValue(listSpacingSlider, sliderPosition(listSpacingSlider, s.listSpacing)), s.listSpacing);
    }
    EXPECT_EQ(sliderPosition(lineSpacingSlider, 1.15), 0);
    EXPECT_EQ(sliderPosition(lineSpacingSlider, 2.0), 17);
    EXPECT_EQ(sliderPosition(sizeSlider, 99), 18);
    EXPECT_EQ(sliderPosition(marginSlider, std::nan("")), 0);
}

TEST(WordingTest, SampleTitleDropsTheLastExtension)
{
    EXPECT_EQ(sampleTitle("Recipe.txt"), "Recipe");
    EXPECT_EQ(sampleTitle("Bulletin.en.md"), "Bulletin.en");
    EXPECT_EQ(sampleTitle("README"), "README");
}

} // namespace
} // namespace FolmiraAppTest
