#pragma once

// The window "main": Document mode's view with its toolbar, titled with the
// open file's name or the product's.

#include <QMainWindow>

class QToolBar;

namespace FolmiraApp {

class AppModel;
class DocumentView;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize minimumWindowSize{1040, 660};
    static constexpr QSize defaultWindowSize{1360, 860};

    explicit MainWindow(AppModel& model, QWidget* parent = nullptr);

    DocumentView* documentView() const { return document_; }
    QToolBar* toolBar() const { return toolBar_; }

private:
    AppModel& model_;
    DocumentView* document_;
    QToolBar* toolBar_;
};

} // namespace FolmiraApp
