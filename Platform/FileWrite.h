#pragma once

// The one way Folmira writes a file of its own. The bytes go to a new file
// beside the target, every write is checked to the end and synced, and only
// then does a rename put the new file in the target's place, so a reader sees
// either the old file or the whole new one, never a part.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string_view>

namespace Platform {

// Thrown when a file can't be written; what() is the system's reason, e.g. "No space left on device".
class FileWriteError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Replaces `target` with `bytes`: writes a temporary file in the same folder,
// syncs it, renames it over the target and syncs the folder. A target that is
// a symbolic link (or a chain of them) has the file it names written, also
// when that file does not exist yet; the link stays. An existing file keeps
// its permissions, a new one gets the usual 0666 less the umask. The
// temporary file's name has a fixed length of its own, so any name the file
// system accepts can be written. Throws FileWriteError when anything fails;
// the temporary file is removed then and the old file stays byte for byte.
// Only when the final folder sync fails is the new file already in place:
// the rename may then not survive a crash.
void writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);
void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// The file a write to `target` replaces: `target` itself, or the file that
// the symbolic link at `target` (or a chain of them) names, whether or not it
// exists. Throws FileWriteError when a link can't be read or links loop.
std::filesystem::path writtenPath(const std::filesystem::path& target);

// Removes the temporary files that interrupted writes (a crash, a kill, a
// power cut) left where writes to `target` make them: in `target`'s folder
// and, for a link, beside the file it names. Those are the writer's own
// names, and the names earlier versions gave temporaries of the target. Only
// a temporary proven abandoned goes: one with bytes whose lock no write
// holds; an empty one may be a write just begun and stays. Nothing else is
// touched. Returns how many were removed; a folder that can't be listed
// removes none.
std::size_t removeAbandonedTemporaries(const std::filesystem::path& target);

} // namespace Platform
