#include "Lyricade/Views/ChoiceButton.h"

#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/MenuKey.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QStyleOptionToolButton>

namespace Lyricade {

namespace {

// Read as a combo box, as the desktop's own pop-up buttons are: AT-SPI
// carries a button's value nowhere but in its name or description, while a
// combo box's shown text is its value to every reader.
class ChoiceAccessible : public QAccessibleWidget, public ShownTextAccessible {
public:
    explicit ChoiceAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::ComboBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) return static_cast<ShownTextAccessible*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) return spoken();
        const QString text = QAccessibleWidget::text(kind);
        // A tip that only repeats the name is not read twice.
        if (kind == QAccessible::Description && text == QAccessibleWidget::text(QAccessible::Name)) return QString();
        return kind == QAccessible::Name && text.isEmpty() ? spoken() : text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.hasPopup = true;
        state.expanded = button()->menu() && button()->menu()->isVisible();
        state.collapsed = !state.expanded;
        // While its menu is open, the menu's current item holds the focus.
        if (state.expanded) state.focused = false;
        return state;
    }

    // Opened, or given the focus by an assistive tool.
    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    QString localizedActionDescription(const QString& action) const override
    {
        if (action == showMenuAction() || action == pressAction()) return QStringLiteral("Open the list of choices");
        return QAccessibleWidget::localizedActionDescription(action);
    }

    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            button()->showMenu();
        else
            QAccessibleWidget::doAction(action);
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    ChoiceButton* button() const { return static_cast<ChoiceButton*>(widget()); }
    QString spoken() const { return button()->spokenChoice(); }
    QString shownText() const override { return spoken(); }
};

const char* const spokenProperty = "folmiraSpoken";

// A menu item read by its words: Qt's own reads the item's text, signs and all.
class SpokenItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    SpokenItemAccessible(QMenu* menu, QAction* item) : menu_(menu), item_(item) {}

    bool isValid() const override { return menu_ && item_; }
    QObject* object() const override { return item_; }
    QWindow* window() const override { return menu_->windowHandle(); }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(menu_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? item_->property(spokenProperty).toString() : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::MenuItem; }

    QRect rect() const override
    {
        const QRect box = menu_->actionGeometry(item_);
        return QRect(menu_->mapToGlobal(box.topLeft()), box.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.focusable = true;
        state.focused = menu_->activeAction() == item_;
        state.disabled = !item_->isEnabled();
        state.invisible = !item_->isVisible() || !menu_->isVisible();
        state.checkable = item_->isCheckable();
        state.checked = item_->isChecked();
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction() && item_->isEnabled()) item_->trigger();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QMenu> menu_;
    QPointer<QAction> item_;
};

QAccessibleInterface* choiceFactory(const QString& className, QObject* object)
{
    if (!object) return nullptr;
    if (className == QLatin1String("QAction") && object->property(spokenProperty).isValid()) {
        auto* item = static_cast<QAction*>(object);
        for (QObject* holder : item->associatedObjects())
            if (auto* menu = qobject_cast<QMenu*>(holder)) return new SpokenItemAccessible(menu, item);
        return nullptr;
    }
    if (className != QLatin1String("Lyricade::ChoiceButton") || !object->isWidgetType()) return nullptr;
    return new ChoiceAccessible(static_cast<QWidget*>(object));
}

} // namespace

ChoiceButton::ChoiceButton(QWidget* parent) : QToolButton(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(choiceFactory);
        return true;
    }();
    (void)installed;
    setPopupMode(QToolButton::InstantPopup);
}

void ChoiceButton::setChoices(QMenu* menu)
{
    setMenu(menu);
    openOnCurrentItem(*menu);
}

void ChoiceButton::speak(QAction& item, const QString& spoken)
{
    item.setProperty(spokenProperty, spoken);
}

void ChoiceButton::setChoice(const QString& shown, const QString& spoken)
{
    const QString said = spoken.isEmpty() ? shown : spoken;
    if (shown != shown_) {
        shown_ = shown;
        updateGeometry();
        update();
    }
    if (said == spoken_) return;
    spoken_ = said;
    QAccessibleValueChangeEvent changed(this, said);
    QAccessible::updateAccessibility(&changed);
}

void ChoiceButton::initStyleOption(QStyleOptionToolButton* option) const
{
    QToolButton::initStyleOption(option);
    option->text = shown_;
}

QSize ChoiceButton::sizeHint() const
{
    // As a tool button sizes its text, with the choice for the text.
    ensurePolished();
    QStyleOptionToolButton option;
    initStyleOption(&option);
    const QFontMetrics metrics = fontMetrics();
    QSize size = metrics.size(Qt::TextShowMnemonic, shown_);
    size.rwidth() += metrics.horizontalAdvance(QLatin1Char(' ')) * 2;
    if (option.toolButtonStyle != Qt::ToolButtonTextOnly) {
        size.rwidth() += option.iconSize.width() + 4;
        size.setHeight(std::max(size.height(), option.iconSize.height()));
    }
    option.rect.setSize(size);
    return style()->sizeFromContents(QStyle::CT_ToolButton, &option, size, this);
}

void ChoiceButton::keyPressEvent(QKeyEvent* event)
{
    const bool down = event->key() == Qt::Key_Down &&
                      (event->modifiers() & ~Qt::KeypadModifier & ~Qt::AltModifier) == Qt::NoModifier;
    if (down && menu()) {
        showMenu();
        return;
    }
    QToolButton::keyPressEvent(event);
}

} // namespace Lyricade
