#pragma once

// Font faces through fontconfig: the faces the application ships, registered
// for this process only, and lookup of a face by its exact PostScript name,
// with a stand-in of the same kind for a face this system lacks.
//
// All lookups go to one fontconfig configuration built once per process (the
// system's fonts plus the shipped ones); TextLayout hands the same one to
// Pango, so a face found here is the face that is drawn. Thread-safe.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

// A face at a size: enough for Pango to pick it, and for a caller to see
// which face was asked for and which file serves it.
struct Font {
    std::string requested;      // the PostScript name asked for; "" when the system font was asked for
    std::string postScriptName; // of the face that serves ("" when fontconfig gives none)
    std::string family;         // the family name Pango selects by
    int weight = 400;           // CSS / OpenType scale: 400 regular, 700 bold
    bool italic = false;        // drawn italic (slanted by Pango when the face is upright)
    double size = 12;           // in points
    std::filesystem::path file; // the font file that serves the face
    bool fallback = false;      // true when the system font stands in

    bool operator==(const Font&) const = default;
};

namespace Fonts {

// Registers every font file of the resource folder's "Fonts" (see
// fontFilesIn) once per process; later calls return at once. Every lookup
// below calls it first, so calling it is only needed to make the shipped faces
// visible to code that does not look up through here.
void registerBundledFonts();

// The entries of `folder` whose extension, compared without case, is ".ttf",
// in name order; empty when the folder is missing or unreadable.
std::vector<std::filesystem::path> fontFilesIn(const std::filesystem::path& folder);

// The face whose PostScript name is exactly `postScriptName`, at `size`; none
// when no registered or system face has that name (no alias, no fuzzy match).
std::optional<Font> named(std::string_view postScriptName, double size);

// The generic families a missing face falls back to, by its class.
enum class Generic { sansSerif, serif, monospace };

// fontconfig's best face of a generic family at `size`, bold or regular
// weight, made italic when asked. Always gives a value.
Font generic(Generic kind, double size, bool bold, bool italic);

// The system font: the generic sans-serif face.
Font system(double size, bool bold, bool italic);

// `postScriptName` when it exists. When it is missing, a stand-in with that
// weight and slant: fontconfig's match for the name's family when that is more
// than the default font (Arial → Liberation Sans, Helvetica → Nimbus Sans,
// Times → Nimbus Roman); DejaVu Sans for Verdana, which has no metric twin;
// else the generic family `kind`.
Font namedOrStandIn(std::string_view postScriptName, double size, bool bold, bool italic,
                    Generic kind = Generic::sansSerif);

// The process's fontconfig configuration (an FcConfig*, owned here, never
// changed after it is built): for TextLayout.
void* configuration();

} // namespace Fonts
} // namespace Platform
