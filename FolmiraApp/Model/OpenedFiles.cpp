#include "FolmiraApp/Model/OpenedFiles.h"

#include "FolmiraApp/Model/AppModel.h"
#include "Platform/Text.h"

#include <array>
#include <string_view>

namespace FolmiraApp {

bool isSongFile(const std::filesystem::path& url)
{
    static constexpr std::array<std::string_view, 5> songExtensions{"cho", "chopro", "chordpro", "crd", "pro"};
    auto extension = url.extension().string();
    if (extension.empty()) return false;
    extension = Platform::Text::lowercased(std::string_view(extension).substr(1));
    for (auto song : songExtensions)
        if (extension == song) return true;
    return false;
}

void routeOpenedFiles(AppModel& model, const std::vector<std::filesystem::path>& urls,
                      const std::function<void(const std::vector<std::filesystem::path>&)>& importSongs)
{
    if (urls.empty()) return;
    if (isSongFile(urls.front())) {
        model.setKind(DocKind::songbook);
        if (importSongs) importSongs(urls);
        return;
    }
    model.setKind(DocKind::document);
    model.open(urls.front());
}

} // namespace FolmiraApp
