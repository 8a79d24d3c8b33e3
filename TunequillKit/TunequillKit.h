#pragma once

// The songbook engine's public interface: songs, chords and keys, the ChordPro
// parser, song files, the library stored as library.json, book layout, the
// songbook PDF and folded booklets.

#include "TunequillKit/Layout/BookLayout.h"
#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Layout/PreparedSong.h"
#include "TunequillKit/Layout/TextMeasurer.h"
#include "TunequillKit/Layout/Typeset.h"
#include "TunequillKit/Layout/Typesetter.h"
#include "TunequillKit/Library/BookSettings.h"
#include "TunequillKit/Library/Identity.h"
#include "TunequillKit/Library/Library.h"
#include "TunequillKit/Library/Samples.h"
#include "TunequillKit/Render/BookletMaker.h"
#include "TunequillKit/Render/BookletPlan.h"
#include "TunequillKit/Render/Renderer.h"
#include "TunequillKit/Song/Chord.h"
#include "TunequillKit/Song/ChordProParser.h"
#include "TunequillKit/Song/PlainTextConverter.h"
#include "TunequillKit/Song/Song.h"
#include "TunequillKit/Song/SongFile.h"
