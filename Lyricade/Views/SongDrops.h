#pragma once

// Songs dragged inside the window travel as plain text, one canonical
// upper-case UUID per line; files from outside travel as file URLs. These
// helpers make the one and read both, for every view that drags or accepts.

#include "TunequillKit/Library/Identity.h"

#include <filesystem>
#include <vector>

class QMimeData;

namespace Lyricade {

class AppModel;

// A drag payload carrying the song's id as text.
QMimeData* songDragData(const TunequillKit::Uuid& song);

// The strings of a text payload (one per line) that are UUIDs in their
// 8-4-4-4-12 form, in order, repeats kept; anything else is skipped.
std::vector<TunequillKit::Uuid> droppedSongIDs(const QMimeData& data);

// The local files and folders of a URL payload, in order.
std::vector<std::filesystem::path> droppedFiles(const QMimeData& data);

// Adds the dropped songs to the book; true when at least one string was a UUID.
bool dropSongs(AppModel& model, const QMimeData& data, const TunequillKit::Uuid& book);

// Imports the dropped files; true when at least one song came in.
bool dropFiles(AppModel& model, const QMimeData& data);

// Whether a drag may be dropped as songs or files at all (the drop decides).
bool mayDropSongs(const QMimeData& data);
bool mayDropFiles(const QMimeData& data);

} // namespace Lyricade
