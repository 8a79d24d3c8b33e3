#include "Lyricade/Views/InspectorParts.h"

#include "Lyricade/Views/ColumnFit.h"
#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/SegmentedChoice.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace Lyricade::InspectorParts {

namespace {

// A caption that passes clicks to its check box.
class ToggleCaption : public QLabel {
public:
    ToggleCaption(const QString& text, QCheckBox* box, QWidget* parent) : QLabel(text, parent), box_(box)
    {
        setWordWrap(true);
        setBuddy(box);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && box_->isEnabled()) box_->click();
    }

private:
    QCheckBox* box_;
};

// A flat button whose text, in the link colour, wraps at its spaces.
class WrappingLink : public QPushButton {
public:
    WrappingLink(const QString& text, QWidget* parent) : QPushButton(text, parent)
    {
        setFlat(true);
        setCursor(Qt::PointingHandCursor);
        QSizePolicy policy(QSizePolicy::Maximum, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    QSize sizeHint() const override { return around(textIn(QWIDGETSIZE_MAX)); }
    QSize minimumSizeHint() const override { return around({textIn(1).width(), fontMetrics().height()}); }
    int heightForWidth(int width) const override { return around(textIn(width - 2 * inset)).height(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Link));
        painter.drawText(rect().adjusted(inset, inset, -inset, -inset),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text());
    }

private:
    // Clear of the focus ring drawn along the edge.
    static constexpr int inset = FocusRing::width + 2;

    QSize textIn(int room) const
    {
        return fontMetrics().boundingRect(QRect(0, 0, std::max(1, room), 0), Qt::TextWordWrap, text()).size();
    }
    static QSize around(QSize text) { return text + QSize(2 * inset, 2 * inset); }
};

} // namespace

QGroupBox* section(const QString& title, QWidget* parent, QVBoxLayout* into, int spacing)
{
    auto* box = new QGroupBox(title, parent);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(spacing);
    into->addWidget(box);
    return box;
}

QVBoxLayout* rows(QGroupBox* section)
{
    return static_cast<QVBoxLayout*>(section->layout());
}

QComboBox* picker(const QString& caption, QGroupBox* section, const QString& help)
{
    // The caption stands above the box, which gets the column's whole width:
    // beside it, long choices ("US Letter (8.5 × 11 in)") were cut at large fonts.
    auto* row = new QVBoxLayout;
    row->setSpacing(2);
    auto* label = new QLabel(caption, section);
    auto* combo = new WrappingPicker(section);
    combo->setAccessibleName(caption);
    combo->setToolTip(help);
    label->setBuddy(combo);
    row->addWidget(label);
    row->addWidget(combo);
    rows(section)->addLayout(row);
    return combo;
}

QCheckBox* toggle(const QString& caption, QGroupBox* section, const QString& help)
{
    auto* holder = new QWidget(section);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* box = new QCheckBox(holder);
    box->setAccessibleName(caption);
    box->setToolTip(help);
    auto* label = new ToggleCaption(caption, box, holder);
    label->setToolTip(help);
    row->addWidget(box, 0, Qt::AlignTop);
    row->addWidget(label, 1);
    rows(section)->addWidget(holder);
    return box;
}

QLabel* captionOf(QWidget* control)
{
    for (auto* label : control->parentWidget()->findChildren<QLabel*>())
        if (label->buddy() == control) return label;
    return nullptr;
}

void showChoices(QComboBox* combo, const QStringList& choices, int current)
{
    const QSignalBlocker quiet(combo);
    QStringList now;
    for (int i = 0; i < combo->count(); ++i) now << combo->itemText(i);
    if (now != choices) {
        combo->clear();
        combo->addItems(choices);
    }
    if (combo->currentIndex() != current) combo->setCurrentIndex(current);
}

QButtonGroup* segments(const QString& caption, const QStringList& options, QGroupBox* section)
{
    auto* holder = new QWidget(section);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(caption, holder));
    row->addStretch(1);
    auto* choice = new SegmentedChoice(caption, holder);
    for (const QString& option : options) choice->addSegment(option);
    // At the row's end beside its caption, at its start under it.
    row->addWidget(choice, 0, Qt::AlignLeft);
    rows(section)->addWidget(holder);
    new RowFit(holder, row, true);
    return choice->group();
}

QPushButton* link(const QString& text, QGroupBox* section)
{
    auto* button = new WrappingLink(text, section);
    FocusRing::ringWhenFocused(button); // drawn as text, it has no ring of its own
    rows(section)->addWidget(button, 0, Qt::AlignLeft);
    return button;
}

} // namespace Lyricade::InspectorParts

namespace Lyricade {

WrappingPicker::WrappingPicker(QWidget* parent) : QComboBox(parent)
{
    // As wide as its longest choice where the column has room for it.
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // Taller by the lines its choice wraps onto (a fixed height would hold one).
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int WrappingPicker::textRoom(int width) const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, width, sizeHint().height());
    // Less the label's own inset (a pixel at each end).
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width() - 2;
}

QString WrappingPicker::shown(QString choice)
{
    bool bracketed = false;
    for (QChar& c : choice) {
        if (c == u'(') bracketed = true;
        else if (c == u')') bracketed = false;
        else if (bracketed && c == u' ') c = QChar::Nbsp;
    }
    return choice;
}

QSize WrappingPicker::wrapped(const QString& choice, int room) const
{
    return fontMetrics().boundingRect(QRect(0, 0, room, 0), Qt::TextWordWrap, shown(choice)).size();
}

QSize WrappingPicker::minimumSizeHint() const
{
    const QSize whole = sizeHint();
    // Laid out one piece a line, a text is as wide as its longest word.
    int longest = 0;
    for (int i = 0; i < count(); ++i)
        longest = std::max(longest, wrapped(itemText(i), 1).width());
    const int frame = whole.width() - textRoom(whole.width());
    return {std::min(whole.width(), longest + frame), whole.height()};
}

int WrappingPicker::heightForWidth(int width) const
{
    const int room = std::max(1, textRoom(width));
    const int line = fontMetrics().lineSpacing();
    // As tall as the choice that wraps onto the most lines, so that choosing
    // another does not move the rows below.
    int tallest = line;
    for (int i = 0; i < count(); ++i) tallest = std::max(tallest, wrapped(itemText(i), room).height());
    const int lines = std::max(1, static_cast<int>(std::lround(tallest / double(line))));
    return sizeHint().height() + (lines - 1) * line;
}

WrappingButton::WrappingButton(const QIcon& icon, const QString& text, QWidget* parent)
    : QPushButton(icon, text, parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int WrappingButton::aroundText() const
{
    return QPushButton::sizeHint().width() - fontMetrics().horizontalAdvance(text());
}

QSize WrappingButton::wrapped(int room) const
{
    return fontMetrics().boundingRect(QRect(0, 0, std::max(1, room), 0), Qt::TextWordWrap, text()).size();
}

QSize WrappingButton::minimumSizeHint() const
{
    const QSize whole = QPushButton::sizeHint();
    return {std::min(whole.width(), aroundText() + wrapped(1).width()), std::max(whole.height(), minimumHeight())};
}

int WrappingButton::heightForWidth(int width) const
{
    const int oneLine = std::max(QPushButton::sizeHint().height(), minimumHeight());
    if (width >= QPushButton::sizeHint().width()) return oneLine;
    const int line = fontMetrics().lineSpacing();
    const int lines = std::max(1, static_cast<int>(std::lround(wrapped(width - aroundText()).height() / double(line))));
    return oneLine + (lines - 1) * line;
}

void WrappingButton::paintEvent(QPaintEvent* event)
{
    if (width() >= QPushButton::sizeHint().width()) return QPushButton::paintEvent(event);
    // The style draws the button without its label (its frame, its focus),
    // then the icon and the words wrapped beside it.
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = {};
    QPainter painter(this);
    style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
    const QRect inside = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const int gap = icon().isNull() ? 0 : iconSize().width() + 4;
    const QSize words = wrapped(width() - aroundText());
    const int left = inside.left() + std::max(0, (inside.width() - gap - words.width()) / 2);
    if (!icon().isNull())
        icon().paint(&painter, QRect(left, inside.center().y() - iconSize().height() / 2, iconSize().width(),
                                     iconSize().height()),
                     Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    style()->drawItemText(&painter, QRect(left + gap, inside.top(), words.width(), inside.height()),
                          Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(), text(), QPalette::ButtonText);
}

void WrappingPicker::initStyleOption(QStyleOptionComboBox* option) const
{
    QComboBox::initStyleOption(option);
    // The style hands the label's alignment to the text it draws, wrapping too.
    option->textAlignment = Qt::Alignment::fromInt(option->textAlignment.toInt() | Qt::TextWordWrap);
    option->currentText = shown(option->currentText);
}

namespace {

// The slider's value in points (18.5, not its position 185), its spoken text
// the wording the view gives it as its description.
class PointSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit PointSliderAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) return slider()->accessibleDescription();
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return slider()->points(); }
    void setCurrentValue(const QVariant& value) override
    {
        slider()->setValue(static_cast<int>(std::lround(value.toDouble())) * PointSlider::steps);
    }
    QVariant maximumValue() const override { return slider()->maximum() / double(PointSlider::steps); }
    QVariant minimumValue() const override { return slider()->minimum() / double(PointSlider::steps); }
    QVariant minimumStepSize() const override { return 1.0; }

private:
    PointSlider* slider() const { return static_cast<PointSlider*>(widget()); }
};

QAccessibleInterface* pointSliderFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("Lyricade::PointSlider") && object && object->isWidgetType())
        return new PointSliderAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

PointSlider::PointSlider(double lowest, double highest, QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    static const bool readable = [] {
        QAccessible::installFactory(pointSliderFactory);
        return true;
    }();
    (void)readable;
    setRange(static_cast<int>(lowest * steps), static_cast<int>(highest * steps));
    setSingleStep(steps);
    setPageStep(steps);
    setTickInterval(steps);
    connect(this, &QSlider::valueChanged, this, [this](int position) {
        if (showing_) return;
        // The user's moves land on whole points.
        const int whole = static_cast<int>(std::lround(position / double(steps))) * steps;
        if (whole != position) {
            setValue(whole);
            return;
        }
        emit pointsChosen(whole / double(steps));
    });
}

void PointSlider::showPoints(double points)
{
    showing_ = true;
    setValue(static_cast<int>(std::lround(points * steps)));
    showing_ = false;
}

} // namespace Lyricade
