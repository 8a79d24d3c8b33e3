#pragma once

// Value controls in a scrolling panel (sliders, pickers, number fields) take
// the mouse wheel only while they have keyboard focus; otherwise the wheel
// scrolls the panel, so scrolling past a control never changes a setting.

#include <QObject>

class QAbstractScrollArea;

namespace PdfView {

class WheelGuard : public QObject {
    Q_OBJECT

public:
    // Guards every value control inside `area`'s content as it is now; the
    // guard belongs to `area`.
    static WheelGuard* install(QAbstractScrollArea* area);

    // Guards one more control added later.
    void guard(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WheelGuard(QAbstractScrollArea* area);
    QAbstractScrollArea* area_;
};

} // namespace PdfView
