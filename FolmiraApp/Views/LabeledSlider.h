#pragma once

// One numeric setting in the settings panel: its title, its value as text,
// and a slider that speaks a fuller wording of the value.

#include "FolmiraApp/Model/Wording.h"

#include <QSlider>
#include <QWidget>

#include <functional>

class QLabel;

namespace FolmiraApp {

// A slider whose spoken value is a text of ours ("18 points"), not its
// position, and whose accessible value is the setting itself (18, 1.4).
class SpokenSlider : public QSlider {
    Q_OBJECT

public:
    using QSlider::QSlider;
    const QString& spoken() const { return spoken_; }
    void setSpoken(const QString& spoken);

    // How positions map to the setting; without one a position is its value.
    void setWording(const SliderWording* wording) { wording_ = wording; }
    double settingFor(int position) const;
    double settingValue() const { return settingFor(value()); }
    void setSettingValue(double value);

private:
    QString spoken_;
    int spokenAt_ = -1; // the position the words were last given for
    const SliderWording* wording_ = nullptr;
};

class LabeledSlider : public QWidget {
    Q_OBJECT

public:
    // `changed` receives every value the user moves the slider to.
    LabeledSlider(const SliderWording& wording, std::function<void(double)> changed, QWidget* parent = nullptr);

    // Shows a value without reporting it as a change.
    void display(double value);

    QString text() const;
    QString spoken() const { return slider_->spoken(); }
    SpokenSlider* slider() const { return slider_; }

private:
    const SliderWording& wording_;
    std::function<void(double)> changed_;
    QLabel* value_;
    SpokenSlider* slider_;
};

// Lets assistive technologies read SpokenSlider's own wording. Installed once.
void installSpokenSliderAccessibility();

} // namespace FolmiraApp
