#pragma once

// The inspector of Document mode: every field of the document look, the
// presets, the notes of the last conversion, and export and print. It keeps no
// state: each control writes one field of the model's settings, and the
// panel is refreshed from the model (under signal blockers, so refreshing
// never writes back).

#include "FolmiraKit/FolmiraKit.h"
#include "FolmiraKit/Render/Renderer.h"

#include <QScrollArea>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace FolmiraApp {

class AppModel;
class LabeledSlider;

class SettingsPanel : public QScrollArea {
    Q_OBJECT

public:
    explicit SettingsPanel(AppModel& model, QWidget* parent = nullptr);

    QComboBox* presetPicker() const { return preset_; }
    QLabel* presetDetail() const { return presetDetail_; }
    QComboBox* fontPicker() const { return font_; }
    QComboBox* paperPicker() const { return paper_; }
    QComboBox* tablesPicker() const { return tables_; }
    LabeledSlider* sizeSlider() const { return size_; }
    LabeledSlider* lineSpacingSlider() const { return lineSpacing_; }
    LabeledSlider* marginSlider() const { return margin_; }
    LabeledSlider* listSpacingSlider() const { return listSpacing_; }
    QCheckBox* highContrastToggle() const { return highContrast_; }
    QCheckBox* pageNumbersToggle() const { return pageNumbers_; }
    QCheckBox* picturesToggle() const { return pictures_; }
    QCheckBox* lineBreaksToggle() const { return lineBreaks_; }
    QGroupBox* notesSection() const { return notesSection_; }
    QStringList noteTexts() const;
    QPushButton* exportButton() const { return export_; }
    QPushButton* printButton() const { return print_; }

private:
    void refreshSettings();
    void refreshPreset(const FolmiraKit::LargePrintPreset* match);
    void refreshNotes();
    void refreshButtons();
    void edit(const std::function<void(FolmiraKit::LargePrintSettings&)>& change);

    AppModel& model_;
    QComboBox* preset_;
    QLabel* presetDetail_;
    QComboBox* font_;
    LabeledSlider* size_;
    LabeledSlider* lineSpacing_;
    QCheckBox* highContrast_;
    QComboBox* paper_;
    LabeledSlider* margin_;
    QCheckBox* pageNumbers_;
    QCheckBox* pictures_;
    QComboBox* tables_;
    QCheckBox* lineBreaks_;
    LabeledSlider* listSpacing_;
    QGroupBox* notesSection_;
    QVBoxLayout* notesList_;
    QPushButton* export_;
    QPushButton* print_;
};

} // namespace FolmiraApp
