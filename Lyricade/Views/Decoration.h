#pragma once

// A picture that only decorates (an empty state's symbol, a card's icon, a
// chevron): screen readers pass it by, as it says nothing the words beside it
// do not.

#include <QLabel>

namespace Lyricade {

class Decoration : public QLabel {
    Q_OBJECT

public:
    explicit Decoration(QWidget* parent = nullptr);
};

} // namespace Lyricade
