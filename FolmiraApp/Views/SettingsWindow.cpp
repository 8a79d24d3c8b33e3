#include "FolmiraApp/Views/SettingsWindow.h"

#include "Lyricade/Views/ScreenFit.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Views/AppIcon.h"
#include "FolmiraApp/Views/Icons.h"
#include "FolmiraApp/Views/TextStyles.h"
#include "FolmiraApp/Views/ToolBarFocus.h"
#include "FolmiraKit/FolmiraKit.h"
#include "Lyricade/Views/ScreenFit.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace FolmiraApp {

namespace {

QString productName()
{
    return qstr(FolmiraKit::Brand::name);
}

QVBoxLayout* stackIn(QWidget* widget, int padding, int spacing)
{
    auto* stack = new QVBoxLayout(widget);
    stack->setContentsMargins(padding, padding, padding, padding);
    stack->setSpacing(spacing);
    return stack;
}

QLabel* secondary(const QString& text, QWidget* parent)
{
    auto* label = TextStyle::wrapping(text, parent);
    TextStyle::makeSecondary(label);
    return label;
}

// `tab` in a scroll area of its own: a small screen at large fonts has less
// room than the window's size. The area is no Tab stop: its controls are
// scrolled to as they take the focus.
QScrollArea* scrolling(QWidget* tab)
{
    auto* scroll = new QScrollArea;
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(tab);
    return scroll;
}

} // namespace

SettingsWindow::SettingsWindow(AppModel& model, std::shared_ptr<QSettings> defaults, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model), defaults_(defaults ? std::move(defaults) : std::make_shared<QSettings>())
{
    setObjectName(QStringLiteral("settings"));
    setWindowTitle(QStringLiteral("%1 Settings").arg(productName()));
    setWindowIcon(applicationIcon());
    setFixedSize(windowSize);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabWidget(this);
    tabs_->addTab(scrolling(makeGeneralTab()), themeIcon("preferences-system", QStyle::SP_FileDialogDetailedView),
                  QStringLiteral("General"));
    tabs_->addTab(scrolling(makePrivacyTab()), themeIcon("security-high", QStyle::SP_MessageBoxInformation),
                  QStringLiteral("Privacy"));
    tabs_->addTab(makeFontLicenseTab(), themeIcon("preferences-desktop-font", QStyle::SP_FileIcon),
                  QStringLiteral("Font License"));
    layout->addWidget(tabs_);

    tabs_->setCurrentIndex(tabIndex(defaults_->value(tabKey, QStringLiteral("general")).toString()));
    connect(tabs_, &QTabWidget::currentChanged, this,
            [this](int index) { defaults_->setValue(tabKey, tabIds().value(index)); });
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
}

SettingsWindow::~SettingsWindow() = default;

QStringList SettingsWindow::tabIds()
{
    return {QStringLiteral("general"), QStringLiteral("privacy"), QStringLiteral("font")};
}

int SettingsWindow::tabIndex(const QString& id)
{
    return std::max<int>(0, static_cast<int>(tabIds().indexOf(id)));
}

void SettingsWindow::present(const QWidget* over)
{
    if (!isVisible()) Lyricade::fitOnScreen(*this, over);
    show();
    raise();
    activateWindow();
}

QWidget* SettingsWindow::makeGeneralTab()
{
    auto* tab = new QWidget;
    auto* stack = stackIn(tab, 20, 16);

    auto* welcome = new QGroupBox(tab);
    auto* welcomeStack = stackIn(welcome, 12, 8);
    showWelcome_ = new QPushButton(QStringLiteral("Show the Welcome Screen"), welcome);
    import_ = new QPushButton(QStringLiteral("Import Tunequill Library…"), welcome);
    welcomeStack->addWidget(showWelcome_, 0, Qt::AlignLeft);
    welcomeStack->addWidget(import_, 0, Qt::AlignLeft);
    stack->addWidget(welcome);
    auto* footer = secondary(QStringLiteral("Used Tunequill? Its songs, songbooks and set lists come into Songbook "
                                            "mode; songs you already have aren’t added twice."),
                             tab);
    footer->setFont(TextStyle::font(this, TextStyle::caption));
    stack->addWidget(footer);

    auto* help = new QGroupBox(QStringLiteral("Help"), tab);
    auto* helpStack = stackIn(help, 12, 8);
    help_ = new QPushButton(QStringLiteral("Open %1 Help").arg(productName()), help);
    helpStack->addWidget(help_, 0, Qt::AlignLeft);
    stack->addWidget(help);
    stack->addStretch(1);

    connect(showWelcome_, &QPushButton::clicked, this, [this] { model_.setShowWelcome(true); });
    connect(import_, &QPushButton::clicked, this, &SettingsWindow::importRequested);
    connect(help_, &QPushButton::clicked, this, [this] { model_.requestHelp(HelpTopic::start); });
    return tab;
}

QWidget* SettingsWindow::makePrivacyTab()
{
    auto* tab = new QWidget;
    auto* stack = stackIn(tab, 20, 12);
    stack->addWidget(TextStyle::wrapping(
        QStringLiteral("Your documents never leave this computer. %1 reads the file you open and writes only the PDF you "
                       "save, where you save it. It never changes the original.")
            .arg(productName()),
        tab));
    stack->addWidget(TextStyle::wrapping(QStringLiteral("Songbook mode keeps your songs, songbooks and set lists in "
                                                        "the app’s own folder on this computer, and reads only the song "
                                                        "files you import."),
                                         tab));
    stack->addWidget(secondary(QStringLiteral("It doesn’t promise accessibility or medical-reading compliance; it "
                                              "makes clear large-print copies for reading and printing."),
                               tab));

    auto* licensing = new QGroupBox(QStringLiteral("Song licensing"), tab);
    auto* licensingStack = stackIn(licensing, 12, 8);
    licensingStack->addWidget(secondary(
        QStringLiteral("Song lyrics and music belong to their writers and publishers. Printing copyrighted songs for "
                       "a church, school or group usually needs a license (for example from CCLI) or the "
                       "publisher’s permission. The sample songs are in the public domain."),
        licensing));
    stack->addWidget(licensing);
    stack->addStretch(1);
    return tab;
}

QWidget* SettingsWindow::makeFontLicenseTab()
{
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A Tab stop, for scrolling the long licence from the keyboard.
    scroll->setAccessibleName(QStringLiteral("Font License"));
    ringWhenFocused(scroll);

    auto* content = new QWidget;
    auto* stack = stackIn(content, 20, 10);
    auto* headline = TextStyle::wrapping(QStringLiteral("Atkinson Hyperlegible"), content);
    headline->setFont(TextStyle::font(this, TextStyle::headline, QFont::Bold));
    stack->addWidget(headline);
    stack->addWidget(secondary(QStringLiteral("Designed by the Braille Institute of America for readers with low "
                                              "vision. Included under the SIL Open Font License 1.1:"),
                               content));

    const QString licence = qstr(FolmiraKit::LargePrintFont::atkinsonLicense());
    if (!licence.isEmpty()) {
        auto* text = TextStyle::wrapping(licence, content);
        text->setObjectName(QStringLiteral("licence"));
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(font().pointSizeF() * TextStyle::caption);
        text->setFont(mono);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        stack->addWidget(text);
    }
    stack->addStretch(1);
    scroll->setWidget(content);
    return scroll;
}

} // namespace FolmiraApp
