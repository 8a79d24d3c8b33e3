#include "Lyricade/Views/FocusRing.h"

#include "Lyricade/Views/FontRoles.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyleOption>
#include <QTextEdit>
#include <QToolButton>

namespace Lyricade::FocusRing {

namespace {

// The ring's least contrast with what lies under and around it.
constexpr double least = 3.0;

// The margin kept around controls whose ring would cross their own drawing.
constexpr int room = width + 1;

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

void drawAround(QPainter* painter, const QStyleOption* option, const QWidget* widget, int thickness = width)
{
    const QRect around = widget ? widget->rect() : option->rect;
    painter->save();
    draw(*painter, around, colour(option->palette), 4, thickness);
    painter->restore();
}

// The default button wears a dark outline before it has the focus; its ring
// covers that outline and `width` pixels inside it, so the focus still
// changes a ring of `width` pixels.
int pushButtonRing(const QStyleOption* option)
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    return button && (button->features & QStyleOptionButton::DefaultButton) ? width + 1 : width;
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
        draw(painter, rect(), colour(palette()));
    }
};

} // namespace

QColor colour(const QPalette& palette, const QColor& background)
{
    // Also clear of the window and the lists around it: on a selected row the
    // ring must show against the selection and the rows beside it alike.
    std::vector<QColor> against{palette.color(QPalette::Window), palette.color(QPalette::Base)};
    if (background.isValid()) {
        against.insert(against.begin(), background);
    } else {
        // The style's frames are a darker shade of the surface; the ring may cross them.
        against.push_back(palette.color(QPalette::Window).darker(140));
        against.push_back(palette.color(QPalette::Button));
    }
    return FontRole::standOut(palette.color(QPalette::Highlight), against, least);
}

void draw(QPainter& painter, const QRectF& around, const QColor& colour, double radius, int thickness)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, thickness));
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
    if (element != PE_FrameFocusRect) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // Buttons other than tool buttons get their ring around the whole control (drawControl).
    if (qobject_cast<const QAbstractButton*>(widget) && !qobject_cast<const QToolButton*>(widget)) return;
    QColor under;
    if (const auto* focus = qstyleoption_cast<const QStyleOptionFocusRect*>(option)) under = focus->backgroundColor;
    // A tool button's ring runs along its edge, clear of the icon and label drawn over it.
    const bool tool = qobject_cast<const QToolButton*>(widget);
    QRectF around = tool ? QRectF(widget->rect()).adjusted(1, 1, -1, -1) : QRectF(option->rect);
    painter->save();
    draw(*painter, around, colour(option->palette, under), tool ? 4 : 3);
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
        drawAround(painter, option, widget, pushButtonRing(option));
}

void Style::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                               const QWidget* widget) const
{
    if (const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option); slider && control == CC_Slider) {
        const QStyleOptionSlider within = inset(slider);
        QProxyStyle::drawComplexControl(control, &within, painter, widget);
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
