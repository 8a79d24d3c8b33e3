#pragma once

// The focus ring both halves of the application draw: `width` pixels along a
// control's edge, in the highlight colour taken deep (or light) enough to
// stand out at 3 : 1 from the control's surroundings and its own frame, so
// that people who follow the focus by eye find it. `Style` draws it for every
// standard control; custom-painted controls call `draw`.

#include <QColor>
#include <QProxyStyle>

#include <vector>

class QPainter;
class QPalette;
class QRectF;

namespace Lyricade::FocusRing {

inline constexpr int width = 2;

// The ring's colour over `background` (a selection, say) and the window and
// base colours around it; with no background, also clear of the button
// colour and of the edges the style draws (see `edge`).
QColor colour(const QPalette& palette, const QColor& background = QColor());

// The colour of a control's edge (a box's outline, a field's border, a
// slider's groove and handle, a card) drawn on `backgrounds`: `preferred`,
// the style's own shade, where it stands 3 : 1 from them, else that shade
// mixed toward the palette's text colour until it does. With no arguments
// but the palette: the style's outline on the window and on a groove.
QColor edge(const QPalette& palette, const std::vector<QColor>& backgrounds, const QColor& preferred);
QColor edge(const QPalette& palette);

// The ring of a view of pages over `backdrop`, the view's own background:
// 3 : 1 from it and from the window, which it is drawn on, and from white
// paper too where one colour can stand out from all three; else the paper
// that passes under the ring's ends gives way.
QColor overPages(const QPalette& palette, const QColor& backdrop);

// The fill of a control that is on (a chosen segment): the selection colour,
// held 3 : 1 from the window around it.
QColor onFill(const QPalette& palette);

// The ring along the inside of `around`, with rounded corners, `thickness`
// pixels wide.
void draw(QPainter& painter, const QRectF& around, const QColor& colour, double radius = 4, int thickness = width);

// The application-wide style: the desktop's style beneath, with the ring
// drawn around focused buttons, check boxes, radio buttons, sliders, combo
// boxes, fields, spin boxes, list rows and tool buttons, and around text
// editors through an overlay; the edges of check boxes, radio buttons,
// fields, sliders and segments drawn again in `edge` colours, and a chosen
// segment filled, so that each shows on any palette.
class Style : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override;
    // Check boxes, radio buttons and sliders keep a margin for the ring, so
    // that it runs clear of their indicator and handle; list rows grow by it.
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override;
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
};

// For a control whose style draws no focus (a flat link, a scroll area, a
// text editor): the ring, drawn over its edge while it has the focus. Once
// per widget; later calls do nothing.
void ringWhenFocused(QWidget* widget);

} // namespace Lyricade::FocusRing
