#pragma once

// Rendering a document as a large-print PDF.

#include "FolmiraKit/Model/BigDocument.h"
#include "FolmiraKit/Render/LargePrintSettings.h"
#include "FolmiraKit/Render/Layout.h"
#include "Platform/Images.h"

#include <cstdint>
#include <vector>

namespace FolmiraKit {

// The outcome of one render.
struct RenderResult {
    std::vector<std::uint8_t> pdf; // empty when the PDF could not be written
    int pageCount = 1;             // pages laid out, at least 1
    std::vector<ConversionNote> notes;
};

namespace Renderer {

// Lays out the document's blocks with the settings (clamped first) and writes
// the PDF: title "<title> (large print)", creator "Folmira", the page number
// "Page n of M" centred in the bottom margin when asked. The notes say how many
// pictures were left out and tables listed. Uses the title and blocks only;
// never throws.
RenderResult render(const BigDocument& document, const LargePrintSettings& settings);

// Paints finished pages into PDF bytes (empty when writing failed).
std::vector<std::uint8_t> drawPDF(const std::vector<Page>& pages, const Layout& layout, const std::string& title);

} // namespace Renderer

namespace Folmira {

// The render the application calls: Renderer::render with the document's own
// notes put before the renderer's. Never throws.
RenderResult render(const BigDocument& document, const LargePrintSettings& settings);

} // namespace Folmira

// The picture helpers the readers share (see Platform/Images.h).
using Platform::imageInfo;
using Platform::pngData;

} // namespace FolmiraKit
