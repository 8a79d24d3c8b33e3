#pragma once

// The window "main". The mode picker stands at the centre of the toolbar in
// both modes; below it the window shows Document mode's view or the songbook
// pane, as the model's kind says. Over either it puts the welcome sheet while
// the model asks for it, and it passes every help request on to whoever
// shows the help window. Titled with the open file's name in Document mode,
// with what the songbook pane asks for in Songbook mode, else with the
// product's name.

#include <QMainWindow>
#include <QPointer>

#include <functional>

class QStackedWidget;
class QToolBar;

namespace FolmiraApp {

class AppModel;
class DocumentView;
class ModePicker;
class WelcomeView;

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

    // Songbook mode's whole content, made the first time that mode is shown
    // (making it starts the songbook side). It may add its own items to the
    // toolbar it is given, after the mode picker. Its windowTitle, when it
    // sets one, is the window's title in Songbook mode.
    using SongbookFactory = std::function<QWidget*(QWidget* parent, QToolBar* toolBar)>;

    explicit MainWindow(AppModel& model, SongbookFactory songbook = {}, QWidget* parent = nullptr);

    DocumentView* documentView() const { return document_; }
    // Null until Songbook mode was first shown.
    QWidget* songbookPane() const { return songbook_; }
    QWidget* currentContent() const;
    // The toolbar of the mode shown, and that mode's picker.
    QToolBar* toolBar() const;
    ModePicker* modePicker() const;
    // The welcome sheet while it is up.
    WelcomeView* welcomeSheet() const;

signals:
    // The model asked for a help page (every request, also for the page shown).
    void helpWanted();
    // "Import Tunequill Library…" on the welcome sheet, after it has closed.
    void importWanted();
    // Once, as soon as the window's first paint is over (or half a second
    // after it was first shown, when it never painted: started minimised or
    // on another workspace): work the window need not wait for starts here.
    void firstPainted();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    QMenu* createPopupMenu() override; // the toolbars are the modes', not the user's to hide

private:
    QToolBar* makeToolBar(const QString& name);
    QWidget* pickerSlot();
    void showMode();
    void showWelcomeWhenAsked();
    void refreshTitle();
    // The screen's free area in whole logical pixels that all lie on the screen.
    QRect freeArea() const;
    void fitToScreen();
    void keepFrameOnScreen();

    AppModel& model_;
    SongbookFactory makeSongbook_;
    QStackedWidget* modes_;
    DocumentView* document_;
    QWidget* songbook_ = nullptr;
    QToolBar* documentBar_;
    QToolBar* songbookBar_ = nullptr;
    ModePicker* documentPicker_ = nullptr;
    ModePicker* songbookPicker_ = nullptr;
    QPointer<WelcomeView> welcome_;
    void reportFirstPaint();

    bool paintedOnce_ = false;
    bool paintReported_ = false;
    bool shownOnce_ = false;
    bool framePending_ = false;
    // How long to wait for a window manager's frame before fitting without one.
    static constexpr int frameWait = 1500;
};

} // namespace FolmiraApp
