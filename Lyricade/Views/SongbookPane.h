#pragma once

// What the main window shows in Songbook mode: the songbook root view over
// the controller's model. The controller must outlive the pane. The window
// title the pane asks for is its windowTitle (see SongRootView).

#include <QWidget>

#include <memory>

class QSettings;

namespace Lyricade {

class SongController;
class SongRootView;

class SongbookPane : public QWidget {
    Q_OBJECT

public:
    // `defaults` holds the preview's facing-pages preference; none: the
    // application's own (organization and application "Folmira").
    explicit SongbookPane(SongController& controller, std::shared_ptr<QSettings> defaults = nullptr,
                          QWidget* parent = nullptr);

    SongController& controller() const { return controller_; }
    SongRootView* root() const { return root_; }

protected:
    // Given the focus (the mode switch does), the pane hands it to its list;
    // given it as the window comes up (the window's first focus in Songbook
    // mode), to the sidebar's selected row.
    void focusInEvent(QFocusEvent* event) override;

private:
    SongController& controller_;
    SongRootView* root_;
};

} // namespace Lyricade
