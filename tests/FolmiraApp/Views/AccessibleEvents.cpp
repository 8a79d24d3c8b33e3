#include "AccessibleEvents.h"

#include <algorithm>
#include <utility>

namespace FolmiraAppTest {

namespace {

AccessibleEvents* listening = nullptr;
QAccessible::UpdateHandler handler = nullptr;

} // namespace

AccessibleEvents::AccessibleEvents()
{
    listening = this;
}

AccessibleEvents::~AccessibleEvents()
{
    listening = nullptr;
}

int AccessibleEvents::count(QAccessible::Event type, const QString& text) const
{
    return int(std::count_if(events_.begin(), events_.end(),
                             [&](const Event& event) { return event.type == type && event.text == text; }));
}

void AccessibleEvents::keep(QAccessibleEvent& event, QAccessibleInterface& about)
{
    const bool described = event.type() == QAccessible::DescriptionChanged;
    QAccessible::State changed;
    if (event.type() == QAccessible::StateChanged) changed = static_cast<QAccessibleStateChangeEvent&>(event).changedStates();
    events_.push_back({event.type(), about.text(described ? QAccessible::Description : QAccessible::Name),
                       QAccessible::uniqueId(&about), bool(about.state().invisible), changed, about.state()});
}

} // namespace FolmiraAppTest

// Qt's own three functions, as this program's: the widgets' calls come here,
// where a listener is, and do what Qt's do with no bridge where none is.
bool QAccessible::isActive()
{
    return FolmiraAppTest::listening != nullptr;
}

void QAccessible::updateAccessibility(QAccessibleEvent* event)
{
    // Qt reads the event's object whether or not anyone listens; so does this.
    QAccessibleInterface* about = event->accessibleInterface();
    if (!FolmiraAppTest::listening || !about) return;
    if (event->type() == QAccessible::TableModelChanged && about->tableInterface())
        about->tableInterface()->modelChange(static_cast<QAccessibleTableModelChangeEvent*>(event));
    // An installed handler hears the event in the bridge's place.
    if (FolmiraAppTest::handler) return FolmiraAppTest::handler(event);
    FolmiraAppTest::listening->keep(*event, *about);
}

QAccessible::UpdateHandler QAccessible::installUpdateHandler(UpdateHandler handler)
{
    return std::exchange(FolmiraAppTest::handler, handler);
}
