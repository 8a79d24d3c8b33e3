#pragma once

// Rendering a document as a large-print PDF.

#include "FolmiraKit/Model/BigDocument.h"
#include "FolmiraKit/Model/Cancel.h"
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
// never throws, unless the calling thread's cancel flag is set (Cancelled).
// Each distinct picture is decoded once, at 300 dpi of its drawn size at
// most, and embedded once; pictures past the budgets of Render/Pictures.h are
// left out and counted in the picture note. Pages are written as they are
// laid out, so the render holds a few pages at a time (a long document with
// page numbers is laid out twice: first to count its pages). When the PDF
// cannot be written, `pdf` is empty and a warning note says why.
RenderResult render(const BigDocument& document, const LargePrintSettings& settings);

// Paints finished pages into PDF bytes (empty when writing failed).
std::vector<std::uint8_t> drawPDF(const std::vector<Page>& pages, const Layout& layout, const std::string& title);

} // namespace Renderer

namespace Folmira {

// The render the application calls: Renderer::render with the document's own
// notes put before the renderer's. Never throws, except Cancelled once
// `cancel` is set (from any thread): the render stops at its next block,
// page or picture.
RenderResult render(const BigDocument& document, const LargePrintSettings& settings,
                    const CancelFlag* cancel = nullptr);

} // namespace Folmira

// The picture helpers the readers share (see Platform/Images.h).
using Platform::imageInfo;
using Platform::pngData;

} // namespace FolmiraKit
