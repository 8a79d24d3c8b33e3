#pragma once

// The print-settings inspector: how the selected songbook or set list prints.
// Every control but High contrast writes one field of the book's settings as
// one change of the library (saved and previewed like any other); the size
// presets and High contrast are the document side's, through the host.
// Showing values never writes them. Without a selected book it shows nothing.

#include <QScrollArea>

#include <functional>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace TunequillKit {
struct BookSettings;
}

namespace Lyricade {

class AppModel;
class PointSlider;
struct PresetOption;

class InspectorView : public QScrollArea {
    Q_OBJECT

public:
    explicit InspectorView(AppModel& model, QWidget* parent = nullptr);
    ~InspectorView() override;

    // The form; hidden while no book is selected.
    QWidget* form() const { return form_; }
    QStringList sectionTitles() const;
    // The width the form needs beside its scroll bar: its widest picker shows
    // its longest choice whole, and its captions wrap within it.
    int neededWidth() const;
    // The least width it does with, its choices and captions wrapped to their
    // longest words and its rows stacked.
    int leastWidth() const;

signals:
    // The needed or the least width changed (fonts set, choices filled).
    void neededWidthChanged();

public:

    QComboBox* presetPicker() const { return preset_; }
    QCheckBox* highContrastToggle() const { return highContrast_; }
    QLabel* sizeText() const { return sizeText_; }
    PointSlider* sizeSlider() const { return size_; }
    QComboBox* pageSizePicker() const { return pageSize_; }
    QComboBox* typefacePicker() const { return typeface_; }
    QCheckBox* boldChorusToggle() const { return boldChorus_; }
    QCheckBox* chordsInColorToggle() const { return chordsInColor_; }
    QComboBox* flowPicker() const { return flow_; }
    QButtonGroup* columnsPicker() const { return columns_; }
    QCheckBox* spreadsToggle() const { return spreads_; }
    QCheckBox* repeatChorusToggle() const { return repeatChorus_; }
    QCheckBox* diagramsToggle() const { return diagrams_; }
    QComboBox* spellingPicker() const { return accidentals_; }
    QCheckBox* nashvilleToggle() const { return nashville_; }
    QCheckBox* setListPageToggle() const { return setListPage_; }
    QCheckBox* contentsToggle() const { return contents_; }
    QCheckBox* indexToggle() const { return index_; }
    QCheckBox* pageNumbersToggle() const { return pageNumbers_; }
    QPushButton* licensingLink() const { return licensing_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLargePrint(QVBoxLayout* into);
    void buildPrint(QVBoxLayout* into);
    void buildLayout(QVBoxLayout* into);
    void buildChords(QVBoxLayout* into);
    void buildPages(QVBoxLayout* into);
    void buildLicensing(QVBoxLayout* into);
    // One change of the selected book's settings; nothing without one.
    void write(const std::function<void(TunequillKit::BookSettings&)>& change);
    void toggles(QCheckBox* box, bool TunequillKit::BookSettings::*field);
    void refresh();
    void refreshPresets(double fontSize);

    AppModel& model_;
    QWidget* form_;
    int neededWidth_ = 0;
    int leastWidth_ = 0;
    std::vector<QGroupBox*> sections_;
    std::vector<PresetOption> presets_;
    QWidget* presetRow_ = nullptr;
    QComboBox* preset_ = nullptr;
    QCheckBox* highContrast_ = nullptr;
    QLabel* sizeText_ = nullptr;
    PointSlider* size_ = nullptr;
    QComboBox* pageSize_ = nullptr;
    QComboBox* typeface_ = nullptr;
    QCheckBox* boldChorus_ = nullptr;
    QCheckBox* chordsInColor_ = nullptr;
    QComboBox* flow_ = nullptr;
    QButtonGroup* columns_ = nullptr;
    QCheckBox* spreads_ = nullptr;
    QCheckBox* repeatChorus_ = nullptr;
    QCheckBox* diagrams_ = nullptr;
    QComboBox* accidentals_ = nullptr;
    QCheckBox* nashville_ = nullptr;
    QCheckBox* setListPage_ = nullptr;
    QLabel* setListPageCaption_ = nullptr;
    QCheckBox* contents_ = nullptr;
    QCheckBox* index_ = nullptr;
    QCheckBox* pageNumbers_ = nullptr;
    QPushButton* licensing_ = nullptr;
};

} // namespace Lyricade
