#include "FolmiraApp/Views/LabeledSlider.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace FolmiraApp {

namespace {

class SpokenSliderAccessible : public QAccessibleWidget {
public:
    explicit SpokenSliderAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Slider) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) return static_cast<SpokenSlider*>(widget())->spoken();
        return QAccessibleWidget::text(kind);
    }
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

void SpokenSlider::setSpoken(const QString& spoken)
{
    if (spoken == spoken_) return;
    spoken_ = spoken;
    setAccessibleDescription(spoken);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, spoken);
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
    row->addWidget(new QLabel(title, this));
    row->addStretch(1);
    value_ = new QLabel(this);
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPointSizeF(font().pointSizeF());
    value_->setFont(digits);
    auto palette = value_->palette();
    QColor secondary = palette.color(QPalette::WindowText);
    secondary.setAlphaF(0.6);
    palette.setColor(QPalette::WindowText, secondary);
    value_->setPalette(palette);
    row->addWidget(value_);
    column->addLayout(row);

    slider_ = new SpokenSlider(Qt::Horizontal, this);
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
