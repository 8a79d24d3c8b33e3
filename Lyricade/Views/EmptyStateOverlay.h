#pragma once

// The notice a list shows in its middle while it has no rows: a symbol, a
// title, a description and at most one button. It sits over the list's
// viewport and stays centred as the list is resized; drops pass through to
// the list.

#include "Lyricade/Views/SymbolIcons.h"

#include <QWidget>

#include <utility>

class QAbstractScrollArea;
class QLabel;
class QPushButton;

namespace Lyricade {

class EmptyStateOverlay : public QWidget {
    Q_OBJECT

public:
    // An overlay of the list `over`; hidden until show() is called.
    explicit EmptyStateOverlay(QAbstractScrollArea* over);

    // Worded while it shows, or once it is shown (see whenShown).
    void setContent(Symbol symbol, const QString& title, const QString& description);
    // A button under the description; null until one is asked for.
    QPushButton* addButton(const QString& text);

    // The words given, shown or waiting to be.
    QString title() const;
    QString description() const;
    QPushButton* button() const { return button_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The list's own cells are all a screen reader sees of it: the empty
    // state is read as the list's description while it shows.
    void describeList();
    void place();

    QAbstractScrollArea* list_;
    QLabel* symbol_;
    QLabel* title_;
    QLabel* description_;
    QPushButton* button_ = nullptr;
    std::pair<QString, QString> wording_; // title, description
};

} // namespace Lyricade
