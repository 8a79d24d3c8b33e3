#pragma once

// The values that pass between the application and the songbook side: the
// hooks the application lends (save panel, print job, size presets, high
// contrast), the look its document settings impose on songbook output, and
// one print request. All hooks run on the main thread.

#include "Platform/Text.h" // Bytes
#include "TunequillKit/Library/BookSettings.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Lyricade {

// The product name the songbook side speaks of in its messages. Set by
// SongController::configure; main thread only.
const QString& brandName();
void setBrandName(const QString& name);

struct SongPrintJob {
    Platform::Bytes pdf; // the complete PDF to print
    QString title;       // the print job's title
    bool booklet = false; // booklet sheets: print two-sided, flipping on the short edge
};

struct SongHost {
    struct Preset {
        QString name;
        double size = 0; // points
    };

    // Offers a PDF for saving: its bytes, the suggested file name, the panel's message.
    std::function<void(const Platform::Bytes& pdf, const QString& fileName, const QString& message)> save;
    std::function<void(const SongPrintJob& job)> print;
    // The application's text-size presets, in its order.
    std::function<std::vector<Preset>()> presets;
    std::function<void(bool on)> setHighContrast;

    // A host whose hooks do nothing and that offers no presets.
    static SongHost silent();
};

struct SongStyle {
    // PostScript names, regular, bold, italic, bold italic; exactly four
    // replace the songbook's sans faces, anything else keeps the built-in ones.
    std::optional<std::vector<std::string>> faces;
    std::string fontName;
    bool highContrast = false;
    TunequillKit::PageSize page = TunequillKit::PageSize::letter;

    bool operator==(const SongStyle&) const = default;
};

} // namespace Lyricade
