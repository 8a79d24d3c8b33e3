#include "Lyricade/Views/FocusRing.h"

#include "Lyricade/Views/FontRoles.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyleOption>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>

namespace Lyricade::FocusRing {

namespace {

// The least contrast of a ring or an edge with what lies under and around
// it: a little over 3 : 1, as the smoothed pixels at a corner or along a
// curve fall a shade short of the colour drawn.
constexpr double least = 3.2;

// The margin kept around controls whose ring would cross their own drawing.
constexpr int room = width + 1;

// The corners of a ring around a whole control, and of a segment: square,
// so that the ring keeps to the control's edge even at the corners of a
// small icon button.
constexpr double aroundRadius = 0;

template <typename Option>
Option inset(const Option* option)
{
    Option within = *option;
    within.rect.adjust(room, room, -room, -room);
    return within;
}

bool checkElement(QStyle::SubElement element)
{
    switch (element) {
    case QStyle::SE_CheckBoxIndicator:
    case QStyle::SE_CheckBoxContents:
    case QStyle::SE_CheckBoxFocusRect:
    case QStyle::SE_CheckBoxClickRect:
    case QStyle::SE_RadioButtonIndicator:
    case QStyle::SE_RadioButtonContents:
    case QStyle::SE_RadioButtonFocusRect:
    case QStyle::SE_RadioButtonClickRect: return true;
    default: return false;
    }
}

// A field inside a combo or spin box: its owner draws the ring.
bool insideOwner(const QWidget* widget)
{
    const QWidget* parent = widget ? widget->parentWidget() : nullptr;
    return qobject_cast<const QComboBox*>(parent) || qobject_cast<const QAbstractSpinBox*>(parent);
}

void drawAround(QPainter* painter, const QStyleOption* option, const QWidget* widget, int inset = 0,
                const QColor& under = QColor())
{
    const QRect around = (widget ? widget->rect() : option->rect).adjusted(inset, inset, -inset, -inset);
    painter->save();
    draw(*painter, around, colour(option->palette, under), aroundRadius);
    painter->restore();
}

// The outline the style beneath drew along `shape`, drawn again in the edge
// colour: its own shade of the window vanishes on a dark or black one.
void redrawEdge(QPainter* painter, const QStyleOption* option, const QPainterPath& shape, double thickness = 1)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(edge(option->palette), thickness));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(shape);
    painter->restore();
}

// A one-pixel line along the inside of `box`, on the pixel centres.
QRectF lineInside(const QRect& box, double by = 0.5)
{
    return QRectF(box).adjusted(by, by, -by, -by);
}

QPainterPath roundedInside(const QRect& box, double by, double radius)
{
    QPainterPath shape;
    shape.addRoundedRect(lineInside(box, by), radius, radius);
    return shape;
}

// The slider's groove where the value does not fill it and its handle,
// outlined as the style beneath draws them (one pixel in, rounded).
void redrawSliderEdges(QPainter* painter, const QStyleOptionSlider& slider, const QRect& groove, const QRect& handle)
{
    QRegion open(groove);
    open -= QRegion(handle);
    if (slider.orientation == Qt::Horizontal) {
        // The highlight that fills the groove up to the handle carries its own outline.
        const QRect filled = slider.upsideDown ? QRect(handle.topLeft(), groove.bottomRight())
                                               : QRect(groove.topLeft(), handle.bottomRight());
        open -= QRegion(filled);
    }
    painter->save();
    painter->setClipRegion(open, Qt::IntersectClip);
    redrawEdge(painter, &slider, roundedInside(groove, 1.5, 1));
    painter->restore();
    redrawEdge(painter, &slider, roundedInside(handle, 1.5, 2));
}

// A checkable tool button is a segment of a choice: an outlined box, filled
// with the selection colour while it is on, its label in the selection's
// text colour. Returns the fill under the label, if any.
QColor drawSegment(QPainter* painter, QStyleOptionToolButton& option)
{
    const bool on = option.state & QStyle::State_On;
    const QColor fill = on ? onFill(option.palette) : QColor();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // A filled segment's fill is its edge: the ring on it then stands out from one colour.
    painter->setPen(QPen(on ? fill : edge(option.palette), 1));
    painter->setBrush(on ? QBrush(fill) : QBrush(Qt::NoBrush));
    painter->drawPath(roundedInside(option.rect, 0.5, aroundRadius));
    painter->restore();
    if (on) {
        const QColor text = FontRole::standOut(option.palette.color(QPalette::HighlightedText), {fill}, 4.5);
        option.palette.setColor(QPalette::ButtonText, text);
        option.palette.setColor(QPalette::WindowText, text);
    }
    // The style beneath draws only the label: no panel of its own over the segment's.
    option.state &= ~(QStyle::State_On | QStyle::State_Sunken | QStyle::State_Raised | QStyle::State_MouseOver);
    option.state |= QStyle::State_AutoRaise;
    return fill;
}

bool checkable(const QWidget* widget)
{
    const auto* button = qobject_cast<const QAbstractButton*>(widget);
    return button && button->isCheckable();
}

// The default button wears a dark outline before it has the focus, which no
// ring colour can both stand out from and keep 3 : 1 on a light window: its
// ring runs just inside that outline, which stays.
int pushButtonRingInset(const QStyleOption* option)
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    return button && (button->features & QStyleOptionButton::DefaultButton) ? 1 : 0;
}

// Drawn above the control and its viewport, seen through, hidden from the
// pointer and from screen readers alike.
class RingOverlay : public QWidget {
public:
    explicit RingOverlay(QWidget* control) : QWidget(control)
    {
        setObjectName(QStringLiteral("focusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        hide();
        control->installEventFilter(this);
        // A scroll area raises its scroll bars over everything when it lays
        // them out: the ring goes back above them, so it runs round the bar too.
        if (auto* area = qobject_cast<QAbstractScrollArea*>(control))
            for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()})
                if (bar->parentWidget() != control) bar->parentWidget()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != parentWidget()) {
            const bool restacked = event->type() == QEvent::ZOrderChange || event->type() == QEvent::Show;
            if (restacked && isVisible()) raise();
            return false;
        }
        auto* control = static_cast<QWidget*>(watched);
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::Resize:
            setGeometry(control->rect());
            setVisible(control->hasFocus());
            raise();
            break;
        case QEvent::FocusOut: hide(); break;
        default: break;
        }
        return false;
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        draw(painter, rect(), colour(palette()), aroundRadius);
    }
};

} // namespace

QColor edge(const QPalette& palette, const std::vector<QColor>& backgrounds, const QColor& preferred)
{
    const auto stands = [&](const QColor& colour) {
        return std::all_of(backgrounds.begin(), backgrounds.end(),
                           [&](const QColor& under) { return FontRole::contrast(colour, under) >= least; });
    };
    // A see-through shade counts as what it shows over the first background.
    const QColor first = backgrounds.empty() ? QColor(Qt::white) : backgrounds.front().toRgb();
    const double alpha = preferred.alphaF();
    const QColor shade = preferred.toRgb();
    const QColor from = QColor::fromRgbF(shade.redF() * alpha + first.redF() * (1 - alpha),
                                         shade.greenF() * alpha + first.greenF() * (1 - alpha),
                                         shade.blueF() * alpha + first.blueF() * (1 - alpha));
    const QColor text = palette.color(QPalette::WindowText).toRgb();
    constexpr int steps = 20;
    for (int step = 0; step <= steps; ++step) {
        const double t = double(step) / steps;
        // Measured as the screen shows it, in whole steps of each channel.
        const QColor mixed = QColor::fromRgbF(from.redF() + (text.redF() - from.redF()) * t,
                                              from.greenF() + (text.greenF() - from.greenF()) * t,
                                              from.blueF() + (text.blueF() - from.blueF()) * t)
                                 .rgb();
        if (stands(mixed)) return mixed;
    }
    // Text that does not stand out from its own window: the nearest colour that does.
    return FontRole::standOut(text, backgrounds, least);
}

QColor edge(const QPalette& palette)
{
    // Grooves are shaded a little either side of the button colour.
    const QColor window = palette.color(QPalette::Window);
    const QColor button = palette.color(QPalette::Button);
    return edge(palette, {window, button.darker(112), button.lighter(112)}, window.darker(140));
}

QColor overPages(const QPalette& palette, const QColor& backdrop)
{
    const QColor window = palette.color(QPalette::Window);
    const std::vector<QColor> drawnOn{backdrop, window};
    const std::vector<QColor> all{backdrop, window, QColor(Qt::white)};
    const auto worst = [](const QColor& c, const std::vector<QColor>& against) {
        double lowest = 21;
        for (const QColor& under : against) lowest = std::min(lowest, FontRole::contrast(c, under));
        return lowest;
    };
    const QColor start = colour(palette, backdrop).toRgb();
    if (worst(start, all) >= least) return start;
    // The ring is square and on whole pixels, so nothing smooths it: 3 : 1
    // itself will do. The least contrast with all three rises and then falls
    // as the colour is taken toward either pole: its best is searched for.
    QColor best = start;
    for (const QColor& pole : {QColor(Qt::white), QColor(Qt::black)}) {
        const auto at = [&](double t) {
            return QColor::fromRgbF(start.redF() + (pole.redF() - start.redF()) * t,
                                    start.greenF() + (pole.greenF() - start.greenF()) * t,
                                    start.blueF() + (pole.blueF() - start.blueF()) * t)
                .rgb();
        };
        double low = 0, high = 1;
        for (int step = 0; step < 40; ++step) {
            const double a = low + (high - low) / 3, b = high - (high - low) / 3;
            if (worst(QColor(at(a)), all) < worst(QColor(at(b)), all))
                low = a;
            else
                high = b;
        }
        if (const QColor found(at((low + high) / 2)); worst(found, all) > worst(best, all)) best = found;
    }
    if (worst(best, all) >= 3.0) return best;
    return FontRole::standOut(start, drawnOn, least);
}

QColor onFill(const QPalette& palette)
{
    return edge(palette, {palette.color(QPalette::Window)}, palette.color(QPalette::Highlight));
}

QColor colour(const QPalette& palette, const QColor& background)
{
    // Also clear of the window and the lists around it: on a selected row the
    // ring must show against the selection and the rows beside it alike.
    // A see-through base (a field drawn as plain text) shows the window.
    const QColor window = palette.color(QPalette::Window);
    const QColor base = palette.color(QPalette::Base);
    std::vector<QColor> against{window, base.alpha() == 255 ? base : window};
    if (background.isValid()) {
        against.insert(against.begin(), background);
    } else {
        // The ring may cross a field's border or a segment's outline.
        against.push_back(edge(palette));
        against.push_back(palette.color(QPalette::Button));
    }
    return FontRole::standOut(palette.color(QPalette::Highlight), against, least);
}

void draw(QPainter& painter, const QRectF& around, const QColor& colour, double radius, int thickness)
{
    painter.setRenderHint(QPainter::Antialiasing);
    // Mitred: a bevelled square corner leaves its outermost pixel half drawn.
    painter.setPen(QPen(colour, thickness, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    const double inset = thickness / 2.0;
    painter.drawRoundedRect(around.adjusted(inset, inset, -inset, -inset), radius, radius);
}

void Style::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                          const QWidget* widget) const
{
    if (element == PE_PanelLineEdit) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if ((option->state & State_HasFocus) && !insideOwner(widget)) drawAround(painter, option, widget);
        return;
    }
    if (element == PE_IndicatorCheckBox || element == PE_IndicatorRadioButton || element == PE_FrameLineEdit) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        QPainterPath shape;
        // A circle's line is smoothed over two pixels at its sides: half as wide again, it still fills one.
        const double thickness = element == PE_IndicatorRadioButton ? 1.5 : 1;
        if (element == PE_IndicatorCheckBox)
            shape.addRect(lineInside(option->rect));
        else if (element == PE_IndicatorRadioButton)
            shape.addEllipse(lineInside(option->rect, thickness / 2));
        else
            shape = roundedInside(option->rect, 0.5, 2);
        redrawEdge(painter, option, shape, thickness);
        return;
    }
    if (element != PE_FrameFocusRect) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // Buttons other than tool buttons get their ring around the whole control (drawControl).
    if (qobject_cast<const QAbstractButton*>(widget) && !qobject_cast<const QToolButton*>(widget)) return;
    QColor under;
    if (const auto* focus = qstyleoption_cast<const QStyleOptionFocusRect*>(option)) under = focus->backgroundColor;
    QColor ring = colour(option->palette, under);
    if (qobject_cast<const QAbstractScrollArea*>(widget) && !qobject_cast<const QAbstractItemView*>(widget))
        ring = overPages(option->palette, under.isValid() ? under : option->palette.color(QPalette::Window));
    // A tool button's ring runs along its edge, clear of the icon and label.
    const bool tool = qobject_cast<const QToolButton*>(widget);
    const QRectF around = tool ? QRectF(widget->rect()) : QRectF(option->rect);
    painter->save();
    draw(*painter, around, ring, aroundRadius);
    painter->restore();
}

void Style::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                        const QWidget* widget) const
{
    if (element == CE_CheckBox || element == CE_RadioButton) {
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            const QStyleOptionButton within = inset(button);
            QProxyStyle::drawControl(element, &within, painter, widget);
            if (option->state & State_HasFocus) drawAround(painter, option, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && (option->state & State_HasFocus))
        drawAround(painter, option, widget, pushButtonRingInset(option));
}

void Style::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                               const QWidget* widget) const
{
    if (const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option); tool && control == CC_ToolButton) {
        // The ring goes on last, over the icon and label, which would cover it on a small button.
        QStyleOptionToolButton plain = *tool;
        plain.state &= ~State_HasFocus;
        const QColor under = checkable(widget) ? drawSegment(painter, plain) : QColor();
        QProxyStyle::drawComplexControl(control, &plain, painter, widget);
        if (tool->state & State_HasFocus) drawAround(painter, option, widget, 0, under);
        return;
    }
    if (const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option); slider && control == CC_Slider) {
        const QStyleOptionSlider within = inset(slider);
        QProxyStyle::drawComplexControl(control, &within, painter, widget);
        redrawSliderEdges(painter, within, QProxyStyle::subControlRect(control, &within, SC_SliderGroove, widget),
                          QProxyStyle::subControlRect(control, &within, SC_SliderHandle, widget));
    } else {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
    const bool ringed = control == CC_Slider || control == CC_ComboBox || control == CC_SpinBox;
    if (ringed && (option->state & State_HasFocus)) drawAround(painter, option, widget);
}

QSize Style::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                               const QWidget* widget) const
{
    QSize wanted = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_CheckBox || type == CT_RadioButton || type == CT_Slider) wanted += QSize(2 * room, 2 * room);
    if (type == CT_ItemViewItem) wanted.rheight() += 2 * width;
    return wanted;
}

QRect Style::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const
{
    if (checkElement(element)) {
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            const QStyleOptionButton within = inset(button);
            return QProxyStyle::subElementRect(element, &within, widget);
        }
    }
    // A list row's ring runs around the whole row, clear of its text.
    if (element == SE_ItemViewItemFocusRect) return option->rect;
    return QProxyStyle::subElementRect(element, option, widget);
}

QRect Style::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                            const QWidget* widget) const
{
    if (const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option); slider && control == CC_Slider) {
        const QStyleOptionSlider within = inset(slider);
        return QProxyStyle::subControlRect(control, &within, part, widget);
    }
    return QProxyStyle::subControlRect(control, option, part, widget);
}

void Style::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    // Text editors draw their frame beneath their viewport, so the ring goes above both.
    const bool editor = qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QTextEdit*>(widget);
    if (editor && widget->focusPolicy() != Qt::NoFocus) ringWhenFocused(widget);
}

void ringWhenFocused(QWidget* widget)
{
    if (widget->findChild<QWidget*>(QStringLiteral("focusRing"), Qt::FindDirectChildrenOnly)) return;
    new RingOverlay(widget);
}

} // namespace Lyricade::FocusRing
