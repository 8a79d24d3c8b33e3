#pragma once

// The Settings window: what belongs to the application as a whole, on three
// tabs (General, Privacy, Font License). The tab shown last is kept in the
// user's defaults under "settingsTab", so the window reopens on it, also
// after a restart.

#include <QWidget>

#include <memory>

class QPushButton;
class QSettings;
class QTabWidget;

namespace FolmiraApp {

class AppModel;

class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize windowSize{580, 480};
    static constexpr const char* tabKey = "settingsTab";

    // `defaults` null: the application's own QSettings.
    explicit SettingsWindow(AppModel& model, std::shared_ptr<QSettings> defaults = {}, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // The tab identifiers, in tab order: "general", "privacy", "font".
    static QStringList tabIds();
    // The tab an identifier names; anything else is General.
    static int tabIndex(const QString& id);

    QTabWidget* tabs() const { return tabs_; }
    QPushButton* showWelcomeButton() const { return showWelcome_; }
    QPushButton* importButton() const { return import_; }
    QPushButton* helpButton() const { return help_; }

    // Shows the window, or brings it to the front when it is open. A window
    // that opens stands centred over `over` (when given), inside its screen.
    void present(const QWidget* over = nullptr);

signals:
    // "Import Tunequill Library…": the interactive import of the earlier
    // songbook application's library.
    void importRequested();

private:
    QWidget* makeGeneralTab();
    QWidget* makePrivacyTab();
    QWidget* makeFontLicenseTab();

    AppModel& model_;
    std::shared_ptr<QSettings> defaults_;
    QTabWidget* tabs_;
    QPushButton* showWelcome_ = nullptr;
    QPushButton* import_ = nullptr;
    QPushButton* help_ = nullptr;
};

} // namespace FolmiraApp
