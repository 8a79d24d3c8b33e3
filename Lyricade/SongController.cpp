#include "Lyricade/SongController.h"

#include "Lyricade/LibraryFile.h"
#include "Lyricade/SongGlue.h"
#include "TunequillKit/Render/Renderer.h"

#include <QMetaMethod>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace Lyricade {

using namespace TunequillKit;

void SongController::configure(const QString& brandName)
{
    setBrandName(brandName);
    KitBrand::name = brandName.toStdString();
}

SongController::SongController(SongHost host, bool persist, std::optional<Library> library, ModelServices services,
                               QObject* parent)
    : QObject(parent), model_(std::make_unique<AppModel>(std::move(host), persist, std::move(library), std::move(services)))
{
    // Every change signal of the model is a change of what the controller reads.
    const QMetaObject* meta = model_->metaObject();
    const QMetaMethod forward = QMetaMethod::fromSignal(&SongController::changed);
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        if (meta->method(i).methodType() == QMetaMethod::Signal) connect(model_.get(), meta->method(i), this, forward);
}

SongController::~SongController() = default;

void SongController::setStyle(const SongStyle& style)
{
    model_->applyStyle(style);
}

QString SongController::title() const
{
    if (auto book = model_->selectedBook()) return QString::fromStdString(book->name);
    if (auto stored = model_->selectedSong())
        if (auto song = model_->song(stored->id)) return QString::fromStdString(song->displayTitle());
    return {};
}

bool SongController::twoColumns() const
{
    auto book = model_->selectedBook();
    return book && book->settings.columns == 2;
}

bool SongController::onePerPage() const
{
    auto book = model_->selectedBook();
    return book && book->settings.flow == Flow::songPerPage;
}

bool SongController::nashville() const
{
    auto book = model_->selectedBook();
    return book && book->settings.nashville;
}

std::optional<double> SongController::lyricSize() const
{
    if (auto book = model_->selectedBook()) return book->settings.fontSize;
    return std::nullopt;
}

void SongController::toggleBooklet()
{
    model_->setPreviewMode(showsBooklet() ? PreviewMode::pages : PreviewMode::booklet);
}

void SongController::updateSelectedBook(const std::function<void(Songbook&)>& change)
{
    auto index = model_->selectedBookIndex();
    if (!index) return;
    model_->changeLibrary([&](Library& library) { change(library.books[*index]); });
}

void SongController::setTwoColumns(bool on)
{
    updateSelectedBook([&](Songbook& book) { book.settings.columns = on ? 2 : 1; });
}

void SongController::setOnePerPage(bool on)
{
    updateSelectedBook([&](Songbook& book) { book.settings.flow = on ? Flow::songPerPage : Flow::flowing; });
}

void SongController::setNashville(bool on)
{
    updateSelectedBook([&](Songbook& book) { book.settings.nashville = on; });
}

void SongController::bigger()
{
    updateSelectedBook([](Songbook& book) { book.settings.fontSize = std::min(book.settings.fontSize + 2, 28.0); });
}

void SongController::smaller()
{
    updateSelectedBook([](Songbook& book) { book.settings.fontSize = std::max(book.settings.fontSize - 2, 16.0); });
}

void SongController::applyPresetSize(double size)
{
    updateSelectedBook([&](Songbook& book) { book.settings.fontSize = SongGlue::lyricSize(size); });
}

void SongController::writeLibrary()
{
    if (!model_->saveLibrary() && model_->error()) std::cerr << model_->error()->toStdString() << std::endl;
}

SongController::ImportCounts SongController::importTunequillLibrary(const std::filesystem::path& at)
{
    auto bytes = LibraryFile::readBytes(at);
    if (!bytes) throw SongGlue::ImportError(SongGlue::ImportError::Kind::unreadable);
    return importTunequillLibrary(*bytes);
}

SongController::ImportCounts SongController::importTunequillLibrary(const Platform::Bytes& data)
{
    const AppModel::ImportCounts counts = model_->importLibrary(SongGlue::decodeLibrary(data));
    return {counts.songsAdded, counts.booksAdded};
}

std::optional<std::size_t> SongController::firstBook(BookKind kind) const
{
    const auto& books = model_->library().books;
    auto found = std::find_if(books.begin(), books.end(), [&](const Songbook& b) { return b.kind == kind; });
    if (found == books.end()) return std::nullopt;
    return static_cast<std::size_t>(found - books.begin());
}

void SongController::select(std::size_t bookIndex, std::optional<int> pageRequest)
{
    const Songbook& book = model_->library().books[bookIndex];
    model_->setSelection(SidebarItem::book(book.id));
    if (!book.entries.empty()) model_->setSelectedEntryIDs({book.entries.front().id});
    if (pageRequest) model_->setPreviewPageRequest(pageRequest);
}

void SongController::selectBookNamed(const std::string& name)
{
    const auto& books = model_->library().books;
    auto found = std::find_if(books.begin(), books.end(), [&](const Songbook& b) { return b.name == name; });
    if (found != books.end()) select(static_cast<std::size_t>(found - books.begin()), std::nullopt);
}

void SongController::selectBookKind(bool setList)
{
    auto index = firstBook(setList ? BookKind::setList : BookKind::book);
    if (!index) return;
    const Songbook& book = model_->library().books[*index];
    model_->setSelection(SidebarItem::book(book.id));
    model_->setSelectedEntryIDs(book.entries.empty() ? std::set<Uuid>{} : std::set<Uuid>{book.entries.front().id});
}

void SongController::showcase(const QString& scene)
{
    if (scene == QStringLiteral("song")) {
        model_->setSelection(SidebarItem::allSongs());
        std::optional<Uuid> song;
        for (const StoredSong& stored : model_->library().songs)
            if (model_->song(stored.id)->title == "Shall We Gather at the River") {
                song = stored.id;
                break;
            }
        model_->setSelectedSongID(song);
        return;
    }
    const bool setList = scene == QStringLiteral("setlist") || scene == QStringLiteral("bigprint");
    if (auto index = firstBook(setList ? BookKind::setList : BookKind::book))
        select(*index, scene == QStringLiteral("setlist") ? 0 : 1);
    if (scene == QStringLiteral("booklet")) model_->setPreviewMode(PreviewMode::booklet);
    if (scene == QStringLiteral("bigprint"))
        updateSelectedBook([](Songbook& book) { book.settings.fontSize = 28; });
    if (scene == QStringLiteral("twocolumn"))
        updateSelectedBook([](Songbook& book) {
            book.settings.columns = 2;
            book.settings.flow = Flow::flowing;
            book.settings.fontSize = 16;
            book.settings.nashville = true;
        });
}

} // namespace Lyricade
