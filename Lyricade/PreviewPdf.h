#pragma once

// The preview document: Poppler's Qt document made from PDF bytes, as the
// application's PDF views show it. Two holders of one object are the same
// document; every refresh makes a new one.

#include "Platform/Text.h" // Bytes

#include <memory>

namespace Poppler {
class Document;
}

namespace Lyricade {

using PdfDocumentPtr = std::shared_ptr<Poppler::Document>;

// Null when the bytes are no PDF that can be shown.
PdfDocumentPtr pdfFromData(const Platform::Bytes& data);

} // namespace Lyricade
