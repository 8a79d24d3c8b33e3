#include "FolmiraApp/Views/ModePicker.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Views/Icons.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QToolButton>

#include <algorithm>

namespace FolmiraApp {

namespace {

// A segment reads as one of a group of radio buttons, as the desktop's
// segmented controls do: Qt reads a checkable tool button as a check box.
class SegmentAccessible : public QAccessibleWidget {
public:
    explicit SegmentAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::RadioButton)
    {
        addControllingSignal(QStringLiteral("clicked(bool)"));
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->isChecked();
        return state;
    }

    // Pressed, or given the focus by an assistive tool (the chosen segment only).
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QToolButton* button() const { return static_cast<QToolButton*>(widget()); }
};

class PickerAccessible : public QAccessibleWidget {
public:
    explicit PickerAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Grouping) {}
};

QAccessibleInterface* pickerFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("FolmiraApp::ModePicker")) return new PickerAccessible(widget);
    if (className == QLatin1String("QToolButton") && qobject_cast<ModePicker*>(widget->parentWidget()))
        return new SegmentAccessible(widget);
    return nullptr;
}

QString label(DocKind kind)
{
    return kind == DocKind::songbook ? QStringLiteral("Songbook") : QStringLiteral("Document");
}

QString keys(int digit)
{
    return QKeySequence(Qt::ALT | (Qt::Key_0 + digit)).toString(QKeySequence::NativeText);
}

} // namespace

ModePicker::ModePicker(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    static const bool installed = [] {
        QAccessible::installFactory(pickerFactory);
        return true;
    }();
    (void)installed;
    setObjectName(QStringLiteral("modePicker"));
    setAccessibleName(QStringLiteral("What to make"));
    // The segments carry no tooltip of their own, so hovering either shows this one.
    setToolTip(toolTipText());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    segments_ = new QButtonGroup(this);
    segments_->setExclusive(true);
    for (DocKind kind : allDocKinds) {
        auto* segment = new QToolButton(this);
        segment->setObjectName(QString::fromUtf8(toString(kind)));
        segment->setText(label(kind));
        segment->setAccessibleName(label(kind));
        segment->setIcon(modeIcon(kind));
        segment->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        segment->setCheckable(true);
        segment->installEventFilter(this);
        segments_->addButton(segment, static_cast<int>(kind));
        row->addWidget(segment);
    }
    connect(segments_, &QButtonGroup::idClicked, this,
            [this](int id) { model_.setKind(static_cast<DocKind>(id)); });
    connect(&model_, &AppModel::kindChanged, this, &ModePicker::followModel);
    followModel();
}

QString ModePicker::toolTipText()
{
    return QStringLiteral("A document in large print, or a large-print songbook from chord sheets (%1 / %2)")
        .arg(keys(1), keys(2));
}

QToolButton* ModePicker::segment(DocKind kind) const
{
    return static_cast<QToolButton*>(segments_->button(static_cast<int>(kind)));
}

DocKind ModePicker::selected() const
{
    return static_cast<DocKind>(segments_->checkedId());
}

void ModePicker::followModel()
{
    QToolButton* chosen = segment(model_.kind());
    const bool focusHere = isAncestorOf(QApplication::focusWidget());
    chosen->setChecked(true);
    // One choice, one Tab stop: the chosen segment; the arrows move the choice.
    for (QAbstractButton* each : segments_->buttons())
        each->setFocusPolicy(each == chosen ? Qt::StrongFocus : Qt::NoFocus);
    if (focusHere) chosen->setFocus(Qt::OtherFocusReason);
}

bool ModePicker::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    int step = 0;
    if (key == Qt::Key_Left || key == Qt::Key_Up) step = -1;
    if (key == Qt::Key_Right || key == Qt::Key_Down) step = 1;
    if (step == 0) return QWidget::eventFilter(watched, event);
    // Round from the last segment to the first, as radio buttons go.
    const int count = int(allDocKinds.size());
    const int at = (static_cast<int>(model_.kind()) + step + count) % count;
    model_.setKind(static_cast<DocKind>(at));
    return true;
}

CentredSlot::CentredSlot(QWidget* content, QWidget* parent) : QWidget(parent), content_(content)
{
    content_->setParent(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QSize CentredSlot::sizeHint() const
{
    return content_->sizeHint();
}

QSize CentredSlot::minimumSizeHint() const
{
    return content_->sizeHint();
}

void CentredSlot::resizeEvent(QResizeEvent*)
{
    place();
}

void CentredSlot::moveEvent(QMoveEvent*)
{
    place();
}

void CentredSlot::place()
{
    const QSize size = content_->sizeHint();
    // The window's centre line, in this slot's coordinates.
    const int centre = mapFrom(window(), QPoint(window()->width() / 2, 0)).x();
    const int left = std::clamp(centre - size.width() / 2, 0, std::max(0, width() - size.width()));
    content_->setGeometry(left, (height() - size.height()) / 2, size.width(), size.height());
}

} // namespace FolmiraApp
