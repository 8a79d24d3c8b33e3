#pragma once

// Where the songbook library lives on disk, and reading and writing it.
// The library is "Songbooks/library.json" under the data folder,
// $XDG_DATA_HOME/Folmira (~/.local/share/Folmira when the variable is unset).

#include "Platform/Text.h" // Bytes
#include "TunequillKit/Library/Library.h"

#include <QString>

#include <filesystem>
#include <optional>

namespace Lyricade::LibraryFile {

// The library file's path relative to a data folder.
inline constexpr const char* relativePath = "Songbooks/library.json";

// $XDG_DATA_HOME when it is set to an absolute path, else ~/.local/share
// (the home folder from the user database, else $HOME).
std::filesystem::path userDataHome();
// userDataHome()/Folmira.
std::filesystem::path defaultDataFolder();

// True when something (a file, a folder) stands at `path`, links followed:
// a link that names nothing (a synced folder not filled yet) is no library
// yet, and the first save makes the file it names.
bool exists(const std::filesystem::path& path);

// Why the library can't be kept at `path`: something other than a regular
// file stands there or at the end of its link (a folder, a named pipe, a
// device), which reading would block on or a save would rename and replace.
// One sentence naming the path and what is there ("“…” is a folder, not a
// file."); none for a regular file, for nothing at all and for a link that
// names nothing yet. Looks with stat only: nothing is opened.
std::optional<QString> refusal(const std::filesystem::path& path);

// The library in the file, read through a link, with repeated ids renewed
// (the next save writes them); none when it cannot be read (absent, not a
// regular file, unreadable) or decoded. First removes the partial files that
// saves ended half-way (a crash, a kill) left where the writer writes: beside
// it, or beside the file a link names; nothing else there is touched.
std::optional<TunequillKit::Library> read(const std::filesystem::path& path);

// A regular file's bytes; none for anything else (a FIFO or device would block
// or never end) or when reading fails.
std::optional<Platform::Bytes> readBytes(const std::filesystem::path& path);

// Writes the library pretty-printed with sorted keys, creating its folder.
// The new file is synced to disk before it replaces the old one, so the old
// or the new library survives a crash or a full disk, never half of one.
// Returns the system's reason for a failure, naming the file (and, for a
// link, the file it leads to), none on success.
std::optional<QString> write(const std::filesystem::path& path, const TunequillKit::Library& library);

// Renames the file at `path` to "library.unreadable-<UTC time>.json"
// beside it, so that a library that could not be read is not overwritten.
// For a link, the file it names is renamed, beside that file, and the link
// stays. Anything but a regular file stays where it is. Returns the new
// path, or the reason it could not be moved.
struct SetAside {
    std::optional<std::filesystem::path> movedTo;
    QString failure;
};
SetAside setAside(const std::filesystem::path& path);

} // namespace Lyricade::LibraryFile
