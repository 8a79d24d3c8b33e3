#include "FolmiraApp/Views/LabeledSlider.h"

#include "Lyricade/Views/FontRoles.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace FolmiraApp {

namespace {

// The slider as assistive technologies see it: a value they can read and
// set, in the setting's own units (18, not a step count), and our wording of
// it as the value's text.
class SpokenSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SpokenSliderAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) return slider()->spoken();
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return slider()->settingValue(); }
    void setCurrentValue(const QVariant& value) override { slider()->setSettingValue(value.toDouble()); }
    QVariant maximumValue() const override { return slider()->settingFor(slider()->maximum()); }
    QVariant minimumValue() const override { return slider()->settingFor(slider()->minimum()); }
    QVariant minimumStepSize() const override
    {
        return slider()->settingFor(slider()->minimum() + 1) - slider()->settingFor(slider()->minimum());
    }

private:
    SpokenSlider* slider() const { return static_cast<SpokenSlider*>(widget()); }
};

QAccessibleInterface* spokenSliderFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("FolmiraApp::SpokenSlider") && object && object->isWidgetType())
        return new SpokenSliderAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void installSpokenSliderAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(spokenSliderFactory);
        return true;
    }();
    (void)installed;
}

double SpokenSlider::settingFor(int position) const
{
    return wording_ ? FolmiraApp::sliderValue(*wording_, position) : position;
}

void SpokenSlider::setSettingValue(double value)
{
    setValue(wording_ ? FolmiraApp::sliderPosition(*wording_, value) : static_cast<int>(std::lround(value)));
}

void SpokenSlider::setSpoken(const QString& spoken)
{
    if (spoken == spoken_) return;
    spoken_ = spoken;
    setAccessibleDescription(spoken);
    // Qt announces a move of the slider itself; new words at the same place are announced here.
    const bool moved = std::exchange(spokenAt_, value()) != value();
    if (!moved && QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, settingValue());
        QAccessible::updateAccessibility(&event);
    }
}

LabeledSlider::LabeledSlider(const SliderWording& wording, std::function<void(double)> changed, QWidget* parent)
    : QWidget(parent), wording_(wording), changed_(std::move(changed))
{
    installSpokenSliderAccessibility();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    const QString title = QString::fromUtf8(wording_.title);
    auto* caption = new QLabel(title, this);
    caption->setWordWrap(true); // the title wraps before the value is cut
    row->addWidget(caption, 1);
    value_ = new QLabel(this);
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPointSizeF(font().pointSizeF());
    value_->setFont(digits);
    auto palette = value_->palette();
    palette.setColor(QPalette::WindowText, Lyricade::FontRole::secondary(this));
    value_->setPalette(palette);
    row->addWidget(value_);
    column->addLayout(row);

    slider_ = new SpokenSlider(Qt::Horizontal, this);
    slider_->setWording(&wording_);
    slider_->setRange(0, sliderPosition(wording_, wording_.upper));
    slider_->setSingleStep(1);
    slider_->setPageStep(1);
    slider_->setAccessibleName(title);
    column->addWidget(slider_);

    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        const double value = sliderValue(wording_, position);
        value_->setText(wording_.shown(value));
        slider_->setSpoken(wording_.spoken(value));
        if (changed_) changed_(value);
    });
}

void LabeledSlider::display(double value)
{
    const QSignalBlocker blocker(slider_);
    slider_->setValue(sliderPosition(wording_, value));
    value_->setText(wording_.shown(value));
    slider_->setSpoken(wording_.spoken(value));
}

QString LabeledSlider::text() const
{
    return value_->text();
}

} // namespace FolmiraApp
