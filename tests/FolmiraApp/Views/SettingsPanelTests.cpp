// The settings panel: its sections and controls, presets, notes, and that
// refreshing it never writes the settings.

#include "../Fakes.h"

#include "FolmiraApp/Views/LabeledSlider.h"
#include "FolmiraApp/Views/SettingsPanel.h"
#include "Lyricade/Views/FocusInView.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

namespace FolmiraAppTest {
namespace {

using FolmiraKit::LargePrintFont;
using FolmiraKit::LargePrintPreset;

class SettingsPanelTest : public ModelTest {
protected:
    SettingsPanel& panel()
    {
        if (!panel_) panel_ = std::make_unique<SettingsPanel>(model ? *model : make());
        return *panel_;
    }
    void TearDown() override
    {
        panel_.reset();
        ModelTest::TearDown();
    }
    static QStringList items(QComboBox* combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        return texts;
    }
    std::unique_ptr<SettingsPanel> panel_;
};

TEST_F(SettingsPanelTest, SectionsAndControls)
{
    auto& p = panel();
    QStringList sections;
    for (auto* box : p.findChildren<QGroupBox*>()) sections << box->title();
    EXPECT_EQ(sections, QStringList({"Preset", "Text", "Page", "Content", "What changed"}));
    EXPECT_EQ(items(p.fontPicker()), QStringList({"Atkinson Hyperlegible", "Verdana", "Arial", "Helvetica"}));
    EXPECT_EQ(items(p.paperPicker()), QStringList({"US Letter (8.5 × 11 in)", "A4 (210 × 297 mm)",
                                                   "US Legal (8.5 × 14 in)", "Half Letter (5.5 × 8.5 in)"}));
    EXPECT_EQ(items(p.tablesPicker()), QStringList({"Keep as tables when they fit", "List each row"}));
    EXPECT_EQ(p.highContrastToggle()->accessibleName(), "High contrast (bold text, heavier lines)");
    EXPECT_EQ(p.pageNumbersToggle()->accessibleName(), "Page numbers (“Page 2 of 5”)");
    EXPECT_EQ(p.picturesToggle()->accessibleName(), "Pictures");
    EXPECT_EQ(p.lineBreaksToggle()->accessibleName(), "Keep every line break");
    EXPECT_EQ(p.lineBreaksToggle()->toolTip(), "For lyrics, poems and addresses in text files");
    EXPECT_EQ(p.exportButton()->text(), "Export Large-Print PDF…");
    EXPECT_EQ(p.printButton()->text(), "Print…");
    QStringList labels;
    for (auto* label : p.findChildren<QLabel*>()) labels << label->text();
    for (const char* title : {"Font", "Size", "Line spacing", "Paper", "Margins", "Tables", "Space between list items",
                              "High contrast (bold text, heavier lines)", "Page numbers (“Page 2 of 5”)", "Pictures",
                              "Keep every line break"})
        EXPECT_TRUE(labels.contains(title)) << title;
}

TEST_F(SettingsPanelTest, FitsTheNarrowestInspector)
{
    auto& p = panel();
    p.resize(290, 600);
    p.show();
    EXPECT_LE(p.widget()->minimumSizeHint().width(), p.viewport()->width());
}

TEST_F(SettingsPanelTest, SliderTextsAndSpokenValues)
{
    auto& p = panel();
    struct Case {
        LabeledSlider* slider;
        QString text;
        QString spoken;
        QString name;
        double value, minimum, maximum, step;
    };
    const Case cases[] = {{p.sizeSlider(), "18 pt", "18 points", "Size", 18, 14, 32, 1},
                          {p.lineSpacingSlider(), "1.40×", "1.40 times the size", "Line spacing", 1.4, 1.15, 2, 0.05},
                          {p.marginSlider(), "0.75 in", "0.75 inches", "Margins", 0.75, 0.4, 1.5, 0.05},
                          {p.listSpacingSlider(), "0.35", "0.35 lines", "Space between list items", 0.35, 0, 1.5,
                           0.05}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.slider->text(), c.text);
        EXPECT_EQ(c.slider->spoken(), c.spoken);
        EXPECT_EQ(c.slider->slider()->accessibleName(), c.name);
        auto* accessible = QAccessible::queryAccessibleInterface(c.slider->slider());
        ASSERT_TRUE(accessible);
        EXPECT_EQ(accessible->role(), QAccessible::Slider);
        EXPECT_EQ(accessible->text(QAccessible::Name), c.name);
        EXPECT_EQ(accessible->text(QAccessible::Value), c.spoken);
        // The value interface that screen readers read and set, in the setting's units.
        auto* value = accessible->valueInterface();
        ASSERT_TRUE(value) << c.name.toStdString();
        EXPECT_NEAR(value->currentValue().toDouble(), c.value, 1e-9);
        EXPECT_NEAR(value->minimumValue().toDouble(), c.minimum, 1e-9);
        EXPECT_NEAR(value->maximumValue().toDouble(), c.maximum, 1e-9);
        EXPECT_NEAR(value->minimumStepSize().toDouble(), c.step, 1e-9);
    }
}

TEST_F(SettingsPanelTest, AScreenReaderSetsASliderLikeAHand)
{
    auto& p = panel();
    auto* value = QAccessible::queryAccessibleInterface(p.sizeSlider()->slider())->valueInterface();
    ASSERT_TRUE(value);
    value->setCurrentValue(24.0);
    EXPECT_EQ(model->settings().fontSize, 24);
    EXPECT_EQ(p.sizeSlider()->spoken(), "24 points");
    EXPECT_NEAR(value->currentValue().toDouble(), 24, 1e-9);
}

QWheelEvent wheelDown(QWidget* over)
{
    const QPointF at(over->width() / 2.0, over->height() / 2.0);
    return QWheelEvent(at, over->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
}

TEST_F(SettingsPanelTest, TheWheelScrollsPastValueControlsWithoutFocus)
{
    auto& p = panel();
    p.resize(300, 240);
    p.show();
    const auto before = model->settings();
    auto* bar = p.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    for (QWidget* control : std::initializer_list<QWidget*>{p.sizeSlider()->slider(), p.lineSpacingSlider()->slider(),
                                                            p.paperPicker(), p.fontPicker()}) {
        const int scrolled = bar->value();
        auto event = wheelDown(control);
        QApplication::sendEvent(control, &event);
        EXPECT_GT(bar->value(), scrolled);
        bar->setValue(0);
    }
    EXPECT_EQ(model->settings(), before);
    EXPECT_EQ(p.sizeSlider()->text(), "18 pt");
    EXPECT_EQ(p.paperPicker()->currentIndex(), 0);
}

TEST_F(SettingsPanelTest, AFocusedSliderTakesTheWheel)
{
    auto& p = panel();
    p.resize(300, 240);
    p.show();
    p.activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(&p));
    auto* slider = p.sizeSlider()->slider();
    slider->setFocus();
    ASSERT_TRUE(slider->hasFocus());
    // Where the focus brought the panel: the wheel moves it no further.
    const int scrolled = p.verticalScrollBar()->value();
    auto event = wheelDown(slider);
    QApplication::sendEvent(slider, &event);
    EXPECT_NE(model->settings().fontSize, 18);
    EXPECT_EQ(p.verticalScrollBar()->value(), scrolled);
}

TEST_F(SettingsPanelTest, KeyboardFocusScrollsAControlWholeIntoViewAndAClickActsWhereItLands)
{
    Lyricade::keepFocusInView();
    auto& p = panel();
    p.resize(300, 240);
    p.show();
    p.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&p));
    QCheckBox* box = p.pageNumbersToggle();
    const int middle = box->mapTo(p.widget(), QPoint(0, box->height() / 2)).y();
    // The view's edge across the middle of the box, which shows its upper or lower half.
    for (auto [scrolled, pressAt] : {std::pair(middle - p.viewport()->height(), box->height() / 2 - 2),
                                     std::pair(middle, box->height() / 2 + 2)}) {
        // The keyboard and the application bring it whole into view; a window or popup giving the focus back doesn't.
        const std::pair<Qt::FocusReason, bool> reasons[] = {{Qt::TabFocusReason, true},
                                                            {Qt::ShortcutFocusReason, true},
                                                            {Qt::OtherFocusReason, true},
                                                            {Qt::ActiveWindowFocusReason, false},
                                                            {Qt::PopupFocusReason, false}};
        for (auto [reason, scrolls] : reasons) {
            p.fontPicker()->setFocus();
            p.verticalScrollBar()->setValue(scrolled);
            box->setFocus(reason);
            EXPECT_EQ(p.viewport()->rect().contains(QRect(box->mapTo(p.viewport(), QPoint()), box->size())), scrolls)
                << "focus reason " << reason;
        }
        p.fontPicker()->setFocus();
        p.verticalScrollBar()->setValue(scrolled);
        const bool checked = box->isChecked();
        const QPoint pointer = box->mapToGlobal(QPoint(box->height() / 2, pressAt));
        QTest::mousePress(box, Qt::LeftButton, {}, box->mapFromGlobal(pointer));
        QTest::mouseRelease(box, Qt::LeftButton, {}, box->mapFromGlobal(pointer));
        EXPECT_NE(box->isChecked(), checked) << "the click acts where it landed";
    }
}

TEST_F(SettingsPanelTest, PresetsAndCustom)
{
    auto& p = panel();
    EXPECT_EQ(items(p.presetPicker()),
              QStringList({"Large print 18 pt", "Extra large 24 pt", "Recipe card", "Hymn sheet / lyrics"}));
    EXPECT_EQ(p.presetPicker()->currentText(), "Large print 18 pt");
    EXPECT_EQ(p.presetDetail()->text(), "The usual large-print size: 18 pt, 1.4 spacing, Letter.");
    EXPECT_FALSE(p.presetDetail()->isHidden());

    p.fontPicker()->setCurrentIndex(1);
    emit p.fontPicker()->activated(1);
    EXPECT_EQ(model->settings().font, LargePrintFont::verdana);
    EXPECT_EQ(p.presetPicker()->count(), 5);
    EXPECT_EQ(p.presetPicker()->currentText(), "Custom");
    EXPECT_TRUE(p.presetDetail()->isHidden());

    const auto before = model->settings();
    emit p.presetPicker()->activated(4); // "Custom" changes nothing
    EXPECT_EQ(model->settings(), before);

    emit p.presetPicker()->activated(2);
    EXPECT_EQ(model->settings(), LargePrintPreset::recipeCard().settings);
    EXPECT_EQ(p.presetPicker()->count(), 4);
    EXPECT_EQ(p.presetPicker()->currentText(), "Recipe card");
    EXPECT_FALSE(p.picturesToggle()->isChecked());
    EXPECT_EQ(p.tablesPicker()->currentText(), "List each row");
    EXPECT_EQ(p.sizeSlider()->text(), "20 pt");
}

TEST_F(SettingsPanelTest, ControlsWriteOneFieldAndASliderStepBackRestoresThePreset)
{
    auto& p = panel();
    auto* spacing = p.lineSpacingSlider()->slider();
    spacing->setValue(spacing->value() + 1);
    EXPECT_DOUBLE_EQ(model->settings().lineSpacing, 1.45);
    EXPECT_EQ(p.presetPicker()->currentText(), "Custom");
    spacing->setValue(spacing->value() - 1);
    EXPECT_EQ(model->settings(), LargePrintSettings{});
    EXPECT_EQ(p.presetPicker()->currentText(), "Large print 18 pt");

    p.highContrastToggle()->click();
    EXPECT_TRUE(model->settings().highContrast);
    p.pageNumbersToggle()->click();
    EXPECT_FALSE(model->settings().pageNumbers);
    emit p.paperPicker()->activated(3);
    EXPECT_EQ(model->settings().paper, LargePrintSettings::Paper::halfLetter);
}

TEST_F(SettingsPanelTest, BuildingAndRefreshingNeverWritesTheSettings)
{
    auto& m = make();
    QSignalSpy writes(&m, &AppModel::settingsChanged);
    panel();
    EXPECT_EQ(writes.count(), 0);
    EXPECT_FALSE(defaults->contains("settings"));
    auto s = m.settings();
    s.fontSize = 25;
    s.margin = 1.2;
    s.tables = LargePrintSettings::TableMode::list;
    m.setSettings(s);
    EXPECT_EQ(writes.count(), 1);
    EXPECT_EQ(m.settings(), s);
    EXPECT_EQ(panel().sizeSlider()->text(), "25 pt");
    EXPECT_EQ(panel().marginSlider()->text(), "1.20 in");
    m.setSettings(LargePrintPreset::hymnSheet().settings);
    EXPECT_EQ(writes.count(), 2);
    EXPECT_TRUE(panel().lineBreaksToggle()->isChecked());
}

TEST_F(SettingsPanelTest, WhatChangedListsTheNotes)
{
    auto& p = panel();
    EXPECT_TRUE(p.notesSection()->isHidden());
    openAndSettle(file("a.txt"));
    EXPECT_FALSE(p.notesSection()->isHidden());
    EXPECT_EQ(p.noteTexts(), QStringList({"Read by the fake."}));
    model->closeDocument();
    EXPECT_TRUE(p.notesSection()->isHidden());
}

} // namespace
} // namespace FolmiraAppTest
