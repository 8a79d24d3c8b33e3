#include "Lyricade/Views/ToolBarLabels.h"

#include <QEvent>
#include <QLayout>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

namespace Lyricade {

namespace {

class LabelFit : public QObject {
public:
    explicit LabelFit(QToolBar& bar) : QObject(&bar), bar_(bar) { bar.installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const auto type = event->type();
        if (watched != &bar_ || fitting_) return false;
        if (type == QEvent::Resize || type == QEvent::Show || type == QEvent::FontChange) fit();
        // An action shown or hidden (one that needs a book) changes what the
        // bar must hold, not its width: measured once its layout has the change.
        if ((type == QEvent::ActionChanged || type == QEvent::ActionAdded || type == QEvent::ActionRemoved) &&
            !pending_) {
            pending_ = true;
            QTimer::singleShot(0, this, [this] {
                pending_ = false;
                fit();
            });
        }
        return false;
    }

private:
    // The bar's items need their size hints' width in a row: Qt's layout
    // sums them over all items, the hidden ones included.
    bool fits() const { return bar_.layout()->sizeHint().width() <= bar_.width(); }

    void fit()
    {
        fitting_ = true;
        // The window's font, which a change of the desktop's reaches first.
        const QFont whole = bar_.parentWidget() ? bar_.parentWidget()->font() : bar_.font();
        for (double scale = 1.0; scale > leastLabelScale - 0.01; scale -= 0.05) {
            QFont font = whole;
            if (whole.pointSizeF() > 0) font.setPointSizeF(whole.pointSizeF() * scale);
            else font.setPixelSize(std::max(1, qRound(whole.pixelSize() * scale)));
            bar_.setFont(font);
            if (fits()) break;
        }
        fitting_ = false;
    }

    QToolBar& bar_;
    bool fitting_ = false;
    bool pending_ = false;
};

} // namespace

void fitLabelsToWidth(QToolBar& bar)
{
    new LabelFit(bar);
}

} // namespace Lyricade
