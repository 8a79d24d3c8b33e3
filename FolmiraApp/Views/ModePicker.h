#pragma once

// The mode picker at the centre of the main window's toolbar: two segments,
// "Document" and "Songbook", bound both ways to the model's kind. It holds no
// state of its own; the View menu's Alt+1 and Alt+2 set the same
// field, so the picker has no shortcut itself. It is one choice: a named
// group of two radio buttons to screen readers, one Tab stop (the chosen
// segment), the arrow keys moving the choice.

#include "FolmiraApp/Model/Kinds.h"
#include "Lyricade/Views/SegmentedChoice.h"

class QButtonGroup;
class QToolButton;

namespace FolmiraApp {

class AppModel;

class ModePicker : public Lyricade::SegmentedChoice {
    Q_OBJECT

public:
    explicit ModePicker(AppModel& model, QWidget* parent = nullptr);

    static QString toolTipText();
    QToolButton* segment(DocKind kind) const;
    DocKind selected() const;

private:
    void followModel();

    AppModel& model_;
    QButtonGroup* segments_;
};

// Holds the picker so that it stands at the centre of the toolbar, or as
// close to it as the toolbar's other items leave room for. Takes the space
// between the leading and trailing items.
class CentredSlot : public QWidget {
    Q_OBJECT

public:
    explicit CentredSlot(QWidget* content, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void place();

    QWidget* content_;
};

} // namespace FolmiraApp
