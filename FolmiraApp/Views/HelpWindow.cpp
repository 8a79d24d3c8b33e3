#include "FolmiraApp/Views/HelpWindow.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Views/AppIcon.h"
#include "FolmiraApp/Views/HelpTopics.h"
#include "FolmiraApp/Views/Icons.h"
#include "FolmiraApp/Views/TextStyles.h"
#include "FolmiraApp/Views/ToolBarFocus.h"
#include "FolmiraKit/FolmiraKit.h"
#include "Lyricade/Views/Decoration.h"
#include "Lyricade/Views/ScreenFit.h"

#include "Lyricade/Views/TitleLines.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace FolmiraApp {

namespace {

constexpr int topicRole = Qt::UserRole;
constexpr int pagePadding = 24;
constexpr int pageSpacing = 14;
constexpr int headingIconSize = 28;
const QString closingHint = QStringLiteral("Press Esc to close Help.");

QIcon topicIcon(HelpTopic topic)
{
    return themeIcon(iconName(topic), QStyle::SP_FileDialogInfoView);
}

} // namespace

HelpWindow::HelpWindow(AppModel& model, QWidget* parent) : QWidget(parent, Qt::Window), model_(model)
{
    setObjectName(QStringLiteral("help"));
    setWindowTitle(QStringLiteral("%1 Help").arg(qstr(FolmiraKit::Brand::name)));
    setWindowIcon(applicationIcon());
    setMinimumSize(minimumWindowSize);
    resize(defaultWindowSize);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The topics, and under them how to leave: a window manager's close
    // button is not where a reader with a magnifier looks.
    auto* side = new QWidget(this);
    side->setFixedWidth(sidebarWidth);
    auto* sideColumn = new QVBoxLayout(side);
    sideColumn->setContentsMargins(0, 0, 0, 0);
    sidebar_ = new QTreeWidget(side);
    sidebar_->setAccessibleName(QStringLiteral("Help topics"));
    buildSidebar();
    sideColumn->addWidget(sidebar_, 1);
    auto* closing = TextStyle::wrapping(closingHint, side);
    closing->setObjectName(QStringLiteral("closingHint"));
    closing->setContentsMargins(10, 6, 10, 8);
    TextStyle::makeSecondary(closing);
    sideColumn->addWidget(closing);
    layout->addWidget(side);
    setAccessibleDescription(closingHint);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    pageArea_ = new QScrollArea(this);
    pageArea_->setWidgetResizable(true);
    pageArea_->setFrameShape(QFrame::NoFrame);
    pageArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pageArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pageArea_->setAccessibleName(QStringLiteral("Help page"));
    ringWhenFocused(pageArea_); // a Tab stop, for scrolling a long page
    layout->addWidget(pageArea_, 1);

    showPage();
    connect(&model_, &AppModel::helpPageChanged, this, &HelpWindow::showPage);
    connect(sidebar_, &QTreeWidget::itemSelectionChanged, this, &HelpWindow::selectionChanged);
    sidebar_->installEventFilter(this);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == sidebar_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && stepTopic(key->key())) return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool HelpWindow::stepTopic(int key)
{
    std::vector<HelpTopic> order; // as the sidebar lists them
    for (auto section : allHelpSections)
        for (auto topic : topics(section)) order.push_back(topic);
    const auto at = std::find(order.begin(), order.end(), model_.helpPage());
    if (at == order.end()) return false;
    HelpTopic next;
    switch (key) {
    case Qt::Key_Up: next = at == order.begin() ? *at : *(at - 1); break;
    case Qt::Key_Down: next = at + 1 == order.end() ? *at : *(at + 1); break;
    case Qt::Key_Home: next = order.front(); break;
    case Qt::Key_End: next = order.back(); break;
    default: return false;
    }
    model_.setHelpPage(next);
    if (QTreeWidgetItem* row = rowFor(next)) sidebar_->scrollToItem(row);
    return true;
}

void HelpWindow::buildSidebar()
{
    sidebar_->setHeaderHidden(true);
    sidebar_->setRootIsDecorated(false);
    sidebar_->setItemsExpandable(false);
    sidebar_->setSelectionMode(QAbstractItemView::SingleSelection);
    sidebar_->setIconSize(QSize(18, 18));
    // Long topic titles wrap in the narrow column rather than lose their end.
    sidebar_->setItemDelegate(new Lyricade::TitleDelegate(sidebar_, 3));
    for (auto section : allHelpSections) {
        auto* heading = new QTreeWidgetItem(sidebar_, {title(section)});
        heading->setFlags(Qt::ItemIsEnabled); // a heading, not a page
        heading->setFont(0, TextStyle::font(sidebar_, TextStyle::caption, QFont::DemiBold));
        for (auto topic : topics(section)) {
            auto* row = new QTreeWidgetItem(heading, {title(topic)});
            row->setIcon(0, topicIcon(topic));
            row->setData(0, topicRole, static_cast<int>(topic));
        }
    }
    sidebar_->expandAll();
}

QTreeWidgetItem* HelpWindow::rowFor(HelpTopic topic) const
{
    for (int s = 0; s < sidebar_->topLevelItemCount(); ++s) {
        QTreeWidgetItem* heading = sidebar_->topLevelItem(s);
        for (int r = 0; r < heading->childCount(); ++r)
            if (heading->child(r)->data(0, topicRole).toInt() == static_cast<int>(topic)) return heading->child(r);
    }
    return nullptr;
}

void HelpWindow::selectCurrentRow()
{
    QTreeWidgetItem* row = rowFor(model_.helpPage());
    if (!row || (row->isSelected() && sidebar_->selectedItems().size() == 1)) return;
    const QSignalBlocker quiet(sidebar_);
    sidebar_->setCurrentItem(row);
    row->setSelected(true);
    sidebar_->viewport()->update();
}

void HelpWindow::selectionChanged()
{
    const auto selected = sidebar_->selectedItems();
    if (selected.isEmpty()) {
        // Clearing the selection changes nothing: the page shown stays selected.
        // Later, so that the view has finished its own handling of the click.
        QTimer::singleShot(0, this, &HelpWindow::selectCurrentRow);
        return;
    }
    model_.setHelpPage(static_cast<HelpTopic>(selected.front()->data(0, topicRole).toInt()));
}

void HelpWindow::showPage()
{
    const HelpTopic topic = model_.helpPage();
    selectCurrentRow();

    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(0, 0, 0, 0);
    column_ = new QWidget(page);
    column_->setMaximumWidth(pageColumnWidth);
    auto* stack = new QVBoxLayout(column_);
    stack->setContentsMargins(pagePadding, pagePadding, pagePadding, pagePadding);
    stack->setSpacing(pageSpacing);

    auto* heading = new QHBoxLayout;
    auto* icon = new Lyricade::Decoration(column_); // the title says it
    icon->setPixmap(topicIcon(topic).pixmap(headingIconSize, headingIconSize));
    heading->addWidget(icon);
    auto* titleLabel = TextStyle::wrapping(title(topic), column_);
    titleLabel->setObjectName(QStringLiteral("pageTitle"));
    titleLabel->setFont(TextStyle::font(this, TextStyle::title, QFont::Bold));
    heading->addWidget(titleLabel, 1);
    stack->addLayout(heading);

    for (const auto& text : paragraphs(topic)) {
        auto* paragraph = TextStyle::wrapping(text, column_);
        paragraph->setObjectName(QStringLiteral("paragraph"));
        paragraph->setFont(TextStyle::font(this, TextStyle::title3));
        paragraph->setTextInteractionFlags(Qt::TextSelectableByMouse);
        stack->addWidget(paragraph);
    }

    onlineHelp_ = nullptr;
    if (topic == HelpTopic::start) {
        onlineHelp_ = new QPushButton(QStringLiteral("Open the Online Help Page"), column_);
        connect(onlineHelp_, &QPushButton::clicked, this, &HelpWindow::openOnlineHelp);
        stack->addWidget(onlineHelp_, 0, Qt::AlignLeft);
    }
    stack->addStretch(1);

    row->addWidget(column_, 1);
    row->addStretch(0);
    pageArea_->setWidget(page); // deletes the page shown before
}

void HelpWindow::present()
{
    if (!isVisible()) Lyricade::fitOnScreen(*this, QApplication::activeWindow());
    show();
    raise();
    activateWindow();
}

void HelpWindow::openOnlineHelp()
{
    const QUrl page(qstr(FolmiraKit::Brand::helpURL()));
    if (QDesktopServices::openUrl(page) || !model_.panels()) return;
    model_.panels()->alert(QStringLiteral("The online help page didn’t open"),
                           QStringLiteral("No web browser opened it. You can open %1 in a web browser yourself.")
                               .arg(page.toString()));
}

QString HelpWindow::pageTitle() const
{
    auto* label = column_->findChild<QLabel*>(QStringLiteral("pageTitle"));
    return label ? label->text() : QString();
}

QStringList HelpWindow::pageParagraphs() const
{
    QStringList texts;
    for (auto* label : column_->findChildren<QLabel*>(QStringLiteral("paragraph"))) texts << label->text();
    return texts;
}

} // namespace FolmiraApp
