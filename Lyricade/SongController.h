#pragma once

// The application's one way into the songbook side: it owns the songbook
// model for its whole life, reads state from it for the application's menus,
// toolbar and window, and forwards their commands. Main thread only.
//
// The application calls configure() once at start, makes one controller on
// first use and hands it its style at once and after every settings change,
// and calls writeLibrary() when it quits.

#include "Lyricade/AppModel.h"
#include "Lyricade/Host.h"

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace Lyricade {

class SongController : public QObject {
    Q_OBJECT

public:
    using Library = TunequillKit::Library;

    struct ImportCounts {
        int songs = 0;
        int books = 0;
    };

    // The product name for the songbook side's messages and as the creator of
    // songbook PDFs. Before the first call the songbook side says "Folmira".
    static void configure(const QString& brandName);

    // The model loads or makes its library as AppModel's constructor says.
    SongController(SongHost host, bool persist, std::optional<Library> library, ModelServices services = {},
                   QObject* parent = nullptr);
    ~SongController() override;

    AppModel& model() const { return *model_; }

    // A different style refreshes the preview at once.
    void setStyle(const SongStyle& style);

    // --- State (read from the model) ---
    const SongStyle& style() const { return model_->style(); }
    bool hasOutput() const { return model_->previewPDF() != nullptr; }
    bool hasBook() const { return model_->selectedBook().has_value(); }
    // The selected book's name; else the selected song's title ("Untitled
    // song" when it has none); else empty.
    QString title() const;
    int songCount() const { return static_cast<int>(model_->library().songs.size()); }
    int bookCount() const { return static_cast<int>(model_->library().books.size()); }
    int previewPages() const { return model_->previewPages(); }
    bool showsBooklet() const { return model_->previewMode() == PreviewMode::booklet; }
    bool twoColumns() const;
    bool onePerPage() const;
    bool nashville() const;
    std::optional<double> lyricSize() const;
    std::optional<TunequillKit::Songbook> selectedBook() const { return model_->selectedBook(); }
    Library library() const { return model_->library(); }
    bool showInspector() const { return model_->showInspector(); }
    void setShowInspector(bool shown) { model_->setShowInspector(shown); }

    // --- Commands ---
    void importPanel() { model_->chooseSongFiles(); }
    int importFiles(const std::vector<std::filesystem::path>& urls) { return model_->importFiles(urls); }
    void newSong() { model_->newSong(); }
    void newSongbook() { model_->newBook(TunequillKit::BookKind::book); }
    void newSetList() { model_->newBook(TunequillKit::BookKind::setList); }
    // The selected book (else song) to the host's save panel, as pages or booklet sheets.
    void exportBook(bool booklet) { model_->exportBook(booklet); }
    // Booklet sheets when a book is selected and the preview shows the booklet.
    void print() { model_->printBook(); }
    void transpose(int halfSteps) { model_->transpose(halfSteps); }
    void move(int offset) { model_->moveEntries(offset); }
    void addSongs() { model_->setAddSongsShown(true); }
    void showLicensing() { model_->setLicensingShown(true); }
    void toggleBooklet();

    // Book settings of the selected book, each one library change; nothing
    // without a selected book.
    void setTwoColumns(bool on);
    void setOnePerPage(bool on);
    void setNashville(bool on);
    void bigger();  // +2 pt, at most 28
    void smaller(); // −2 pt, at least 16
    // The size rounded to whole points (halves away from zero), within 16…28.
    void applyPresetSize(double size);
    void updateSelectedBook(const std::function<void(TunequillKit::Songbook&)>& change);

    // Writes the library now. A failure is kept in the model's error and also
    // written to standard error, since at quit no window is left to show it.
    void writeLibrary();

    // The earlier application's library.json merged into this library; the
    // first added book is selected. Throws SongGlue::ImportError, leaving the
    // library unchanged.
    ImportCounts importTunequillLibrary(const std::filesystem::path& at);
    ImportCounts importTunequillLibrary(const Platform::Bytes& data);

    std::optional<AppModel::BookOutput> outputPDF(bool booklet) { return model_->bookPDF(booklet); }
    // The first book with exactly this name, with its first entry selected.
    void selectBookNamed(const std::string& name);
    // The first set list (true) or songbook (false), with its first entry selected.
    void selectBookKind(bool setList);
    // Stages a demonstration state on the sample library: "song", "setlist",
    // "booklet", "bigprint", "twocolumn", or any other name.
    void showcase(const QString& scene);

signals:
    // Any observed field of the model changed.
    void changed();

private:
    void select(std::size_t bookIndex, std::optional<int> pageRequest);
    std::optional<std::size_t> firstBook(TunequillKit::BookKind kind) const;

    std::unique_ptr<AppModel> model_;
};

} // namespace Lyricade
