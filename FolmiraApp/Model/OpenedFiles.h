#pragma once

// Files handed over by the desktop (the command line): the first one decides
// the mode. A song file switches to Songbook mode and hands every file to the
// songbook import; anything else switches to Document mode and opens the
// first file only.

#include <filesystem>
#include <functional>
#include <vector>

namespace FolmiraApp {

class AppModel;

bool isSongFile(const std::filesystem::path& url); // .cho .chopro .chordpro .crd .pro, any case

void routeOpenedFiles(AppModel& model, const std::vector<std::filesystem::path>& urls,
                      const std::function<void(const std::vector<std::filesystem::path>&)>& importSongs);

} // namespace FolmiraApp
