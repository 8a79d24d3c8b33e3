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

    // The minimum and starting sizes on a screen whose free area (without
    // panels and docks) is `available`: the standard ones, each cut to that
    // area so the whole window can be seen.
    struct Sizes {
        QSize minimum;
        QSize preferred;
    };
    static Sizes sizesFor(QSize available);

    explicit MainWindow(AppModel& model, QWidget* parent = nullptr);

    DocumentView* documentView() const { return document_; }
    QToolBar* toolBar() const { return toolBar_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fitToScreen();
    void keepFrameOnScreen();

    AppModel& model_;
    DocumentView* document_;
    QToolBar* toolBar_;
    bool shownOnce_ = false;
};

} // namespace FolmiraApp
