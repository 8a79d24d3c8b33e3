#include "Lyricade/Panels.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QWindow>

namespace Lyricade {

namespace {

class QtAnnouncer final : public Announcer {
public:
    void announce([[maybe_unused]] const QString& text) override
    {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        QWindow* window = QGuiApplication::focusWindow();
        if (!window && !QGuiApplication::topLevelWindows().isEmpty()) window = QGuiApplication::topLevelWindows().first();
        if (!window) return;
        QAccessibleAnnouncementEvent event(window, text);
        event.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
        QAccessible::updateAccessibility(&event);
#endif
    }
};

} // namespace

std::shared_ptr<Announcer> qtAnnouncer()
{
    return std::make_shared<QtAnnouncer>();
}

} // namespace Lyricade
