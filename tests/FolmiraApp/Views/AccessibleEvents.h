#pragma once

// What a screen reader would be told. Under the offscreen platform Qt has no
// accessibility bridge, counts accessibility as off and sends no events at
// all, not even to an update handler. While an `AccessibleEvents` lives, this
// test program stands in for the desktop's bridge: accessibility counts as
// on, model changes reach the views' accessible tables as Qt's own bridge
// lets them, and every event is kept as its kind and the name of what it is
// about (a description change: the description) and whether it showed.

#include <QAccessible>
#include <QString>

#include <vector>

namespace FolmiraAppTest {

class AccessibleEvents {
public:
    AccessibleEvents();
    ~AccessibleEvents();
    AccessibleEvents(const AccessibleEvents&) = delete;
    AccessibleEvents& operator=(const AccessibleEvents&) = delete;

    struct Event {
        QAccessible::Event type;
        QString text;
        QAccessible::Id about; // which object
        bool hidden = false;   // the object was hidden when told of
        QAccessible::State changed = {}; // a state change: which states changed
        QAccessible::State state = {};   // the object's states when told of
    };
    const std::vector<Event>& events() const { return events_; }
    // How many events of `type` were about `text`.
    int count(QAccessible::Event type, const QString& text) const;
    void clear() { events_.clear(); }

    // Called by the stand-in for Qt's own function.
    void keep(QAccessibleEvent& event, QAccessibleInterface& about);

private:
    std::vector<Event> events_;
};

} // namespace FolmiraAppTest
