#pragma once

// The songbook side's one state object: the library, the sidebar, song-list
// and book selections, the search text, the preview and the sheet flags. It
// loads the library when it is made, writes it 0.6 s after the last change
// and refreshes the preview when the library, the selection or a preview
// setting changes. Main thread only; previews and book PDFs are made by its
// worker.
//
// Each observable field has its own change signal, sent only when a write
// changes the value, with one exception: every write of `library`, even of an
// equal value, notifies, schedules a save and a delayed preview refresh.

#include "Lyricade/BookMaker.h"
#include "Lyricade/Host.h"
#include "Lyricade/Panels.h"
#include "PdfView/Pdf.h"
#include "Lyricade/Scheduler.h"
#include "Lyricade/Selection.h"
#include "Platform/Cancel.h"
#include "TunequillKit/Library/Library.h"
#include "TunequillKit/Render/BookletMaker.h"
#include "TunequillKit/Song/Song.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace Lyricade {

// What the model works with besides its own state; anything left empty gets
// the real thing.
struct ModelServices {
    std::shared_ptr<Scheduler> scheduler;            // Qt timers
    std::optional<std::filesystem::path> dataFolder; // LibraryFile::defaultDataFolder()
    std::shared_ptr<SongPanels> panels;              // none: the open panel offers nothing
    std::shared_ptr<Announcer> announcer;            // the accessibility announcement
    std::shared_ptr<Worker> worker;                  // a thread of its own (threadWorker)
    std::shared_ptr<BookMaker> maker;                // the songbook PDFs (a BookMaker)
};

class AppModel : public QObject {
    Q_OBJECT

public:
    using Uuid = TunequillKit::Uuid;
    using Library = TunequillKit::Library;
    using Sheet = TunequillKit::BookletMaker::Sheet;

    static constexpr Milliseconds saveDelay{600};
    static constexpr Milliseconds previewDelay{180};

    // A parse-cache entry: the source that was parsed and what came of it.
    struct ParsedSong {
        std::string source;
        std::shared_ptr<const TunequillKit::Song> song;
    };

    using BookRender = Lyricade::BookRender;

    // What export and print hand on: the PDF and the name it goes under.
    struct BookOutput {
        Platform::Bytes pdf;
        QString name;
    };

    // A given library is used unchanged; without one the stored library is
    // loaded when `persist`, else the samples. Never fails: a library file
    // that cannot be read is replaced by the samples, silently.
    AppModel(SongHost host, bool persist, std::optional<Library> library, ModelServices services = {},
             QObject* parent = nullptr);
    ~AppModel() override;

    // --- Fields ---
    const SongHost& host() const { return host_; }
    bool persist() const { return persist_; }
    const Library& library() const { return library_; }
    const std::optional<SidebarItem>& selection() const { return selection_; }
    const std::optional<Uuid>& selectedSongID() const { return selectedSongID_; }
    const std::set<Uuid>& selectedEntryIDs() const { return selectedEntryIDs_; }
    const QString& search() const { return search_; }
    PreviewMode previewMode() const { return previewMode_; }
    Sheet bookletSheet() const { return bookletSheet_; }
    int editorTranspose() const { return editorTranspose_; }
    bool showInspector() const { return showInspector_; }
    const SongStyle& style() const { return style_; }
    const PdfView::PdfDocumentPtr& previewPDF() const { return previewPDF_; }
    int previewPages() const { return previewPages_; }
    const QStringList& previewWarnings() const { return previewWarnings_; }
    std::optional<int> previewPageRequest() const { return previewPageRequest_; }
    const std::optional<QString>& error() const { return error_; }
    bool addSongsShown() const { return addSongsShown_; }
    bool licensingShown() const { return licensingShown_; }
    const std::optional<TunequillKit::StoredSong>& pendingDelete() const { return pendingDelete_; }
    const std::unordered_map<Uuid, ParsedSong>& parsed() const { return parsed_; }
    // The last announcement, for a status line that screen readers follow
    // where Qt has no announcement event.
    const QString& statusText() const { return statusText_; }
    bool previewPending() const { return previewTask_ && previewTask_->pending(); }
    // A preview is being made on the worker; the fields still show the last one.
    bool previewRendering() const;
    bool savePending() const { return saveTask_ && saveTask_->pending(); }

    // --- Setters ---
    // Both run the library's change hook once, whatever the new value.
    void setLibrary(Library library);
    void changeLibrary(const std::function<void(Library&)>& change);
    void setSelection(const std::optional<SidebarItem>& selection);
    void setSelectedSongID(const std::optional<Uuid>& id);
    void setSelectedEntryIDs(const std::set<Uuid>& ids);
    void setSearch(const QString& text);
    void setPreviewMode(PreviewMode mode);   // refreshes at once, even when unchanged
    void setBookletSheet(Sheet sheet);       // refreshes at once, even when unchanged
    void setEditorTranspose(int halfSteps);  // refreshes after the delay, even when unchanged
    void setShowInspector(bool shown);
    void setPreviewPageRequest(std::optional<int> page);
    void setError(const std::optional<QString>& message);
    void setAddSongsShown(bool shown);
    void setLicensingShown(bool shown);
    void setPendingDelete(const std::optional<TunequillKit::StoredSong>& song);
    // A different style sets the engine's sans faces and refreshes at once.
    void applyStyle(const SongStyle& style);

    // --- Library file ---
    const std::filesystem::path& libraryFile() const { return libraryFile_; }
    // Writes the library now (nothing without `persist`). A failure becomes
    // `error` and false is returned. A file that could not be read at start
    // is first moved aside, so the user's songs in it are not overwritten.
    // When something other than a regular file stood there (a folder, a
    // named pipe), nothing is written this session and false is returned.
    bool saveLibrary();
    // A save 0.6 s from now, replacing the one asked for before.
    void scheduleSave();

    // The parsed song of the library song with this id, from the parse cache
    // while its source is unchanged; none when no song has the id. A song
    // leaves the cache when it leaves the library.
    std::shared_ptr<const TunequillKit::Song> song(const Uuid& id) const;

    // --- Lookups ---
    std::optional<std::size_t> selectedBookIndex() const;
    std::optional<TunequillKit::Songbook> selectedBook() const;
    std::optional<TunequillKit::StoredSong> selectedSong() const;

    // --- Preview and output ---
    // A refresh now (posted, never inside this call) or after 0.18 s,
    // replacing the one asked for before and cancelling the one being made.
    void schedulePreview(bool immediate);
    // Starts making the preview of the selected book; else, while All Songs
    // is selected, of the selected song alone. With nothing to show the
    // preview is cleared at once; else its fields change when the worker is
    // done, unless a newer request came first.
    void refreshPreview();
    // Made on the worker; waits for it.
    BookRender renderBook(const TunequillKit::Songbook& book, bool booklet);
    // The selected book, else the selected song, rendered afresh on the
    // worker (waits for it); none when there is nothing (an empty book sets
    // `error`).
    std::optional<BookOutput> bookPDF(bool booklet);
    void exportBook(bool booklet);
    // Without a flag: booklet sheets when a book is selected and the preview
    // shows the booklet.
    void printBook(std::optional<bool> booklet = std::nullopt);

    // --- Editing (each changes the library in one write unless stated) ---
    // The selected book's entries at `fromOffsets` (in their order) moved
    // before the entry that stood at `toOffset` (the end when it is the count).
    void moveEntries(const std::set<std::size_t>& fromOffsets, std::size_t toOffset);
    // Takes the entries out of the selected book, and their ids out of the entry selection.
    void removeEntries(const std::set<Uuid>& ids);
    // Swaps one selected entry with its neighbour `by` places away (−1 up, +1 down).
    void moveEntries(int by);
    // New entries for the songs that exist, in order, repeats kept; announced.
    void addSongs(const std::vector<Uuid>& songs, const Uuid& to);
    // Selected entries of the selected book, or the editor's preview under
    // All Songs, by half steps wrapped into −5…+6.
    void transpose(int by);
    void newSong();
    void newBook(TunequillKit::BookKind kind);
    void duplicateBook(const Uuid& id);
    void deleteBook(const Uuid& id);
    // Nothing when the text is unchanged.
    void updateSource(const Uuid& song, const std::string& source);
    // The songs matching `search` (title, artists, first line), in title order.
    std::vector<TunequillKit::StoredSong> filteredSongs() const;
    std::vector<TunequillKit::Songbook> booksContaining(const Uuid& song) const;
    // Out of the library and every book; the open song moves to the first of
    // filteredSongs.
    void deleteSong(const Uuid& id);
    void deleteSong(const TunequillKit::StoredSong& song) { deleteSong(song.id); }
    void announce(const QString& text);

    // --- Import of song files ---
    static constexpr std::uintmax_t importSizeLimit = 2'000'000; // bytes; files this large or larger are refused
    static constexpr int folderFileLimit = 10'000;               // a folder walk takes at most this many song files
    static constexpr int folderEntryLimit = 1'000'000;           // and looks at most at this many entries
    // The open panel's name filters.
    static QStringList importContentTypes();
    // Runs the open panel and imports what was chosen.
    void chooseSongFiles();
    // Imports the song files among `urls` (folders searched) and reports
    // failures in `error`; returns the number imported.
    int importFiles(const std::vector<std::filesystem::path>& urls);
    // The song files one location stands for, folders walked in file-name order.
    // `stoppedEarly`, when given, tells whether a limit cut the walk short.
    static std::vector<std::filesystem::path> importFolder(const std::filesystem::path& url,
                                                           bool* stoppedEarly = nullptr);
    static bool fileNameOrder(const std::filesystem::path& a, const std::filesystem::path& b);

    // --- The earlier application's library ---
    struct ImportCounts {
        int songsAdded = 0;
        int booksAdded = 0;
    };
    // Merges a decoded library into this one and selects the first added book,
    // else All Songs.
    ImportCounts importLibrary(const Library& incoming);

signals:
    void libraryChanged();
    void selectionChanged();
    void selectedSongIDChanged();
    void selectedEntryIDsChanged();
    void searchChanged();
    void previewModeChanged();
    void bookletSheetChanged();
    void editorTransposeChanged();
    void showInspectorChanged();
    void styleChanged();
    void previewPDFChanged();
    void previewPagesChanged();
    void previewWarningsChanged();
    void previewPageRequestChanged();
    void errorChanged();
    void addSongsShownChanged();
    void licensingShownChanged();
    void pendingDeleteChanged();
    void statusTextChanged();

private:
    // Stores `value` and sends `changed` only when it differs from `field`.
    template <typename T>
    bool assign(T& field, const T& value, void (AppModel::*changed)())
    {
        if (field == value) return false;
        field = value;
        emit(this->*changed)();
        return true;
    }

    void load(std::optional<Library> given);
    void libraryDidChange();
    // Drops the parse-cache entries of songs no longer in the library; the
    // others stay parsed.
    void forgetRemovedSongs();
    void setPreview(PdfView::PdfDocumentPtr pdf, int pages, QStringList warnings);
    TunequillKit::BookSettings previewSettings() const;
    // One song alone with the preview settings and the editor's transposition.
    BookRequest songRequest(std::shared_ptr<const TunequillKit::Song> song) const;
    BookRequest bookRequest(const TunequillKit::Songbook& book, bool booklet) const;
    BookRender renderOnWorker(const BookRequest& request);
    // Cancels the preview being made and drops whatever it would bring.
    void cancelPreview();

    // The fields, in the order the songbook side documents them.
    const SongHost host_;
    const bool persist_;
    Library library_;
    std::optional<SidebarItem> selection_ = SidebarItem::allSongs();
    std::optional<Uuid> selectedSongID_;
    std::set<Uuid> selectedEntryIDs_;
    QString search_;
    PreviewMode previewMode_ = PreviewMode::pages;
    Sheet bookletSheet_ = Sheet::natural;
    int editorTranspose_ = 0;
    bool showInspector_ = true;
    SongStyle style_{std::nullopt, "Helvetica Neue", false, TunequillKit::PageSize::letter};
    PdfView::PdfDocumentPtr previewPDF_;
    int previewPages_ = 0;
    QStringList previewWarnings_;
    std::optional<int> previewPageRequest_;
    std::optional<QString> error_;
    bool addSongsShown_ = false;
    bool licensingShown_ = false;
    std::optional<TunequillKit::StoredSong> pendingDelete_;
    mutable std::unordered_map<Uuid, ParsedSong> parsed_;
    TaskHandle previewTask_;
    TaskHandle saveTask_;

    std::shared_ptr<Scheduler> scheduler_;
    std::shared_ptr<Worker> worker_;
    std::shared_ptr<BookMaker> maker_;
    std::shared_ptr<Platform::CancelFlag> previewCancel_; // of the preview being made
    std::uint64_t previewGeneration_ = 0;                 // moved on by every request; older results are dropped
    std::shared_ptr<SongPanels> panels_;
    std::shared_ptr<Announcer> announcer_;
    QString statusText_;
    std::filesystem::path libraryFile_;
    bool unreadableOnDisk_ = false; // the file at start could not be read: move it aside before writing
    bool refused_ = false;          // no regular file at the path at start: nothing is written this session
};

} // namespace Lyricade
