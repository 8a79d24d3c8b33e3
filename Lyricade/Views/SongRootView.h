#pragma once

// The whole content of Songbook mode: sidebar, song list or book view, the
// detail (song editor, book preview or "No song selected") and the
// print-settings inspector side by side, over the songbook toolbar. It also
// presents what the model asks for: the add-songs sheet, the licensing notes,
// the error alert and the delete-song confirmation. Everything it shows
// follows fields of the model; closing a presentation writes its field back.
//
// The window title (the selected book's name, else the product name) is this
// widget's windowTitle; a window hosting it follows windowTitleChanged.

#include <QWidget>

#include "TunequillKit/Library/Identity.h"

#include <memory>
#include <optional>
#include <set>

class QAction;
class QMessageBox;
class QSettings;
class QSplitter;
class QStackedWidget;
class QToolBar;

namespace Lyricade {

class AddSongsSheet;
class AppModel;
class BookView;
class ColumnFit;
class InspectorView;
class LicensingSheet;
class SidebarView;
class SongListView;

class SongRootView : public QWidget {
    Q_OBJECT

public:
    // What the detail column shows.
    enum class Detail { none, song, book };

    // `defaults` holds the preview's facing-pages preference; none: the application's.
    explicit SongRootView(AppModel& model, std::shared_ptr<QSettings> defaults = nullptr, QWidget* parent = nullptr);
    ~SongRootView() override;

    QToolBar* toolBar() const { return toolBar_; }
    QAction* importAction() const { return import_; }
    QAction* printAction() const { return print_; }
    QAction* exportAction() const { return export_; }
    QAction* printSettingsAction() const { return printSettings_; }

    SidebarView* sidebar() const { return sidebar_; }
    QWidget* content() const;
    // The song list, or the selected book's entries.
    void focusList();
    Detail detailKind() const { return detailKind_; }
    QWidget* detail() const { return detail_; }
    InspectorView* inspector() const { return inspector_; }
    QSplitter* splitter() const { return split_; }
    // The window is too narrow for the preview and the print settings side by
    // side, each at its least width: the settings, asked for, stand in the
    // preview's place until they are closed or the window widens.
    bool previewGivesWay() const { return previewGivesWay_; }

    // The presentations while they are up; null otherwise.
    QMessageBox* errorAlert() const { return errorAlert_; }
    QMessageBox* deleteDialog() const { return deleteDialog_; }
    AddSongsSheet* addSongsSheet() const { return addSongs_; }
    LicensingSheet* licensingSheet() const { return licensing_; }

    // The confirmation's texts for the song waiting to be deleted; empty without one.
    QString deleteTitle() const;
    QString deleteMessage() const;

private:
    bool sidebarFitPending_ = false;
    bool previewGivesWay_ = false;
    void fitPreview();
    void buildToolBar();
    void refreshTitle();
    void refreshToolBar();
    void refreshColumns();
    void fitSidebar();
    void fitInspector();
    void refreshInspector();
    void presentError();
    void presentDelete();
    void presentAddSongs();
    void presentLicensing();
    // After a new song, songbook, set list or import: the focus goes to what
    // was made once the model has selected it (a new book's name field, else
    // the list holding the new rows).
    void noticeWhatWasMade();
    void focusWhatWasMade(std::optional<TunequillKit::Uuid> newBook);

    AppModel& model_;
    std::shared_ptr<QSettings> defaults_;
    QToolBar* toolBar_ = nullptr;
    QAction* import_ = nullptr;
    QAction* print_ = nullptr;
    QAction* export_ = nullptr;
    QAction* printSettings_ = nullptr;
    QSplitter* split_;
    ColumnFit* fit_;
    SidebarView* sidebar_;
    QStackedWidget* content_;
    SongListView* songList_;
    BookView* bookView_;
    QStackedWidget* detailHolder_;
    QWidget* detail_ = nullptr;
    Detail detailKind_ = Detail::none;
    bool detailMade_ = false;
    InspectorView* inspector_;
    QMessageBox* errorAlert_ = nullptr;
    QMessageBox* deleteDialog_ = nullptr;
    AddSongsSheet* addSongs_ = nullptr;
    LicensingSheet* licensing_ = nullptr;
    std::set<TunequillKit::Uuid> knownBooks_;
    std::size_t knownSongs_ = 0;
};

} // namespace Lyricade
