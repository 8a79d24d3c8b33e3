#pragma once

// The songbook engine's public interface: songs, chords and keys, the ChordPro
// parser, song files and the library stored as library.json.

#include "TunequillKit/Library/BookSettings.h"
#include "TunequillKit/Library/Identity.h"
#include "TunequillKit/Library/Library.h"
#include "TunequillKit/Library/Samples.h"
#include "TunequillKit/Song/Chord.h"
#include "TunequillKit/Song/ChordProParser.h"
#include "TunequillKit/Song/PlainTextConverter.h"
#include "TunequillKit/Song/Song.h"
#include "TunequillKit/Song/SongFile.h"
