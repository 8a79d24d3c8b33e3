#pragma once

// Document mode's whole window content: the empty state or the two panes,
// the status bar, the settings inspector, the drop target, the toolbar items
// and the window title.

#include "Lyricade/Views/ChoiceButton.h"

#include <QWidget>

class QAction;
class QSplitter;
class QStackedWidget;
class QToolBar;
class QToolButton;

namespace FolmiraApp {

class AppModel;
class EmptyStateView;
class LargePrintPane;
class OriginalPane;
class SettingsPanel;
class StatusBar;

class DocumentView : public QWidget {
    Q_OBJECT

public:
    static constexpr int originalMinWidth = 300;
    static constexpr int largePrintMinWidth = 360;
    static constexpr int inspectorMinWidth = 290;
    static constexpr int inspectorIdealWidth = 310;
    static constexpr int inspectorMaxWidth = 380;

    explicit DocumentView(AppModel& model, QWidget* parent = nullptr);

    // Adds Document mode's six items to the window's toolbar; `middle`, when
    // given, stands between Open and the rest and takes the spare width.
    void addToolBarItems(QToolBar* toolBar, QWidget* middle = nullptr);

    // The window title: the file's name, or the product's.
    QString title() const;

    bool dropTargeted() const { return dropTargeted_; }
    // Opens the first of the dropped files when it is a local file; the rest
    // are ignored. False for an empty list.
    bool dropFiles(const QList<QUrl>& urls);

    EmptyStateView* emptyState() const { return empty_; }
    // The panes and their splitter are made when a file is first open; null before.
    OriginalPane* originalPane() const { return original_; }
    LargePrintPane* largePrintPane() const { return largePrint_; }
    QSplitter* panes() const { return panes_; }
    SettingsPanel* inspector() const { return inspector_; }
    StatusBar* statusBar() const { return status_; }
    QWidget* documentArea() const;

    QAction* openAction() const { return open_; }
    Lyricade::ChoiceButton* presetButton() const { return preset_; }
    QAction* smallerAction() const { return smaller_; }
    QAction* biggerAction() const { return bigger_; }
    QAction* printAction() const { return print_; }
    QAction* exportAction() const { return export_; }
    QAction* settingsAction() const { return settings_; }

signals:
    void titleChanged(const QString& title);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void refreshArea();
    void buildPanes();
    void orderTabs();
    void refreshToolBar();
    void setDropTargeted(bool targeted);
    bool overDocumentSide(const QPoint& position) const;

    AppModel& model_;
    bool dropTargeted_ = false;
    QStackedWidget* area_;
    EmptyStateView* empty_;
    QSplitter* panes_ = nullptr;
    OriginalPane* original_ = nullptr;
    LargePrintPane* largePrint_ = nullptr;
    StatusBar* status_;
    QSplitter* columns_;
    SettingsPanel* inspector_;

    QAction* open_ = nullptr;
    Lyricade::ChoiceButton* preset_ = nullptr;
    QAction* smaller_ = nullptr;
    QAction* bigger_ = nullptr;
    QAction* print_ = nullptr;
    QAction* export_ = nullptr;
    QAction* settings_ = nullptr;
};

} // namespace FolmiraApp
