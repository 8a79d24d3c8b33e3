#include "Lyricade/AppModel.h"

#include "Lyricade/LibraryFile.h"
#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Library/Samples.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <QPointer>

#include <unordered_set>
#include <utility>

namespace Lyricade {

using namespace TunequillKit;


AppModel::AppModel(SongHost host, bool persist, std::optional<Library> library, ModelServices services,
                   QObject* parent)
    : QObject(parent),
      host_(std::move(host)),
      persist_(persist),
      scheduler_(services.scheduler ? std::move(services.scheduler) : qtScheduler()),
      worker_(services.worker ? std::move(services.worker) : threadWorker()),
      maker_(services.maker ? std::move(services.maker) : std::make_shared<BookMaker>()),
      panels_(std::move(services.panels)),
      announcer_(services.announcer ? std::move(services.announcer) : qtAnnouncer()),
      libraryFile_((services.dataFolder ? *services.dataFolder : LibraryFile::defaultDataFolder()) /
                   LibraryFile::relativePath)
{
    load(std::move(library));
}

AppModel::~AppModel()
{
    cancelPreview();
}

void AppModel::load(std::optional<Library> given)
{
    if (given) {
        library_ = std::move(*given);
    } else if (!persist_) {
        library_ = Samples::library();
    } else if (auto why = LibraryFile::refusal(libraryFile_)) {
        // Never read, renamed or written over: it may be a folder of the user's.
        library_ = Samples::library();
        refused_ = true;
        setError(QStringLiteral("Your song library couldn’t be opened: ") + *why +
                 QStringLiteral(" Nothing there has been changed, and changes you make to your songs now won’t be "
                                "saved. Move it out of the way, then open Folmira again."));
    } else if (auto stored = LibraryFile::read(libraryFile_)) {
        library_ = std::move(*stored);
    } else {
        library_ = Samples::library();
        unreadableOnDisk_ = LibraryFile::exists(libraryFile_);
    }
    if (persist_ && !LibraryFile::exists(libraryFile_)) saveLibrary();

    std::optional<Uuid> first;
    if (!library_.songs.empty()) first = library_.songs.front().id;
    setSelectedSongID(first);
    schedulePreview(true);
}

// --- Setters ---

void AppModel::setLibrary(Library library)
{
    library_ = std::move(library);
    libraryDidChange();
}

void AppModel::changeLibrary(const std::function<void(Library&)>& change)
{
    change(library_);
    libraryDidChange();
}

void AppModel::libraryDidChange()
{
    forgetRemovedSongs();
    emit libraryChanged();
    scheduleSave();
    schedulePreview(false);
}

void AppModel::setSelection(const std::optional<SidebarItem>& selection)
{
    if (assign(selection_, selection, &AppModel::selectionChanged)) schedulePreview(true);
}

void AppModel::setSelectedSongID(const std::optional<Uuid>& id)
{
    if (assign(selectedSongID_, id, &AppModel::selectedSongIDChanged)) schedulePreview(true);
}

void AppModel::setSelectedEntryIDs(const std::set<Uuid>& ids)
{
    assign(selectedEntryIDs_, ids, &AppModel::selectedEntryIDsChanged);
}

void AppModel::setSearch(const QString& text)
{
    assign(search_, text, &AppModel::searchChanged);
}

void AppModel::setPreviewMode(PreviewMode mode)
{
    assign(previewMode_, mode, &AppModel::previewModeChanged);
    schedulePreview(true);
}

void AppModel::setBookletSheet(Sheet sheet)
{
    assign(bookletSheet_, sheet, &AppModel::bookletSheetChanged);
    schedulePreview(true);
}

void AppModel::setEditorTranspose(int halfSteps)
{
    assign(editorTranspose_, halfSteps, &AppModel::editorTransposeChanged);
    schedulePreview(false);
}

void AppModel::setShowInspector(bool shown)
{
    assign(showInspector_, shown, &AppModel::showInspectorChanged);
}

void AppModel::setPreviewPageRequest(std::optional<int> page)
{
    assign(previewPageRequest_, page, &AppModel::previewPageRequestChanged);
}

void AppModel::setError(const std::optional<QString>& message)
{
    assign(error_, message, &AppModel::errorChanged);
}

void AppModel::setAddSongsShown(bool shown)
{
    assign(addSongsShown_, shown, &AppModel::addSongsShownChanged);
}

void AppModel::setLicensingShown(bool shown)
{
    assign(licensingShown_, shown, &AppModel::licensingShownChanged);
}

void AppModel::setPendingDelete(const std::optional<StoredSong>& song)
{
    assign(pendingDelete_, song, &AppModel::pendingDeleteChanged);
}

void AppModel::applyStyle(const SongStyle& style)
{
    if (!assign(style_, style, &AppModel::styleChanged)) return;
    Fonts::sansFaces = style_.faces;
    schedulePreview(true);
}

// --- Saving ---

bool AppModel::saveLibrary()
{
    if (!persist_) return true;
    if (refused_) return false;
    std::optional<QString> failure;
    if (unreadableOnDisk_ && LibraryFile::exists(libraryFile_)) {
        // Writing over it would lose whatever songs it still holds.
        LibraryFile::SetAside moved = LibraryFile::setAside(libraryFile_);
        if (!moved.movedTo) failure = moved.failure;
    }
    if (!failure) failure = LibraryFile::write(libraryFile_, library_);
    if (failure) {
        setError(QStringLiteral("Couldn’t save your song library: ") + *failure);
        return false;
    }
    unreadableOnDisk_ = false;
    return true;
}

void AppModel::scheduleSave()
{
    if (!persist_) return;
    saveTask_ = scheduler_->after(saveDelay, [model = QPointer<AppModel>(this)] {
        if (model) model->saveLibrary();
    });
}

// --- Parse cache and lookups ---

std::shared_ptr<const Song> AppModel::song(const Uuid& id) const
{
    for (const StoredSong& stored : library_.songs) {
        if (stored.id != id) continue;
        auto cached = parsed_.find(id);
        if (cached != parsed_.end() && cached->second.source == stored.source) return cached->second.song;
        auto song = std::make_shared<const Song>(ChordProParser::parse(stored.source));
        parsed_[id] = ParsedSong{stored.source, song};
        return song;
    }
    return nullptr;
}

void AppModel::forgetRemovedSongs()
{
    if (parsed_.empty()) return;
    std::unordered_set<Uuid> kept;
    kept.reserve(library_.songs.size());
    for (const StoredSong& stored : library_.songs) kept.insert(stored.id);
    std::erase_if(parsed_, [&](const auto& entry) { return !kept.count(entry.first); });
}

std::optional<std::size_t> AppModel::selectedBookIndex() const
{
    if (!selection_ || !selection_->bookID()) return std::nullopt;
    for (std::size_t i = 0; i < library_.books.size(); ++i)
        if (library_.books[i].id == *selection_->bookID()) return i;
    return std::nullopt;
}

std::optional<Songbook> AppModel::selectedBook() const
{
    if (auto index = selectedBookIndex()) return library_.books[*index];
    return std::nullopt;
}

std::optional<StoredSong> AppModel::selectedSong() const
{
    if (!selectedSongID_) return std::nullopt;
    for (const StoredSong& stored : library_.songs)
        if (stored.id == *selectedSongID_) return stored;
    return std::nullopt;
}

} // namespace Lyricade
