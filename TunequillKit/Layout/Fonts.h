#pragma once

// The faces of the songbook, by PostScript name. Faces missing on this system
// get a stand-in of their kind through Platform::Fonts (serif for Charter,
// monospaced for Menlo); the same way for measuring and for drawing.

#include "Platform/Fonts.h"
#include "TunequillKit/Layout/Typeset.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TunequillKit::Fonts {

// The sans faces chosen by the user (regular, bold, italic, bold italic); used
// only when it holds exactly four names. One per thread: the controller sets it
// on the thread that lays out and renders, before it does.
inline thread_local std::optional<std::vector<std::string>> sansFaces;

// The PostScript name for a spec: mono wins over serif, serif over sans.
std::string name(const FontSpec& spec);
// The same name without a copy, for keys made per measurement; valid while
// sansFaces is unchanged.
std::string_view nameView(const FontSpec& spec);

// The sans face at `place` (0 regular, 1 bold, 2 italic, 3 bold italic) of
// sansFaces when it holds four names, else `fallback`.
std::string sansFace(int place, const std::string& fallback);

// The face that serves a FontSpec at its size: the named face when this system
// has it, else a stand-in of its kind with the requested weight and slant
// (Platform::Fonts::namedOrStandIn). Measuring and
// drawing both go through here, so they always use the same face. Lookups are
// remembered per thread (the answer never changes within a process).
Platform::Font face(const FontSpec& spec);

} // namespace TunequillKit::Fonts
