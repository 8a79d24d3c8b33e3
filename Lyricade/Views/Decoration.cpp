#include "Lyricade/Views/Decoration.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace Lyricade {

namespace {

class DecorationAccessible : public QAccessibleWidget {
public:
    explicit DecorationAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Client) {}

    QString text(QAccessible::Text) const override { return {}; }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = true;
        return state;
    }
};

QAccessibleInterface* decorationFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("Lyricade::Decoration") && object && object->isWidgetType())
        return new DecorationAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

Decoration::Decoration(QWidget* parent) : QLabel(parent)
{
    static const bool hidden = [] {
        QAccessible::installFactory(decorationFactory);
        return true;
    }();
    (void)hidden;
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

} // namespace Lyricade
