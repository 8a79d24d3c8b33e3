#pragma once

// The window "Folmira Help": a sidebar of the help topics in three sections
// and the chosen topic's page. The page shown is the model's helpPage; the
// window keeps no state of its own, so the Help menu, the Settings window and
// the sidebar all steer that one value.

#include "FolmiraApp/Model/Kinds.h"

#include <QWidget>

class QPushButton;
class QScrollArea;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace FolmiraApp {

class AppModel;

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize defaultWindowSize{860, 600};
    static constexpr QSize minimumWindowSize{780, 500};
    static constexpr int sidebarWidth = 260;
    static constexpr int pageColumnWidth = 680; // padding included

    explicit HelpWindow(AppModel& model, QWidget* parent = nullptr);

    // Shows the window, or brings it to the front when it is open.
    void present();

    // Opens the product's online help page in the desktop's browser; when no
    // browser takes it, an alert says so and gives the address.
    void openOnlineHelp();

    QTreeWidget* sidebar() const { return sidebar_; }
    QScrollArea* pageArea() const { return pageArea_; }
    QWidget* pageColumn() const { return column_; }
    QString pageTitle() const;
    QStringList pageParagraphs() const;
    // The "Open the Online Help Page" button; null on every page but the first.
    QPushButton* onlineHelpButton() const { return onlineHelp_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildSidebar();
    // Up, Down, Home and End move over the topics only, across the section headings.
    bool stepTopic(int key);
    void showPage();
    void selectCurrentRow();
    void selectionChanged();
    QTreeWidgetItem* rowFor(HelpTopic topic) const;

    AppModel& model_;
    QTreeWidget* sidebar_;
    QScrollArea* pageArea_;
    QWidget* column_ = nullptr;
    QPushButton* onlineHelp_ = nullptr;
};

} // namespace FolmiraApp
