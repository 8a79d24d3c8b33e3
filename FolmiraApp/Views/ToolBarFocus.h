#pragma once

// A toolbar that keyboard and screen-reader users can work: every control in
// the Tab order (Qt leaves toolbar buttons out of it), a focus ring wide
// enough to see, and each control named for assistive technologies even
// where only its icon shows.

#include <QProxyStyle>

class QToolBar;

namespace FolmiraApp {

// Draws focus rings as a rounded outline in the highlight colour, `ringWidth`
// pixels wide, where the style beneath draws a hairline or nothing.
class FocusRingStyle : public QProxyStyle {
    Q_OBJECT

public:
    static constexpr int ringWidth = 2;

    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
};

// Puts every control of `toolBar` into the Tab order in their toolbar order,
// gives them FocusRingStyle, and names each one by its action's text (or its
// tooltip) where it has no name. Call again after adding controls.
void makeKeyboardReachable(QToolBar* toolBar);

// For a control that its style draws no focus for (a flat link, a scroll
// area): the same ring, drawn over its edge while it has the focus.
void ringWhenFocused(QWidget* widget);

} // namespace FolmiraApp
